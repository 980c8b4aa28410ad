#include "ItemLibraryFixture.h"

#include "Pellmar/index/Log.h"
#include "Pellmar/library/frame/Clock.h"
#include "tests/support/LogCapture.h"

#include <QSignalSpy>

#include <algorithm>
#include <ostream>

namespace {

// One user action on the grid: a click (count, Command, Shift) or a keyboard move.
struct Action {
    enum Kind { click, arrow, shiftArrow } kind = click;
    QString id;
    int count = 1;
    bool command = false;
    bool shift = false;
};

Action plain(const char* id) { return {.id = QString::fromLatin1(id)}; }
Action commandClick(const char* id) { return {.id = QString::fromLatin1(id), .command = true}; }
Action shiftClick(const char* id) { return {.id = QString::fromLatin1(id), .shift = true}; }
Action doubleClick(const char* id) { return {.id = QString::fromLatin1(id), .count = 2}; }

struct ClickCase {
    const char* name;
    QList<Action> actions;
    QString ticked;      // selectedIDs, sorted and joined with ","
    QString inspected;   // selection's id, "" for none
    QString cursor;      // "" for none
    bool fullscreen = false;
};

void PrintTo(const ClickCase& c, std::ostream* out) { *out << c.name; }

class SelectionTest : public ItemLibraryFixture {
protected:
    // The grid: A, B, C, D (photos), then the document E.
    SelectionTest()
    {
        library->setItems({item("A"), item("B"), item("C"), item("D"), item("E", MediaKind::document)});
    }

    Item gridItem(const QString& id) const
    {
        return *std::find_if(library->items().cbegin(), library->items().cend(),
                             [&](const Item& entry) { return entry.id == id; });
    }

    void perform(const Action& action)
    {
        const Item target = gridItem(action.id);
        switch (action.kind) {
        case Action::click: library->click(target, action.count, std::nullopt, action.command, action.shift); break;
        case Action::arrow: library->select(target); break;
        case Action::shiftArrow: library->extendSelection(target); break;
        }
    }

    QString ticked() const
    {
        QStringList ids(library->selectedIDs().cbegin(), library->selectedIDs().cend());
        ids.sort();
        return ids.join(u',');
    }
};

class ClickSequenceTest : public SelectionTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(ClickSequenceTest, LeavesTheExpectedSelection)
{
    const ClickCase& c = GetParam();
    for (const Action& action : c.actions)
        perform(action);
    EXPECT_EQ(ticked(), c.ticked);
    EXPECT_EQ(library->selection() ? library->selection()->id : QString(), c.inspected);
    EXPECT_EQ(library->cursor.value_or(QString()), c.cursor);
    EXPECT_EQ(library->fullscreen(), c.fullscreen);
    settle();
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, ClickSequenceTest,
    ::testing::Values(
        ClickCase{"PlainClickSelects", {plain("B")}, "B", "B", "B"},
        ClickCase{"ClickingTheSoleSelectionClearsIt", {plain("B"), plain("B")}, "", "", ""},
        ClickCase{"ClickingAnotherMovesTheSelection", {plain("A"), plain("C")}, "C", "C", "C"},
        ClickCase{"PlainClickOnOneOfSeveralMakesItTheOnly", {plain("A"), commandClick("C"), plain("C")}, "C", "C", "C"},
        ClickCase{"CommandAddsAndInspects", {plain("A"), commandClick("C")}, "A,C", "C", "C"},
        ClickCase{"CommandUntickingTheInspectedShowsTheFirstTickedInGridOrder",
                  {plain("C"), commandClick("B"), commandClick("D"), commandClick("D")}, "B,C", "B", "B"},
        ClickCase{"CommandUntickingAnotherKeepsTheInspected", {plain("A"), commandClick("B"), commandClick("A")},
                  "B", "B", "B"},
        ClickCase{"CommandUntickingTheLastEmptiesTheInspector", {plain("A"), commandClick("A")}, "", "", ""},
        ClickCase{"CommandWinsOverShift", {plain("A"), {.id = "C", .command = true, .shift = true}}, "A,C", "C", "C"},
        ClickCase{"ShiftWithoutSelectionIsAPlainClick", {shiftClick("C")}, "C", "C", "C"},
        ClickCase{"ShiftDownwardKeepsTheAnchor", {plain("B"), shiftClick("D")}, "B,C,D", "B", "D"},
        ClickCase{"ShiftUpwardSelectsTheSameRun", {plain("D"), shiftClick("B")}, "B,C,D", "D", "B"},
        ClickCase{"DoubleClickSelectsAndOpensTheViewer", {doubleClick("B")}, "B", "B", "B", true},
        ClickCase{"DoubleClickOnTheSoleSelectionKeepsIt", {plain("B"), doubleClick("B")}, "B", "B", "B", true},
        ClickCase{"DoubleClickInAMultiSelectionSelectsOnlyIt", {plain("A"), commandClick("B"), doubleClick("B")},
                  "B", "B", "B", true},
        ClickCase{"ClearingTheSelectionClosesTheViewer", {doubleClick("B"), plain("B")}, "", "", "", false},
        ClickCase{"DoubleClickOnADocumentLeavesTheViewerClosed", {doubleClick("E")}, "E", "E", "E", false},
        ClickCase{"ArrowKeysMoveTheSelection", {plain("A"), {.kind = Action::arrow, .id = "B"}}, "B", "B", "B"},
        ClickCase{"ShiftArrowsExtendFromTheAnchor",
                  {plain("B"), {.kind = Action::shiftArrow, .id = "C"}, {.kind = Action::shiftArrow, .id = "D"}},
                  "B,C,D", "B", "D"}),
    [](const ::testing::TestParamInfo<ClickCase>& info) { return std::string(info.param.name); });

TEST_F(SelectionTest, ExtendingFromAnItemNoLongerInTheGridSelectsPlainly)
{
    library->select(item("GONE"));
    library->extendSelection(gridItem(QStringLiteral("C")));
    EXPECT_EQ(ticked(), QStringLiteral("C"));
    EXPECT_EQ(library->selection()->id, QStringLiteral("C"));
    settle();
}

TEST_F(SelectionTest, SelectAllKeepsTheInspectedItemOrShowsTheFirst)
{
    library->selectAll();
    EXPECT_EQ(ticked(), QStringLiteral("A,B,C,D,E"));
    EXPECT_EQ(library->selection()->id, QStringLiteral("A"));

    library->select(gridItem(QStringLiteral("C")));
    library->selectAll();
    EXPECT_EQ(library->selection()->id, QStringLiteral("C"));
    EXPECT_EQ(library->cursor, QStringLiteral("C"));

    library->select(std::nullopt);
    library->setItems({});
    library->selectAll();
    EXPECT_TRUE(library->selectedIDs().isEmpty());
    EXPECT_FALSE(library->selection());
    settle();
}

TEST_F(SelectionTest, SelectedItemsFollowGridOrderAndSkipUnknownIds)
{
    library->setSelectedIDs({QStringLiteral("D"), QStringLiteral("GONE"), QStringLiteral("A")});
    QStringList ids;
    for (const Item& selected : library->selectedItems())
        ids.append(selected.id);
    EXPECT_EQ(ids, (QStringList{"A", "D"}));
}

TEST_F(SelectionTest, ClickTimeIsLoggedUntilAViewClearsIt)
{
    auto& clock = static_cast<ManualClock&>(library->clock());
    clock.advance(std::chrono::milliseconds(10'000));
    LogCapture log(logSelection());
    library->click(gridItem(QStringLiteral("A")), 1, 9.75, false, false);
    library->logClick(QStringLiteral("inspector image"), true);
    library->logClick(QStringLiteral("inspector image"), true);   // nothing left to measure
    EXPECT_EQ(log.take(), (QStringList{"click to selection state: 250 ms", "click to inspector image: 250 ms"}));
    settle();
}

// Item P has copies on S1 and S2 and a probable duplicate Q; the index knows a proxy for P that the
// grid's row does not have yet.
class SelectionDetailTest : public SelectionTest {
protected:
    SelectionDetailTest()
    {
        addSource(QStringLiteral("S1"), SourceKind::folder, 1);
        addSource(QStringLiteral("S2"), SourceKind::folder, 2);
        addItem({.id = QStringLiteral("P"), .weakID = QStringLiteral("p.jpg|4x3|100"), .proxyExt = QStringLiteral("heic")});
        addItem({.id = QStringLiteral("Q"), .weakID = QStringLiteral("p.jpg|4x3|100")});
        addFile({.sourceID = QStringLiteral("S2"), .relPath = QStringLiteral("b/p.jpg"), .itemID = QStringLiteral("P")});
        addFile({.sourceID = QStringLiteral("S1"), .relPath = QStringLiteral("a/p.jpg"), .itemID = QStringLiteral("P")});
        addFile({.sourceID = QStringLiteral("S1"), .relPath = QStringLiteral("q.jpg"), .itemID = QStringLiteral("Q")});
        library->setItems({item("P"), item("Q")});
    }

    static QStringList paths(const QList<Location>& locations)
    {
        QStringList paths;
        for (const Location& location : locations)
            paths.append(location.sourceID + u'|' + location.relativePath);
        return paths;
    }
};

TEST_F(SelectionDetailTest, LoadsCopiesDuplicatesAndTheCurrentRow)
{
    library->click(gridItem(QStringLiteral("P")), 1, std::nullopt, false, false);
    EXPECT_TRUE(library->locations().isEmpty());   // cleared at once, filled by the load
    settle();
    EXPECT_EQ(paths(library->locations()), (QStringList{"S1|a/p.jpg", "S2|b/p.jpg"}));
    EXPECT_EQ(paths(library->probable()), QStringList{"S1|q.jpg"});
    EXPECT_EQ(library->selection()->proxyExtension, QStringLiteral("heic"));
}

TEST_F(SelectionDetailTest, ADetailOvertakenByANewerSelectionIsDropped)
{
    QStringList shown;
    QObject::connect(library.get(), &Library::changed, [&](Library::Prop prop) {
        if (prop == Library::Prop::locations && !library->locations().isEmpty())
            shown.append(paths(library->locations()).join(u';'));
    });
    library->select(gridItem(QStringLiteral("P")));
    library->select(gridItem(QStringLiteral("Q")));
    settle();
    EXPECT_EQ(shown, QStringList{"S1|q.jpg"});
    EXPECT_EQ(library->selection()->id, QStringLiteral("Q"));

    library->select(gridItem(QStringLiteral("P")));
    library->select(std::nullopt);
    settle();
    EXPECT_TRUE(library->locations().isEmpty());
    EXPECT_TRUE(library->probable().isEmpty());
    EXPECT_FALSE(library->selection());
}

struct TitleCase {
    const char* name;
    bool favoritesOnly = false;
    bool notBackedUp = false;
    std::optional<QString> source;
    QString path;
    std::optional<SmartFilter> smart;
    QString title;
};

void PrintTo(const TitleCase& c, std::ostream* out) { *out << c.name; }

class LocationTitleTest : public SelectionTest, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(LocationTitleTest, NamesThePlace)
{
    const TitleCase& c = GetParam();
    library->setSources({Source{.id = QStringLiteral("S1"), .name = QStringLiteral("Pictures")}});
    library->setFavoritesOnly(c.favoritesOnly);
    library->setNotBackedUp(c.notBackedUp);
    library->setSourceFilter(c.source);
    library->setPathFilter(c.path);
    library->setSmartFilter(c.smart);
    EXPECT_EQ(library->locationTitle(), c.title);
}

INSTANTIATE_TEST_SUITE_P(
    Places, LocationTitleTest,
    ::testing::Values(TitleCase{.name = "Favorites", .favoritesOnly = true, .notBackedUp = true, .source = "S1",
                                .title = "Favorites"},
                      TitleCase{.name = "NotBackedUp", .notBackedUp = true, .source = "S1", .title = "Not backed up"},
                      TitleCase{.name = "Everything", .title = ""},
                      TitleCase{.name = "UnknownSource", .source = "S9", .title = ""},
                      TitleCase{.name = "SourceRoot", .source = "S1", .title = "Pictures"},
                      TitleCase{.name = "Folder", .source = "S1", .path = "a/b", .title = "Pictures > a > b"},
                      TitleCase{.name = "SmartGroup", .source = "S1", .path = "a", .smart = SmartFilter::photos,
                                .title = "Pictures > Images"}),
    [](const ::testing::TestParamInfo<TitleCase>& info) { return std::string(info.param.name); });

} // namespace
