#pragma once

// One window in the overview grid: a picture area with the window's
// thumbnail, its application's icon or a plain window symbol, and below it
// a caption of the application icon, the title, and the application name
// with the window's state. The selected card is larger, fully opaque,
// ringed and glowing in the accent; the others are slightly faded.
//
// A card is a value the grid builds for the cards in view and paints; it
// has no widget and no actions of its own.

#include "app/switcher/card_sizes.h"
#include "core/window_entry.h"

#include <QImage>
#include <QRectF>
#include <QString>

class QPainter;

namespace kavelo {

struct WindowCard {
    WindowEntry window;
    const QImage* picture = nullptr;   // the thumbnail, when one arrived
    const QImage* icon = nullptr;      // its application's icon, when it has one
    bool selected = false;
    double cornerRadius = 16;
    // 0 at rest, 1 selected; scale and opacity follow it while it springs.
    double emphasis = 0;
    // The picture is already at its fitted size with its corners rounded
    // (`roundedPicture`), so it is drawn as it is.
    bool pictureIsPrepared = false;

    static constexpr double aspectRatio = CardSizes::cardAspectRatio;   // picture area, width to height
    static constexpr double spacing = 11;                               // picture area to caption
    static constexpr double pictureInset = CardSizes::cardPictureInset;
    static constexpr double pictureRadius = 11;
    static constexpr double fillOpacity = 0.07;     // the picture area's white
    static constexpr double iconSide = 76;
    static constexpr double iconRadius = 17;        // the outline an icon's shadow follows
    static constexpr double symbolSize = 40;
    static constexpr double captionPadding = 3;
    static constexpr double captionSpacing = 9;
    static constexpr double captionIconSide = 22;
    static constexpr double lineSpacing = 1;
    static constexpr double titleSize = 13.5;
    static constexpr double detailSize = 12;
    static constexpr double ringWidth = 2.5;
    static constexpr double selectedScale = 1.025;
    static constexpr double restingOpacity = 0.8;
    static constexpr double springResponse = 0.22;
    static constexpr double springDamping = 0.8;

    enum class Content { picture, icon, symbol };
    Content content() const;

    // The window's title, or its application's name when it has none.
    QString title() const;
    // The application's name, then the state for any state but visible.
    QString detail() const;

    double scale() const { return 1 + (selectedScale - 1) * emphasis; }
    double opacity() const { return restingOpacity + (1 - restingOpacity) * emphasis; }

    // Where the parts lie in a cell of the grid, before scaling.
    struct Layout {
        QRectF pictureArea;
        QRectF content;        // the fitted thumbnail, the icon or the symbol's box
        QRectF captionIcon;    // empty without an icon
        QRectF title;
        QRectF detail;
    };
    Layout layout(const QRectF& cell) const;

    // Height of a card `width` wide.
    static double height(double width);
    static double captionHeight();

    void paint(QPainter& painter, const QRectF& cell) const;
    // The card alone in a transparent image of `pixels` at `ratio`, drawn
    // in `cell` (its rectangle in the image's points), to be copied whole.
    QImage painted(const QRectF& cell, QSize pixels, double ratio) const;

    // `picture` scaled to `size` device pixels with the picture area's
    // rounded corners cut, drawn at `ratio` device pixels per point.
    static QImage roundedPicture(const QImage& picture, QSize size, double ratio = 1);

    // The plates kept for cards at rest go (the overview closed).
    static void releasePlates();
};

// The label a window's state adds to its card's detail line; empty for a
// visible window.
QString stateLabel(WindowState state);

} // namespace kavelo
