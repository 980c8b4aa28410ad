#include "Pellmar/views/grid/GridLayout.h"

#include <gtest/gtest.h>

#include <cmath>

using grid::Move;

TEST(GridLayoutTest, ColumnCountFitsTheSmallestColumnsAndNeverFallsBelowOne)
{
    const struct {
        double width;
        int columns;
    } cases[] = {
        {183, 1}, {333, 1}, {334, 2}, {493, 2}, {494, 3}, {500, 3}, {1000, 6},
        {13, 1}, {0, 1}, {-50, 1}, {std::nan(""), 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(grid::columnCount(c.width), c.columns) << c.width;
}

TEST(GridLayoutTest, GeometryPadsSpacesAndCentresClampedColumns)
{
    // 500 wide: 3 columns share 476 - 20 = 456, 152 each, 12 from the left.
    const grid::Geometry three = grid::geometry(500, 30);
    EXPECT_EQ(three.columns, 3);
    EXPECT_EQ(three.columnWidth, 152);
    EXPECT_EQ(three.tileHeight, 114);
    EXPECT_EQ(three.cellHeight, 114 + 4 + 30);
    EXPECT_EQ(three.cellRect(0), QRect(12, 12, 152, 148));
    EXPECT_EQ(three.cellRect(4), QRect(12 + 162, 12 + 158, 152, 148));
    EXPECT_EQ(three.contentHeight(7), 24 + 3 * 148 + 2 * 10);

    // Columns wider than the widest are clamped, and the row is centred.
    const grid::Geometry two = grid::geometry(480, 30);
    EXPECT_EQ(two.columns, 2);
    EXPECT_EQ(two.columnWidth, 220);
    EXPECT_EQ(two.left, 12 + (456 - 450) / 2);
    const grid::Geometry one = grid::geometry(300, 30);
    EXPECT_EQ(one.columns, 1);
    EXPECT_EQ(one.columnWidth, 220);
    EXPECT_EQ(one.left, 12 + (276 - 220) / 2);
}

TEST(GridLayoutTest, HitTestingFindsTilesAndMissesGapsAndTheEmptyEnd)
{
    const grid::Geometry g = grid::geometry(500, 30);   // cells 152 x 148, pitch 162 x 158
    EXPECT_EQ(g.indexAt({12, 12}, 7), 0);
    EXPECT_EQ(g.indexAt({12 + 162 + 151, 12 + 147}, 7), 1);
    EXPECT_EQ(g.indexAt({12 + 155, 20}, 7), std::nullopt);       // between two columns
    EXPECT_EQ(g.indexAt({20, 12 + 150}, 7), std::nullopt);       // between two rows
    EXPECT_EQ(g.indexAt({12 + 2 * 162 + 5, 12 + 2 * 158 + 5}, 7), std::nullopt);   // past the last item
    EXPECT_EQ(g.indexAt({5, 20}, 7), std::nullopt);               // in the padding

    EXPECT_EQ(g.indexesBetween(0, 100, 7), std::make_pair(0, 2));
    EXPECT_EQ(g.indexesBetween(200, 400, 7), std::make_pair(3, 6));
    EXPECT_EQ(g.indexesBetween(0, 5000, 7), std::make_pair(0, 6));
}

TEST(GridLayoutTest, MovesFollowTheGridWithoutWrappingOrClamping)
{
    const QStringList seven{"1", "2", "3", "4", "5", "6", "7"};
    const std::optional<QString> none;
    const struct {
        const char* what;
        std::optional<QString> selection;
        std::optional<QString> cursor;
        int offset;
        bool extend;
        Move expected;
    } cases[] = {
        {"right", "2", none, 1, false, {Move::Kind::select, 2}},
        {"down from the second of three columns", "2", none, 3, false, {Move::Kind::select, 4}},
        {"down from the sixth: index 8 does not exist", "6", none, 3, false, {}},
        {"up on the first row", "2", none, -3, false, {}},
        {"left on the first", "1", none, -1, false, {}},
        {"right on the last", "7", none, 1, false, {}},
        {"no selection selects the first", none, none, 3, false, {Move::Kind::select, 0}},
        {"a selection gone from the results selects the first", "X", none, -1, true, {Move::Kind::select, 0}},
        {"extend moves from the cursor", "2", "4", 1, true, {Move::Kind::extend, 4}},
        {"extend without a cursor starts at the selection", "2", none, 1, true, {Move::Kind::extend, 2}},
        {"a plain move ignores the cursor", "2", "4", 1, false, {Move::Kind::select, 2}},
        {"extend past the end does nothing", "2", "7", 1, true, {}},
    };
    for (const auto& c : cases) {
        const Move move = grid::move(seven, c.selection, c.cursor, c.offset, c.extend);
        EXPECT_EQ(move.kind, c.expected.kind) << c.what;
        EXPECT_EQ(move.target, c.expected.target) << c.what;
    }
    EXPECT_EQ(grid::move({}, none, none, 1, false).kind, Move::Kind::none);
}
