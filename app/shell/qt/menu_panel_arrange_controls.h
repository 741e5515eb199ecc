#pragma once

// The menu panel's arrange controls, each painted in one widget: the mode
// switch, the layout picker and the preset grid.

#include "app/ui/spring.h"
#include "core/arrange_mode.h"
#include "core/tidy_layout.h"

#include <QRectF>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

namespace kavelo {

// Off, Auto, Strip: the current mode on a sliding accent plate.
class ModeSwitch : public QWidget {
public:
    ModeSwitch(AnimationTime time, std::function<void(ArrangeMode)> choose, QWidget* parent = nullptr);
    ArrangeMode mode() const { return mode_; }
    // Slides the plate over to `mode` (at once without `animated`).
    void setMode(ArrangeMode mode, bool animated);
    // The plate's left edge, in segments from the first.
    double plate() const { return plate_.value(); }
    QRectF segment(std::size_t index) const;
    QSize sizeHint() const override;

    static constexpr double padding = 3;
    static constexpr double spacing = 3;
    static constexpr double fontSize = 12.5;
    static constexpr double verticalPadding = 6;
    static constexpr double radius = 11;
    static constexpr double plateRadius = 8;
    static constexpr double fillOpacity = 0.06;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::function<void(ArrangeMode)> choose_;
    ArrangeMode mode_ = ArrangeMode::off;
    SpringAnimation plate_;
};

// One button per layout, the display's layout selected in auto mode; the
// whole picker fades while auto mode is off.
class LayoutPicker : public QWidget {
public:
    explicit LayoutPicker(std::function<void(TidyLayout)> choose, QWidget* parent = nullptr);
    void setState(bool active, std::optional<TidyLayout> selected);
    bool isActive() const { return active_; }
    std::optional<TidyLayout> selected() const { return selected_; }
    QRectF button(std::size_t index) const;
    QSize sizeHint() const override;

    static constexpr double padding = 3;
    static constexpr double spacing = 3;
    static constexpr double inactiveOpacity = 0.55;
    static constexpr double symbolSize = 15;
    static constexpr double titleSize = 10.5;
    static constexpr double radius = 11;
    static constexpr double buttonRadius = 8;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::optional<std::size_t> buttonAt(QPointF point) const;
    std::function<void(TidyLayout)> choose_;
    bool active_ = false;
    std::optional<TidyLayout> selected_;
};

// The preset plans as small pictures, five to a row, the current ones
// outlined.
class GridChoices : public QWidget {
public:
    explicit GridChoices(std::function<void(std::size_t preset)> choose, QWidget* parent = nullptr);
    void setCurrent(std::vector<std::size_t> current);
    const std::vector<std::size_t>& current() const { return current_; }
    QRectF cell(std::size_t index) const;
    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

    static constexpr int perRow = 5;
    static constexpr double spacing = 5;
    static constexpr double pictureHeight = 30;
    static constexpr double inset = 4;
    static constexpr double borderWidth = 2;
    static constexpr double radius = 7;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::optional<std::size_t> cellAt(QPointF point) const;
    std::function<void(std::size_t)> choose_;
    std::vector<std::size_t> current_;
};

} // namespace kavelo
