#include "qml/ViewEngine.h"

#include <QQmlEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace ViewEngine {

QQmlEngine &shared()
{
    static auto *engine = new QQmlEngine;
    return *engine;
}

void selectDefaultSceneGraph()
{
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
        qEnvironmentVariableIsSet("QT_QUICK_BACKEND_DEFAULT"))
        return;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

} // namespace ViewEngine
