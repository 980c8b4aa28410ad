#pragma once

// The arithmetic of the item grid: how many tiles fit in a row, where each tile goes, and which
// item a keyboard move lands on. Plain functions of plain values, so tests call them with tables.

#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

namespace grid {

inline constexpr int padding = 12;          // around the tiles, on every side
inline constexpr int spacing = 10;          // between columns and between rows
inline constexpr int minColumnWidth = 150;
inline constexpr int maxColumnWidth = 220;
inline constexpr int cellSpacing = 4;       // between a tile, its name and its caption
inline constexpr int tileCornerRadius = 8;
inline constexpr int pictureMaxPixels = 440;  // twice the widest column

// Tiles per row for a grid `width` wide: as many columns of the smallest width as fit beside
// their spacing inside the padding, at least 1.
int columnCount(double width);

// Where the tiles of a grid `width` wide go. Columns share the width between the paddings, no
// wider than the widest column; a row of clamped columns is centred.
struct Geometry {
    int columns = 1;
    int columnWidth = minColumnWidth;
    int tileHeight = 0;       // the 4:3 picture
    int cellHeight = 0;       // the picture, the name and the caption
    int left = padding;       // x of the first column

    // The cell of the item at `index` in grid coordinates (the top of the grid is 0).
    QRect cellRect(int index) const;
    // Height of the whole grid for `count` items, paddings included.
    int contentHeight(int count) const;
    // The index of the tile under `point` (grid coordinates), if one is there.
    std::optional<int> indexAt(QPoint point, int count) const;
    // The first and last index with a cell inside `top`..`bottom` (grid coordinates); an empty
    // range has last < first.
    std::pair<int, int> indexesBetween(int top, int bottom, int count) const;
};

// `textHeight` is the height of the name and the caption lines together.
Geometry geometry(int width, int textHeight);

// What a keyboard move does.
struct Move {
    enum class Kind { none, select, extend };
    Kind kind = Kind::none;
    int target = -1;   // index into the item ids; the grid scrolls to it
};

// The move by `offset` tiles from the current item: with `extend`, from `cursor` (the moving end
// of a run) when set, else from `selection`. With no current item among `ids`, the first item is
// selected whatever the offset; a target outside the list does nothing (no wrap, no clamp).
Move move(const QStringList& ids, const std::optional<QString>& selection, const std::optional<QString>& cursor,
          int offset, bool extend);

} // namespace grid
