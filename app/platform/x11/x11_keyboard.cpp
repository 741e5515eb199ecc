// Keyboard layouts and key translation from the server's XKB keymap.

#include "app/platform/x11/x11_impl.h"

#include <algorithm>

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

class X11Keyboard : public Keyboard, X11Facade {
public:
    using X11Facade::X11Facade;
    std::vector<std::string> layouts() const override { return impl.layoutNames(); }
    std::optional<std::string> currentLayout() const override
    {
        const auto names = impl.layoutNames();
        const auto group = impl.currentGroup();
        if (!group || *group >= names.size())
            return std::nullopt;
        return names[*group];
    }
    std::optional<std::string> translate(std::string_view layout, std::uint16_t keyCode) const override
    {
        const auto names = impl.layoutNames();
        const auto it = std::find(names.begin(), names.end(), layout);
        if (it == names.end())
            return std::nullopt;
        return impl.characters(keyCode, std::uint32_t(it - names.begin()), false);
    }
    std::optional<std::uint16_t> keyCode(std::uint32_t nativeScanCode) const override
    {
        if (nativeScanCode >= impl.classicOf.size() || impl.classicOf[nativeScanCode] < 0)
            return std::nullopt;
        return std::uint16_t(impl.classicOf[nativeScanCode]);
    }
    std::optional<std::uint64_t> downSince(std::uint32_t nativeScanCode) const override
    {
        if (nativeScanCode > 255 || !impl.keysDown.count(xcb_keycode_t(nativeScanCode)))
            return std::nullopt;
        const auto it = impl.freshPressAt.find(xcb_keycode_t(nativeScanCode));
        if (it == impl.freshPressAt.end())
            return std::nullopt;
        return it->second;
    }
};

} // namespace

std::unique_ptr<Keyboard> makeX11Keyboard(Impl& impl) { return std::make_unique<X11Keyboard>(impl); }

} // namespace kavelo
