// Signs the benchmark's session in as the program would (a link code from the
// local deployment, the pair stored in the Secret Service) and records the
// shortcut, so the program starts signed in with its shortcut in force.
//   bench_seed_session DEPLOYMENT_URL LINK_CODE KEY_CODE MODIFIER_FLAGS
#include "auth/AuthManager.h"
#include "backend/ConvexClient.h"
#include "capture/KeyCombo.h"
#include "capture/ShortcutManager.h"
#include "platform/Browser.h"
#include "platform/secret/LibsecretStore.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSettings>
#include <QTimer>

#include <QCoroTask>

#include <cstdio>

namespace {

class NoBrowser : public Browser {
public:
    bool openUrl(const QUrl &) override { return false; }
};

// As in the program, the sign-in comes after the start-up has settled the
// stored session: a refusal of a pair left by an earlier run would otherwise
// end the new session too.
QCoro::Task<void> signInAfterStart(AuthManager &auth, QString code)
{
    co_await auth.untilStartupFinished();
    co_await auth.signInWithLinkCodeTask(code);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_seed_session DEPLOYMENT_URL LINK_CODE KEY_CODE MODIFIER_FLAGS\n");
        return 2;
    }
    // The program's own settings file.
    QCoreApplication::setOrganizationName(QStringLiteral("vocarta"));
    QCoreApplication::setApplicationName(QStringLiteral("vocarta-menubar"));
    const KeyCombo combo(quint16(QByteArray(argv[3]).toUInt()), QByteArray(argv[4]).toULongLong());
    QSettings().setValue(ShortcutManager::defaultsKey, combo.toJson());
    QSettings().sync();

    ConvexClient client(QUrl(QString::fromLocal8Bit(argv[1])));
    NoBrowser browser;
    LibsecretStore store;
    AuthManager auth(client, store, browser);
    const QString code = QString::fromLocal8Bit(argv[2]);
    int status = 1;
    QTimer::singleShot(0, [&] {
        QCoro::connect(signInAfterStart(auth, code), &app, [&] {
            status = auth.isAuthenticated() && !store.failure() ? 0 : 1;
            if (!auth.isAuthenticated())
                std::fprintf(stderr, "sign-in failed: %s\n", qPrintable(auth.errorText()));
            else if (store.failure())
                std::fprintf(stderr, "the secret store is not usable: %s\n", qPrintable(*store.failure()));
            QCoreApplication::quit();
        });
    });
    QCoreApplication::exec();
    return status;
}
