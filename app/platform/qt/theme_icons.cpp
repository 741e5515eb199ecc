#include "app/platform/qt/theme_icons.h"

#include "app/platform/desktop_entries.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QStringList>

namespace kavelo::ThemeIcons {

namespace {

Image toImage(const QImage& picture)
{
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    Image out{.width = rgba.width(), .height = rgba.height()};
    out.rgba.reserve(std::size_t(out.width) * out.height * 4);
    for (int y = 0; y < rgba.height(); ++y) {
        const auto* row = rgba.constScanLine(y);
        out.rgba.insert(out.rgba.end(), row, row + std::size_t(out.width) * 4);
    }
    return out;
}

// The XDG icon folders, looked at again on every call: tests and
// installs change them.
void pointQtAtTheIconFolders()
{
    QStringList paths;
    if (const QString home = QDir::homePath(); !home.isEmpty())
        paths << home + QStringLiteral("/.icons");
    for (const auto& dir : DesktopEntries::dataDirsFromEnvironment())
        paths << QString::fromStdString((dir / "icons").string());
    if (QIcon::themeSearchPaths() != paths)
        QIcon::setThemeSearchPaths(paths);
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("hicolor"));
    if (QIcon::fallbackThemeName().isEmpty())
        QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
}

std::optional<QImage> fromIcon(const QIcon& icon, int size)
{
    if (icon.isNull())
        return std::nullopt;
    const QSize natural = icon.actualSize(QSize(size, size));
    if (natural.isEmpty())
        return std::nullopt;
    QImage picture = icon.pixmap(natural).toImage();
    if (picture.isNull())
        return std::nullopt;
    return picture;
}

} // namespace

std::optional<Image> resolve(std::string_view icon, int size)
{
    if (icon.empty() || size <= 0)
        return std::nullopt;
    const QString name = QString::fromUtf8(icon.data(), qsizetype(icon.size()));
    std::optional<QImage> picture;
    if (QFileInfo(name).isAbsolute()) {
        QImage file(name);
        if (!file.isNull())
            picture = file.width() > size || file.height() > size
                          ? file.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                          : file;
    } else {
        pointQtAtTheIconFolders();
        picture = fromIcon(QIcon::fromTheme(name), size);
        if (!picture)
            for (const auto& dir : DesktopEntries::dataDirsFromEnvironment()) {
                for (const char* suffix : {".png", ".xpm", ".svg"}) {
                    const auto file = dir / "pixmaps" / (std::string(icon) + suffix);
                    if ((picture = fromIcon(QIcon(QString::fromStdString(file.string())), size)))
                        break;
                }
                if (picture)
                    break;
            }
    }
    if (!picture)
        return std::nullopt;
    return toImage(*picture);
}

IconResolver resolver()
{
    return [](std::string_view icon, int size) { return resolve(icon, size); };
}

} // namespace kavelo::ThemeIcons
