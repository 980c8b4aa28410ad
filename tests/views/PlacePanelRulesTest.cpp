#include "Pellmar/views/details/GroupRules.h"
#include "Pellmar/views/details/LocationRules.h"
#include "Pellmar/views/kit/Formatters.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace inspector;

namespace {

Source source(SourceKind kind, const QString& root = QStringLiteral("/media/me/Travel"))
{
    Source source;
    source.id = QStringLiteral("S");
    source.name = QStringLiteral("Travel");
    source.rootPath = root;
    source.kind = kind;
    return source;
}

Item ofKind(MediaKind kind)
{
    Item item;
    item.kind = kind;
    return item;
}

} // namespace

TEST(LocationPanelTitle, FirstMatchingLineDecides)
{
    const Source drive = source(SourceKind::folder);
    const Source home = source(SourceKind::folder, QDir::homePath());
    const struct {
        const char* name;
        PlaceView place;
        PlaceTitle title;
    } cases[] = {
        {"favorites only", {true, true, SmartFilter::recents, "a/b", drive}, {"Favorites", "star"}},
        {"not backed up", {false, true, SmartFilter::recents, {}, drive},
         {"Not backed up", "externaldrive.badge.exclamationmark"}},
        {"smart favorites", {false, false, SmartFilter::favorites, {}, std::nullopt}, {"Favorites", "heart"}},
        {"smart photos", {false, false, SmartFilter::photos, {}, drive}, {"Images", "photo"}},
        {"smart raw", {false, false, SmartFilter::raw, {}, drive}, {"RAW", "camera.aperture"}},
        {"folder of a source", {false, false, std::nullopt, "2026/Winter", drive}, {"Winter", "folder"}},
        {"folder of a source not listed", {false, false, std::nullopt, "2026/Winter", std::nullopt}, {"Winter", "house"}},
        {"drive", {false, false, std::nullopt, {}, drive}, {"Travel", "externaldrive"}},
        {"home folder", {false, false, std::nullopt, {}, home}, {"Travel", "laptopcomputer"}},
        {"everything", {}, {"All items", "house"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(placeTitle(c.place), c.title) << c.name;
}

TEST(LocationPanelFigures, EmptyFolderRuleAndRows)
{
    const LocationSummary none;
    LocationSummary some;
    some.photos = 1'200;
    some.documents = 2;
    some.documentSize = 1'200'000;
    some.size = 9'000'000'000;
    some.notLocal = 3;
    some.onlyHere = 4;
    some.earliest = 1'796'947'200;
    some.latest = 1'796'947'200 + 60;   // the same day

    EXPECT_TRUE(emptyFolder(none, source(SourceKind::folder), false));
    EXPECT_FALSE(emptyFolder(none, source(SourceKind::folder), true));
    EXPECT_FALSE(emptyFolder(none, source(SourceKind::photos), false));
    EXPECT_FALSE(emptyFolder(none, std::nullopt, false));
    EXPECT_FALSE(emptyFolder(some, source(SourceKind::folder), false));

    // Everything in an empty index: the items and the size, nothing else.
    EXPECT_EQ(figureRows(none, std::nullopt),
              (QList<FigureRow>{{"Items", "0"}, {"Size", "Zero KB"}}));
    EXPECT_EQ(figureRows(some, source(SourceKind::folder)),
              (QList<FigureRow>{{"Items", "1,202"},
                                {"Photos", "1,200"},
                                {"Documents", "2 (1.2 MB)"},
                                {"Size", "9 GB"},
                                {"Captured", abbreviatedDateText(1'796'947'200)},
                                {"Not downloaded", "3"},
                                {"Only here", "4", true}}));
    some.latest = 1'797'500'000;
    const QList<FigureRow> photoRows = figureRows(some, source(SourceKind::photos));
    EXPECT_EQ(photoRows.at(4), (FigureRow{"Captured", abbreviatedDateText(1'796'947'200) + QStringLiteral(" to ") +
                                                          abbreviatedDateText(1'797'500'000)}));
    EXPECT_EQ(photoRows.at(5).label, "Only here");   // never "Not downloaded" for the photo library
}

TEST(LocationPanelCaption, ScopeWithoutASource)
{
    EXPECT_EQ(scopeCaption(true, true, std::nullopt, 3), "Only one copy exists");
    EXPECT_EQ(scopeCaption(false, true, std::nullopt, 3), "Across all sources");
    EXPECT_EQ(scopeCaption(false, false, QStringList{"a"}, 3), "1 source");
    EXPECT_EQ(scopeCaption(false, false, std::nullopt, 0), "0 sources");
    EXPECT_EQ(scopeCaption(false, false, std::nullopt, 1'500), "1,500 sources");
}

TEST(SelectionPanel, TitleAndSubtitle)
{
    const QList<Item> mixed{ofKind(MediaKind::photo), ofKind(MediaKind::video), ofKind(MediaKind::photo),
                            ofKind(MediaKind::photo)};
    EXPECT_EQ(groupSubtitle(12'000'000, kindsText(mixed)), "12 MB, 3 photos, 1 video");
    EXPECT_EQ(kindsText({ofKind(MediaKind::audio)}), "1 audio file");
    EXPECT_EQ(kindsText({ofKind(MediaKind::audio), ofKind(MediaKind::audio), ofKind(MediaKind::document)}),
              "2 audio files, 1 document");
    EXPECT_EQ(groupSubtitle(0, QString()), "Zero KB");
    EXPECT_EQ(groupTitle(1'234), "1,234 items selected");
}
