#pragma once

// The status item as an icon in the desktop's tray: the menu-bar icon in
// the accent (no tray tints it), the tooltip "Kavelo", a plain click for
// the popover and a context menu holding "Quit Kavelo".

#include "app/shell/shell_views.h"
#include "app/ui/panel_host.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

namespace kavelo {

class QtStatusItem : public StatusItem {
public:
    // `host` reads the icon's place in points (none: the toolkit's
    // coordinates are points).
    QtStatusItem(std::function<void()> clicked, std::function<void()> quit, const PanelHost* host = nullptr);
    ~QtStatusItem() override;

    std::optional<Rect> geometry() const override;
    bool inTray() const override;

    QSystemTrayIcon& trayIcon() { return icon_; }
    QMenu& menu() { return menu_; }

    // Also without a tray: Qt docks the icon in a tray that starts later,
    // and again when the tray restarts.
    static std::unique_ptr<QtStatusItem> make(std::function<void()> clicked, std::function<void()> quit,
                                              const PanelHost* host = nullptr);
    // The icon as the tray shows it.
    static QIcon trayImage();
    // The application's own icon: the same drawing on a dark tile.
    static QIcon applicationIcon();

private:
    // The toolkit's window of the icon in the tray, found by where the
    // toolkit puts it.
    static const QWidget* embedded(QPoint at);

    const PanelHost* host_;
    QSystemTrayIcon icon_;
    QMenu menu_;
};

} // namespace kavelo
