#include "FolderSourceFixture.h"

#include "Pellmar/media/FolderCopy.h"

#include <QCoroTask>

#include <sys/stat.h>

namespace {

class PasteTest : public FolderSourceFixture {
protected:
    PasteTest() { QDir().mkpath(outside); }

    QString outsideFile(const QString& relativePath, const QByteArray& content = "photo")
    {
        const QString path = QDir(outside).filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }

    void paste(const QStringList& files, const QString& folder)
    {
        QCoro::waitFor(library.pasteFiles(files, QDir(root).filePath(folder), source));
    }

    QStringList indexed()
    {
        return text(QStringLiteral("SELECT group_concat(rel_path, '|') FROM (SELECT rel_path FROM files ORDER BY rel_path)"))
            .split(u'|', Qt::SkipEmptyParts);
    }

    QString outside = dir.filePath(QStringLiteral("Elsewhere"));
};

TEST_F(PasteTest, PastingTwiceGivesAFreeNameAndBothAreIndexed)
{
    const QString photo = outsideFile(QStringLiteral("photo.jpg"));
    QFile file(photo);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::fromSecsSinceEpoch(1'500'000'000), QFileDevice::FileModificationTime));
    file.close();
    QDir().mkpath(QDir(root).filePath(QStringLiteral("in")));
    paste({photo}, QStringLiteral("in"));
    paste({photo}, QStringLiteral("in"));

    EXPECT_EQ(library.lastError(), std::nullopt);
    EXPECT_EQ(indexed(), QStringList({"in/photo 2.jpg", "in/photo.jpg"}));
    EXPECT_EQ(QFileInfo(QDir(root).filePath(QStringLiteral("in/photo 2.jpg"))).lastModified().toSecsSinceEpoch(),
              1'500'000'000);
}

TEST_F(PasteTest, AFolderIsCopiedWholeWithItsLinksAsLinks)
{
    outsideFile(QStringLiteral("trip/day 1/a.jpg"));
    ASSERT_TRUE(QFile::link(QStringLiteral("day 1/a.jpg"), QDir(outside).filePath(QStringLiteral("trip/latest.jpg"))));
    paste({QDir(outside).filePath(QStringLiteral("trip/"))}, QString());

    EXPECT_EQ(library.lastError(), std::nullopt);
    EXPECT_TRUE(onDisk(QStringLiteral("trip/day 1/a.jpg")));
    const QFileInfo link(QDir(root).filePath(QStringLiteral("trip/latest.jpg")));
    EXPECT_TRUE(link.isSymLink());
    EXPECT_EQ(link.symLinkTarget(), QDir(root).filePath(QStringLiteral("trip/day 1/a.jpg")));
}

TEST_F(PasteTest, AFolderIntoItselfOrAFailedFolderIsRefusedAndLeavesNothing)
{
    outsideFile(QStringLiteral("good.jpg"));
    write(QStringLiteral("trip/day/a.jpg"));
    outsideFile(QStringLiteral("odd/a.jpg"));
    // A pipe cannot be copied: the folder holding it fails after its first file.
    ASSERT_EQ(::mkfifo(QFile::encodeName(QDir(outside).filePath(QStringLiteral("odd/pipe"))).constData(), 0600), 0);

    paste({QDir(root).filePath(QStringLiteral("trip")), QDir(outside).filePath(QStringLiteral("good.jpg")),
           QDir(outside).filePath(QStringLiteral("odd"))},
          QStringLiteral("trip/day"));

    EXPECT_EQ(library.lastError(), "Could not paste trip, odd.");
    EXPECT_EQ(QDir(QDir(root).filePath(QStringLiteral("trip/day"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"a.jpg", "good.jpg"}));
    EXPECT_EQ(copyEntryIntoFolder(QDir(root).filePath(QStringLiteral("trip")), CopyDestination(QDir(root).filePath(QStringLiteral("trip")))),
              std::nullopt);
}

TEST_F(PasteTest, NamesThatAreNotUtf8AreCopiedAsTheirBytes)
{
    outsideFile(QStringLiteral("trip/a.jpg"));
    const QByteArray odd = "caf\xe9.jpg";
    QFile file(QFile::encodeName(QDir(outside).filePath(QStringLiteral("trip/"))) + odd);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("bytes");
    file.close();
    paste({QDir(outside).filePath(QStringLiteral("trip"))}, QString());

    EXPECT_EQ(library.lastError(), std::nullopt);
    EXPECT_TRUE(onDisk(QStringLiteral("trip/a.jpg")));
    QFile copy(QFile::encodeName(QDir(root).filePath(QStringLiteral("trip/"))) + odd);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), "bytes");
}

TEST_F(PasteTest, AFolderThatIsGoneIsNeverMadeAgain)
{
    const QString photo = outsideFile(QStringLiteral("photo.jpg"));
    paste({photo}, QStringLiteral("gone"));

    EXPECT_FALSE(onDisk(QStringLiteral("gone")));
    EXPECT_EQ(library.lastError(), QStringLiteral("The folder “") + QDir(root).filePath(QStringLiteral("gone"))
                                       + QStringLiteral("” is not there, so nothing was copied into it. Could not paste photo.jpg."));
}

TEST_F(PasteTest, OnlyReachableFolderSourcesTakePastesOrOpenInTheFileManager)
{
    const Source home{QStringLiteral("H"), QStringLiteral("Home"), homePath(), QString(), QString(), 2, SourceKind::folder};
    const Source photos{QStringLiteral("P"), QStringLiteral("Photos"), QString(), QString(), QString(), 3, SourceKind::photos};
    const Source drive{QStringLiteral("D"), QStringLiteral("Drive"), QStringLiteral("/media/me/Drive"), QString(), QString(),
                       4, SourceKind::folder};
    library.setSources({source, home, photos, drive});
    library.setOnline({source.id, home.id, photos.id});

    const struct {
        const char* sourceID;
        const char* path;
        bool offered;
    } cases[] = {
        {"S", "", true},           {"S", "in", true},        {"H", "", false}, {"H", "Pictures", true},
        {"P", "Album", false},     {"D", "DCIM", false},     {"X", "in", false},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(library.canPaste(QString::fromLatin1(entry.sourceID), QString::fromLatin1(entry.path)), entry.offered)
            << entry.sourceID << " " << entry.path;
    }

    library.paste(source.id, QStringLiteral("in"));
    EXPECT_EQ(library.lastError(), "Copy a file first, then paste it here.");

    // Show in Files opens any folder of a reachable folder source, a root too.
    for (const auto& entry : cases)
        library.revealFolder(QString::fromLatin1(entry.sourceID), QString::fromLatin1(entry.path));
    EXPECT_EQ(offline.desktop->calls, (QStringList{"reveal folder " + root, "reveal folder " + root + "/in",
                                                   "reveal folder " + homePath(), "reveal folder " + homePath() + "/Pictures"}));
}

} // namespace
