#pragma once

// The status item as an icon in the desktop's tray: the menu-bar icon in
// the accent (no tray tints it), the tooltip "Kavelo", a plain click for
// the popover and a context menu holding "Quit Kavelo". Its slot in the
// tray is as wide as 22 points of the monitor the tray is on.

#include "app/platform/displays.h"
#include "app/shell/shell_views.h"
#include "app/ui/panel_host.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

namespace kavelo {

class QtStatusItem : public StatusItem, public QObject {
public:
    // `host` reads the icon's place in points and the scale of its monitor
    // (none: the toolkit's coordinates are points and the slot is Qt's);
    // `displays` tells when scales change.
    QtStatusItem(std::function<void()> clicked, std::function<void()> quit, const PanelHost* host = nullptr,
                 Displays* displays = nullptr);
    ~QtStatusItem() override;

    std::optional<Rect> geometry() const override;
    bool inTray() const override;

    QSystemTrayIcon& trayIcon() { return icon_; }
    QMenu& menu() { return menu_; }

    // Also without a tray: Qt docks the icon in a tray that starts later,
    // and again when the tray restarts.
    static std::unique_ptr<QtStatusItem> make(std::function<void()> clicked, std::function<void()> quit,
                                              const PanelHost* host = nullptr, Displays* displays = nullptr);
    // The icon as the tray shows it.
    static QIcon trayImage();
    // The application's own icon: the same drawing on a dark tile.
    static QIcon applicationIcon();

    // The side of the icon's square slot, in points.
    static constexpr int slotSide = 22;

private:
    // The toolkit's window of the icon in the tray, found by where the
    // toolkit puts it.
    static QWidget* embedded(QPoint at);

    // The toolkit's tray windows come and go with the tray: they are
    // watched among all the application's events.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Asks the tray for a slot at the scale of the monitor it is on.
    void scheduleFit();
    void fitSlot();

    // What the slot was last sized for.
    struct Fitted {
        WId window = 0;
        double scale = 1;   // of the tray's monitor
        double ratio = 1;   // Qt's, for the window
        friend bool operator==(const Fitted&, const Fitted&) = default;
    };

    const PanelHost* host_;
    QSystemTrayIcon icon_;
    QMenu menu_;
    std::optional<Fitted> fitted_;
    Handle fit_;
    Handle displaysChanged_;
};

} // namespace kavelo
