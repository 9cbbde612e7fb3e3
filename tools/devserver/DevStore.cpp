#include "DevStore.h"

#include "DevClock.h"
#include "DevLog.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSaveFile>

namespace {
constexpr qint64 expiredCodeRetentionMs = 60 * 60 * 1000;
constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
} // namespace

DevStore::DevStore(QString path, DevClock *clock, QObject *parent)
    : QObject(parent)
    , m_path(std::move(path))
    , m_clock(clock)
{
}

bool DevStore::open(QString *error)
{
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("cannot create the folder of %1").arg(m_path);
        return false;
    }
    bool ok = false;
    withLock([&] {
        QFile file(m_path);
        if (!file.exists()) {
            seedDemo();
            ok = writeFile(error);
            return ok;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(m_path, file.errorString());
            return false;
        }
        // A file from an older run may be readable by others; it holds password and token digests.
        file.setPermissions(ownerOnly);
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
        if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
            *error = QStringLiteral("%1 is not a JSON object: %2").arg(m_path, parseError.errorString());
            return false;
        }
        QString why;
        auto loaded = DevState::fromJson(doc.object(), &why);
        if (!loaded) {
            *error = QStringLiteral("%1: %2").arg(m_path, why);
            return false;
        }
        m_state = std::move(*loaded);
        ok = true;
        return true;
    });
    if (!ok && error->isEmpty())
        *error = QStringLiteral("the data file %1 is locked by another process").arg(m_path);
    return ok;
}

bool DevStore::commit(const QSet<QString> &changedUserIds)
{
    QString error;
    const bool written = withLock([&] {
        refreshLinkCodesFromDisk();
        return writeFile(&error);
    });
    if (!written)
        devLog(QStringLiteral("!! could not write the data file: %1").arg(error));
    for (const QString &userId : changedUserIds)
        Q_EMIT userDataChanged(userId);
    return written;
}

void DevStore::refreshLinkCodesFromDisk()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    QString why;
    if (auto codes = DevState::linkCodesFromJson(doc.object().value(QStringLiteral("linkCodes")), &why))
        mergeLinkCodes(*codes);
}

void DevStore::mergeLinkCodes(const QList<DevLinkCode> &fromDisk)
{
    for (const DevLinkCode &disk : fromDisk) {
        auto it = std::find_if(m_state.linkCodes.begin(), m_state.linkCodes.end(),
                               [&](const DevLinkCode &c) { return c.code == disk.code; });
        if (it == m_state.linkCodes.end())
            m_state.linkCodes.append(disk);
        else
            it->used = it->used || disk.used;
    }
    const qint64 now = m_clock->nowMs();
    m_state.linkCodes.removeIf(
        [now](const DevLinkCode &c) { return c.expiresAt + expiredCodeRetentionMs < now; });
}

bool DevStore::withLock(const std::function<bool()> &work)
{
    QLockFile lock(m_path + QStringLiteral(".lock"));
    lock.setStaleLockTime(10000);
    // Held for a file write at most; the other holder is the short link-code command.
    if (!lock.tryLock(3000)) {
        devLog(QStringLiteral("!! data file lock %1.lock is held by another process").arg(m_path));
        return false;
    }
    return work();
}

bool DevStore::writeFile(QString *error)
{
    QSaveFile file(m_path);
    // The new file takes the place of the old one only when complete, and is
    // the owner's alone before anything is written to it.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(ownerOnly)) {
        *error = file.errorString();
        return false;
    }
    file.write(QJsonDocument(m_state.toJson()).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

QString DevStore::newId()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString id;
    for (int i = 0; i < 32; ++i)
        id += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(36)]);
    return id;
}

QString DevStore::newSecret(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(raw.data()), bytes / 4);
    return QString::fromLatin1(raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString DevStore::digest(const QString &secret)
{
    return QString::fromLatin1(QCryptographicHash::hash(secret.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString DevStore::passwordDigest(const QString &salt, const QString &password)
{
    return digest(salt + u':' + password);
}

DevUser &DevStore::createUser(const QString &email, const QString &password)
{
    DevUser user;
    user.id = newId();
    user.email = email;
    user.passwordSalt = newSecret(16);
    user.passwordHash = passwordDigest(user.passwordSalt, password);
    user.creationTime = m_clock->nowMs();
    struct Seed {
        const char *name, *from, *to;
    };
    static const Seed seeds[] = {{"English → French", "en", "fr"},
                                 {"English → German", "en", "de"},
                                 {"Hungarian → English", "hu", "en"}};
    for (const Seed &s : seeds) {
        DevDeck deck{newId(),
                     user.id,
                     QString::fromUtf8(s.name),
                     QString::fromLatin1(s.from),
                     QString::fromLatin1(s.to),
                     m_clock->nowMs()};
        if (user.activeDeckId.isEmpty())
            user.activeDeckId = deck.id;
        m_state.decks.append(deck);
    }
    m_state.users.append(user);
    return m_state.users.last();
}

void DevStore::seedDemo()
{
    m_state = DevState{};
    createUser(QString::fromLatin1(demoEmail), QString::fromLatin1(demoPassword));
}
