#pragma once

#include "backend/Failure.h"

// A JSON text or value that does not have the shape a record needs.
// member() is the path of the offending member from the outermost value
// ("value.tokens.token", "value[2].word"); empty for the document itself.
class DecodingError : public Failure {
public:
    DecodingError(QString member, QString problem);

    QString member() const { return m_member; }
    QString problem() const { return m_problem; }

    // The same failure seen from an enclosing value: `parent` is the key or
    // "[index]" under which the failing value sits.
    DecodingError inside(const QString &parent) const;

private:
    static QString describe(const QString &member, const QString &problem);

    QString m_member;
    QString m_problem;
};
