#include "capture/AddCardPanelController.h"

AddCardPanelController &AddCardPanelController::shared()
{
    static AddCardPanelController instance;
    return instance;
}

AddCardPanelController::AddCardPanelController(QObject *parent)
    : QObject(parent)
{
}

AddCardPanelController::~AddCardPanelController() = default;

void AddCardPanelController::show(std::optional<QString> prefilledText)
{
    Q_UNUSED(prefilledText);
    m_open = true;
}

void AddCardPanelController::hidePanel()
{
    m_open = false;
}

void AddCardPanelController::warmUp()
{
}
