#include "BrowsingFixture.h"

#include "Pellmar/media/PhotosFolderLibrary.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/MemoryPhotoLibrary.h"

#include <chrono>
#include <functional>

namespace {

using namespace std::chrono_literals;
using NavigationTest = BrowsingFixture;

TEST_F(NavigationTest, EachPlaceShowsItsItemsInTheNextSearch)
{
    const struct {
        const char* place;
        std::function<void(Library&)> go;
        QStringList expected;
    } cases[] = {
        {"whole workspace", [](Library& l) { l.setFilter(std::nullopt, QString(), std::nullopt); },
         {"dog", "cat", "notes", "surf", "beach"}},
        {"source", [](Library& l) { l.setFilter(QStringLiteral("drive"), QString(), std::nullopt); },
         {"notes", "beach"}},
        {"folder", [](Library& l) { l.setFilter(QStringLiteral("home"), QStringLiteral("trips"), std::nullopt); },
         {"surf", "beach"}},
        {"smart group", [](Library& l) { l.setFilter(QStringLiteral("photos"), QString(), SmartFilter::albums); },
         {"dog"}},
        {"favorites", [](Library& l) { l.showFavorites(); }, {"cat", "surf"}},
        {"not backed up", [](Library& l) { l.showNotBackedUp(); }, {"dog", "cat", "notes", "surf"}},
        {"kind filter brought back", [](Library& l) {
             l.setFilter(QStringLiteral("home"), QStringLiteral("trips"), std::nullopt);
             l.setKindFilter(MediaKind::video);
             l.showFavorites();
             l.setFilter(QStringLiteral("home"), QStringLiteral("trips"), std::nullopt);
         },
         {"surf"}},
        {"only here", [](Library& l) {
             l.setFilter(QStringLiteral("home"), QString(), std::nullopt);
             l.setOnlyHere(true);
         },
         {"surf"}},
    };
    for (const auto& test : cases) {
        test.go(library);
        waitForTasks();
        EXPECT_EQ(shown(), test.expected) << test.place;
    }
}

TEST_F(NavigationTest, EachPlaceLeavesTheOthersAndAWholeWorkspaceHasNoFolderOrSmartRow)
{
    library.setFilter(QStringLiteral("home"), QStringLiteral("trips"), std::nullopt);
    library.setOnlyHere(true);
    library.setSelectedDevice(QStringLiteral("/media/card"));
    library.setSelectedCards({QStringLiteral("/media/card/DCIM/1.jpg")});
    library.showNotBackedUp();
    EXPECT_TRUE(library.notBackedUp());
    EXPECT_EQ(library.sourceFilter(), std::nullopt);
    EXPECT_EQ(library.pathFilter(), QString());
    EXPECT_FALSE(library.onlyHere());
    EXPECT_EQ(library.selectedDevice(), std::nullopt);
    EXPECT_TRUE(library.selectedCards().isEmpty());

    library.showFavorites();
    EXPECT_TRUE(library.favoritesOnly());
    EXPECT_FALSE(library.notBackedUp());
    library.showNotBackedUp();
    EXPECT_FALSE(library.favoritesOnly());

    library.setFilter(std::nullopt, QStringLiteral("trips"), SmartFilter::photos);
    EXPECT_FALSE(library.notBackedUp());
    EXPECT_EQ(library.pathFilter(), QString());
    EXPECT_EQ(library.smartFilter(), std::nullopt);
    waitForTasks();
    EXPECT_EQ(shown().size(), 5);
}

TEST_F(NavigationTest, SearchTextAndKindComeBackPerPositionAndWorkspace)
{
    const auto typeAt = [this](const char* source, const char* path, const QString& text) {
        library.setFilter(QString::fromLatin1(source), QString::fromLatin1(path), std::nullopt);
        library.setQuery(text);
    };
    typeAt("home", "trips", QStringLiteral("beach"));
    library.setKindFilter(MediaKind::photo);
    typeAt("drive", "", QStringLiteral("notes"));

    library.setFilter(QStringLiteral("home"), QStringLiteral("trips"), std::nullopt);
    EXPECT_EQ(library.query(), QStringLiteral("beach"));
    EXPECT_EQ(library.kindFilter(), MediaKind::photo);
    waitForTasks();
    EXPECT_EQ(shown(), QStringList{"beach"});
    library.setFilter(QStringLiteral("photos"), QString(), std::nullopt);
    EXPECT_EQ(library.query(), QString());
    EXPECT_EQ(library.kindFilter(), std::nullopt);

    // Text cleared before leaving is forgotten.
    library.setFilter(QStringLiteral("drive"), QString(), std::nullopt);
    EXPECT_EQ(library.query(), QStringLiteral("notes"));
    library.setQuery(QString());
    library.showFavorites();
    library.setFilter(QStringLiteral("drive"), QString(), std::nullopt);
    EXPECT_EQ(library.query(), QString());

    // The same folder in another workspace has its own text, and each workspace keeps its own when
    // the user switches while standing in that folder.
    library.setWorkspace(trips);
    waitForTasks();
    typeAt("home", "trips", QStringLiteral("surf"));
    library.setWorkspace(everything);
    waitForTasks();
    library.setFilter(QStringLiteral("home"), QStringLiteral("trips"), std::nullopt);
    EXPECT_EQ(library.query(), QStringLiteral("beach"));
    library.setWorkspace(trips);
    waitForTasks();
    library.setFilter(QStringLiteral("home"), QStringLiteral("trips"), std::nullopt);
    EXPECT_EQ(library.query(), QStringLiteral("surf"));

    // The whole workspace remembers its text across a switch too.
    library.setFilter(std::nullopt, QString(), std::nullopt);
    library.setQuery(QStringLiteral("dog"));
    library.setWorkspace(everything);
    waitForTasks();
    library.setWorkspace(trips);
    waitForTasks();
    EXPECT_EQ(library.query(), QStringLiteral("dog"));
    EXPECT_EQ(shown(), QStringList{"dog"});
}

TEST_F(NavigationTest, ADeviceCoversThePlaceWithItsOwnTextUntilASidebarRowIsClicked)
{
    const Device card{QStringLiteral("/media/card"), QStringLiteral("CARD"), 0, 0};
    library.setFilter(QStringLiteral("home"), QStringLiteral("trips"), std::nullopt);
    waitForTasks();
    library.setQuery(QStringLiteral("surf"));
    library.select(library.items().value(0));
    library.setSelectedCards({QStringLiteral("/media/card/DCIM/1.jpg")});
    const qint64 searches = library.searchGeneration;

    library.selectDevice(card);
    EXPECT_EQ(library.selectedDevice(), QStringLiteral("/media/card"));
    EXPECT_TRUE(library.selectedIDs().isEmpty());
    EXPECT_EQ(library.selection(), std::nullopt);
    EXPECT_TRUE(library.selectedCards().isEmpty());
    EXPECT_EQ(library.sourceFilter(), QStringLiteral("home"));
    EXPECT_EQ(library.pathFilter(), QStringLiteral("trips"));
    EXPECT_EQ(library.query(), QString());
    library.setQuery(QStringLiteral("IMG"));
    waitForTasks();
    EXPECT_EQ(library.searchGeneration, searches);

    library.setFilter(QStringLiteral("home"), QStringLiteral("trips"), std::nullopt);
    EXPECT_EQ(library.selectedDevice(), std::nullopt);
    EXPECT_EQ(library.query(), QStringLiteral("surf"));
    library.selectDevice(card);
    EXPECT_EQ(library.query(), QStringLiteral("IMG"));
}

TEST_F(NavigationTest, TheFirstClickOnAPhotoLibraryWithoutFilesReadsIt)
{
    // The library refuses access, so a read that starts ends at once with its message in lastError.
    auto photos = std::make_shared<MemoryPhotoLibrary>();
    photos->setAuthorizationStatus(PhotoAuthorizationStatus::denied);
    photos->setAnswerToRequest(PhotoAuthorizationStatus::denied);
    setSharedPhotoLibrary(photos);
    const struct {
        const char* state;
        const char* source;
        QHash<QString, Index::SourceProgress> progress;
        std::optional<QString> scanning;
        bool reads;
    } cases[] = {
        {"never read", "photos", {}, std::nullopt, true},
        {"read, nothing found", "photos", {{"photos", {0, 0}}}, std::nullopt, true},
        {"has files", "photos", {{"photos", {1, 2}}}, std::nullopt, false},
        {"another scan runs", "photos", {}, QStringLiteral("drive"), false},
        {"a folder source", "drive", {}, std::nullopt, false},
    };
    for (const auto& test : cases) {
        library.setLastError(std::nullopt);
        library.setSourceProgress(test.progress);
        library.setScanning(test.scanning);
        library.setFilter(QString::fromLatin1(test.source), QString(), std::nullopt);
        waitForTasks();
        EXPECT_EQ(library.lastError().has_value(), test.reads) << test.state;
    }
    setSharedPhotoLibrary(nullptr);
}

TEST_F(NavigationTest, SortIsStoredAtOnceAndOrdersTheNextSearch)
{
    library.setSort(SortField::name, true);
    EXPECT_EQ(offline.defaults.string(QStringLiteral("sort")), QStringLiteral("name"));
    EXPECT_TRUE(offline.defaults.boolean(QStringLiteral("ascending")));
    waitForTasks();
    EXPECT_EQ(shown(), (QStringList{"beach", "cat", "dog", "notes", "surf"}));
}

TEST_F(NavigationTest, RelinkNoteDisappearsEightSecondsAfterItWasShown)
{
    ManualClock& clock = *offline.clock;
    library.showRelinkNote(QStringLiteral("Relinked Backup"));
    clock.advance(4s);
    library.showRelinkNote(QStringLiteral("Relinked Archive"));
    clock.advance(4s);
    // The first note's time is up, but a newer note has its own eight seconds.
    EXPECT_EQ(library.relinkNote(), QStringLiteral("Relinked Archive"));
    clock.advance(3999ms);
    EXPECT_EQ(library.relinkNote(), QStringLiteral("Relinked Archive"));
    clock.advance(1ms);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !library.relinkNote(); }, 5000));
}

} // namespace
