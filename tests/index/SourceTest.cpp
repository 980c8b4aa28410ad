#include "IndexFixture.h"

namespace {

class SourceTest : public IndexFixture {
protected:
    void addItem(const QString& itemID)
    {
        db.run(QStringLiteral("INSERT INTO items (id, quick_hash, kind, filename, created_at) VALUES (?, ?, 0, 'f', 0)"),
               {itemID, itemID});
        db.run(QStringLiteral("INSERT INTO search (item_id, text) VALUES (?, 'f')"), {itemID});
    }
    void addFile(const QString& sourceID, const QString& path, const QString& itemID)
    {
        db.run(QStringLiteral("INSERT INTO files (source_id, rel_path, size, mtime, item_id) VALUES (?, ?, 1, 0, ?)"),
               {sourceID, path, itemID});
    }
    QString column(const QString& sql)
    {
        Statement statement(db.db(), sql);
        QStringList values;
        while (statement.step())
            values.append(statement.text(0));
        return values.join(QLatin1Char(','));
    }

    // Two folder sources A and B with workspace members, pins, folders and items:
    // SHARED has a file on each, ONLY_A a file on A only, LOOSE no file at all.
    void addTwoSources()
    {
        addSource(QStringLiteral("A"));
        addSource(QStringLiteral("B"));
        for (const char* item : {"SHARED", "ONLY_A", "LOOSE", "ONLY_B"})
            addItem(QLatin1String(item));
        addFile(QStringLiteral("A"), QStringLiteral("s.jpg"), QStringLiteral("SHARED"));
        addFile(QStringLiteral("B"), QStringLiteral("s.jpg"), QStringLiteral("SHARED"));
        addFile(QStringLiteral("A"), QStringLiteral("a.jpg"), QStringLiteral("ONLY_A"));
        addFile(QStringLiteral("B"), QStringLiteral("b.jpg"), QStringLiteral("ONLY_B"));
        addFile(QStringLiteral("A"), QStringLiteral("new.jpg"), QString()); // not linked yet
        db.exec(QStringLiteral("INSERT INTO folders VALUES ('A', 'x', '', 0), ('B', 'y', '', 0);"
                               "INSERT INTO workspace_sources VALUES ('W', 'A', ''), ('W', 'A', 'x'), ('W', 'B', '');"
                               "INSERT INTO pins VALUES ('W', 'A', 'x', 0), ('W', 'B', 'y', 1);"
                               "INSERT INTO favorites VALUES ('W', 'ONLY_A', 0);"));
    }

    QString everything()
    {
        return QStringList({column(QStringLiteral("SELECT source_id || '/' || rel_path FROM files ORDER BY 1")),
                            column(QStringLiteral("SELECT source_id || '/' || rel_path FROM folders ORDER BY 1")),
                            column(QStringLiteral("SELECT id FROM items ORDER BY 1")),
                            column(QStringLiteral("SELECT item_id FROM search ORDER BY 1")),
                            column(QStringLiteral("SELECT source_id || '/' || path FROM workspace_sources ORDER BY 1")),
                            column(QStringLiteral("SELECT source_id || '/' || path FROM pins ORDER BY 1")),
                            column(QStringLiteral("SELECT id FROM sources ORDER BY 1"))})
            .join(QStringLiteral(" ; "));
    }
};

TEST_F(SourceTest, SourcesAreListedOldestFirstWithTheirKind)
{
    EXPECT_TRUE(index.sources().isEmpty());

    const Source photos{QStringLiteral("P"), QStringLiteral("Apple Photos"), QStringLiteral("/lib"), QStringLiteral("U1"),
                        QStringLiteral("Home"), 20.5, SourceKind::photos};
    const Source first{QStringLiteral("F1"), QStringLiteral("Pictures"), QStringLiteral("/p"), QStringLiteral("U1"),
                       QStringLiteral("Home"), 10, SourceKind::folder};
    // With the path below its volume's mount point, which a source from before it was kept lacks.
    const Source sameDate{QStringLiteral("F2"), QStringLiteral("Card"), QStringLiteral("/media/c"), QStringLiteral("U2"),
                          QStringLiteral("CARD"), 20.5, SourceKind::folder, QString()};
    index.saveSource(photos);
    index.saveSource(first);
    index.saveSource(sameDate);
    // A kind this version does not know reads as a folder.
    db.exec(QStringLiteral("INSERT INTO sources VALUES ('ODD', 'Odd', '/o', '', '', 30, 2, NULL)"));

    const QList<Source> sources = index.sources();
    ASSERT_EQ(sources.size(), 4);
    EXPECT_EQ(sources[0], first);
    EXPECT_EQ(QSet<QString>({sources[1].id, sources[2].id}), QSet<QString>({"P", "F2"}));
    EXPECT_EQ(sources[1].id == QStringLiteral("P") ? sources[1] : sources[2], photos);
    EXPECT_EQ(sources[1].id == QStringLiteral("F2") ? sources[1] : sources[2], sameDate);
    EXPECT_EQ(sources[3].id, QStringLiteral("ODD"));
    EXPECT_EQ(sources[3].kind, SourceKind::folder);
}

TEST_F(SourceTest, SavingAnExistingIdFailsAndKeepsTheSourceWithItsFilesAndFolders)
{
    addTwoSources();
    const QString before = everything();
    const QString storedName = text(QStringLiteral("SELECT name FROM sources WHERE id = 'A'"));

    try {
        index.saveSource(Source{QStringLiteral("A"), QStringLiteral("Other"), QStringLiteral("/o"), {}, {}, 99, {}});
        FAIL() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.description(), QStringLiteral("a source with the id A already exists"));
    }
    EXPECT_EQ(text(QStringLiteral("SELECT name FROM sources WHERE id = 'A'")), storedName);
    EXPECT_EQ(everything(), before);
}

TEST_F(SourceTest, RemovingASourceTakesWhatHangsOnItOnly)
{
    addTwoSources();
    index.removeSource(QStringLiteral("A"));

    // Items with a copy on B stay; A's own items and the item without any file go, with their search rows.
    EXPECT_EQ(everything(), QStringLiteral("B/b.jpg,B/s.jpg ; B/y ; ONLY_B,SHARED ; ONLY_B,SHARED ; B/ ; B/y ; B"));
    // Favorites of items that went stay behind; their readers ignore them.
    EXPECT_EQ(integer(QStringLiteral("SELECT COUNT(*) FROM favorites")), 1);
}

TEST_F(SourceTest, RemovingAnUnknownSourceDeletesOnlyItemsWithoutFiles)
{
    addTwoSources();
    index.removeSource(QStringLiteral("NOPE"));
    EXPECT_EQ(column(QStringLiteral("SELECT id FROM items ORDER BY 1")), QStringLiteral("ONLY_A,ONLY_B,SHARED"));
    EXPECT_EQ(column(QStringLiteral("SELECT item_id FROM search ORDER BY 1")), QStringLiteral("ONLY_A,ONLY_B,SHARED"));
}

TEST_F(SourceTest, RemovalThatFailsHalfWayChangesNothing)
{
    addTwoSources();
    const QString before = everything();
    // The last of the removal's statements fails, after members, pins, search rows and items went.
    db.exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE DELETE ON sources BEGIN SELECT RAISE(ABORT, 'source is locked'); END"));

    EXPECT_THROW(index.removeSource(QStringLiteral("A")), DatabaseError);
    EXPECT_EQ(everything(), before);

    // The failed removal left no transaction open: the next write works.
    db.exec(QStringLiteral("DROP TRIGGER refuse"));
    index.removeSource(QStringLiteral("A"));
    EXPECT_EQ(column(QStringLiteral("SELECT id FROM sources")), QStringLiteral("B"));
}

TEST_F(SourceTest, ReadOnlyInstanceRefusesSourceWrites)
{
    Index reader(dir.filePath(QStringLiteral("index.sqlite")), Index::Access::readOnly);
    const Source source{QStringLiteral("N"), QStringLiteral("n"), QStringLiteral("/n"), {}, {}, 1, {}};
    EXPECT_THROW(waitFor(reader.run([source](Index& ix) { ix.saveSource(source); })), DatabaseError);
    EXPECT_THROW(waitFor(reader.run([](Index& ix) { ix.removeSource(QStringLiteral("N")); })), DatabaseError);
    EXPECT_TRUE(index.sources().isEmpty());
}

} // namespace
