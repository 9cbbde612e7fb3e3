// The floor under the program's idle CPU: a bare Qt GUI client (connected to
// the display, as any tray program is) on the same sync connection, which only
// opens it and reads (and parses) what the deployment sends. Its wake-ups are
// the deployment's pings; what each costs on this machine is what any such
// client pays.
//   bench_bare_sync_client <deployment url>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QUrl>
#include <QWebSocket>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_bare_sync_client <deployment url>\n");
        return 2;
    }
    QUrl url(QString::fromLocal8Bit(argv[1]));
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        std::fprintf(stderr, "bench_bare_sync_client: not an http(s) address: %s\n", argv[1]);
        return 2;
    }
    url.setScheme(url.scheme() == QLatin1String("https") ? QStringLiteral("wss") : QStringLiteral("ws"));
    url.setPath(QStringLiteral("/api/sync"));

    QWebSocket socket;
    qsizetype received = 0;
    QObject::connect(&socket, &QWebSocket::connected, [] {
        std::printf("connected\n");
        std::fflush(stdout);
    });
    QObject::connect(&socket, &QWebSocket::textMessageReceived, [&](const QString &text) {
        received += QJsonDocument::fromJson(text.toUtf8()).isObject() ? 1 : 0;
    });
    QObject::connect(&socket, &QWebSocket::disconnected, &app, [&] {
        std::fprintf(stderr, "bench_bare_sync_client: the deployment closed the connection (%d messages)\n",
                     int(received));
        app.exit(1);
    });
    socket.open(url);
    return app.exec();
}
