#pragma once

// Translucent backgrounds. There is no live blur of what lies behind a
// window here, so glass is a flat tint: the glass colour at an opacity that
// suits the material, and the solid glass colour while `Theme::isRendering`
// is set, so offscreen screenshots come out the same every time.

#include <QWidget>

namespace kavelo {

// The materials the views ask for, with their platform raw values.
enum class GlassMaterial : int {
    menu = 5,
    popover = 6,
    sidebar = 7,
    windowBackground = 12,
    hudWindow = 13,
    fullScreenUI = 15,
    underWindowBackground = 21,
};

enum class GlassBlending : int { behindWindow = 0, withinWindow = 1 };

// A view always in the active state with its material and blending; setting
// either repaints it.
class Glass : public QWidget {
public:
    Glass(GlassMaterial material, GlassBlending blending, QWidget* parent = nullptr);

    GlassMaterial material() const { return material_; }
    GlassBlending blending() const { return blending_; }
    void update(GlassMaterial material, GlassBlending blending);
    using QWidget::update;

    // What the glass paints now.
    QColor tint() const;
    static QColor tint(GlassMaterial material);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    GlassMaterial material_;
    GlassBlending blending_;
};

// Glass of `material` blending behind the window, or the solid rendering
// colour while the screenshot renderer draws.
class GlassBackground : public Glass {
public:
    explicit GlassBackground(GlassMaterial material, QWidget* parent = nullptr);
};

} // namespace kavelo
