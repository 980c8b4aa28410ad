#include "OfflineLibrary.h"

#include "Pellmar/library/engine/CardBrowsing.h"

#include <gtest/gtest.h>

namespace {

CardFile card(const QString& name, double modified = 0)
{
    return CardFile{QStringLiteral("/media/u/CARD/DCIM/") + name, 10, modified, MediaKind::photo};
}

const CardFile a = card(QStringLiteral("A.JPG"));
const CardFile b = card(QStringLiteral("B.JPG"));
const CardFile c = card(QStringLiteral("C.JPG"));
const CardFile d = card(QStringLiteral("D.JPG"));
const CardFile hidden = card(QStringLiteral("HIDDEN.JPG"));   // filtered out of the grid

TEST(CardBrowsing, ClicksChangeTheTickedFilesAndTheFocus)
{
    const QList<CardFile> visible{a, b, c, d};
    enum Keys { plain, command, shift, commandShift };
    struct Case {
        const char* what;
        CardSelection before;
        CardFile clicked;
        Keys keys;
        CardSelection after;
    };
    const Case cases[] = {
        {"plain click on a new file", {b, {b.url, c.url}}, d, plain, {d, {d.url}}},
        {"plain click on the only ticked focus clears", {b, {b.url}}, b, plain, {}},
        {"plain click on the focus among several keeps only it", {b, {b.url, c.url}}, b, plain, {b, {b.url}}},
        {"plain click on the focus with nothing ticked clears", {b, {}}, b, plain, {}},
        {"command ticks and focuses", {b, {b.url}}, d, command, {d, {b.url, d.url}}},
        {"command unticks a file that is not the focus", {b, {b.url, d.url}}, d, command, {b, {b.url}}},
        {"command on the focus moves it to the first ticked in grid order",
         {a, {a.url, d.url, c.url}}, a, command, {c, {c.url, d.url}}},
        {"command on the last ticked focus leaves no focus", {a, {a.url}}, a, command, {std::nullopt, {}}},
        {"command wins over shift", {a, {a.url}}, c, commandShift, {c, {a.url, c.url}}},
        {"shift ticks the run downwards and keeps the focus", {b, {b.url}}, d, shift, {b, {b.url, c.url, d.url}}},
        {"shift ticks the run upwards and drops what lies outside", {c, {c.url, hidden.url}}, a, shift,
         {c, {a.url, b.url, c.url}}},
        {"shift without a focus is a plain click", {std::nullopt, {b.url}}, c, shift, {c, {c.url}}},
        {"shift from a focus the grid does not show is a plain click", {hidden, {hidden.url}}, b, shift, {b, {b.url}}},
        {"shift on the focus itself ticks only it", {b, {a.url, b.url, c.url}}, b, shift, {b, {b.url}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const CardSelection after = clickedCardSelection(test.before, test.clicked, visible,
                                                         test.keys == command || test.keys == commandShift,
                                                         test.keys == shift || test.keys == commandShift);
        EXPECT_EQ(after.focus ? after.focus->url : QString(), test.after.focus ? test.after.focus->url : QString());
        EXPECT_EQ(after.ticked, test.after.ticked);
    }
}

TEST(CardBrowsing, TheGridShowsTheListingFilteredAndSortedAndTheClickSetsTheSelection)
{
    OfflineLibrary offline;
    Library& library = *offline.library;
    const QString device = QStringLiteral("/media/u/CARD");
    EXPECT_EQ(library.visibleCardFiles(device), std::nullopt);   // not listed yet

    const CardFile photo2 = card(QStringLiteral("IMG_2.JPG"), 300);
    const CardFile photo10 = card(QStringLiteral("IMG_10.JPG"), 100);
    const CardFile clip = card(QStringLiteral("MVI_3.MP4"), 200);
    library.setDeviceFiles({{device, {photo10, clip, photo2}}});
    library.setSort(SortField::name);
    library.setAscending(true);
    library.setQuery(QStringLiteral(" img "));
    EXPECT_EQ(library.visibleCardFiles(device), (QList<CardFile>{photo2, photo10}));
    library.setQuery(QString());
    library.setSort(SortField::modified);
    library.setAscending(false);
    const QList<CardFile> shown{photo2, clip, photo10};
    EXPECT_EQ(library.visibleCardFiles(device), shown);

    library.clickCard(clip, shown, false, false);
    library.clickCard(photo10, shown, false, true);
    EXPECT_EQ(library.selectedCardFile(), clip);
    EXPECT_EQ(library.selectedCards(), (QSet<QString>{clip.url, photo10.url}));
}

} // namespace
