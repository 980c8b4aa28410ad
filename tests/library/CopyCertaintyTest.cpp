#include "FolderSourceFixture.h"

#include "Pellmar/index/Hashing.h"

#include <QCoroTask>

namespace {

// Three scans of one size whose first and last 64 KiB agree: one item by their quick hash, though
// the second differs from the others in the middle.
class ScansThatDifferInTheMiddle : public FolderSourceFixture {
protected:
    ScansThatDifferInTheMiddle()
    {
        addItem({.id = QStringLiteral("scan"), .previewExt = QStringLiteral("jpg"), .quickHash = quick});
        for (const QString& name : {QStringLiteral("scan_001.tif"), QStringLiteral("scan_002.tif"), QStringLiteral("scan_003.tif")}) {
            write(name, name == QStringLiteral("scan_002.tif") ? other : page);
            addFile({.sourceID = source.id, .relPath = name, .itemID = QStringLiteral("scan"), .size = page.size()});
        }
        addSearchText(QStringLiteral("scan"), QStringLiteral("scan_001.tif"));
        QDir().mkpath(library.proxyDirectory());
        QFile preview(QDir(library.proxyDirectory()).filePath(QStringLiteral("scan.preview.jpg")));
        EXPECT_TRUE(preview.open(QIODevice::WriteOnly));
        preview.write("preview");
    }

    QStringList filesOf(const QString& itemID)
    {
        return text(QStringLiteral("SELECT group_concat(rel_path) FROM (SELECT rel_path FROM files WHERE item_id = ? "
                                   "ORDER BY rel_path)"),
                    {itemID})
            .split(u',', Qt::SkipEmptyParts);
    }

    Location at(const QString& name)
    {
        Location copy = locationOf(name);
        copy.size = page.size();
        return copy;
    }

    static QByteArray otherPage()
    {
        QByteArray bytes = QByteArray(200000, 'w');
        bytes[100000] = 'k';
        return bytes;
    }

    const QByteArray page = QByteArray(200000, 'w');
    const QByteArray other = otherPage();
    const QString quick = quickHash({}, page.size(), page);
    const Item scan = [this] {
        Item item{.id = QStringLiteral("scan"), .quickHash = quick};
        item.previewExtension = QStringLiteral("jpg");
        return item;
    }();
};

// Asking to trash the scan that differs compares it in full first: it leaves the item for one of its
// own, keyed by the quick hash and its whole content's digest, and is asked for as an only copy.
// Asking to trash one of the two equal scans then splits nothing.
TEST_F(ScansThatDifferInTheMiddle, TrashingOneFindsItDiffersSplitsTheItemAndAsksForAnOnlyCopy)
{
    library.requestTrash(scan, at(QStringLiteral("scan_002.tif")));
    waitForTasks();
    ASSERT_TRUE(library.trashing());
    const Item separate = library.trashing()->item;
    EXPECT_NE(separate.id, scan.id);
    EXPECT_EQ(separate.quickHash, quick + sha256Text(other));
    EXPECT_EQ(filesOf(separate.id), QStringList{QStringLiteral("scan_002.tif")});
    EXPECT_EQ(filesOf(scan.id), QStringList({QStringLiteral("scan_001.tif"), QStringLiteral("scan_003.tif")}));
    EXPECT_EQ(text(QStringLiteral("SELECT text FROM search WHERE item_id = ?"), {separate.id}), "scan_001.tif");
    EXPECT_TRUE(QFileInfo::exists(QDir(library.proxyDirectory()).filePath(separate.id + QStringLiteral(".preview.jpg"))));
    EXPECT_TRUE(onDisk(QStringLiteral("scan_002.tif")));

    library.setTrashing(std::nullopt);
    library.requestTrash(scan, at(QStringLiteral("scan_001.tif")));
    waitForTasks();
    ASSERT_TRUE(library.trashing());
    EXPECT_EQ(library.trashing()->item.id, scan.id);
    EXPECT_EQ(integer(QStringLiteral("SELECT count(*) FROM items")), 2);
}

// A group trash takes one copy of each item: an item whose chosen copy turns out to be unlike the
// others is left out rather than lose its only copy.
TEST_F(ScansThatDifferInTheMiddle, AGroupTrashLeavesOutAnItemWhoseCopiesDiffer)
{
    addCopy(QStringLiteral("a.jpg"), {.id = "a"});
    library.setItems({Item{.id = QStringLiteral("a")}, scan});
    library.setSelectedIDs({QStringLiteral("a"), scan.id});
    QFile::remove(QDir(root).filePath(QStringLiteral("scan_001.tif")));   // the first copy found is scan_002
    library.refreshFileFacts();   // the selection's files are looked at again, as after a change on disk
    waitForTasks();
    library.trashSelection();
    waitForTasks();

    ASSERT_TRUE(library.trashingGroup());
    ASSERT_EQ(library.trashingGroup()->size(), 1);
    EXPECT_EQ(library.trashingGroup()->first().item.id, QStringLiteral("a"));
    EXPECT_EQ(filesOf(scan.id), QStringList({QStringLiteral("scan_001.tif"), QStringLiteral("scan_003.tif")}));
}

// Card files skipped as already indexed while the originals are deleted after the import must be
// copies in full: with items whose copies differ, the quick hash alone no longer says so.
TEST_F(ScansThatDifferInTheMiddle, CardFilesCountAsKnownForADeletingImportOnlyWhenEqualInFull)
{
    const QString card = dir.filePath(QStringLiteral("CARD"));
    QDir().mkpath(card);
    const auto cardFile = [&](const QString& name, const QByteArray& bytes) {
        QFile file(QDir(card).filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return CardFile{.url = file.fileName(), .size = bytes.size()};
    };
    const QList<CardFile> files{cardFile(QStringLiteral("IMG_1.TIF"), page), cardFile(QStringLiteral("IMG_2.TIF"), other)};
    const QString pageOnCard = files[0].url;
    const QString otherOnCard = files[1].url;

    // By quick hash both are known; in full, neither equals every copy of the mixed item.
    EXPECT_EQ(QCoro::waitFor(library.knownCardFiles(files)), QSet<QString>({pageOnCard, otherOnCard}));
    EXPECT_EQ(QCoro::waitFor(library.knownCardFiles(files, true)), QSet<QString>());
    // Once the scan that differs has an item of its own, the page is known in full.
    library.requestTrash(scan, at(QStringLiteral("scan_002.tif")));
    waitForTasks();
    EXPECT_EQ(QCoro::waitFor(library.knownCardFiles(files, true)), QSet<QString>({pageOnCard}));
    // A copy that cannot be reached proves nothing either way: the quick hash decides.
    library.setOnline({});
    EXPECT_EQ(QCoro::waitFor(library.knownCardFiles(files, true)), QSet<QString>({pageOnCard, otherOnCard}));
}

} // namespace
