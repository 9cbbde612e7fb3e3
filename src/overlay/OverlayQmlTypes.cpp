#include "overlay/OverlayQmlTypes.h"

#include "overlay/AddCardOverlayContent.h"
#include "overlay/CardShadow.h"
#include "overlay/DismissSignal.h"
#include "overlay/FlagIcon.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>

void registerOverlayQmlTypes()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    selectDefaultSceneGraph();
    // The overlay's window is translucent; the alpha channel has to be asked
    // for before its window is made.
    QQuickWindow::setDefaultAlphaBuffer(true);
    const char *uri = "Vocarta.Models";
    qmlRegisterUncreatableType<AddCardOverlayContent>(uri, 1, 0, "AddCardOverlayContent",
                                                      QStringLiteral("made by the add-card panel"));
    qmlRegisterUncreatableType<DismissSignal>(uri, 1, 0, "DismissSignal",
                                              QStringLiteral("owned by the add-card panel"));
    qmlRegisterType<CardShadow>(uri, 1, 0, "CardShadow");
}

void selectDefaultSceneGraph()
{
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
        qEnvironmentVariableIsSet("QT_QUICK_BACKEND_DEFAULT"))
        return;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

void addOverlayImageProviders(QQmlEngine &engine)
{
    if (!engine.imageProvider(QStringLiteral("flag")))
        engine.addImageProvider(QStringLiteral("flag"), new FlagIcon);
}
