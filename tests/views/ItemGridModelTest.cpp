#include "Pellmar/views/grid/ItemGridModel.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QList<grid::Cell> cells(const QStringList& ids, const QString& caption = {})
{
    QList<grid::Cell> result;
    for (const QString& id : ids)
        result.append({.id = id, .name = id + QStringLiteral(".jpg"), .caption = caption});
    return result;
}

QStringList ids(const ItemGridModel& model)
{
    QStringList result;
    for (const grid::Cell& cell : model.cells())
        result.append(cell.id);
    return result;
}

} // namespace

TEST(ItemGridModelTest, NewResultsAreAppliedAsDiffsByIdNeverAsResets)
{
    ItemGridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.apply(cells({"A", "B", "C", "D", "E"}));

    const QPersistentModelIndex a = model.index(0);
    const QPersistentModelIndex e = model.index(4);
    QSignalSpy resets(&model, &QAbstractItemModel::modelAboutToBeReset);
    QSignalSpy layouts(&model, &QAbstractItemModel::layoutAboutToBeChanged);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);

    const struct {
        QStringList next;
    } steps[] = {
        {{"E", "A", "X", "C"}},                 // moved, inserted, removed in one go
        {{"C", "X", "A", "E"}},                 // reversed
        {{"Y", "C", "X", "A", "E", "Z"}},       // grown at both ends
        {{"A", "E"}},                           // shrunk from both sides
    };
    for (const auto& step : steps) {
        model.apply(cells(step.next));
        EXPECT_EQ(ids(model), step.next);
        EXPECT_EQ(a.row(), step.next.indexOf("A"));   // the view's indexes follow their items
        EXPECT_EQ(e.row(), step.next.indexOf("E"));
    }
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(layouts.count(), 2);   // the steps that reorder kept rows
    EXPECT_EQ(changes.count(), 0);   // no row changed its contents

    model.apply(cells({"A", "E"}, QStringLiteral("Dec 10, 2026")));
    EXPECT_EQ(changes.count(), 2);
    model.apply({});
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(a.isValid());
}

TEST(ItemGridModelTest, AReorderIsOneLayoutChangeHoweverFarRowsMove)
{
    ItemGridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QStringList order;
    for (int i = 0; i < 500; ++i)
        order.append(QString::number(i));
    model.apply(cells(order));
    const QPersistentModelIndex ten = model.index(10);
    QSignalSpy moves(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);

    order.swapItemsAt(10, 400);
    model.apply(cells(order));
    std::reverse(order.begin(), order.end());
    model.apply(cells(order));
    EXPECT_EQ(ids(model), order);
    EXPECT_EQ(ten.row(), 99);
    EXPECT_EQ(moves.count(), 0);
    EXPECT_EQ(layouts.count(), 2);
}

TEST(ItemGridModelTest, OnlyRowsWhoseCellChangedAreAnnounced)
{
    ItemGridModel model;
    QList<grid::Cell> before = cells({"A", "B", "C"});
    model.apply(before);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);

    QList<grid::Cell> after = before;
    after[1].selected = true;
    std::swap(after[0], after[2]);   // C moves to the front and A to the back, unchanged
    model.apply(after);

    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).at(0).value<QModelIndex>().row(), 1);
    EXPECT_TRUE(model.cell(1).selected);
    EXPECT_EQ(model.rowOf(QStringLiteral("A")), 2);
    EXPECT_EQ(model.rowOf(QStringLiteral("nope")), -1);
}
