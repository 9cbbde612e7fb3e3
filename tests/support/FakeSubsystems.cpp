#include "FakeSubsystems.h"

#include "firstrun/FirstRunQmlTypes.h"

void FakeSubsystems::registerQmlTypes()
{
    calls << "qml";
    if (m_session)
        registerFirstRunQmlTypes(
            m_session, {[] { return std::optional<KeyCombo>(); }, [](std::optional<KeyCombo>) {}}, nullptr);
}
