// A small X client for the integration tests, shaped like the windows the
// stock clients do not cover:
//   --csd L,R,T,B   draws its own decorations the way a GTK 3 header-bar
//                   window does: no server decorations (_MOTIF_WM_HINTS) and
//                   invisible shadow margins announced in _GTK_FRAME_EXTENTS
//   --size WxH      its X window's size (margins included)
//   --min WxH       its minimum size hint (margins included, as GTK sets it)
//   --class NAME    its WM_CLASS class (default KaveloTestClient)
//   --close-on-resize  destroys its window and exits when first resized
//   --text NAME VALUE  a UTF8_STRING property (_GTK_APPLICATION_ID, ...)
//   --dialog        a dialog window (_NET_WM_WINDOW_TYPE_DIALOG)
//   --hold-keyboard a launcher's way instead: an unmanaged window that grabs
//                   the keyboard (trying again while another client holds
//                   it), reads keys until Escape goes down and lets go. The
//                   root's KAVELO_TEST_HOLD says [1, presses, pid] while it
//                   holds, [0, presses, pid] once it let go.
//   --decorate-on-usr1  opens without server decorations and asks for them
//                   on SIGUSR1, as a program that turns its title bar on
//                   while it is shown
// It answers WM_DELETE_WINDOW by exiting.

#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

xcb_atom_t intern(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = r ? r->atom : XCB_NONE;
    std::free(r);
    return atom;
}

volatile sig_atomic_t decorateNow = 0;
void askForDecorations(int) { decorateNow = 1; }

bool pair(const char* text, unsigned* a, unsigned* b) { return std::sscanf(text, "%ux%u", a, b) == 2; }

// The key that types Escape in the server's keymap.
xcb_keycode_t escapeKey(xcb_connection_t* c)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, std::uint8_t(count)), nullptr);
    xcb_keycode_t found = 0;
    if (map) {
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
        for (int k = 0; k < count && !found; ++k)
            for (int i = 0; i < map->keysyms_per_keycode; ++i)
                if (syms[k * map->keysyms_per_keycode + i] == 0xff1b)
                    found = xcb_keycode_t(setup->min_keycode + k);
    }
    std::free(map);
    return found;
}

// Grabs the keyboard as a launcher does, reads key presses until Escape and
// lets go, telling the root what it did.
int holdKeyboard(xcb_connection_t* c, xcb_screen_t* screen)
{
    const xcb_atom_t hold = intern(c, "KAVELO_TEST_HOLD");
    const auto tell = [&](std::uint32_t holding, std::uint32_t presses) {
        const std::uint32_t values[] = {holding, presses, std::uint32_t(getpid())};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, screen->root, hold, XCB_ATOM_CARDINAL, 32, 3, values);
        xcb_flush(c);
    };
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t values[] = {screen->black_pixel, 1u, XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 100, 100, 600, 40, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(c, window);
    xcb_flush(c);
    const xcb_keycode_t escape = escapeKey(c);
    bool held = false;
    // The key that started it may still be down, under its binding's grab.
    for (int tries = 0; tries < 500 && !held; ++tries) {
        xcb_grab_keyboard_reply_t* r = xcb_grab_keyboard_reply(
            c, xcb_grab_keyboard(c, 1, screen->root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr);
        held = r && r->status == XCB_GRAB_STATUS_SUCCESS;
        std::free(r);
        if (!held)
            usleep(10000);
    }
    if (!held)
        return 1;
    std::free(xcb_grab_pointer_reply(c,
                                     xcb_grab_pointer(c, 1, screen->root,
                                                      XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE,
                                                      XCB_CURRENT_TIME),
                                     nullptr));
    std::uint32_t presses = 0;
    tell(1, presses);
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const std::uint8_t type = event->response_type & 0x7F;
        bool done = false;
        if (type == XCB_KEY_PRESS) {
            ++presses;
            done = reinterpret_cast<xcb_key_press_event_t*>(event)->detail == escape;
        }
        std::free(event);
        if (done)
            break;
    }
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_destroy_window(c, window);
    tell(0, presses);
    // Handled before the connection closes: the server drops what it has
    // not read of a client that leaves with events unread.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    unsigned margins[4] = {0, 0, 0, 0};   // left, right, top, bottom
    bool csd = false;
    unsigned width = 400, height = 300, minWidth = 0, minHeight = 0;
    std::string className = "KaveloTestClient";
    bool closeOnResize = false;
    bool dialog = false;
    bool holdsKeyboard = false;
    bool decorateOnSignal = false;
    std::vector<std::pair<std::string, std::string>> texts;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : "";
        if (arg == "--csd" &&
            std::sscanf(next, "%u,%u,%u,%u", &margins[0], &margins[1], &margins[2], &margins[3]) == 4) {
            csd = true;
            ++i;
        } else if (arg == "--size" && pair(next, &width, &height)) {
            ++i;
        } else if (arg == "--min" && pair(next, &minWidth, &minHeight)) {
            ++i;
        } else if (arg == "--class" && *next) {
            className = next;
            ++i;
        } else if (arg == "--close-on-resize") {
            closeOnResize = true;
        } else if (arg == "--text" && i + 2 < argc) {
            texts.emplace_back(argv[i + 1], argv[i + 2]);
            i += 2;
        } else if (arg == "--dialog") {
            dialog = true;
        } else if (arg == "--hold-keyboard") {
            holdsKeyboard = true;
        } else if (arg == "--decorate-on-usr1") {
            decorateOnSignal = true;
        } else {
            std::fprintf(stderr, "unknown argument %s\n", arg.c_str());
            return 2;
        }
    }

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (holdsKeyboard)
        return holdKeyboard(c, screen);
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t values[] = {screen->white_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, std::uint16_t(width),
                      std::uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);

    const std::string wmClass = "kavelo-test-client" + std::string(1, '\0') + className + std::string(1, '\0');
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        std::uint32_t(wmClass.size()), wmClass.data());
    const std::string title = className + " window";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        std::uint32_t(title.size()), title.data());
    const std::uint32_t pid = std::uint32_t(getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    const xcb_atom_t kind = intern(c, dialog ? "_NET_WM_WINDOW_TYPE_DIALOG" : "_NET_WM_WINDOW_TYPE_NORMAL");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1,
                        &kind);
    const xcb_atom_t utf8 = intern(c, "UTF8_STRING");
    for (const auto& [name, value] : texts)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, name.c_str()), utf8, 8,
                            std::uint32_t(value.size()), value.data());
    const xcb_atom_t protocols = intern(c, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = intern(c, "WM_DELETE_WINDOW");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, protocols, XCB_ATOM_ATOM, 32, 1, &deleteWindow);

    xcb_size_hints_t hints{};
    xcb_icccm_size_hints_set_position(&hints, 0, 0, 0);
    if (minWidth && minHeight)
        xcb_icccm_size_hints_set_min_size(&hints, std::int32_t(minWidth), std::int32_t(minHeight));
    xcb_icccm_set_wm_normal_hints(c, window, &hints);

    // Flags: decorations given; decorations: none, or all.
    const std::uint32_t undecorated[5] = {2, 0, 0, 0, 0};
    const std::uint32_t decorated[5] = {2, 0, 1, 0, 0};
    const xcb_atom_t motifAtom = intern(c, "_MOTIF_WM_HINTS");
    if (csd || decorateOnSignal)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, motifAtom, motifAtom, 32, 5, undecorated);
    if (decorateOnSignal)
        signal(SIGUSR1, askForDecorations);
    if (csd) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern(c, "_GTK_FRAME_EXTENTS"), XCB_ATOM_CARDINAL,
                            32, 4, margins);
    }
    xcb_map_window(c, window);
    xcb_flush(c);

    for (;;) {
        if (decorateNow) {
            decorateNow = 0;
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, motifAtom, motifAtom, 32, 5, decorated);
            xcb_flush(c);
        }
        xcb_generic_event_t* event = xcb_poll_for_event(c);
        if (!event) {
            if (xcb_connection_has_error(c))
                break;
            pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
            poll(&fd, 1, 100);   // a signal ends the wait too, or the next round sees it
            continue;
        }
        const std::uint8_t type = event->response_type & 0x7F;
        bool quit = false;
        if (type == XCB_CONFIGURE_NOTIFY) {
            const auto* e = reinterpret_cast<xcb_configure_notify_event_t*>(event);
            if (closeOnResize && (e->width != width || e->height != height)) {
                xcb_destroy_window(c, window);
                xcb_flush(c);
                quit = true;
            }
        } else if (type == XCB_CLIENT_MESSAGE) {
            const auto* e = reinterpret_cast<xcb_client_message_event_t*>(event);
            quit = e->type == protocols && e->data.data32[0] == deleteWindow;
        }
        std::free(event);
        if (quit)
            break;
    }
    xcb_disconnect(c);
    return 0;
}
