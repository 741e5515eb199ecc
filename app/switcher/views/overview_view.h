#pragma once

// Everything the overview panel shows: a dimmed backdrop over the whole
// screen and on it, 44 in from every edge and 22 apart, the floating
// command bar, the grid of window cards (or what to do when there is
// none) and the footer of key hints. It reads the model, writes the query,
// the scope and the selection into it, and hands the user's decisions to
// its actions. A tap on the backdrop closes.

#include "app/switcher/card_sizes.h"
#include "app/switcher/overview_model.h"
#include "app/switcher/views/overview_command_bar.h"
#include "app/switcher/views/overview_empty_state.h"
#include "app/switcher/views/overview_footer.h"
#include "app/switcher/views/overview_grid.h"
#include "app/ui/spring.h"

#include <QLineEdit>
#include <QWidget>

#include <functional>
#include <string>

namespace kavelo {

struct OverviewActions {
    std::function<void(const WindowEntry&)> open;   // raise that window
    std::function<void()> close;
    std::function<void()> fixPermissions;
    std::function<void(const std::string& name)> switchWorkflow;
    // The global pointer, bottom-left form; an application's icon.
    std::function<Point()> pointer;
    std::function<std::optional<Image>(std::int32_t pid)> icon;
};

class OverviewView : public QWidget {
public:
    static constexpr double margin = CardSizes::overviewMargin;
    static constexpr double spacing = 22;
    static constexpr double dimming = 0.42;
    static constexpr double barShadowOpacity = 0.4;
    static constexpr double barShadowRadius = 34;
    static constexpr double barShadowOffset = 16;

    OverviewView(OverviewModel& model, OverviewActions actions, AnimationTime time, QWidget* parent = nullptr);
    ~OverviewView() override;

    OverviewModel& model() const { return model_; }
    QLineEdit* searchField() const { return bar_->searchField(); }
    OverviewCommandBar* commandBar() const { return bar_; }
    OverviewGrid* grid() const { return grid_; }
    OverviewEmptyState* emptyState() const { return empty_; }
    OverviewFooter* footer() const { return footer_; }

    // Without real translucency (no compositor) the backdrop is painted
    // opaque: a translucent fill would show as if opaque anyway.
    void setOpaque(bool opaque);
    bool isOpaque() const { return opaque_; }

    // Lays the parts out for the current size and model now.
    void relayout();
    // The panel closed: the pictures made for drawing go.
    void release();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void modelChanged(OverviewModel::Property property);

    OverviewModel& model_;
    OverviewActions actions_;
    OverviewCommandBar* bar_;
    OverviewGrid* grid_;
    OverviewEmptyState* empty_;
    OverviewFooter* footer_;
    Handle subscription_;
    bool opaque_ = false;
    bool pressed_ = false;
};

} // namespace kavelo
