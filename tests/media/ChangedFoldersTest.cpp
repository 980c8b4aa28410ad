#include "Pellmar/media/ChangedFolders.h"

#include "Pellmar/media/Walkers.h"
#include "tests/media/FakeVolumes.h"
#include "tests/media/TestTree.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

Source cardSource(const QString& root, const QString& volumeName, const QString& uuid = QStringLiteral("CARD-UUID"))
{
    Source source;
    source.id = QStringLiteral("S");
    source.rootPath = root;
    source.volumeUUID = uuid;
    source.volumeName = volumeName;
    return source;
}

MountedVolume volume(const QString& url, const QString& uuid, const QString& name)
{
    return MountedVolume{url, QStringLiteral("/dev/sdz1"), uuid, name, true};
}

QSet<QString> pathSet(std::initializer_list<const char*> paths)
{
    QSet<QString> set;
    for (const char* path : paths)
        set.insert(QString::fromUtf8(path));
    return set;
}

template <typename Record>
QSet<QString> pathsOf(const QList<Record>& records)
{
    QSet<QString> paths;
    for (const Record& record : records)
        paths.insert(record.relativePath);
    return paths;
}

TEST(RelinkCandidates, FindsTheRootBelowTheNewMountOfItsVolume)
{
    QTemporaryDir dir;
    const TestTree tree(dir.path());
    tree.folder(QStringLiteral("first/DCIM/100"));
    tree.folder(QStringLiteral("second/DCIM/100"));
    tree.folder(QStringLiteral("other/DCIM/100"));
    const Source source = cardSource(QStringLiteral("/media/anna/CARD/DCIM/100"), QStringLiteral("CARD"));
    const MountedVolume startup = volume(QStringLiteral("/"), QStringLiteral("CARD-UUID"), QStringLiteral("/"));
    const MountedVolume other = volume(tree.path(QStringLiteral("other")), QStringLiteral("OTHER-UUID"), QStringLiteral("CARD"));
    const MountedVolume first = volume(tree.path(QStringLiteral("first")), QStringLiteral("CARD-UUID"), QStringLiteral("CARD"));
    const MountedVolume second = volume(tree.path(QStringLiteral("second")), QStringLiteral("CARD-UUID"), QStringLiteral("CARD 1"));

    EXPECT_EQ(relinkCandidates(source, {startup, other, first}),
              (RelinkTarget{tree.path(QStringLiteral("first/DCIM/100")), QStringLiteral("CARD"), QStringLiteral("DCIM/100"), false}));
    // Two mounts of one volume that both hold the folder: the first, marked ambiguous.
    EXPECT_EQ(relinkCandidates(source, {second, first}),
              (RelinkTarget{tree.path(QStringLiteral("second/DCIM/100")), QStringLiteral("CARD 1"), QStringLiteral("DCIM/100"), true}));
    EXPECT_EQ(relinkCandidates(source, {startup, other}), std::nullopt);

    // A root at the volume itself moves to the new mount path; the start-up volume never counts.
    EXPECT_EQ(relinkCandidates(cardSource(QStringLiteral("/media/anna/CARD"), QStringLiteral("CARD")), {startup, first}),
              (RelinkTarget{first.url, QStringLiteral("CARD"), QString(), false}));
    EXPECT_EQ(relinkCandidates(cardSource(QStringLiteral("/media/anna/CARD"), QStringLiteral("CARD")), {startup}), std::nullopt);

    // The volume name is matched at its last occurrence in the root path.
    tree.folder(QStringLiteral("first/100"));
    EXPECT_EQ(relinkCandidates(cardSource(QStringLiteral("/media/CARD/DCIM/CARD/100"), QStringLiteral("CARD")), {first})->path,
              tree.path(QStringLiteral("first/100")));
}

TEST(RelinkCandidates, KeepThePathBelowTheMountPointAndNeverWidenToTheDrive)
{
    QTemporaryDir dir;
    const TestTree tree(dir.path());
    tree.folder(QStringLiteral("sdb1/DCIM"));
    tree.folder(QStringLiteral("CARD/DCIM"));
    tree.folder(QStringLiteral("CARD1/DCIM"));
    const MountedVolume renamed = volume(tree.path(QStringLiteral("sdb1")), QStringLiteral("CARD-UUID"), QStringLiteral("CARD"));
    // Two cards with one label: the other card took the mount folder this one had.
    const MountedVolume twin = volume(tree.path(QStringLiteral("CARD")), QStringLiteral("TWIN-UUID"), QStringLiteral("CARD"));
    const MountedVolume moved = volume(tree.path(QStringLiteral("CARD1")), QStringLiteral("CARD-UUID"), QStringLiteral("CARD"));
    const auto withVolumePath = [](Source source, std::optional<QString> volumePath) {
        source.volumePath = std::move(volumePath);
        return source;
    };

    const struct {
        const char* name;
        Source source;
        QList<MountedVolume> mounted;
        std::optional<QString> target;
    } cases[] = {
        {"a mount folder not named after the label",
         withVolumePath(cardSource(QStringLiteral("/mnt/card/DCIM"), QStringLiteral("CARD")), QStringLiteral("DCIM")),
         {renamed}, tree.path(QStringLiteral("sdb1/DCIM"))},
        {"a source from before the path was kept, in a folder not named after the label",
         cardSource(QStringLiteral("/mnt/card/DCIM"), QStringLiteral("CARD")), {renamed}, std::nullopt},
        {"two cards with one label",
         withVolumePath(cardSource(tree.path(QStringLiteral("CARD/DCIM")), QStringLiteral("CARD")), QStringLiteral("DCIM")),
         {twin, moved}, tree.path(QStringLiteral("CARD1/DCIM"))},
        {"the volume's root stays the root",
         withVolumePath(cardSource(QStringLiteral("/mnt/card"), QStringLiteral("CARD")), QString()),
         {renamed}, tree.path(QStringLiteral("sdb1"))},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        const std::optional<RelinkTarget> target = relinkCandidates(entry.source, entry.mounted);
        EXPECT_EQ(target ? std::optional<QString>(target->path) : std::nullopt, entry.target);
        if (target)
            EXPECT_EQ(target->volumePath, entry.source.volumePath);
    }
}

TEST(RelinkCandidates, LeavesAloneWhatNeedsOrAllowsNoRelinking)
{
    QTemporaryDir dir;
    const TestTree tree(dir.path());
    tree.folder(QStringLiteral("mount/DCIM"));
    const QList<MountedVolume> volumes{volume(tree.path(QStringLiteral("mount")), QStringLiteral("CARD-UUID"), QStringLiteral("CARD"))};

    EXPECT_EQ(relinkCandidates(cardSource(dir.path(), QStringLiteral("CARD")), volumes), std::nullopt);   // still there
    EXPECT_EQ(relinkCandidates(cardSource(QStringLiteral("/media/CARD/DCIM"), QStringLiteral("CARD"), QString()), volumes),
              std::nullopt);
    Source photos = cardSource(QStringLiteral("/media/CARD/DCIM"), QStringLiteral("CARD"));
    photos.kind = SourceKind::photos;
    EXPECT_EQ(relinkCandidates(photos, volumes), std::nullopt);
    EXPECT_TRUE(relinkCandidates(cardSource(QStringLiteral("/media/CARD/DCIM"), QStringLiteral("CARD")), volumes));
}

// A card mounted by hand at /mnt/card and now mounted by the desktop elsewhere leaves the empty
// mount folder behind on the system disk: that folder is no reason to stay.
TEST(RelinkCandidates, AnEmptyMountFolderOnAnotherVolumeDoesNotHoldTheSourceBack)
{
    QTemporaryDir dir;
    const TestTree tree(dir.path());
    tree.folder(QStringLiteral("mnt/card"));
    tree.folder(QStringLiteral("media/CARD"));
    const MountedVolume system = volume(dir.path(), QStringLiteral("SYSTEM-UUID"), QStringLiteral("system"));
    const MountedVolume card = volume(tree.path(QStringLiteral("media/CARD")), QStringLiteral("CARD-UUID"), QStringLiteral("CARD"));
    const Source source = cardSource(tree.path(QStringLiteral("mnt/card")), QStringLiteral("card"));

    EXPECT_EQ(relinkCandidates(source, {system, card}), (RelinkTarget{card.url, QStringLiteral("CARD"), QString(), false}));
    // Mounted there again, the card holds its root: nothing to do.
    const MountedVolume back = volume(tree.path(QStringLiteral("mnt/card")), QStringLiteral("CARD-UUID"), QStringLiteral("card"));
    EXPECT_EQ(relinkCandidates(source, {system, back, card}), std::nullopt);
}

TEST(RelinkVolumes, KeepsIdentifiedVolumesAndNamesUnlabelledOnes)
{
    const FakeVolumes volumes({volume(QStringLiteral("/media/anna/EOS_DIGITAL"), QStringLiteral("U1"), QString()),
                               volume(QStringLiteral("/media/anna/CARD"), QStringLiteral("U2"), QStringLiteral("CARD")),
                               volume(QStringLiteral("/media/anna/CARD1/"), QStringLiteral("U3"), QStringLiteral("CARD")),
                               volume(QStringLiteral("/run/user/1000/doc"), QString(), QStringLiteral("doc"))});
    const QList<MountedVolume> relink = relinkVolumes(volumes);
    ASSERT_EQ(relink.size(), 3);
    EXPECT_EQ(relink[0].name, QStringLiteral("EOS_DIGITAL"));
    EXPECT_EQ(relink[1].name, QStringLiteral("CARD"));
    EXPECT_EQ(relink[2].url, QStringLiteral("/media/anna/CARD1"));
    EXPECT_EQ(relink[2].name, QStringLiteral("CARD"));
}

class FolderRecordsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.files({QStringLiteral("F/a.jpg"), QStringLiteral("F/Kept/b.jpg"), QStringLiteral("F/Kept/new.jpg"),
                    QStringLiteral("F/New/c.jpg"), QStringLiteral("F/New/Deeper/d.jpg"), QStringLiteral("top.jpg")});
    }

    QTemporaryDir dir;
    TestTree tree{dir.path()};
    Source source = cardSource(dir.path(), QString(), QString());
    const QStringList knownFiles{QStringLiteral("F/a.jpg"), QStringLiteral("F/old.jpg"), QStringLiteral("F/Kept/b.jpg"),
                                 QStringLiteral("F/Gone/x.jpg"), QStringLiteral("F/Gone/deep/y.jpg")};
    const QStringList knownFolders{QStringLiteral("F/Kept"), QStringLiteral("F/Gone"), QStringLiteral("F/Gone/deep")};
};

TEST_F(FolderRecordsTest, WalksNewSubfoldersAndDropsVanishedOnes)
{
    const FolderRecords records = folderRecords(source, QStringLiteral("F"), knownFiles, knownFolders, false);

    EXPECT_EQ(pathsOf(records.files), pathSet({"F/a.jpg", "F/New/c.jpg", "F/New/Deeper/d.jpg"}));
    EXPECT_EQ(records.knownFilePaths, pathSet({"F/a.jpg", "F/old.jpg", "F/Gone/x.jpg", "F/Gone/deep/y.jpg"}));
    // F/Kept is not listed here, so its recorded time stays as it was.
    EXPECT_EQ(pathsOf(records.folders), pathSet({"F", "F/New", "F/New/Deeper"}));
    EXPECT_EQ(records.folders.first(), (FolderRecord{QStringLiteral("F"), contentModificationDate(tree.path(QStringLiteral("F")))}));
    EXPECT_EQ(records.knownFolderPaths, pathSet({"F/Gone"}));
    EXPECT_TRUE(records.gaps.unlistedFolders.isEmpty());
    EXPECT_FALSE(records.gaps.rootVanished);
}

TEST_F(FolderRecordsTest, DeepWalksEverySubfolderAndReplacesEveryKnownPath)
{
    const FolderRecords records = folderRecords(source, QStringLiteral("F"), knownFiles, knownFolders, true);

    EXPECT_EQ(pathsOf(records.files), pathSet({"F/a.jpg", "F/Kept/b.jpg", "F/Kept/new.jpg", "F/New/c.jpg", "F/New/Deeper/d.jpg"}));
    EXPECT_EQ(records.knownFilePaths, QSet<QString>(knownFiles.cbegin(), knownFiles.cend()));
    EXPECT_EQ(records.knownFolderPaths, pathSet({"F/Kept", "F/Gone"}));

    const FolderRecords root = folderRecords(source, QString(), {}, {}, false);
    EXPECT_EQ(pathsOf(root.files), pathSet({"top.jpg", "F/a.jpg", "F/Kept/b.jpg", "F/Kept/new.jpg", "F/New/c.jpg", "F/New/Deeper/d.jpg"}));
    EXPECT_FALSE(pathsOf(root.folders).contains(QString()));
}

TEST_F(FolderRecordsTest, UnreadableFoldersAreGapsNotDeletions)
{
    const QString failing = tree.path(QStringLiteral("F/New"));
    {
        const ListingFaultInjection fault([&](const QString& folder) { return folder == failing ? EIO : 0; });
        const FolderRecords records = folderRecords(source, QStringLiteral("F"), knownFiles, knownFolders, false);
        EXPECT_TRUE(records.gaps.unlistedFolders.contains(QStringLiteral("F/New")));
        EXPECT_FALSE(records.gaps.rootVanished);
    }
    const QString changed = tree.path(QStringLiteral("F"));
    const ListingFaultInjection fault([&](const QString& folder) { return folder == changed ? EIO : 0; });
    const FolderRecords records = folderRecords(source, QStringLiteral("F"), knownFiles, knownFolders, false);
    EXPECT_EQ(records.gaps.unlistedFolders, QStringList{QStringLiteral("F")});
    EXPECT_TRUE(records.files.isEmpty() && records.knownFilePaths.isEmpty() && records.knownFolderPaths.isEmpty());

    // An unplugged drive: the root is gone, and the records say so rather than that its files went.
    const Source unplugged = cardSource(tree.path(QStringLiteral("unplugged")), QString(), QString());
    for (const bool deep : {false, true})
        EXPECT_TRUE(folderRecords(unplugged, QStringLiteral("F"), knownFiles, knownFolders, deep).gaps.rootVanished) << deep;
}

TEST_F(FolderRecordsTest, StoppedRecordsKeepWhatTheyDidNotReach)
{
    const FolderRecords records =
        folderRecords(source, QStringLiteral("F"), knownFiles, knownFolders, true, [] { return true; });

    EXPECT_TRUE(records.files.isEmpty());
    for (const QString& known : knownFiles)
        EXPECT_TRUE(records.gaps.covers(known)) << known.toStdString();
    for (const QString& known : knownFolders)
        EXPECT_TRUE(records.gaps.covers(known)) << known.toStdString();
}

TEST(IsDevicePath, ComparesExactPaths)
{
    const QList<Device> devices{Device{QStringLiteral("/media/anna/CARD"), QStringLiteral("CARD"), 0, 0}};
    EXPECT_TRUE(isDevicePath(QStringLiteral("/media/anna/CARD"), devices));
    EXPECT_FALSE(isDevicePath(QStringLiteral("/media/anna/CARD/"), devices));
    EXPECT_FALSE(isDevicePath(QStringLiteral("/media/anna/CARD"), {}));
}

} // namespace
