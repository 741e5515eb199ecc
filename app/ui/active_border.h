#pragma once

// The active-window highlight: a rounded outline, a solid border or a soft
// glow in the user's colour, around the focused window, kept in place by a
// 1/30 s tick. The panel lets every click through.
//
// What to highlight and how come from outside: `activeFrame` gives the
// focused window's frame in the top-left-origin global space (none when
// nothing qualifies), `settings` the chosen style and colour, and
// `startTracking` starts following the active application.

#include "app/platform/handle.h"
#include "app/platform/scheduler.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/working_app.h"
#include "app/ui/free_panel.h"
#include "app/ui/panel_host.h"
#include "core/geometry.h"

#include <QColor>
#include <QRegion>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace kavelo {

struct HighlightSettings {
    using Style = WindowHighlight;
    Style style = Style::none;
    QColor color;
    friend bool operator==(const HighlightSettings&, const HighlightSettings&) = default;
};

// The outline, drawn 9 points inside its view: with the panel 12 points
// larger than the window all round, its outer edge lies 3 points outside
// the window.
class Outline : public QWidget {
public:
    Outline(bool glows, QColor color, QWidget* parent = nullptr);

    bool glows() const { return glows_; }
    QColor color() const { return color_; }
    // The pixels the line covers in a view of `size`: where nothing blends
    // the panel is cut to them (its clear inside would show black), and
    // the glow is its line alone.
    static QRegion line(QSize size, bool glows);

    static constexpr double cornerRadius = 17;
    static constexpr double padding = 9;
    static constexpr double borderWidth = 3;
    static constexpr double glowWidth = 2;
    static constexpr double glowRadius = 8;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool glows_;
    QColor color_;
};

class ActiveBorder {
public:
    using FrameProvider = std::function<std::optional<Rect>()>;
    using SettingsProvider = std::function<HighlightSettings()>;

    static constexpr double tick = 1.0 / 30;
    static constexpr double grow = 12;   // the panel around the window, per side

    ActiveBorder(PanelHost& host, FrameProvider activeFrame, SettingsProvider settings,
                 std::function<void()> startTracking = {});
    // The highlight as the program runs it: the working application's
    // focused window, in the style and colour of the settings.
    ActiveBorder(const Desktop& desktop, WorkingApp& workingApp, PanelHost& host);
    ~ActiveBorder();
    ActiveBorder(const ActiveBorder&) = delete;
    ActiveBorder& operator=(const ActiveBorder&) = delete;

    // Idempotent: starts tracking and the tick.
    void start();
    bool isStarted() const { return timer_.pending(); }

    // One tick: shows, moves, restyles or hides the outline.
    void update();

    // What the panel draws now; none while hidden.
    struct Shape {
        HighlightSettings::Style style;
        QColor color;
        friend bool operator==(const Shape&, const Shape&) = default;
    };
    std::optional<Shape> shape() const { return shape_; }

    // The frame of this program's key window, in the top-left-origin global
    // space, while the program is active and that window has a title bar
    // (the settings and welcome windows); else none. The highlight
    // surrounds that window before any other application's.
    static std::optional<Rect> ownTitledKeyWindow(const PanelHost& host);

    // Made on first use.
    FreePanel& panel();
    Outline* outline() const { return outline_; }

private:
    PanelHost& host_;
    FrameProvider activeFrame_;
    SettingsProvider settings_;
    std::function<void()> startTracking_;
    Handle timer_;
    std::optional<Shape> shape_;
    std::unique_ptr<FreePanel> panel_;
    Outline* outline_ = nullptr;
    // The size and style the panel is cut for; none while it is whole.
    std::optional<std::pair<QSize, bool>> cut_;
};

} // namespace kavelo
