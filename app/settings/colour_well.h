#pragma once

// A colour well bound to a setting: a small swatch of the colour that opens
// a colour dialog without opacity; choosing there writes the setting.

#include "app/services/color.h"
#include "app/settings/binding.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QPointer>



namespace kavelo {

class ColourWell : public QAbstractButton {
public:
    explicit ColourWell(Binding<Color> colour, QWidget* parent = nullptr);

    Color colour() const { return colour_.get(); }
    void refresh() { update(); }
    // The dialog while it is open.
    QColorDialog* dialog() const { return dialog_; }

    QSize sizeHint() const override { return QSize(width, height); }
    QSize minimumSizeHint() const override { return sizeHint(); }

    static constexpr int width = 44;
    static constexpr int height = 24;
    static constexpr double cornerRadius = 6;

    static QColor toQColor(const Color& colour);
    static Color fromQColor(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void openDialog();

    Binding<Color> colour_;
    QPointer<QColorDialog> dialog_;
};

} // namespace kavelo
