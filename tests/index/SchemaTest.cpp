#include "Pellmar/index/Index.h"
#include "Pellmar/index/Log.h"
#include "tests/support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>


namespace {

QStringList schemaOf(Database& db)
{
    Statement statement(db.db(), QStringLiteral("SELECT sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY name"));
    QStringList statements;
    while (statement.step())
        statements.append(statement.text(0) + QLatin1Char(';'));
    return statements;
}

qint64 integer(Database& db, const QString& sql)
{
    Statement statement(db.db(), sql);
    return statement.step() ? statement.int64(0) : -1;
}

// Every row of a query, its columns joined by "|" (NULL reads as "NULL").
QStringList rows(Database& db, const QString& sql)
{
    Statement statement(db.db(), sql);
    const int columns = sqlite3_column_count(statement.handle());
    QStringList result;
    while (statement.step()) {
        QStringList values;
        for (int column = 0; column < columns; ++column)
            values.append(statement.isNull(column) ? QStringLiteral("NULL") : statement.text(column));
        result.append(values.join(QLatin1Char('|')));
    }
    return result;
}

// Tables with their columns and declarations, and the indexes: what a migrated file must share with a new one.
QStringList layoutOf(Database& db)
{
    return rows(db, QStringLiteral("SELECT m.name, p.name, p.type, p.\"notnull\", p.dflt_value, p.pk FROM sqlite_master m, "
                                   "pragma_table_info(m.name) p WHERE m.type = 'table' ORDER BY m.name, p.name"))
        + rows(db, QStringLiteral("SELECT name, tbl_name FROM sqlite_master WHERE type = 'index' ORDER BY name"));
}

void loadFixture(const QString& path, const QString& fixture, std::optional<qint64> version = std::nullopt)
{
    QFile file(QStringLiteral(QUORVIN_FIXTURES "/index/") + fixture);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << fixture.toStdString();
    Database db(path);
    db.exec(QString::fromUtf8(file.readAll()));
    if (version)
        db.exec(QStringLiteral("PRAGMA user_version = %1").arg(*version));
}

class SchemaTest : public ::testing::Test {
protected:
    bool migrate(Index& index) { return waitFor(index.run([](Index& ix) { return ix.migrate(); })); }

    QStringList newFileLayout()
    {
        Index fresh(dir.filePath(QStringLiteral("fresh.sqlite")));
        migrate(fresh);
        return layoutOf(fresh.database());
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("index.sqlite"));
};

TEST_F(SchemaTest, NewFileGetsTheCurrentSchemaOfTheGoldenFile)
{
    // The golden file is what `sqlite3 index.sqlite "SELECT sql || ';' FROM sqlite_master WHERE sql IS NOT NULL
    // ORDER BY name"` prints for a new index; a deliberate schema change regenerates it.
    QFile golden(QStringLiteral(QUORVIN_TEST_DATA "/data/schema.sql"));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));

    LogCapture log(logIndex());
    Index index(path);
    EXPECT_FALSE(migrate(index));
    const QStringList lines = log.take();

    Database& db = index.database();
    EXPECT_EQ(schemaOf(db).join(QLatin1Char('\n')) + QLatin1Char('\n'), QString::fromUtf8(golden.readAll()));
    EXPECT_EQ(integer(db, QStringLiteral("PRAGMA user_version")), 20);
    Statement workspace(db.db(), QStringLiteral("SELECT id, name, symbol, tint, position FROM workspaces"));
    ASSERT_TRUE(workspace.step());
    EXPECT_EQ(QStringList({workspace.text(0), workspace.text(1), workspace.text(2), workspace.text(3),
                           QString::number(workspace.int64(4))}),
              QStringList({"everything", "Everything", "house", "accent", "0"}));
    EXPECT_FALSE(workspace.step());

    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("migrate full path from version 0: user_version "))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("migrate full path finished in "))) << lines[1].toStdString();
}

TEST_F(SchemaTest, SecondRunTakesTheFastPathAndWritesNothing)
{
    {
        Index writer(path);
        migrate(writer);
    }
    // A connection that refuses writes shows that the fast path writes nothing.
    Index reader(path, Index::Access::readOnly);

    LogCapture log(logIndex());
    EXPECT_FALSE(migrate(reader));
    const QStringList lines = log.take();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral(
                    R"(^migrate fast path at version 20: user_version \d+\.\d\d ms, table probe \d+\.\d\d ms, total \d+\.\d\d ms$)"))
                    .match(lines[0])
                    .hasMatch())
        << lines[0].toStdString();
}

TEST_F(SchemaTest, FastPathAddsASpeedIndexThatAFileAtTheCurrentVersionLacks)
{
    Index index(path);
    migrate(index);
    Database& db = index.database();
    db.exec(QStringLiteral("DROP INDEX search_item"));

    LogCapture log(logIndex());
    EXPECT_FALSE(migrate(index));
    EXPECT_TRUE(log.take().first().startsWith(QStringLiteral("migrate fast path")));
    EXPECT_EQ(layoutOf(db), newFileLayout());
}

TEST_F(SchemaTest, LayoutsOlderThanTheBaseStartEmptyButKeepWorkspacesFavoritesAndPins)
{
    for (const qint64 version : {1, 0, -3}) {
        SCOPED_TRACE(version);
        QFile::remove(path);
        loadFixture(path, QStringLiteral("version1.sql"), version);
        LogCapture log(logIndex());
        Index index(path);
        EXPECT_TRUE(migrate(index));
        Database& db = index.database();

        EXPECT_EQ(integer(db, QStringLiteral("PRAGMA user_version")), 20);
        EXPECT_EQ(layoutOf(db), newFileLayout());
        for (const char* table : {"sources", "files", "items", "search"})
            EXPECT_EQ(integer(db, QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))), 0) << table;
        // With foreign keys on, dropping `sources` deletes the folder rows of the dropped sources by the
        // cascade, so no folder row points at a source that is gone.
        EXPECT_EQ(integer(db, QStringLiteral("SELECT COUNT(*) FROM folders")), 0);
        EXPECT_TRUE(rows(db, QStringLiteral("PRAGMA foreign_key_check")).isEmpty());

        EXPECT_EQ(rows(db, QStringLiteral("SELECT * FROM favorites")), QStringList{"everything|I1|70.0"});
        EXPECT_EQ(rows(db, QStringLiteral("SELECT id, name, symbol, tint, position FROM workspaces ORDER BY id")),
                  QStringList({"W1|Family|square.grid.2x2|green|1", "everything|All of it|house|blue|2"}));
        EXPECT_EQ(rows(db, QStringLiteral("SELECT * FROM workspace_sources")), QStringList{"W1|S1|"});
        EXPECT_EQ(rows(db, QStringLiteral("SELECT * FROM pins")), QStringList{"W1|S1|trips|0"});
        EXPECT_TRUE(log.take().contains(QStringLiteral("migrate requeued 0 Apple Photos items for full previews")));

        // What was dropped is kept in a copy beside the index, named after the version it had.
        Database copy(dir.filePath(QStringLiteral("index-version%1.sqlite").arg(version)));
        EXPECT_EQ(rows(copy, QStringLiteral("SELECT id, filename FROM items")), QStringList{"I1|a.jpg"});
        EXPECT_EQ(integer(copy, QStringLiteral("PRAGMA user_version")), version);
    }
}

TEST_F(SchemaTest, BaseLayoutsUpgradeInPlaceAndRequeuePhotosPreviewsBelowVersion4)
{
    const QStringList layout = newFileLayout();
    struct Case {
        qint64 version;
        std::optional<qint64> requeued; // nothing: no re-queue at all
    };
    for (const Case& test : {Case{2, 2}, Case{3, 2}, Case{4, {}}, Case{7, {}}, Case{12, {}}, Case{13, {}}}) {
        SCOPED_TRACE(test.version);
        QFile::remove(path);
        loadFixture(path, QStringLiteral("version3.sql"), test.version);
        LogCapture log(logIndex());
        Index index(path);
        EXPECT_FALSE(migrate(index));
        Database& db = index.database();

        EXPECT_EQ(integer(db, QStringLiteral("PRAGMA user_version")), 20);
        EXPECT_EQ(layoutOf(db), layout);
        const QStringList lines = log.take();
        const QStringList requeueLines = lines.filter(QStringLiteral("requeued"));
        if (test.requeued) {
            EXPECT_EQ(requeueLines,
                      QStringList{QStringLiteral("migrate requeued %1 Apple Photos items for full previews").arg(*test.requeued)});
            EXPECT_EQ(rows(db, QStringLiteral("SELECT id FROM items WHERE full_error IS NULL AND (id LIKE 'REQUEUE%' "
                                              "OR id LIKE 'KEEP%') ORDER BY id")),
                      QStringList({"REQUEUE_PHOTO", "REQUEUE_VIDEO"}));
        } else {
            EXPECT_TRUE(requeueLines.isEmpty());
            EXPECT_EQ(integer(db, QStringLiteral("SELECT COUNT(*) FROM items WHERE full_error IS NOT NULL")), 5);
        }

        EXPECT_EQ(rows(db, QStringLiteral("SELECT id, name FROM sources ORDER BY id")),
                  QStringList({"DIR|Photos", "LIB|Apple Photos"}));
        EXPECT_EQ(rows(db, QStringLiteral("SELECT id, weak_id FROM items WHERE id IN ('WEAK', 'WEAK_ACCENTS', 'NO_DATE', "
                                          "'NO_WIDTH') ORDER BY id")),
                  QStringList({"NO_DATE|", "NO_WIDTH|", "WEAK|img_0001.jpg|4000x3000|1700000000",
                               "WEAK_ACCENTS|ÉtÉ.jpg|10x20|1700000001"}));
        // Both item dates were added, so every item with files gets them from its newest file.
        EXPECT_EQ(rows(db, QStringLiteral("SELECT id, modified_at, added_at FROM items WHERE id IN ('WEAK', "
                                          "'KEEP_ALSO_IN_FOLDER', 'NO_DATE') ORDER BY id")),
                  QStringList({"KEEP_ALSO_IN_FOLDER|30.0|0.0", "NO_DATE|0.0|0.0", "WEAK|45.0|0.0"}));
        EXPECT_EQ(rows(db, QStringLiteral("SELECT item_id FROM search WHERE search MATCH 'img_0001'")),
                  QStringList{"WEAK"});
        EXPECT_EQ(rows(db, QStringLiteral("SELECT id, symbol FROM workspaces")), QStringList{"everything|house"});
    }
}

TEST_F(SchemaTest, ExistingItemDatesWorkspacesAndMembersAreKept)
{
    loadFixture(path, QStringLiteral("version7.sql"));
    Index index(path);
    EXPECT_FALSE(migrate(index));
    Database& db = index.database();

    EXPECT_EQ(layoutOf(db), newFileLayout());
    EXPECT_EQ(rows(db, QStringLiteral("SELECT modified_at, added_at, uti, full_error FROM items")),
              QStringList{"5.0|6.0||export failed"});
    EXPECT_EQ(rows(db, QStringLiteral("SELECT id, name, symbol, tint, position, created_at FROM workspaces")),
              QStringList{"everything|Everything|house|accent|0|1.0"});
    EXPECT_EQ(rows(db, QStringLiteral("SELECT * FROM workspace_sources")), QStringList{"W1|LIB|Albums"});
    EXPECT_EQ(rows(db, QStringLiteral("SELECT * FROM favorites")), QStringList{"W1|VIDEO|7.0"});
}

TEST_F(SchemaTest, FullPathRunsAgainOnAFileThatAlreadyHasItsSteps)
{
    {
        Index index(path);
        migrate(index);
        Database& db = index.database();
        db.exec(QStringLiteral("INSERT INTO sources VALUES ('S', 'n', '/r', 'u', 'v', 1, 0);"
                               "INSERT INTO items (id, quick_hash, kind, filename, created_at) VALUES ('I', 'h', 0, 'f', 1);"
                               "INSERT INTO files (source_id, rel_path, size, mtime, item_id) VALUES ('S', 'f', 1, 2, 'I');"
                               "INSERT INTO folders VALUES ('S', 'd', '', 3);"));
    }
    const auto content = [](Database& db) {
        return rows(db, QStringLiteral("SELECT * FROM sources")) + rows(db, QStringLiteral("SELECT * FROM files"))
            + rows(db, QStringLiteral("SELECT * FROM items")) + rows(db, QStringLiteral("SELECT * FROM folders"))
            + rows(db, QStringLiteral("SELECT * FROM workspaces"));
    };

    // Version 2 is what an upgrade that failed half-way leaves; the current version without `items` a damaged file.
    for (const QString& damage : {QStringLiteral("PRAGMA user_version = 2"), QStringLiteral("DROP TABLE items")}) {
        SCOPED_TRACE(damage.toStdString());
        Index index(path);
        Database& db = index.database();
        const QStringList before = content(db);
        db.exec(damage);
        const qint64 version = integer(db, QStringLiteral("PRAGMA user_version"));

        LogCapture log(logIndex());
        EXPECT_FALSE(migrate(index));
        EXPECT_TRUE(log.take().first().startsWith(QStringLiteral("migrate full path from version %1:").arg(version)));
        EXPECT_EQ(layoutOf(db), newFileLayout());
        if (damage.startsWith(QStringLiteral("PRAGMA")))
            EXPECT_EQ(content(db), before);
        else
            EXPECT_EQ(integer(db, QStringLiteral("SELECT COUNT(*) FROM files")), 1);
    }
}

// A version that cannot be read is not version 0: reading it as such would have the tables of a
// file that is fine dropped as too old to upgrade.
TEST_F(SchemaTest, VersionThatCannotBeReadStopsTheMigrationAndDropsNothing)
{
    {
        Index index(path);
        migrate(index);
        index.database().exec(QStringLiteral("INSERT INTO sources VALUES ('S', 'n', '/r', 'u', 'v', 1, 0)"));
    }
    Index index(path);
    Database& db = index.database();
    // Interrupts the first statement stepped, the version probe, and lets every later one run.
    int calls = 0;
    sqlite3_progress_handler(
        db.db(), 1, [](void* context) { return ++*static_cast<int*>(context) == 1 ? 1 : 0; }, &calls);

    try {
        migrate(index);
        FAIL() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.description(), QString::fromUtf8(sqlite3_errstr(SQLITE_INTERRUPT)));
    }
    sqlite3_progress_handler(db.db(), 0, nullptr, nullptr);
    EXPECT_EQ(rows(db, QStringLiteral("SELECT id FROM sources")), QStringList{"S"});
    EXPECT_EQ(integer(db, QStringLiteral("PRAGMA user_version")), 20);
}

TEST_F(SchemaTest, FailingStatementThrowsAndLeavesTheFileAsItWas)
{
    {
        Database db(path);
        db.exec(QStringLiteral("CREATE TABLE workspaces (id TEXT PRIMARY KEY)"));
    }
    Index index(path);
    try {
        migrate(index);
        FAIL() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.description(), QStringLiteral("no such column: symbol"));
    }
    EXPECT_EQ(integer(index.database(), QStringLiteral("PRAGMA user_version")), 0);
    EXPECT_EQ(rows(index.database(), QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")), QStringList{"workspaces"});
}

// An upgrade killed during the date backfill must not leave the new date columns at 0 for good.
TEST_F(SchemaTest, UpgradeInterruptedDuringTheBackfillIsRunAgainInFull)
{
    loadFixture(path, QStringLiteral("version3.sql"));
    Index index(path);
    Database& db = index.database();
    sqlite3_trace_v2(
        db.db(), SQLITE_TRACE_STMT,
        [](unsigned, void*, void* statement, void*) {
            if (QByteArray(sqlite3_sql(static_cast<sqlite3_stmt*>(statement))).startsWith("UPDATE items SET modified_at"))
                sqlite3_interrupt(sqlite3_db_handle(static_cast<sqlite3_stmt*>(statement)));
            return 0;
        },
        nullptr);
    EXPECT_THROW(migrate(index), DatabaseError);
    sqlite3_trace_v2(db.db(), 0, nullptr, nullptr);
    EXPECT_EQ(integer(db, QStringLiteral("PRAGMA user_version")), 3);
    EXPECT_EQ(integer(db, QStringLiteral("SELECT COUNT(*) FROM pragma_table_info('items') WHERE name = 'modified_at'")), 0);

    EXPECT_FALSE(migrate(index));
    EXPECT_EQ(rows(db, QStringLiteral("SELECT modified_at FROM items WHERE id = 'WEAK'")), QStringList{"45.0"});
    EXPECT_EQ(layoutOf(db), newFileLayout());
}

// The tables' shape, not the version number alone, decides whether tables are dropped.
TEST_F(SchemaTest, DamagedVersionNumberNeverDropsTablesOfANewerLayout)
{
    for (const qint64 misread : {0, 1}) {
        SCOPED_TRACE(misread);
        QFile::remove(path);
        {
            Index index(path);
            migrate(index);
            index.database().exec(QStringLiteral(
                "INSERT INTO sources VALUES ('S', 'n', '/r', 'u', 'v', 1, 0); INSERT INTO items (id, quick_hash, kind, "
                "filename, created_at) VALUES ('I', 'h', 0, 'f', 1); INSERT INTO favorites VALUES ('everything', 'I', 2);"
                "PRAGMA user_version = %1").arg(misread));
        }
        Index index(path);
        LogCapture log(logIndex());
        EXPECT_FALSE(migrate(index));
        Database& db = index.database();
        EXPECT_EQ(rows(db, QStringLiteral("SELECT id FROM items")), QStringList{"I"});
        EXPECT_EQ(rows(db, QStringLiteral("SELECT item_id FROM favorites")), QStringList{"I"});
        EXPECT_EQ(integer(db, QStringLiteral("PRAGMA user_version")), 20);
        EXPECT_TRUE(log.take().filter(QStringLiteral("requeued")).isEmpty());
        EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("index-version*")}), QStringList());
    }
}

TEST_F(SchemaTest, LayoutThatMatchesNoVersionIsRefusedAndLeftAsItIs)
{
    loadFixture(path, QStringLiteral("version1.sql"), 5);
    QFile file(path);
    const auto bytes = [&file] {
        file.open(QIODevice::ReadOnly);
        const QByteArray content = file.readAll();
        file.close();
        return content;
    };
    const QByteArray before = bytes();
    {
        Index index(path);
        try {
            migrate(index);
            FAIL() << "no error";
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.description(), QStringLiteral("The index at %1 says it is version 5 but its tables match no "
                                                          "known layout; it was left as it is.")
                                               .arg(path));
        }
    }
    EXPECT_EQ(bytes(), before);
}

TEST_F(SchemaTest, FastPathOnAFileMissingATableLogsAndGoesOn)
{
    Index index(path);
    migrate(index);
    index.database().exec(QStringLiteral("DROP TABLE search; DROP TABLE files"));

    LogCapture log(logIndex());
    EXPECT_FALSE(migrate(index));
    const QStringList lines = log.take();
    EXPECT_EQ(lines.filter(QStringLiteral("table search_content is missing")).size(), 1);
    EXPECT_GE(lines.filter(QStringLiteral("table files is missing")).size(), 1);
    EXPECT_TRUE(lines.last().startsWith(QStringLiteral("migrate fast path at version 20")));
}

} // namespace
