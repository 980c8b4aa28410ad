#include "Pellmar/library/engine/ImportDestinations.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

Source folderSource(const QString& name, const QString& root)
{
    Source source;
    source.id = name;
    source.name = name;
    source.rootPath = root;
    return source;
}

TEST(ImportDestinationsTest, DecodesStoredDestinations)
{
    QTemporaryDir dir;
    const QString pictures = dir.filePath(QStringLiteral("Pictures"));
    const QString card = dir.filePath(QStringLiteral("CARD"));
    QDir().mkpath(pictures);
    QDir().mkpath(card + QStringLiteral("/DCIM"));
    const QList<Device> cardListed{Device{card, QStringLiteral("CARD"), 0, 0}};

    struct Case {
        QString stored;
        QList<Device> devices;
        std::optional<ImportTarget> expected;
    };
    const Case cases[] = {
        {QStringLiteral("folder|") + pictures, {}, ImportTarget::folder(pictures)},
        {QStringLiteral("folder|") + pictures + QStringLiteral("/gone"), {}, std::nullopt},
        {QStringLiteral("folder|") + card + QStringLiteral("/DCIM"), cardListed, std::nullopt},
        {QStringLiteral("folder|") + card, cardListed, std::nullopt},
        {QStringLiteral("folder|") + card + QStringLiteral("/DCIM"), {}, ImportTarget::folder(card + QStringLiteral("/DCIM"))},
        // A device whose mount point is only a prefix of the folder's name does not hold it.
        {QStringLiteral("folder|") + pictures, {Device{dir.filePath(QStringLiteral("Pic")), {}, 0, 0}}, ImportTarget::folder(pictures)},
        {QStringLiteral("album|A1|Holidays"), {}, ImportTarget::album(PhotosAlbum{"A1", "Holidays"})},
        {QStringLiteral("album|A1|Holidays|2024"), {}, ImportTarget::album(PhotosAlbum{"A1", "Holidays|2024"})},
        {QStringLiteral("album||Holidays"), {}, std::nullopt},
        {QStringLiteral("new"), {}, std::nullopt},
        {QString(), {}, std::nullopt},
        {QStringLiteral("folder"), {}, std::nullopt},
        {QStringLiteral("folder|a|b"), {}, std::nullopt},
        {QStringLiteral("drive|") + pictures, {}, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeImportTarget(c.stored, c.devices), c.expected) << c.stored.toStdString();
}

TEST(ImportDestinationsTest, LabelsNameTheClosestCoveringSource)
{
    Source photos = folderSource(QStringLiteral("Library"), QStringLiteral("/home/me"));
    photos.kind = SourceKind::photos;
    const QList<Source> sources{photos, folderSource(QStringLiteral("Home"), QStringLiteral("/home/me")),
                                folderSource(QStringLiteral("Pictures"), QStringLiteral("/home/me/Pictures")),
                                folderSource(QStringLiteral("Other"), QStringLiteral("/home/me/Pictures"))};
    struct Case {
        ImportTarget target;
        QString expected;
    };
    const Case cases[] = {
        {ImportTarget::folder(QStringLiteral("/home/me/Pictures/2024/Trip")), QStringLiteral("Pictures > 2024 > Trip")},
        {ImportTarget::folder(QStringLiteral("/home/me/Pictures")), QStringLiteral("Pictures")},
        {ImportTarget::folder(QStringLiteral("/home/me/Pic")), QStringLiteral("Home > Pic")},
        {ImportTarget::folder(QStringLiteral("/srv/photos")), QStringLiteral("/srv/photos")},
        {ImportTarget::album(PhotosAlbum{"A1", "Holidays"}), QStringLiteral("Photo Library > Holidays")},
        {ImportTarget::newAlbum(QStringLiteral("Trip")), QStringLiteral("Photo Library > Trip")},
        {ImportTarget::newAlbum(QString()), QStringLiteral("Photo Library > New Album")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(destinationLabel(c.target, sources), c.expected) << c.expected.toStdString();

    // A folder source rooted at /Users/a/Pic does not cover /Users/a/Pictures.
    EXPECT_FALSE(coveringSource(QStringLiteral("/a/Pictures"), {folderSource(QStringLiteral("P"), QStringLiteral("/a/Pic"))}));
}

} // namespace
