#include "overlay/DismissSignal.h"

void DismissSignal::setTriggered(bool triggered)
{
    if (triggered == m_triggered)
        return;
    m_triggered = triggered;
    Q_EMIT triggeredChanged(m_triggered);
}
