#include "backend/Failure.h"

Failure::Failure(QString description)
    : m_description(std::move(description))
    , m_utf8(m_description.toUtf8())
{
}

Failure::~Failure() = default;

QString Failure::description() const
{
    return m_description;
}

const char *Failure::what() const noexcept
{
    return m_utf8.constData();
}

QString logText(const std::exception &failure)
{
    return QString::fromUtf8(failure.what());
}

QString describe(const std::exception &failure)
{
    if (const auto *ours = dynamic_cast<const Failure *>(&failure))
        return ours->description();
    return QString::fromUtf8(failure.what());
}
