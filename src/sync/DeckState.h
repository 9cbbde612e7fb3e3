#pragma once

#include "backend/Deck.h"
#include "sync/DeckListModel.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <optional>

// What the tray menu and the settings window know of the user's decks: the
// list, the active deck, whether they are being loaded, and the requests they
// make. The program's deck state implements it, and so do the tests' stand-ins.
class DeckState : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the program's deck state, handed to the views that show it")
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString error READ errorText NOTIFY errorChanged)
    Q_PROPERTY(bool hasError READ hasError NOTIFY errorChanged)
    // The decks and the active one as the views see them, kept up to date
    // from the two change signals.
    Q_PROPERTY(DeckListModel *deckList READ deckList CONSTANT)

public:
    explicit DeckState(QObject *parent = nullptr);

    virtual const QList<Deck> &decks() const = 0;
    virtual std::optional<Deck> activeDeck() const = 0;
    virtual bool isLoading() const = 0;
    virtual std::optional<QString> error() const = 0;

    QString errorText() const { return error().value_or(QString()); }
    bool hasError() const { return error().has_value(); }
    DeckListModel *deckList() { return &m_deckList; }

    // Start the live deck list once per run, or make sure its connection runs;
    // both return at once.
    Q_INVOKABLE virtual void startSubscriptionsLater() = 0;
    Q_INVOKABLE virtual void loadLater() = 0;
    // Asks for the deck with this id (from the list or the active deck) to
    // become the active one; unknown ids are ignored.
    Q_INVOKABLE virtual void select(const QString &deckId) = 0;

Q_SIGNALS:
    void decksChanged();
    void activeDeckChanged();
    void isLoadingChanged();
    void errorChanged();

private:
    DeckListModel m_deckList;
};
