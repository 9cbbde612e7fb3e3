// How well and how fast the local deployment translates with the installed
// FreeDict dictionaries: for the 1,000 most frequent words of English, German,
// French and Spanish (wordlists/), the share that gets a candidate in the
// pairs en-de, en-fr and en-es (each side of a pair looked up as a selection
// in a deck of that pair), the share of candidates with a phonetic, the
// server-side lookup time (median, p95, the first lookup after start), the
// deployment's start time with every dictionary and the memory they add.
//   bench_dictionary [dictd folder (/usr/share/dictd)] [folder for the missed words, one file a list]

#include "DictionaryTranslator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// The kinds of resident memory: a mapped dictionary's pages count as file memory.
QString residentParts()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    QStringList parts;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("RssAnon:") || line.startsWith("RssFile:"))
            parts.append(QString::fromLatin1(line.simplified()));
    return parts.join(QStringLiteral(", "));
}

QStringList words(const QString &language)
{
    QFile file(QStringLiteral(VOCARTA_WORDLISTS "/%1.txt").arg(language));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no word list %s", qPrintable(file.fileName()));
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// Milliseconds from starting the deployment to its line naming the pairs it serves.
double deploymentStartMs(const QString &dictdDir)
{
    QTemporaryDir dir;
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    server.start(QStringLiteral(VOCARTA_DEVSERVER_EXE),
                 {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"),
                  dir.filePath(QStringLiteral("state.json")), QStringLiteral("--dictionaries"), dictdDir});
    QByteArray out;
    double ms = -1;
    while (server.waitForReadyRead(20000)) {
        out += server.readAllStandardOutput();
        if (out.contains("translations:")) {
            ms = double(timer.nsecsElapsed()) / 1e6;
            break;
        }
    }
    server.terminate();
    server.waitForFinished(20000);
    return ms;
}

// Texts of the built-in table's made-up examples, which a dictionary candidate must never carry.
bool isTemplate(const QString &sentence)
{
    for (const char *fragment :
         {"is on my list", "steht auf meiner Liste", "est sur ma liste", "en mi lista"})
        if (sentence.contains(QLatin1String(fragment)))
            return true;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString dictdDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/usr/share/dictd");
    const QString missedDir = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

    const double startMs = deploymentStartMs(dictdDir);

    const long before = residentKb();
    QElapsedTimer timer;
    timer.start();
    DictionaryTranslator translator(dictdDir);
    const double openMs = double(timer.nsecsElapsed()) / 1e6;
    std::printf("dictionaries: %s\n", qPrintable(translator.pairNames().join(QStringLiteral(", "))));
    std::printf("deployment start with them: %.0f ms (process start to the line naming its pairs)\n",
                startMs);
    std::printf("opening them in process: %.1f ms\n", openMs);

    std::vector<double> times;
    double firstMs = -1;
    qsizetype candidates = 0, withPhonetic = 0, templates = 0;
    for (const char *pair : {"de", "fr", "es"}) {
        const QString other = QLatin1String(pair);
        for (const QString &language : {QStringLiteral("en"), other}) {
            const QStringList list = words(language);
            int covered = 0;
            QStringList missed;
            for (const QString &word : list) {
                timer.restart();
                const QJsonArray found = translator.translate(word, QStringLiteral("en"), other);
                const double ms = double(timer.nsecsElapsed()) / 1e6;
                if (firstMs < 0)
                    firstMs = ms;
                times.push_back(ms);
                if (!found.isEmpty())
                    ++covered;
                else
                    missed.append(word);
                for (const QJsonValue &c : found) {
                    ++candidates;
                    withPhonetic +=
                        c.toObject().value(QStringLiteral("phonetic")).toString().isEmpty() ? 0 : 1;
                    templates += isTemplate(c.toObject().value(QStringLiteral("exampleSentence")).toString());
                }
            }
            std::printf(
                "coverage en-%s, %s words: %.1f %% of %lld (missed e.g. %s)\n", pair, qPrintable(language),
                100.0 * covered / double(list.size()), qlonglong(list.size()),
                qPrintable(missed.first(std::min<qsizetype>(missed.size(), 12)).join(QStringLiteral(", "))));
            if (!missedDir.isEmpty()) {
                QFile file(QStringLiteral("%1/en-%2.%3.txt").arg(missedDir, other, language));
                if (file.open(QIODevice::WriteOnly))
                    file.write(missed.join(u'\n').toUtf8() + '\n');
            }
        }
    }
    const long after = residentKb();
    std::printf("lookups: %zu, median %.3f ms, p95 %.3f ms, max %.3f ms, first after start %.3f ms\n",
                times.size(), percentile(times, 0.5), percentile(times, 0.95), percentile(times, 1.0),
                firstMs);
    std::printf("candidates with a phonetic: %.1f %% of %lld; with a made-up example: %lld\n",
                candidates ? 100.0 * double(withPhonetic) / double(candidates) : 0.0, qlonglong(candidates),
                qlonglong(templates));
    std::printf("resident memory: %.1f MB before opening, +%.1f MB after every lookup (%s)\n",
                before / 1024.0, (after - before) / 1024.0, qPrintable(residentParts()));
    return 0;
}
