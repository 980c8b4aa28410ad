#include "Pellmar/index/Model.h"

#include <QDir>
#include <QJsonObject>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(ModelEnums, IntegerRawValuesOutsideTheCasesGiveNothing)
{
    EXPECT_EQ(mediaKindFromRawValue(0), MediaKind::photo);
    EXPECT_EQ(mediaKindFromRawValue(3), MediaKind::document);
    EXPECT_EQ(mediaKindFromRawValue(4), std::nullopt);
    EXPECT_EQ(mediaKindFromRawValue(-1), std::nullopt);
    EXPECT_EQ(fileStateFromRawValue(4), FileState::empty);
    EXPECT_EQ(fileStateFromRawValue(5), std::nullopt);
    EXPECT_EQ(fileStateFromRawValue(-1), std::nullopt);
    EXPECT_EQ(sourceKindFromRawValue(1), SourceKind::photos);
    EXPECT_EQ(sourceKindFromRawValue(2), std::nullopt);
    EXPECT_EQ(sourceKindFromRawValue(std::numeric_limits<qint64>::min()), std::nullopt);
}

// The raw texts are stored in the user defaults, and the case lists drive menus in this order.
TEST(ModelEnums, TextRawValuesAreExactAndListedInOrder)
{
    const QStringList filters{"favorites", "recents", "photos", "videos", "raw", "screenshots", "albums"};
    QStringList listed;
    for (SmartFilter filter : allSmartFilters)
        listed << rawValue(filter);
    EXPECT_EQ(listed, filters);
    for (const QString& text : filters)
        EXPECT_EQ(rawValue(smartFilterFromRawValue(text).value()), text);

    const QStringList fields{"name", "kind", "captured", "modified", "added"};
    listed.clear();
    for (SortField field : allSortFields)
        listed << rawValue(field);
    EXPECT_EQ(listed, fields);
    for (const QString& text : fields)
        EXPECT_EQ(rawValue(sortFieldFromRawValue(text).value()), text);

    EXPECT_EQ(smartFilterFromRawValue("Favorites"), std::nullopt);
    EXPECT_EQ(smartFilterFromRawValue(""), std::nullopt);
    EXPECT_EQ(sortFieldFromRawValue("date"), std::nullopt);
    EXPECT_EQ(sortFieldFromRawValue("name "), std::nullopt);
}

TEST(ModelSource, PlaceRankByKindAndRoot)
{
    const QString home = QDir::cleanPath(QDir::homePath());
    const struct {
        SourceKind kind;
        QString root;
        int rank;
    } cases[] = {
        {SourceKind::folder, home, 0},
        {SourceKind::photos, home, 2},
        {SourceKind::photos, "/media/card", 2},
        {SourceKind::folder, home + "/Library/Mobile Documents/com~apple~CloudDocs", 1},
        {SourceKind::folder, home + "/", 4},
        {SourceKind::folder, home + "/Pictures", 4},
        {SourceKind::folder, "/media/alex/DRIVE", 3},
        {SourceKind::folder, "/run/media/alex/DRIVE/Photos", 3},
        {SourceKind::folder, "/mnt/backup", 3},
        {SourceKind::folder, "/media", 4},
        {SourceKind::folder, "/mnt", 4},
        {SourceKind::folder, "/Volumes/DRIVE", 4},
        {SourceKind::folder, "/srv/media/x", 4},
    };
    for (const auto& c : cases) {
        Source source;
        source.rootPath = c.root;
        source.kind = c.kind;
        EXPECT_EQ(source.placeRank(), c.rank) << c.root.toStdString() << " kind " << rawValue(c.kind);
    }
}

TEST(ModelSource, JsonRoundTripUsesFieldNamesAsKeys)
{
    const Source source{"S1", "Card", "/media/alex/CARD", "1234-ABCD", "CARD", 1700000000.25, SourceKind::photos};
    const QJsonObject json = source.toJson();
    EXPECT_EQ(json.keys(), QStringList({"addedAt", "id", "kind", "name", "rootPath", "volumeName", "volumeUUID"}));
    EXPECT_EQ(json.value("kind").toInteger(), 1);
    EXPECT_EQ(Source::fromJson(json), source);
}

TEST(ModelSource, JsonDecodingRejectsBadValues)
{
    const QJsonObject good = Source{"S1", "Home", "/home/alex", "", "", 0, SourceKind::folder}.toJson();
    const struct {
        const char* key;
        QJsonValue value;
    } cases[] = {
        {"kind", 2},
        {"kind", -1},
        {"kind", 1.5},
        {"kind", "1"},
        {"addedAt", "2024-01-01"},
        {"name", 3},
        {"volumeUUID", QJsonValue::Null},
    };
    for (const auto& c : cases) {
        QJsonObject json = good;
        json.insert(c.key, c.value);
        EXPECT_EQ(Source::fromJson(json), std::nullopt) << c.key;
    }
    QJsonObject missing = good;
    missing.remove("rootPath");
    EXPECT_EQ(Source::fromJson(missing), std::nullopt);
}

TEST(ModelItem, WeakKey)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        QString filename;
        qint64 width;
        qint64 height;
        std::optional<double> capturedAt;
        QString key;
    } cases[] = {
        {"IMG_0001.JPG", 4032, 3024, 1700000000.7, "img_0001.jpg|4032x3024|1700000000"},
        {"ÉTÉ.HEIC", 10, 20, 0.0, "été.heic|10x20|0"},
        // Full lower-case mapping: capital I with dot above becomes two code points.
        {"Straße İ.JPG", 1, 1, 5.0, QString::fromUtf8("straße i\u0307.jpg|1x1|5")},
        {"a.jpg", 1, 1, -1.5, "a.jpg|1x1|-1"},
        {"a.jpg", 1, 1, -0.5, "a.jpg|1x1|0"},
        {"a.jpg", 0, 3024, 1700000000.0, ""},
        {"a.jpg", 4032, 0, 1700000000.0, ""},
        {"a.jpg", 4032, -1, 1700000000.0, ""},
        {"a.jpg", 4032, 3024, std::nullopt, ""},
        {"a.jpg", 4032, 3024, nan, ""},
        {"a.jpg", 4032, 3024, 1e300, ""},
        {"a.jpg", 4032, 3024, -std::numeric_limits<double>::infinity(), ""},
    };
    for (const auto& c : cases) {
        Item item;
        item.filename = c.filename;
        item.capturedAt = c.capturedAt;
        item.width = c.width;
        item.height = c.height;
        EXPECT_EQ(item.weakKey(), c.key) << c.filename.toStdString() << " " << c.capturedAt.value_or(-42);
    }
}

TEST(ModelFolderNode, KeyIsSourceThenSmartFilterOrPath)
{
    const struct {
        QString sourceID;
        QString path;
        std::optional<SmartFilter> smart;
        QString key;
    } cases[] = {
        {"A", "x/y", std::nullopt, "A|x/y"},
        {"A", "", std::nullopt, "A|"},
        {"A", "Recents", SmartFilter::recents, "A|#recents"},
    };
    for (const auto& c : cases) {
        FolderNode node;
        node.sourceID = c.sourceID;
        node.path = c.path;
        node.smart = c.smart;
        EXPECT_EQ(node.key(), c.key);
    }
}

TEST(ModelImportTarget, IdsAndEquality)
{
    EXPECT_EQ(ImportTarget::folder("/home/alex/Pictures/Import").id(), "folder|/home/alex/Pictures/Import");
    EXPECT_EQ(ImportTarget::album({"ALB-1/L0/001", "Trips | 2024"}).id(), "album|ALB-1/L0/001|Trips | 2024");
    EXPECT_EQ(ImportTarget::newAlbum("Summer").id(), "new");

    EXPECT_EQ(ImportTarget::newAlbum("Winter").id(), ImportTarget::newAlbum("Summer").id());
    EXPECT_NE(ImportTarget::newAlbum("Winter"), ImportTarget::newAlbum("Summer"));
    EXPECT_NE(ImportTarget::folder("x"), ImportTarget::newAlbum("x"));

    EXPECT_EQ((Device{"/media/alex/CARD", "CARD", 64'000'000'000, 1'000}.id()), "/media/alex/CARD");
}

TEST(ModelWorkspace, MembersCompareAsASet)
{
    Workspace first;
    first.members = {"A|x", "B|#raw"};
    Workspace second;
    second.members.insert("B|#raw");
    second.members.insert("A|x");
    EXPECT_EQ(first, second);
    second.members.insert("C|");
    EXPECT_NE(first, second);
}
