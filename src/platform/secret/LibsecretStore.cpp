#include "platform/secret/LibsecretStore.h"

#include "platform/secret/GAsyncCall.h"

#include <QByteArray>
#include <QStringDecoder>

#undef signals
#include <libsecret/secret.h>
#define signals Q_SIGNALS

namespace {

const SecretSchema *tokenSchema()
{
    static const SecretSchema schema = {"me.brindlefox.vocarta.menubar",
                                        SECRET_SCHEMA_NONE,
                                        {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SecretSchemaAttributeType(0)}},
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

struct ErrorHolder {
    GError *error = nullptr;
    ~ErrorHolder() { g_clear_error(&error); }
    QString message() const { return error ? QString::fromUtf8(error->message) : QString(); }
};

std::optional<QString> strictUtf8(const char *bytes, gsize length)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(QByteArrayView(bytes, qsizetype(length)));
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QCoro::Task<void> LibsecretStore::save(QString service, QString account, QString value, QString label)
{
    const QByteArray serviceBytes = service.toUtf8();
    const QByteArray accountBytes = account.toUtf8();
    const QByteArray valueBytes = value.toUtf8();
    const QByteArray labelBytes = label.toUtf8();
    // libsecret replaces an item with the same attributes in the collection.
    // Each call is a named local: a lambda converted inside a co_await expression
    // is destroyed twice by g++ 12.
    GAsyncCall call([&](GAsyncReadyCallback callback, gpointer userData) {
        secret_password_store(tokenSchema(), SECRET_COLLECTION_DEFAULT, labelBytes.constData(),
                              valueBytes.constData(), nullptr, callback, userData, "service",
                              serviceBytes.constData(), "account", accountBytes.constData(), nullptr);
    });
    AsyncResultPtr result = co_await std::move(call);
    ErrorHolder error;
    m_failure.reset();
    if (!secret_password_store_finish(result.get(), &error.error))
        m_failure = error.message();
}

QCoro::Task<std::optional<QString>> LibsecretStore::load(QString service, QString account)
{
    const QByteArray serviceBytes = service.toUtf8();
    const QByteArray accountBytes = account.toUtf8();
    GAsyncCall call([&](GAsyncReadyCallback callback, gpointer userData) {
        secret_password_lookup(tokenSchema(), nullptr, callback, userData, "service",
                               serviceBytes.constData(), "account", accountBytes.constData(), nullptr);
    });
    AsyncResultPtr result = co_await std::move(call);
    ErrorHolder error;
    SecretValue *secret = secret_password_lookup_binary_finish(result.get(), &error.error);
    m_failure.reset();
    if (!secret) {
        if (error.error)
            m_failure = error.message();
        co_return std::nullopt;
    }
    gsize length = 0;
    const gchar *bytes = secret_value_get(secret, &length);
    std::optional<QString> text = strictUtf8(bytes, length);
    secret_value_unref(secret);
    co_return text;
}

QCoro::Task<void> LibsecretStore::remove(QString service, QString account)
{
    const QByteArray serviceBytes = service.toUtf8();
    const QByteArray accountBytes = account.toUtf8();
    GAsyncCall call([&](GAsyncReadyCallback callback, gpointer userData) {
        secret_password_clear(tokenSchema(), nullptr, callback, userData, "service", serviceBytes.constData(),
                              "account", accountBytes.constData(), nullptr);
    });
    AsyncResultPtr result = co_await std::move(call);
    ErrorHolder error;
    m_failure.reset();
    // FALSE without an error only means there was nothing to delete.
    if (!secret_password_clear_finish(result.get(), &error.error) && error.error)
        m_failure = error.message();
}
