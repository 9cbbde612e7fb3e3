// Signs the program's session in with a link code of the local deployment
// and waits until the pair is in the desktop's secret store, through the
// program's own session object: the next start of the program finds itself
// signed in. Used by the Wayland session test; exits 0 once stored.
//   VOCARTA_DEPLOYMENT_URL=http://127.0.0.1:PORT wayland_seed_session CODE
#include "auth/AuthManager.h"
#include "backend/ConvexClient.h"
#include "platform/DesktopServicesBrowser.h"
#include "platform/secret/LibsecretStore.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <QCoroTimer>

#include <cstdio>

namespace {
QCoro::Task<int> seed(QString code)
{
    ConvexClient client(ConvexClient::deploymentUrl());
    LibsecretStore store;
    DesktopServicesBrowser browser;
    AuthManager auth(client, store, browser);
    co_await auth.untilStartupFinished();
    co_await auth.signInWithLinkCodeTask(code);
    if (!auth.isAuthenticated()) {
        std::fprintf(stderr, "seed: sign-in failed: %s\n", qPrintable(auth.errorText()));
        co_return 1;
    }
    const std::optional<QString> wanted = client.refreshToken();
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        const std::optional<QString> stored =
            co_await store.load(AuthManager::keychainService, AuthManager::refreshTokenKey);
        if (stored && stored == wanted)
            co_return 0;
        co_await QCoro::sleepFor(std::chrono::milliseconds(100));
    }
    std::fprintf(stderr, "seed: the session never reached the secret store\n");
    co_return 1;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: wayland_seed_session LINK-CODE\n");
        return 2;
    }
    const QString code = QString::fromLocal8Bit(argv[1]);
    QTimer::singleShot(0, &app, [code] {
        QCoro::connect(seed(code), qApp, [](int status) {
            std::fflush(nullptr);
            std::_Exit(status);
        });
    });
    // Bounded: a deployment that never answers must not hold the test.
    QTimer::singleShot(60000, &app, [] {
        std::fprintf(stderr, "seed: no answer within 60 s\n");
        std::_Exit(1);
    });
    return QCoreApplication::exec();
}
