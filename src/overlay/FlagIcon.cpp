#include "overlay/FlagIcon.h"

#include "platform/Bundle.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QSvgRenderer>

namespace {
// The views draw flags at 24 and 18; anything far outside that is a mistake
// or a hostile request, so keep the image small.
constexpr int defaultDiameter = 48;
constexpr int maximumDiameter = 512;

// The platform's standard grey, as the rest of the views use it.
const QColor standardGrey(142, 142, 147);
} // namespace

FlagIcon::FlagIcon(std::function<QString()> flagsDirectory)
    : QQuickImageProvider(QQuickImageProvider::Image)
    , m_flagsDirectory(flagsDirectory ? std::move(flagsDirectory) : &FlagIcon::defaultFlagsDirectory)
{
}

QString FlagIcon::defaultFlagsDirectory()
{
    return QDir(Bundle::resources()).filePath(QStringLiteral("Resources/Flags"));
}

const QHash<QString, QString> &FlagIcon::langToFile()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("hu"), QStringLiteral("hu")}, {QStringLiteral("en"), QStringLiteral("gb")},
        {QStringLiteral("sv"), QStringLiteral("se")}, {QStringLiteral("de"), QStringLiteral("de")},
        {QStringLiteral("fr"), QStringLiteral("fr")}, {QStringLiteral("es"), QStringLiteral("es")},
        {QStringLiteral("it"), QStringLiteral("it")}, {QStringLiteral("pt"), QStringLiteral("pt")},
        {QStringLiteral("nl"), QStringLiteral("nl")}, {QStringLiteral("pl"), QStringLiteral("pl")},
        {QStringLiteral("ru"), QStringLiteral("ru")},
    };
    return table;
}

std::optional<QString> FlagIcon::imagePath(const QString &langCode) const
{
    const auto entry = langToFile().constFind(langCode);
    if (entry == langToFile().cend())
        return std::nullopt;
    const QString path = QDir(m_flagsDirectory()).filePath(*entry + QStringLiteral(".svg"));
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    return path;
}

QImage FlagIcon::render(const QString &langCode, int diameter) const
{
    diameter = std::clamp(diameter, 1, maximumDiameter);
    QImage result(diameter, diameter, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    const QRectF square(0, 0, diameter, diameter);

    std::optional<QImage> flag;
    if (const auto path = imagePath(langCode)) {
        QSvgRenderer svg(*path);
        if (svg.isValid()) {
            // Fill the square keeping the artwork's proportions; what sticks
            // out on the long side is cut off.
            const QSizeF natural =
                svg.viewBoxF().size().isEmpty() ? QSizeF(svg.defaultSize()) : svg.viewBoxF().size();
            QImage square_(diameter, diameter, QImage::Format_ARGB32_Premultiplied);
            square_.fill(Qt::transparent);
            QPainter p(&square_);
            p.setRenderHint(QPainter::Antialiasing);
            if (!natural.isEmpty()) {
                const qreal scale = std::max(diameter / natural.width(), diameter / natural.height());
                const QSizeF drawn = natural * scale;
                svg.render(&p, QRectF((diameter - drawn.width()) / 2, (diameter - drawn.height()) / 2,
                                      drawn.width(), drawn.height()));
            }
            p.end();
            flag = square_;
        }
    }

    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (flag) {
        // Painting the ellipse with the flag as its brush gives an
        // anti-aliased round edge, which a clip path would not.
        painter.setBrush(QBrush(*flag));
    } else {
        QColor grey = standardGrey;
        grey.setAlphaF(0.4);
        painter.setBrush(grey);
    }
    painter.drawEllipse(square);
    return result;
}

QImage FlagIcon::requestImage(const QString &id, QSize *size, const QSize &requestedSize)
{
    int diameter = std::max(requestedSize.width(), requestedSize.height());
    if (diameter <= 0)
        diameter = defaultDiameter;
    QImage image = render(id, diameter);
    if (size)
        *size = image.size();
    return image;
}
