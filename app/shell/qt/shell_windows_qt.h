#pragma once

// The two ordinary windows of the program: settings (760 × 560, "Kavelo
// Settings") and welcome (540 × 740, no title). Each is made on first use,
// hidden when closed and reused; every show puts a new content view in it,
// centres it on the screen under the pointer and brings it forward. A
// window the displays left mostly off screen is brought back.

#include "app/settings/settings_view.h"
#include "app/settings/welcome_view.h"
#include "app/shell/shell_views.h"
#include "app/ui/spring.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace kavelo {

class QtShellWindows : public ShellWindows {
public:
    // `made` hears each window when it is made (the main menu's keys attach).
    QtShellWindows(WindowSources sources, AnimationTime time, std::function<void(QWidget&)> made = {});
    ~QtShellWindows() override;

    void showSettings(SettingsTab tab) override;
    void showWelcome(std::function<void()> done) override;
    void closeWelcome() override;
    void keepOnScreen() override;

    QWidget* settingsWindow() const { return settings_.get(); }
    QWidget* welcomeWindow() const { return welcome_.get(); }
    SettingsView* settingsView() const { return settingsView_; }
    WelcomeView* welcomeView() const { return welcomeView_; }

    static constexpr const char* settingsTitle = "Kavelo Settings";

private:
    std::unique_ptr<QWidget> makeWindow(int width, int height, const QString& title);

    WindowSources sources_;
    AnimationTime time_;
    std::function<void(QWidget&)> made_;
    std::unique_ptr<QWidget> settings_;
    std::unique_ptr<QWidget> welcome_;
    QPointer<SettingsView> settingsView_;
    QPointer<WelcomeView> welcomeView_;
};

// Centres `window` on the available area of the screen under the pointer,
// raises and activates it.
void bringToFront(QWidget& window);

} // namespace kavelo
