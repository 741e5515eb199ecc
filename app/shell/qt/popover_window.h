#pragma once

// The popover as a Qt window: a frameless panel above other windows that
// takes the keyboard, with rounded corners, holding a new menu panel at each
// opening. Closing it by its own keys (Close, Escape) tells the popover,
// which then stops watching clicks.

#include "app/shell/popover.h"
#include "app/shell/qt/menu_panel_view.h"
#include "app/ui/panel_host.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace kavelo {

class PopoverFrame : public QWidget {
public:
    PopoverFrame();
    std::function<void()> onClosed;
    static constexpr double radius = 12;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

class QtPopoverWindow : public PopoverWindow {
public:
    // `blends` tells whether translucency is real; `made` hears each new
    // frame window, once (the main menu's keys attach to it).
    // `host` places the window in points (none: the toolkit's coordinates
    // are points).
    QtPopoverWindow(AnimationTime time, std::function<std::string()> screenName, std::function<bool()> blends,
                    std::function<void(QWidget&)> made = {}, const PanelHost* host = nullptr);
    ~QtPopoverWindow() override;

    void open(MenuPanel panel, const std::function<Rect(Size)>& place, std::function<void()> closed) override;
    void close() override;
    bool isOpen() const override;
    std::optional<Rect> frame() const override;

    PopoverFrame* window() const { return frame_.get(); }
    MenuPanelView* view() const { return view_; }

private:
    void place();

    AnimationTime time_;
    std::function<std::string()> screenName_;
    std::function<bool()> blends_;
    std::function<void(QWidget&)> made_;
    const PanelHost* host_;
    std::unique_ptr<PopoverFrame> frame_;
    QPointer<MenuPanelView> view_;
    std::function<Rect(Size)> place_;
    // Where it was placed, in points: the toolkit's own geometry of a
    // window just moved onto a monitor of another scale can still be
    // counted at the old scale for a while.
    std::optional<Rect> placed_;
    // Its number in the window server's list while open: panels of lower
    // levels that move stay below it.
    std::optional<WindowID> number_;
    void report();
    void withdraw();
    std::function<void()> closed_;
};

} // namespace kavelo
