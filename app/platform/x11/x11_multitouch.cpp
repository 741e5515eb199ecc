// Touchpad swipes on an X server: XInput 2.4 reports whole gestures, not
// finger contacts. A passive grab on the root takes every swipe, wherever
// the pointer is: the server grabs swipes of any finger count or none, so
// those of other counts reach the tracker too, which ignores them.

#include "app/platform/x11/x11_impl.h"

#include <xcb/xinput.h>

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

constexpr std::uint32_t anyModifier = XCB_INPUT_MODIFIER_MASK_ANY;

class X11Multitouch : public Multitouch, X11Facade {
public:
    using X11Facade::X11Facade;
    ~X11Multitouch() override { stop(); }

    // The grab is taken even without a device present: it costs nothing and
    // shows whether another client already holds these swipes.
    int start(int fingers, std::function<void(const ContactFrame&)> onFrame) override
    {
        stop();
        if (!impl.hasGestures || fingers < 1)
            return 0;
        const std::uint32_t mask[2] = {(1u << XCB_INPUT_GESTURE_SWIPE_BEGIN) | (1u << XCB_INPUT_GESTURE_SWIPE_UPDATE),
                                       1u << (XCB_INPUT_GESTURE_SWIPE_END - 32)};
        xcb_generic_error_t* error = nullptr;
        XReply<xcb_input_xi_passive_grab_device_reply_t> reply(xcb_input_xi_passive_grab_device_reply(
            impl.c,
            xcb_input_xi_passive_grab_device(impl.c, XCB_CURRENT_TIME, impl.root, XCB_NONE, 0,
                                             XCB_INPUT_DEVICE_ALL_MASTER, 1, 2,
                                             XCB_INPUT_GRAB_TYPE_GESTURE_SWIPE_BEGIN, XCB_INPUT_GRAB_MODE_22_ASYNC,
                                             XCB_INPUT_GRAB_MODE_22_ASYNC, 0, mask, &anyModifier),
            &error));
        std::free(error);
        // A failed modifier is a grab another client holds.
        if (!reply || reply->num_modifiers > 0)
            return 0;
        grabbed_ = true;
        impl.gestureFrames = {};
        impl.onGestureFrame = std::move(onFrame);
        return int(devices().size());
    }

    void stop() override
    {
        impl.onGestureFrame = nullptr;
        if (!grabbed_)
            return;
        xcb_input_xi_passive_ungrab_device(impl.c, impl.root, 0, XCB_INPUT_DEVICE_ALL_MASTER, 1,
                                           XCB_INPUT_GRAB_TYPE_GESTURE_SWIPE_BEGIN, &anyModifier);
        xcb_flush(impl.c);
        grabbed_ = false;
    }

    std::vector<std::string> devices() const override
    {
        std::vector<std::string> out;
        if (!impl.hasGestures)
            return out;
        XReply<xcb_input_xi_query_device_reply_t> reply(xcb_input_xi_query_device_reply(
            impl.c, xcb_input_xi_query_device(impl.c, XCB_INPUT_DEVICE_ALL), nullptr));
        if (!reply)
            return out;
        for (auto info = xcb_input_xi_query_device_infos_iterator(reply.get()); info.rem;
             xcb_input_xi_device_info_next(&info)) {
            if (info.data->type != XCB_INPUT_DEVICE_TYPE_SLAVE_POINTER)
                continue;
            bool gestures = false;
            for (auto cls = xcb_input_xi_device_info_classes_iterator(info.data); cls.rem;
                 xcb_input_device_class_next(&cls))
                gestures = gestures || cls.data->type == XCB_INPUT_DEVICE_CLASS_TYPE_GESTURE;
            if (gestures)
                out.emplace_back(xcb_input_xi_device_info_name(info.data),
                                 std::size_t(xcb_input_xi_device_info_name_length(info.data)));
        }
        return out;
    }

private:
    bool grabbed_ = false;
};

} // namespace

std::unique_ptr<Multitouch> makeX11Multitouch(Impl& impl) { return std::make_unique<X11Multitouch>(impl); }

void Impl::handleGesture(const xcb_ge_generic_event_t* event)
{
    const auto swipe = gestureSwipe(*reinterpret_cast<const xcb_input_gesture_swipe_begin_event_t*>(event));
    if (!swipe || !onGestureFrame)
        return;
    if (auto frame = gestureFrames.feed(*swipe)) {
        auto deliver = onGestureFrame;
        deliver(*frame);
    }
}

} // namespace kavelo
