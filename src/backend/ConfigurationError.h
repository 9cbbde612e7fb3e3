#pragma once

#include "backend/Failure.h"

// A fixed value of the build or the environment that cannot be used as it is
// (for example a deployment address that would send tokens in clear text).
// Raised before anything is sent.
class ConfigurationError : public Failure {
public:
    using Failure::Failure;
};
