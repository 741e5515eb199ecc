#pragma once

// The edge zones as Qt panels: for every zone a click strip 3 points wide
// along the screen edge (white at 1 % where the window server blends, a
// thin night line where it cannot) and, over its middle, a 26 × 46 badge
// with a chevron pointing outwards and the number of waiting windows. Both
// sit at the helper level on every desktop and take the first click without
// activating the program.

#include "app/engine/panels.h"
#include "app/platform/displays.h"
#include "app/platform/handle.h"
#include "app/ui/free_panel.h"
#include "app/ui/panel_host.h"

#include <QPainterPath>
#include <QWidget>

#include <memory>
#include <string_view>
#include <vector>

namespace kavelo {

// The chevron and the count (monospaced digits), on night rounded only on
// the screen's inner side (the side away from the edge it stands on), with
// a soft shadow round that side where the window server blends.
class EdgeBadge : public QWidget {
public:
    static constexpr double width = 26;
    static constexpr double height = 46;
    static constexpr double cornerRadius = 9;
    static constexpr double opacity = 0.82;
    static constexpr double spacing = 2;
    static constexpr double symbolSize = 10;
    static constexpr double countSize = 12;
    // The outline traced around the chevron to make it bold.
    static constexpr double boldStroke = 1;
    // The shadow: black at this opacity, blurred by this radius, moved down.
    static constexpr double shadowOpacity = 0.5;
    static constexpr double shadowRadius = 6;
    static constexpr double shadowDrop = 2;
    // The room the shadow takes round the badge (not on the edge side).
    static double shadowMargin();

    explicit EdgeBadge(QWidget* parent = nullptr);

    void setContent(int count, bool onLeft);
    int count() const { return count_; }
    bool onLeft() const { return onLeft_; }
    std::string_view symbol() const { return onLeft_ ? "chevron.left" : "chevron.right"; }
    // Paints the fill opaque and without a shadow (the window cannot blend).
    void setOpaque(bool opaque);
    // Where the badge itself lies in the widget: inside the shadow's room
    // unless opaque.
    QRectF badgeRect() const;

    // The badge's outline in `rect`: square corners against the edge.
    static QPainterPath shape(const QRectF& rect, bool onLeft);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int count_ = 0;
    bool onLeft_ = false;
    bool opaque_ = false;
};

// One panel of a zone: its click strip or its badge. A press anywhere on
// it reports the zone.
class EdgeTarget : public FreePanel {
public:
    enum class Kind { strip, badge };

    EdgeTarget(PanelHost& host, Kind kind);

    Kind kind() const { return kind_; }
    const EdgeZones::Zone& zone() const { return zone_; }
    // Null for a click strip.
    EdgeBadge* badge() const { return badge_; }
    // `frame` in the top-left space of window frames: the strip, or the
    // badge without the room its shadow takes round it.
    void setZone(EdgeZones::Zone zone, const Rect& frame, EdgeZones::Clicked clicked, bool blends);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Kind kind_;
    EdgeZones::Zone zone_;
    EdgeZones::Clicked clicked_;
    EdgeBadge* badge_ = nullptr;
    bool blends_ = true;
};

class EdgeZonesPanel : public EdgeZones {
public:
    // `host` and `displays` must outlive it.
    EdgeZonesPanel(PanelHost& host, Displays& displays);
    ~EdgeZonesPanel() override;

    void show(std::vector<Zone> zones, Clicked clicked) override;

    const std::vector<Zone>& zones() const { return zones_; }
    // Every zone's click strip in zone order, then every zone's badge.
    std::vector<EdgeTarget*> panels() const;
    // Where a zone's badge stands, in the bottom-left space of zones.
    static Rect badgeFrame(const Zone& zone);

private:
    PanelHost& host_;
    Displays& displays_;
    std::vector<Zone> zones_;
    std::vector<std::unique_ptr<EdgeTarget>> strips_;
    std::vector<std::unique_ptr<EdgeTarget>> badges_;
    // Panels let go of while one of them may still be handling the click
    // that replaced it; freed once the event is over.
    std::vector<std::unique_ptr<EdgeTarget>> retired_;
    Handle sweep_;
};

} // namespace kavelo
