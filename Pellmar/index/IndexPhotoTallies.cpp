#include "Pellmar/index/IndexPhotoTallies.h"

#include "Pellmar/index/IndexScope.h"
#include "Pellmar/index/IndexTallies.h"

#include <QStringList>

namespace {

// The photo_assets columns that count an asset's rows by a test of the row (`%1` the row).
struct RowCount {
    QString column;
    QString test;
};

const QList<RowCount> rowCounts{
    {QStringLiteral("favorites"), QStringLiteral("%1.favorite = 1")},
    {QStringLiteral("raws"), QStringLiteral("%1.raw = 1")},
    {QStringLiteral("screenshots"), QStringLiteral("(%1.subtype & ") + QString::number(screenshotSubtype) + QStringLiteral(") != 0")},
    {QStringLiteral("in_albums"), QStringLiteral("instr(%1.rel_path, '/') > 0")},
};

// The photo_assets columns that photo_groups counts the assets with one or more of.
const QStringList groupColumns{QStringLiteral("favorites"), QStringLiteral("photos"), QStringLiteral("videos"),
                               QStringLiteral("raws"), QStringLiteral("screenshots"), QStringLiteral("in_albums")};

// `pattern` filled in with each column of `columns` (`%1`), joined by ", ".
QString eachColumn(const QStringList& columns, const QString& pattern)
{
    QStringList parts;
    for (const QString& column : columns)
        parts.append(QString(pattern).replace(QStringLiteral("%1"), column));
    return parts.join(QStringLiteral(", "));
}

// `pattern` filled in with each row count's column (`%1`) and its test of `row` (`%2`), joined by ", ".
QString eachRowCount(const QString& row, const QString& pattern)
{
    QStringList parts;
    for (const RowCount& count : rowCounts)
        parts.append(QString(pattern).replace(QStringLiteral("%1"), count.column).replace(QStringLiteral("%2"), count.test.arg(row)));
    return parts.join(QStringLiteral(", "));
}

QStringList rowCountColumns()
{
    QStringList columns;
    for (const RowCount& count : rowCounts)
        columns.append(count.column);
    return columns;
}

// Rows (source_id, asset_id, folder) for every folder above each file that `files` selects (columns
// source_id, asset_id and rel_path), nearest first, once per file: the folders the tree counts it in.
QString foldersAbove(const QString& files)
{
    return QStringLiteral("WITH RECURSIVE up(source_id, asset_id, folder) AS (SELECT source_id, asset_id, %1 FROM (%2) "
                          "UNION ALL SELECT source_id, asset_id, %3 FROM up WHERE folder != '') "
                          "SELECT source_id, asset_id, folder FROM up WHERE folder != ''")
        .arg(folderOfPath(QStringLiteral("rel_path")), files, folderOfPath(QStringLiteral("folder")));
}

// The folders above the one file `row` of a trigger, the same way.
QString foldersAboveRow(const QString& row)
{
    return QStringLiteral("SELECT folder FROM (WITH RECURSIVE up(folder) AS (SELECT %1 UNION ALL SELECT %2 FROM up WHERE "
                          "folder != '') SELECT folder FROM up WHERE folder != '')")
        .arg(folderOfPath(row + QStringLiteral(".rel_path")), folderOfPath(QStringLiteral("folder")));
}

// The file rows of photo library sources.
const QString photoFiles = QStringLiteral("SELECT f.* FROM files AS f JOIN sources AS s ON s.id = f.source_id WHERE s.kind = %1")
                               .arg(rawValue(SourceKind::photos));

// Whether the file `row` lies in a photo library source.
QString isPhotoRow(const QString& row)
{
    return QStringLiteral("(SELECT kind FROM sources WHERE id = %1.source_id) = %2").arg(row).arg(rawValue(SourceKind::photos));
}

// Counts the file `row` while `condition` holds. The asset's row goes first: its item rows update it.
QString addRow(const QString& row, const QString& condition)
{
    return QStringLiteral(
               "INSERT INTO photo_assets (source_id, asset_id, files, %3, photos, videos, captured_at)\n"
               "    SELECT %1.source_id, %1.asset_id, 1, %4, 0, 0, NULL WHERE %2\n"
               "    ON CONFLICT (source_id, asset_id) DO UPDATE SET files = files + 1, %5;\n"
               "  INSERT INTO photo_asset_items (source_id, asset_id, item_id, files, kind, captured_at)\n"
               "    SELECT %1.source_id, %1.asset_id, %1.item_id, 1, COALESCE(i.kind, -1), i.captured_at\n"
               "    FROM (SELECT 1) LEFT JOIN items AS i ON i.id = %1.item_id WHERE %1.item_id IS NOT NULL AND %2\n"
               "    ON CONFLICT (source_id, asset_id, item_id) DO UPDATE SET files = files + 1;\n"
               "  INSERT INTO photo_folder_assets (source_id, folder, asset_id, files)\n"
               "    SELECT %1.source_id, folder, %1.asset_id, 1 FROM (%6) WHERE %1.asset_id != '' AND %2\n"
               "    ON CONFLICT (source_id, folder, asset_id) DO UPDATE SET files = files + 1;\n"
               "  INSERT INTO photo_folders (source_id, folder, assets)\n"
               "    SELECT %1.source_id, folder, 1 FROM (%6) WHERE %1.asset_id = '' AND %2\n"
               "    ON CONFLICT (source_id, folder) DO UPDATE SET assets = assets + 1")
        .arg(row, condition, rowCountColumns().join(QStringLiteral(", ")), eachRowCount(row, QStringLiteral("%2")),
             eachColumn(rowCountColumns(), QStringLiteral("%1 = %1 + excluded.%1")), foldersAboveRow(row));
}

// Takes the counted file `row` off; a row that was never counted matches no kept row. Each
// statement on the folders tests the asset id first, so that only the statements of its kind of
// row walk up its folders.
QString removeRow(const QString& row)
{
    return QStringLiteral(
               "UPDATE photo_assets SET files = files - 1, %2 WHERE source_id = %1.source_id AND asset_id = %1.asset_id;\n"
               "  UPDATE photo_asset_items SET files = files - 1\n"
               "    WHERE source_id = %1.source_id AND asset_id = %1.asset_id AND item_id = %1.item_id;\n"
               "  DELETE FROM photo_asset_items\n"
               "    WHERE source_id = %1.source_id AND asset_id = %1.asset_id AND item_id = %1.item_id AND files < 1;\n"
               "  DELETE FROM photo_assets WHERE source_id = %1.source_id AND asset_id = %1.asset_id AND files < 1;\n"
               "  UPDATE photo_folder_assets SET files = files - 1\n"
               "    WHERE %1.asset_id != '' AND source_id = %1.source_id AND asset_id = %1.asset_id AND folder IN (%3);\n"
               "  DELETE FROM photo_folder_assets WHERE %1.asset_id != '' AND source_id = %1.source_id\n"
               "    AND asset_id = %1.asset_id AND folder IN (%3) AND files < 1;\n"
               "  UPDATE photo_folders SET assets = assets - 1\n"
               "    WHERE %1.asset_id = '' AND source_id = %1.source_id AND folder IN (%3);\n"
               "  DELETE FROM photo_folders WHERE %1.asset_id = '' AND source_id = %1.source_id AND folder IN (%3)\n"
               "    AND assets < 1")
        .arg(row, eachRowCount(row, QStringLiteral("%1 = %1 - (%2)")), foldersAboveRow(row));
}

// An asset's latest capture date, from its item rows.
QString latestCapture(const QString& row)
{
    return QStringLiteral("(SELECT MAX(captured_at) FROM photo_asset_items WHERE source_id = %1.source_id AND asset_id = "
                          "%1.asset_id)")
        .arg(row);
}

} // namespace

QString photoTallyTables()
{
    return QStringLiteral(R"(
DROP TABLE IF EXISTS photo_assets;
DROP TABLE IF EXISTS photo_asset_items;
DROP TABLE IF EXISTS photo_groups;
DROP TABLE IF EXISTS photo_folder_assets;
DROP TABLE IF EXISTS photo_folders;
CREATE TABLE photo_assets (source_id TEXT NOT NULL, asset_id TEXT NOT NULL, files INTEGER NOT NULL,
  favorites INTEGER NOT NULL, raws INTEGER NOT NULL, screenshots INTEGER NOT NULL, in_albums INTEGER NOT NULL,
  photos INTEGER NOT NULL, videos INTEGER NOT NULL, captured_at REAL, PRIMARY KEY (source_id, asset_id)) WITHOUT ROWID;
CREATE TABLE photo_asset_items (source_id TEXT NOT NULL, asset_id TEXT NOT NULL, item_id TEXT NOT NULL,
  files INTEGER NOT NULL, kind INTEGER NOT NULL, captured_at REAL, PRIMARY KEY (source_id, asset_id, item_id)) WITHOUT ROWID;
CREATE TABLE photo_groups (source_id TEXT NOT NULL PRIMARY KEY, assets INTEGER NOT NULL, favorites INTEGER NOT NULL,
  photos INTEGER NOT NULL, videos INTEGER NOT NULL, raws INTEGER NOT NULL, screenshots INTEGER NOT NULL,
  in_albums INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE photo_folder_assets (source_id TEXT NOT NULL, folder TEXT NOT NULL, asset_id TEXT NOT NULL,
  files INTEGER NOT NULL, PRIMARY KEY (source_id, folder, asset_id)) WITHOUT ROWID;
CREATE TABLE photo_folders (source_id TEXT NOT NULL, folder TEXT NOT NULL, assets INTEGER NOT NULL,
  PRIMARY KEY (source_id, folder)) WITHOUT ROWID;
)");
}

QString photoTallyCounts()
{
    return QStringLiteral(R"(
INSERT INTO photo_assets (source_id, asset_id, files, %1, photos, videos, captured_at)
  SELECT source_id, asset_id, COUNT(*), %2, 0, 0, NULL FROM (%3) AS f GROUP BY source_id, asset_id;
INSERT INTO photo_asset_items (source_id, asset_id, item_id, files, kind, captured_at)
  SELECT f.source_id, f.asset_id, f.item_id, COUNT(*), COALESCE(i.kind, -1), i.captured_at FROM (%3) AS f
  LEFT JOIN items AS i ON i.id = f.item_id WHERE f.item_id IS NOT NULL GROUP BY f.source_id, f.asset_id, f.item_id;
UPDATE photo_assets SET photos = a.photos, videos = a.videos, captured_at = a.captured_at FROM (SELECT source_id, asset_id,
  SUM(kind = 0) AS photos, SUM(kind = 1) AS videos, MAX(captured_at) AS captured_at FROM photo_asset_items
  GROUP BY source_id, asset_id) AS a WHERE a.source_id = photo_assets.source_id AND a.asset_id = photo_assets.asset_id;
INSERT INTO photo_groups (source_id, assets, %4)
  SELECT source_id, COUNT(*), %5 FROM photo_assets GROUP BY source_id;
INSERT INTO photo_folder_assets (source_id, folder, asset_id, files)
  SELECT source_id, folder, asset_id, COUNT(*) FROM (%6) WHERE asset_id != '' GROUP BY source_id, folder, asset_id;
INSERT INTO photo_folders (source_id, folder, assets)
  SELECT source_id, folder, COUNT(DISTINCT NULLIF(asset_id, '')) + SUM(asset_id = '') FROM (%6) GROUP BY source_id, folder;
)")
        .arg(rowCountColumns().join(QStringLiteral(", ")), eachRowCount(QStringLiteral("f"), QStringLiteral("SUM(%2)")),
             photoFiles, groupColumns.join(QStringLiteral(", ")), eachColumn(groupColumns, QStringLiteral("SUM(%1 > 0)")),
             foldersAbove(photoFiles));
}

QString photoTallyTriggers()
{
    // Folder sources pay for a look-up of the source on insert and of the asset's row on delete.
    return QStringLiteral(R"(
CREATE INDEX photo_assets_captured ON photo_assets(source_id, captured_at);
CREATE INDEX photo_asset_items_item ON photo_asset_items(item_id);

CREATE TRIGGER tally_photo_file_insert AFTER INSERT ON files WHEN %1 BEGIN
  %2;
END;
CREATE TRIGGER tally_photo_file_delete AFTER DELETE ON files
WHEN EXISTS (SELECT 1 FROM photo_assets WHERE source_id = old.source_id AND asset_id = old.asset_id) BEGIN
  %3;
END;
CREATE TRIGGER tally_photo_file_update AFTER UPDATE OF source_id, rel_path, asset_id, item_id, favorite, raw, subtype ON files
WHEN (old.source_id IS NOT new.source_id OR old.rel_path IS NOT new.rel_path OR old.asset_id IS NOT new.asset_id
  OR old.item_id IS NOT new.item_id OR old.favorite IS NOT new.favorite OR old.raw IS NOT new.raw
  OR old.subtype IS NOT new.subtype)
  AND (EXISTS (SELECT 1 FROM photo_assets WHERE source_id = old.source_id AND asset_id = old.asset_id) OR %1) BEGIN
  %3;
  %4;
END;

CREATE TRIGGER tally_photo_item_insert AFTER INSERT ON photo_asset_items BEGIN
  UPDATE photo_assets SET photos = photos + (new.kind = 0), videos = videos + (new.kind = 1), captured_at = %5
    WHERE source_id = new.source_id AND asset_id = new.asset_id;
END;
CREATE TRIGGER tally_photo_item_delete AFTER DELETE ON photo_asset_items BEGIN
  UPDATE photo_assets SET photos = photos - (old.kind = 0), videos = videos - (old.kind = 1), captured_at = %6
    WHERE source_id = old.source_id AND asset_id = old.asset_id;
END;
CREATE TRIGGER tally_photo_item_update AFTER UPDATE OF kind, captured_at ON photo_asset_items
WHEN old.kind != new.kind OR old.captured_at IS NOT new.captured_at BEGIN
  UPDATE photo_assets SET photos = photos - (old.kind = 0) + (new.kind = 0), videos = videos - (old.kind = 1) + (new.kind = 1),
    captured_at = %5 WHERE source_id = new.source_id AND asset_id = new.asset_id;
END;

CREATE TRIGGER tally_photo_asset_insert AFTER INSERT ON photo_assets BEGIN
  INSERT INTO photo_groups (source_id, assets, %7) VALUES (new.source_id, 1, %8)
    ON CONFLICT (source_id) DO UPDATE SET assets = assets + 1, %9;
END;
CREATE TRIGGER tally_photo_asset_delete AFTER DELETE ON photo_assets BEGIN
  UPDATE photo_groups SET assets = assets - 1, %10 WHERE source_id = old.source_id;
  DELETE FROM photo_groups WHERE source_id = old.source_id AND assets < 1;
END;
CREATE TRIGGER tally_photo_asset_update AFTER UPDATE OF %7 ON photo_assets WHEN %11 BEGIN
  UPDATE photo_groups SET %12 WHERE source_id = new.source_id;
END;

CREATE TRIGGER tally_photo_folder_insert AFTER INSERT ON photo_folder_assets BEGIN
  INSERT INTO photo_folders (source_id, folder, assets) VALUES (new.source_id, new.folder, 1)
    ON CONFLICT (source_id, folder) DO UPDATE SET assets = assets + 1;
END;
CREATE TRIGGER tally_photo_folder_delete AFTER DELETE ON photo_folder_assets BEGIN
  UPDATE photo_folders SET assets = assets - 1 WHERE source_id = old.source_id AND folder = old.folder;
  DELETE FROM photo_folders WHERE source_id = old.source_id AND folder = old.folder AND assets < 1;
END;
)")
        .arg(isPhotoRow(QStringLiteral("new")), addRow(QStringLiteral("new"), QStringLiteral("1")),
             removeRow(QStringLiteral("old")), addRow(QStringLiteral("new"), isPhotoRow(QStringLiteral("new"))),
             latestCapture(QStringLiteral("new")), latestCapture(QStringLiteral("old")),
             groupColumns.join(QStringLiteral(", ")), eachColumn(groupColumns, QStringLiteral("new.%1 > 0")),
             eachColumn(groupColumns, QStringLiteral("%1 = %1 + excluded.%1")))
        .arg(eachColumn(groupColumns, QStringLiteral("%1 = %1 - (old.%1 > 0)")),
             eachColumn(groupColumns, QStringLiteral("(old.%1 > 0) != (new.%1 > 0)")).replace(QStringLiteral(", "), QStringLiteral(" OR ")),
             eachColumn(groupColumns, QStringLiteral("%1 = %1 - (old.%1 > 0) + (new.%1 > 0)")));
}
