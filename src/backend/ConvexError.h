#pragma once

#include "backend/Failure.h"

// The HTTP client's own failure: three cases, each with its payload and a
// fixed description text that the user interface shows as it is, in the
// user's language (what() keeps the English one, for logs).
class ConvexError : public Failure {
public:
    enum class Kind { AuthFailed, NetworkError, ServerError };

    static ConvexError authFailed(QString message);
    static ConvexError networkError(QString message);
    static ConvexError serverError(int code, QString message);

    Kind kind() const { return m_kind; }
    QString message() const { return m_message; }
    // The HTTP status for ServerError (200 when the envelope reported the failure); 0 otherwise.
    int code() const { return m_code; }

    bool operator==(const ConvexError &other) const;

    QString description() const override;

private:
    ConvexError(Kind kind, int code, QString message);
    static QString describe(Kind kind, int code, const QString &message, bool translated);

    Kind m_kind;
    int m_code;
    QString m_message;
};
