#include "overlay/ResultListModel.h"

void ResultListModel::setResults(QList<TranslationResult> results)
{
    beginResetModel();
    m_results = std::move(results);
    endResetModel();
}

void ResultListModel::setTypedWord(const QString &typedWord)
{
    if (typedWord == m_typedWord)
        return;
    m_typedWord = typedWord;
    if (!m_results.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(m_results.size()) - 1), {LabelRole});
}

QString ResultListModel::label(const QString &typedWord, const TranslationResult &result)
{
    return typedWord.toLower() == result.word.toLower() ? result.translation : result.word;
}

int ResultListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_results.size());
}

QVariant ResultListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const TranslationResult &result = m_results.at(index.row());
    switch (role) {
    case LabelRole:
        return label(m_typedWord, result);
    case WordRole:
        return result.word;
    case TranslationRole:
        return result.translation;
    default:
        return {};
    }
}

QHash<int, QByteArray> ResultListModel::roleNames() const
{
    return {{LabelRole, "label"}, {WordRole, "word"}, {TranslationRole, "translation"}};
}
