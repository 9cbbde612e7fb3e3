#pragma once

#include "backend/Failure.h"

// The sync client's own failure: a frame was to be sent while there is no
// usable socket. The text names the socket's own problem when there is one.
class ConvexWSError : public Failure {
public:
    enum class Kind { NotConnected, SocketFailure };

    static ConvexWSError notConnected();
    static ConvexWSError socketFailure(const QString &description);

    Kind kind() const { return m_kind; }

private:
    ConvexWSError(Kind kind, QString description);
    Kind m_kind;
};
