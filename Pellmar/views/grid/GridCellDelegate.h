#pragma once

#include <QAbstractItemDelegate>
#include <QHash>
#include <QIcon>

class TilePictures;

namespace grid {
struct Cell;
}

// Paints the cells of the item grid from the model's Cells: the 4:3 tile with its picture, the
// type icon of a document without a preview or the placeholder, its badges and selection stroke,
// and under it the name and the caption, each on one line.
class GridCellDelegate : public QAbstractItemDelegate {
    Q_OBJECT
public:
    GridCellDelegate(TilePictures& pictures, QObject* parent = nullptr);

    // The fonts of the name and the caption lines, from the view's font.
    static QFont nameFont(const QFont& base);
    static QFont captionFont(const QFont& base);
    // Height of the name and caption lines with the spacing between them.
    static int textHeight(const QFont& base);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The 4:3 picture part of a cell `cell` (the rest is its text).
    static QRect tileRect(const QRect& cell);

private:
    void paintTile(QPainter* painter, const QStyleOptionViewItem& option, const grid::Cell& cell, const QRect& tile) const;
    void paintBadges(QPainter* painter, const QStyleOptionViewItem& option, const grid::Cell& cell, const QRect& tile) const;
    const QIcon& typeIcon(const QString& mimeType) const;

    TilePictures& pictures_;
    mutable QHash<QString, QIcon> typeIcons_;
};
