#include "DevState.h"

#include <QJsonArray>

namespace {

// Reads members of one stored object, remembering the first problem.
class Reader {
public:
    Reader(const QJsonValue &value, QString where, QString *error)
        : m_where(std::move(where))
        , m_error(error)
    {
        if (!value.isObject())
            fail(QStringLiteral("is not an object"));
        m_object = value.toObject();
    }

    QString string(const QString &key, bool allowEmpty = true)
    {
        const QJsonValue v = m_object.value(key);
        if (!v.isString() || (!allowEmpty && v.toString().isEmpty())) {
            fail(QStringLiteral("member \"%1\" must be a%2 string").arg(key, allowEmpty ? "" : " non-empty"));
            return {};
        }
        return v.toString();
    }

    qint64 integer(const QString &key)
    {
        const QJsonValue v = m_object.value(key);
        const double d = v.toDouble();
        if (!v.isDouble() || d != static_cast<double>(static_cast<qint64>(d))) {
            fail(QStringLiteral("member \"%1\" must be an integer").arg(key));
            return 0;
        }
        return static_cast<qint64>(d);
    }

    std::optional<qint64> optionalInteger(const QString &key)
    {
        if (!m_object.contains(key) || m_object.value(key).isNull())
            return std::nullopt;
        return integer(key);
    }

    bool boolean(const QString &key)
    {
        const QJsonValue v = m_object.value(key);
        if (!v.isBool()) {
            fail(QStringLiteral("member \"%1\" must be true or false").arg(key));
            return false;
        }
        return v.toBool();
    }

    bool ok() const { return m_ok; }

private:
    void fail(const QString &what)
    {
        if (m_ok && m_error)
            *m_error = m_where + u' ' + what;
        m_ok = false;
    }

    QJsonObject m_object;
    QString m_where;
    QString *m_error;
    bool m_ok = true;
};

template <class T, class F>
std::optional<QList<T>> readList(const QJsonObject &root, const QString &key, QString *error, F readOne)
{
    const QJsonValue v = root.value(key);
    if (v.isUndefined())
        return QList<T>{};
    if (!v.isArray()) {
        *error = QStringLiteral("\"%1\" must be an array").arg(key);
        return std::nullopt;
    }
    QList<T> out;
    const QJsonArray array = v.toArray();
    for (qsizetype i = 0; i < array.size(); ++i) {
        Reader r(array.at(i), QStringLiteral("%1[%2]").arg(key).arg(i), error);
        T item = readOne(r);
        if (!r.ok())
            return std::nullopt;
        out.append(std::move(item));
    }
    return out;
}

DevLinkCode readLinkCode(Reader &r)
{
    DevLinkCode c;
    c.code = r.string(QStringLiteral("code"), false);
    c.userId = r.string(QStringLiteral("userId"), false);
    c.expiresAt = r.integer(QStringLiteral("expiresAt"));
    c.used = r.boolean(QStringLiteral("used"));
    return c;
}

} // namespace

QJsonArray DevState::linkCodesToJson(const QList<DevLinkCode> &codes)
{
    QJsonArray out;
    for (const DevLinkCode &c : codes)
        out.append(QJsonObject{
            {"code", c.code}, {"userId", c.userId}, {"expiresAt", c.expiresAt}, {"used", c.used}});
    return out;
}

std::optional<QList<DevLinkCode>> DevState::linkCodesFromJson(const QJsonValue &value, QString *error)
{
    return readList<DevLinkCode>(QJsonObject{{"linkCodes", value}}, QStringLiteral("linkCodes"), error,
                                 readLinkCode);
}

QJsonObject DevState::toJson() const
{
    QJsonArray users;
    for (const DevUser &u : this->users)
        users.append(QJsonObject{{"_id", u.id},
                                 {"email", u.email},
                                 {"passwordSalt", u.passwordSalt},
                                 {"passwordHash", u.passwordHash},
                                 {"activeDeckId", u.activeDeckId},
                                 {"_creationTime", u.creationTime}});
    QJsonArray decks;
    for (const DevDeck &d : this->decks)
        decks.append(QJsonObject{{"_id", d.id},
                                 {"userId", d.userId},
                                 {"name", d.name},
                                 {"langFrom", d.langFrom},
                                 {"langTo", d.langTo},
                                 {"_creationTime", d.creationTime}});
    QJsonArray cards;
    for (const DevCard &c : this->cards)
        cards.append(QJsonObject{{"_id", c.id},
                                 {"deckId", c.deckId},
                                 {"userId", c.userId},
                                 {"word", c.word},
                                 {"translation", c.translation},
                                 {"phonetic", c.phonetic},
                                 {"exampleSentence", c.exampleSentence},
                                 {"exampleSentenceTranslation", c.exampleSentenceTranslation},
                                 {"category", c.category},
                                 {"_creationTime", c.creationTime}});
    QJsonArray sessions;
    for (const DevSession &s : this->sessions)
        sessions.append(QJsonObject{{"_id", s.id}, {"userId", s.userId}});
    QJsonArray access;
    for (const DevAccessToken &t : accessTokens)
        access.append(QJsonObject{{"hash", t.hash}, {"sessionId", t.sessionId}, {"expiresAt", t.expiresAt}});
    QJsonArray refresh;
    for (const DevRefreshToken &t : refreshTokens)
        refresh.append(
            QJsonObject{{"hash", t.hash},
                        {"sessionId", t.sessionId},
                        {"expiresAt", t.expiresAt},
                        {"firstUsedAt", t.firstUsedAt ? QJsonValue(*t.firstUsedAt) : QJsonValue()}});
    return QJsonObject{{"format", 1},
                       {"users", users},
                       {"decks", decks},
                       {"cards", cards},
                       {"sessions", sessions},
                       {"accessTokens", access},
                       {"refreshTokens", refresh},
                       {"linkCodes", linkCodesToJson(linkCodes)}};
}

std::optional<DevState> DevState::fromJson(const QJsonObject &root, QString *error)
{
    if (root.value(QStringLiteral("format")).toInt() != 1) {
        *error = QStringLiteral("unknown format (expected \"format\": 1)");
        return std::nullopt;
    }
    DevState s;
    auto users = readList<DevUser>(root, QStringLiteral("users"), error, [](Reader &r) {
        DevUser u;
        u.id = r.string(QStringLiteral("_id"), false);
        u.email = r.string(QStringLiteral("email"), false);
        u.passwordSalt = r.string(QStringLiteral("passwordSalt"));
        u.passwordHash = r.string(QStringLiteral("passwordHash"));
        u.activeDeckId = r.string(QStringLiteral("activeDeckId"));
        u.creationTime = r.integer(QStringLiteral("_creationTime"));
        return u;
    });
    if (!users)
        return std::nullopt;
    auto decks = readList<DevDeck>(root, QStringLiteral("decks"), error, [](Reader &r) {
        DevDeck d;
        d.id = r.string(QStringLiteral("_id"), false);
        d.userId = r.string(QStringLiteral("userId"), false);
        d.name = r.string(QStringLiteral("name"));
        d.langFrom = r.string(QStringLiteral("langFrom"));
        d.langTo = r.string(QStringLiteral("langTo"));
        d.creationTime = r.integer(QStringLiteral("_creationTime"));
        return d;
    });
    if (!decks)
        return std::nullopt;
    auto cards = readList<DevCard>(root, QStringLiteral("cards"), error, [](Reader &r) {
        DevCard c;
        c.id = r.string(QStringLiteral("_id"), false);
        c.deckId = r.string(QStringLiteral("deckId"), false);
        c.userId = r.string(QStringLiteral("userId"), false);
        c.word = r.string(QStringLiteral("word"));
        c.translation = r.string(QStringLiteral("translation"));
        c.phonetic = r.string(QStringLiteral("phonetic"));
        c.exampleSentence = r.string(QStringLiteral("exampleSentence"));
        c.exampleSentenceTranslation = r.string(QStringLiteral("exampleSentenceTranslation"));
        c.category = r.string(QStringLiteral("category"));
        c.creationTime = r.integer(QStringLiteral("_creationTime"));
        return c;
    });
    if (!cards)
        return std::nullopt;
    auto sessions = readList<DevSession>(root, QStringLiteral("sessions"), error, [](Reader &r) {
        DevSession s;
        s.id = r.string(QStringLiteral("_id"), false);
        s.userId = r.string(QStringLiteral("userId"), false);
        return s;
    });
    if (!sessions)
        return std::nullopt;
    auto access = readList<DevAccessToken>(root, QStringLiteral("accessTokens"), error, [](Reader &r) {
        DevAccessToken t;
        t.hash = r.string(QStringLiteral("hash"), false);
        t.sessionId = r.string(QStringLiteral("sessionId"), false);
        t.expiresAt = r.integer(QStringLiteral("expiresAt"));
        return t;
    });
    if (!access)
        return std::nullopt;
    auto refresh = readList<DevRefreshToken>(root, QStringLiteral("refreshTokens"), error, [](Reader &r) {
        DevRefreshToken t;
        t.hash = r.string(QStringLiteral("hash"), false);
        t.sessionId = r.string(QStringLiteral("sessionId"), false);
        t.expiresAt = r.integer(QStringLiteral("expiresAt"));
        t.firstUsedAt = r.optionalInteger(QStringLiteral("firstUsedAt"));
        return t;
    });
    if (!refresh)
        return std::nullopt;
    auto codes = readList<DevLinkCode>(root, QStringLiteral("linkCodes"), error, readLinkCode);
    if (!codes)
        return std::nullopt;
    s.users = *users;
    s.decks = *decks;
    s.cards = *cards;
    s.sessions = *sessions;
    s.accessTokens = *access;
    s.refreshTokens = *refresh;
    s.linkCodes = *codes;
    return s;
}

DevUser *DevState::userById(const QString &id)
{
    for (DevUser &u : users)
        if (u.id == id)
            return &u;
    return nullptr;
}

DevUser *DevState::userByEmail(const QString &email)
{
    for (DevUser &u : users)
        if (u.email.compare(email, Qt::CaseInsensitive) == 0)
            return &u;
    return nullptr;
}

const DevDeck *DevState::deckById(const QString &id) const
{
    for (const DevDeck &d : decks)
        if (d.id == id)
            return &d;
    return nullptr;
}

QList<DevDeck> DevState::decksOf(const QString &userId) const
{
    QList<DevDeck> out;
    for (const DevDeck &d : decks)
        if (d.userId == userId)
            out.append(d);
    return out;
}
