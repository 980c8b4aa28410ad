#include "Pellmar/views/grid/ItemGridModel.h"

#include <QSet>

void ItemGridModel::apply(const QList<grid::Cell>& cells)
{
    removeMissing(cells);
    // What is left is a subset of `cells`; walk the new order and move or insert into place.
    for (int target = 0; target < cells.size(); ++target) {
        const grid::Cell& wanted = cells.at(target);
        if (target < rows_.size() && rows_.at(target).id == wanted.id) {
            if (rows_.at(target) != wanted) {
                rows_[target] = wanted;
                Q_EMIT dataChanged(index(target), index(target));
            }
            continue;
        }
        int from = -1;
        for (int row = target + 1; row < rows_.size(); ++row) {
            if (rows_.at(row).id == wanted.id) {
                from = row;
                break;
            }
        }
        if (from < 0) {
            beginInsertRows({}, target, target);
            rows_.insert(target, wanted);
            endInsertRows();
            continue;
        }
        beginMoveRows({}, from, from, {}, target);
        rows_.move(from, target);
        endMoveRows();
        if (rows_.at(target) != wanted) {
            rows_[target] = wanted;
            Q_EMIT dataChanged(index(target), index(target));
        }
    }
}

void ItemGridModel::removeMissing(const QList<grid::Cell>& cells)
{
    QSet<QString> kept;
    kept.reserve(cells.size());
    for (const grid::Cell& cell : cells)
        kept.insert(cell.id);
    // From the end, one removal per run of consecutive rows.
    int row = int(rows_.size()) - 1;
    while (row >= 0) {
        if (kept.contains(rows_.at(row).id)) {
            --row;
            continue;
        }
        const int last = row;
        while (row >= 0 && !kept.contains(rows_.at(row).id))
            --row;
        beginRemoveRows({}, row + 1, last);
        rows_.remove(row + 1, last - row);
        endRemoveRows();
    }
}

int ItemGridModel::rowOf(const QString& id) const
{
    for (int row = 0; row < rows_.size(); ++row) {
        if (rows_.at(row).id == id)
            return row;
    }
    return -1;
}

int ItemGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant ItemGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return rows_.at(index.row()).name;
    return {};
}
