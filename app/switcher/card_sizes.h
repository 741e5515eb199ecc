#pragma once

// Where window pictures are drawn, in points: the overview's cards and the
// switcher's cards, map tiles and shelf tiles. The views lay themselves out
// with these numbers, and the controllers ask for pictures of these sizes,
// so a picture is captured at the size it is shown at.

#include "core/geometry.h"

#include <algorithm>

namespace kavelo::CardSizes {

// The overview: its content stands this far in from the screen's edges, and
// the grid within it is padded, at most this wide, and centred.
inline constexpr double overviewMargin = 44;
inline constexpr double gridPadding = 30;
inline constexpr double gridMaximumWidth = 1500;
inline constexpr double gridColumnSpacing = 28;
// An overview card's picture area, width to height, and the picture's inset.
inline constexpr double cardAspectRatio = 1.6;
inline constexpr double cardPictureInset = 7;

// The switcher's search-result card: its plate, and the picture's inset.
inline constexpr double switcherCardWidth = 172;
inline constexpr double switcherPlateHeight = 112;
inline constexpr double switcherPictureInset = 5;
// The map's tiles are never smaller than this; the shelf's are this size.
inline constexpr double smallestTile = 24;
inline constexpr double shelfTileWidth = 104;
inline constexpr double shelfTileHeight = 62;

// An overview card's width in a grid `gridWidth` wide of `columns` columns.
inline double overviewCardWidth(double gridWidth, int columns)
{
    columns = std::max(1, columns);
    const double inner = std::min(gridWidth, gridMaximumWidth) - 2 * gridPadding;
    return std::max(10.0, (inner - gridColumnSpacing * (columns - 1)) / columns);
}

// The area a picture fits into on an overview card `cardWidth` wide.
inline Size overviewPicture(double cardWidth)
{
    return Size(std::max(1.0, cardWidth - 2 * cardPictureInset),
                std::max(1.0, cardWidth / cardAspectRatio - 2 * cardPictureInset));
}

// The same for the overview on a screen `screenWidth` wide.
inline Size overviewPictureOnScreen(double screenWidth, int columns)
{
    return overviewPicture(overviewCardWidth(screenWidth - 2 * overviewMargin, columns));
}

inline Size switcherCardPicture()
{
    return Size(switcherCardWidth - 2 * switcherPictureInset, switcherPlateHeight - 2 * switcherPictureInset);
}

// A map tile of the window's scaled size, drawn at least `smallestTile` square.
inline Size switcherTile(Size scaled)
{
    return Size(std::max(scaled.width, smallestTile), std::max(scaled.height, smallestTile));
}

inline Size shelfTile()
{
    return Size(shelfTileWidth, shelfTileHeight);
}

} // namespace kavelo::CardSizes
