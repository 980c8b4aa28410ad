#include "Pellmar/media/CardCopy.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>

namespace {

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(CardCopyTest, AFreeNameIsTheFirstNameNotTaken)
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    for (const char* name : {"a.jpg", "a 2.jpg", "README", "IMG_0001.JPG", ".hidden", "archive.tar.gz"})
        touch(folder.filePath(QString::fromUtf8(name)));
    // A dangling link takes its name too.
    ASSERT_TRUE(QFile::link(folder.filePath(QStringLiteral("gone")), folder.filePath(QStringLiteral("clip.mov"))));
    const CopyDestination destination(dir.path());

    const std::pair<const char*, const char*> cases[] = {
        {"a.jpg", "a 3.jpg"},         {"README", "README 2"},       {"IMG_0001.JPG", "IMG_0001 2.JPG"},
        {".hidden", ".hidden 2"},     {"archive.tar.gz", "archive.tar 2.gz"},
        {"clip.mov", "clip 2.mov"},   {"new.jpg", "new.jpg"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(freeName(destination.descriptor(), name), QByteArray(expected)) << name;
}

TEST(CardCopyTest, ACopyKeepsDateAndContentsAndAMissingFolderIsNeverMade)
{
    QTemporaryDir dir;
    const QString original = dir.filePath(QStringLiteral("IMG_1.JPG"));
    QFile file(original);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(100'000, 'x'));
    file.close();
    const QString folder = dir.filePath(QStringLiteral("Import"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const CopyDestination destination(folder);
    EXPECT_EQ(destination.lost(), std::nullopt);

    const std::optional<QString> copy = copyIntoFolder(CardFile{original, 100'000, 1'500'000'000.5, MediaKind::photo}, destination);
    ASSERT_TRUE(copy);
    EXPECT_EQ(*copy, QDir(folder).filePath(QStringLiteral("IMG_1.JPG")));
    QFile copied(*copy);
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), QByteArray(100'000, 'x'));
    EXPECT_EQ(QFileInfo(*copy).lastModified().toMSecsSinceEpoch(), 1'500'000'000'500);

    EXPECT_FALSE(copyIntoFolder(CardFile{dir.filePath(QStringLiteral("missing.jpg")), 1, 0, MediaKind::photo}, destination));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);

    const CopyDestination missing(dir.filePath(QStringLiteral("new/below")));
    EXPECT_TRUE(missing.lost());
    EXPECT_FALSE(copyIntoFolder(CardFile{original, 100'000, 0, MediaKind::photo}, missing));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("new"))));
}

TEST(CardCopyTest, AFolderMovedRemovedOrReplacedAfterItWasOpenedIsLost)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Import"));
    const struct {
        const char* change;
        std::function<void()> apply;
    } cases[] = {
        {"renamed", [&] { QDir().rename(folder, dir.filePath(QStringLiteral("Renamed"))); }},
        {"removed", [&] { QDir(folder).removeRecursively(); }},
        // An empty folder of the same name in its place, as an unplugged drive's mount folder is.
        {"replaced", [&] { QDir(folder).removeRecursively(); QDir().mkpath(folder); }},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.change);
        QDir(dir.filePath(QStringLiteral("Renamed"))).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder));
        const CopyDestination destination(folder);
        ASSERT_EQ(destination.lost(), std::nullopt);
        entry.apply();
        ASSERT_TRUE(destination.lost());
        EXPECT_TRUE(destination.lost()->contains(folder));
    }
}

TEST(CardCopyTest, OnlyTheTemporariesOfCopiesThatAnEarlierRunLeftAreRemoved)
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const QString hex(32, u'a');
    const QString left = QStringLiteral(".a.jpg.importing-") + hex;
    const QString current = QStringLiteral(".b.jpg.importing-") + hex;
    for (const QString& name : {left, current, QStringLiteral(".c.importing-short"), QStringLiteral("a.jpg")})
        touch(folder.filePath(name));
    // One from a run that died yesterday, one being written by this run.
    for (const auto& [name, days] : {std::pair(left, -1), std::pair(current, 0)}) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(days).addSecs(60), QFileDevice::FileModificationTime));
    }

    removeInterruptedCopies(dir.path());
    EXPECT_EQ(folder.entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList({current, QStringLiteral(".c.importing-short"), QStringLiteral("a.jpg")}));
}

TEST(CardCopyTest, ANameTakenWhileTheCopyIsWrittenIsNeverReplaced)
{
    QTemporaryDir dir;
    const QString original = dir.filePath(QStringLiteral("IMG_1.JPG"));
    QFile file(original);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(100'000, 'x'));
    file.close();
    const QString folder = dir.filePath(QStringLiteral("Import"));
    QDir().mkpath(folder);

    // Another program saves a file under the free name while the copy is being written.
    const QString taken = QDir(folder).filePath(QStringLiteral("IMG_1.JPG"));
    const CopyWriteFaultInjection race([&](const QString&) {
        QFile other(taken);
        if (!other.exists() && other.open(QIODevice::WriteOnly))
            other.write("the other program's file");
        return 0;
    });
    const std::optional<QString> copy =
        copyIntoFolder(CardFile{original, 100'000, 0, MediaKind::photo}, CopyDestination(folder));
    ASSERT_TRUE(copy);
    EXPECT_EQ(*copy, QDir(folder).filePath(QStringLiteral("IMG_1 2.JPG")));
    QFile kept(taken);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("the other program's file"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

} // namespace
