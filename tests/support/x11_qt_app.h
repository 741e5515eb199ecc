#pragma once

// One private X session and one QApplication on it (the xcb platform) for a
// whole test binary: Qt keeps the display it opened first, whatever the
// environment asks for later, so every suite in the binary shares it.

#include "support/x11_session.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kavelo::test {

class X11QtApp : public ::testing::Environment {
public:
    struct Options {
        std::vector<std::string> clients;              // started with the session
        std::function<void(X11Session&)> started;      // before Qt opens the display
        bool quitOnLastWindowClosed = true;
    };

    X11QtApp(std::string programName, Options options);

    void SetUp() override;
    void TearDown() override;

    // Null when the session did not start; `error` says why.
    static inline std::unique_ptr<X11Session> session;
    static inline std::unique_ptr<QApplication> app;
    static inline std::string error;

private:
    std::string programName_;
    Options options_;
    int argc_ = 1;
    char* argv_[2] = {nullptr, nullptr};
};

// Registers the binary's X11QtApp; call once, from a namespace-scope
// initialiser.
::testing::Environment* addX11QtApp(std::string programName, X11QtApp::Options options = {});

// The whole screen as the user sees it, saved as `fileName` in
// $KAVELO_PNG_DIR, else the test temporary folder.
void saveScreen(const X11Session& session, const std::string& fileName);

} // namespace kavelo::test
