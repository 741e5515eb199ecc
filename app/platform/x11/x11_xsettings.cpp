// The desktop's animation setting as its XSETTINGS manager publishes it,
// followed as the manager changes it or hands over to another.

#include "app/platform/x11/x11_impl.h"

#include "app/platform/xsettings.h"

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

// Far above what a settings daemon publishes; a larger property is cut off
// and then reads as malformed.
constexpr std::uint32_t largestProperty = 1 << 18;

} // namespace

void Impl::watchXSettings()
{
    const std::string selection = "_XSETTINGS_S" + std::to_string(screenNumber);
    atomXSettingsSelection = intern(selection.c_str());
    atomXSettings = intern("_XSETTINGS_SETTINGS");
    atomManager = intern("MANAGER");
    readXSettings();
}

void Impl::readXSettings()
{
    XReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atomXSettingsSelection), nullptr));
    const xcb_window_t now = owner ? owner->owner : XCB_NONE;
    if (now != xsettingsOwner && now != XCB_NONE) {
        // Its changes and its end, from now on.
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, now, XCB_CW_EVENT_MASK, &events);
    }
    xsettingsOwner = now;
    enableAnimations.reset();
    if (now == XCB_NONE)
        return;
    XReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, now, atomXSettings, atomXSettings, 0, largestProperty / 4), nullptr));
    if (!reply || reply->format != 8 || reply->bytes_after > 0)
        return;
    const auto* data = static_cast<const std::uint8_t*>(xcb_get_property_value(reply.get()));
    const auto length = std::size_t(xcb_get_property_value_length(reply.get()));
    enableAnimations = XSettings::integer({data, length}, "Gtk/EnableAnimations");
}

bool Impl::handleXSettingsEvent(const xcb_generic_event_t* event)
{
    if (atomXSettingsSelection == XCB_NONE)
        return false;
    switch (event->response_type & 0x7F) {
    case XCB_CLIENT_MESSAGE: {
        const auto* e = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if (e->window != root || e->type != atomManager || e->format != 32 ||
            e->data.data32[1] != atomXSettingsSelection)
            return false;
        readXSettings();
        return true;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (e->window != xsettingsOwner || xsettingsOwner == XCB_NONE || e->atom != atomXSettings)
            return false;
        readXSettings();
        return true;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        if (e->window == xsettingsOwner && xsettingsOwner != XCB_NONE)
            readXSettings();
        return false;   // the window's end matters elsewhere too
    }
    default: return false;
    }
}

} // namespace kavelo
