#include "Pellmar/views/details/DetailRules.h"
#include "Pellmar/views/details/PanelChoice.h"

#include <gtest/gtest.h>

using namespace inspector;

namespace {

Device device(const QString& url)
{
    Device device;
    device.url = url;
    device.name = url.section(u'/', -1);
    return device;
}

Location fileCopy(const QString& source, const QString& path = QStringLiteral("a/IMG.jpg"), qint64 size = 0)
{
    Location location;
    location.sourceID = source;
    location.sourceName = source;
    location.relativePath = path;
    location.size = size;
    location.local = true;
    return location;
}

Location photosCopy(const QString& path = QStringLiteral("Trips/Lisbon/IMG.jpg"))
{
    Location location = fileCopy(QStringLiteral("PHOTOS"), path);
    location.sourceName = QStringLiteral("Photo Library");
    location.assetID = QStringLiteral("ASSET");
    return location;
}

} // namespace

TEST(PanelChoice, FirstConditionThatHoldsDecides)
{
    const QList<Device> card{device("/media/me/CARD")};
    const struct {
        const char* name;
        PanelState state;
        Panel panel;
    } cases[] = {
        {"one id without an inspected item", {1, false, {}, std::nullopt, 0, false}, Panel::location},
        {"one inspected item", {1, true, card, QStringLiteral("/media/me/CARD"), 2, true}, Panel::item},
        {"two ids win over a card file", {2, false, card, QStringLiteral("/media/me/CARD"), 0, true}, Panel::group},
        {"ejected device with ticked cards", {0, false, {}, QStringLiteral("/media/me/CARD"), 3, true}, Panel::location},
        {"device, one ticked, no focus", {0, false, card, QStringLiteral("/media/me/CARD"), 1, false}, Panel::device},
        {"device, two ticked and focus", {0, false, card, QStringLiteral("/media/me/CARD"), 2, true}, Panel::cardGroup},
        {"device with a focused file", {0, false, card, QStringLiteral("/media/me/CARD"), 1, true}, Panel::cardFile},
        {"nothing at all", {}, Panel::location},
    };
    for (const auto& c : cases)
        EXPECT_EQ(choosePanel(c.state), c.panel) << c.name;
}

TEST(ItemDetailStatus, ReachableBeatsCloudWhichBeatsUnplugged)
{
    const QList<Location> unplugged{fileCopy("Travel"), fileCopy("Backup"), fileCopy("Travel")};
    Location cloud = fileCopy("HOME");
    cloud.local = false;

    Library::FileFacts none;
    Library::FileFacts reachable;
    reachable.reachable = fileCopy("HOME");
    Library::FileFacts notDownloaded;
    notDownloaded.cloud = Library::CloudCopy{cloud, QStringLiteral("/home/me/x"), false};

    const struct {
        const char* name;
        QList<Location> locations;
        Library::FileFacts facts;
        StatusLine line;
    } cases[] = {
        {"no copies", {}, none, {}},
        {"only photo library copies", {photosCopy(), photosCopy()}, none, {}},
        {"offline names sorted, each once", unplugged, none,
         {StatusLine::Kind::offline, QStringLiteral("On Backup or Travel, not plugged in")}},
        {"cloud copy beats unplugged", QList<Location>(unplugged) << cloud, notDownloaded,
         {StatusLine::Kind::cloud, QStringLiteral("In iCloud, not downloaded")}},
        {"reachable beats both", QList<Location>(unplugged) << cloud, reachable, {}},
        {"online but missing file", {fileCopy("HOME")}, none, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(statusLine(c.locations, {QStringLiteral("HOME")}, c.facts), c.line) << c.name;
}

TEST(ItemDetailFacts, PerKind)
{
    Item photo;
    photo.kind = MediaKind::photo;
    photo.width = 4032;
    photo.height = 3024;
    photo.capturedAt = 1'796'947'200;   // December 10, 2026, 00:00 UTC
    photo.camera = QStringLiteral("X100V");

    Item video;
    video.kind = MediaKind::video;
    video.duration = 75.4;

    Item audio;
    audio.kind = MediaKind::audio;
    audio.duration = 200;

    Item pdf;
    pdf.kind = MediaKind::document;
    pdf.uti = QStringLiteral("application/pdf");
    pdf.width = 600;
    pdf.height = 800;
    Location small = fileCopy("HOME", "a.pdf", 1'000);
    small.modified = 1'796'947'200;
    Location large = fileCopy("DISK", "a.pdf", 2'500'000);
    large.modified = 1'700'000'000;

    Item unknown;
    unknown.kind = MediaKind::document;
    unknown.uti = QStringLiteral("application/x-no-such-type");

    const auto labels = [](const QList<Fact>& facts) {
        QStringList all;
        for (const Fact& fact : facts)
            all << fact.label;
        return all.join(u',');
    };
    const QList<Fact> photoFacts = itemFacts(photo, {}, std::nullopt);
    EXPECT_EQ(labels(photoFacts), "Kind,Captured,Size,Camera");
    EXPECT_EQ(photoFacts.at(0).value, "Photo");
    EXPECT_EQ(photoFacts.at(2).value, "4032 x 3024");

    const QList<Fact> videoFacts = itemFacts(video, {}, std::nullopt);
    EXPECT_EQ(labels(videoFacts), "Kind,Duration");
    EXPECT_EQ(videoFacts.at(1).value, "1:15");
    EXPECT_EQ(labels(itemFacts(audio, {}, std::nullopt)), "Kind");

    // A document with a pixel size has both sizes; Created only where the birth time is known.
    const QList<Fact> pdfFacts = itemFacts(pdf, {small, large}, 1'700'000'000.0);
    EXPECT_EQ(labels(pdfFacts), "Kind,Size,Created,Modified,Size");
    EXPECT_EQ(pdfFacts.at(0).value, "PDF document");
    EXPECT_EQ(pdfFacts.at(1).value, "2.5 MB");
    EXPECT_TRUE(pdfFacts.at(3).value.startsWith("December 1")) << pdfFacts.at(3).value.toStdString();
    EXPECT_EQ(labels(itemFacts(pdf, {small}, std::nullopt)), "Kind,Size,Modified,Size");
    EXPECT_EQ(itemFacts(unknown, {}, std::nullopt).at(0).value, "Document");
}

TEST(ItemDetailPreview, RatioAndKind)
{
    Item video;
    video.kind = MediaKind::video;
    EXPECT_EQ(previewKind(video, true, true), PreviewKind::player);
    EXPECT_DOUBLE_EQ(previewRatio(video, PreviewKind::player), 16.0 / 9.0);
    EXPECT_EQ(previewKind(video, false, true), PreviewKind::picture);

    Item photo;
    EXPECT_DOUBLE_EQ(previewRatio(photo, PreviewKind::picture), 4.0 / 3.0);
    photo.width = 4032;
    photo.height = 3024;
    EXPECT_DOUBLE_EQ(previewRatio(photo, PreviewKind::picture), 4032.0 / 3024.0);

    Item document;
    document.kind = MediaKind::document;
    document.width = 600;
    document.height = 800;
    EXPECT_EQ(previewKind(document, false, false), PreviewKind::documentIcon);
    EXPECT_EQ(previewKind(document, true, true), PreviewKind::documentPicture);
    EXPECT_DOUBLE_EQ(previewRatio(document, PreviewKind::documentPicture), 1.0);
}

TEST(ItemDetailCopies, HeaderFromSearchCountElseLoadedCopies)
{
    Item item;
    item.id = QStringLiteral("A");
    const QList<Location> one{fileCopy("HOME")};
    EXPECT_EQ(copiesHeader(item, {}, one), "Where it is");
    EXPECT_EQ(copiesHeader(item, {{"A", 3}}, one), "Where it is, 3 copies");
    EXPECT_EQ(copiesHeader(item, {}, {}), "Where it is, 0 copies");
    EXPECT_EQ(copiesHeader(item, {{"A", 1'234}}, {}), "Where it is, 1,234 copies");
}

TEST(CopyRow, StatusPlaceAndButton)
{
    Location offline = fileCopy("DISK", "2026/IMG_1.jpg", 2'000'000);
    Location placeholder = fileCopy("HOME", "IMG_2.jpg", 5'000);
    placeholder.local = false;
    Location asset = photosCopy();
    Location looseAsset = photosCopy("IMG_3.jpg");
    Location assetInCloud = photosCopy();
    assetInCloud.local = false;
    Location here = fileCopy("HOME", "IMG_4.jpg", 1'000);

    const struct {
        const char* name;
        Location location;
        CopyRow row;
    } cases[] = {
        {"unplugged drive", offline, {false, "DISK", "2026/IMG_1.jpg", "2 MB, not connected", false}},
        {"cloud placeholder on a connected source", placeholder,
         {true, "HOME", "IMG_2.jpg", "5 KB, in iCloud only, not downloaded", false}},
        {"library asset in an album", asset, {false, "Photo Library", "Trips/Lisbon", "in the library", false}},
        {"library asset in no album", looseAsset, {false, "Photo Library", "Library", "in the library", false}},
        {"library asset not downloaded", assetInCloud,
         {false, "Photo Library", "Trips/Lisbon", "in iCloud only, not downloaded", false}},
        {"reachable file", here, {true, "HOME", "IMG_4.jpg", "1 KB, connected", true}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(copyRow(c.location, {QStringLiteral("HOME")}), c.row) << c.name;
}
