// The event tap on an X server: raw input events and the grabs it needs.

#include "app/platform/x11/x11_impl.h"

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

class X11EventTap : public EventTap, X11Facade {
public:
    using X11Facade::X11Facade;
    bool start(std::function<bool(const TapEvent&)> callback) override
    {
        impl.tap = std::move(callback);
        if (impl.tapRunning)
            return true;
        impl.tapRunning = true;
        // Keys held before the start count towards the flags.
        impl.keysDown.clear();
        XReply<xcb_query_keymap_reply_t> keys(xcb_query_keymap_reply(impl.c, xcb_query_keymap(impl.c), nullptr));
        if (keys)
            for (int i = 0; i < 256; ++i)
                if (keys->keys[i / 8] & (1 << (i % 8)))
                    impl.keysDown.insert(xcb_keycode_t(i));
        impl.updateRawSelection();
        impl.grabTapButtons(true);
        // Running once this returns: the server has the grabs.
        impl.roundTrip();
        return true;
    }
    void stop() override
    {
        impl.tap = nullptr;
        if (!impl.tapRunning)
            return;
        impl.tapRunning = false;
        impl.grabTapButtons(false);
        impl.holdKeyboard(false);
        impl.updateRawSelection();
    }
    bool isRunning() const override { return impl.tapRunning; }
    // The server never switches a listener off.
    void reenable() override {}
    bool claim(std::uint16_t keyCode, std::uint64_t flags) override { return impl.claimKey(keyCode, flags); }
    void unclaim(std::uint16_t keyCode, std::uint64_t flags) override { impl.unclaimKey(keyCode, flags); }
    bool holdKeyboard(bool hold) override { return impl.holdKeyboard(hold); }
};

} // namespace

std::unique_ptr<EventTap> makeX11EventTap(Impl& impl) { return std::make_unique<X11EventTap>(impl); }

} // namespace kavelo
