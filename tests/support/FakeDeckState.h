#pragma once

#include "sync/DeckState.h"

#include <QStringList>

// Stands in for the deck state: the test sets the list, the active deck and
// the loading flag (each setter announces the change) and reads back the requests.
class FakeDeckState : public DeckState {
    Q_OBJECT
public:
    using DeckState::DeckState;

    const QList<Deck> &decks() const override { return m_decks; }
    std::optional<Deck> activeDeck() const override { return m_active; }
    bool isLoading() const override { return m_loading; }
    std::optional<QString> error() const override { return m_error; }

    void setDecks(const QList<Deck> &value)
    {
        m_decks = value;
        Q_EMIT decksChanged();
    }
    void setActiveDeck(const std::optional<Deck> &value)
    {
        m_active = value;
        Q_EMIT activeDeckChanged();
    }
    void setLoading(bool value)
    {
        m_loading = value;
        Q_EMIT isLoadingChanged();
    }
    // An empty text clears the error.
    void setError(const QString &value)
    {
        m_error = value.isEmpty() ? std::nullopt : std::optional<QString>(value);
        Q_EMIT errorChanged();
    }

    void select(const QString &deckId) override { selected.append(deckId); }
    void loadLater() override { ++loadCalls; }
    void startSubscriptionsLater() override { ++startCalls; }

    QStringList selected;
    int loadCalls = 0;
    int startCalls = 0;

private:
    QList<Deck> m_decks;
    std::optional<Deck> m_active;
    bool m_loading = false;
    std::optional<QString> m_error;
};

inline Deck deck(const QString &id, const QString &name, const QString &from = QStringLiteral("en"),
                 const QString &to = QStringLiteral("sv"))
{
    return Deck{id, name, from, to};
}
