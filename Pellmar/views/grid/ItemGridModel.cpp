#include "Pellmar/views/grid/ItemGridModel.h"

#include <QHash>
#include <QSet>
#include <QTextDocument>

#include <algorithm>

void ItemGridModel::apply(const QList<grid::Cell>& cells)
{
    removeMissing(cells);
    reorder(cells);
    // The rows are now the kept items in the new order: insert the new ones, a run at a time.
    QSet<QString> kept;
    kept.reserve(rows_.size());
    for (const grid::Cell& row : std::as_const(rows_))
        kept.insert(row.id);
    for (int target = 0; target < cells.size();) {
        if (kept.contains(cells.at(target).id)) {
            if (rows_.at(target) != cells.at(target)) {
                rows_[target] = cells.at(target);
                Q_EMIT dataChanged(index(target), index(target));
            }
            ++target;
            continue;
        }
        int end = target + 1;
        while (end < cells.size() && !kept.contains(cells.at(end).id))
            ++end;
        beginInsertRows({}, target, end - 1);
        rows_.insert(target, end - target, grid::Cell());
        std::copy(cells.begin() + target, cells.begin() + end, rows_.begin() + target);
        endInsertRows();
        target = end;
    }
}

// Puts the rows in the order they have in `cells` (which holds each of them) in one layout
// change, the view's indexes following their items; no change when the order is kept.
void ItemGridModel::reorder(const QList<grid::Cell>& cells)
{
    QHash<QString, int> position;
    position.reserve(cells.size());
    for (int i = 0; i < cells.size(); ++i)
        position.insert(cells.at(i).id, i);
    const auto before = [&](const grid::Cell& a, const grid::Cell& b) { return position.value(a.id) < position.value(b.id); };
    if (std::is_sorted(rows_.cbegin(), rows_.cend(), before))
        return;

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QHash<QString, int> oldRows;
    oldRows.reserve(rows_.size());
    for (int row = 0; row < rows_.size(); ++row)
        oldRows.insert(rows_.at(row).id, row);
    std::stable_sort(rows_.begin(), rows_.end(), before);
    QList<int> newRows(rows_.size());
    for (int row = 0; row < rows_.size(); ++row)
        newRows[oldRows.value(rows_.at(row).id)] = row;
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& old : persistent)
        moved.append(index(newRows.value(old.row())));
    changePersistentIndexList(persistent, moved);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
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

void ItemGridModel::setCaption(int row, const QString& caption)
{
    if (rows_.at(row).caption == caption)
        return;
    rows_[row].caption = caption;
    Q_EMIT dataChanged(index(row), index(row));
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
    // The whole name, which a narrow tile shortens; a name is never markup.
    if (role == Qt::ToolTipRole)
        return Qt::convertFromPlainText(rows_.at(index.row()).name, Qt::WhiteSpaceNormal);
    return {};
}
