#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

struct DevUser {
    QString id;
    QString email;
    QString passwordSalt;
    QString passwordHash;
    QString activeDeckId; // empty: none
    qint64 creationTime = 0;
};

struct DevDeck {
    QString id;
    QString userId;
    QString name;
    QString langFrom;
    QString langTo;
    qint64 creationTime = 0;
};

struct DevCard {
    QString id;
    QString deckId;
    QString userId;
    QString word;
    QString translation;
    QString phonetic;
    QString exampleSentence;
    QString exampleSentenceTranslation;
    QString category;
    qint64 creationTime = 0;
};

struct DevSession {
    QString id;
    QString userId;
};

// Tokens are kept as SHA-256 digests: the data file never holds a usable token.
struct DevAccessToken {
    QString hash;
    QString sessionId;
    qint64 expiresAt = 0;
};

struct DevRefreshToken {
    QString hash;
    QString sessionId;
    qint64 expiresAt = 0;
    std::optional<qint64> firstUsedAt;
};

struct DevLinkCode {
    QString code;
    QString userId;
    qint64 expiresAt = 0;
    bool used = false;
};

// The whole persistent state of the deployment and its file format.
struct DevState {
    QList<DevUser> users;
    QList<DevDeck> decks;
    QList<DevCard> cards;
    QList<DevSession> sessions;
    QList<DevAccessToken> accessTokens;
    QList<DevRefreshToken> refreshTokens;
    QList<DevLinkCode> linkCodes;

    QJsonObject toJson() const;
    // Strict: any member of the wrong type rejects the whole file, so a damaged
    // file is reported instead of being silently replaced.
    static std::optional<DevState> fromJson(const QJsonObject &root, QString *error);

    static QJsonArray linkCodesToJson(const QList<DevLinkCode> &codes);
    static std::optional<QList<DevLinkCode>> linkCodesFromJson(const QJsonValue &value, QString *error);

    DevUser *userById(const QString &id);
    DevUser *userByEmail(const QString &email);
    const DevDeck *deckById(const QString &id) const;
    QList<DevDeck> decksOf(const QString &userId) const;
};
