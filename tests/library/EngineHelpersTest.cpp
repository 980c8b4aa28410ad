#include "OfflineLibrary.h"

#include "Pellmar/library/engine/SourceOrder.h"
#include "Pellmar/library/engine/TimeLeft.h"

#include <QDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(TimeLeft, SpeaksInMinutesThenHours)
{
    const struct {
        qint64 remaining;
        double rate;
        std::optional<QString> text;
    } cases[] = {
        {100, 0.02, std::nullopt},
        {10, 0.021, QStringLiteral("about 7 min left")},
        {100, 0.0, std::nullopt},
        {100, -1.0, std::nullopt},
        {0, 5.0, std::nullopt},
        {-3, 5.0, std::nullopt},
        {89, 1.0, QStringLiteral("under 2 minutes left")},
        {90, 1.0, QStringLiteral("about 1 min left")},
        {119, 1.0, QStringLiteral("about 1 min left")},
        {3599, 1.0, QStringLiteral("about 59 min left")},
        {3600, 1.0, QStringLiteral("about 1 h 0 min left")},
        {5400, 1.0, QStringLiteral("about 1 h 30 min left")},
        {1'000'000, 2.0, QStringLiteral("about 138 h 53 min left")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(timeLeftText(c.remaining, c.rate), c.text) << c.remaining << " at " << c.rate;
}

Source source(const QString& id, const QString& root, double addedAt, SourceKind kind = SourceKind::folder)
{
    return Source{id, id, root, QString(), QString(), addedAt, kind};
}

// Place first, then age; names never count, and ties keep the index's order.
TEST(SourceOrder, PlaceThenOldestFirst)
{
    const QString home = QDir::homePath();
    QList<Source> sources{
        source("other", "/srv/photos", 1),
        source("newer drive", "/media/alex/AAA", 20),
        source("inside home", home + "/Pictures", 2),
        source("library", "/media/alex/LIB", 30, SourceKind::photos),
        source("older drive", "/run/media/alex/ZZZ", 10),
        source("mount root", "/media", 0),
        source("home", home, 50),
        source("tie b", "/data/b", 5),
        source("tie a", "/data/a", 5),
    };
    sortInSourceOrder(sources);
    QStringList order;
    for (const Source& s : sources)
        order.append(s.id);
    EXPECT_EQ(order, (QStringList{"home", "library", "older drive", "newer drive", "mount root", "other",
                                  "inside home", "tie b", "tie a"}));
}

TEST(RememberedLists, RecentDestinationsNewestFirstAtMostFive)
{
    const QString key = QStringLiteral("recentDestinations");
    const auto folder = [](const char* path) { return ImportTarget::folder(QString::fromLatin1(path)); };
    const QStringList five{"folder|/a", "folder|/b", "album|A1|Trip", "folder|/d", "folder|/e"};
    const struct {
        QStringList before;
        ImportTarget target;
        QStringList after;
    } cases[] = {
        {{}, folder("/a"), {"folder|/a"}},
        {five, folder("/a"), five},
        {five, ImportTarget::album(PhotosAlbum{"A1", "Trip"}),
         {"album|A1|Trip", "folder|/a", "folder|/b", "folder|/d", "folder|/e"}},
        {five, folder("/f"), {"folder|/f", "folder|/a", "folder|/b", "album|A1|Trip", "folder|/d"}},
        // A folder whose path only starts like a remembered one is another destination.
        {{"folder|/a/b"}, folder("/a"), {"folder|/a", "folder|/a/b"}},
    };
    for (const auto& c : cases) {
        OfflineLibrary offline;
        offline.defaults.set(key, c.before);
        offline.library->rememberDestination(c.target);
        EXPECT_EQ(offline.defaults.stringList(key), c.after) << c.target.id().toStdString();
    }
}

TEST(RememberedLists, AllFilesSourcesHoldEachFolderSourceOnce)
{
    const QString key = QStringLiteral("allFilesSources");
    OfflineLibrary offline;
    offline.defaults.set(key, QStringList{"S1"});
    offline.library->rememberAllFilesSource(source("S2", "/srv/b", 1));
    offline.library->rememberAllFilesSource(source("S1", "/srv/a", 1));
    offline.library->rememberAllFilesSource(source("P", "/srv/lib", 1, SourceKind::photos));
    QStringList ids = offline.defaults.stringList(key);
    ids.sort();
    EXPECT_EQ(ids, (QStringList{"S1", "S2"}));
}

} // namespace
