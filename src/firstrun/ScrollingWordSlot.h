#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// One word's place in a band of scrolling words: where it sits in the band,
// whether it is in view and the opacity it is drawn at, folded into the
// word's colour so the item binds to it without a script. Written by its
// band's ScrollingWordsRowModel, read by the word's item.
class ScrollingWordSlot : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by ScrollingWordsRowModel")
    Q_PROPERTY(QString text READ text CONSTANT)
    Q_PROPERTY(qreal x READ x NOTIFY geometryChanged)
    Q_PROPERTY(qreal width READ width NOTIFY geometryChanged)
    Q_PROPERTY(bool onScreen READ onScreen NOTIFY onScreenChanged)
    Q_PROPERTY(qreal opacity READ opacity NOTIFY opacityChanged)
    Q_PROPERTY(QColor color READ color NOTIFY opacityChanged)

public:
    ScrollingWordSlot(const QString &text, QObject *parent);

    QString text() const { return m_text; }
    qreal x() const { return m_x; }
    qreal width() const { return m_width; }
    bool onScreen() const { return m_onScreen; }
    qreal opacity() const { return m_opacity; }
    QColor color() const { return m_color; }

    void setGeometry(qreal x, qreal width);
    void setOnScreen(bool onScreen);
    // The word's colour is `color` at `opacity`.
    void setOpacity(qreal opacity, const QColor &color);

Q_SIGNALS:
    void geometryChanged();
    void onScreenChanged();
    void opacityChanged();

private:
    QString m_text;
    qreal m_x = 0;
    qreal m_width = 0;
    bool m_onScreen = false;
    qreal m_opacity = 0;
    QColor m_color;
};
