#include "sync/DeckListModel.h"

void DeckListModel::setDecks(QList<Deck> decks)
{
    const int countBefore = count();
    const int activeBefore = activeIndex();
    beginResetModel();
    m_decks = std::move(decks);
    endResetModel();
    if (count() != countBefore)
        Q_EMIT countChanged();
    if (activeIndex() != activeBefore)
        Q_EMIT activeIndexChanged();
}

void DeckListModel::setActiveId(const QString &deckId)
{
    if (deckId == m_activeId)
        return;
    const int before = activeIndex();
    m_activeId = deckId;
    const int after = activeIndex();
    if (count() > 0)
        Q_EMIT dataChanged(index(0), index(count() - 1), {ActiveRole});
    if (after != before)
        Q_EMIT activeIndexChanged();
}

int DeckListModel::activeIndex() const
{
    if (m_activeId.isEmpty())
        return -1;
    for (int row = 0; row < count(); ++row) {
        if (m_decks.at(row)._id == m_activeId)
            return row;
    }
    return -1;
}

QString DeckListModel::idAfter(int step) const
{
    const int active = activeIndex();
    const int target = active < 0 ? (step > 0 ? 0 : count() - 1) : active + step;
    if (target < 0 || target >= count())
        return {};
    return m_decks.at(target)._id;
}

int DeckListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant DeckListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Deck &deck = m_decks.at(index.row());
    switch (role) {
    case DeckIdRole:
        return deck._id;
    case NameRole:
        return deck.name;
    case LangFromRole:
        return deck.langFrom;
    case LangToRole:
        return deck.langTo;
    case ActiveRole:
        return !m_activeId.isEmpty() && deck._id == m_activeId;
    default:
        return {};
    }
}

QHash<int, QByteArray> DeckListModel::roleNames() const
{
    return {{DeckIdRole, "deckId"},
            {NameRole, "name"},
            {LangFromRole, "langFrom"},
            {LangToRole, "langTo"},
            {ActiveRole, "active"}};
}
