#include "overlay/CardShadow.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <vector>

namespace {
// The blur works on a mask at a quarter of the resolution: a shadow this soft
// shows no detail finer than that, and the work drops sixteen-fold, which
// matters while the card changes its height every frame.
constexpr int downscale = 4;

// The shadow's blur radius is taken as twice the Gaussian's standard
// deviation, as drawing programs define a shadow's blur.
qreal sigmaFor(qreal blurRadius)
{
    return blurRadius / 2.0;
}

std::vector<float> gaussianKernel(qreal sigma)
{
    const int half = std::max(1, int(std::ceil(3 * sigma)));
    std::vector<float> kernel(2 * half + 1);
    float sum = 0;
    for (int i = -half; i <= half; ++i) {
        kernel[i + half] = float(std::exp(-(i * i) / (2 * sigma * sigma)));
        sum += kernel[i + half];
    }
    for (float &k : kernel)
        k /= sum;
    return kernel;
}

// One pass of a separable blur over a single-channel image (row-major, w x h),
// along x when horizontal is true, else along y.
void blurPass(std::vector<float> &data, int w, int h, const std::vector<float> &kernel, bool horizontal)
{
    const int half = int(kernel.size() / 2);
    std::vector<float> out(data.size(), 0.f);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float acc = 0;
            for (int k = -half; k <= half; ++k) {
                const int sx = horizontal ? x + k : x;
                const int sy = horizontal ? y : y + k;
                if (sx < 0 || sy < 0 || sx >= w || sy >= h)
                    continue;
                acc += data[size_t(sy) * w + sx] * kernel[k + half];
            }
            out[size_t(y) * w + x] = acc;
        }
    }
    data.swap(out);
}
} // namespace

CardShadow::CardShadow(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
    // The shadow takes no input: clicks go to whatever lies beneath.
    setAcceptedMouseButtons(Qt::NoButton);
}

void CardShadow::setCornerRadius(qreal radius)
{
    if (qFuzzyCompare(radius, m_cornerRadius))
        return;
    m_cornerRadius = radius;
    m_cache = {};
    Q_EMIT cornerRadiusChanged();
    update();
}

void CardShadow::setBlurRadius(qreal radius)
{
    radius = std::clamp(radius, 0.0, 400.0);
    if (qFuzzyCompare(radius, m_blurRadius))
        return;
    m_blurRadius = radius;
    m_cache = {};
    Q_EMIT blurRadiusChanged();
    update();
}

void CardShadow::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    m_cache = {};
    Q_EMIT colorChanged();
    update();
}

qreal CardShadow::margin() const
{
    return std::ceil(3 * sigmaFor(m_blurRadius));
}

QSize CardShadow::textureSizeFor(const QSize &size)
{
    return {std::max(1, (size.width() + downscale - 1) / downscale),
            std::max(1, (size.height() + downscale - 1) / downscale)};
}

QImage CardShadow::renderShadow(const QSize &size) const
{
    if (size.isEmpty())
        return {};
    return renderSmallShadow(size).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage CardShadow::renderSmallShadow(const QSize &size) const
{
    const auto [w, h] = textureSizeFor(size);
    const qreal inset = margin() / downscale;
    const qreal radius = m_cornerRadius / downscale;

    QImage mask(w, h, QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        const QRectF shape = QRectF(0, 0, qreal(size.width()) / downscale, qreal(size.height()) / downscale)
                                 .adjusted(inset, inset, -inset, -inset);
        if (shape.isValid())
            p.drawRoundedRect(shape, radius, radius);
    }

    std::vector<float> alpha(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const uchar *line = mask.constScanLine(y);
        for (int x = 0; x < w; ++x)
            alpha[size_t(y) * w + x] = line[x] / 255.f;
    }
    const qreal sigma = sigmaFor(m_blurRadius) / downscale;
    if (sigma > 0.1) {
        const auto kernel = gaussianKernel(sigma);
        blurPass(alpha, w, h, kernel, true);
        blurPass(alpha, w, h, kernel, false);
    }

    QImage small(w, h, QImage::Format_ARGB32_Premultiplied);
    const float a = float(m_color.alphaF());
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(small.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const float cover = std::clamp(alpha[size_t(y) * w + x] * a, 0.f, 1.f);
            line[x] = qPremultiply(
                qRgba(m_color.red(), m_color.green(), m_color.blue(), int(std::lround(cover * 255))));
        }
    }
    return small;
}

void CardShadow::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    // The item's texture stays at the blur's own resolution and the scene
    // graph scales it up as it draws (smoothly, as the full-size image was
    // scaled before): a full-size texture held three copies of the card's
    // area (the cache, the texture and the copy painting detaches) for as
    // long as the overlay's window lives, idle included.
    setTextureSize(textureSizeFor(newGeometry.size().toSize()));
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
}

void CardShadow::paint(QPainter *painter)
{
    const QSize size = QSizeF(width(), height()).toSize();
    if (size.isEmpty())
        return;
    if (m_cache.isNull() || m_cacheSize != size) {
        m_cache = renderSmallShadow(size);
        m_cacheSize = size;
    }
    // The painter is scaled to the texture: the small image lands on it
    // pixel for pixel.
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(QRectF(0, 0, width(), height()), m_cache);
}
