#pragma once

// The overview's grid of window cards: `columns` columns 28 apart, rows 30
// apart, padded 30, at most 1500 wide and centred, scrolled vertically
// without indicators. Only the rows in view and one more are built and
// painted; each card is a painted `WindowCard`.
//
// Hovering selects a card once the pointer has moved since the overview
// opened; a tap opens its window, a tap between cards closes. Moving the
// selection scrolls its card into view; a new scope or query moves the
// cards that changed place to their new places with a spring, and only
// what changed is painted again. Springs stop once no card moves by half a
// device pixel. Pictures are made for the cards in view as they arrive, on
// worker threads, and `release` lets go of them when the overview closes.

#include "app/platform/image.h"
#include "app/switcher/card_sizes.h"
#include "app/switcher/overview_model.h"
#include "app/switcher/views/card_pictures.h"
#include "app/switcher/views/window_card.h"
#include "app/ui/spring.h"

#include <QImage>
#include <QRegion>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kavelo {

class OverviewGrid : public QWidget {
public:
    struct Actions {
        std::function<void(const WindowEntry&)> open;
        std::function<void()> close;
        // The global pointer, bottom-left form (as `pointerAtOpen`).
        std::function<Point()> pointer;
        // An application's icon; none when it has none or has ended.
        std::function<std::optional<Image>(std::int32_t pid)> icon;
    };

    static constexpr double padding = CardSizes::gridPadding;
    static constexpr double maximumWidth = CardSizes::gridMaximumWidth;
    static constexpr double columnSpacing = CardSizes::gridColumnSpacing;
    static constexpr double rowSpacing = 30;
    static constexpr double cornerRadius = 16;
    static constexpr double wheelStep = 0.5;   // points per eighth of a degree of wheel
    static constexpr double layoutResponse = 0.2;
    static constexpr double layoutDamping = 0.85;
    // How far a card's glow and growth reach past its frame; a resting
    // card's shadow reaches less far, lower down.
    static constexpr double cardRoom = 48;
    static constexpr double restingRoom = 24;
    static constexpr double restingDrop = 8;
    // Resting cards drawn ahead at a time, while nothing else happens.
    static constexpr int restingPerSlice = 6;

    OverviewGrid(OverviewModel& model, Actions actions, AnimationTime time, QWidget* parent = nullptr);
    ~OverviewGrid() override;

    // Geometry in the scrolled content, top-left at the grid's top-left.
    double cardWidth() const;
    double cardHeight() const;
    QRectF cardFrame(int index) const;
    double contentHeight() const;
    double scrollOffset() const { return offset_; }
    void setScrollOffset(double offset);
    // Where a card is drawn now, in widget coordinates, before its own scale:
    // moving with the layout spring, scrolled.
    QRectF cardRect(int index) const;
    // The result under a point of the widget; -1 for none.
    int cardAt(QPointF point) const;

    // The results whose cards are built: [first, last).
    std::pair<int, int> builtRange() const { return built_; }
    const std::vector<WindowCard>& builtCards() const { return cards_; }
    // The card value of a result as it would be painted now.
    WindowCard card(int index) const;

    const QImage* icon(const WindowEntry& window) const;
    // The picture scaled to its card and rounded, made once per card size
    // from the model's shared picture; null without one.
    const QImage* preparedPicture(WindowID window) const;
    // How many pictures, icons and drawn cards are held for drawing (tests).
    std::size_t heldPictures() const { return pictures_.size() + icons_.size() + resting_.size(); }
    // The overview closed: the pictures made for drawing go.
    void release();
    double emphasis(WindowID window) const;
    bool isRearranging() const { return layoutSpring_.isAnimating(); }

    // The model told something new.
    void modelChanged(OverviewModel::Property property);

    // While its panel is parked out of sight nothing is painted; `reveal`
    // then asks to paint only the cards that differ from what the panel
    // still shows, and where cards went.
    void hold();
    void reveal();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // What a card looked like, and where, when it was painted.
    struct Shown {
        QRect area;
        QRectF rect;
        std::string appName, title;
        WindowState state = WindowState::visible;
        std::weak_ptr<const Image> source;
        QSize picture;
        QImage icon;
        bool selected = false;
        double emphasis = 0;
        bool same(const Shown& other) const;
    };
    Shown look(int index, bool selected) const;
    // After a paint of `region`: the cards painted whole are shown as they
    // are; the rest of what they covered is not known.
    void remember(const QRegion& region, std::vector<std::pair<WindowID, Shown>> painted);
    void forgetShown();
    // What shows in `region` is not known.
    void forget(const QRegion& region);
    void invalidate(const QRegion& region);

    void resultsChanged(bool animate);
    void selectionChanged();
    void thumbnailsChanged();
    // Starts making the built cards' pictures (or one window's) ahead of
    // their paint.
    void preparePictures(std::optional<WindowID> only = std::nullopt);
    QSize pictureSize(const Image& source) const;
    // A card of `size` at rest, drawn alone: by a worker ahead, or here.
    CardPictures::Resting atRest(const WindowCard& card, QSizeF size) const;
    void newOpening();
    void rebuild();
    void scrollIntoView(int index);
    void updateCard(WindowID window);
    // Where a card may draw, its glow and growth included, in the widget.
    QRect paintArea(const QRectF& cardRect) const;
    // `value` on the device's pixel grid.
    double snapped(double value) const;
    // A card at rest drawn once into a picture of its own, so that moving
    // or uncovering it again only copies pixels; none while it is not at
    // rest, nor the first time it is painted (an opening paints each card
    // once, and pays for no copy).
    const QImage* restingCard(const WindowCard& card, const QRectF& rect, bool ahead = false) const;
    QRect restingArea(QSizeF card) const;
    // The card value of a built result, ready to paint.
    WindowCard& builtCard(int index, bool selected);
    // Draws the resting cards in view that have no picture of their own
    // yet, a few at a time after each paint, so that the first typed
    // letter only copies them.
    void prepareResting();
    // The spring's rest for a move of `distance` points.
    void settleWithin(SpringAnimation& spring, double distance) const;
    // A card's frame in the content while the layout springs.
    QRectF movingFrame(WindowID window, int index) const;
    double maximumOffset() const;

    OverviewModel& model_;
    Actions actions_;
    AnimationTime time_;
    double offset_ = 0;
    std::pair<int, int> built_{0, 0};
    std::vector<WindowCard> cards_;

    mutable CardPictures pictures_;
    struct Resting {
        QImage image;
        int paints = 0;
    };
    mutable std::unordered_map<WindowID, Resting> resting_;
    mutable std::unordered_map<std::string, QImage> icons_;   // by application; null image: none

    std::optional<WindowID> selected_;
    std::unordered_map<WindowID, std::unique_ptr<SpringAnimation>> emphasis_;

    // The results as last laid out.
    std::vector<WindowID> laidOut_;
    // The frames moving cards had before the results changed, by window,
    // and the content area they sweep.
    std::unordered_map<WindowID, QRectF> from_;
    QRectF sweep_;
    SpringAnimation layoutSpring_;
    Handle preparing_;

    // The cards the panel shows painted whole, by window, and where it
    // shows something else than they say.
    std::unordered_map<WindowID, Shown> shown_;
    QRegion smudged_;
    bool held_ = false;

    int hovered_ = -1;
    int pressed_ = -1;
    bool pressedOutside_ = false;
};

} // namespace kavelo
