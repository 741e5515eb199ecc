#pragma once

// The windows on no display (minimized, hidden, on another desktop, mostly
// off-screen) as a row of small tiles with captions under the display map,
// one painted widget 88 high that scrolls sideways. A selected window here
// gets an amber outline and a brighter caption, and is scrolled to the
// middle.

#include "app/switcher/card_sizes.h"
#include "app/switcher/switcher_model.h"
#include "app/switcher/switcher_panel.h"
#include "app/switcher/views/switcher_pictures.h"
#include "app/switcher/views/switcher_scroll.h"

#include <QWidget>

#include <cstddef>
#include <optional>
#include <vector>

namespace kavelo {

class SwitcherShelf : public QWidget {
public:
    static constexpr double rowHeight = 88;
    static constexpr double spacing = 8;
    static constexpr double padding = 4;
    static constexpr double tileWidth = CardSizes::shelfTileWidth;
    static constexpr double tileHeight = CardSizes::shelfTileHeight;
    static constexpr double captionSpacing = 4;
    static constexpr double captionSize = 10.5;
    static constexpr double cornerRadius = 8;
    static constexpr double selectedLine = 2.5;

    SwitcherShelf(const SwitcherModel& model, SwitcherPictures& pictures, SwitcherOpen open,
                  QWidget* parent = nullptr);

    // The session changed: items follow the map's list, the selection its
    // window.
    void sessionChanged();

    const std::vector<WindowEntry>& windows() const { return model_.map().underneath; }
    std::optional<WindowID> selected() const { return selected_; }
    // The whole item (tile and caption) of the window at `position`.
    QRectF itemRect(std::size_t position) const;
    QRectF tileRect(std::size_t position) const;
    const HorizontalScroll& scroll() const { return scroll_; }
    std::optional<std::size_t> itemAt(QPointF point) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    double itemHeight() const;

    const SwitcherModel& model_;
    SwitcherPictures& pictures_;
    SwitcherOpen open_;
    HorizontalScroll scroll_;
    std::optional<WindowID> selected_;
    std::optional<WindowID> pressed_;
};

} // namespace kavelo
