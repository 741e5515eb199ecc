#pragma once

// A pop-up choice drawn like the other settings controls: the chosen
// item's text on a faint rounded plate with a double chevron at the end.
// The list that opens is the stock one.

#include <QComboBox>

namespace kavelo {

class MenuPicker : public QComboBox {
public:
    explicit MenuPicker(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr double fontSize = 13;
    static constexpr double horizontalPadding = 10;
    static constexpr int height = 24;
    static constexpr double cornerRadius = 6;
    static constexpr double plateOpacity = 0.08;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kavelo
