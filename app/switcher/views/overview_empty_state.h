#pragma once

// What the overview shows instead of the grid when nothing is listed: a
// symbol, a heading and a line that say why and what to press.

#include "app/switcher/overview_model.h"

#include <QString>
#include <QWidget>

namespace kavelo {

class OverviewEmptyState : public QWidget {
public:
    static constexpr double symbolSize = 34;
    static constexpr double symbolBelow = 6;
    static constexpr double spacing = 10;
    static constexpr double headingSize = 17;   // the second title style
    static constexpr double lineSize = 13;      // the body style

    explicit OverviewEmptyState(const OverviewModel& model, QWidget* parent = nullptr);

    // For the model as it stands.
    static QString heading(const OverviewModel& model);
    static QString line(const OverviewModel& model);
    QString heading() const { return heading(model_); }
    QString line() const { return line(model_); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const OverviewModel& model_;
};

} // namespace kavelo
