#pragma once

#undef signals
#include <libsecret/secret.h>
#define signals Q_SIGNALS

// A schema of (service, account) items named `name`, for suites that read and
// write the test keyring with libsecret's own calls, apart from the code under
// test. `name` must outlive the schema.
inline SecretSchema serviceAccountSchema(const char *name)
{
    SecretSchema schema{};
    schema.name = name;
    schema.flags = SECRET_SCHEMA_NONE;
    schema.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
    schema.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
    return schema;
}
