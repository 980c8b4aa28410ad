#include "Pellmar/views/grid/GridCell.h"
#include "Pellmar/views/grid/GridEmptyState.h"
#include "Pellmar/views/kit/Formatters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using grid::Cell;
using grid::CellInputs;
using grid::TileContent;

namespace {

Item item(MediaKind kind, std::optional<double> capturedAt = {})
{
    Item item;
    item.id = QStringLiteral("I1");
    item.kind = kind;
    item.filename = QStringLiteral("name.ext");
    item.capturedAt = capturedAt;
    return item;
}

Location copy(bool local, qint64 size = 0)
{
    Location location;
    location.local = local;
    location.size = size;
    return location;
}

const QString preview = QStringLiteral("/support/Proxies/I1.preview.jpg");

} // namespace

TEST(GridCellTest, DurationTextHasNoHourFieldAndNeverBreaks)
{
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0, "0:00"}, {59.4, "0:59"}, {59.5, "1:00"}, {75.4, "1:15"}, {3725, "62:05"},
        {-3, "0:00"}, {std::nan(""), "0:00"}, {std::numeric_limits<double>::infinity(), "0:00"},
        {-std::numeric_limits<double>::infinity(), "0:00"},
        {1e300, "153722867280912930:07"},   // saturates at the largest count of seconds
    };
    for (const auto& c : cases)
        EXPECT_EQ(grid::durationText(c.seconds), QString::fromLatin1(c.text)) << c.seconds;
}

TEST(GridCellTest, BadgesFollowCopiesLocationsAndKind)
{
    const QList<Location> cloudOnly{copy(false), copy(false)};
    const QList<Location> oneLocal{copy(false), copy(true)};
    const QList<Location> noLocations;
    const struct {
        const char* what;
        Item item;
        CellInputs inputs;
        std::optional<QString> copies;
        bool cloud;
        std::optional<QString> duration;
    } cases[] = {
        {"one copy", item(MediaKind::photo), {.copies = 1}, {}, false, {}},
        {"no count", item(MediaKind::photo), {}, {}, false, {}},
        {"two copies", item(MediaKind::photo), {.copies = 2}, QStringLiteral("2 copies"), false, {}},
        {"grouped count", item(MediaKind::photo), {.copies = 1200}, QStringLiteral("1,200 copies"), false, {}},
        {"no known locations", item(MediaKind::photo), {.locations = &noLocations}, {}, false, {}},
        {"every copy in the cloud", item(MediaKind::photo), {.locations = &cloudOnly}, {}, true, {}},
        {"one local copy", item(MediaKind::photo), {.locations = &oneLocal}, {}, false, {}},
        {"a video of length 0", item(MediaKind::video), {}, {}, false, QStringLiteral("0:00")},
        {"a cloud video", item(MediaKind::video), {.locations = &cloudOnly}, {}, true, QStringLiteral("0:00")},
    };
    for (const auto& c : cases) {
        const Cell cell = grid::makeCell(c.item, c.inputs, {});
        EXPECT_EQ(cell.copiesBadge, c.copies) << c.what;
        EXPECT_EQ(cell.cloudBadge, c.cloud) << c.what;
        EXPECT_EQ(cell.durationBadge, c.duration) << c.what;
    }
}

TEST(GridCellTest, TileShowsPictureTypeIconOrFullscreenPlaceholder)
{
    Item document = item(MediaKind::document);
    document.uti = QStringLiteral("application/pdf");
    const struct {
        const char* what;
        Item item;
        CellInputs inputs;
        TileContent content;
        std::optional<QString> picture;
    } cases[] = {
        {"photo", item(MediaKind::photo), {.previewPath = preview}, TileContent::picture, preview},
        {"photo without preview", item(MediaKind::photo), {}, TileContent::picture, {}},
        {"document without preview", document, {}, TileContent::typeIcon, {}},
        {"document with preview", document, {.previewPath = preview}, TileContent::picture, preview},
        {"selected in fullscreen", item(MediaKind::photo), {.selected = true, .fullscreen = true, .previewPath = preview},
         TileContent::placeholder, {}},
        {"unselected in fullscreen", item(MediaKind::photo), {.fullscreen = true, .previewPath = preview},
         TileContent::picture, preview},
    };
    for (const auto& c : cases) {
        const Cell cell = grid::makeCell(c.item, c.inputs, {});
        EXPECT_EQ(cell.content, c.content) << c.what;
        EXPECT_EQ(cell.picturePath, c.picture) << c.what;
    }
    EXPECT_EQ(grid::makeCell(document, {}, {}).mimeType, QStringLiteral("application/pdf"));
    // Only an audio file's placeholder carries a symbol.
    EXPECT_EQ(grid::makeCell(item(MediaKind::audio), {}, {}).placeholderSymbol, QStringLiteral("waveform"));
    EXPECT_EQ(grid::makeCell(item(MediaKind::photo), {}, {}).placeholderSymbol, std::nullopt);
}

TEST(GridCellTest, CaptionNamesTypeAndSizeDateOrKind)
{
    Item pdf = item(MediaKind::document);
    pdf.uti = QStringLiteral("application/pdf");
    Item unknown = item(MediaKind::document);
    unknown.uti = QStringLiteral("application/x-no-such-type");
    const double dec10 = 1'796'904'000;   // 2026-12-10 12:00 UTC
    const struct {
        const char* what;
        Item item;
        QList<Location> locations;
        const char* caption;
    } cases[] = {
        {"document with copies", pdf, {copy(true, 1'000), copy(true, 5'000'000), copy(true, 2'000'000)}, "PDF document, 5 MB"},
        {"document without locations", pdf, {}, "PDF document"},
        {"document of an unknown type", unknown, {copy(true, 1'500)}, "Document, 2 KB"},
        {"photo with a date", item(MediaKind::photo, dec10), {}, "Dec 10, 2026"},
        {"photo without a date", item(MediaKind::photo), {}, "Photo"},
        {"video without a date", item(MediaKind::video), {}, "Video"},
        {"audio without a date", item(MediaKind::audio), {}, "Audio"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(grid::cellCaption(c.item, c.locations), QString::fromUtf8(c.caption)) << c.what;
}

TEST(FormattersTest, ByteCountsUseDecimalUnitsWithAdaptivePrecision)
{
    const struct {
        qint64 bytes;
        const char* text;
    } cases[] = {
        {0, "Zero KB"}, {1, "1 byte"}, {999, "999 bytes"}, {1'000, "1 KB"}, {1'499, "1 KB"},
        {999'499, "999 KB"}, {999'500, "1 MB"}, {2'100'000, "2.1 MB"}, {5'000'000, "5 MB"},
        {1'460'000'000, "1.46 GB"}, {1'234'567'890'123, "1.23 TB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(byteCountText(c.bytes), QString::fromLatin1(c.text)) << c.bytes;
}

TEST(FormattersTest, AbbreviatedDatesLeaveOutWeekdayAndTime)
{
    EXPECT_EQ(abbreviatedDateText(1'796'904'000), QStringLiteral("Dec 10, 2026"));
    EXPECT_EQ(abbreviatedDateText(std::nan("")), QString());
    EXPECT_EQ(abbreviatedDateText(1e300), QString());
}

TEST(GridEmptyStateTest, FirstRuleThatAppliesWins)
{
    using grid::EmptyState;
    const EmptyState favorites{QStringLiteral("Nothing favorited yet"), QStringLiteral("star"),
                               QStringLiteral("Right-click an item and choose Add to Favorites.")};
    const auto drive = [](const char* title) { return EmptyState{QString::fromLatin1(title), QStringLiteral("externaldrive"), {}}; };
    const auto folder = [](const char* title) { return EmptyState{QString::fromLatin1(title), QStringLiteral("folder"), {}}; };
    const QString text = QStringLiteral("beach");
    const struct {
        const char* what;
        grid::EmptyStateInputs inputs;
        EmptyState expected;
    } cases[] = {
        {"favorites", {.favoritesOnly = true, .hasSources = true}, favorites},
        {"favorites with a search", {.favoritesOnly = true, .hasSources = true, .query = text}, drive("No matches")},
        {"only here in a place",
         {.onlyHere = true, .hasSources = true, .hasSourceFilter = true, .summaryTotal = 4},
         {QStringLiteral("Everything here has a copy elsewhere"), QStringLiteral("checkmark.shield"), {}}},
        {"only here everywhere", {.onlyHere = true, .hasSources = true}, drive("Nothing indexed yet")},
        {"no sources", {}, drive("Add a folder from the File menu or plug in a drive")},
        {"no sources in an empty place", {.hasSourceFilter = true}, folder("Add a folder from the File menu or plug in a drive")},
        {"a search", {.hasSources = true, .query = text}, drive("No matches")},
        {"everything", {.hasSources = true}, drive("Nothing indexed yet")},
        {"an empty place", {.hasSources = true, .hasSourceFilter = true}, folder("No photos or videos here")},
        {"a place with items", {.hasSources = true, .hasSourceFilter = true, .summaryTotal = 3}, drive("Nothing indexed yet")},
        {"a search in an empty place", {.hasSources = true, .hasSourceFilter = true, .query = text}, folder("No matches")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(grid::emptyState(c.inputs), c.expected) << c.what;
}
