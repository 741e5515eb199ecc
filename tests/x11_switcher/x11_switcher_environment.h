#pragma once

// One private X session for the whole binary: Xvfb, openbox in its test
// configuration (Alt-Tab free), xterm, xclock, xeyes and the xev witness,
// and a QApplication on that display through the xcb platform, whatever
// QT_QPA_PLATFORM says. The session starts before the application and stops
// after it.

#include "support/x11_session.h"

#include <string>

class QApplication;

namespace kavelo::testing {

class Witness;

struct X11SwitcherEnvironment {
    // Null when the session could not start; `error` says why.
    static test::X11Session* session();
    static const std::string& error();
    static Witness* witness();
    static QApplication* application();
};

} // namespace kavelo::testing
