#pragma once

#include "backend/Deck.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QtQml/qqmlregistration.h>

// The user's decks as the settings list shows them, in the server's order,
// with the active one marked. The deck state keeps it up to date.
class DeckListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("kept by the deck state")
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int activeIndex READ activeIndex NOTIFY activeIndexChanged)

public:
    enum Role { DeckIdRole = Qt::UserRole + 1, NameRole, LangFromRole, LangToRole, ActiveRole };

    using QAbstractListModel::QAbstractListModel;

    void setDecks(QList<Deck> decks);
    // The active deck's id; empty when there is none.
    void setActiveId(const QString &deckId);

    int count() const { return int(m_decks.size()); }
    // The active deck's row, -1 when it is not in the list.
    int activeIndex() const;
    // The id of the deck `step` rows from the active one (counted from the
    // first or the last row when none is active); empty past either end.
    Q_INVOKABLE QString idAfter(int step) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void countChanged();
    void activeIndexChanged();

private:
    QList<Deck> m_decks;
    QString m_activeId;
};
