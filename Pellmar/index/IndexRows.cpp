#include "Pellmar/index/IndexRows.h"

#include <QStringList>

#include <array>

namespace {

constexpr std::array<const char*, itemColumnCount> itemColumnNames{
    "id", "quick_hash", "kind", "filename", "captured_at", "width", "height",
    "duration", "camera", "lens", "preview_ext", "proxy_ext", "poster_ext", "uti"};

} // namespace

QString itemColumns()
{
    QStringList columns;
    for (const char* name : itemColumnNames)
        columns.append(QLatin1String(name));
    return columns.join(QStringLiteral(", "));
}

bool insertItem(Database& db, const Item& item)
{
    db.run(QStringLiteral("INSERT OR IGNORE INTO items (id, quick_hash, kind, filename, captured_at, width, height, "
                          "duration, camera, lens, preview_ext, proxy_ext, poster_ext, created_at, weak_id, uti) VALUES "
                          "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
           {item.id, item.quickHash, rawValue(item.kind), item.filename, item.capturedAt, item.width, item.height,
            item.duration, item.camera, item.lens, item.previewExtension, item.proxyExtension, item.posterExtension,
            currentDate(), item.weakKey(), item.uti});
    return db.changes() > 0;
}

Item itemFromRow(const Statement& row)
{
    Item item;
    item.id = row.text(0);
    item.quickHash = row.text(1);
    item.kind = mediaKindFromRawValue(row.int64(2)).value_or(MediaKind::photo);
    item.filename = row.text(3);
    item.capturedAt = row.optionalReal(4);
    item.width = row.int64(5);
    item.height = row.int64(6);
    item.duration = row.real(7);
    item.camera = row.text(8);
    item.lens = row.text(9);
    item.previewExtension = row.text(10);
    item.proxyExtension = row.text(11);
    item.posterExtension = row.text(12);
    item.uti = row.text(13);
    return item;
}

QString parentPath(const QString& relativePath)
{
    const qsizetype slash = relativePath.lastIndexOf(u'/');
    return slash < 0 ? QString() : relativePath.left(slash);
}

QString lastComponent(const QString& relativePath)
{
    return relativePath.mid(relativePath.lastIndexOf(u'/') + 1);
}

void renameItem(Database& db, const QString& filename, const QString& itemCondition, const SqlValue& conditionValue)
{
    db.run(QStringLiteral("UPDATE items SET filename = ?, weak_id = CASE WHEN captured_at IS NOT NULL AND width > 0 AND "
                          "height > 0 THEN lower(?) || '|' || width || 'x' || height || '|' || CAST(captured_at AS "
                          "INTEGER) ELSE '' END WHERE id = ")
               + itemCondition,
           {filename, filename, conditionValue});
}

void removeItemIfOrphan(Database& db, const QString& itemID)
{
    db.run(QStringLiteral("DELETE FROM items WHERE id = ? AND NOT EXISTS (SELECT 1 FROM files WHERE item_id = ?)"),
           {itemID, itemID});
    if (db.changes() > 0)
        removeSearchRow(db, itemID);
}

void removeSearchRow(Database& db, const QString& itemID)
{
    db.run(QStringLiteral("DELETE FROM search WHERE rowid IN (SELECT id FROM search_content WHERE c0 = ?)"), {itemID});
}
