#pragma once

#include "DevAuth.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

class DevClock;
class DevStore;
class DictionaryTranslator;

// The deployment's public server functions, by name. Each checks its
// arguments like the real validators, then runs against the store.
class DevFunctions {
public:
    enum class Kind { Query, Mutation, Action };

    struct Outcome {
        bool ok = true;
        QJsonValue value;
        QString errorMessage;
        QString note; // for the log line; never a secret
    };

    // translator: nullptr for the built-in word table only.
    DevFunctions(DevStore *store, DevAuth *auth, DevClock *clock, DictionaryTranslator *translator = nullptr);

    std::optional<Kind> kindOf(const QString &path) const;
    static QString kindName(Kind kind);

    Outcome call(const QString &path, const QJsonObject &args, const std::optional<DevIdentity> &identity);

private:
    Outcome signIn(const QJsonObject &args);
    Outcome signInWithPassword(const QJsonValue &params);
    Outcome signOut(const QJsonObject &args, const std::optional<DevIdentity> &identity);
    Outcome redeemMacLinkCode(const QJsonObject &args);
    Outcome getCurrentUser(const QJsonObject &args, const std::optional<DevIdentity> &identity);
    Outcome checkEmailExists(const QJsonObject &args);
    Outcome listDecks(const QJsonObject &args, const std::optional<DevIdentity> &identity);
    Outcome getActiveDeck(const QJsonObject &args, const std::optional<DevIdentity> &identity);
    Outcome setActiveDeck(const QJsonObject &args, const std::optional<DevIdentity> &identity);
    Outcome translateWord(const QJsonObject &args, const std::optional<DevIdentity> &identity);
    Outcome createCard(const QJsonObject &args, const std::optional<DevIdentity> &identity);

    DevStore *m_store;
    DevAuth *m_auth;
    DevClock *m_clock;
    DictionaryTranslator *m_translator;
};
