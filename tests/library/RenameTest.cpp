#include "FolderSourceFixture.h"

#include "Pellmar/media/FileMoves.h"

#include <cerrno>

namespace {

class RenameTest : public FolderSourceFixture {};

TEST_F(RenameTest, RefusedNamesLeaveTheFileAndIndexAlone)
{
    const Item item{.id = QStringLiteral("c"), .filename = QStringLiteral("c.jpg")};
    const Location copy = addCopy(QStringLiteral("x/y/c.jpg"), {.id = "c", .filename = "c.jpg"});
    write(QStringLiteral("x/y/taken.jpg"));
    ASSERT_TRUE(QFile::link(QDir(root).filePath(QStringLiteral("nowhere.jpg")), QDir(root).filePath(QStringLiteral("x/y/ghost.jpg"))));

    const struct {
        const char* typed;
        std::optional<QString> message;
    } cases[] = {
        {"c.jpg", std::nullopt},
        {"  \n", std::nullopt},
        {"a/b.jpg", QStringLiteral("A name cannot contain a slash.")},
        {" taken.jpg ", QStringLiteral("taken.jpg already exists in that folder.")},
        // A dangling link is a name in use: renaming onto it must not replace it.
        {"ghost.jpg", QStringLiteral("ghost.jpg already exists in that folder.")},
    };
    for (const auto& entry : cases) {
        library.setLastError(std::nullopt);
        library.rename(item, copy, QString::fromUtf8(entry.typed));
        waitForTasks();
        EXPECT_EQ(library.lastError(), entry.message) << entry.typed;
        EXPECT_TRUE(onDisk(QStringLiteral("x/y/c.jpg"))) << entry.typed;
    }
    EXPECT_TRUE(QFileInfo(QDir(root).filePath(QStringLiteral("x/y/ghost.jpg"))).isSymLink());
    EXPECT_EQ(text(QStringLiteral("SELECT rel_path FROM files WHERE id = ?"), {copy.id}), "x/y/c.jpg");
}

TEST_F(RenameTest, RenamesTheFileAndItsRowsWithTheFolderInTheSearchText)
{
    const Location copy = addCopy(QStringLiteral("x/y/c.jpg"), {.id = "c", .filename = "c.jpg"});
    library.rename(Item{.id = QStringLiteral("c"), .filename = QStringLiteral("c.jpg")}, copy,
                   QStringLiteral("  holiday.jpg\n"));
    waitForTasks();

    EXPECT_EQ(library.lastError(), std::nullopt);
    EXPECT_FALSE(onDisk(QStringLiteral("x/y/c.jpg")));
    EXPECT_TRUE(onDisk(QStringLiteral("x/y/holiday.jpg")));
    EXPECT_EQ(text(QStringLiteral("SELECT rel_path FROM files WHERE id = ?"), {copy.id}), "x/y/holiday.jpg");
    EXPECT_EQ(text(QStringLiteral("SELECT filename FROM items WHERE id = 'c'")), "holiday.jpg");
    EXPECT_EQ(text(QStringLiteral("SELECT text FROM search WHERE item_id = 'c'")), "holiday.jpg x y Pictures Photo");
}

TEST_F(RenameTest, ADocumentAtTheRootGetsTheBareNameAndTheWordDocument)
{
    const Location copy = addCopy(QStringLiteral("notes.pdf"),
                                  {.id = "n", .kind = MediaKind::document, .filename = "notes.pdf"});
    library.rename(Item{.id = QStringLiteral("n"), .kind = MediaKind::document}, copy, QStringLiteral("memo.pdf"));
    waitForTasks();

    EXPECT_EQ(text(QStringLiteral("SELECT rel_path FROM files WHERE id = ?"), {copy.id}), "memo.pdf");
    EXPECT_EQ(text(QStringLiteral("SELECT text FROM search WHERE item_id = 'n'")), "memo.pdf Pictures Document");
}

TEST_F(RenameTest, ACopyThatCannotBeReachedKeepsItsNameWithoutAMessage)
{
    Location copy = addCopy(QStringLiteral("c.jpg"), {.id = "c"});
    const Item item{.id = QStringLiteral("c")};
    library.setOnline({});
    library.rename(item, copy, QStringLiteral("d.jpg"));
    library.setOnline({source.id});
    copy.assetID = QStringLiteral("A1");
    library.rename(item, copy, QStringLiteral("d.jpg"));
    waitForTasks();

    EXPECT_TRUE(onDisk(QStringLiteral("c.jpg")));
    EXPECT_EQ(library.lastError(), std::nullopt);
}

TEST_F(RenameTest, TheMoveNeverReplacesWhatAppearsAtTheNewName)
{
    const QString from = write(QStringLiteral("a.jpg"));
    const QString link = QDir(root).filePath(QStringLiteral("b.jpg"));
    ASSERT_TRUE(QFile::link(QStringLiteral("missing"), link));

    EXPECT_EQ(renameWithoutReplacing(from, link), EEXIST);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(renameWithoutReplacing(from, QDir(root).filePath(QStringLiteral("c.jpg"))), 0);
    EXPECT_TRUE(onDisk(QStringLiteral("c.jpg")));
}

} // namespace
