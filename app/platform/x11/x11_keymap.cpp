// The keyboard map: classic key codes to the server's keys by their XKB
// names, the installed layouts and what a key types in each.

#include "app/platform/x11/x11_impl.h"

#include "app/platform/classic_keys.h"
#include "app/platform/x11/x11_xkb.h"
#include "core/text.h"

#include <xkbcommon/xkbcommon-x11.h>

#include <string>

namespace kavelo {

using Impl = X11Desktop::Impl;

// ---------------------------------------------------------------- key table

namespace X11Keys {

// Classic codes name places on the keyboard, as XKB key names do.
const std::vector<std::pair<std::uint16_t, std::string_view>>& table()
{
    static const std::vector<std::pair<std::uint16_t, std::string_view>> keys{
        {0, "AC01"},   {1, "AC02"},   {2, "AC03"},   {3, "AC04"},   {4, "AC06"},   {5, "AC05"},   {6, "AB01"},
        {7, "AB02"},   {8, "AB03"},   {9, "AB04"},   {10, "LSGT"},  {11, "AB05"},  {12, "AD01"},  {13, "AD02"},
        {14, "AD03"},  {15, "AD04"},  {16, "AD06"},  {17, "AD05"},  {18, "AE01"},  {19, "AE02"},  {20, "AE03"},
        {21, "AE04"},  {22, "AE06"},  {23, "AE05"},  {24, "AE12"},  {25, "AE09"},  {26, "AE07"},  {27, "AE11"},
        {28, "AE08"},  {29, "AE10"},  {30, "AD12"},  {31, "AD09"},  {32, "AD07"},  {33, "AD11"},  {34, "AD08"},
        {35, "AD10"},  {36, "RTRN"},  {37, "AC09"},  {38, "AC07"},  {39, "AC11"},  {40, "AC08"},  {41, "AC10"},
        {42, "BKSL"},  {43, "AB08"},  {44, "AB10"},  {45, "AB06"},  {46, "AB07"},  {47, "AB09"},  {48, "TAB"},
        {49, "SPCE"},  {50, "TLDE"},  {51, "BKSP"},  {53, "ESC"},   {54, "RWIN"},  {55, "LWIN"},  {56, "LFSH"},
        {57, "CAPS"},  {58, "LALT"},  {59, "LCTL"},  {60, "RTSH"},  {61, "RALT"},  {62, "RCTL"},  {64, "FK17"},
        {65, "KPDL"},  {67, "KPMU"},  {69, "KPAD"},  {71, "NMLK"},  {72, "VOL+"},  {73, "VOL-"},  {74, "MUTE"},
        {75, "KPDV"},  {76, "KPEN"},  {78, "KPSU"},  {79, "FK18"},  {80, "FK19"},  {81, "KPEQ"},  {82, "KP0"},
        {83, "KP1"},   {84, "KP2"},   {85, "KP3"},   {86, "KP4"},   {87, "KP5"},   {88, "KP6"},   {89, "KP7"},
        {90, "FK20"},  {91, "KP8"},   {92, "KP9"},   {96, "FK05"},  {97, "FK06"},  {98, "FK07"},  {99, "FK03"},
        {100, "FK08"}, {101, "FK09"}, {103, "FK11"}, {105, "FK13"}, {106, "FK16"}, {107, "FK14"}, {109, "FK10"},
        {111, "FK12"}, {113, "FK15"}, {114, "INS"},  {115, "HOME"}, {116, "PGUP"}, {117, "DELE"}, {118, "FK04"},
        {119, "END"},  {120, "FK02"}, {121, "PGDN"}, {122, "FK01"}, {123, "LEFT"}, {124, "RGHT"}, {125, "DOWN"},
        {126, "UP"},
    };
    return keys;
}

std::optional<std::string_view> keyName(std::uint16_t classic)
{
    for (const auto& [code, name] : table())
        if (code == classic)
            return name;
    return std::nullopt;
}

} // namespace X11Keys

// ---------------------------------------------------------------- keyboard map

void Impl::loadKeymap()
{
    classicOf.fill(-1);
    if (!xkbContext || keyboardDevice < 0)
        return;
    xkb_keymap* fresh = xkb_x11_keymap_new_from_device(xkbContext, c, keyboardDevice, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!fresh)
        return;
    if (keymap)
        xkb_keymap_unref(keymap);
    keymap = fresh;
    for (const auto& [classic, name] : X11Keys::table()) {
        const xkb_keycode_t code = xkb_keymap_key_by_name(keymap, std::string(name).c_str());
        if (code != XKB_KEYCODE_INVALID && code < 256 && classicOf[code] < 0)
            classicOf[code] = classic;
    }
}

std::optional<xcb_keycode_t> Impl::serverKey(std::uint16_t classic) const
{
    const auto name = X11Keys::keyName(classic);
    if (!name || !keymap)
        return std::nullopt;
    const xkb_keycode_t code = xkb_keymap_key_by_name(keymap, std::string(*name).c_str());
    if (code == XKB_KEYCODE_INVALID || code > 255)
        return std::nullopt;
    return xcb_keycode_t(code);
}

// Layout identifiers as the server was configured ("us", "de(nodeadkeys)").
std::vector<std::string> Impl::layoutNames() const
{
    XReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, atomRulesNames, XCB_ATOM_STRING, 0, 1024), nullptr));
    std::vector<std::string> fields;
    if (reply && reply->format == 8) {
        const char* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
        const int length = xcb_get_property_value_length(reply.get());
        std::string current;
        for (int i = 0; i < length; ++i) {
            if (data[i] == '\0') {
                fields.push_back(current);
                current.clear();
            } else {
                current += data[i];
            }
        }
        if (!current.empty())
            fields.push_back(current);
    }
    const auto split = [](const std::string& text) {
        std::vector<std::string> parts;
        std::string part;
        for (char ch : text) {
            if (ch == ',') {
                parts.push_back(part);
                part.clear();
            } else {
                part += ch;
            }
        }
        parts.push_back(part);
        return parts;
    };
    std::vector<std::string> out;
    if (fields.size() >= 3 && !fields[2].empty()) {
        const auto layouts = split(fields[2]);
        const auto variants = fields.size() >= 4 ? split(fields[3]) : std::vector<std::string>{};
        for (std::size_t i = 0; i < layouts.size(); ++i) {
            std::string id = layouts[i];
            if (i < variants.size() && !variants[i].empty())
                id += "(" + variants[i] + ")";
            out.push_back(id);
        }
    } else if (keymap) {
        for (xkb_layout_index_t i = 0; i < xkb_keymap_num_layouts(keymap); ++i)
            if (const char* name = xkb_keymap_layout_get_name(keymap, i))
                out.push_back(name);
    }
    return out;
}

std::optional<std::uint32_t> Impl::currentGroup() const
{
    if (!keymap)
        return std::nullopt;
    XReply<xcb_xkb_get_state_reply_t> state(
        xcb_xkb_get_state_reply(c, xcb_xkb_get_state(c, XCB_XKB_ID_USE_CORE_KBD), nullptr));
    if (!state)
        return std::nullopt;
    return state->group;
}

std::uint64_t Impl::flagsOfServerState(std::uint16_t state) const
{
    std::uint64_t flags = 0;
    if (state & XCB_MOD_MASK_SHIFT)
        flags |= EventFlag::shift;
    if (state & XCB_MOD_MASK_CONTROL)
        flags |= EventFlag::control;
    if (state & XCB_MOD_MASK_1)
        flags |= EventFlag::option;
    if (state & XCB_MOD_MASK_4)
        flags |= EventFlag::command;
    return flags;
}

// What a key types with no modifiers in one layout of the keyboard map.
// Keys whose symbol is a function (arrows, Return, F-keys) take the
// characters of the classic tables: control characters for translation, the
// toolkit's private-use characters for events. Other symbols without a
// character (dead accents, level and group switches) type nothing by
// themselves.
std::optional<std::string> Impl::characters(std::uint16_t classic, std::uint32_t layout, bool forEvent) const
{
    const auto key = serverKey(classic);
    if (!key || !keymap || layout >= xkb_keymap_num_layouts(keymap))
        return std::nullopt;
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap, *key, layout, 0, &syms);
    if (count <= 0)
        return std::nullopt;
    const xkb_keysym_t sym = syms[0];
    if (sym >= 0xFF00 && sym <= 0xFFFF) {
        if (auto f = ClassicKeys::fixed(classic))
            return text::utf8(forEvent ? f->event : f->translated);
        if (auto ch = ClassicKeys::usCharacter(classic))
            return text::utf8(*ch);
        return forEvent ? std::optional<std::string>("") : std::nullopt;
    }
    const std::uint32_t ch = xkb_keysym_to_utf32(sym);
    if (ch == 0)
        return std::nullopt;
    return text::utf8(char32_t(ch));
}

} // namespace kavelo
