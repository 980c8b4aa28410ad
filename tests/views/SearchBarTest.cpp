#include "Pellmar/index/Log.h"
#include "Pellmar/views/toolbar/SearchBar.h"
#include "Pellmar/views/toolbar/SearchBarRules.h"
#include "Pellmar/views/toolbar/SearchToolbar.h"
#include "tests/library/OfflineLibrary.h"
#include "tests/support/LogCapture.h"

#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

SearchBarState state(SortField sort, bool ascending, std::optional<MediaKind> kind = std::nullopt)
{
    SearchBarState s;
    s.sort = sort;
    s.ascending = ascending;
    s.kindFilter = kind;
    return s;
}

QStringList texts(const QList<SearchMenuEntry>& entries, bool checkedOnly)
{
    QStringList list;
    for (const SearchMenuEntry& entry : entries) {
        if (!checkedOnly || entry.checked)
            list << entry.text;
    }
    return list;
}

} // namespace

TEST(SearchBarRules, SortSymbolIsSecondaryOnlyForDateCapturedDescending)
{
    const struct {
        SortField sort;
        bool ascending;
        bool primary;
        const char* help;
    } cases[] = {
        {SortField::captured, false, false, "Sorted by Date Captured"},
        {SortField::captured, true, true, "Sorted by Date Captured"},
        {SortField::name, false, true, "Sorted by Name"},
        {SortField::added, true, true, "Sorted by Date Added"},
    };
    for (const auto& c : cases) {
        const SearchBarLook look = searchBarLook(state(c.sort, c.ascending));
        EXPECT_EQ(look.sortSymbolPrimary, c.primary) << c.help << c.ascending;
        EXPECT_EQ(look.sortHelp, QLatin1String(c.help));
    }
}

TEST(SearchBarRules, KindSymbolChipAndClearButton)
{
    SearchBarState s;
    SearchBarLook look = searchBarLook(s);
    EXPECT_FALSE(look.kindSymbolPrimary);
    EXPECT_EQ(look.kindHelp, "Showing all kinds");
    EXPECT_TRUE(look.placeholderShown);
    EXPECT_FALSE(look.clearShown);

    s.kindFilter = MediaKind::photo;
    s.query = QStringLiteral("  ");   // spaces are a query of their own
    look = searchBarLook(s);
    EXPECT_TRUE(look.kindSymbolPrimary);
    EXPECT_EQ(look.kindHelp, "Showing Photos");
    EXPECT_FALSE(look.placeholderShown);
    EXPECT_TRUE(look.clearShown);

    // The chip needs both the only-here filter and a selected source.
    const struct {
        bool onlyHere, source, chip;
    } chips[] = {{true, true, true}, {true, false, false}, {false, true, false}};
    for (const auto& c : chips) {
        s.onlyHere = c.onlyHere;
        s.sourceSelected = c.source;
        EXPECT_EQ(searchBarLook(s).onlyHereChipShown, c.chip) << c.onlyHere << c.source;
    }
}

TEST(SearchBarRules, MenusCheckTheCurrentChoice)
{
    const SearchBarState s = state(SortField::name, true, MediaKind::video);
    EXPECT_EQ(texts(kindMenu(s), false),
              QStringList({"All Kinds", "Photos", "Videos", "Audio", "Documents"}));
    EXPECT_EQ(texts(kindMenu(s), true), QStringList{"Videos"});
    EXPECT_EQ(texts(kindMenu(SearchBarState{}), true), QStringList{"All Kinds"});
    EXPECT_TRUE(kindMenu(s)[1].separatorBefore);
    EXPECT_EQ(texts(sortMenu(s), false), QStringList({"Name", "Kind", "Date Captured", "Date Modified",
                                                      "Date Added", "Ascending", "Descending"}));
    EXPECT_EQ(texts(sortMenu(s), true), QStringList({"Name", "Ascending"}));
    EXPECT_TRUE(sortMenu(s)[5].separatorBefore);
}

TEST(SearchBarRules, ChoosingTheCheckedItemDoesNothingAndAFieldKeepsTheDirection)
{
    const SearchBarState descending = state(SortField::captured, false);
    const struct {
        int index;
        std::optional<SortOrder> order;
    } sorts[] = {
        {0, SortOrder{SortField::name, false}},      // "Name" keeps descending
        {2, std::nullopt},                           // the current field
        {5, SortOrder{SortField::captured, true}},  // "Ascending"
        {6, std::nullopt},                           // "Descending", already checked
        {7, std::nullopt},
    };
    for (const auto& c : sorts)
        EXPECT_EQ(sortAfterChoosing(descending, c.index), c.order) << c.index;

    const SearchBarState photos = state(SortField::captured, false, MediaKind::photo);
    EXPECT_EQ(kindAfterChoosing(photos, 0), std::make_optional(std::optional<MediaKind>()));   // "All Kinds"
    EXPECT_EQ(kindAfterChoosing(photos, 1), std::nullopt);
    EXPECT_EQ(kindAfterChoosing(photos, 4), std::optional(std::optional(MediaKind::document)));
    EXPECT_EQ(kindAfterChoosing(SearchBarState{}, 0), std::nullopt);
}

namespace {

class SearchBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bar.resize(600, 40);
        bar.show();
        bar.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&bar));
        // The search of the first appearance.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !bar.debounce().isActive(); }));
        log.take();
    }

    OfflineLibrary offline;
    Library& library = *offline.library;
    LogCapture log{logSearch()};
    SearchBar bar{library};
};

} // namespace

TEST_F(SearchBarTest, KeysInQuickSuccessionSearchOnceAfterTheLast)
{
    bar.field().setFocus();
    for (const char key : {'t', 'r', 'i'}) {
        QTest::keyClick(&bar.field(), key);
        // Each key starts the whole wait again.
        EXPECT_TRUE(bar.debounce().isActive());
        EXPECT_GT(bar.debounce().remainingTime(), SearchBar::debounceMs - 50);
    }
    EXPECT_EQ(library.query(), "tri");
    EXPECT_TRUE(log.take().isEmpty());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !bar.debounce().isActive(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(log.take().filter("search called by search field").size(), 1);
}

TEST_F(SearchBarTest, EscapeEmptiesTheQueryAndAsksForTheGrid)
{
    int gridRequests = 0;
    QObject::connect(&bar, &SearchBar::focusGridRequested, [&] { ++gridRequests; });
    bar.field().setFocus();
    QTest::keyClicks(&bar.field(), "cat");
    QTest::keyClick(&bar.field(), Qt::Key_Escape);
    EXPECT_EQ(library.query(), "");
    EXPECT_EQ(gridRequests, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar.field().text(), "");
    EXPECT_FALSE(bar.clearButton().isVisibleTo(&bar));

    // Already empty: the grid still takes the keyboard, but the query did not change.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bar.debounce().isActive(); }));
    QTest::keyClick(&bar.field(), Qt::Key_Escape);
    EXPECT_EQ(gridRequests, 2);
    EXPECT_FALSE(bar.debounce().isActive());
}

TEST_F(SearchBarTest, FollowsTheLibraryAndStopsWaitingWhenHidden)
{
    library.setQuery(QStringLiteral("restored"));
    library.setOnlyHere(true);
    library.setSourceFilter(QStringLiteral("S"));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar.field().text(), "restored");
    EXPECT_TRUE(bar.clearButton().isVisibleTo(&bar));
    EXPECT_TRUE(bar.onlyHereChip().isVisibleTo(&bar));
    EXPECT_TRUE(bar.debounce().isActive());

    bar.onlyHereChip().click();
    EXPECT_FALSE(library.onlyHere());
    bar.hide();
    EXPECT_FALSE(bar.debounce().isActive());
}

TEST_F(SearchBarTest, MenuChoicesSetTheKindFilterAndTheSort)
{
    const auto choose = [](QToolButton& button, const char* text) {
        button.click();
        auto* menu = button.parentWidget()->findChild<QMenu*>();
        ASSERT_TRUE(menu);
        for (QAction* action : menu->actions()) {
            if (action->text() == QLatin1String(text))
                action->trigger();
        }
        menu->close();
        delete menu;
    };
    choose(bar.kindButton(), "Videos");
    EXPECT_EQ(library.kindFilter(), MediaKind::video);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar.kindButton().toolTip(), "Showing Videos");
    choose(bar.sortButton(), "Name");
    EXPECT_EQ(library.sort(), SortField::name);
    EXPECT_FALSE(library.ascending());
    QCoreApplication::processEvents();
    EXPECT_EQ(bar.sortButton().toolTip(), "Sorted by Name");
}

TEST(SearchToolbarLayout, TheBarIsExactlyTheGivenWidth)
{
    OfflineLibrary offline;
    SearchToolbar toolbar(*offline.library);
    toolbar.resize(1200, 48);
    toolbar.show();
    for (const int width : {900, 260}) {
        toolbar.setBarWidth(width);
        QCoreApplication::processEvents();
        EXPECT_EQ(toolbar.bar().width(), width);
        EXPECT_EQ(toolbar.bar().kindButton().size(), QSize(36, 36));
        EXPECT_EQ(toolbar.bar().sortButton().size(), QSize(36, 36));
        // Centred.
        EXPECT_NEAR(toolbar.bar().geometry().center().x(), toolbar.width() / 2, 1);
    }
}
