#include "app/switcher/views/switcher_pictures.h"

#include <cmath>

namespace kavelo {

SwitcherPictures::SwitcherPictures(const SwitcherModel& model, IconSource icons)
    : model_(model), icons_(std::move(icons))
{
}

void SwitcherPictures::reset()
{
    thumbnails_.clear();
    scaledThumbnails_.clear();
    iconCache_.clear();
    scaledIcons_.clear();
    iconReads_ = 0;
}

void SwitcherPictures::thumbnailArrived(WindowID window)
{
    const auto it = model_.thumbnails().find(window);
    if (it == model_.thumbnails().end())
        return;
    thumbnails_.insert_or_assign(window, toQImage(it->second));
    std::erase_if(scaledThumbnails_, [&](const auto& entry) { return std::get<0>(entry.first) == window; });
}

const QImage* SwitcherPictures::thumbnail(WindowID window, QSize size)
{
    const QImage* original = thumbnail(window);
    if (!original || size.isEmpty())
        return original;
    if (original->size() == size)
        return original;
    const auto key = std::tuple(window, size.width(), size.height());
    if (const auto it = scaledThumbnails_.find(key); it != scaledThumbnails_.end())
        return &it->second;
    return &scaledThumbnails_
                .emplace(key, original->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation))
                .first->second;
}

const QImage* SwitcherPictures::thumbnail(WindowID window) const
{
    const auto it = thumbnails_.find(window);
    return it == thumbnails_.end() ? nullptr : &it->second;
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
