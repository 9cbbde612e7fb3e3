// Shows the first-run window in a chosen state for screenshots:
//   firstrun_preview [--signed-in] [--next] [--type TEXT] [--error TEXT] [--loading]
//                    [--shortcut] [--record] [--reject] [--open-shortcut] [--open-connect]
#include "FakeSession.h"
#include "RecordingHotKeys.h"
#include "app/Fonts.h"
#include "capture/ShortcutManager.h"
#include "firstrun/LinkCodeModel.h"
#include "firstrun/ShortcutRecorderModel.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickView>
#include <QTimer>

namespace {

template <class T> T *find(QQuickView &view, const char *name)
{
    return view.rootObject()->findChild<T *>(QString::fromLatin1(name));
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("vocarta-firstrun-preview"));
    registerFonts();
    const QStringList args = app.arguments();
    auto value = [&](const char *flag) {
        const qsizetype at = args.indexOf(QString::fromLatin1(flag));
        return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : QString();
    };

    FakeSession session;
    session.setAuthenticated(args.contains(QStringLiteral("--signed-in")));
    RecordingHotKeys hotKeys;
    ShortcutManager shortcuts(
        hotKeys, []() -> QCoro::Task<std::optional<QString>> { co_return std::nullopt; },
        [](std::optional<QString>) {});
    shortcuts.set(args.contains(QStringLiteral("--shortcut"))
                      ? std::optional(KeyCombo(40, KeyCombo::CommandFlag | KeyCombo::ShiftFlag))
                      : std::nullopt);

    QQuickView view;
    view.setInitialProperties(
        {{QStringLiteral("auth"), QVariant::fromValue(&session)},
         {QStringLiteral("shortcuts"), QVariant::fromValue(&shortcuts)},
         {QStringLiteral("downloadPageUrl"), QUrl(QStringLiteral("https://example.com/app"))}});
    view.setResizeMode(QQuickView::SizeViewToRootObject);
    view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Vocarta/OnboardingView.qml")));
    if (view.status() != QQuickView::Ready)
        return 1;
    view.setPosition(40, 40);
    view.show();

    QTimer::singleShot(300, [&] {
        if (args.contains(QStringLiteral("--next")))
            QMetaObject::invokeMethod(view.rootObject(), "goTo", Q_ARG(QVariant, 1), Q_ARG(QVariant, false));
    });
    QTimer::singleShot(600, [&] {
        auto *page = view.rootObject()->findChild<QObject *>(QStringLiteral("linkCodePage"));
        auto *model = page ? page->findChild<LinkCodeModel *>() : nullptr;
        if (model) {
            const QString typed = value("--type");
            for (qsizetype i = 0; i < typed.size(); ++i)
                model->changeText(int(i), typed.mid(i, 1));
            if (!value("--error").isEmpty())
                session.setError(value("--error"));
            if (args.contains(QStringLiteral("--loading")))
                session.setLoading(true);
            if (args.contains(QStringLiteral("--open-shortcut")) && !model->shortcutExpanded())
                model->toggleShortcut();
            if (args.contains(QStringLiteral("--open-connect")) && !model->connectExpanded())
                model->toggleConnect();
        }
        auto *recorder = page ? page->findChild<ShortcutRecorderModel *>() : nullptr;
        if (recorder && args.contains(QStringLiteral("--record")))
            recorder->startRecording();
        if (recorder && args.contains(QStringLiteral("--reject"))) {
            recorder->startRecording();
            recorder->handleKeyDown(12, KeyCombo::CommandFlag);
        }
    });
    return app.exec();
}
