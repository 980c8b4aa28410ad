#include "Pellmar/views/grid/GridLayout.h"

#include <algorithm>
#include <cmath>

namespace grid {

int columnCount(double width)
{
    const double columns = std::trunc((width - 2 * padding + spacing) / (minColumnWidth + spacing));
    // A negative or non-finite width counts as the narrowest grid.
    return columns >= 1 ? int(std::min(columns, 1e6)) : 1;
}

Geometry geometry(int width, int textHeight)
{
    Geometry g;
    g.columns = columnCount(width);
    const int available = width - 2 * padding;
    g.columnWidth = std::clamp((available - (g.columns - 1) * spacing) / g.columns, 1, maxColumnWidth);
    g.tileHeight = int(std::lround(g.columnWidth * 3.0 / 4.0));
    g.cellHeight = g.tileHeight + cellSpacing + std::max(textHeight, 0);
    const int used = g.columns * g.columnWidth + (g.columns - 1) * spacing;
    g.left = padding + std::max(available - used, 0) / 2;
    return g;
}

QRect Geometry::cellRect(int index) const
{
    const int row = index / columns;
    const int column = index % columns;
    return {left + column * (columnWidth + spacing), padding + row * (cellHeight + spacing), columnWidth, cellHeight};
}

int Geometry::contentHeight(int count) const
{
    const int rows = (count + columns - 1) / columns;
    return 2 * padding + rows * cellHeight + std::max(rows - 1, 0) * spacing;
}

std::optional<int> Geometry::indexAt(QPoint point, int count) const
{
    const int x = point.x() - left;
    const int y = point.y() - padding;
    if (x < 0 || y < 0)
        return std::nullopt;
    const int column = x / (columnWidth + spacing);
    const int row = y / (cellHeight + spacing);
    if (column >= columns || x % (columnWidth + spacing) >= columnWidth || y % (cellHeight + spacing) >= cellHeight)
        return std::nullopt;
    const qint64 index = qint64(row) * columns + column;
    return index < count ? std::optional<int>(int(index)) : std::nullopt;
}

std::pair<int, int> Geometry::indexesBetween(int top, int bottom, int count) const
{
    const int pitch = cellHeight + spacing;
    const int firstRow = std::max(top - padding, 0) / pitch;
    const int lastRow = std::max(bottom - padding, 0) / pitch;
    const int first = firstRow * columns;
    const int last = std::min((lastRow + 1) * columns, count) - 1;
    return {first, last};
}

Move move(const QStringList& ids, const std::optional<QString>& selection, const std::optional<QString>& cursor,
          int offset, bool extend)
{
    if (ids.isEmpty())
        return {};
    const std::optional<QString>& current = extend && cursor ? cursor : selection;
    const qsizetype index = current ? ids.indexOf(*current) : -1;
    if (index < 0)
        return {Move::Kind::select, 0};
    const qsizetype target = index + offset;
    if (target < 0 || target >= ids.size())
        return {};
    return {extend ? Move::Kind::extend : Move::Kind::select, int(target)};
}

} // namespace grid
