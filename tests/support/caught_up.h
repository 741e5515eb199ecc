#pragma once

// What the server holds once the window manager has handled every write:
// the backend waits on it for a bounded time only, and on a loaded machine
// openbox answers later; a read at once shows the windows as they stood.

#include "app/platform/x11/x11_desktop.h"
#include "support/wait_for.h"

namespace kavelo::test {

// Writes not yet waited on (an animation's frames) get a barrier of their
// own first.
inline Waited caughtUp(X11Desktop& x11)
{
    x11.settle();
    return waitFor([&] { return !x11.windowServer().managerBehind(); }, answerDeadline);
}

} // namespace kavelo::test
