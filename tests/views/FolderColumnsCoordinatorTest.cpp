#include "Pellmar/views/destination/FolderColumnsCoordinator.h"

#include <QHash>

#include <gtest/gtest.h>

namespace {

// A file system held in memory: each listing is answered only when the test delivers it.
class FakeLister final : public FolderLister {
public:
    QHash<QString, QStringList> tree;
    struct Request {
        QString folder;
        std::function<void(const QStringList&)> done;
    };
    QList<Request> pending;
    QStringList asked;

    void list(const QString& folder, const QStringList& excluded, QObject*, std::function<void(const QStringList&)> done) override
    {
        Q_UNUSED(excluded);
        asked.append(folder);
        pending.append({folder, std::move(done)});
    }
    // Answers every request, also those that answering makes.
    void deliverAll()
    {
        while (!pending.isEmpty()) {
            const Request request = pending.takeFirst();
            request.done(tree.value(request.folder));
        }
    }
};

struct Fixture : ::testing::Test {
    FakeLister disk;
    FolderColumnsCoordinator coordinator{disk};
    QList<std::optional<QString>> picks;
    FolderColumnsCoordinator::Values values{QStringLiteral("/r"), {}, {}, 0, std::nullopt};

    Fixture()
    {
        disk.tree[QStringLiteral("/r")] = {QStringLiteral("/r/a"), QStringLiteral("/r/b")};
        disk.tree[QStringLiteral("/r/a")] = {QStringLiteral("/r/a/x"), QStringLiteral("/r/a/y")};
        disk.tree[QStringLiteral("/r/a/y")] = {};
        coordinator.onPick = [this](const std::optional<QString>& folder) {
            picks.append(folder);
            values.selection = folder;
        };
    }

    void update()
    {
        coordinator.update(values);
        disk.deliverAll();
    }
    QStringList rows(int column) const { return coordinator.columns().value(column).children.value_or(QStringList()); }
};

} // namespace

TEST_F(Fixture, SelectionTwoLevelsDownOpensThreeColumnsAsListingsArrive)
{
    int scrolledTo = -1;
    QObject::connect(&coordinator, &FolderColumnsCoordinator::changed, [&](int column) {
        if (column >= 0)
            scrolledTo = column;
    });
    values.selection = QStringLiteral("/r/a/y");
    coordinator.update(values);
    EXPECT_TRUE(coordinator.selectedPath().isEmpty());   // nothing is listed yet
    disk.deliverAll();
    EXPECT_EQ(coordinator.selectedPath(), (QStringList{QStringLiteral("/r/a"), QStringLiteral("/r/a/y")}));
    const auto columns = coordinator.columns();
    ASSERT_EQ(columns.size(), 3);
    EXPECT_EQ(columns[0].selected, 0);
    EXPECT_EQ(columns[1].selected, 1);
    EXPECT_EQ(columns[2].children, QStringList());   // an empty folder opens an empty column
    EXPECT_EQ(scrolledTo, 2);
    EXPECT_TRUE(picks.isEmpty());                    // following the owner never reports back

    // A path partly missing selects what is found.
    values.selection = QStringLiteral("/r/a/gone/deeper");
    update();
    EXPECT_EQ(coordinator.selectedPath(), (QStringList{QStringLiteral("/r/a")}));
}

TEST_F(Fixture, PicksReportTheFolderOrTheRoot)
{
    update();
    EXPECT_EQ(rows(0), (QStringList{QStringLiteral("/r/a"), QStringLiteral("/r/b")}));
    coordinator.pick(0, 0);
    disk.deliverAll();
    EXPECT_EQ(rows(1), (QStringList{QStringLiteral("/r/a/x"), QStringLiteral("/r/a/y")}));
    coordinator.pick(1, 1);
    coordinator.update(values);   // the owner's update after the pick changes nothing
    EXPECT_EQ(coordinator.selectedPath().size(), 2);
    coordinator.pick(0, -1);      // empty space
    EXPECT_EQ(picks, (QList<std::optional<QString>>{QStringLiteral("/r/a"), QStringLiteral("/r/a/y"), QStringLiteral("/r")}));
    EXPECT_TRUE(coordinator.selectedPath().isEmpty());
}

TEST_F(Fixture, FilterNarrowsTheSelectedFoldersColumnOnly)
{
    values.selection = QStringLiteral("/r/a");
    update();
    values.filter = QStringLiteral("  Y ");
    update();
    EXPECT_EQ(rows(0), (QStringList{QStringLiteral("/r/a"), QStringLiteral("/r/b")}));
    EXPECT_EQ(rows(1), QStringList{QStringLiteral("/r/a/y")});
    values.filter.clear();
    update();
    EXPECT_EQ(rows(1).size(), 2);
}

TEST_F(Fixture, ReloadReadsTheDiskAgain)
{
    values.selection = QStringLiteral("/r/a");
    update();
    const qsizetype asked = disk.asked.size();
    coordinator.update(values);   // nothing changed: the cache answers
    EXPECT_EQ(disk.asked.size(), asked);

    // A folder made on disk shows only after a reload, and is then selected.
    disk.tree[QStringLiteral("/r/a")].append(QStringLiteral("/r/a/new"));
    values.reload = 1;
    values.selection = QStringLiteral("/r/a/new");
    coordinator.update(values);
    ASSERT_FALSE(disk.pending.isEmpty());
    disk.deliverAll();
    EXPECT_EQ(coordinator.selectedPath(), (QStringList{QStringLiteral("/r/a"), QStringLiteral("/r/a/new")}));

    // A new root starts from column 0 with nothing selected.
    values.root = QStringLiteral("/r/a");
    values.selection = QStringLiteral("/r/a");
    update();
    EXPECT_TRUE(coordinator.selectedPath().isEmpty());
    EXPECT_EQ(rows(0).size(), 3);
}
