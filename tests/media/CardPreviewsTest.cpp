#include "Pellmar/media/CardPreviews.h"

#include "Pellmar/index/Hashing.h"
#include "tests/media/MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString& path)
{
    struct stat status {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &status), 0);
    return status.st_mode & 07777;
}

TEST(CardPreviews, KeyHoldsPathTimeWithAFractionAndSize)
{
    struct Case {
        double modified;
        const char* key;
    };
    const Case cases[] = {
        {1700000000, "/media/u/CARD/DCIM/IMG_1.JPG|1700000000.0|2048"},
        {1700000000.25, "/media/u/CARD/DCIM/IMG_1.JPG|1700000000.25|2048"},
        {0.1, "/media/u/CARD/DCIM/IMG_1.JPG|0.1|2048"},
        {-3, "/media/u/CARD/DCIM/IMG_1.JPG|-3.0|2048"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cardPreviewKey(CardFile{"/media/u/CARD/DCIM/IMG_1.JPG", 2048, c.modified, MediaKind::photo}),
                  QLatin1String(c.key));
}

TEST(CardPreviews, PrivateFolderIsMadeForTheUserAloneAndRefusesLinksAndOtherOwners)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("cache/QuorvinCardPreviews"));
    ::umask(022);
    EXPECT_EQ(privateFolder(folder), folder);
    EXPECT_EQ(modeOf(folder), mode_t(0700));

    // An earlier folder of ours that others may enter is narrowed.
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(privateFolder(folder + u'/'), folder);
    EXPECT_EQ(modeOf(folder), mode_t(0700));

    // A link planted in the folder's place is not followed, even to a folder of ours.
    const QString planted = dir.filePath(QStringLiteral("cache/planted"));
    QDir().mkpath(dir.filePath(QStringLiteral("elsewhere")));
    QFile::link(dir.filePath(QStringLiteral("elsewhere")), planted);
    EXPECT_EQ(privateFolder(planted), std::nullopt);
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("elsewhere"))) & 077, mode_t(055));

    QFile file(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_EQ(privateFolder(file.fileName()), std::nullopt);

    // A folder another user owns is refused: as root, one handed to "nobody"; otherwise one of root's.
    QString foreign = QStringLiteral("/usr/share");
    if (::geteuid() == 0) {
        foreign = dir.filePath(QStringLiteral("cache/foreign"));
        QDir().mkpath(foreign);
        ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
    }
    EXPECT_EQ(privateFolder(foreign), std::nullopt);
}

TEST(CardPreviews, APhotoIsReadOnceAndEverythingElseHasNone)
{
    QTemporaryDir card;
    QTemporaryDir previews;
    ExifFields fields;
    fields.thumbnailJpeg = encodedJpeg(quarteredImage(160, 120));
    const QString photoPath = card.filePath(QStringLiteral("IMG_0001.JPG"));
    writeBytes(photoPath, jpegWithExif(quarteredImage(800, 600), fields));
    const CardFile photo{photoPath, QFileInfo(photoPath).size(), 1700000000.5, MediaKind::photo};

    const std::optional<QString> preview = cardPreview(photo, previews.path());
    ASSERT_TRUE(preview);
    EXPECT_EQ(*preview, previews.filePath(sha256Text(cardPreviewKey(photo).toUtf8()) + QStringLiteral(".jpg")));
    EXPECT_EQ(QImage(*preview).size(), QSize(160, 120));
    EXPECT_EQ(QDir(previews.path()).entryList(QDir::Files), QStringList{QFileInfo(*preview).fileName()});

    // A hit reads nothing of the card: the photo may be gone.
    QFile::remove(photoPath);
    EXPECT_EQ(cardPreview(photo, previews.path()), preview);
    // The same path with another time is another file, which cannot be read now.
    CardFile changed = photo;
    changed.modified += 1;
    EXPECT_EQ(cardPreview(changed, previews.path()), std::nullopt);

    const QString plainPath = card.filePath(QStringLiteral("IMG_0002.JPG"));
    writeBytes(plainPath, encodedJpeg(quarteredImage(800, 600)));
    const QString clipPath = card.filePath(QStringLiteral("MVI_0003.MP4"));
    writeBytes(clipPath, QByteArray(4096, 'v'));
    struct Case {
        const char* what;
        CardFile file;
    };
    const Case cases[] = {
        {"a video", {clipPath, 4096, 1, MediaKind::video}},
        {"an audio file", {clipPath, 4096, 1, MediaKind::audio}},
        {"a photo without an embedded preview", {plainPath, QFileInfo(plainPath).size(), 1, MediaKind::photo}},
        {"a folder named like a photo", {card.path(), 0, 1, MediaKind::photo}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cardPreview(c.file, previews.path()), std::nullopt) << c.what;
    EXPECT_EQ(QDir(previews.path()).entryList(QDir::Files).size(), 1);
}

} // namespace
