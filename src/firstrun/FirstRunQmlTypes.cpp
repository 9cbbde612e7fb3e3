#include "firstrun/FirstRunQmlTypes.h"

#include "BuildConfig.h"
#include "firstrun/LinkCodeModel.h"
#include "firstrun/ScrollingWordsRowModel.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <QUrl>

namespace {
constexpr const char *uri = "Vocarta.Models";
}

void registerFirstRunQmlTypes(Session *auth, ShortcutRecorderModel::Manager shortcuts,
                              QObject *shortcutNotifier)
{
    LinkCodeModel::setDefaultAuth(auth);
    ShortcutRecorderModel::setDefaultManager(std::move(shortcuts), shortcutNotifier, "currentComboChanged()");

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
    qmlRegisterSingletonType(uri, 1, 0, "FirstRunConfig", [](QQmlEngine *, QJSEngine *engine) -> QJSValue {
        QJSValue config = engine->newObject();
        config.setProperty(QStringLiteral("downloadPageUrl"),
                           QUrl(QString::fromUtf8(BuildConfig::downloadPageUrl)).toString());
        return config;
    });
}
