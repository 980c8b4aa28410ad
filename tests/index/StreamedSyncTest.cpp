#include "Pellmar/index/Index.h"
#include "Pellmar/index/IndexRows.h"
#include "Pellmar/index/WalkedFiles.h"

#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>

// The sync that compares a walk with the rows in path order must leave exactly the rows that a
// lookup of every walked path leaves. The lookup is kept here as the reference.

namespace {

constexpr double base = 1700000000.0;

struct Stored {
    QString path;
    qint64 size = 100;
    double modified = base;
    bool local = true;
    QString item;   // "" for none
};

FileRecord onDisk(const QString& path, qint64 size = 100, double modified = base, bool local = true)
{
    return FileRecord{.relativePath = path, .size = size, .modified = modified, .local = local};
}

Index::WalkGaps unlisted(const QStringList& folders, bool rootVanished = false)
{
    Index::WalkGaps gaps;
    gaps.unlistedFolders = folders;
    gaps.rootVanished = rootVanished;
    return gaps;
}

// The reference: one lookup per walked path, then every row the walk did not list deleted, except
// below its gaps; returns the rows inserted, reset or deleted.
qint64 referenceSync(Database& db, const QList<FileRecord>& records, const QString& sourceID, const Index::WalkGaps& gaps)
{
    Transaction transaction(db);
    Statement probe(db.db(), QStringLiteral("SELECT size, mtime, local FROM files WHERE source_id = ? AND rel_path = ?"));
    qint64 count = 0;
    QSet<QString> listed;
    for (const FileRecord& record : records) {
        listed.insert(record.relativePath);
        probe.bind({sourceID, record.relativePath});
        if (!probe.step()) {
            db.run(QStringLiteral("INSERT INTO files (source_id, rel_path, size, mtime, state, asset_id, local) "
                                  "VALUES (?, ?, ?, ?, 0, '', ?)"),
                   {sourceID, record.relativePath, record.size, record.modified, record.local});
            ++count;
            continue;
        }
        const qint64 size = probe.int64(0);
        const double modified = probe.real(1);
        const bool local = probe.boolean(2);
        probe.reset();
        const bool sameTime = std::abs(modified - record.modified) <= 1.0;
        if (local && !record.local && sameTime) {
            db.run(QStringLiteral("UPDATE files SET local = 0 WHERE source_id = ? AND rel_path = ?"),
                   {sourceID, record.relativePath});
        } else if (!sameTime || size != record.size || local != record.local) {
            db.run(QStringLiteral("UPDATE files SET size = ?, mtime = ?, quick_hash = NULL, state = 0, error = NULL, "
                                  "local = ? WHERE source_id = ? AND rel_path = ?"),
                   {record.size, record.modified, record.local, sourceID, record.relativePath});
            ++count;
        }
    }
    if (!gaps.covers(QString())) {
        Statement rows(db.db(), QStringLiteral("SELECT id, rel_path, item_id FROM files WHERE source_id = ?"));
        rows.bind({sourceID});
        QList<qint64> unseen;
        QSet<QString> items;
        while (rows.step()) {
            const QString path = rows.text(1);
            const bool belowGap = std::any_of(gaps.unlistedFolders.begin(), gaps.unlistedFolders.end(),
                                              [&](const QString& folder) { return path.startsWith(folder + u'/'); });
            if (listed.contains(path) || belowGap)
                continue;
            unseen.append(rows.int64(0));
            if (!rows.isNull(2))
                items.insert(rows.text(2));
        }
        for (const qint64 id : unseen)
            db.run(QStringLiteral("DELETE FROM files WHERE id = ?"), {id});
        for (const QString& item : items)
            removeItemIfOrphan(db, item);
        count += unseen.size();
    }
    transaction.commit();
    return count;
}

// The walk's records in byte order of their UTF-8 paths, as a walker hands them on.
QList<FileRecord> inByteOrder(QList<FileRecord> records)
{
    std::stable_sort(records.begin(), records.end(), [](const FileRecord& a, const FileRecord& b) {
        return a.relativePath.toUtf8() < b.relativePath.toUtf8();
    });
    return records;
}

// Packs the records in runs of three, as a walk does.
WalkedFiles packed(const QList<FileRecord>& records, const Index::WalkGaps& gaps)
{
    WalkedFiles walked;
    FileBatch batch;
    for (const FileRecord& record : records) {
        batch.add({}, record.relativePath.toUtf8(), record.size, record.modified, record.local);
        if (batch.size() == 3)
            walked.append(std::exchange(batch, FileBatch()));
    }
    walked.append(std::move(batch));
    walked.finish(gaps);
    return walked;
}

// Syncs the packed records in one go, or in the shortest steps (one file, row or batch of
// deletions each), each its own transaction.
Index::SyncCounts packedSync(Index& index, const QList<FileRecord>& records, const QString& sourceID,
                               const Index::WalkGaps& gaps, bool inSteps = false)
{
    WalkedFiles walked = packed(records, gaps);
    if (!inSteps)
        return index.syncFiles(walked, sourceID);
    SteppedFileSync sync(walked, sourceID);
    while (!sync.step(index, std::chrono::nanoseconds(0))) {
    }
    return sync.counts();
}

class Indexes {
public:
    explicit Indexes(const QList<Stored>& rows)
    {
        for (Index* index : {&reference, &tested}) {
            index->migrate();
            Database& db = index->database();
            db.run(QStringLiteral("INSERT INTO sources (id, name, root_path, volume_uuid, volume_name, added_at, kind) "
                                  "VALUES ('S', 'S', '/S', '', '', 0, 0)"));
            for (const Stored& row : rows) {
                if (!row.item.isEmpty())
                    db.run(QStringLiteral("INSERT OR IGNORE INTO items (id, quick_hash, kind, filename) VALUES (?, ?, 0, ?)"),
                           {row.item, QStringLiteral("hash-") + row.item, row.path});
                db.run(QStringLiteral("INSERT INTO files (source_id, rel_path, size, mtime, item_id, quick_hash, state, "
                                      "asset_id, local) VALUES ('S', ?, ?, ?, ?, ?, ?, '', ?)"),
                       {row.path, row.size, row.modified, row.item.isEmpty() ? SqlValue() : SqlValue(row.item),
                        row.item.isEmpty() ? SqlValue() : SqlValue(QStringLiteral("hash-") + row.item),
                        row.item.isEmpty() ? qint64(0) : qint64(2), row.local});
            }
        }
    }

    // Every row of the source and every item, as text.
    static QStringList rows(Index& index)
    {
        QStringList lines;
        Statement files(index.database().db(),
                        QStringLiteral("SELECT rel_path, size, mtime, local, state, item_id, quick_hash FROM files "
                                       "WHERE source_id = 'S' ORDER BY rel_path"));
        files.bind({});
        while (files.step()) {
            lines.append(QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                             .arg(files.text(0), files.text(1), files.text(2), files.text(3), files.text(4),
                                  files.text(5), files.text(6)));
        }
        Statement items(index.database().db(), QStringLiteral("SELECT id FROM items ORDER BY id"));
        items.bind({});
        while (items.step())
            lines.append(QStringLiteral("item ") + items.text(0));
        return lines;
    }

    QTemporaryDir dir;
    Index reference{dir.filePath(QStringLiteral("reference.sqlite"))};
    Index tested{dir.filePath(QStringLiteral("tested.sqlite"))};
};

// Stored rows whose names sort differently by UTF-8 bytes than by UTF-16 code units (U+FF5E and
// U+1F600), sit around "/" in byte order ("a.jpg", "a/…", "a0"), or are hostile to SQL and LIKE.
const QList<Stored> storedRows{
    {.path = "keep.jpg"},
    {.path = "changed.jpg"},
    {.path = "gone.jpg", .item = "GONE"},
    {.path = "old/moved.jpg", .item = "MOVED"},
    {.path = "shared/one.jpg", .item = "SHARED"},
    {.path = "shared/two.jpg", .item = "SHARED"},
    {.path = QString::fromUtf8("\xef\xbd\x9e wave.jpg")},
    {.path = QString::fromUtf8("\xf0\x9f\x98\x80 smile.jpg")},
    {.path = QString::fromUtf8("caf\xc3\xa9/\xc3\xa9t\xc3\xa9.jpg")},
    {.path = "a.jpg"},
    {.path = "a/b.jpg"},
    {.path = "a0"},
    {.path = "a-b/c.jpg"},
    {.path = "100%_like'; DROP TABLE files;--.jpg"},
    {.path = "line\nbreak.jpg"},
    {.path = "cloud.jpg"},
    {.path = "locked/inside.jpg", .item = "LOCKED"},
    {.path = "locked"},
};

QList<FileRecord> walkOf(const QStringList& paths)
{
    QList<FileRecord> records;
    for (const QString& path : paths)
        records.append(onDisk(path));
    return records;
}

TEST(StreamedSync, GivesTheRowsOfALookupOfEveryPath)
{
    QList<FileRecord> changedWalk = walkOf({QString::fromUtf8("\xf0\x9f\x98\x80 smile.jpg"), "keep.jpg", "a0",
                                            "new/moved.jpg", "shared/one.jpg", "a/b.jpg", "a/new.jpg",
                                            QString::fromUtf8("\xef\xbd\x9e wave.jpg"), "a-b/c.jpg",
                                            "100%_like'; DROP TABLE files;--.jpg", "line\nbreak.jpg",
                                            QString::fromUtf8("caf\xc3\xa9/\xc3\xa9t\xc3\xa9.jpg"), "zz/new\ttab.jpg"});
    changedWalk.append(onDisk("changed.jpg", 200));
    changedWalk.append(onDisk("cloud.jpg", 0, base + 0.5, false));
    QList<FileRecord> twice = walkOf({"keep.jpg", "dup.jpg", "a.jpg"});
    twice.append(onDisk("dup.jpg", 5));
    twice.append(onDisk("keep.jpg", 7));

    const struct {
        const char* situation;
        QList<FileRecord> walk;
        Index::WalkGaps gaps;
    } cases[] = {
        {"new, changed, removed, moved and no longer local", changedWalk, {}},
        {"an unreadable folder keeps what lies below it", changedWalk, unlisted({"locked", "shared"})},
        {"an unreadable root keeps every row", changedWalk, unlisted({""})},
        {"a walk that lost its root deletes nothing", changedWalk, unlisted({}, true)},
        {"an empty walk removes every row", {}, {}},
        {"a path walked twice", twice, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        for (const bool sorted : {true, false}) {
            SCOPED_TRACE(sorted ? "in byte order" : "in walking order");
            const QList<FileRecord> walk = sorted ? inByteOrder(c.walk) : c.walk;
            Indexes listed(storedRows);
            const qint64 expected = referenceSync(listed.reference.database(), walk, "S", c.gaps);
            EXPECT_EQ(listed.tested.syncFiles(walk, "S", c.gaps), expected);
            EXPECT_EQ(Indexes::rows(listed.tested), Indexes::rows(listed.reference));

            if (c.gaps.rootVanished)
                continue;   // checked below: the sync of packed runs writes nothing then
            for (const bool inSteps : {false, true}) {
                SCOPED_TRACE(inSteps ? "packed, in steps" : "packed, at once");
                Indexes packed(storedRows);
                referenceSync(packed.reference.database(), walk, "S", c.gaps);
                const Index::SyncCounts counts = packedSync(packed.tested, walk, "S", c.gaps, inSteps);
                EXPECT_EQ(counts.written(), expected);
                EXPECT_EQ(counts.files, walk.size());
                EXPECT_EQ(Indexes::rows(packed.tested), Indexes::rows(packed.reference));
            }
        }
    }
}

TEST(StreamedSync, AWalkThatLostItsRootWritesNothing)
{
    Indexes indexes(storedRows);
    const QStringList before = Indexes::rows(indexes.tested);
    QList<FileRecord> walk = walkOf({"brand new.jpg", "keep.jpg"});
    walk.append(onDisk("changed.jpg", 200));
    const Index::SyncCounts counts = packedSync(indexes.tested, inByteOrder(walk), "S", unlisted({}, true));
    EXPECT_EQ(counts.written(), 0);
    EXPECT_EQ(Indexes::rows(indexes.tested), before);
}

// A walk cut short before it ended (an exception, a job dropped) deletes nothing.
TEST(StreamedSync, AWalkThatNeverEndedWritesNothing)
{
    Indexes indexes(storedRows);
    const QStringList before = Indexes::rows(indexes.tested);
    WalkedFiles walked;
    FileBatch batch;
    batch.add({}, "brand new.jpg", 1, base, true);
    walked.append(std::move(batch));
    EXPECT_EQ(indexes.tested.syncFiles(walked, "S").written(), 0);
    EXPECT_EQ(Indexes::rows(indexes.tested), before);
}

// Between the steps of a merge other writes run: a row the merge passed as unseen that was renamed
// meanwhile stays, a row another write inserted where the walk lists a file is taken as that
// file's, and a merge stopped part way has deleted nothing.
TEST(StreamedSync, StepsLeaveRoomForOtherWritesAndAStoppedMergeDeletesNothing)
{
    const QList<Stored> stored{{.path = "a.jpg"}, {.path = "b.jpg"}, {.path = "gone.jpg"},
                               {.path = "z.jpg"}};
    const QList<FileRecord> walk = walkOf({"a.jpg", "b.jpg", "m.jpg", "x.jpg", "z.jpg"});
    const auto steps = [](Index& index, SteppedFileSync& sync, int count) {
        for (int i = 0; i < count; ++i)
            ASSERT_FALSE(sync.step(index, std::chrono::nanoseconds(0)));
    };

    Indexes stopped(stored);
    {
        WalkedFiles walked = packed(walk, {});
        SteppedFileSync sync(walked, "S");
        steps(stopped.tested, sync, 3);   // a, b, then m, which passes gone.jpg as unseen
    }
    QStringList paths;
    for (const QString& row : Indexes::rows(stopped.tested))
        paths.append(row.section(u'|', 0, 0));
    EXPECT_EQ(paths, (QStringList{"a.jpg", "b.jpg", "gone.jpg", "m.jpg", "z.jpg"}));

    Indexes renamed(stored);
    WalkedFiles walked = packed(walk, {});
    SteppedFileSync sync(walked, "S");
    steps(renamed.tested, sync, 3);
    Database& db = renamed.tested.database();
    db.run(QStringLiteral("UPDATE files SET rel_path = 'aa renamed.jpg' WHERE rel_path = 'gone.jpg'"));
    db.run(QStringLiteral("INSERT INTO files (source_id, rel_path, size, mtime, state, asset_id, local) "
                          "VALUES ('S', 'x.jpg', 100, ?, 0, '', 1)"),
           {base});
    while (!sync.step(renamed.tested, std::chrono::nanoseconds(0))) {
    }
    paths.clear();
    for (const QString& row : Indexes::rows(renamed.tested))
        paths.append(row.section(u'|', 0, 0));
    EXPECT_EQ(paths, (QStringList{"a.jpg", "aa renamed.jpg", "b.jpg", "m.jpg", "x.jpg", "z.jpg"}));
    EXPECT_EQ(sync.counts().added, 1);
    EXPECT_EQ(sync.counts().deleted, 0);
}

TEST(StreamedSync, ASyncThatCannotWriteThrows)
{
    Indexes indexes({});
    indexes.tested.database().exec(QStringLiteral("PRAGMA query_only = 1"));
    WalkedFiles walked;
    FileBatch batch;
    batch.add({}, "a.jpg", 1, base, true);
    walked.append(std::move(batch));
    walked.finish({});
    EXPECT_THROW(indexes.tested.syncFiles(walked, "S"), DatabaseError);
}

} // namespace
