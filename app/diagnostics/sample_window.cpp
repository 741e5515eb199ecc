#include "app/diagnostics/sample_window.h"

#include "app/diagnostics/preview_samples.h"
#include "app/ui/fonts.h"

#include <QPainter>

#include <cmath>

namespace kavelo::SampleWindow {

namespace {

QColor white(double level) { return QColor::fromRgbF(float(level), float(level), float(level)); }

// Text placed by its top-left corner, as the flipped drawing context does.
void drawText(QPainter& painter, const QFont& font, const QColor& color, QPointF topLeft, const QString& text)
{
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(topLeft + QPointF(0, QFontMetricsF(font).ascent()), text);
}

} // namespace

QImage picture(const WindowEntry& window, double scale)
{
    QImage image(int(std::lround(width * scale)), int(std::lround(height * scale)), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRectF(0, 0, width, height), white(0.98));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillRect(QRectF(0, 0, width, 34), white(0.9));

    const QColor buttons[] = {QColor(255, 95, 87), QColor(254, 188, 46), QColor(40, 200, 64)};
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        painter.setBrush(buttons[i]);
        painter.drawEllipse(QRectF(12 + 18 * i, 11, 12, 12));
    }

    drawText(painter, Fonts::windowText(13, Fonts::Weight::bold), white(1.0 / 3), QPointF(84, 9),
             QString::fromStdString(window.title));
    const QFont body = Fonts::windowText(21);
    const auto& lines = PreviewSamples::text(window.title);
    for (std::size_t i = 0; i < lines.size(); ++i)
        drawText(painter, body, Qt::black, QPointF(24, 58 + 42 * double(i)), QString::fromStdString(lines[i]));
    painter.end();
    return image;
}

Image image(const WindowEntry& window, double scale)
{
    const QImage rgba = picture(window, scale).convertToFormat(QImage::Format_RGBA8888);
    Image out{.width = rgba.width(), .height = rgba.height()};
    out.rgba.reserve(std::size_t(out.width) * out.height * 4);
    for (int y = 0; y < rgba.height(); ++y) {
        const auto* row = rgba.constScanLine(y);
        out.rgba.insert(out.rgba.end(), row, row + std::size_t(out.width) * 4);
    }
    return out;
}

} // namespace kavelo::SampleWindow
