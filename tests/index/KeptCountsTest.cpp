#include "IndexFixture.h"

#include "Pellmar/index/IndexRows.h"
#include "Pellmar/index/IndexScope.h"

#include <QMap>
#include <QStringList>

#include <sqlite3.h>

#include <functional>

namespace {

// The single-copy test counted from every file row, as it was written before the index kept its
// counts: the reference that the kept counts must always agree with.
const QString loneCopyFromFiles = QStringLiteral(
    " AND id IN (SELECT lone.item_id FROM (SELECT item_id, MIN(source_id) AS source_id FROM files WHERE item_id IS NOT NULL "
    "AND quick_hash IS NOT NULL GROUP BY item_id HAVING MIN(source_id) = MAX(source_id)) AS lone JOIN items AS mine ON "
    "mine.id = lone.item_id "
    "WHERE NOT (lone.source_id IN (SELECT id FROM sources WHERE kind = 1) AND EXISTS (SELECT 1 FROM files WHERE "
    "asset_id != '' AND local = 0)) AND NOT (mine.weak_id IN (SELECT weak_id FROM items WHERE weak_id != '' GROUP BY "
    "weak_id HAVING COUNT(*) > 1) AND EXISTS (SELECT 1 FROM items AS twin JOIN files AS copy ON copy.item_id = twin.id "
    "WHERE twin.weak_id = mine.weak_id AND twin.id != mine.id AND copy.quick_hash IS NOT NULL AND copy.source_id != "
    "lone.source_id)))");

const QList<QStringList> scopes{{"A"}, {"B"}, {"A|d"}, {"P|#favorites", "B|e"}, {"A", "B|e"}};

class KeptCountsTest : public IndexFixture {
protected:
    // Two folder sources and a photo library: a lone item, one copied to both folders, weak-id
    // twins on different sources and on the same one, a photo library item in two albums, a
    // document not on this computer, and a file not yet linked.
    void addLibrary()
    {
        addSource("A");
        addSource("B");
        addSource("P", SourceKind::photos);
        addRows();
    }

    void addRows()
    {
        addItem({.id = "solo", .capturedAt = 100});
        addItem({.id = "pair", .capturedAt = 200});
        addItem({.id = "twin1", .capturedAt = 300, .weakID = "w"});
        addItem({.id = "twin2", .capturedAt = 300, .weakID = "w"});
        addItem({.id = "near1", .capturedAt = 50, .weakID = "x"});
        addItem({.id = "near2", .kind = MediaKind::video, .capturedAt = 400, .weakID = "x"});
        addItem({.id = "photo", .capturedAt = 500});
        addItem({.id = "memo", .kind = MediaKind::document, .capturedAt = 600});
        addFile({.sourceID = "A", .relPath = "d/solo.jpg", .itemID = "solo"});
        addFile({.sourceID = "A", .relPath = "d/pair.jpg", .itemID = "pair", .size = 7});
        addFile({.sourceID = "A", .relPath = "d/sub/solo.jpg", .itemID = "solo", .size = 5});
        addFile({.sourceID = "B", .relPath = "e/pair.jpg", .itemID = "pair", .size = 7});
        addFile({.sourceID = "A", .relPath = "t1.jpg", .itemID = "twin1"});
        addFile({.sourceID = "B", .relPath = "t2.jpg", .itemID = "twin2"});
        addFile({.sourceID = "A", .relPath = "n1.jpg", .itemID = "near1"});
        addFile({.sourceID = "A", .relPath = "n2.jpg", .itemID = "near2"});
        addFile({.sourceID = "P", .relPath = "One/k", .itemID = "photo", .size = 11, .assetID = "k", .favorite = true});
        addFile({.sourceID = "P", .relPath = "Two/k", .itemID = "photo", .size = 11, .assetID = "k", .favorite = true});
        addFile({.sourceID = "A", .relPath = "memo.pdf", .itemID = "memo", .size = 3, .local = false});
        addFile({.sourceID = "B", .relPath = "e/new.mov"});
        index.setFavorite("pair", true, "w");
        index.setFavorite("near2", true, "w");
    }

    QStringList rows(const QString& sql)
    {
        Statement statement(db.db(), sql);
        QStringList result;
        while (statement.step()) {
            QStringList values;
            for (int column = 0; column < sqlite3_column_count(statement.handle()); ++column)
                values.append(statement.isNull(column) ? QStringLiteral("NULL") : statement.text(column));
            result.append(values.join(u'|'));
        }
        return result;
    }

    qint64 fileID(const QString& sourceID, const QString& relPath)
    {
        return integer(QStringLiteral("SELECT id FROM files WHERE source_id = ? AND rel_path = ?"), {sourceID, relPath});
    }

    // Every kept count equals a fresh count of the rows, and every query that reads them answers
    // as the same query counted from every file row.
    void expectCountsMatchRows()
    {
        EXPECT_EQ(rows("SELECT * FROM source_states ORDER BY 1, 2"),
                  rows("SELECT source_id, state, COUNT(*) FROM files GROUP BY 1, 2 ORDER BY 1, 2"));
        EXPECT_EQ(rows("SELECT * FROM item_sources ORDER BY 1, 2"),
                  rows("SELECT item_id, source_id, COUNT(*) FROM files WHERE item_id IS NOT NULL AND quick_hash IS NOT "
                       "NULL GROUP BY 1, 2 ORDER BY 1, 2"));
        EXPECT_EQ(rows("SELECT * FROM lone_items ORDER BY 1"),
                  rows("SELECT l.item_id, l.source_id, COALESCE(i.kind, -1), i.captured_at, (SELECT SUM(size) FROM files "
                       "WHERE item_id = l.item_id), (SELECT SUM(local = 0) FROM files WHERE item_id = l.item_id) FROM (SELECT "
                       "item_id, MIN(source_id) AS source_id FROM files WHERE item_id IS NOT NULL AND quick_hash IS NOT NULL "
                       "GROUP BY 1 HAVING MIN(source_id) = MAX(source_id)) AS l LEFT JOIN items AS i ON i.id = l.item_id ORDER BY 1"));
        EXPECT_EQ(rows("SELECT * FROM lone_totals ORDER BY 1, 2"),
                  rows("SELECT source_id, kind, COUNT(*), SUM(size), SUM(not_local) FROM lone_items GROUP BY 1, 2 ORDER BY 1, 2"));
        EXPECT_EQ(rows("SELECT * FROM kind_totals ORDER BY 1"),
                  rows("SELECT kind, COUNT(*), (SELECT COALESCE(SUM(size), 0) FROM files JOIN items AS i ON i.id = item_id "
                       "WHERE i.kind = k.kind), (SELECT COALESCE(SUM(local = 0), 0) FROM files JOIN items AS i ON i.id = "
                       "item_id WHERE i.kind = k.kind) FROM items AS k GROUP BY 1 ORDER BY 1"));
        EXPECT_EQ(rows("SELECT * FROM item_places ORDER BY 1, 2"),
                  rows("SELECT f.item_id, f.source_id, COUNT(*), SUM(f.size), SUM(f.local = 0), COALESCE(i.kind, -1), "
                       "i.captured_at FROM files AS f LEFT JOIN items AS i ON i.id = f.item_id WHERE f.item_id IS NOT NULL "
                       "GROUP BY 1, 2 ORDER BY 1, 2"));
        EXPECT_EQ(rows("SELECT * FROM place_totals ORDER BY 1, 2"),
                  rows("SELECT source_id, kind, COUNT(*), SUM(size), SUM(not_local) FROM item_places GROUP BY 1, 2 ORDER BY 1, 2"));
        EXPECT_EQ(rows("SELECT * FROM place_sets ORDER BY 1, 2"),
                  rows("SELECT sources, kind, COUNT(*) FROM (SELECT item_id, group_concat(source_id, '|') AS sources, "
                       "MIN(kind) AS kind FROM (SELECT * FROM item_places ORDER BY item_id, source_id) GROUP BY 1) "
                       "GROUP BY 1, 2 ORDER BY 1, 2"));
        const QString weakCopies = "SELECT i.weak_id, f.source_id, i.id FROM files f JOIN items i ON i.id = f.item_id "
                                   "WHERE f.quick_hash IS NOT NULL AND i.weak_id IN (SELECT weak_id FROM items "
                                   "WHERE weak_id != '' GROUP BY weak_id HAVING COUNT(*) > 1)";
        EXPECT_EQ(rows("SELECT * FROM weak_id_sources ORDER BY 1, 2"),
                  rows("SELECT weak_id, source_id, COUNT(DISTINCT id) FROM (" + weakCopies + ") GROUP BY 1, 2 ORDER BY 1, 2"));
        EXPECT_EQ(rows("SELECT * FROM weak_id_counts ORDER BY 1"),
                  rows("SELECT weak_id, COUNT(DISTINCT source_id), (SELECT COUNT(*) FROM lone_items l JOIN items i ON "
                       "i.id = l.item_id WHERE i.weak_id = w.weak_id) FROM (" + weakCopies + ") AS w GROUP BY 1 ORDER BY 1"));
        EXPECT_EQ(rows("SELECT * FROM item_renderable ORDER BY 1"),
                  rows("SELECT item_id, COUNT(*) FROM files WHERE item_id IS NOT NULL AND (local = 1 OR asset_id != '') "
                       "GROUP BY 1 ORDER BY 1"));
        QMap<QString, qint64> folderFiles;
        for (const QString& row : rows("SELECT source_id, rel_path FROM files"))
            ++folderFiles[row.section(u'|', 0, 0) + u'|' + parentPath(row.section(u'|', 1))];
        QStringList folderRows;
        for (auto folder = folderFiles.cbegin(); folder != folderFiles.cend(); ++folder)
            folderRows.append(folder.key() + u'|' + QString::number(folder.value()));
        EXPECT_EQ(rows("SELECT * FROM folder_files ORDER BY 1, 2"), folderRows);
        EXPECT_EQ(rows("SELECT id, item_kind, item_captured_at, item_copies, is_copy FROM files ORDER BY id"),
                  rows("SELECT f.id, i.kind, i.captured_at, (SELECT COUNT(*) FROM files AS c WHERE c.item_id = f.item_id AND "
                       "c.quick_hash IS NOT NULL), f.item_id IS NOT NULL AND f.quick_hash IS NOT NULL FROM files AS f LEFT JOIN "
                       "items AS i ON i.id = f.item_id ORDER BY f.id"));
        const FullStatus previews = index.fullPreviewProgress();
        EXPECT_EQ(QStringList{QString::number(previews.total) + u'|' + QString::number(previews.done)},
                  rows("SELECT COUNT(*), COALESCE(SUM(proxy_ext != '' OR full_error IS NOT NULL), 0) FROM items i WHERE "
                       "kind IN (0, 1, 3) AND EXISTS (SELECT 1 FROM files f WHERE f.item_id = i.id AND (f.local = 1 OR "
                       "f.asset_id != ''))"));

        QueueStatus states;
        const std::array<qint64*, 5> byState{&states.found, &states.identified, &states.ready, &states.failed,
                                             &states.empty};
        for (const QString& row : rows("SELECT state, COUNT(*) FROM files GROUP BY state"))
            *byState[size_t(row.section(u'|', 0, 0).toInt())] = row.section(u'|', 1).toLongLong();
        EXPECT_EQ(index.stateCounts(), states);

        QHash<QString, Index::SourceProgress> progress;
        for (const QString& row : rows("SELECT source_id, SUM(state IN (2, 3, 4)), COUNT(*) FROM files GROUP BY source_id"))
            progress.insert(row.section(u'|', 0, 0), {row.section(u'|', 1, 1).toLongLong(), row.section(u'|', 2).toLongLong()});
        EXPECT_EQ(index.progressBySource(), progress);

        const QStringList lone = rows("SELECT id FROM items WHERE 1 = 1" + loneCopyFromFiles + " ORDER BY id");
        EXPECT_EQ(rows("SELECT id FROM items WHERE 1 = 1" + loneCopyClause() + " ORDER BY id"), lone);
        EXPECT_EQ(index.countNotBackedUp(std::nullopt), lone.size());
        for (const QStringList& keys : scopes) {
            SqlClause scoped{"SELECT COUNT(*) FROM items WHERE 1 = 1" + loneCopyFromFiles, {}};
            scoped.append(itemsWithFileWhere(scopeClause(keys)));
            EXPECT_EQ(index.countNotBackedUp(keys), integer(scoped.text, scoped.values)) << keys.join(u',').toStdString();
        }
        for (const QStringList& keys : scopes + QList<QStringList>{{"A", "B"}, {"A", "A|d", "P|#favorites"}, {"A", "B", "P"}, {"B", "P", "A|d"}}) {
            SqlClause scoped{"SELECT COUNT(*) FROM items WHERE 1 = 1", {}};
            scoped.append(itemsWithFileWhere(scopeClause(keys)));
            EXPECT_EQ(index.countScope(keys), integer(scoped.text, scoped.values)) << keys.join(u',').toStdString();
        }
        const QList<ViewFilter> places{
            {}, {.source = "A"}, {.source = "B"}, {.source = "P"}, {.source = "A", .path = "d"}, {.source = "B", .path = "e"},
            {.source = "P", .path = "One"}, {.scope = QStringList{"A", "B"}},
            {.scope = QStringList{"A", "B|e", "P|#favorites"}}, {.scope = QStringList{"B", "P", "A|d"}},
            {.favoritesWorkspace = "w"}, {.favoritesWorkspace = "w", .scope = QStringList{"B", "P|One"}},
            {.favoritesWorkspace = "w", .scope = QStringList{"A|d", "P"}}};
        for (ViewFilter view : places) {
            for (const std::optional<MediaKind> kind : {std::optional<MediaKind>(), std::optional(MediaKind::photo),
                                                        std::optional(MediaKind::video), std::optional(MediaKind::document)}) {
                view.kind = kind;
                view.notBackedUp = false;
                SCOPED_TRACE(view.source.value_or(view.scope.value_or(QStringList{"everything"}).join(u',')).toStdString() + "/"
                             + view.path.toStdString()
                             + (view.favoritesWorkspace ? " favorites" : "") + " kind " + std::to_string(kind ? rawValue(*kind) : -1));
                const LocationSummary expected = summaryFromRows(view);
                EXPECT_EQ(index.summary(view), expected);
                if (view.favoritesWorkspace && !kind)
                    EXPECT_EQ(index.countFavorites(*view.favoritesWorkspace, view.scope),
                              expected.photos + expected.videos + expected.audio + expected.documents);
                if (!view.scope && !view.favoritesWorkspace && kind != MediaKind::video) {
                    view.notBackedUp = true;
                    EXPECT_EQ(index.summary(view), summaryFromRows(view)) << "not backed up";
                }
            }
        }
    }

    // The panel's summary of a view without a search, counted from every file row.
    LocationSummary summaryFromRows(const ViewFilter& view)
    {
        SqlClause items{"SELECT id FROM items WHERE 1 = 1" + (view.notBackedUp ? loneCopyFromFiles : QString()), {}};
        if (view.kind)
            items.text += " AND kind = " + QString::number(rawValue(*view.kind));
        if (view.favoritesWorkspace)
            items.append({" AND (id IN (SELECT item_id FROM favorites WHERE workspace_id = ?) OR id IN (SELECT item_id FROM "
                          "files WHERE asset_id != '' AND favorite = 1))",
                          {*view.favoritesWorkspace}});
        SqlClause place{"1 = 1", {}};
        if (view.source && view.path.isEmpty())
            place = {"source_id = ?", {*view.source}};
        else if (view.source)
            place = {"source_id = ? AND substr(rel_path, 1, length(?) + 1) = ? || '/'", {*view.source, view.path, view.path}};
        else if (view.scope)
            place = scopeClause(*view.scope);
        if (view.source || view.scope) {
            items.text += " AND id IN (SELECT item_id FROM files WHERE " + place.text + ")";
            items.values.insert(items.values.end(), place.values.begin(), place.values.end());
        }

        LocationSummary summary;
        Statement kinds(db.db(), "SELECT kind, COUNT(*), MIN(captured_at), MAX(captured_at) FROM items WHERE id IN (" + items.text
                                     + ") GROUP BY kind");
        kinds.bind(items.values);
        while (kinds.step()) {
            summary.count(*mediaKindFromRawValue(kinds.int64(0))) = kinds.int64(1);
            const auto widen = [](std::optional<double>& bound, std::optional<double> value, auto better) {
                if (value && (!bound || better(*value, *bound)))
                    bound = value;
            };
            widen(summary.earliest, kinds.optionalReal(2), std::less<>());
            widen(summary.latest, kinds.optionalReal(3), std::greater<>());
        }
        Statement sizes(db.db(), "SELECT COALESCE(SUM(size), 0), COALESCE(SUM(local = 0), 0), COALESCE(SUM(CASE WHEN item_id IN "
                                     "(SELECT id FROM items WHERE kind = 3) THEN size END), 0) FROM files WHERE " + place.text
                                     + " AND item_id IN (" + items.text + ")");
        SqlValues values = place.values;
        values.insert(values.end(), items.values.begin(), items.values.end());
        sizes.bind(values);
        sizes.step();
        summary.size = sizes.int64(0);
        summary.notLocal = sizes.int64(1);
        summary.documentSize = sizes.int64(2);
        if (view.source)
            summary.onlyHere = integer("SELECT COUNT(*) FROM items WHERE id IN (" + items.text + ") AND NOT EXISTS (SELECT 1 FROM "
                                       "files WHERE item_id = items.id AND quick_hash IS NOT NULL AND NOT (" + place.text + "))",
                                       [&] {
                                           SqlValues all = items.values;
                                           all.insert(all.end(), place.values.begin(), place.values.end());
                                           return all;
                                       }());
        return summary;
    }
};

TEST_F(KeptCountsTest, CountsFollowEveryWriteOfTheIndex)
{
    addLibrary();
    const Item unused{.id = "unused"};
    struct Step {
        const char* what;
        std::function<void()> write;
        QStringList expectedLone;
    };
    const QList<Step> steps{
        {"the library as added", [] {}, {"memo", "near1", "near2", "photo", "solo"}},
        {"larger previews made and failed",
         [&] {
             index.setProxy("solo", "heic", {});
             index.setFullError("near1", "cannot decode");
             index.setProxy("memo", "none", {});
         },
         {"memo", "near1", "near2", "photo", "solo"}},
        {"a photo library asset not on this computer",
         [&] { index.updateFileSize(fileID("P", "Two/k"), 0, false); },
         {"memo", "near1", "near2", "solo"}},
        {"a copy reset by a change is no copy",
         [&] { index.syncFiles({FileRecord{.relativePath = "e/pair.jpg", .size = 8, .local = true},
                                FileRecord{.relativePath = "t2.jpg", .local = true},
                                FileRecord{.relativePath = "e/new.mov", .local = true}},
                               "B", {}); },
         {"memo", "near1", "near2", "pair", "solo"}},
        {"hashed again, it is a copy again",
         [&] { index.linkItem(fileID("B", "e/pair.jpg"), "hash-pair", unused); },
         {"memo", "near1", "near2", "solo"}},
        {"a twin's only copy is hashed to another item",
         [&] { index.linkItem(fileID("B", "t2.jpg"), "hash-solo", unused); },
         {"memo", "near1", "near2", "twin1"}},
        {"a move within a source",
         [&] { index.renameFile(fileID("A", "t1.jpg"), "d/t1.jpg"); },
         {"memo", "near1", "near2", "twin1"}},
        {"a move onto another file's path displaces that row",
         [&] { index.renameFile(fileID("A", "n2.jpg"), "n1.jpg"); },
         {"memo", "near2", "twin1"}},
        {"a moved file hands its item to its twin at the new path",
         [&] { index.applyChanges({{.sourceID = "A", .records = {FileRecord{.relativePath = "d/moved.jpg", .size = 7,
                                                                               .local = true}},
                                    .knownPaths = {"d/pair.jpg"}, .gaps = {}}}); },
         {"memo", "near2", "twin1"}},
        {"a failed file drops the item it waited to be hashed for",
         [&] {
             index.syncFiles({FileRecord{.relativePath = "d/solo.jpg", .size = 5, .local = true},
                              FileRecord{.relativePath = "d/moved.jpg", .size = 7, .local = true},
                              FileRecord{.relativePath = "d/t1.jpg", .local = true},
                              FileRecord{.relativePath = "n1.jpg", .local = true}},
                             "A", {});
             index.setFileState(fileID("A", "d/solo.jpg"), "unreadable", FileState::failed);
         },
         {"near2", "solo", "twin1"}},
        {"a deleted file", [&] { index.deleteFile(fileID("A", "n1.jpg")); }, {"solo", "twin1"}},
        {"an item read again as another kind", [&] { db.exec("UPDATE items SET kind = 1 WHERE id = 'twin1'"); },
         {"solo", "twin1"}},
        {"lone items on two sources take one weak id: twins, neither is lone",
         [&] { db.exec("UPDATE items SET weak_id = 'v' WHERE id IN ('solo', 'twin1')"); }, {}},
        {"a removed source", [&] { index.removeSource("B"); }, {"pair", "twin1"}},
        {"a rebuild empties the index", [&] { index.clearAll(); }, {}},
        {"and a scan fills it again", [&] {
             addSource("B");
             addRows();
         }, {"memo", "near1", "near2", "photo", "solo"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.write();
        EXPECT_EQ(rows("SELECT id FROM items WHERE 1 = 1" + loneCopyClause() + " ORDER BY id"), step.expectedLone);
        expectCountsMatchRows();
    }
}

TEST_F(KeptCountsTest, WriteThatFailsPartWayLeavesTheCountsAsTheyWere)
{
    addLibrary();
    const auto keptCounts = [&] {
        QStringList all;
        for (const char* table : {"source_states", "item_sources", "lone_items", "lone_totals", "kind_totals", "item_places", "place_totals", "place_sets", "weak_id_sources",
                                  "weak_id_counts", "item_renderable", "preview_progress", "folder_files"})
            all += rows(QStringLiteral("SELECT * FROM ") + table);
        return all + rows("SELECT id, item_kind, item_captured_at, item_copies, is_copy FROM files");
    };
    const QStringList before = keptCounts();

    // Linking a file makes its item, names it from the file and then dates the item: the last
    // step fails after the first two have changed the counts.
    db.exec("CREATE TEMP TRIGGER full_disk BEFORE UPDATE OF modified_at ON items BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    EXPECT_THROW(index.linkItem(fileID("B", "e/new.mov"), "hash-new",
                                Item{.id = "new", .quickHash = "hash-new", .filename = "t1.jpg", .capturedAt = 1, .width = 1, .height = 1}),
                 DatabaseError);
    db.exec("DROP TRIGGER full_disk");
    expectCountsMatchRows();

    // A statement that fails on its second row takes back what its first row changed, while the
    // transaction around it goes on and commits.
    {
        Transaction transaction(db);
        EXPECT_THROW(db.exec("UPDATE files SET source_id = 'B', rel_path = 'same' WHERE source_id = 'A'"), DatabaseError);
        transaction.commit();
    }
    expectCountsMatchRows();
    EXPECT_EQ(keptCounts(), before);
}

TEST_F(KeptCountsTest, UpgradeFromAnIndexWithoutThemCountsTheRows)
{
    addLibrary();
    // The layout before the counts were kept: no tables or triggers for them, version 8.
    for (const QString& trigger : rows("SELECT name FROM sqlite_master WHERE type = 'trigger'"))
        db.exec("DROP TRIGGER " + trigger);
    db.exec("DROP TABLE source_states; DROP TABLE item_sources; DROP TABLE lone_items; DROP TABLE lone_totals; "
            "DROP TABLE kind_totals; DROP TABLE item_places; DROP TABLE place_totals; DROP TABLE place_sets; DROP TABLE weak_id_sources; DROP TABLE weak_id_counts; DROP TABLE item_renderable; "
            "DROP TABLE preview_progress; DROP TABLE folder_files; PRAGMA user_version = 8");
    db.exec("UPDATE files SET item_kind = NULL, item_captured_at = NULL, item_copies = 0, is_copy = 0");

    index.migrate();
    EXPECT_EQ(integer("SELECT COUNT(*) FROM lone_items"), 7);
    expectCountsMatchRows();
    // The triggers are back: a write after the upgrade is counted.
    index.deleteFile(fileID("A", "d/solo.jpg"));
    expectCountsMatchRows();
}

} // namespace
