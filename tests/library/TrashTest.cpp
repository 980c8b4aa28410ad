#include "FolderSourceFixture.h"

#include "Pellmar/platform/Defaults.h"

#include <QCoroTask>

namespace {

// GIO reads the data folder (where the Trash lives) once per process: each test runs in a process
// of its own, as ctest runs them.
class TrashTest : public FolderSourceFixture {
protected:
    qint64 rows(const QString& table) { return integer(QStringLiteral("SELECT count(*) FROM ") + table); }
    QString trash(const QString& folder) const { return dir.filePath(QStringLiteral("data/Trash/") + folder); }
};

TEST_F(TrashTest, DeleteAsksFirstThenTrashesTheFileAndDropsItsRows)
{
    const Location copy = addCopy(QStringLiteral("x/a.jpg"), {.id = "a"});
    const Item item{.id = QStringLiteral("a")};
    library.select(item);
    waitForTasks();

    library.trashSelection();
    ASSERT_TRUE(library.trashing());
    EXPECT_EQ(library.trashing()->location, copy);
    EXPECT_TRUE(onDisk(QStringLiteral("x/a.jpg")));

    offline.defaults.set(QStringLiteral("confirmTrash"), false);
    library.trashSelection();
    waitForTasks();
    EXPECT_FALSE(onDisk(QStringLiteral("x/a.jpg")));
    EXPECT_TRUE(QFileInfo::exists(trash(QStringLiteral("files/a.jpg"))));
    EXPECT_TRUE(QFileInfo::exists(trash(QStringLiteral("info/a.jpg.trashinfo"))));
    EXPECT_EQ(rows(QStringLiteral("files")), 0);
    EXPECT_EQ(rows(QStringLiteral("items")), 0);
    EXPECT_EQ(library.lastError(), std::nullopt);
}

TEST_F(TrashTest, ACopyTheTrashRefusesIsNamed)
{
    const Location copy = addCopy(QStringLiteral("a.jpg"), {.id = "a"});
    QFile::remove(QDir(root).filePath(QStringLiteral("a.jpg")));
    library.trash(Item{.id = QStringLiteral("a")}, copy);
    waitForTasks();

    // The sentence, then the Trash's own reason.
    ASSERT_TRUE(library.lastError());
    EXPECT_TRUE(library.lastError()->startsWith(QStringLiteral("Could not move a.jpg to the Trash. "))) << library.lastError()->toStdString();
    EXPECT_TRUE(library.lastError()->endsWith(u'.'));
    EXPECT_EQ(rows(QStringLiteral("files")), 1);
}

TEST_F(TrashTest, AGroupRunCountsRefusalsTrashesTheRestAndClearsTheSelection)
{
    for (const char* id : {"a", "b", "c"})
        addCopy(QString::fromLatin1(id) + QStringLiteral(".jpg"), {.id = QString::fromLatin1(id)});
    addItem({.id = QStringLiteral("p")});
    addSource(QStringLiteral("P"), SourceKind::photos, 2);
    addFile({.sourceID = QStringLiteral("P"), .relPath = QStringLiteral("p.heic"), .itemID = QStringLiteral("p"),
             .assetID = QStringLiteral("asset-p")});
    offline.defaults.set(QStringLiteral("confirmTrash"), false);
    library.setItems({Item{.id = QStringLiteral("a")}, Item{.id = QStringLiteral("b")}, Item{.id = QStringLiteral("c")},
                      Item{.id = QStringLiteral("p")}});
    library.setSelectedIDs({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("p")});

    // Only files are trashed: the photo library item has no copy to offer.
    const QList<ItemCopy> copies = library.trashableCopies();
    ASSERT_EQ(copies.size(), 3);
    // Two files vanish before the run, so the Trash refuses them.
    QFile::remove(QDir(root).filePath(QStringLiteral("b.jpg")));
    QFile::remove(QDir(root).filePath(QStringLiteral("c.jpg")));
    QCoro::waitFor(library.moveToTrash(copies));

    ASSERT_TRUE(library.lastError());
    EXPECT_TRUE(library.lastError()->startsWith(QStringLiteral("2 files could not be moved to the Trash. b.jpg: ")))
        << library.lastError()->toStdString();
    EXPECT_TRUE(QFileInfo::exists(trash(QStringLiteral("files/a.jpg"))));
    EXPECT_EQ(text(QStringLiteral("SELECT group_concat(rel_path) FROM files WHERE source_id = 'S'")), "b.jpg,c.jpg");
    EXPECT_TRUE(library.selectedIDs().isEmpty());
    EXPECT_EQ(library.selection(), std::nullopt);
}

TEST_F(TrashTest, NothingTrashableAsksNothing)
{
    addCopy(QStringLiteral("a.jpg"), {.id = "a"});
    addCopy(QStringLiteral("b.jpg"), {.id = "b"});
    library.setOnline({});
    library.setItems({Item{.id = QStringLiteral("a")}, Item{.id = QStringLiteral("b")}});
    library.setSelectedIDs({QStringLiteral("a"), QStringLiteral("b")});
    library.trashSelection();

    EXPECT_EQ(library.trashingGroup(), std::nullopt);
}

} // namespace
