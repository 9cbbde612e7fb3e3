#include "tray/DeckFields.h"

#include <QMetaProperty>
#include <QVariantMap>

namespace {

QVariant readMember(const QVariant &value, const char *member)
{
    if (value.metaType().id() == QMetaType::QVariantMap)
        return value.toMap().value(QString::fromLatin1(member));
    const QMetaObject *meta = value.metaType().metaObject();
    if (!meta || !(value.metaType().flags() & QMetaType::IsGadget))
        return {};
    const int index = meta->indexOfProperty(member);
    if (index < 0)
        return {};
    return meta->property(index).readOnGadget(value.constData());
}

} // namespace

std::optional<DeckFields> DeckFields::from(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    const QVariant id = readMember(value, "_id");
    if (id.metaType().id() != QMetaType::QString || id.toString().isEmpty())
        return std::nullopt;
    return DeckFields{id.toString(), readMember(value, "name").toString(),
                      readMember(value, "langFrom").toString(), readMember(value, "langTo").toString()};
}

QList<DeckFields> DeckFields::listFrom(const QVariant &value)
{
    QList<DeckFields> decks;
    const QVariantList entries = value.toList();
    for (const QVariant &entry : entries) {
        if (auto deck = from(entry))
            decks.append(*deck);
    }
    return decks;
}
