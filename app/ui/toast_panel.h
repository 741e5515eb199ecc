#pragma once

// The one toast of the program: a capsule with a symbol and a line of text,
// shown near the bottom of the display under the pointer for 1.6 s after
// the last message, never taking focus and letting clicks through. A new
// message replaces the one showing at once, moves the panel to the display
// under the pointer and restarts the time. An offer takes clicks instead,
// for 5 s: a click runs it and puts the toast away.

#include "app/platform/displays.h"
#include "app/platform/handle.h"
#include "app/platform/input.h"
#include "app/platform/scheduler.h"
#include "app/services/toast.h"
#include "app/ui/free_panel.h"
#include "app/ui/panel_host.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kavelo {

class PanelShadow;

// The capsule itself, at its ideal size: never wrapped or stretched.
class ToastView : public QWidget {
public:
    ToastView(QString text, std::string icon, QWidget* parent = nullptr);

    QString text() const { return text_; }
    const std::string& icon() const { return icon_; }
    void setContent(QString text, std::string icon);
    // Where nothing blends the fill is drawn opaque.
    void setOpaque(bool opaque);
    // Run by a click; none lets the click go by.
    std::function<void()> clicked;

    // The fitting size of the capsule.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr double fontSize = 13.5;
    static constexpr double spacing = 9;
    static constexpr double horizontalPadding = 18;
    static constexpr double verticalPadding = 11;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString text_;
    std::string icon_;
    bool opaque_ = false;
};

class ToastPanel : public Toast {
public:
    static constexpr double shownFor = 1.6;      // seconds after the last message
    static constexpr double offeredFor = 5;      // seconds an offer waits for a click
    static constexpr double aboveBottom = 96;    // points above the visible frame's bottom
    // Room around the capsule for the panel's own shadow, where
    // translucency blends; where it does not, the panel is cut to the
    // capsule and has no shadow.
    static constexpr int shadowMargin = 14;

    ToastPanel(Mouse& mouse, Displays& displays, PanelHost& host);
    ~ToastPanel() override;

    void show(std::string text, std::string icon) override;
    void offer(std::string text, std::string icon, std::function<void()> clicked) override;

    // Made with the first message and reused.
    FreePanel* panel() const { return panel_.get(); }
    ToastView* view() const { return view_; }
    bool isShowing() const;
    // Where the capsule stands, in the top-left-origin global space.
    std::optional<Rect> capsuleFrame() const;

private:
    void makePanel();
    void present(std::string text, std::string icon, double seconds);

    Mouse& mouse_;
    Displays& displays_;
    PanelHost& host_;
    std::unique_ptr<FreePanel> panel_;
    PanelShadow* backdrop_ = nullptr;
    ToastView* view_ = nullptr;
    std::optional<Rect> capsule_;
    Handle hide_;
};

} // namespace kavelo
