#pragma once

// One arrange-mode card of the Arrange page: the mode's symbol over its
// title on a faint card, outlined in the accent while its mode is on.
// Pressing it sets the mode, even the one already set; the selection
// springs from card to card.

#include "app/ui/spring.h"
#include "core/arrange_mode.h"

#include <QAbstractButton>

#include <string>

namespace kavelo {

class Preferences;

class ModeCard : public QAbstractButton {
public:
    ModeCard(Preferences& preferences, ArrangeMode mode, std::string symbol, AnimationTime time,
             QWidget* parent = nullptr);

    ArrangeMode mode() const { return mode_; }
    bool selected() const;
    // Heads for the look of the mode as it is set now.
    void follow();
    // How selected the card looks: 0 not at all, 1 fully.
    double emphasis() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr double padding = 14;
    static constexpr double spacing = 10;
    static constexpr double symbolSize = 20;
    static constexpr double titleSize = 13;
    static constexpr double cornerRadius = 14;
    static constexpr double borderWidth = 2;
    static constexpr double selectedOpacity = 0.1;
    static constexpr double unselectedOpacity = 0.05;
    static const Spring spring;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Preferences& preferences_;
    ArrangeMode mode_;
    std::string symbol_;
    SpringAnimation emphasis_;
};

} // namespace kavelo
