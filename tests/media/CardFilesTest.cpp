#include "Pellmar/media/CardFiles.h"

#include "Pellmar/index/Hashing.h"
#include "tests/media/MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class CardTest : public ::testing::Test {
protected:
    QString put(const QString& relativePath, const QByteArray& bytes = "data")
    {
        const QString path = card.filePath(relativePath);
        writeBytes(path, bytes);
        return path;
    }

    QStringList listed(const QString& root) const
    {
        QStringList paths;
        for (const CardFile& file : scanCard(root))
            paths.append(QDir(card.path()).relativeFilePath(file.url));
        return paths;
    }

    QTemporaryDir card;
};

TEST_F(CardTest, ListsMediaUnderDcimThenPrivate)
{
    put(QStringLiteral("PRIVATE/M4ROOT/CLIP/C0001.MP4"));
    put(QStringLiteral("DCIM/100CANON/IMG_0002.CR3"));
    put(QStringLiteral("DCIM/100CANON/IMG_0001.JPG"));
    put(QStringLiteral("DCIM/100CANON/._IMG_0001.JPG"));
    put(QStringLiteral("DCIM/100CANON/IMG_0001.XMP"));
    put(QStringLiteral("DCIM/100CANON/notes.txt"));
    put(QStringLiteral("DCIM/.thumbnails/IMG_0001.JPG"));
    put(QStringLiteral("DCIM/101CANON/VOICE.WAV"));
    put(QStringLiteral("DCIM/101CANON/EMPTY.MOV"), QByteArray());
    put(QStringLiteral("MISC/outside.jpg"));
    ASSERT_TRUE(QFile::link(card.filePath(QStringLiteral("MISC/outside.jpg")), card.filePath(QStringLiteral("DCIM/link.jpg"))));

    const QList<CardFile> files = scanCard(card.path());
    EXPECT_EQ(listed(card.path()),
              (QStringList{QStringLiteral("DCIM/100CANON/IMG_0001.JPG"), QStringLiteral("DCIM/100CANON/IMG_0002.CR3"),
                           QStringLiteral("DCIM/101CANON/EMPTY.MOV"), QStringLiteral("DCIM/101CANON/VOICE.WAV"),
                           QStringLiteral("PRIVATE/M4ROOT/CLIP/C0001.MP4")}));
    ASSERT_EQ(files.size(), 5);
    EXPECT_EQ(files[0].kind, MediaKind::photo);
    EXPECT_EQ(files[0].size, 4);
    EXPECT_NEAR(files[0].modified, QFileInfo(files[0].url).lastModified().toMSecsSinceEpoch() / 1000.0, 0.001);
    EXPECT_EQ(files[1].kind, MediaKind::photo);
    EXPECT_EQ(files[2].kind, MediaKind::video);
    EXPECT_EQ(files[2].size, 0);
    EXPECT_EQ(files[3].kind, MediaKind::audio);

    // An empty file has no quick hash; the others have the index's.
    const QHash<QString, QString> hashes = cardQuickHashes(files);
    EXPECT_EQ(hashes.size(), 4);
    EXPECT_FALSE(hashes.contains(files[2].url));
    EXPECT_EQ(hashes.value(files[0].url), quickHash(files[0].url, 4));
}

TEST_F(CardTest, PlainDriveIsWalkedFromItsRoot)
{
    put(QStringLiteral("Photos/a.heic"));
    put(QStringLiteral(".Trash-1000/files/b.jpg"));
    EXPECT_EQ(listed(card.path()), QStringList{QStringLiteral("Photos/a.heic")});
    EXPECT_TRUE(scanCard(card.filePath(QStringLiteral("missing"))).isEmpty());
}

TEST_F(CardTest, DeletingRemovesTheCompanionToo)
{
    const QString photo = put(QStringLiteral("DCIM/100/IMG_1.JPG"));
    const QString companion = put(QStringLiteral("DCIM/100/._IMG_1.JPG"));
    const QString alone = put(QStringLiteral("DCIM/100/IMG_2.JPG"));
    EXPECT_TRUE(deleteWithCompanion(photo));
    EXPECT_FALSE(QFile::exists(photo));
    EXPECT_FALSE(QFile::exists(companion));
    EXPECT_TRUE(deleteWithCompanion(alone));

    // Removed by someone else first: false, and the companion stays.
    const QString orphan = put(QStringLiteral("DCIM/100/._IMG_3.JPG"));
    EXPECT_FALSE(deleteWithCompanion(card.filePath(QStringLiteral("DCIM/100/IMG_3.JPG"))));
    EXPECT_TRUE(QFile::exists(orphan));
}

TEST_F(CardTest, CopyMustMatchInFull)
{
    QByteArray contents(300000, Qt::Uninitialized);
    for (qsizetype i = 0; i < contents.size(); ++i)
        contents[i] = char((i * 7919) >> 3);
    const QString original = put(QStringLiteral("DCIM/100/MVI_1.MP4"), contents);
    const CardFile cardFile{original, contents.size(), 0, MediaKind::video};

    QByteArray differsLate = contents;
    differsLate[200000] = char(differsLate[200000] ^ 1);
    struct Case {
        const char* name;
        std::optional<QByteArray> copy;
        bool verified;
    };
    for (const Case& c : {Case{"identical", contents, true},
                          Case{"differs after 64 KiB", differsLate, false},
                          Case{"one byte short", contents.left(contents.size() - 1), false},
                          Case{"one byte long", contents + 'x', false},
                          Case{"missing", std::nullopt, false}}) {
        QTemporaryDir destination;
        const QString copy = destination.filePath(QStringLiteral("MVI_1.MP4"));
        if (c.copy)
            writeBytes(copy, *c.copy);
        EXPECT_EQ(verifyCopy(copy, cardFile), c.verified) << c.name;
    }

    // The card file changed since it was listed.
    QTemporaryDir destination;
    const QString copy = destination.filePath(QStringLiteral("MVI_1.MP4"));
    writeBytes(copy, contents);
    EXPECT_FALSE(verifyCopy(copy, CardFile{original, contents.size() + 1, 0, MediaKind::video}));
}

} // namespace
