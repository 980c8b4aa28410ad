#include "Pellmar/library/core/ShareAnchor.h"
#include "Pellmar/library/frame/TaskPools.h"
#include "Pellmar/views/grid/GridActions.h"
#include "Pellmar/views/grid/GridView.h"
#include "Pellmar/views/grid/ItemGridModel.h"
#include "tests/library/OfflineLibrary.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Records what the grid asks of the Library, as "operation:argument" lines.
class SpyActions final : public GridActions {
public:
    explicit SpyActions(const Library& library) : library_(library) {}

    void select(const std::optional<Item>& item) override { record("select", item ? item->id : QStringLiteral("none")); }
    void extendSelection(const Item& item) override { record("extend", item.id); }
    void click(const Item& item, int count, std::optional<double>, bool command, bool shift) override
    {
        record("click", QStringLiteral("%1 %2%3%4").arg(item.id).arg(count).arg(command ? " command" : "").arg(shift ? " shift" : ""));
    }
    void open(const Item& item) override { record("open", item.id); }
    void quickLook(const QList<Item>& items) override
    {
        QStringList ids;
        for (const Item& item : items)
            ids.append(item.id);
        record("quickLook", ids.join(u','));
    }
    QList<Item> selectedItems() const override
    {
        QList<Item> items;
        for (const Item& item : library_.items()) {
            if (library_.selectedIDs().contains(item.id))
                items.append(item);
        }
        return items;
    }
    void selectAll() override { record("selectAll"); }
    void trashSelection() override { record("trash"); }
    void copySelection() override { record("copy"); }
    bool acceptsPaste(const QString& sourceID, const QString& path) const override
    {
        return sourceID == QLatin1String("S1") && path == QLatin1String("trip");
    }
    void paste(const QString& sourceID, const QString& path) override { record("paste", sourceID + u':' + path); }
    std::optional<QString> previewPath(const Item&) const override { return std::nullopt; }
    void setPointerInGrid(bool inside) override { record("pointer", inside ? "in" : "out"); }

    QStringList takeCalls() { return std::exchange(calls_, {}); }

private:
    void record(const char* operation, const QString& argument = {})
    {
        calls_.append(argument.isEmpty() ? QLatin1String(operation) : QLatin1String(operation) + u':' + argument);
    }

    const Library& library_;
    QStringList calls_;
};

Item item(const QString& id, MediaKind kind = MediaKind::photo)
{
    Item item;
    item.id = id;
    item.kind = kind;
    item.filename = id + QStringLiteral(".jpg");
    return item;
}

// A grid 520 wide (3 columns, beside a scroll bar too) over a Library whose state each test sets by hand.
class GridViewTest : public ::testing::Test {
protected:
    GridViewTest()
    {
        actions = std::make_unique<SpyActions>(*library);
        view = std::make_unique<GridView>(*library, *actions, pools);
        view->resize(520, 400);
        view->show();
    }

    void setItems(const QList<Item>& items)
    {
        library->setItems(items);
        EXPECT_TRUE(QTest::qWaitFor([&] { return view->rows().rowCount() == items.size(); }, 2000));
        actions->takeCalls();   // the pointer entering the new window
    }

    void setSelection(const QStringList& ids, const std::optional<QString>& cursor = {})
    {
        QSet<QString> selected(ids.begin(), ids.end());
        library->setSelectedIDs(selected);
        library->setSelection(std::nullopt);
        for (const Item& candidate : library->items()) {
            if (!ids.isEmpty() && candidate.id == ids.first())
                library->setSelection(candidate);
        }
        library->cursor = cursor;
    }

    QPoint centreOf(int row) const { return view->visualRect(view->rows().index(row)).center(); }

    // Whether the grid took the key.
    bool press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(view.get(), &event);
        return event.isAccepted();
    }

    OfflineLibrary offline;
    std::unique_ptr<Library>& library = offline.library;
    TaskPools pools;
    std::unique_ptr<SpyActions> actions;
    std::unique_ptr<GridView> view;
};

const QList<Item> seven{item("1"), item("2"), item("3"), item("4"), item("5"), item("6"), item("7")};

TEST_F(GridViewTest, ClicksReachTheLibraryWithTheirCountAndModifiers)
{
    setItems(seven);
    ASSERT_EQ(view->columnCount(), 3);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centreOf(1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, centreOf(2));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, centreOf(4));
    // A double click arrives as a click, then a double click.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centreOf(6));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, centreOf(6));
    EXPECT_EQ(actions->takeCalls(), QStringList({"click:2 1", "click:3 1 command", "click:5 1 shift", "click:7 1", "click:7 2"}));

    // Below the last row: the selection is cleared and the grid takes the focus.
    view->clearFocus();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centreOf(6) + QPoint(170, 0));
    EXPECT_EQ(actions->takeCalls(), QStringList({"select:none"}));
    EXPECT_TRUE(view->hasFocus());
}

TEST_F(GridViewTest, ArrowsMoveOrExtendTheSelectionByTilesAndRows)
{
    setItems(seven);
    const struct {
        const char* what;
        QStringList selected;
        std::optional<QString> cursor;
        int key;
        Qt::KeyboardModifiers modifiers;
        QStringList calls;
    } cases[] = {
        {"down from the second", {"2"}, {}, Qt::Key_Down, {}, {"select:5"}},
        {"down from the sixth", {"6"}, {}, Qt::Key_Down, {}, {}},
        {"up on the first row", {"3"}, {}, Qt::Key_Up, {}, {}},
        {"left on the first", {"1"}, {}, Qt::Key_Left, {}, {}},
        {"right on the last", {"7"}, {}, Qt::Key_Right, {}, {}},
        {"no selection", {}, {}, Qt::Key_Left, {}, {"select:1"}},
        {"shift grows the run from the cursor", {"2", "3"}, "3", Qt::Key_Right, Qt::ShiftModifier, {"extend:4"}},
        {"shift left shrinks it", {"2", "3"}, "3", Qt::Key_Left, Qt::ShiftModifier, {"extend:2"}},
        {"other modifiers make no difference", {"2"}, {}, Qt::Key_Right, Qt::ControlModifier, {"select:3"}},
    };
    for (const auto& c : cases) {
        setSelection(c.selected, c.cursor);
        EXPECT_TRUE(press(c.key, c.modifiers)) << c.what;
        EXPECT_EQ(actions->takeCalls(), c.calls) << c.what;
    }
}

TEST_F(GridViewTest, SpaceReturnAndDeleteActOnTheSelectionOrPassTheKeyOn)
{
    setItems({item("P"), item("D", MediaKind::document), item("E", MediaKind::document), item("V", MediaKind::video)});
    const struct {
        const char* what;
        QStringList selected;
        int key;
        bool handled;
        QStringList calls;
    } cases[] = {
        {"space on a photo opens it", {"P"}, Qt::Key_Space, true, {"open:P"}},
        {"space on a document shows Quick Look", {"D"}, Qt::Key_Space, true, {"quickLook:D"}},
        {"space on one of several documents", {"D", "P", "E"}, Qt::Key_Space, true, {"quickLook:P,D,E"}},
        {"return on a document opens it", {"D"}, Qt::Key_Return, true, {"open:D"}},
        {"enter opens", {"V"}, Qt::Key_Enter, true, {"open:V"}},
        {"space with nothing selected", {}, Qt::Key_Space, false, {}},
        {"delete with nothing selected", {}, Qt::Key_Delete, false, {}},
        {"delete", {"P"}, Qt::Key_Delete, true, {"trash"}},
        {"backspace", {"P", "V"}, Qt::Key_Backspace, true, {"trash"}},
        {"a letter", {"P"}, Qt::Key_A, false, {}},
    };
    for (const auto& c : cases) {
        setSelection(c.selected);
        EXPECT_EQ(press(c.key), c.handled) << c.what;
        EXPECT_EQ(actions->takeCalls(), c.calls) << c.what;
    }
}

TEST_F(GridViewTest, OnlyKeyMovesScroll)
{
    QList<Item> many;
    for (int i = 0; i < 60; ++i)
        many.append(item(QString::number(i)));
    setItems(many);
    setSelection({"1"});
    QScrollBar* bar = view->verticalScrollBar();
    ASSERT_EQ(bar->value(), 0);

    library->setSelectedIDs({QStringLiteral("58")});   // a selection made elsewhere
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 0);

    ASSERT_EQ(view->columnCount(), 3);
    setSelection({"55"});
    press(Qt::Key_Down);   // to 58, at the end: scrolled just far enough to show it
    const QRect target = view->visualRect(view->rows().index(58));
    EXPECT_GT(bar->value(), 0);
    EXPECT_EQ(target.bottom(), view->viewport()->height() - 1);
}

TEST_F(GridViewTest, NewResultsKeepTheScrollPosition)
{
    QList<Item> many;
    for (int i = 0; i < 60; ++i)
        many.append(item(QString::number(i)));
    setItems(many);
    view->verticalScrollBar()->setValue(600);
    many.removeLast();
    many.prepend(item(QStringLiteral("new")));
    std::swap(many[10], many[11]);
    setItems(many);
    EXPECT_EQ(view->verticalScrollBar()->value(), 600);
}

// Captions are written as tiles come near the screen and kept between results: whatever is
// scrolled to shows its caption, and a caption follows a change of its item or its locations.
TEST_F(GridViewTest, CaptionsFollowTheScrollAndTheirItems)
{
    QList<Item> many;
    for (int i = 0; i < 60; ++i)
        many.append(item(QString::number(i)));
    many[0].kind = MediaKind::document;
    many[0].uti = QStringLiteral("application/x-no-such-type");
    many[59].kind = MediaKind::video;
    Location copy;
    copy.local = true;
    copy.size = 1'500;
    library->setItemLocations({{QStringLiteral("0"), {copy}}});
    setItems(many);
    const auto caption = [&](int row) { return view->rows().cell(row).caption; };
    EXPECT_EQ(caption(0), QStringLiteral("Document, 2 KB"));
    EXPECT_EQ(caption(1), QStringLiteral("Photo"));

    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    EXPECT_EQ(caption(59), QStringLiteral("Video"));
    EXPECT_EQ(caption(58), QStringLiteral("Photo"));

    // The same ids, changed: the captions on screen and off screen are written anew.
    many[59].kind = MediaKind::audio;
    many[0].kind = MediaKind::photo;
    library->setItems(many);
    EXPECT_TRUE(QTest::qWaitFor([&] { return caption(59) == QStringLiteral("Audio"); }, 2000)) << caption(59).toStdString();
    view->verticalScrollBar()->setValue(0);
    EXPECT_EQ(caption(0), QStringLiteral("Photo"));

    many[0].kind = MediaKind::document;
    library->setItems(many);
    copy.size = 5'000'000;
    library->setItemLocations({{QStringLiteral("0"), {copy}}});
    EXPECT_TRUE(QTest::qWaitFor([&] { return caption(0) == QStringLiteral("Document, 5 MB"); }, 2000)) << caption(0).toStdString();
}

TEST_F(GridViewTest, EditCommandsFollowTheSelectionAndThePlace)
{
    setItems(seven);
    GridCommands commands = view->gridCommands();
    EXPECT_FALSE(commands.hasSelection);
    EXPECT_FALSE(commands.canPaste);   // no source filter
    EXPECT_TRUE(commands.hasItems);

    setSelection({"2"});
    library->setSourceFilter(QStringLiteral("S1"));
    library->setPathFilter(QStringLiteral("trip"));
    commands = view->gridCommands();
    EXPECT_TRUE(commands.hasSelection);
    EXPECT_TRUE(commands.canPaste);
    commands.copy();
    commands.paste();
    commands.deleteSelection();
    commands.selectAll();
    EXPECT_EQ(actions->takeCalls(), QStringList({"copy", "paste:S1:trip", "trash", "selectAll"}));
}

TEST_F(GridViewTest, HoverAndContextMenus)
{
    setItems(seven);
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(view->viewport(), &enter);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(view->viewport(), &leave);
    EXPECT_EQ(actions->takeCalls(), QStringList({"pointer:in", "pointer:out"}));

    QSignalSpy itemMenus(view.get(), &GridView::itemMenuRequested);
    QSignalSpy groupMenus(view.get(), &GridView::groupMenuRequested);
    const auto rightClick = [&](int row) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, centreOf(row), view->viewport()->mapToGlobal(centreOf(row)));
        QCoreApplication::sendEvent(view->viewport(), &event);
    };
    setSelection({"2", "3"});
    rightClick(2);   // one of several selected
    rightClick(4);   // not selected
    setSelection({"2"});
    rightClick(1);   // the only selected one
    ASSERT_EQ(groupMenus.count(), 1);
    EXPECT_EQ(groupMenus.at(0).at(0).toString(), QStringLiteral("3"));
    ASSERT_EQ(itemMenus.count(), 2);
    EXPECT_EQ(itemMenus.at(0).at(0).value<Item>().id, QStringLiteral("5"));
    EXPECT_EQ(itemMenus.at(1).at(1).toString(), QStringLiteral("2"));
    EXPECT_TRUE(actions->takeCalls().isEmpty());   // a right click selects nothing
}

TEST_F(GridViewTest, EveryTileHasAShareAnchorUnderItsItemId)
{
    setItems(seven);
    ShareAnchor* anchor = library->anchors.value(QStringLiteral("2"));
    ASSERT_TRUE(anchor);
    const QRect tile = *anchor->screenRect();
    EXPECT_EQ(tile.topLeft(), view->viewport()->mapToGlobal(view->visualRect(view->rows().index(1)).topLeft()));
    EXPECT_NEAR(tile.height(), tile.width() * 3.0 / 4, 1);

    setItems({item("2")});
    EXPECT_EQ(library->anchors.size(), 1);
    view->hide();
    EXPECT_FALSE(library->anchors.value(QStringLiteral("2"))->screenRect());   // the pointer then
    view.reset();
    EXPECT_TRUE(library->anchors.isEmpty());
}

} // namespace
