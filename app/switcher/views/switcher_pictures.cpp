#include "app/switcher/views/switcher_pictures.h"

#include <cmath>

namespace kavelo {

SwitcherPictures::SwitcherPictures(const SwitcherModel& model, IconSource icons)
    : model_(model), icons_(std::move(icons))
{
}

void SwitcherPictures::reset()
{
    scaledThumbnails_.clear();
    iconCache_.clear();
    scaledIcons_.clear();
    iconReads_ = 0;
}

void SwitcherPictures::thumbnailArrived(WindowID window)
{
    std::erase_if(scaledThumbnails_, [&](const auto& entry) { return std::get<0>(entry.first) == window; });
}

std::optional<QSize> SwitcherPictures::thumbnailSize(WindowID window) const
{
    const auto it = model_.thumbnails().find(window);
    if (it == model_.thumbnails().end() || !it->second->isValid())
        return std::nullopt;
    return QSize(it->second->width, it->second->height);
}

const QImage* SwitcherPictures::thumbnail(WindowID window, QSize size)
{
    const auto it = model_.thumbnails().find(window);
    if (it == model_.thumbnails().end() || !it->second->isValid())
        return nullptr;
    const Image& image = *it->second;
    if (size.isEmpty())
        size = QSize(image.width, image.height);
    const auto key = std::tuple(window, size.width(), size.height());
    if (const auto found = scaledThumbnails_.find(key); found != scaledThumbnails_.end())
        return &found->second;
    return &scaledThumbnails_.emplace(key, scaledPicture(image, size)).first->second;
}

const QImage* SwitcherPictures::icon(std::int32_t pid, double side)
{
    const int pixels = std::max(1, int(std::lround(side)));
    const auto key = std::pair(pid, pixels);
    if (const auto it = scaledIcons_.find(key); it != scaledIcons_.end())
        return &it->second;
    const QImage* original = icon(pid);
    if (!original)
        return nullptr;
    return &scaledIcons_
                .emplace(key, original->scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation))
                .first->second;
}

const QImage* SwitcherPictures::icon(std::int32_t pid)
{
    auto it = iconCache_.find(pid);
    if (it == iconCache_.end()) {
        std::optional<QImage> picture;
        if (icons_) {
            ++iconReads_;
            if (const auto image = icons_(pid); image && image->isValid())
                picture = toQImage(*image);
        }
        it = iconCache_.emplace(pid, std::move(picture)).first;
    }
    return it->second ? &*it->second : nullptr;
}

QImage SwitcherPictures::scaledPicture(const Image& image, QSize size)
{
    if (!image.isValid() || size.isEmpty())
        return {};
    // Read in place; only the scaled result is a new picture.
    const QImage view(image.rgba.data(), image.width, image.height, image.width * 4, QImage::Format_RGBA8888);
    const QImage scaled = size == view.size() ? view : view.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return scaled.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage SwitcherPictures::toQImage(const Image& image)
{
    if (!image.isValid())
        return {};
    const QImage view(image.rgba.data(), image.width, image.height, image.width * 4, QImage::Format_RGBA8888);
    // Premultiplied is what the painter draws fastest.
    return view.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QString caption(const WindowEntry& window)
{
    return QString::fromStdString(window.title.empty() ? window.appName : window.title);
}

} // namespace kavelo
