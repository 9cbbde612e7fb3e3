#pragma once

#include "backend/TranslationResult.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QtQml/qqmlregistration.h>

// The candidates of one translation as the overlay's list shows them, in the
// server's order. Each entry's label depends on what the user typed (see
// label()) and follows it.
class ResultListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("kept by the add-card overlay")

public:
    enum Role { LabelRole = Qt::UserRole + 1, WordRole, TranslationRole };

    using QAbstractListModel::QAbstractListModel;

    const QList<TranslationResult> &results() const { return m_results; }
    void setResults(QList<TranslationResult> results);
    // What the user typed, without the spaces and tabs around it.
    void setTypedWord(const QString &typedWord);

    // The label of a result for the typed word: its translation when the
    // typed word comes back (in any case), else the word itself.
    static QString label(const QString &typedWord, const TranslationResult &result);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<TranslationResult> m_results;
    QString m_typedWord;
};
