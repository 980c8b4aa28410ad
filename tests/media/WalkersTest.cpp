#include "Pellmar/media/Walkers.h"

#include "Pellmar/media/ScanningRules.h"
#include "tests/media/TestTree.h"

#include <QDir>
#include <QTemporaryDir>

#include <plist/plist.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

Source folderSource(const QString& root)
{
    Source source;
    source.id = QStringLiteral("S");
    source.rootPath = root;
    return source;
}

QStringList pathsOf(const QList<FileRecord>& records)
{
    QStringList paths;
    for (const FileRecord& record : records)
        paths.append(record.relativePath);
    paths.sort();
    return paths;
}

QStringList pathsOf(const QList<FolderRecord>& records)
{
    QStringList paths;
    for (const FolderRecord& record : records)
        paths.append(record.relativePath);
    return paths;
}

const FileRecord* recordAt(const ScanResult& result, const QString& relativePath)
{
    for (const FileRecord& record : result.files) {
        if (record.relativePath == relativePath)
            return &record;
    }
    return nullptr;
}

double modificationTime(const QString& path)
{
    return double(QFileInfo(path).lastModified().toMSecsSinceEpoch()) / 1000.0;
}

QByteArray placeholder(qint64 size, bool binary)
{
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "NSURLFileSizeKey", plist_new_uint(uint64_t(size)));
    plist_dict_set_item(dict, "NSURLNameKey", plist_new_string("photo.jpg"));
    char* data = nullptr;
    uint32_t length = 0;
    if (binary)
        plist_to_bin(dict, &data, &length);
    else
        plist_to_xml(dict, &data, &length);
    QByteArray bytes(data, qsizetype(length));
    free(data);
    plist_free(dict);
    return bytes;
}

ScanOptions walk(bool deep, bool collectFolders = false, ScanProgress progress = {})
{
    ScanOptions options;
    options.deep = deep;
    options.collectFolders = collectFolders;
    options.progress = std::move(progress);
    return options;
}

// Nests folders of long names below a folder, each made relative to the one before (a path longer
// than PATH_MAX cannot be made by its name), with one photo in each. Returns the photos' relative paths.
QStringList nestFolders(const QString& root, const QString& first, int levels)
{
    QStringList photos;
    int folder = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QString relative;
    for (int level = 0; level < levels && folder >= 0; ++level) {
        const QString name = level == 0 ? first : QString(200, QLatin1Char('d')) + QString::number(level);
        relative = relative.isEmpty() ? name : relative + QLatin1Char('/') + name;
        ::mkdirat(folder, QFile::encodeName(name).constData(), 0755);
        const int child = ::openat(folder, QFile::encodeName(name).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(folder);
        folder = child;
        ::close(::openat(folder, "p.jpg", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        photos.append(relative + QStringLiteral("/p.jpg"));
    }
    ::close(folder);
    return photos;
}

class WalkersTest : public ::testing::Test {
protected:
    ~WalkersTest() override { removeTreeAt(AT_FDCWD, QFile::encodeName(dir.path()).constData()); }

    QTemporaryDir dir;
    TestTree tree{dir.path()};
    Source source = folderSource(dir.path());
};

TEST_F(WalkersTest, DeepWalkAppliesTheScanningRules)
{
    tree.files({QStringLiteral("a.jpg"), QStringLiteral("Trip/b.mov"), QStringLiteral("Trip/notes.txt"),
                QStringLiteral("Trip/Day 1/c.cr3"), QStringLiteral(".hidden/d.jpg"), QStringLiteral("Trip/.DS_Store"),
                QStringLiteral("Caches/e.jpg"), QStringLiteral("CACHE/f.jpg"), QStringLiteral("node_modules/g.png"),
                QStringLiteral("Family.photoslibrary/originals/h.heic"), QStringLiteral("Cat.LRLIBRARY/i.jpg"),
                QStringLiteral("code/readme.md"), QStringLiteral("code/tool/.git/HEAD"), QStringLiteral("code/tool/j.png"),
                QStringLiteral("Trip/Icon\r")});
    tree.folder(QStringLiteral("empty"));
    ASSERT_EQ(::symlink("..", QFile::encodeName(tree.path(QStringLiteral("Trip/loop"))).constData()), 0);
    ASSERT_EQ(::symlink("b.mov", QFile::encodeName(tree.path(QStringLiteral("Trip/link.mov"))).constData()), 0);

    const ScanResult result = scanSource(source, QString(), walk(true, true));

    EXPECT_EQ(pathsOf(result.files),
              (QStringList{QStringLiteral("CACHE/f.jpg"), QStringLiteral("Trip/Day 1/c.cr3"), QStringLiteral("Trip/b.mov"),
                           QStringLiteral("Trip/notes.txt"), QStringLiteral("a.jpg"), QStringLiteral("code/readme.md")}));
    QStringList folders = pathsOf(result.folders);
    folders.sort();
    EXPECT_EQ(folders, (QStringList{QStringLiteral("CACHE"), QStringLiteral("Trip"), QStringLiteral("Trip/Day 1"),
                                    QStringLiteral("code"), QStringLiteral("empty")}));
    EXPECT_TRUE(result.gaps.unlistedFolders.isEmpty());
    EXPECT_FALSE(result.gaps.rootVanished);

    const FileRecord* movie = recordAt(result, QStringLiteral("Trip/b.mov"));
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->size, 1);
    EXPECT_NEAR(movie->modified, modificationTime(tree.path(QStringLiteral("Trip/b.mov"))), 1e-3);
    EXPECT_TRUE(movie->local);
    EXPECT_EQ(*movie, (FileRecord{movie->relativePath, 1, movie->modified, {}, true, false, 0, false}));
}

TEST_F(WalkersTest, WalkOfOneFolderNeverReportsTheFolderItself)
{
    tree.files({QStringLiteral("Trip/a.jpg"), QStringLiteral("Trip/Day/b.jpg"), QStringLiteral("Other/c.jpg")});
    const ScanResult deep = scanSource(source, QStringLiteral("Trip/"), walk(true, true));
    EXPECT_EQ(pathsOf(deep.files), (QStringList{QStringLiteral("Trip/Day/b.jpg"), QStringLiteral("Trip/a.jpg")}));
    EXPECT_EQ(pathsOf(deep.folders), QStringList{QStringLiteral("Trip/Day")});

    const ScanResult shallow = scanSource(source, QStringLiteral("Trip"), walk(false));
    EXPECT_EQ(pathsOf(shallow.files), QStringList{QStringLiteral("Trip/a.jpg")});
    EXPECT_TRUE(shallow.folders.isEmpty());

    EXPECT_TRUE(scanSource(source, QStringLiteral("../"), {}).files.isEmpty());
}

TEST_F(WalkersTest, PackageIsOneFileOfItsSummedSize)
{
    tree.file(QStringLiteral("Docs/Report.pages/Index.zip"), QByteArray(100, 'x'));
    tree.file(QStringLiteral("Docs/Report.pages/Data/.hidden"), QByteArray(20, 'x'));
    tree.file(QStringLiteral("Docs/Report.pages/Data/p.jpg"), QByteArray(3, 'x'));
    tree.file(QStringLiteral("Docs/Old.photoslibrary/database/x.db"));
    tree.file(QStringLiteral("Movie.app/Contents/Info.plist"), QByteArray(7, 'x'));

    for (const bool deep : {true, false}) {
        const ScanResult result = scanSource(source, deep ? QString() : QStringLiteral("Docs"), walk(deep));
        const QString report = QStringLiteral("Docs/Report.pages");
        EXPECT_EQ(pathsOf(result.files), deep ? (QStringList{report, QStringLiteral("Movie.app")}) : QStringList{report});
        const FileRecord* package = recordAt(result, report);
        ASSERT_TRUE(package);
        EXPECT_EQ(package->size, 123);
        EXPECT_TRUE(package->local);
        EXPECT_NEAR(package->modified, modificationTime(tree.path(report)), 1e-3);
    }
    EXPECT_EQ(packageSize(tree.path(QStringLiteral("Docs/Report.pages"))), 123);
    EXPECT_EQ(packageSize(tree.path(QStringLiteral("missing.app"))), 0);
}

TEST_F(WalkersTest, CloudPlaceholdersStandForTheFilesTheyName)
{
    tree.file(QStringLiteral("Photos/.photo.jpg.icloud"), placeholder(123456, true));
    tree.file(QStringLiteral("Photos/.clip.mov.icloud"), placeholder(987, false));
    tree.file(QStringLiteral("Photos/.broken.jpg.icloud"), QByteArrayLiteral("not a property list"));
    tree.file(QStringLiteral("Photos/clip.mov"), QByteArray(5, 'x'));
    tree.file(QStringLiteral("Photos/..icloud"), placeholder(1, true));    // eight characters
    tree.file(QStringLiteral("Photos/._photo.jpg.icloud"), placeholder(1, true));

    const ScanResult result = scanSource(source, QString(), {});

    // Placeholders keep their own modification date; only path, size and local flag are compared.
    QList<std::tuple<QString, qint64, bool>> records;
    for (const FileRecord& record : result.files)
        records.append({record.relativePath, record.size, record.local});
    std::sort(records.begin(), records.end());
    EXPECT_EQ(records, (QList<std::tuple<QString, qint64, bool>>{{QStringLiteral("Photos/broken.jpg"), 0, false},
                                                                 {QStringLiteral("Photos/clip.mov"), 5, true},
                                                                 {QStringLiteral("Photos/clip.mov"), 987, false},
                                                                 {QStringLiteral("Photos/photo.jpg"), 123456, false}}));
}

TEST_F(WalkersTest, HomeSourceWalksOnlyItsMediaFolders)
{
    const TestTree home(homePath());
    home.files({QStringLiteral("loose.jpg"), QStringLiteral("Pictures/a.jpg"), QStringLiteral("Videos/b.mp4"),
                QStringLiteral("Music/c.mp3"), QStringLiteral("pictures/d.jpg"), QStringLiteral("Keynote.key/e.jpg")});
    const Source homeSource = folderSource(homePath());

    const ScanResult deep = scanSource(homeSource, QString(), walk(true, true));
    EXPECT_EQ(pathsOf(deep.files), (QStringList{QStringLiteral("Pictures/a.jpg"), QStringLiteral("Videos/b.mp4")}));
    QStringList folders = pathsOf(deep.folders);
    folders.sort();
    EXPECT_EQ(folders, (QStringList{QStringLiteral("Pictures"), QStringLiteral("Videos")}));
    EXPECT_TRUE(scanSource(homeSource, QString(), walk(false)).files.isEmpty());
    EXPECT_EQ(pathsOf(scanSource(homeSource, QStringLiteral("Pictures"), walk(false)).files),
              QStringList{QStringLiteral("Pictures/a.jpg")});

    for (const QString& name : QDir(homePath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        QFileInfo(home.path(name)).isDir() ? QDir(home.path(name)).removeRecursively() : QFile::remove(home.path(name));
}

TEST_F(WalkersTest, ProgressEveryFiveHundredFilesAndAtTheEnd)
{
    for (int i = 0; i < 1234; ++i)
        tree.file(QStringLiteral("f%1/%2.jpg").arg(i % 7).arg(i));
    QList<qint64> calls;
    const ScanResult result = scanSource(source, QString(), walk(true, false, [&](qint64 count) { calls.append(count); }));
    EXPECT_EQ(result.files.size(), 1234);
    EXPECT_EQ(calls, (QList<qint64>{500, 1000, 1234}));

    tree.folder(QStringLiteral("empty"));
    calls.clear();
    scanSource(source, QStringLiteral("empty"), walk(false, false, [&](qint64 count) { calls.append(count); }));
    EXPECT_EQ(calls, QList<qint64>{0});

    // A folder that is not there: a deep walk has nothing to report, a one-level walk reports 0.
    calls.clear();
    scanSource(source, QStringLiteral("missing"), walk(true, false, [&](qint64 count) { calls.append(count); }));
    EXPECT_TRUE(calls.isEmpty());
    scanSource(source, QStringLiteral("missing"), walk(false, false, [&](qint64 count) { calls.append(count); }));
    EXPECT_EQ(calls, QList<qint64>{0});
}

TEST_F(WalkersTest, NamesThatAreNotUtf8ArePassedOver)
{
    tree.file(QStringLiteral("ok.jpg"));
    tree.file(QStringLiteral("caf\u00e9.jpg"));
    const QByteArray bad = QFile::encodeName(dir.path()) + "/bad\xff.jpg";
    ::close(::creat(bad.constData(), 0644));
    EXPECT_EQ(pathsOf(scanSource(source, QString(), {}).files), (QStringList{QStringLiteral("caf\u00e9.jpg"), QStringLiteral("ok.jpg")}));
}

TEST_F(WalkersTest, SubtreeListsFoldersOnly)
{
    tree.files({QStringLiteral("A/x.jpg"), QStringLiteral("A/B/y.jpg"), QStringLiteral("A/.git2/z"), QStringLiteral("A/C.app/q"),
                QStringLiteral("A/tmp/t")});
    EXPECT_EQ(pathsOf(scanSubtree(source, QStringLiteral("A")).folders), (QStringList{QStringLiteral("A"), QStringLiteral("A/B")}));
    EXPECT_EQ(pathsOf(scanSubtree(source, QStringLiteral("A/x.jpg")).folders), QStringList{});
    QStringList all = pathsOf(scanSubtree(source, QString()).folders);
    all.sort();
    EXPECT_EQ(all, (QStringList{QStringLiteral("A"), QStringLiteral("A/B")}));
    EXPECT_TRUE(scanSubtree(source, QString()).files.isEmpty());

    Source photos = source;
    photos.kind = SourceKind::photos;
    const ScanResult none = scanSubtree(photos, QString());
    EXPECT_TRUE(none.folders.isEmpty() && none.gaps.unlistedFolders.isEmpty() && !none.gaps.rootVanished);
    EXPECT_EQ(listSubfolders(QString(), photos), QStringList{});
}

TEST_F(WalkersTest, ListSubfoldersGivesTheAdmittedNames)
{
    tree.files({QStringLiteral("A/x.jpg"), QStringLiteral("B/p/package.json"), QStringLiteral(".C/y"), QStringLiteral("D.app/z"),
                QStringLiteral("Caches/w"), QStringLiteral("E/f"), QStringLiteral("file.jpg")});
    std::optional<QStringList> names = listSubfolders(QString(), source);
    ASSERT_TRUE(names);
    names->sort();
    EXPECT_EQ(*names, (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("E")}));
    EXPECT_EQ(listSubfolders(QStringLiteral("B"), source), QStringList{});
    EXPECT_EQ(listSubfolders(QStringLiteral("gone"), source), QStringList{});

    const ListingFaultInjection failing([](const QString&) { return EIO; });
    EXPECT_FALSE(listSubfolders(QStringLiteral("A"), source));
}

TEST_F(WalkersTest, FoldersThatFailMidWalkAreReportedNotDropped)
{
    tree.files({QStringLiteral("ok/a.jpg"), QStringLiteral("failing/b.jpg"), QStringLiteral("failing/deeper/c.jpg"),
                QStringLiteral("vanishing/d.jpg"), QStringLiteral("e.jpg")});
    const QString failing = tree.path(QStringLiteral("failing"));
    const QString vanishing = tree.path(QStringLiteral("vanishing"));
    const ListingFaultInjection faults([&](const QString& folder) {
        if (folder == failing)
            return EIO;
        if (folder == vanishing)
            QDir(vanishing).removeRecursively();
        return 0;
    });

    const ScanResult result = scanSource(source, QString(), walk(true, true));

    EXPECT_EQ(pathsOf(result.files), (QStringList{QStringLiteral("e.jpg"), QStringLiteral("ok/a.jpg")}));
    QStringList unreadable = result.gaps.unlistedFolders;
    unreadable.sort();
    EXPECT_EQ(unreadable, (QStringList{QStringLiteral("failing"), QStringLiteral("vanishing")}));
    EXPECT_FALSE(result.gaps.rootVanished);
}

TEST_F(WalkersTest, StoppedWalkEndsAtTheNextFolderAndCountsItsTargetAsUnseen)
{
    tree.files({QStringLiteral("a.jpg"), QStringLiteral("one/b.jpg"), QStringLiteral("one/deep/c.jpg"),
                QStringLiteral("two/d.jpg")});
    int folderChecks = 0;
    ScanOptions options = walk(true, true);
    options.stopRequested = [&] { return ++folderChecks > 2; };   // the root and one folder are listed

    const ScanResult result = scanSource(source, QString(), options);

    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.gaps.unlistedFolders, QStringList{QString()});
    EXPECT_EQ(result.files.size(), 2);
    EXPECT_EQ(folderChecks, 3);   // asked once more, then never again

    // Stopped before it starts: nothing is listed, and a folder's walk covers only that folder.
    const ScanResult sub = scanSource(source, QStringLiteral("one"), ScanOptions{.stopRequested = [] { return true; }});
    EXPECT_TRUE(sub.files.isEmpty());
    EXPECT_EQ(sub.gaps.unlistedFolders, QStringList{QStringLiteral("one")});
    EXPECT_EQ(scanSubtree(source, QString(), ScanOptions{.stopRequested = [] { return true; }}).gaps.unlistedFolders, QStringList{QString()});
}

TEST_F(WalkersTest, RootThatGoesAwayMidWalkIsReportedMissing)
{
    tree.files({QStringLiteral("one/a.jpg"), QStringLiteral("two/b.jpg")});
    const QString moved = dir.path() + QStringLiteral("-unplugged");
    bool unplugged = false;
    const ListingFaultInjection unplug([&](const QString& folder) {
        if (!unplugged && folder != dir.path()) {
            unplugged = QDir().rename(dir.path(), moved);
        }
        return 0;
    });

    const ScanResult result = scanSource(source, QString(), {});

    EXPECT_TRUE(unplugged);
    EXPECT_TRUE(result.gaps.rootVanished);
    QDir().rename(moved, dir.path());

    EXPECT_TRUE(scanSource(folderSource(dir.path() + QStringLiteral("/nothing")), QString(), {}).gaps.rootVanished);
    EXPECT_TRUE(scanSubtree(folderSource(tree.path(QStringLiteral("one/a.jpg"))), QString()).gaps.rootVanished);
}

TEST_F(WalkersTest, TreesDeeperThanPathMaxAreWalkedInFull)
{
    // Two chains of 22 folders, each path past 4,096 bytes and deeper than the descriptors a walk
    // keeps open, so that the walk returns to folders it had to close.
    QStringList photos = nestFolders(dir.path(), QStringLiteral("A"), 22) + nestFolders(dir.path(), QStringLiteral("B"), 22);
    ASSERT_EQ(photos.size(), 44);
    ASSERT_GT(QFile::encodeName(dir.path() + QLatin1Char('/') + photos.last()).size(), 4096);
    photos.sort();

    const ScanResult result = scanSource(source, QString(), walk(true, true));
    EXPECT_EQ(pathsOf(result.files), photos);
    EXPECT_EQ(result.folders.size(), 44);
    EXPECT_TRUE(result.gaps.unlistedFolders.isEmpty());

    // The next-to-deepest folder, reached by its relative path.
    const QString deepest = *std::max_element(photos.begin(), photos.end(), [](const QString& a, const QString& b) { return a.size() < b.size(); });
    const QString deepFolder = deepest.section(QLatin1Char('/'), 0, -3);
    EXPECT_EQ(pathsOf(scanSource(source, deepFolder, walk(false)).files), QStringList{deepFolder + QStringLiteral("/p.jpg")});
    EXPECT_EQ(pathsOf(scanSubtree(source, deepFolder).folders), (QStringList{deepFolder, deepest.section(QLatin1Char('/'), 0, -2)}));
    EXPECT_EQ(listSubfolders(deepFolder, source), QStringList{deepest.section(QLatin1Char('/'), -2, -2)});
}

TEST_F(WalkersTest, FolderMovedOutOfItsParentDuringADeepWalkLeavesTheParentAsAGap)
{
    const QStringList photos = nestFolders(dir.path(), QStringLiteral("A"), 22);
    tree.file(QStringLiteral("A/later/q.jpg"));
    const QString second = photos[1].section(QLatin1Char('/'), 0, 1);
    bool moved = false;
    const ListingFaultInjection faults([&](const QString& folder) {
        if (!moved && folder.count(QLatin1Char('/')) > dir.path().count(QLatin1Char('/')) + 20)
            moved = QDir().rename(tree.path(second), tree.path(QStringLiteral("moved")));
        return 0;
    });

    const ScanResult result = scanSource(source, QString(), walk(true));

    ASSERT_TRUE(moved);
    // Whatever the walk did not see again is below a gap, so its rows are kept.
    const auto coveredByGap = [&](const QString& path) {
        for (const QString& gap : result.gaps.unlistedFolders) {
            if (gap.isEmpty() || path.startsWith(gap + QLatin1Char('/')))
                return true;
        }
        return false;
    };
    EXPECT_TRUE(result.gaps.unlistedFolders.contains(QStringLiteral("A")));
    for (const QString& photo : {photos.first(), QStringLiteral("A/later/q.jpg")})
        EXPECT_TRUE(recordAt(result, photo) || coveredByGap(photo)) << photo.toStdString();
}


// A drive mounted on a folder of the source is reported while it is there. Once it is away, the
// empty folder it leaves on its parent's device is a gap in every kind of walk, so its files are not
// taken for deleted; the same folder holding files again is walked as any folder.
TEST_F(WalkersTest, TheEmptyFolderOfADriveThatIsAwayIsAGap)
{
    tree.files({QStringLiteral("top.jpg"), QStringLiteral("Drive/a.jpg"), QStringLiteral("Drive/sub/b.jpg")});
    const QString drive = tree.path(QStringLiteral("Drive"));
    {
        // The drive's folders all lie on its own device.
        const FolderDeviceInjection mounted([&](const QString& folder) {
            return folder == drive || folder.startsWith(drive + u'/') ? 4242 : 0;
        });
        EXPECT_EQ(scanSource(source, QString(), walk(true)).mountPoints, QStringList{drive});
        EXPECT_EQ(scanSubtree(source, QString()).mountPoints, QStringList{drive});
        EXPECT_EQ(scanSource(source, QStringLiteral("Drive"), walk(true)).mountPoints, QStringList{drive});
        EXPECT_TRUE(scanSource(source, QStringLiteral("Drive/sub"), walk(true)).mountPoints.isEmpty());
    }

    QDir(drive).removeRecursively();
    tree.folder(QStringLiteral("Drive"));
    // Without knowing the drive, its folder is only an empty folder.
    EXPECT_FALSE(scanSource(source, QString(), walk(true)).gaps.covers(QStringLiteral("Drive/a.jpg")));

    ScanOptions known = walk(true, true);
    known.knownMountPoints = {drive};
    const struct {
        const char* walked;
        ScanResult result;
        QString file;
    } walks[] = {
        {"the whole source", scanSource(source, QString(), known), QStringLiteral("Drive/a.jpg")},
        {"its folders only", scanSubtree(source, QString(), known), QStringLiteral("Drive/sub")},
        {"the drive's folder", scanSource(source, QStringLiteral("Drive"), known), QStringLiteral("Drive/a.jpg")},
        {"a folder that was on the drive", scanSource(source, QStringLiteral("Drive/sub"), known),
         QStringLiteral("Drive/sub/b.jpg")},
    };
    for (const auto& w : walks) {
        EXPECT_TRUE(w.result.gaps.covers(w.file)) << w.walked;
        EXPECT_FALSE(w.result.gaps.covers(QStringLiteral("top.jpg"))) << w.walked;
        EXPECT_FALSE(w.result.gaps.rootVanished) << w.walked;
        EXPECT_TRUE(w.result.mountPoints.isEmpty()) << w.walked;
    }
    EXPECT_EQ(pathsOf(walks[0].result.files), QStringList{QStringLiteral("top.jpg")});

    tree.file(QStringLiteral("Drive/c.jpg"));
    const ScanResult refilled = scanSource(source, QString(), known);
    EXPECT_TRUE(refilled.gaps.unlistedFolders.isEmpty());
    EXPECT_EQ(pathsOf(refilled.files), QStringList({QStringLiteral("Drive/c.jpg"), QStringLiteral("top.jpg")}));
}

} // namespace
