#include "backend/DecodingError.h"

DecodingError::DecodingError(QString member, QString problem)
    : Failure(describe(member, problem))
    , m_member(std::move(member))
    , m_problem(std::move(problem))
{
}

DecodingError DecodingError::inside(const QString &parent) const
{
    if (m_member.isEmpty())
        return DecodingError(parent, m_problem);
    const QString joined = m_member.startsWith(QLatin1Char('['))
                               ? QString(parent + m_member)
                               : QString(parent + QLatin1Char('.') + m_member);
    return DecodingError(joined, m_problem);
}

QString DecodingError::describe(const QString &member, const QString &problem)
{
    if (member.isEmpty())
        return QStringLiteral("Could not read the answer: ") + problem;
    return QStringLiteral("Could not read the answer: member \"") + member + QStringLiteral("\" ") + problem;
}
