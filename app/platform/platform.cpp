#include "app/platform/platform.h"

#include <array>
#include <utility>

namespace kavelo {

namespace {

constexpr std::array<std::pair<std::uint64_t, std::uint32_t>, 4> modifierPairs{{
    {EventFlag::command, HotKeyModifier::command},
    {EventFlag::shift, HotKeyModifier::shift},
    {EventFlag::option, HotKeyModifier::option},
    {EventFlag::control, HotKeyModifier::control},
}};

} // namespace

Platform PlatformInterfaces::platform(Scheduler& scheduler, Clock& clock) const
{
    return Platform{.accessibility = *accessibility,
                    .windowServer = *windowServer,
                    .workspace = *workspace,
                    .displays = *displays,
                    .hotKeys = *hotKeys,
                    .eventTap = *eventTap,
                    .mouse = *mouse,
                    .keyboard = *keyboard,
                    .multitouch = *multitouch,
                    .capture = *capture,
                    .loginItem = *loginItem,
                    .browsers = *browsers,
                    .appInfo = *appInfo,
                    .scheduler = scheduler,
                    .clock = clock};
}

std::vector<std::optional<std::vector<ElementRef>>> Accessibility::windowsOf(std::span<const std::int32_t> pids) const
{
    std::vector<std::optional<std::vector<ElementRef>>> out;
    out.reserve(pids.size());
    for (std::int32_t pid : pids)
        out.push_back(windows(pid));
    return out;
}

std::vector<ElementFacts> Accessibility::facts(std::span<const ElementRef> elements) const
{
    std::vector<ElementFacts> out(elements.size());
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const Element* e = elements[i].get();
        if (!e)
            continue;
        auto& f = out[i];
        f.number = e->windowNumber();
        f.subrole = e->subrole();
        f.title = e->title();
        f.minimized = e->minimized();
        f.fullScreen = e->fullScreen();
        if (const auto position = e->position())
            if (const auto size = e->size())
                f.frame = Rect(*position, *size);
    }
    return out;
}

std::vector<std::optional<Rect>> Accessibility::frames(std::span<const ElementRef> elements) const
{
    std::vector<std::optional<Rect>> out;
    out.reserve(elements.size());
    for (const auto& f : facts(elements))
        out.push_back(f.frame);
    return out;
}

std::vector<bool> Accessibility::setFrames(std::span<const FrameWrite> writes, std::vector<std::optional<Rect>>& landed)
{
    const std::vector<bool> done = setFrames(writes);
    std::vector<ElementRef> written;
    written.reserve(writes.size());
    for (const auto& w : writes)
        written.push_back(w.element);
    landed = frames(written);
    landed.resize(writes.size());
    return done;
}

std::vector<std::optional<Rect>> landedOf(const Accessibility& accessibility, std::span<const FrameWrite> writes,
                                          const std::vector<std::size_t>& sent,
                                          const std::vector<std::optional<Rect>>& read)
{
    std::vector<std::optional<Rect>> landed(writes.size());
    std::vector<ElementRef> unsent;
    std::vector<std::size_t> unsentAt;
    for (std::size_t i = 0, k = 0; i < writes.size(); ++i) {
        if (k < sent.size() && sent[k] == i) {
            if (k < read.size())
                landed[i] = read[k];
            ++k;
            continue;
        }
        if (writes[i].element) {
            unsent.push_back(writes[i].element);
            unsentAt.push_back(i);
        }
    }
    if (unsent.empty())
        return landed;
    const auto frames = accessibility.frames(unsent);
    for (std::size_t k = 0; k < unsentAt.size() && k < frames.size(); ++k)
        landed[unsentAt[k]] = frames[k];
    return landed;
}

bool Accessibility::glide(std::span<const FrameWrite> writes)
{
    setFrames(writes);
    return true;
}

std::vector<bool> Accessibility::setFrames(std::span<const FrameWrite> writes)
{
    std::vector<bool> done;
    done.reserve(writes.size());
    for (const FrameWrite& write : writes) {
        Element* element = write.element.get();
        bool ok = element != nullptr;
        if (ok && write.parts == FrameWrite::Parts::frame) {
            ok = element->setSize(write.frame.size) && ok;
            ok = element->setPosition(write.frame.origin) && ok;
            ok = element->setSize(write.frame.size) && ok;
        } else if (ok) {
            ok = element->setPosition(write.frame.origin);
        }
        done.push_back(ok);
    }
    return done;
}

std::uint32_t hotKeyModifiers(std::uint64_t flags)
{
    std::uint32_t mask = 0;
    for (const auto& [flag, modifier] : modifierPairs)
        if (flags & flag)
            mask |= modifier;
    return mask;
}

std::uint64_t eventFlags(std::uint32_t modifiers)
{
    std::uint64_t flags = 0;
    for (const auto& [flag, modifier] : modifierPairs)
        if (modifiers & modifier)
            flags |= flag;
    return flags;
}

std::uint32_t maskOf(MouseEventType type)
{
    switch (type) {
    case MouseEventType::leftDown: return MouseEventMask::leftDown;
    case MouseEventType::leftUp: return MouseEventMask::leftUp;
    case MouseEventType::rightDown: return MouseEventMask::rightDown;
    case MouseEventType::rightUp: return MouseEventMask::rightUp;
    case MouseEventType::moved: return MouseEventMask::moved;
    case MouseEventType::leftDragged: return MouseEventMask::leftDragged;
    }
    return 0;
}

std::string_view rawValue(ActivationPolicy policy)
{
    switch (policy) {
    case ActivationPolicy::regular: return "regular";
    case ActivationPolicy::accessory: return "accessory";
    case ActivationPolicy::prohibited: return "prohibited";
    }
    return "regular";
}

std::optional<ActivationPolicy> ActivationPolicy_from(std::string_view raw)
{
    for (auto p : {ActivationPolicy::regular, ActivationPolicy::accessory, ActivationPolicy::prohibited})
        if (rawValue(p) == raw)
            return p;
    return std::nullopt;
}

std::string_view rawValue(LoginItemStatus status)
{
    switch (status) {
    case LoginItemStatus::notRegistered: return "notRegistered";
    case LoginItemStatus::enabled: return "enabled";
    case LoginItemStatus::requiresApproval: return "requiresApproval";
    case LoginItemStatus::notFound: return "notFound";
    }
    return "notRegistered";
}

std::optional<LoginItemStatus> LoginItemStatus_from(std::string_view raw)
{
    for (auto s : {LoginItemStatus::notRegistered, LoginItemStatus::enabled, LoginItemStatus::requiresApproval,
                   LoginItemStatus::notFound})
        if (rawValue(s) == raw)
            return s;
    return std::nullopt;
}

} // namespace kavelo
