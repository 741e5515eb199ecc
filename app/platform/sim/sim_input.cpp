// Input on the simulated desktop: hot keys, the event tap, the mouse, the
// keyboard layouts, and the driving calls that inject events.

#include "app/platform/sim/sim_impl.h"

#include "app/platform/sim/sim_keyboard.h"

namespace kavelo {

using Impl = SimDesktop::Impl;

// ---------------------------------------------------------------- rules

void Impl::notifyMouse(const MouseEvent& event)
{
    std::vector<std::uint64_t> ids;
    {
        auto guard = lock();
        for (const auto& [id, m] : mouseMonitors)
            if (m.first & maskOf(event.type))
                ids.push_back(id);
    }
    for (auto id : ids) {
        std::function<void(const MouseEvent&)> f;
        {
            auto guard = lock();
            auto it = mouseMonitors.find(id);
            if (it == mouseMonitors.end())
                continue;
            f = it->second.second;
        }
        f(event);
    }
}

bool Impl::sendToTap(const TapEvent& event)
{
    std::function<bool(const TapEvent&)> callback;
    {
        auto guard = lock();
        if (!tapRunning || !tapEnabled || !tap)
            return false;
        callback = tap;
    }
    return callback(event);
}

// ---------------------------------------------------------------- interfaces

namespace {

class SimHotKeys : public SystemHotKeys, SimFacade {
public:
    using SimFacade::SimFacade;
    void setHandler(std::function<void(std::uint32_t)> handler) override
    {
        auto guard = impl.lock();
        impl.hotKeyHandler = std::move(handler);
    }
    std::optional<Ref> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t id) override
    {
        auto guard = impl.lock();
        if (impl.s.hotKeysTaken.count({keyCode, modifiers}))
            return std::nullopt;
        for (const auto& [ref, key] : impl.hotKeys)
            if (key.keyCode == keyCode && key.modifiers == modifiers)
                return std::nullopt;
        const Ref ref = impl.nextHotKeyRef++;
        impl.hotKeys.emplace(ref, SimHotKey{keyCode, modifiers, id});
        return ref;
    }
    void unregisterHotKey(Ref ref) override
    {
        auto guard = impl.lock();
        impl.hotKeys.erase(ref);
    }
};

class SimEventTap : public EventTap, SimFacade {
public:
    using SimFacade::SimFacade;
    bool start(std::function<bool(const TapEvent&)> callback) override
    {
        auto guard = impl.lock();
        if (!impl.s.trusted)
            return false;
        impl.tap = std::move(callback);
        impl.tapRunning = true;
        impl.tapEnabled = true;
        return true;
    }
    void stop() override
    {
        auto guard = impl.lock();
        impl.tap = nullptr;
        impl.tapRunning = false;
    }
    bool isRunning() const override { return impl.lock(), impl.tapRunning; }
    void reenable() override
    {
        auto guard = impl.lock();
        impl.tapEnabled = true;
    }
    // A combination another application took with `takeHotKey` is refused.
    bool claim(std::uint16_t keyCode, std::uint64_t flags) override
    {
        auto guard = impl.lock();
        const auto combination = std::pair(keyCode, flags & claimedFlags);
        if (impl.claims.count(combination))
            return true;
        if (impl.s.hotKeysTaken.count({keyCode, hotKeyModifiers(combination.second)}))
            return false;
        impl.claims.insert(combination);
        return true;
    }
    void unclaim(std::uint16_t keyCode, std::uint64_t flags) override
    {
        auto guard = impl.lock();
        impl.claims.erase(std::pair(keyCode, flags & claimedFlags));
    }
    bool holdKeyboard(bool hold) override
    {
        auto guard = impl.lock();
        if (hold && impl.keyboardHeldElsewhere)
            return false;
        impl.keyboardHeld = hold;
        return true;
    }

private:
    static constexpr std::uint64_t claimedFlags =
        EventFlag::shift | EventFlag::control | EventFlag::option | EventFlag::command;
};

class SimMouse : public Mouse, SimFacade {
public:
    using SimFacade::SimFacade;
    Handle monitor(std::uint32_t mask, std::function<void(const MouseEvent&)> handler) override
    {
        auto guard = impl.lock();
        return impl.observe(&Impl::mouseMonitors, std::pair(mask, std::move(handler)));
    }
    Point location() const override
    {
        auto guard = impl.lock();
        return Point(impl.s.pointer.x, impl.primaryHeight() - impl.s.pointer.y);
    }
    std::uint32_t pressedButtons() const override { return impl.lock(), impl.s.pressedButtons; }
    void warp(Point topLeft) override
    {
        auto guard = impl.lock();
        impl.s.pointer = topLeft;
    }
    std::uint64_t modifierFlags(ModifierSource source) const override
    {
        auto guard = impl.lock();
        return source == ModifierSource::combinedSession ? impl.s.sessionFlags : impl.s.hidFlags;
    }
};

class SimKeyboard : public Keyboard, SimFacade {
public:
    using SimFacade::SimFacade;
    std::vector<std::string> layouts() const override { return sim::layouts(); }
    std::optional<std::string> currentLayout() const override { return impl.lock(), impl.s.layout; }
    std::optional<std::string> translate(std::string_view layout, std::uint16_t keyCode) const override
    {
        return sim::translate(layout, keyCode);
    }
    // The simulated keyboard's native codes are the classic ones.
    std::optional<std::uint16_t> keyCode(std::uint32_t nativeScanCode) const override
    {
        if (nativeScanCode > 127)
            return std::nullopt;
        return std::uint16_t(nativeScanCode);
    }
};

} // namespace

std::unique_ptr<SystemHotKeys> makeSimHotKeys(Impl& impl) { return std::make_unique<SimHotKeys>(impl); }
std::unique_ptr<EventTap> makeSimEventTap(Impl& impl) { return std::make_unique<SimEventTap>(impl); }
std::unique_ptr<Mouse> makeSimMouse(Impl& impl) { return std::make_unique<SimMouse>(impl); }
std::unique_ptr<Keyboard> makeSimKeyboard(Impl& impl) { return std::make_unique<SimKeyboard>(impl); }

// ---------------------------------------------------------------- input

bool SimDesktop::pressKey(std::uint16_t keyCode, std::uint64_t flags, bool autorepeat)
{
    TapEvent event{.type = TapEventType::keyDown, .flags = flags, .keyCode = keyCode, .autorepeat = autorepeat};
    {
        auto guard = impl_->lock();
        event.charactersIgnoringModifiers = sim::eventCharacters(impl_->s.layout.value_or("us"), keyCode);
    }
    if (impl_->sendToTap(event))
        return true;
    std::function<void(std::uint32_t)> handler;
    std::optional<std::uint32_t> id;
    {
        auto guard = impl_->lock();
        const std::uint32_t modifiers = hotKeyModifiers(flags);
        for (const auto& [ref, key] : impl_->hotKeys)
            if (key.keyCode == keyCode && key.modifiers == modifiers)
                id = key.id;
        handler = impl_->hotKeyHandler;
    }
    if (id && handler && !autorepeat)
        handler(*id);
    return false;
}

bool SimDesktop::releaseKey(std::uint16_t keyCode, std::uint64_t flags)
{
    TapEvent event{.type = TapEventType::keyUp, .flags = flags, .keyCode = keyCode};
    {
        auto guard = impl_->lock();
        event.charactersIgnoringModifiers = sim::eventCharacters(impl_->s.layout.value_or("us"), keyCode);
    }
    return impl_->sendToTap(event);
}

bool SimDesktop::changeFlags(std::uint64_t flags)
{
    {
        auto guard = impl_->lock();
        impl_->s.sessionFlags = flags;
        impl_->s.hidFlags = flags;
    }
    return impl_->sendToTap(TapEvent{.type = TapEventType::flagsChanged, .flags = flags});
}

bool SimDesktop::scroll(double deltaX, double deltaY, bool continuous, std::uint64_t flags)
{
    return impl_->sendToTap(TapEvent{.type = TapEventType::scrollWheel,
                                     .flags = flags,
                                     .scrollDeltaX = deltaX,
                                     .scrollDeltaY = deltaY,
                                     .continuous = continuous});
}

namespace {

// Left and right buttons reach the global monitors, the others the tap.
bool sendButton(Impl& impl, int button, bool down)
{
    if (button < 0 || button > 31)
        return false;
    Point location;
    std::uint64_t flags = 0;
    {
        auto guard = impl.lock();
        if (down)
            impl.s.pressedButtons |= 1u << button;
        else
            impl.s.pressedButtons &= ~(1u << button);
        location = Point(impl.s.pointer.x, impl.primaryHeight() - impl.s.pointer.y);
        flags = impl.s.sessionFlags;
    }
    if (button == 0 || button == 1) {
        const MouseEventType type = button == 0 ? (down ? MouseEventType::leftDown : MouseEventType::leftUp)
                                                : (down ? MouseEventType::rightDown : MouseEventType::rightUp);
        impl.notifyMouse({type, location});
        return false;
    }
    return impl.sendToTap(TapEvent{.type = down ? TapEventType::otherMouseDown : TapEventType::otherMouseUp,
                                   .flags = flags,
                                   .buttonNumber = button});
}

} // namespace

bool SimDesktop::pressButton(int button) { return sendButton(*impl_, button, true); }

bool SimDesktop::releaseButton(int button) { return sendButton(*impl_, button, false); }

void SimDesktop::movePointer(Point topLeft)
{
    MouseEvent event;
    {
        auto guard = impl_->lock();
        impl_->s.pointer = topLeft;
        event.type = (impl_->s.pressedButtons & MouseButtonMask::left) ? MouseEventType::leftDragged
                                                                       : MouseEventType::moved;
        event.location = Point(topLeft.x, impl_->primaryHeight() - topLeft.y);
    }
    impl_->notifyMouse(event);
}

Point SimDesktop::pointer() const
{
    auto guard = impl_->lock();
    return impl_->s.pointer;
}

void SimDesktop::setModifierState(ModifierSource source, std::uint64_t flags)
{
    auto guard = impl_->lock();
    (source == ModifierSource::combinedSession ? impl_->s.sessionFlags : impl_->s.hidFlags) = flags;
}

void SimDesktop::disableTap(TapEventType why)
{
    std::function<bool(const TapEvent&)> callback;
    {
        auto guard = impl_->lock();
        if (!impl_->tapRunning)
            return;
        impl_->tapEnabled = false;
        callback = impl_->tap;
    }
    if (callback)
        callback(TapEvent{.type = why});
}

bool SimDesktop::tapEnabled() const
{
    auto guard = impl_->lock();
    return impl_->tapRunning && impl_->tapEnabled;
}

void SimDesktop::setCurrentLayout(std::optional<std::string> layout)
{
    auto guard = impl_->lock();
    impl_->s.layout = std::move(layout);
}

void SimDesktop::takeHotKey(std::uint32_t keyCode, std::uint32_t modifiers)
{
    auto guard = impl_->lock();
    impl_->s.hotKeysTaken.insert({keyCode, modifiers});
}

void SimDesktop::releaseHotKey(std::uint32_t keyCode, std::uint32_t modifiers)
{
    auto guard = impl_->lock();
    impl_->s.hotKeysTaken.erase({keyCode, modifiers});
}

std::vector<std::pair<std::uint16_t, std::uint64_t>> SimDesktop::claims() const
{
    auto guard = impl_->lock();
    return {impl_->claims.begin(), impl_->claims.end()};
}

bool SimDesktop::keyboardHeld() const
{
    auto guard = impl_->lock();
    return impl_->keyboardHeld;
}

void SimDesktop::holdKeyboardElsewhere(bool held)
{
    auto guard = impl_->lock();
    impl_->keyboardHeldElsewhere = held;
}

std::vector<SimHotKey> SimDesktop::registeredHotKeys() const
{
    auto guard = impl_->lock();
    std::vector<SimHotKey> out;
    for (const auto& [ref, key] : impl_->hotKeys)
        out.push_back(key);
    return out;
}

} // namespace kavelo
