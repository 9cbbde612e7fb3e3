#include "backend/ConfigurationError.h"
