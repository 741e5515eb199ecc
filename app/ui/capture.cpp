#include "app/ui/capture.h"

#include <QLayout>
#include <QPaintEngine>
#include <QPainter>
#include <QString>
#include <QVariant>
#include <QWidget>

namespace kavelo::Capture {

namespace {
// The window property holding a capture scale.
constexpr const char* pictureScaleProperty = "kaveloPictureScale";
} // namespace

QImage render(QWidget& widget, double scale)
{
    widget.ensurePolished();
    if (QLayout* layout = widget.layout())
        layout->activate();
    if (widget.size().isEmpty() || (!widget.isVisible() && !widget.testAttribute(Qt::WA_Resized)))
        widget.resize(widget.sizeHint().expandedTo(widget.minimumSize()));
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool savePng(const QImage& image, const std::string& path)
{
    return image.save(QString::fromStdString(path), "PNG");
}

double pixelRatio(const QPainter& painter)
{
    // A widget's painter reports the widget, not the picture it is
    // redirected to; the engine knows where the pixels go.
    if (const QPaintEngine* engine = painter.paintEngine(); engine && engine->paintDevice())
        return engine->paintDevice()->devicePixelRatioF();
    return painter.device() ? painter.device()->devicePixelRatioF() : 1;
}

double pixelRatio(const QWidget& widget)
{
    const QWidget* window = widget.window();
    const QVariant scale = window ? window->property(pictureScaleProperty) : QVariant();
    return scale.isValid() ? scale.toDouble() : widget.devicePixelRatioF();
}

void setPictureScale(QWidget& window, double scale)
{
    window.setProperty(pictureScaleProperty, scale);
}

} // namespace kavelo::Capture
