#pragma once

// Stopping the window manager (SIGSTOP), for what the backend does while it
// answers nothing.

#include "app/platform/x11/x11_desktop.h"
#include "support/wait_for.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kavelo::test {

// The window manager's process on `display`.
inline pid_t managerOf(const std::string& display)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::string comm;
        std::getline(std::ifstream(entry.path() / "comm"), comm);
        if (comm != "openbox")
            continue;
        std::ifstream in(entry.path() / "environ");
        const std::string environment((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (environment.find(std::string("DISPLAY=") + display + '\0') != std::string::npos)
            return pid_t(std::stoi(entry.path().filename().string()));
    }
    return -1;
}

// Stops the window manager once it has handled all it was sent: stopped
// while it holds the server to take in a new window, it would stop every
// client's requests, the test's own reads among them, for good. The backend
// has taken in its answer to the first frame-extents request by then: a
// loaded machine's openbox may not have answered the one sent when the
// backend connected, and the backend would not yet trust its answers.
inline void stopManager(X11Session& session, X11Desktop& desktop, pid_t& manager)
{
    manager = managerOf(session.display());
    ASSERT_GT(manager, 0) << "no openbox on " << session.display();
    ASSERT_TRUE(waitFor(
        [&] {
            desktop.settle();
            return desktop.answersFrameExtents();
        },
        answerDeadline, [&] { desktop.processEvents(); }))
        << "openbox never answered a frame-extents request";
    ASSERT_TRUE(session.answering()) << "openbox does not answer";
    ASSERT_EQ(::kill(manager, SIGSTOP), 0);
}

} // namespace kavelo::test
