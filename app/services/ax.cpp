#include "app/services/ax.h"

namespace kavelo::AX {

template <>
std::optional<std::string> value<std::string>(const Element* element, std::string_view attribute)
{
    if (!element)
        return std::nullopt;
    if (attribute == titleAttribute)
        return element->title();
    if (attribute == subroleAttribute)
        return element->subrole();
    if (attribute == documentAttribute)
        return element->document();
    return std::nullopt;
}

template <>
std::optional<bool> value<bool>(const Element* element, std::string_view attribute)
{
    if (!element)
        return std::nullopt;
    if (attribute == minimizedAttribute)
        return element->minimized();
    if (attribute == fullScreenAttribute)
        return element->fullScreen();
    return std::nullopt;
}

ElementRef focusedWindow(const Accessibility& accessibility, std::int32_t pid)
{
    return accessibility.focusedWindow(pid);
}

std::optional<Rect> rect(const Element& element)
{
    const auto position = element.position();
    if (!position)
        return std::nullopt;
    const auto size = element.size();
    if (!size)
        return std::nullopt;
    return Rect(*position, *size);
}

void setFrame(Element& element, const Rect& frame)
{
    if (!frame.isFinite())
        return;
    element.setSize(frame.size);
    element.setPosition(frame.origin);
    element.setSize(frame.size);
}

} // namespace kavelo::AX

namespace kavelo::AX {

namespace {

std::vector<bool> sendFrames(Accessibility& accessibility, std::span<const FrameWrite> writes,
                             std::vector<std::optional<Rect>>* landed)
{
    std::vector<FrameWrite> sendable;
    std::vector<std::size_t> at;
    sendable.reserve(writes.size());
    for (std::size_t i = 0; i < writes.size(); ++i)
        if (writes[i].element && writes[i].frame.isFinite()) {
            sendable.push_back(writes[i]);
            at.push_back(i);
        }
    std::vector<bool> done(writes.size(), false);
    std::vector<std::optional<Rect>> read;
    if (!sendable.empty()) {
        const std::vector<bool> sent =
            landed ? accessibility.setFrames(sendable, read) : accessibility.setFrames(sendable);
        for (std::size_t i = 0; i < at.size() && i < sent.size(); ++i)
            done[at[i]] = sent[i];
    }
    // Windows left out stand where they stood; they are read all the same.
    if (landed)
        *landed = landedOf(accessibility, writes, at, read);
    return done;
}

} // namespace

std::vector<bool> setFrames(Accessibility& accessibility, std::span<const FrameWrite> writes)
{
    return sendFrames(accessibility, writes, nullptr);
}

std::vector<bool> setFrames(Accessibility& accessibility, std::span<const FrameWrite> writes,
                            std::vector<std::optional<Rect>>& landed)
{
    return sendFrames(accessibility, writes, &landed);
}

} // namespace kavelo::AX
