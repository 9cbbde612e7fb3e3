#include "update/Updater.h"
#include "LoopbackHttpServer.h"
#include "update/Appcast.h"
#include "update/UpdateDialog.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

#include <qcoro/qcorotask.h>
#include <sodium.h>

namespace {

QByteArray feed(const QList<QPair<QString, QString>> &versionsAndLinks)
{
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
        "<channel><title>Vocarta Menubar</title>\n";
    for (const auto &[version, link] : versionsAndLinks) {
        xml += "<item><title>Version " + version.toUtf8() + "</title><sparkle:version>" + version.toUtf8() +
               "</sparkle:version><link>" + link.toUtf8() + "</link><description>Faster &amp; smaller " +
               version.toUtf8() + "</description></item>\n";
    }
    return xml + "</channel></rss>\n";
}

struct KeyPair {
    QByteArray publicKey; // base64
    QByteArray secretKey; // raw

    static KeyPair generate()
    {
        unsigned char pk[crypto_sign_PUBLICKEYBYTES];
        unsigned char sk[crypto_sign_SECRETKEYBYTES];
        crypto_sign_keypair(pk, sk);
        return {QByteArray(reinterpret_cast<char *>(pk), sizeof pk).toBase64(),
                QByteArray(reinterpret_cast<char *>(sk), sizeof sk)};
    }
    QByteArray sign(const QByteArray &document) const
    {
        unsigned char sig[crypto_sign_BYTES];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char *>(document.constData()),
                             document.size(), reinterpret_cast<const unsigned char *>(secretKey.constData()));
        return QByteArray(reinterpret_cast<char *>(sig), sizeof sig).toBase64();
    }
};

UpdateCheckResult runCheck(Updater &updater)
{
    return QCoro::waitFor(updater.check());
}

} // namespace

class UpdaterTest : public QObject {
    Q_OBJECT

    KeyPair m_keys;
    LoopbackHttpServer *m_server = nullptr;
    const QString downloadPage = QStringLiteral("https://vocarta.example/download");

    Updater::Config config(const QString &current = QStringLiteral("1.9.0"))
    {
        Updater::Config c;
        c.feedUrl = m_server->url("/appcast.xml");
        c.publicKey = m_keys.publicKey;
        c.currentVersion = current;
        c.timeout = std::chrono::milliseconds(500);
        return c;
    }
    void publish(const QByteArray &document, const QByteArray &signature)
    {
        m_server->serve("/appcast.xml", document);
        m_server->serve("/appcast.xml.sig", signature);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(sodium_init() >= 0);
        m_keys = KeyPair::generate();
    }
    void init() { m_server = new LoopbackHttpServer(this); }
    void cleanup() { delete m_server; }

    void versionsCompareNumerically()
    {
        QVERIFY(Appcast::parseVersion("1.10") > Appcast::parseVersion("1.9"));
        QVERIFY(Appcast::parseVersion("2.0.0") > Appcast::parseVersion("1.99.99"));
        QCOMPARE(Appcast::parseVersion("1.2"), Appcast::parseVersion("1.2.0"));
        for (const char *bad :
             {"", "1.", ".1", "1..2", "1.2-beta", " 1.2", "v1", "1.2.3.4.5.6.7", "99999999999"})
            QVERIFY2(Appcast::parseVersion(QString::fromLatin1(bad)).isNull(), bad);
    }

    void feedParsingIsStrict_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("error"); // empty: accepted
        const QByteArray head =
            "<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>";
        QTest::newRow("two items") << feed({{"1.2", downloadPage}, {"1.10", downloadPage}}) << QString();
        QTest::newRow("version on the enclosure")
            << head + "<item><enclosure url=\"https://x.example/a.tar.gz\" sparkle:version=\"3.1\"/></item>"
                      "</channel></rss>"
            << QString();
        QTest::newRow("no items") << head + "</channel></rss>" << QString();
        QTest::newRow("not xml") << QByteArray("{\"version\":\"9\"}") << "not an RSS document";
        QTest::newRow("truncated") << head + "<item><sparkle:version>2"
                                   << "not well-formed";
        QTest::newRow("second root") << feed({}) + "<rss/>"
                                     << "not well-formed";
        QTest::newRow("no channel") << QByteArray("<rss></rss>") << "no channel";
        QTest::newRow("missing version")
            << head + "<item><link>https://x.example/</link></item></channel></rss>"
            << "item 1 has no version";
        QTest::newRow("unreadable version") << feed({{"2.0-rc1", downloadPage}}) << "unreadable version";
        QTest::newRow("script link") << feed({{"2.0", "javascript:alert(1)"}})
                                     << "no usable download address";
        QTest::newRow("plain http elsewhere")
            << feed({{"2.0", "http://x.example/"}}) << "no usable download address";
        QTest::newRow("entity expansion")
            << QByteArray("<!DOCTYPE rss [<!ENTITY a "
                          "\"aaaaaaaa\">]><rss><channel><title>&a;</title></channel></rss>")
            << "not well-formed";
    }

    void feedParsingIsStrict()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, error);
        QString message;
        const auto parsed = Appcast::parse(document, &message);
        if (error.isEmpty()) {
            QVERIFY2(parsed.has_value(), qPrintable(message));
        } else {
            QVERIFY(!parsed);
            QVERIFY2(message.contains(error), qPrintable(message));
        }
    }

    void newerReleaseIsOffered()
    {
        const QByteArray doc = feed({{"1.2.0", downloadPage}, {"1.10.0", downloadPage + "/1.10"}});
        publish(doc, m_keys.sign(doc));
        Updater updater(config("1.9.0"));
        const UpdateCheckResult result = runCheck(updater);
        QCOMPARE(int(result.kind), int(UpdateCheckResult::Kind::UpdateAvailable));
        QCOMPARE(result.newest.displayVersion, QStringLiteral("1.10.0"));
        QCOMPARE(result.newest.downloadPage, QUrl(downloadPage + "/1.10"));
        QCOMPARE(result.newest.notes, QStringLiteral("Faster & smaller 1.10.0"));
        QCOMPARE(m_server->requests(), (QStringList{"/appcast.xml", "/appcast.xml.sig"}));
    }

    void sameOrOlderIsUpToDate()
    {
        const QByteArray doc = feed({{"1.9", downloadPage}, {"1.8.5", downloadPage}});
        publish(doc, m_keys.sign(doc));
        Updater updater(config("1.9.0"));
        QCOMPARE(int(runCheck(updater).kind), int(UpdateCheckResult::Kind::UpToDate));
    }

    void failuresAreReportedNotBelieved_data()
    {
        QTest::addColumn<int>("scenario");
        QTest::addColumn<QString>("error");
        QTest::newRow("malformed but signed") << 0 << "could not be read";
        QTest::newRow("tampered after signing") << 1 << "signature is not valid";
        QTest::newRow("signed by another key") << 2 << "signature is not valid";
        QTest::newRow("signature missing") << 3 << "signature: ";
        QTest::newRow("signature not base64") << 4 << "signature is not valid";
        QTest::newRow("feed missing") << 5 << "status 404";
        QTest::newRow("unreachable") << 6 << "Could not read the update feed";
        QTest::newRow("no answer within the time-out") << 7 << "did not answer in time";
        QTest::newRow("no key in the build") << 8 << "no key";
        QTest::newRow("insecure feed address") << 9 << "not a secure address";
        QTest::newRow("answer trickling past the time-out") << 10 << "did not answer in time";
    }

    void failuresAreReportedNotBelieved()
    {
        QFETCH(int, scenario);
        QFETCH(QString, error);
        const QByteArray good = feed({{"9.0", downloadPage}});
        Updater::Config c = config();
        switch (scenario) {
        case 0: {
            const QByteArray bad = good.left(good.size() / 2);
            publish(bad, m_keys.sign(bad));
            break;
        }
        case 1: {
            QByteArray tampered = good;
            tampered.replace(downloadPage.toUtf8(), "https://evil.example/download");
            publish(tampered, m_keys.sign(good));
            break;
        }
        case 2:
            publish(good, KeyPair::generate().sign(good));
            break;
        case 3:
            m_server->serve("/appcast.xml", good);
            break;
        case 4:
            publish(good, "!!!!");
            break;
        case 5:
            break;
        case 6: {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            c.feedUrl = QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(closed.serverPort()));
            closed.close();
            break;
        }
        case 7:
            m_server->setSilent(true);
            break;
        case 8:
            publish(good, m_keys.sign(good));
            c.publicKey.clear();
            break;
        case 9:
            c.feedUrl = QUrl("http://updates.example/appcast.xml");
            break;
        case 10:
            // A byte well within every 500 ms: only a limit on the whole answer stops it.
            m_server->setTrickle(std::chrono::milliseconds(50));
            break;
        }
        Updater updater(c);
        const UpdateCheckResult result = runCheck(updater);
        QCOMPARE(int(result.kind), int(UpdateCheckResult::Kind::Failed));
        QVERIFY2(result.error.contains(error), qPrintable(result.error));
    }

    void userCheckShowsEveryAnswerAutomaticOnlyNews()
    {
        const QByteArray same = feed({{"1.9.0", downloadPage}});
        publish(same, m_keys.sign(same));
        Updater updater(config());
        QList<UpdateCheckResult> shown;
        updater.setPresenter([&shown](const UpdateCheckResult &r) { shown << r; });
        QSignalSpy finished(&updater, &Updater::checkFinished);

        updater.startAutomaticChecks();
        QVERIFY(finished.wait(20000));
        QVERIFY(shown.isEmpty()); // up to date: automatic checks stay quiet

        updater.checkForUpdates();
        updater.checkForUpdates(); // joins the running check
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 20000);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(int(shown.first().kind), int(UpdateCheckResult::Kind::UpToDate));
        QCOMPARE(m_server->requests().size(), 4);

        const QByteArray newer = feed({{"2.0", downloadPage}});
        publish(newer, m_keys.sign(newer));
        Updater::Config c = config();
        c.interval = std::chrono::milliseconds(50);
        Updater periodic(c);
        QList<UpdateCheckResult> news;
        periodic.setPresenter([&news](const UpdateCheckResult &r) { news << r; });
        periodic.startAutomaticChecks();
        QTRY_VERIFY_WITH_TIMEOUT(news.size() >= 2, 20000); // the timer repeats the check
        QCOMPARE(int(news.first().kind), int(UpdateCheckResult::Kind::UpdateAvailable));
    }

    void distributionBuildsNeverCheck()
    {
        Updater::Config c = config();
        c.checksDisabled = true;
        Updater updater(c);
        QList<UpdateCheckResult> shown;
        updater.setPresenter([&shown](const UpdateCheckResult &r) { shown << r; });
        updater.startAutomaticChecks();
        updater.checkForUpdates();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().error.contains("package manager"));
        QVERIFY(m_server->requests().isEmpty());
    }

    void dialogOffersTheDownloadPage()
    {
        QList<QUrl> opened;
        UpdateDialog dialog([&opened](const QUrl &url) { opened << url; });
        UpdateCheckResult result;
        result.kind = UpdateCheckResult::Kind::UpdateAvailable;
        result.currentVersion = "1.9.0";
        result.newest.displayVersion = "1.10.0";
        result.newest.notes = "<b>not markup</b>";
        result.newest.downloadPage = QUrl(downloadPage);
        dialog.showResult(result);
        QMessageBox *box = dialog.box();
        QVERIFY(box && box->isVisible());
        QVERIFY(box->informativeText().contains("1.10.0"));
        QCOMPARE(box->textFormat(), Qt::PlainText);
        bool notesShown = false;
        for (const QLabel *label : box->findChildren<QLabel *>()) {
            if (label->text().contains(QStringLiteral("<b>not markup</b>"))) {
                notesShown = true;
                QCOMPARE(label->textFormat(), Qt::PlainText);
            }
        }
        QVERIFY(notesShown);
        QPushButton *download = nullptr;
        for (QAbstractButton *b : box->buttons()) {
            if (b->text() == "Download...")
                download = qobject_cast<QPushButton *>(b);
        }
        QVERIFY(download);
        download->click();
        QCOMPARE(opened, QList<QUrl>{QUrl(downloadPage)});

        result.kind = UpdateCheckResult::Kind::Failed;
        result.error = "The update feed's signature is not valid; it was ignored.";
        dialog.showResult(result); // replaces the earlier answer
        QVERIFY(dialog.box() && dialog.box()->isVisible());
        QCOMPARE(dialog.box()->informativeText(), result.error);
        QCOMPARE(dialog.box()->buttons().size(), 1);
    }
};

QTEST_MAIN(UpdaterTest)
#include "UpdaterTest.moc"
