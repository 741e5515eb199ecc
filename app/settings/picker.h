#pragma once

// The pop-up picker of the settings rows: the stock combo box for its menu
// and keyboard, drawn closed as a dark rounded button with the choice and
// an accent plate holding up and down chevrons. The stock look reads the
// window's translucent button colour badly, hence the painting.

#include <QComboBox>

namespace kavelo {

class Picker : public QComboBox {
public:
    explicit Picker(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr int height = 24;
    static constexpr double fontSize = 13;
    static constexpr double cornerRadius = 6;
    static constexpr double textInset = 9;
    static constexpr double plateSize = 16;   // the chevrons' plate, inset 4

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kavelo
