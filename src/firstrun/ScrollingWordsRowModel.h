#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

// When one band of scrolling words starts moving and from where: the first
// positive measured width of one copy of the band's words fixes the loop; the
// band starts at -(initialOffset mod width) and travels one width per loop.
// Later widths (a relayout) and zero widths are ignored.
class ScrollingWordsRowModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal initialOffset READ initialOffset WRITE setInitialOffset NOTIFY initialOffsetChanged)
    Q_PROPERTY(qreal setWidth READ setWidth NOTIFY startedChanged)
    Q_PROPERTY(qreal startOffset READ startOffset NOTIFY startedChanged)
    Q_PROPERTY(qreal endOffset READ endOffset NOTIFY startedChanged)
    Q_PROPERTY(bool started READ started NOTIFY startedChanged)

public:
    using QObject::QObject;

    qreal initialOffset() const { return m_initialOffset; }
    void setInitialOffset(qreal offset);
    qreal setWidth() const { return m_setWidth; }
    qreal startOffset() const { return m_startOffset; }
    qreal endOffset() const { return m_startOffset - m_setWidth; }
    bool started() const { return m_setWidth > 0; }

    // A width measured for one copy of the words. Returns true when it started the loop.
    Q_INVOKABLE bool offerWidth(qreal width);

Q_SIGNALS:
    void initialOffsetChanged();
    void startedChanged();

private:
    qreal m_initialOffset = 0;
    qreal m_setWidth = 0;
    qreal m_startOffset = 0;
};
