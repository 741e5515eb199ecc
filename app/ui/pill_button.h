#pragma once

// The capsule button of the settings and welcome windows: black on the
// accent when prominent, else primary text on a faint white fill. While
// pressed it shrinks to 96 % about its centre and springs back (response
// 0.2 s, damping fraction 1, so never past full size).

#include "app/ui/spring.h"
#include "app/ui/theme.h"

#include <QAbstractButton>

namespace kavelo {

class PillButton : public QAbstractButton {
public:
    PillButton(QString text, AnimationTime time, bool prominent = false, QWidget* parent = nullptr);

    bool prominent() const { return prominent_; }
    void setProminent(bool prominent);
    // Dark unless told otherwise: the plain pill's text follows the scheme.
    void setColorScheme(ColorScheme scheme);

    // The drawn scale, 1 at rest.
    double scale() const { return scale_.value(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr double fontSize = 13;
    static constexpr double horizontalPadding = 16;
    static constexpr double verticalPadding = 8;
    static constexpr double pressedScale = 0.96;
    // A button that cannot be pressed now is drawn faint.
    static constexpr double disabledOpacity = 0.4;
    static const Spring spring;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool prominent_;
    ColorScheme scheme_ = ColorScheme::dark;
    SpringAnimation scale_;
};

} // namespace kavelo
