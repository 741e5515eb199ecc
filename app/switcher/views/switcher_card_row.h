#pragma once

// The search results as a row of cards, one painted widget: cards 12 apart
// in rank order, a short row centred, a long one scrolled so the selected
// card stands in the middle. The selected card is scaled up and fully
// opaque, the others faded; a change of selection springs over.

#include "app/switcher/switcher_model.h"
#include "app/switcher/switcher_panel.h"
#include "app/switcher/views/switcher_card.h"
#include "app/switcher/views/switcher_pictures.h"
#include "app/switcher/views/switcher_scroll.h"
#include "app/ui/spring.h"

#include <QImage>
#include <QWidget>

#include <cstddef>
#include <memory>
#include <optional>
#include <unordered_map>

namespace kavelo {

class SwitcherCardRow : public QWidget {
public:
    static constexpr double spacing = 12;
    static constexpr double padding = 8;
    static const Spring spring;   // response 0.18 s, damping fraction 0.8

    SwitcherCardRow(const SwitcherModel& model, SwitcherPictures& pictures, AnimationTime time, SwitcherOpen open,
                    QWidget* parent = nullptr);

    // The session changed: cards, selection and scroll follow it. A new
    // session or query places the selection at once; a move springs.
    void sessionChanged(bool jump);

    std::size_t count() const { return model_.resultCount(); }
    // The card of the result at `position`, unscaled, in widget coordinates.
    QRectF cardRect(std::size_t position) const;
    // 0 plain, 1 selected, in between while springing.
    double selection(std::size_t position) const;
    const HorizontalScroll& scroll() const { return scroll_; }
    // The result under a point, none between the cards.
    std::optional<std::size_t> cardAt(QPointF point) const;
    // A window's picture arrived: its card is drawn anew.
    void pictureArrived(WindowID window);
    // A new session: no card drawn before stands for this one's.
    void forgetCards();
    // Cards at rest drawn once and kept (tests).
    std::size_t keptCards() const { return resting_.size(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    double contentLeft() const;   // where the first card's slot starts, scroll applied
    double top() const;
    void centreSelected();
    double selectionOf(WindowID id) const;
    SwitcherCard card(const WindowEntry& window, double selection);
    const QImage& restingCard(const WindowEntry& window);

    const SwitcherModel& model_;
    SwitcherPictures& pictures_;
    AnimationTime time_;
    SwitcherOpen open_;
    HorizontalScroll scroll_;
    std::optional<WindowID> selected_;
    std::unordered_map<WindowID, std::unique_ptr<SpringAnimation>> springs_;
    std::optional<WindowID> pressed_;
    // Every key repaints the row, and all but the selected cards (and the one
    // springing away) look as they did: those are drawn once and copied.
    std::unordered_map<WindowID, QImage> resting_;
};

} // namespace kavelo
