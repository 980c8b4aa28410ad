#include "FakeReadings.h"

#include "Pellmar/library/Library.h"
#include "Pellmar/index/Log.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/VolumeService.h"
#include "tests/index/IndexFixture.h"
#include "tests/support/LogCapture.h"

#include <QCoroTask>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <latch>
#include <optional>
#include <ostream>

namespace {

// Keeps an Index's executor busy with a job that waits until released, so that the jobs
// submitted meanwhile queue behind it.
class HeldIndex {
public:
    explicit HeldIndex(Index& index) { index.run([gate = gate_](Index&) { gate->wait(); }); }
    ~HeldIndex() { release(); }

    void release()
    {
        if (!released_)
            gate_->count_down();
        released_ = true;
    }

private:
    std::shared_ptr<std::latch> gate_ = std::make_shared<std::latch>(1);
    bool released_ = false;
};

QStringList idsOf(const QList<Item>& items)
{
    QStringList ids;
    for (const Item& item : items)
        ids.append(item.id);
    return ids;
}

bool anyStartsWith(const QStringList& lines, const QString& start)
{
    return std::any_of(lines.cbegin(), lines.cend(), [&](const QString& line) { return line.startsWith(start); });
}

// Two folder sources; P1 has a copy on each. In the default order (newest capture first):
// P2, V1, P1, A1.
class SearchTest : public IndexFixture {
protected:
    SearchTest()
    {
        addSource(QStringLiteral("S1"), SourceKind::folder, 1);
        addSource(QStringLiteral("S2"), SourceKind::folder, 2);
        addPicture({.id = QStringLiteral("P1"), .filename = QStringLiteral("beach.jpg"), .capturedAt = 100,
                    .previewExt = QStringLiteral("jpg")},
                   QStringLiteral("S1"), QStringLiteral("trip/beach.jpg"));
        addFile({.sourceID = QStringLiteral("S2"), .relPath = QStringLiteral("backup/beach.jpg"), .itemID = QStringLiteral("P1")});
        addPicture({.id = QStringLiteral("V1"), .kind = MediaKind::video, .filename = QStringLiteral("beach.mp4"),
                    .capturedAt = 200},
                   QStringLiteral("S1"), QStringLiteral("trip/beach.mp4"));
        addPicture({.id = QStringLiteral("P2"), .filename = QStringLiteral("dog.jpg"), .capturedAt = 300},
                   QStringLiteral("S2"), QStringLiteral("dog.jpg"));
        addPicture({.id = QStringLiteral("A1"), .kind = MediaKind::audio, .filename = QStringLiteral("song.mp3")},
                   QStringLiteral("S1"), QStringLiteral("song.mp3"));
        openLibrary();
    }

    ~SearchTest() override
    {
        library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    // A Library on the fixture's index, started up and knowing its sources.
    void openLibrary()
    {
        Library::Services services;
        services.supportDirectory = dir.path();
        services.defaults = &defaults;
        services.clock = clock;
        services.idleReadings = fakes.readings();
        services.volumes = std::make_shared<VolumeService>();
        library = std::make_unique<Library>(std::move(services));
        QSignalSpy started(library.get(), &Library::startupFinished);
        EXPECT_TRUE(started.wait(10000));
        library->setSources(index.sources());
    }

    // An item with one file and its search text, as the quick-index worker leaves them.
    void addPicture(const FixtureItem& item, const QString& sourceID, const QString& relPath)
    {
        addItem(item);
        addFile({.sourceID = sourceID, .relPath = relPath, .itemID = item.id});
        addSearchText(item.id, QString(item.filename).replace(u'.', u' '));
    }

    void search() { QCoro::waitFor(library->search()); }

    // Until every search started and not awaited has ended.
    static void waitForSearches()
    {
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000));
    }

    Defaults defaults{dir.filePath(QStringLiteral("Quorvin.conf"))};
    // Outlives the library: its sleeping tasks end after it.
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    FakeReadings fakes;
    std::unique_ptr<Library> library;
};

TEST_F(SearchTest, OneSearchFillsGridAndPanelAndLogsEachStep)
{
    library->setSourceFilter(QStringLiteral("S1"));
    library->setPathFilter(QStringLiteral("trip"));
    library->setQuery(QStringLiteral("beach"));
    LogCapture log(logSearch());
    search();
    const qint64 gen = library->searchGeneration;

    EXPECT_EQ(idsOf(library->items()), (QStringList{"V1", "P1"}));
    EXPECT_EQ(library->copies(), (QHash<QString, qint64>{{"V1", 1}, {"P1", 2}}));
    QStringList p1Copies;
    for (const Location& location : library->itemLocations().value(QStringLiteral("P1")))
        p1Copies.append(location.sourceID + u'|' + location.relativePath);
    EXPECT_EQ(p1Copies, (QStringList{"S1|trip/beach.jpg", "S2|backup/beach.jpg"}));
    EXPECT_EQ(library->summary().photos, 1);
    EXPECT_EQ(library->summary().videos, 1);
    EXPECT_EQ(idsOf(library->heroItems()), QStringList{"P1"});
    EXPECT_EQ(library->allCount(), 4);
    EXPECT_EQ(library->notBackedUpCount(), 3);

    const QStringList lines = log.take();
    ASSERT_EQ(lines.size(), 3) << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("search start gen %1 source S1 path 'trip' smart nil within all favorites nil "
                                       "query 'beach'").arg(gen));
    EXPECT_EQ(lines[1], QStringLiteral("search grid gen %1 applied at 0 ms: search 0 locations 0 copyCounts 0 found 2 "
                                       "kinds Photo,Video").arg(gen));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^search panel gen %1 applied at 0 ms: summary \\d+ hero \\d+ "
                                                  "itemCount \\d+ favorites \\d+ summary photos 1 videos 1 total 2$")
                                       .arg(gen))
                    .match(lines[2])
                    .hasMatch())
        << lines[2].toStdString();
}

TEST_F(SearchTest, AnOlderSearchThatReturnsLateAppliesNothing)
{
    QSignalSpy changes(library.get(), &Library::changed);
    LogCapture log(logSearch());
    {
        HeldIndex held(library->readIndex());
        library->setQuery(QStringLiteral("beach"));
        Tasks::start(library->search());
        library->setQuery(QStringLiteral("dog"));
        Tasks::start(library->search());
    }
    waitForSearches();
    const qint64 latest = library->searchGeneration;

    EXPECT_EQ(idsOf(library->items()), QStringList{"P2"});
    const auto itemChanges = std::count_if(changes.cbegin(), changes.cend(), [](const QList<QVariant>& change) {
        return change.at(0).value<Library::Prop>() == Library::Prop::items;
    });
    EXPECT_EQ(itemChanges, 1);
    const QStringList lines = log.take();
    EXPECT_TRUE(lines.contains(QStringLiteral("search grid gen %1 discarded, latest %2").arg(latest - 1).arg(latest)))
        << lines.join(u'\n').toStdString();
    EXPECT_FALSE(anyStartsWith(lines, QStringLiteral("search panel gen %1 ").arg(latest - 1)));
    EXPECT_TRUE(anyStartsWith(lines, QStringLiteral("search panel gen %1 applied").arg(latest)));
}

// The panel, the status counters and the source trees read on read-only connections of their own:
// a long query on any of them never holds up the grid.
TEST_F(SearchTest, TheGridNeverQueuesBehindTheOtherReadConnections)
{
    struct Case {
        const char* name;
        Index& (Library::*connection)() const;
        const char* query;
        QStringList items;
    };
    const Case cases[] = {
        {"panel", &Library::panelIndex, "beach", {"V1", "P1"}},
        {"status", &Library::statusIndex, "dog", {"P2"}},
        {"trees", &Library::treesIndex, "song", {"A1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Index& connection = (*library.*c.connection)();
        EXPECT_NE(&connection, &library->readIndex());
        EXPECT_THROW(waitFor(connection.run([](Index& ix) { ix.database().exec(QStringLiteral("DELETE FROM items")); })),
                     DatabaseError);
        HeldIndex held(connection);
        library->setQuery(QString::fromLatin1(c.query));
        Tasks::start(library->search());
        ASSERT_TRUE(QTest::qWaitFor([&] { return idsOf(library->items()) == c.items; }, 5000));
        held.release();
        waitForSearches();
    }
}

TEST_F(SearchTest, TheGridDoesNotWaitForThePanelAndOnlyTheNewestPanelApplies)
{
    search();
    const LocationSummary everything = library->summary();
    LogCapture log(logSearch());
    HeldIndex heldPanel(library->panelIndex());

    library->setKindFilter(MediaKind::photo);
    Tasks::start(library->search());
    ASSERT_TRUE(QTest::qWaitFor([&] { return idsOf(library->items()) == QStringList{"P2", "P1"}; }, 5000));
    library->setKindFilter(MediaKind::video);
    Tasks::start(library->search());
    ASSERT_TRUE(QTest::qWaitFor([&] { return idsOf(library->items()) == QStringList{"V1"}; }, 5000));
    EXPECT_EQ(library->summary(), everything);

    heldPanel.release();
    waitForSearches();
    const qint64 latest = library->searchGeneration;
    EXPECT_EQ(library->summary().videos, 1);
    EXPECT_EQ(library->summary().photos, 0);
    const QStringList lines = log.take();
    EXPECT_TRUE(lines.contains(QStringLiteral("search panel gen %1 discarded, latest %2").arg(latest - 1).arg(latest)))
        << lines.join(u'\n').toStdString();
    EXPECT_TRUE(anyStartsWith(lines, QStringLiteral("search panel gen %1 applied").arg(latest)));
}

TEST_F(SearchTest, AFilterOnASourceThatIsGoneIsClearedAndAPresentOneKept)
{
    library->setSourceFilter(QStringLiteral("GONE"));
    library->setPathFilter(QStringLiteral("trip"));
    library->setSmartFilter(SmartFilter::albums);
    LogCapture log(logSearch());
    search();
    EXPECT_EQ(library->sourceFilter(), std::nullopt);
    EXPECT_EQ(library->pathFilter(), QString());
    EXPECT_EQ(library->smartFilter(), std::nullopt);
    EXPECT_EQ(idsOf(library->items()), (QStringList{"P2", "V1", "P1", "A1"}));
    EXPECT_EQ(log.take().value(0), QStringLiteral("search reset filter: source GONE is not in sources"));

    library->setSourceFilter(QStringLiteral("S2"));
    library->setPathFilter(QStringLiteral("backup"));
    search();
    EXPECT_EQ(library->sourceFilter(), QStringLiteral("S2"));
    EXPECT_EQ(library->pathFilter(), QStringLiteral("backup"));
    EXPECT_EQ(idsOf(library->items()), QStringList{"P1"});
    EXPECT_FALSE(anyStartsWith(log.take(), QStringLiteral("search reset filter")));
}

TEST_F(SearchTest, OnlyTheSelectionStillInTheGridStays)
{
    const Item p1 = *index.itemByID(QStringLiteral("P1"));
    const Item p2 = *index.itemByID(QStringLiteral("P2"));
    struct Case {
        Item selection;
        std::optional<Item> selectionAfter;
    };
    for (const Case& row : {Case{p1, std::nullopt}, Case{p2, p2}}) {
        SCOPED_TRACE(row.selection.id.toStdString());
        library->setQuery(QString());
        search();
        library->setSelection(row.selection);
        library->setFullscreen(true);
        library->setSelectedIDs({QStringLiteral("P1"), QStringLiteral("P2"), QStringLiteral("V1")});
        library->setQuery(QStringLiteral("dog"));
        search();
        EXPECT_EQ(library->selection(), row.selectionAfter);
        EXPECT_EQ(library->fullscreen(), row.selectionAfter.has_value());
        EXPECT_EQ(library->selectedIDs(), QSet<QString>{QStringLiteral("P2")});
    }
}

TEST_F(SearchTest, ThePanelFollowsTheWorkspaceAndChangesOfTheIndexWhenOnlyTheTextChanges)
{
    const Workspace drive{QStringLiteral("W1"), QStringLiteral("Drive"), QStringLiteral("folder"),
                          QStringLiteral("blue"), 0, {QStringLiteral("S2|")}};
    library->setWorkspaces({drive});
    search();
    ASSERT_EQ(library->allCount(), 4);

    // Written by another connection, as the quick-index worker does.
    addPicture({.id = QStringLiteral("P3"), .filename = QStringLiteral("cat.jpg"), .capturedAt = 400},
               QStringLiteral("S2"), QStringLiteral("cat.jpg"));
    library->setQuery(QStringLiteral("jpg"));
    search();
    EXPECT_EQ(idsOf(library->items()), (QStringList{"P3", "P2", "P1"}));
    EXPECT_EQ(library->allCount(), 5);
    EXPECT_EQ(library->summary().photos, 3);

    struct Case {
        QString workspaceID;
        QString within;
        QStringList items;
        qint64 allCount;
        qint64 photos;
    };
    const Case cases[] = {
        {QStringLiteral("W1"), QStringLiteral("1"), {"P3", "P2", "P1"}, 3, 3},
        {QStringLiteral("NO-SUCH-WORKSPACE"), QStringLiteral("0"), {}, 0, 0},
        {QStringLiteral("everything"), QStringLiteral("all"), {"P3", "P2", "P1"}, 5, 3},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.workspaceID.toStdString());
        library->setWorkspaceID(row.workspaceID);
        LogCapture log(logSearch());
        search();
        EXPECT_TRUE(log.take().value(0).contains(QStringLiteral(" within ") + row.within + u' '));
        EXPECT_EQ(idsOf(library->items()), row.items);
        EXPECT_EQ(library->allCount(), row.allCount);
        EXPECT_EQ(library->summary().photos, row.photos);
    }
}

// The Library goes away while a search waits for its grid queries, or for its panel queries after
// the grid was applied: the search ends without touching it (the address sanitizer build tells).
TEST_F(SearchTest, ASearchWhoseLibraryIsGoneEndsWithoutTouchingIt)
{
    for (const bool gridApplied : {false, true}) {
        SCOPED_TRACE(gridApplied ? "panel queued" : "grid queued");
        std::optional<HeldIndex> heldPanel;
        if (gridApplied)
            heldPanel.emplace(library->panelIndex());
        library->setQuery(QStringLiteral("beach"));
        Tasks::start(library->search());
        if (gridApplied)
            ASSERT_TRUE(QTest::qWaitFor([&] { return library->items().size() == 2; }, 5000));
        // The connections finish their jobs as they close; the search resumes afterwards.
        heldPanel.reset();
        library.reset();
        waitForSearches();
        openLibrary();
    }
}

// A query that fails ends the search: what an earlier step applied stays, the error is shown.
struct Breakage {
    const char* name;
    const char* sql;
    const char* error;
    bool gridApplies;
};

// Names the case in test listings, which would otherwise show the bytes of its pointers.
void PrintTo(const Breakage& breakage, std::ostream* out)
{
    *out << breakage.name;
}

class SearchFailureTest : public SearchTest, public ::testing::WithParamInterface<Breakage> {};

TEST_P(SearchFailureTest, KeepsWhatWasAppliedAndShowsTheError)
{
    search();
    const LocationSummary everything = library->summary();
    db.exec(QString::fromLatin1(GetParam().sql));

    library->setQuery(QStringLiteral("dog"));
    library->setKindFilter(MediaKind::photo);
    LogCapture log(logSearch());
    search();
    const QString error = QString::fromLatin1(GetParam().error);
    EXPECT_EQ(library->lastError(), error);
    EXPECT_TRUE(log.take().contains(QStringLiteral("search failed: ") + error));
    EXPECT_EQ(idsOf(library->items()),
              GetParam().gridApplies ? QStringList{"P2"} : (QStringList{"P2", "V1", "P1", "A1"}));
    EXPECT_EQ(library->summary(), everything);
    EXPECT_EQ(library->query(), QStringLiteral("dog"));
}

INSTANTIATE_TEST_SUITE_P(
    InEachStep, SearchFailureTest,
    ::testing::Values(Breakage{"Grid", "DROP TABLE search", "no such table: search", false},
                      Breakage{"Panel", "DROP TABLE favorites", "no such table: favorites", true}),
    [](const ::testing::TestParamInfo<Breakage>& info) { return std::string(info.param.name); });

} // namespace
