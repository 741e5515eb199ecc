#include "app/settings/colour_well.h"

#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QColorDialog>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kavelo {

QColor ColourWell::toQColor(const Color& colour)
{
    const auto unit = [](double v) { return float(std::clamp(std::isfinite(v) ? v : 0.0, 0.0, 1.0)); };
    return QColor::fromRgbF(unit(colour.red), unit(colour.green), unit(colour.blue));
}

Color ColourWell::fromQColor(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return Color{rgb.redF(), rgb.greenF(), rgb.blueF(), 1};
}

ColourWell::ColourWell(Binding<Color> colour, QWidget* parent) : QAbstractButton(parent), colour_(std::move(colour))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::ArrowCursor);
    setAccessibleName(QStringLiteral("Colour"));
    QObject::connect(this, &QAbstractButton::clicked, this, [this] { openDialog(); });
}

void ColourWell::openDialog()
{
    if (dialog_) {
        dialog_->raise();
        return;
    }
    dialog_ = new QColorDialog(toQColor(colour_.get()), this);
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    dialog_->setOption(QColorDialog::ShowAlphaChannel, false);
    dialog_->setWindowTitle(QStringLiteral("Colour"));
    QObject::connect(dialog_, &QColorDialog::colorSelected, this, [this](const QColor& chosen) {
        colour_.set(fromQColor(chosen));
        update();
    });
    dialog_->open();
}

void ColourWell::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(Theme::withOpacity(Theme::primary(), 0.25), 1));
    painter.setBrush(toQColor(colour_.get()));
    painter.drawPath(Shapes::continuousRoundedRect(bounds, cornerRadius));
}

} // namespace kavelo
