#pragma once

// The small on/off switch of the settings rows, tinted with the accent:
// a capsule track and a round white knob on the side of the state. Qt has
// no such control, so it is painted. It has no text of its own.

#include <QAbstractButton>

namespace kavelo {

class Switch : public QAbstractButton {
public:
    explicit Switch(QWidget* parent = nullptr);

    QSize sizeHint() const override { return QSize(width, height); }
    QSize minimumSizeHint() const override { return sizeHint(); }

    // The knob's centre for a state, in the switch's own coordinates.
    QPointF knobCentre(bool on) const;

    static constexpr int width = 32;
    static constexpr int height = 18;
    static constexpr double knobInset = 1.5;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

} // namespace kavelo
