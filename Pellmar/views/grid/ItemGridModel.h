#pragma once

#include "Pellmar/views/grid/GridCell.h"

#include <QAbstractListModel>
#include <QList>

// The rows of the item grid: one Cell per item of the search result, in grid order, identified
// by the item's id. A new result is applied as a diff by id (rows removed, reordered in one
// layout change, inserted, and changed where their Cell differs), never as a reset, so the view
// keeps its scroll position, its hover and its decoded pictures while searches repeat.
class ItemGridModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    // `cells` must not hold one id twice.
    void apply(const QList<grid::Cell>& cells);

    // Gives a row the caption written for it after the row was applied.
    void setCaption(int row, const QString& caption);

    const grid::Cell& cell(int row) const { return rows_.at(row); }
    const QList<grid::Cell>& cells() const { return rows_; }
    // The row of the item `id`, or -1.
    int rowOf(const QString& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    void removeMissing(const QList<grid::Cell>& cells);
    void reorder(const QList<grid::Cell>& cells);

    QList<grid::Cell> rows_;
};
