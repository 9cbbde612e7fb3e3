// vocarta-devserver: the local deployment for development and tests.
//
//   vocarta-devserver [--port N] [--data FILE] [--token-ttl 1h] [--dictionaries DIR] [--print-link-code]
//   vocarta-devserver link-code [--data FILE] [--email ADDRESS]
//   vocarta-devserver cards [--data FILE]

#include "DevAuth.h"
#include "DevClock.h"
#include "DevServer.h"
#include "DevStore.h"
#include "DictionaryTranslator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cstdio>

namespace {

void printLine(const QString &text, FILE *stream = stdout)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// "90" (seconds), "500ms", "30s", "5m", "1h".
std::optional<std::chrono::milliseconds> parseDuration(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,9})(ms|s|m|h)?$"));
    const auto match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const qint64 n = match.captured(1).toLongLong();
    const QString unit = match.captured(2);
    qint64 ms = n * 1000;
    if (unit == QLatin1String("ms"))
        ms = n;
    else if (unit == QLatin1String("m"))
        ms = n * 60 * 1000;
    else if (unit == QLatin1String("h"))
        ms = n * 60 * 60 * 1000;
    if (ms <= 0)
        return std::nullopt;
    return std::chrono::milliseconds(ms);
}

QString defaultDataPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vocarta-devserver/state.json");
}

int issueLinkCode(const QString &dataPath, const QString &email, const DevServerConfig &config)
{
    DevClock clock;
    DevStore store(dataPath, &clock);
    QString error;
    if (!store.open(&error)) {
        printLine(QStringLiteral("vocarta-devserver: %1").arg(error), stderr);
        return 1;
    }
    const DevUser *user = store.state().userByEmail(email);
    if (!user) {
        printLine(QStringLiteral("vocarta-devserver: no account %1 in %2").arg(email, dataPath), stderr);
        return 1;
    }
    DevAuth auth(&store, &clock, config);
    printLine(auth.issueLinkCode(user->id));
    return 0;
}

int printCards(const QString &dataPath)
{
    DevClock clock;
    DevStore store(dataPath, &clock);
    QString error;
    if (!store.open(&error)) {
        printLine(QStringLiteral("vocarta-devserver: %1").arg(error), stderr);
        return 1;
    }
    const QJsonObject all = store.state().toJson();
    QJsonArray cards;
    for (const QJsonValue &v : all.value(QStringLiteral("cards")).toArray()) {
        QJsonObject card = v.toObject();
        if (const DevDeck *deck = store.state().deckById(card.value(QStringLiteral("deckId")).toString()))
            card.insert(QStringLiteral("deckName"), deck->name);
        cards.append(card);
    }
    printLine(QString::fromUtf8(QJsonDocument(cards).toJson(QJsonDocument::Indented)).trimmed());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vocarta-devserver"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Local deployment for vocarta-menubar: HTTP function calls and the sync WebSocket on one loopback "
        "port.\n"
        "Commands: (none) serve; link-code: add a fresh link code to the data file and print it; "
        "cards: print the stored cards."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("serve (default), link-code or cards"),
                                 QStringLiteral("[command]"));
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        QStringLiteral("Loopback address to listen on."),
                                        QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port (0: any free port)."),
                                        QStringLiteral("port"), QStringLiteral("3210"));
    const QCommandLineOption dataOption(QStringLiteral("data"), QStringLiteral("Data file."),
                                        QStringLiteral("file"), defaultDataPath());
    const QCommandLineOption ttlOption(QStringLiteral("token-ttl"),
                                       QStringLiteral("Access token lifetime: 90, 500ms, 30s, 5m, 1h."),
                                       QStringLiteral("duration"), QStringLiteral("1h"));
    const QCommandLineOption pingOption(QStringLiteral("ping-interval"),
                                        QStringLiteral("Quiet time before a sync Ping."),
                                        QStringLiteral("duration"), QStringLiteral("15s"));
    const QCommandLineOption linkCodeOption(
        QStringLiteral("print-link-code"),
        QStringLiteral("On start, print a fresh link code for the account."));
    const QCommandLineOption emailOption(QStringLiteral("email"), QStringLiteral("Account of the link code."),
                                         QStringLiteral("address"), QString::fromLatin1(DevStore::demoEmail));
    const QCommandLineOption dictionariesOption(
        QStringLiteral("dictionaries"),
        QStringLiteral("Folder of FreeDict dictionaries (dictd format) that translate words; \"\" for the "
                       "built-in word table only."),
        QStringLiteral("dir"), QStringLiteral("/usr/share/dictd"));
    parser.addOptions({hostOption, portOption, dataOption, ttlOption, pingOption, linkCodeOption, emailOption,
                       dictionariesOption});
    parser.process(app);

    DevServerConfig config;
    config.dataPath = QDir::cleanPath(QDir::current().absoluteFilePath(parser.value(dataOption)));
    const QString hostText = parser.value(hostOption);
    config.host = hostText == QLatin1String("localhost") ? QHostAddress(QHostAddress::LocalHost)
                                                         : QHostAddress(hostText);
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    const auto ttl = parseDuration(parser.value(ttlOption));
    const auto ping = parseDuration(parser.value(pingOption));
    if (!portOk || port > 65535 || !ttl || !ping || config.host.isNull()) {
        printLine(
            QStringLiteral(
                "vocarta-devserver: invalid --host, --port, --token-ttl or --ping-interval (see --help)"),
            stderr);
        return 2;
    }
    config.port = quint16(port);
    config.tokenTtl = *ttl;
    config.pingInterval = *ping;
    if (!parser.value(dictionariesOption).isEmpty())
        config.dictionaryDir =
            QDir::cleanPath(QDir::current().absoluteFilePath(parser.value(dictionariesOption)));

    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0, QStringLiteral("serve"));
    if (positional.size() > 1) {
        printLine(QStringLiteral("vocarta-devserver: one command at most"), stderr);
        return 2;
    }
    if (command == QLatin1String("link-code"))
        return issueLinkCode(config.dataPath, parser.value(emailOption), config);
    if (command == QLatin1String("cards"))
        return printCards(config.dataPath);
    if (command != QLatin1String("serve")) {
        printLine(QStringLiteral("vocarta-devserver: unknown command %1").arg(command), stderr);
        return 2;
    }

    DevServer server(config);
    QString error;
    if (!server.start(&error)) {
        printLine(QStringLiteral("vocarta-devserver: %1").arg(error), stderr);
        return 1;
    }
    printLine(QStringLiteral("vocarta-devserver listening on %1 (data %2, token lifetime %3 s)")
                  .arg(server.url().toString(), config.dataPath)
                  .arg(config.tokenTtl.count() / 1000.0));
    printLine(
        QStringLiteral("demo account: %1 / %2")
            .arg(QString::fromLatin1(DevStore::demoEmail), QString::fromLatin1(DevStore::demoPassword)));
    if (const DictionaryTranslator *translator = server.translator()) {
        for (const QString &problem : translator->problems())
            printLine(QStringLiteral("vocarta-devserver: dictionary left out: %1").arg(problem), stderr);
        const QStringList pairs = translator->pairNames();
        printLine(
            pairs.isEmpty()
                ? QStringLiteral("translations: no FreeDict dictionaries in %1; the built-in word table only")
                      .arg(config.dictionaryDir)
                : QStringLiteral("translations: FreeDict %1 (from %2); the built-in word table for the rest")
                      .arg(pairs.join(QStringLiteral(", ")), config.dictionaryDir));
    } else {
        printLine(QStringLiteral("translations: the built-in word table only"));
    }
    if (parser.isSet(linkCodeOption)) {
        const DevUser *user = server.store().state().userByEmail(parser.value(emailOption));
        if (!user) {
            printLine(QStringLiteral("vocarta-devserver: no account %1").arg(parser.value(emailOption)),
                      stderr);
            return 1;
        }
        printLine(QStringLiteral("link code: %1").arg(server.auth().issueLinkCode(user->id)));
    }

    // Every change is already on disk (atomically replaced), so being killed loses nothing.
    return app.exec();
}
