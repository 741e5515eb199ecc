// System hot keys on an X server: passive key grabs on the root window.

#include "app/platform/x11/x11_impl.h"

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

std::uint16_t serverModifiers(std::uint32_t classic)
{
    std::uint16_t mods = 0;
    if (classic & HotKeyModifier::shift)
        mods |= XCB_MOD_MASK_SHIFT;
    if (classic & HotKeyModifier::control)
        mods |= XCB_MOD_MASK_CONTROL;
    if (classic & HotKeyModifier::option)
        mods |= XCB_MOD_MASK_1;
    if (classic & HotKeyModifier::command)
        mods |= XCB_MOD_MASK_4;
    return mods;
}

class X11HotKeys : public SystemHotKeys, X11Facade {
public:
    using X11Facade::X11Facade;
    void setHandler(std::function<void(std::uint32_t)> handler) override { impl.hotKeyHandler = std::move(handler); }
    std::optional<Ref> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t id) override
    {
        if (keyCode > 0xFFFF)
            return std::nullopt;
        const auto key = impl.serverKey(std::uint16_t(keyCode));
        if (!key)
            return std::nullopt;
        const std::uint16_t mods = serverModifiers(modifiers);
        for (const auto& [ref, grab] : impl.hotKeys)
            if (grab.serverKey == *key && grab.serverMods == mods)
                return std::nullopt;
        if (!impl.grabCombination(*key, mods))
            return std::nullopt;
        const Ref ref = impl.nextHotKeyRef++;
        impl.hotKeys.emplace(ref, HotKeyGrab{keyCode, modifiers, id, *key, mods});
        impl.updateRawSelection();
        return ref;
    }
    void unregisterHotKey(Ref ref) override
    {
        auto it = impl.hotKeys.find(ref);
        if (it == impl.hotKeys.end())
            return;
        impl.ungrabCombination(it->second.serverKey, it->second.serverMods);
        impl.hotKeys.erase(it);
    }
};

} // namespace

std::unique_ptr<SystemHotKeys> makeX11HotKeys(Impl& impl) { return std::make_unique<X11HotKeys>(impl); }

} // namespace kavelo
