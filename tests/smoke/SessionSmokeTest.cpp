#include "KeyringSchema.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <QtTest>

class SessionSmokeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowIsExposedOnTheDisplay()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "run inside scripts/test's session");
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QQuickWindow window;
        window.resize(200, 120);
        window.setColor(Qt::darkMagenta);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, 20000));
        QTRY_VERIFY_WITH_TIMEOUT(window.frameGeometry().isValid(), 20000);
    }

    void secretRoundTripsThroughTheTestKeyring()
    {
        static const SecretSchema schema = serviceAccountSchema("me.brindlefox.vocarta.menubar.smoke");
        GError *error = nullptr;
        const gboolean stored =
            secret_password_store_sync(&schema, SECRET_COLLECTION_DEFAULT, "smoke", "s3crét", nullptr, &error,
                                       "service", "smoke", "account", "a", nullptr);
        QVERIFY2(stored, error ? error->message : "store failed");
        gchar *value = secret_password_lookup_sync(&schema, nullptr, &error, "service", "smoke", "account",
                                                   "a", nullptr);
        QVERIFY2(value, error ? error->message : "nothing stored");
        QCOMPARE(QString::fromUtf8(value), QStringLiteral("s3crét"));
        secret_password_free(value);
        QVERIFY(secret_password_clear_sync(&schema, nullptr, &error, "service", "smoke", "account", "a",
                                           nullptr));
    }
};

QTEST_MAIN(SessionSmokeTest)
#include "SessionSmokeTest.moc"
