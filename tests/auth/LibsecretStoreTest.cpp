#include "KeyringSchema.h"
#include "SecretTestSession.h"
#include "TestSupport.h"

#include "platform/secret/HelperSecretStore.h"
#include "platform/secret/LibsecretStore.h"

#include <QCoroTask>

namespace {

const QString service = QStringLiteral("me.brindlefox.vocarta.menubar.test");

const SecretSchema *schema()
{
    static const SecretSchema s = serviceAccountSchema("me.brindlefox.vocarta.menubar");
    return &s;
}

// Every item the keyring holds for (service, account), read with libsecret's own
// synchronous calls so the check does not depend on the code under test.
QList<SecretItem *> itemsFor(const QString &account)
{
    GHashTable *attributes = g_hash_table_new(g_str_hash, g_str_equal);
    const QByteArray s = service.toUtf8(), a = account.toUtf8();
    g_hash_table_insert(attributes, gpointer("service"), gpointer(s.constData()));
    g_hash_table_insert(attributes, gpointer("account"), gpointer(a.constData()));
    GError *error = nullptr;
    GList *found = secret_password_searchv_sync(
        schema(), attributes,
        SecretSearchFlags(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS), nullptr,
        &error);
    g_hash_table_unref(attributes);
    g_clear_error(&error);
    QList<SecretItem *> items;
    for (GList *l = found; l; l = l->next)
        items.append(SECRET_ITEM(l->data));
    g_list_free(found);
    return items;
}

QByteArray rawSecret(SecretItem *item)
{
    SecretValue *value = secret_item_get_secret(item);
    if (!value)
        return {};
    gsize length = 0;
    const gchar *bytes = secret_value_get(value, &length);
    QByteArray raw(bytes, qsizetype(length));
    secret_value_unref(value);
    return raw;
}

} // namespace

// Every case runs twice: against libsecret in this process, and against the
// program's way to it, the helper process.
class LibsecretStoreTest : public QObject {
    Q_OBJECT

    LibsecretStore inProcess;
    HelperSecretStore throughHelper{QStringLiteral(VOCARTA_SECRET_HELPER)};
    SecretStore *store = nullptr;

    std::optional<QString> load(const QString &account)
    {
        return QCoro::waitFor(store->load(service, account));
    }
    void save(const QString &account, const QString &value)
    {
        QCoro::waitFor(store->save(service, account, value, QStringLiteral("Vocarta test item")));
    }
    void remove(const QString &account) { QCoro::waitFor(store->remove(service, account)); }

private Q_SLOTS:
    void initTestCase() { REQUIRE_PRIVATE_SESSION(); }

    void initTestCase_data()
    {
        QTest::addColumn<bool>("helper");
        QTest::newRow("in process") << false;
        QTest::newRow("through the helper") << true;
    }

    void init()
    {
        QFETCH_GLOBAL(bool, helper);
        store = helper ? static_cast<SecretStore *>(&throughHelper) : &inProcess;
    }

    void cleanup()
    {
        for (const QString &account :
             {QStringLiteral("jwt"), QStringLiteral("refresh"), QStringLiteral("raw")})
            remove(account);
    }

    void savedItemRoundTripsAndIsStoredAsPlainUtf8Bytes()
    {
        LogCapture log;
        QCOMPARE(load(QStringLiteral("jwt")), std::nullopt);

        const QString token = QStringLiteral("eyJhbGciOi.tøkén-✓-𝄞,3:x,");
        save(QStringLiteral("jwt"), token);
        QCOMPARE(load(QStringLiteral("jwt")), std::optional<QString>(token));

        const QList<SecretItem *> items = itemsFor(QStringLiteral("jwt"));
        QCOMPARE(items.size(), 1);
        QCOMPARE(rawSecret(items.first()), token.toUtf8());
        gchar *label = secret_item_get_label(items.first());
        QCOMPARE(QString::fromUtf8(label), QStringLiteral("Vocarta test item"));
        g_free(label);
        GHashTable *attributes = secret_item_get_attributes(items.first());
        QCOMPARE(QString::fromUtf8(static_cast<const char *>(g_hash_table_lookup(attributes, "xdg:schema"))),
                 QStringLiteral("me.brindlefox.vocarta.menubar"));
        g_hash_table_unref(attributes);
        for (SecretItem *item : items)
            g_object_unref(item);

        remove(QStringLiteral("jwt"));
        QCOMPARE(load(QStringLiteral("jwt")), std::nullopt);
        QVERIFY(itemsFor(QStringLiteral("jwt")).isEmpty());
        QVERIFY2(log.allLines().isEmpty(), qPrintable(log.allLines().join(u'\n')));
    }

    void saveReplacesAndAccountsAreIndependent()
    {
        save(QStringLiteral("jwt"), QStringLiteral("first"));
        save(QStringLiteral("refresh"), QStringLiteral("other"));
        save(QStringLiteral("jwt"), QStringLiteral("second"));
        QCOMPARE(load(QStringLiteral("jwt")), std::optional<QString>(QStringLiteral("second")));
        const QList<SecretItem *> items = itemsFor(QStringLiteral("jwt"));
        QCOMPARE(items.size(), 1);
        for (SecretItem *item : items)
            g_object_unref(item);

        remove(QStringLiteral("jwt"));
        QCOMPARE(load(QStringLiteral("jwt")), std::nullopt);
        QCOMPARE(load(QStringLiteral("refresh")), std::optional<QString>(QStringLiteral("other")));

        // Removing what is not there is harmless.
        remove(QStringLiteral("jwt"));
        QCOMPARE(load(QStringLiteral("refresh")), std::optional<QString>(QStringLiteral("other")));
    }

    void bytesThatAreNotUtf8LoadAsNothing()
    {
        GError *error = nullptr;
        SecretValue *value = secret_value_new("\xff\xfe token", -1, "application/octet-stream");
        const gboolean stored = secret_password_store_binary_sync(
            schema(), SECRET_COLLECTION_DEFAULT, "raw", value, nullptr, &error, "service",
            service.toUtf8().constData(), "account", "raw", nullptr);
        secret_value_unref(value);
        QVERIFY2(stored, error ? error->message : "");
        QCOMPARE(load(QStringLiteral("raw")), std::nullopt);
    }

    void operationsDoNotHoldUpTheEventLoop()
    {
        // Each call returns to the event loop while the keyring works.
        QCoro::Task<void> saving =
            store->save(service, QStringLiteral("jwt"), QStringLiteral("x"), QStringLiteral("l"));
        QVERIFY(!saving.isReady());
        QCoro::waitFor(saving);
        QCoro::Task<std::optional<QString>> loading = store->load(service, QStringLiteral("jwt"));
        QVERIFY(!loading.isReady());
        QCOMPARE(QCoro::waitFor(loading), std::optional<QString>(QStringLiteral("x")));
    }
};

QTEST_GUILESS_MAIN(LibsecretStoreTest)
#include "LibsecretStoreTest.moc"
