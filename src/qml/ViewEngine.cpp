#include "qml/ViewEngine.h"

#include "platform/Log.h"

#include <QQmlComponent>
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

void logLoadFailure(const QQmlComponent &component)
{
    logLine(lcShell(), QStringLiteral("[Vocarta] The view %1 failed to load: %2")
                           .arg(component.url().fileName(), component.errorString().trimmed()));
}

} // namespace ViewEngine
