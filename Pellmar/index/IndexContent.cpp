#include "Pellmar/index/Index.h"

#include "Pellmar/index/IndexRows.h"

// Content identity beyond the quick hash: the tails kept with file rows, and items that split
// once their files are found to differ.

QList<Index::ContentCopy> Index::contentCopies(const QString& quickHash)
{
    // Keys are lowercase hexadecimal: every extension of the quick hash sorts below it followed by "g".
    Statement rows(db_.db(), QStringLiteral("SELECT f.id, i.id, i.quick_hash, f.source_id, f.rel_path, f.size, f.local, "
                                            "f.asset_id, f.tail_hash FROM items i JOIN files f ON f.item_id = i.id AND "
                                            "f.quick_hash IS NOT NULL WHERE i.quick_hash >= ? AND i.quick_hash < ? "
                                            "ORDER BY f.id"));
    rows.bind({quickHash, quickHash + QLatin1Char('g')});
    QList<ContentCopy> copies;
    while (rows.step()) {
        copies.append(ContentCopy{
            .fileID = rows.int64(0),
            .itemID = rows.text(1),
            .itemKey = rows.text(2),
            .sourceID = rows.text(3),
            .relativePath = rows.text(4),
            .size = rows.int64(5),
            .local = rows.boolean(6),
            .assetID = rows.text(7),
            .tailHash = rows.isNull(8) ? std::nullopt : std::optional(rows.text(8)),
        });
    }
    return copies;
}

void Index::setTailHash(qint64 fileID, const QString& itemKey, const QString& tailHash)
{
    db_.run(QStringLiteral("UPDATE files SET tail_hash = ? WHERE id = ? AND quick_hash = ?"), {tailHash, fileID, itemKey});
}

QString Index::separateCopies(const QList<qint64>& fileIDs, const QString& formerItemID, const Item& item)
{
    Transaction transaction(db_);
    QString itemID = item.id;
    if (insertItem(db_, item)) {
        // The new item is found by the same words as the one it leaves.
        db_.run(QStringLiteral("INSERT INTO search (item_id, text) SELECT ?, text FROM search WHERE item_id = ?"),
                {item.id, formerItemID});
    } else {
        Statement existing(db_.db(), QStringLiteral("SELECT id FROM items WHERE quick_hash = ?"));
        existing.bind({item.quickHash});
        if (existing.step())
            itemID = existing.text(0);
    }
    Statement move(db_.db(), QStringLiteral("UPDATE files SET quick_hash = ?, item_id = ? WHERE id = ? AND item_id = ?"));
    for (const qint64 fileID : fileIDs)
        move.bind({item.quickHash, itemID, fileID, formerItemID}).step();
    db_.run(QStringLiteral("UPDATE items SET modified_at = (SELECT MAX(mtime) FROM files WHERE item_id = ?1), added_at = "
                           "(SELECT MAX(added_at) FROM files WHERE item_id = ?1) WHERE id = ?1"),
            {itemID});
    removeItemIfOrphan(db_, itemID);
    removeItemIfOrphan(db_, formerItemID);
    transaction.commit();
    return itemID;
}
