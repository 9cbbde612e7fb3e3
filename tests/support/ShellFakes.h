#pragma once

// Stand-ins for the session and the deck state with the published members the
// shell reads and the invokables it calls, counting every call.

#include "backend/Deck.h"
#include "sync/DeckListModel.h"

#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVariant>

inline QVariant deck(const QString &id, const QString &name, const QString &from = QStringLiteral("en"),
                     const QString &to = QStringLiteral("sv"))
{
    return QVariant::fromValue(Deck{id, name, from, to});
}

class FakeSession : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY isAuthenticatedChanged)
    Q_PROPERTY(QString userEmail READ userEmail NOTIFY userEmailChanged)
public:
    bool isAuthenticated() const { return m_authenticated; }
    QString userEmail() const { return m_email; }
    void setAuthenticated(bool value)
    {
        m_authenticated = value;
        Q_EMIT isAuthenticatedChanged();
    }
    void setUserEmail(const QString &value)
    {
        m_email = value;
        Q_EMIT userEmailChanged();
    }
    Q_INVOKABLE void signOut()
    {
        ++signOutCalls;
        m_email.clear();
        Q_EMIT userEmailChanged();
        setAuthenticated(false);
    }
    Q_INVOKABLE void handleCallbackUrl(const QUrl &url) { callbackUrls.append(url); }

    int signOutCalls = 0;
    QList<QUrl> callbackUrls;

Q_SIGNALS:
    void isAuthenticatedChanged();
    void userEmailChanged();

private:
    bool m_authenticated = false;
    QString m_email;
};

class FakeDeckState : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantList decks READ decks NOTIFY decksChanged)
    Q_PROPERTY(QVariant activeDeck READ activeDeck NOTIFY activeDeckChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(bool hasError READ hasError NOTIFY errorChanged)
    Q_PROPERTY(DeckListModel *deckList READ deckList CONSTANT)
public:
    QVariantList decks() const { return m_decks; }
    QVariant activeDeck() const { return m_active; }
    bool isLoading() const { return m_loading; }
    QString error() const { return m_error; }
    bool hasError() const { return !m_error.isEmpty(); }
    DeckListModel *deckList() { return &m_deckList; }

    void setDecks(const QVariantList &value)
    {
        m_decks = value;
        QList<Deck> list;
        for (const QVariant &deck : value)
            list.append(deck.value<Deck>());
        m_deckList.setDecks(list);
        Q_EMIT decksChanged();
    }
    void setActiveDeck(const QVariant &value)
    {
        m_active = value;
        m_deckList.setActiveId(value.isValid() ? value.value<Deck>()._id : QString());
        Q_EMIT activeDeckChanged();
    }
    void setLoading(bool value)
    {
        m_loading = value;
        Q_EMIT isLoadingChanged();
    }
    void setError(const QString &value)
    {
        m_error = value;
        Q_EMIT errorChanged();
    }

    Q_INVOKABLE void select(const QString &deckId) { selected.append(deckId); }
    Q_INVOKABLE void loadLater() { ++loadCalls; }
    Q_INVOKABLE void startSubscriptionsLater() { ++startCalls; }

    QStringList selected;
    int loadCalls = 0;
    int startCalls = 0;

Q_SIGNALS:
    void decksChanged();
    void activeDeckChanged();
    void isLoadingChanged();
    void errorChanged();

private:
    QVariantList m_decks;
    QVariant m_active;
    DeckListModel m_deckList{this};
    bool m_loading = false;
    QString m_error;
};
