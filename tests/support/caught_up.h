#pragma once

// What the server holds once the window manager has handled every write:
// the backend waits on it for a bounded time only, and on a loaded machine
// openbox answers later; a read at once shows the windows as they stood.

#include "app/platform/x11/x11_desktop.h"
#include "support/wait_for.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <optional>

namespace kavelo::test {

// Writes not yet waited on (an animation's frames) get a barrier of their
// own first.
inline Waited caughtUp(X11Desktop& x11)
{
    x11.settle();
    return waitFor([&] { return !x11.windowServer().managerBehind(); }, answerDeadline);
}

// A window's frame as the server has it, decorations included, once caught up.
inline std::optional<Rect> serverFrame(X11Desktop& x11, X11Session& session, WindowID id)
{
    EXPECT_TRUE(caughtUp(x11));
    const auto window = x11.serverWindow(id);
    return window ? session.frame(*window) : std::nullopt;
}

} // namespace kavelo::test
