#pragma once

// Frameless windows get no shadow from the window system, so a panel draws
// its own in the margin round its content, as a panel with a shadow would
// have.

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <optional>

namespace kavelo {

class PanelShadow : public QWidget {
public:
    // `cornerRadius` rounds the content's corners; none makes it a capsule.
    PanelShadow(QWidget* parent, std::optional<double> cornerRadius, QColor color, double radius, QPointF offset);

    // Where the content lies in this widget; nothing is drawn while empty.
    void setContent(QRectF content);
    QRectF content() const { return content_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::optional<double> cornerRadius_;
    QColor color_;
    double radius_;
    QPointF offset_;
    QRectF content_;
};

} // namespace kavelo
