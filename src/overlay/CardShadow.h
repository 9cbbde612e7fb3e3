#pragma once

#include <QColor>
#include <QImage>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

// A soft drop shadow of a rounded rectangle, drawn by the program itself:
// graphical-effect shadows are invisible under the software scene graph.
// The item is larger than the shape by `margin` on every side (where the
// blur fades out); place it at the shape's rectangle grown by `margin` and
// moved by the shadow's offset.
class CardShadow : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal cornerRadius READ cornerRadius WRITE setCornerRadius NOTIFY cornerRadiusChanged)
    Q_PROPERTY(qreal blurRadius READ blurRadius WRITE setBlurRadius NOTIFY blurRadiusChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(qreal margin READ margin NOTIFY blurRadiusChanged)
public:
    explicit CardShadow(QQuickItem *parent = nullptr);

    qreal cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(qreal radius);
    qreal blurRadius() const { return m_blurRadius; }
    void setBlurRadius(qreal radius);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    qreal margin() const;

    void paint(QPainter *painter) override;

    // The blurred shape for a shadow image of the given size (the shape inset
    // by `margin`), exposed so tests can look at its pixels.
    QImage renderShadow(const QSize &size) const;

protected:
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

Q_SIGNALS:
    void cornerRadiusChanged();
    void blurRadiusChanged();
    void colorChanged();

private:
    static QSize textureSizeFor(const QSize &size);
    // The blurred shape at the texture's resolution.
    QImage renderSmallShadow(const QSize &size) const;

    qreal m_cornerRadius = 0;
    qreal m_blurRadius = 0;
    QColor m_color = QColor(0, 0, 0, 102);
    QImage m_cache;
    QSize m_cacheSize;
};
