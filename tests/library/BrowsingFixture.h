#pragma once

#include "OfflineLibrary.h"

#include "Pellmar/library/frame/Tasks.h"
#include "tests/index/IndexFixture.h"

#include <QCoroTask>
#include <QTest>

#include <algorithm>

// A small library to browse, on an index set up row by row:
//   home    a folder source like the home folder: trips/beach.jpg, trips/surf.mp4
//   drive   an unplugged drive: backup/beach.jpg (the second copy of beach), docs/notes.pdf
//   photos  the photo library: cat.heic (a favorite there) and Trip/dog.heic (in an album)
// and two workspaces: "everything", pinning home's trips folder and the drive, and "trips",
// holding home's trips folder and the photo library, pinning the photo library's favorites.
// "surf" is a favorite in "everything", "notes" in "trips". Newest capture first the items are
// dog, cat, notes, surf, beach.
class BrowsingFixture : public IndexFixture {
protected:
    static inline const QString everything = Index::everythingWorkspaceID;
    static inline const QString trips = QStringLiteral("trips");

    BrowsingFixture()
    {
        addSource(QStringLiteral("home"), SourceKind::folder, 1);
        addSource(QStringLiteral("drive"), SourceKind::folder, 2);
        addSource(QStringLiteral("photos"), SourceKind::photos, 3);
        addOne({.id = QStringLiteral("beach"), .capturedAt = 100}, {.sourceID = "home", .relPath = "trips/beach.jpg"});
        addFile({.sourceID = QStringLiteral("drive"), .relPath = QStringLiteral("backup/beach.jpg"),
                 .itemID = QStringLiteral("beach")});
        addOne({.id = QStringLiteral("surf"), .kind = MediaKind::video, .filename = QStringLiteral("surf.mp4"),
                .capturedAt = 200},
               {.sourceID = "home", .relPath = "trips/surf.mp4"});
        addOne({.id = QStringLiteral("notes"), .kind = MediaKind::document, .filename = QStringLiteral("notes.pdf"),
                .capturedAt = 300},
               {.sourceID = "drive", .relPath = "docs/notes.pdf"});
        addOne({.id = QStringLiteral("cat"), .filename = QStringLiteral("cat.heic"), .capturedAt = 400},
               {.sourceID = "photos", .relPath = "cat.heic", .assetID = "A1", .favorite = true});
        addOne({.id = QStringLiteral("dog"), .filename = QStringLiteral("dog.heic"), .capturedAt = 500},
               {.sourceID = "photos", .relPath = "Trip/dog.heic", .assetID = "A2"});

        index.saveWorkspace({trips, QStringLiteral("Trips"), QStringLiteral("airplane"), QStringLiteral("green"), 1,
                             {QStringLiteral("home|trips"), QStringLiteral("photos|")}});
        index.savePins({QStringLiteral("home|trips"), QStringLiteral("drive|")}, everything);
        index.savePins({QStringLiteral("photos|#favorites")}, trips);
        index.setFavorite(QStringLiteral("surf"), true, everything);
        index.setFavorite(QStringLiteral("notes"), true, trips);

        library.setSources(index.sources());
        library.setWorkspaces(index.workspaces());
        library.setOnline({QStringLiteral("home"), QStringLiteral("photos")});
    }

    ~BrowsingFixture() override
    {
        waitForTasks();
        offline.library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    // Until every task started by an operation and not awaited (searches, saves) has ended.
    static void waitForTasks()
    {
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000));
    }

    // The ids of the grid, in its order.
    QStringList shown() const
    {
        QStringList ids;
        for (const Item& item : library.items())
            ids.append(item.id);
        return ids;
    }

    // The library's workspace with this id; an empty one when it has none.
    Workspace workspace(const QString& id) const
    {
        const QList<Workspace>& list = library.workspaces();
        const auto found = std::find_if(list.cbegin(), list.cend(), [&id](const Workspace& w) { return w.id == id; });
        return found == list.cend() ? Workspace() : *found;
    }

    OfflineLibrary offline{dir.path()};
    Library& library = *offline.library;

private:
    // An item with one file and its search text, as the quick-index worker leaves them.
    void addOne(const FixtureItem& item, FixtureFile file)
    {
        addItem(item);
        file.itemID = item.id;
        addFile(file);
        addSearchText(item.id, QString(item.filename).replace(u'.', u' '));
    }
};
