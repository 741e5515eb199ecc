#include "app/ui/capture.h"

#include <QLayout>
#include <QString>
#include <QWidget>

namespace kavelo::Capture {

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

} // namespace kavelo::Capture
