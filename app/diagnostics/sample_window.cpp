#include "app/diagnostics/sample_window.h"

#include "app/diagnostics/preview_samples.h"
#include "app/ui/fonts.h"
#include "app/ui/theme.h"

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

// Minimize, maximize and close at the right of the title bar, drawn as
// line glyphs the way the desktop's window managers draw theirs.
void drawWindowButtons(QPainter& painter, const QColor& color)
{
    painter.save();
    painter.setPen(QPen(color, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    const double glyph = 10, top = (titleBarHeight - glyph) / 2;
    const auto box = [&](int fromRight) {
        return QRectF(width - titleInset - glyph - buttonPitch * fromRight, top, glyph, glyph);
    };
    const QRectF minimize = box(2), maximize = box(1), close = box(0);
    painter.drawLine(QPointF(minimize.left(), minimize.bottom()), QPointF(minimize.right(), minimize.bottom()));
    painter.drawRect(maximize);
    painter.drawLine(close.topLeft(), close.bottomRight());
    painter.drawLine(close.topRight(), close.bottomLeft());
    painter.restore();
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
    painter.fillRect(QRectF(0, 0, width, titleBarHeight), white(0.9));

    drawWindowButtons(painter, Theme::secondary(ColorScheme::light));
    drawText(painter, Fonts::windowText(13, Fonts::Weight::bold), white(1.0 / 3), QPointF(titleInset, 9),
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
