#pragma once

#include <QHash>
#include <QImage>
#include <QQuickImageProvider>
#include <QString>

#include <functional>
#include <optional>

// Round flags for the language codes decks carry, served to the views as
// "image://flag/<langCode>" (the requested size is the circle's diameter).
// The SVG is drawn into the square and clipped to its circle here, because
// the SVG renderer ignores the files' own masks and QML effect masks vanish
// under the software scene graph.
class FlagIcon : public QQuickImageProvider {
public:
    // flagsDirectory gives the folder holding the "<name>.svg" files; it is
    // asked on every lookup. The default asks the resource bundle.
    explicit FlagIcon(std::function<QString()> flagsDirectory = {});

    // Language code -> image name. Exact and case-sensitive.
    static const QHash<QString, QString> &langToFile();

    // The flag's file for a language code, when the table has an entry and the
    // file exists.
    std::optional<QString> imagePath(const QString &langCode) const;

    // The flag clipped to a circle of the given diameter (in pixels), or a grey
    // circle at 40 % opacity when there is no image.
    QImage render(const QString &langCode, int diameter) const;

    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;

    static QString defaultFlagsDirectory();

private:
    std::function<QString()> m_flagsDirectory;
};
