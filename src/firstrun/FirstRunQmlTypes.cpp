#include "firstrun/FirstRunQmlTypes.h"

#include "BuildConfig.h"
#include "firstrun/LinkCodeModel.h"
#include "firstrun/ScrollingWordsRowModel.h"

#include <QJSEngine>
#include <QPointer>
#include <QQmlEngine>
#include <QUrl>

namespace {
constexpr const char *uri = "Vocarta.Models";

// What the views read about the global shortcut (the shortcut manager).
QPointer<QObject> &globalShortcut()
{
    static QPointer<QObject> object;
    return object;
}
} // namespace

void registerFirstRunQmlTypes(Session *auth, ShortcutRecorderModel::Manager shortcuts,
                              QObject *shortcutNotifier)
{
    LinkCodeModel::setDefaultAuth(auth);
    ShortcutRecorderModel::setDefaultManager(std::move(shortcuts), shortcutNotifier, "currentComboChanged()");
    globalShortcut() = shortcutNotifier;

    static bool typesRegistered = false;
    if (typesRegistered)
        return;
    typesRegistered = true;

    qmlRegisterType<LinkCodeModel>(uri, 1, 0, "LinkCodeModel");
    qmlRegisterType<ShortcutRecorderModel>(uri, 1, 0, "ShortcutRecorderModel");
    qmlRegisterType<ScrollingWordsRowModel>(uri, 1, 0, "ScrollingWordsRowModel");
    // Looked up when a view first asks, so the session given last is the one used.
    qmlRegisterSingletonType(uri, 1, 0, "FirstRunAuth", [](QQmlEngine *, QJSEngine *engine) -> QJSValue {
        Session *session = LinkCodeModel::defaultAuth();
        if (!session)
            return QJSValue(QJSValue::NullValue);
        QJSEngine::setObjectOwnership(session, QJSEngine::CppOwnership);
        return engine->newQObject(session);
    });
    // The shortcut manager's state for the shortcut section: the trigger the
    // desktop bound, why the shortcut does not work, whether recording can.
    qmlRegisterSingletonType(uri, 1, 0, "GlobalShortcut", [](QQmlEngine *, QJSEngine *engine) -> QJSValue {
        QObject *shortcut = globalShortcut();
        if (!shortcut)
            return QJSValue(QJSValue::NullValue);
        QJSEngine::setObjectOwnership(shortcut, QJSEngine::CppOwnership);
        return engine->newQObject(shortcut);
    });
    qmlRegisterSingletonType(uri, 1, 0, "FirstRunConfig", [](QQmlEngine *, QJSEngine *engine) -> QJSValue {
        QJSValue config = engine->newObject();
        config.setProperty(QStringLiteral("downloadPageUrl"),
                           QUrl(QString::fromUtf8(BuildConfig::downloadPageUrl)).toString());
        return config;
    });
}
