#pragma once

// The welcome window's choice of arrange mode: one card per mode side by
// side, equally wide, the selected one filled with the accent. One widget
// paints the three and finds the card under a click; a click stores the
// mode at once.

#include "app/platform/handle.h"
#include "core/arrange_mode.h"

#include <QRectF>
#include <QString>
#include <QWidget>

#include <optional>

namespace kavelo {

class Preferences;

class ArrangeModeCards : public QWidget {
public:
    explicit ArrangeModeCards(Preferences& preferences, QWidget* parent = nullptr);

    QRectF cardRect(ArrangeMode mode) const;
    static QString cardTitle(ArrangeMode mode);
    static QString cardSubtitle(ArrangeMode mode);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr double spacing = 6;
    static constexpr double titleSize = 12.5;
    static constexpr double subtitleSize = 10.5;
    static constexpr double lineSpacing = 2;
    static constexpr double verticalPadding = 8;
    static constexpr double cornerRadius = 10;
    static constexpr double unselectedOpacity = 0.07;
    static constexpr double selectedSubtitleOpacity = 0.7;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::optional<ArrangeMode> modeAt(QPointF point) const;

    Preferences& preferences_;
    std::optional<ArrangeMode> pressed_;
    Handle changes_;
};

} // namespace kavelo
