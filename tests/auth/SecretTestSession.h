#pragma once

#include <QtTest>

// Suites that talk to a real Secret Service must run inside scripts/with-session,
// whose keyring and bus are private: never the keyring of the person running them.
#define REQUIRE_PRIVATE_SESSION()                                                                            \
    QVERIFY2(!qEnvironmentVariableIsEmpty("VOCARTA_SESSION_ROOT") &&                                         \
                 QString::fromLocal8Bit(qgetenv("HOME"))                                                     \
                     .startsWith(qEnvironmentVariable("VOCARTA_SESSION_ROOT")),                              \
             "run inside scripts/with-session: this suite writes to the session's keyring")
