#include "app/engine/panels/edge_zones_panel.h"

#include "app/ui/fonts.h"
#include "app/ui/shadows.h"
#include "app/ui/shapes.h"
#include "app/ui/symbols.h"
#include "app/ui/theme.h"
#include "core/screen_coordinates.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPen>
#include <QPainter>
#include <QRegion>

namespace kavelo {

// ---------------------------------------------------------------- EdgeBadge

EdgeBadge::EdgeBadge(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("edgeBadge"));
    setAttribute(Qt::WA_TranslucentBackground);
    // The panel under it takes every click.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void EdgeBadge::setContent(int count, bool onLeft)
{
    if (count == count_ && onLeft == onLeft_)
        return;
    count_ = count;
    onLeft_ = onLeft;
    update();
}

void EdgeBadge::setOpaque(bool opaque)
{
    if (opaque == opaque_)
        return;
    opaque_ = opaque;
    update();
}

double EdgeBadge::shadowMargin() { return Shadows::margin(shadowRadius) + shadowDrop; }

QRectF EdgeBadge::badgeRect() const
{
    const QRectF all(rect());
    if (opaque_)
        return all;
    const double m = shadowMargin();
    return onLeft_ ? all.adjusted(0, m, -m, -m) : all.adjusted(m, m, 0, -m);
}

QPainterPath EdgeBadge::shape(const QRectF& rect, bool onLeft)
{
    // A rounded shape reaching well past the edge side, cut at the edge:
    // its corners there fall outside and leave square ones.
    const double reach = 4 * cornerRadius;
    const QRectF wide = onLeft ? rect.adjusted(-reach, 0, 0, 0) : rect.adjusted(0, 0, reach, 0);
    QPainterPath box;
    box.addRect(rect);
    return Shapes::continuousRoundedRect(wide, cornerRadius).intersected(box);
}

void EdgeBadge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF bounds = badgeRect();
    const QPainterPath outline = shape(bounds, onLeft_);
    if (!opaque_)
        Shadows::drawShadow(painter, outline, QColor::fromRgbF(0, 0, 0, float(shadowOpacity)), shadowRadius,
                            QPointF(0, shadowDrop));
    painter.fillPath(outline, opaque_ ? Theme::night() : Theme::withOpacity(Theme::night(), opacity));

    // A centred stack: the chevron, then the count.
    const QFont font = Fonts::system(countSize, Fonts::Weight::semibold);
    const QFontMetricsF metrics(font);
    const double symbolBox = Symbols::extent(symbolSize);
    const double textHeight = metrics.height();
    const double top = bounds.top() + (bounds.height() - (symbolBox + spacing + textHeight)) / 2;
    // The symbol font has one weight: the glyph's outline is traced once
    // more to draw it bold.
    QPainterPath chevron;
    chevron.addText(0, 0, Fonts::symbols(symbolSize), Symbols::glyph(symbol()));
    const QRectF glyph = chevron.boundingRect();
    chevron.translate(bounds.center().x() - glyph.center().x(), top + symbolBox / 2 - glyph.center().y());
    painter.fillPath(chevron, Theme::moon());
    painter.strokePath(chevron, QPen(Theme::moon(), boldStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setFont(font);
    painter.setPen(Theme::moon());
    const QString count = QString::number(count_);
    Fonts::drawMonospaced(painter, count, bounds.center().x() - Fonts::monospacedWidth(count, metrics) / 2,
                          QRectF(bounds.left(), top + symbolBox + spacing, bounds.width(), textHeight), metrics);
}

// ---------------------------------------------------------------- EdgeTarget

EdgeTarget::EdgeTarget(PanelHost& host, Kind kind) : FreePanel(host, PanelLevel::helper), kind_(kind)
{
    if (kind == Kind::badge) {
        setObjectName(QStringLiteral("edgeBadgePanel"));
        badge_ = new EdgeBadge(this);
    } else {
        setObjectName(QStringLiteral("edgeZone"));
    }
}

void EdgeTarget::setZone(EdgeZones::Zone zone, const Rect& frame, EdgeZones::Clicked clicked, bool blends)
{
    zone_ = std::move(zone);
    clicked_ = std::move(clicked);
    blends_ = blends;
    if (badge_ && blends) {
        // Room for the shadow everywhere but against the screen's edge.
        const double m = EdgeBadge::shadowMargin();
        setFrame(Rect(zone_.onLeft ? frame.minX() : frame.minX() - m, frame.minY() - m, frame.width() + m,
                      frame.height() + 2 * m));
    } else {
        setFrame(frame);
    }
    if (badge_) {
        badge_->setContent(zone_.count, zone_.onLeft);
        badge_->setOpaque(!blends);
        badge_->setGeometry(rect());
        if (blends)
            clearMask();
        else
            setMask(QRegion(EdgeBadge::shape(QRectF(rect()), zone_.onLeft).toFillPolygon().toPolygon()));
    }
    update();
}

void EdgeTarget::paintEvent(QPaintEvent*)
{
    if (badge_)
        return;
    QPainter painter(this);
    // Where translucency is not real, a barely visible fill would show as
    // solid white: the zone is a thin night line instead.
    painter.fillRect(rect(), blends_ ? QColor::fromRgbF(1, 1, 1, 0.01f) : Theme::night());
}

void EdgeTarget::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    // The call may replace this panel's zone; it gets its own copies.
    if (auto clicked = clicked_) {
        const EdgeZones::Zone zone = zone_;
        clicked(zone);
    }
}

void EdgeTarget::resizeEvent(QResizeEvent* event)
{
    FreePanel::resizeEvent(event);
    if (badge_)
        badge_->setGeometry(rect());
}

// ---------------------------------------------------------------- EdgeZonesPanel

EdgeZonesPanel::EdgeZonesPanel(PanelHost& host, Displays& displays) : host_(host), displays_(displays) {}

EdgeZonesPanel::~EdgeZonesPanel() = default;

Rect EdgeZonesPanel::badgeFrame(const Zone& zone)
{
    const double x = zone.onLeft ? zone.frame.minX() : zone.frame.maxX() - EdgeBadge::width;
    return Rect(x, zone.frame.midY() - EdgeBadge::height / 2, EdgeBadge::width, EdgeBadge::height);
}

std::vector<EdgeTarget*> EdgeZonesPanel::panels() const
{
    std::vector<EdgeTarget*> out;
    for (const auto& strip : strips_)
        out.push_back(strip.get());
    for (const auto& badge : badges_)
        out.push_back(badge.get());
    return out;
}

void EdgeZonesPanel::show(std::vector<Zone> zones, Clicked clicked)
{
    if (zones == zones_)
        return;
    zones_ = std::move(zones);

    const auto retire = [this](std::vector<std::unique_ptr<EdgeTarget>>& panels) {
        while (panels.size() > zones_.size()) {
            panels.back()->orderOut();
            retired_.push_back(std::move(panels.back()));
            panels.pop_back();
        }
    };
    retire(strips_);
    retire(badges_);
    if (!retired_.empty() && !sweep_.pending())
        sweep_ = host_.scheduler().after(0.0, [this] { retired_.clear(); });

    // Zones are in the bottom-left space of display frames; panels stand in
    // the top-left space of windows.
    const auto screens = displays_.screens();
    const double primary = screens.empty() ? 0 : screens.front().frame.height();
    const bool blends = host_.blends();
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        if (i == strips_.size()) {
            strips_.push_back(std::make_unique<EdgeTarget>(host_, EdgeTarget::Kind::strip));
            badges_.push_back(std::make_unique<EdgeTarget>(host_, EdgeTarget::Kind::badge));
        }
        const Zone& zone = zones_[i];
        strips_[i]->setZone(zone, ScreenCoordinates::flip(zone.frame, primary), clicked, blends);
        badges_[i]->setZone(zone, ScreenCoordinates::flip(badgeFrame(zone), primary), clicked, blends);
    }
    // The badges over the strips they sit on.
    for (auto& strip : strips_)
        strip->orderFront();
    for (auto& badge : badges_)
        badge->orderFront();
}

} // namespace kavelo
