#pragma once

// The overview's floating command bar: the search field, a rule, then the
// four scope buttons with their counts and up to four workflow buttons.
// One painted widget; only the search field is a control of its own.

#include "app/switcher/overview_model.h"
#include "app/ui/spring.h"

#include <QLineEdit>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kavelo {

class OverviewCommandBar : public QWidget {
public:
    static constexpr double maximumWidth = 760;
    static constexpr double cornerRadius = 20;
    static constexpr double searchPaddingH = 20;
    static constexpr double searchPaddingV = 15;
    static constexpr double searchSpacing = 12;
    static constexpr double symbolSize = 19;
    static constexpr double fieldFontSize = 22;
    static constexpr double filterPaddingH = 12;
    static constexpr double filterPaddingV = 9;
    static constexpr double filterSpacing = 4;
    static constexpr double minimumGap = 12;   // between the scopes and the workflows
    static constexpr double buttonFontSize = 12.5;
    static constexpr double scopePaddingH = 11;
    static constexpr double workflowPaddingH = 10;
    static constexpr double buttonPaddingV = 6;
    static constexpr double countSpacing = 5;
    static constexpr double workflowSymbolSize = 10;
    static constexpr double workflowSpacing = 6;
    static constexpr std::size_t shownWorkflows = 4;
    static constexpr double scopeResponse = 0.18;
    static constexpr double scopeDamping = 0.85;

    OverviewCommandBar(OverviewModel& model, std::function<void(const std::string&)> switchWorkflow,
                       AnimationTime time, QWidget* parent = nullptr);

    QLineEdit* searchField() const { return field_; }

    // The bar's height; its width is whatever it is given, up to 760.
    int preferredHeight() const;
    double searchRowHeight() const;

    struct Button {
        QRectF frame;
        QString title;
        QString count;   // scope buttons only
        friend bool operator==(const Button&, const Button&) = default;
    };
    const std::vector<Button>& scopeButtons() const { return scopes_; }
    const std::vector<Button>& workflowButtons() const { return workflows_; }
    // Where the selected scope's capsule is drawn now (it springs on clicks).
    QRectF selectionCapsule() const;

    void modelChanged(OverviewModel::Property property);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void relayout();
    void scopeChanged();
    int buttonAt(QPointF point) const;   // scopes 0-3, workflows 4 and up, -1 none

    OverviewModel& model_;
    std::function<void(const std::string&)> switchWorkflow_;
    QLineEdit* field_;
    std::vector<Button> scopes_;
    std::vector<Button> workflows_;
    std::vector<std::string> workflowNames_;
    QRectF capsuleFrom_;
    QRectF capsuleTo_;
    SpringAnimation capsule_;
    bool clickedScope_ = false;
    int pressed_ = -1;
};

} // namespace kavelo
