#include "DevFunctions.h"

#include "ArgValidator.h"
#include "DevClock.h"
#include "DevStore.h"
#include "DictionaryTranslator.h"
#include "WordTable.h"

#include <QJsonArray>

namespace {
using Rule = ArgValidator::Rule;
using Type = ArgValidator::Type;

DevFunctions::Outcome failure(const QString &message, const QString &note = {})
{
    return {false, QJsonValue(), message, note};
}

DevFunctions::Outcome success(const QJsonValue &value, const QString &note = {})
{
    return {true, value, QString(), note};
}

const QString notAuthenticated = QStringLiteral("Not authenticated");

QJsonObject deckJson(const DevDeck &d)
{
    return QJsonObject{{"_id", d.id},
                       {"_creationTime", double(d.creationTime)},
                       {"name", d.name},
                       {"langFrom", d.langFrom},
                       {"langTo", d.langTo}};
}

QJsonObject tokensJson(const DevTokenPair &pair)
{
    return QJsonObject{{"token", pair.token}, {"refreshToken", pair.refreshToken}};
}
} // namespace

DevFunctions::DevFunctions(DevStore *store, DevAuth *auth, DevClock *clock, DictionaryTranslator *translator)
    : m_store(store)
    , m_auth(auth)
    , m_clock(clock)
    , m_translator(translator)
{
}

std::optional<DevFunctions::Kind> DevFunctions::kindOf(const QString &path) const
{
    static const QHash<QString, Kind> kinds = {
        {QStringLiteral("auth:signIn"), Kind::Action},
        {QStringLiteral("auth:signOut"), Kind::Action},
        {QStringLiteral("users:redeemMacLinkCode"), Kind::Action},
        {QStringLiteral("users:getCurrentUser"), Kind::Query},
        {QStringLiteral("users:checkEmailExists"), Kind::Query},
        {QStringLiteral("decks:listDecks"), Kind::Query},
        {QStringLiteral("decks:getActiveDeck"), Kind::Query},
        {QStringLiteral("decks:setActiveDeck"), Kind::Mutation},
        {QStringLiteral("ai:translateWord"), Kind::Action},
        {QStringLiteral("cards:createCard"), Kind::Mutation},
    };
    auto it = kinds.find(path);
    if (it == kinds.end())
        return std::nullopt;
    return *it;
}

QString DevFunctions::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Query:
        return QStringLiteral("Query");
    case Kind::Mutation:
        return QStringLiteral("Mutation");
    case Kind::Action:
        return QStringLiteral("Action");
    }
    return {};
}

DevFunctions::Outcome DevFunctions::call(const QString &path, const QJsonObject &args,
                                         const std::optional<DevIdentity> &identity)
{
    if (path == QLatin1String("auth:signIn"))
        return signIn(args);
    if (path == QLatin1String("auth:signOut"))
        return signOut(args, identity);
    if (path == QLatin1String("users:redeemMacLinkCode"))
        return redeemMacLinkCode(args);
    if (path == QLatin1String("users:getCurrentUser"))
        return getCurrentUser(args, identity);
    if (path == QLatin1String("users:checkEmailExists"))
        return checkEmailExists(args);
    if (path == QLatin1String("decks:listDecks"))
        return listDecks(args, identity);
    if (path == QLatin1String("decks:getActiveDeck"))
        return getActiveDeck(args, identity);
    if (path == QLatin1String("decks:setActiveDeck"))
        return setActiveDeck(args, identity);
    if (path == QLatin1String("ai:translateWord"))
        return translateWord(args, identity);
    if (path == QLatin1String("cards:createCard"))
        return createCard(args, identity);
    return failure(QStringLiteral("Could not find public function for '%1'").arg(path));
}

DevFunctions::Outcome DevFunctions::signIn(const QJsonObject &args)
{
    if (auto error = ArgValidator::check(args, {Rule{QStringLiteral("provider"), Type::String, true},
                                                Rule{QStringLiteral("params"), Type::Any, true},
                                                Rule{QStringLiteral("verifier"), Type::String, true},
                                                Rule{QStringLiteral("refreshToken"), Type::String, true},
                                                Rule{QStringLiteral("calledBy"), Type::String, true}}))
        return failure(*error);

    if (args.contains(QStringLiteral("refreshToken"))) {
        const auto pair = m_auth->refresh(args.value(QStringLiteral("refreshToken")).toString());
        // The real deployment answers a refused refresh with a success that carries no tokens.
        return success(QJsonObject{{"tokens", pair ? QJsonValue(tokensJson(*pair)) : QJsonValue()}},
                       pair ? QStringLiteral("refresh: new pair issued")
                            : QStringLiteral("refresh: refused"));
    }
    const QString provider = args.value(QStringLiteral("provider")).toString();
    if (provider == QLatin1String("password"))
        return signInWithPassword(args.value(QStringLiteral("params")));
    if (provider.isEmpty())
        return failure(QStringLiteral("Provider is required when no refresh token is given"));
    return failure(
        QStringLiteral("Provider `%1` is not configured on this development server").arg(provider));
}

DevFunctions::Outcome DevFunctions::signInWithPassword(const QJsonValue &params)
{
    if (!params.isObject())
        return failure(QStringLiteral("Missing `params` for the password provider"));
    const QJsonObject p = params.toObject();
    for (const char *key : {"email", "password", "flow"})
        if (!p.value(QLatin1String(key)).isString())
            return failure(QStringLiteral("Missing `%1` param").arg(QLatin1String(key)));
    const QString email = p.value(QStringLiteral("email")).toString().trimmed();
    const QString password = p.value(QStringLiteral("password")).toString();
    const QString flow = p.value(QStringLiteral("flow")).toString();

    QString userId;
    if (flow == QLatin1String("signIn")) {
        const DevUser *user = m_store->state().userByEmail(email);
        if (!user)
            return failure(QStringLiteral("InvalidAccountId"), QStringLiteral("password: no such account"));
        if (DevStore::passwordDigest(user->passwordSalt, password) != user->passwordHash)
            return failure(QStringLiteral("InvalidSecret"), QStringLiteral("password: wrong password"));
        userId = user->id;
    } else if (flow == QLatin1String("signUp")) {
        if (!email.contains(u'@') || password.size() < 8)
            return failure(
                QStringLiteral("Invalid password or e-mail address (passwords have 8 characters or more)"));
        if (m_store->state().userByEmail(email))
            return failure(QStringLiteral("Account %1 already exists").arg(email));
        userId = m_store->createUser(email, password).id;
        m_store->commit();
    } else {
        return failure(QStringLiteral("Invalid `flow` param: expected \"signIn\" or \"signUp\""));
    }
    return success(QJsonObject{{"tokens", tokensJson(m_auth->startSession(userId))}},
                   QStringLiteral("password %1: session started").arg(flow));
}

DevFunctions::Outcome DevFunctions::signOut(const QJsonObject &args,
                                            const std::optional<DevIdentity> &identity)
{
    if (auto error = ArgValidator::check(args, {}))
        return failure(*error);
    if (identity)
        m_auth->endSession(identity->sessionId);
    return success(QJsonValue(), identity ? QStringLiteral("session ended") : QStringLiteral("no session"));
}

DevFunctions::Outcome DevFunctions::redeemMacLinkCode(const QJsonObject &args)
{
    if (auto error = ArgValidator::check(args, {Rule{QStringLiteral("code")}}))
        return failure(*error);
    const auto userId = m_auth->redeemLinkCode(args.value(QStringLiteral("code")).toString());
    if (!userId)
        return failure(QStringLiteral("Invalid or expired link code"));
    // Unlike auth:signIn, the pair is the value itself.
    return success(tokensJson(m_auth->startSession(*userId)), QStringLiteral("link code redeemed"));
}

DevFunctions::Outcome DevFunctions::getCurrentUser(const QJsonObject &args,
                                                   const std::optional<DevIdentity> &identity)
{
    if (auto error = ArgValidator::check(args, {}))
        return failure(*error);
    const DevUser *user = identity ? m_store->state().userById(identity->userId) : nullptr;
    if (!user)
        return success(QJsonValue());
    return success(QJsonObject{
        {"_id", user->id}, {"_creationTime", double(user->creationTime)}, {"email", user->email}});
}

DevFunctions::Outcome DevFunctions::checkEmailExists(const QJsonObject &args)
{
    if (auto error = ArgValidator::check(args, {Rule{QStringLiteral("email")}}))
        return failure(*error);
    const bool exists =
        m_store->state().userByEmail(args.value(QStringLiteral("email")).toString().trimmed());
    return success(exists ? QStringLiteral("exists") : QStringLiteral("notFound"));
}

DevFunctions::Outcome DevFunctions::listDecks(const QJsonObject &args,
                                              const std::optional<DevIdentity> &identity)
{
    if (auto error = ArgValidator::check(args, {}))
        return failure(*error);
    QJsonArray decks;
    if (identity)
        for (const DevDeck &d : m_store->state().decksOf(identity->userId))
            decks.append(deckJson(d));
    return success(decks);
}

DevFunctions::Outcome DevFunctions::getActiveDeck(const QJsonObject &args,
                                                  const std::optional<DevIdentity> &identity)
{
    if (auto error = ArgValidator::check(args, {}))
        return failure(*error);
    const DevUser *user = identity ? m_store->state().userById(identity->userId) : nullptr;
    const DevDeck *deck = user ? m_store->state().deckById(user->activeDeckId) : nullptr;
    return success(deck ? QJsonValue(deckJson(*deck)) : QJsonValue());
}

DevFunctions::Outcome DevFunctions::setActiveDeck(const QJsonObject &args,
                                                  const std::optional<DevIdentity> &identity)
{
    if (auto error = ArgValidator::check(args, {Rule{QStringLiteral("deckId")}}))
        return failure(*error);
    if (!identity)
        return failure(notAuthenticated);
    DevUser *user = m_store->state().userById(identity->userId);
    const DevDeck *deck = m_store->state().deckById(args.value(QStringLiteral("deckId")).toString());
    if (!user || !deck || deck->userId != user->id)
        return failure(QStringLiteral("Deck not found"));
    user->activeDeckId = deck->id;
    m_store->commit({user->id});
    return success(QJsonValue(), QStringLiteral("active deck: %1").arg(deck->name));
}

DevFunctions::Outcome DevFunctions::translateWord(const QJsonObject &args,
                                                  const std::optional<DevIdentity> &identity)
{
    if (auto error =
            ArgValidator::check(args, {Rule{QStringLiteral("word")}, Rule{QStringLiteral("langFrom")},
                                       Rule{QStringLiteral("langTo")}}))
        return failure(*error);
    if (!identity)
        return failure(notAuthenticated);
    const QString word = args.value(QStringLiteral("word")).toString();
    const QString langFrom = args.value(QStringLiteral("langFrom")).toString();
    const QString langTo = args.value(QStringLiteral("langTo")).toString();
    // The word as it arrived, so a log shows what a capture sent.
    const auto found = [&word](qsizetype count, const QString &source) {
        return QStringLiteral("%1 candidate(s) for \"%2\"%3").arg(count).arg(word.left(80), source);
    };
    const bool dictionaries = m_translator && m_translator->serves(langFrom, langTo);
    if (dictionaries) {
        const QJsonArray candidates = m_translator->translate(word, langFrom, langTo);
        if (!candidates.isEmpty())
            return success(candidates, found(candidates.size(), QStringLiteral(" from the dictionaries")));
    }
    // The last resort, also for the pairs no installed dictionary covers.
    const auto lookup = WordTable::shared().translate(word, langFrom, langTo);
    if (lookup.unknownWord && dictionaries)
        return failure(QStringLiteral("No translation found for \"%1\" (%2 -> %3): neither the installed "
                                      "dictionaries nor the built-in word table know it")
                           .arg(word.simplified().left(60), langFrom, langTo));
    if (!lookup.error.isEmpty())
        return failure(lookup.error);
    return success(lookup.candidates, found(lookup.candidates.size(), QString()));
}

DevFunctions::Outcome DevFunctions::createCard(const QJsonObject &args,
                                               const std::optional<DevIdentity> &identity)
{
    static const QStringList members = {
        QStringLiteral("deckId"),          QStringLiteral("word"),
        QStringLiteral("translation"),     QStringLiteral("phonetic"),
        QStringLiteral("exampleSentence"), QStringLiteral("exampleSentenceTranslation"),
        QStringLiteral("category")};
    QList<Rule> rules;
    for (const QString &m : members)
        rules.append(Rule{m});
    if (auto error = ArgValidator::check(args, rules))
        return failure(*error);
    if (!identity)
        return failure(notAuthenticated);
    const DevDeck *deck = m_store->state().deckById(args.value(QStringLiteral("deckId")).toString());
    if (!deck || deck->userId != identity->userId)
        return failure(QStringLiteral("Deck not found"));
    if (args.value(QStringLiteral("word")).toString().trimmed().isEmpty() ||
        args.value(QStringLiteral("translation")).toString().trimmed().isEmpty())
        return failure(QStringLiteral("A card needs a word and a translation"));
    DevCard card;
    card.id = m_store->newId();
    card.deckId = deck->id;
    card.userId = identity->userId;
    card.word = args.value(QStringLiteral("word")).toString();
    card.translation = args.value(QStringLiteral("translation")).toString();
    card.phonetic = args.value(QStringLiteral("phonetic")).toString();
    card.exampleSentence = args.value(QStringLiteral("exampleSentence")).toString();
    card.exampleSentenceTranslation = args.value(QStringLiteral("exampleSentenceTranslation")).toString();
    card.category = args.value(QStringLiteral("category")).toString();
    card.creationTime = m_clock->nowMs();
    const QString note = QStringLiteral("card \"%1\" added to %2").arg(card.word.left(60), deck->name);
    m_store->state().cards.append(card);
    m_store->commit();
    return success(card.id, note);
}
