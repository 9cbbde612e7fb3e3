#include "HeadwordKey.h"

QByteArray HeadwordKey::indexKey(const QString &word)
{
    const QString text = word.normalized(QString::NormalizationForm_C).toLower();
    QString key;
    key.reserve(text.size());
    for (QChar c : text)
        if (c.isLetterOrNumber() || c.isMark())
            key.append(c);
        else if (c.isSpace())
            key.append(u' ');
    return key.simplified().toUtf8();
}

QByteArray HeadwordKey::folded(QByteArrayView key)
{
    bool ascii = true;
    for (char c : key)
        ascii = ascii && uchar(c) < 0x80;
    if (ascii)
        return key.toByteArray();
    const QString decomposed = QString::fromUtf8(key).normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        if (c == u'\u00df')
            out.append(QStringLiteral("ss"));
        else
            out.append(c);
    }
    return out.toUtf8();
}
