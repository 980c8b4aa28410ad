// An index file found damaged (emptied beside its previews, a damaged page, no database at all)
// stops every write and is offered for a rebuild; a rebuild keeps the damaged file beside the new
// index and takes the user's sources and workspaces over into it.

#include "FakeReadings.h"

#include "Pellmar/index/Database.h"
#include "Pellmar/library/Library.h"
#include "Pellmar/library/engine/IndexRepair.h"
#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"
#include "Pellmar/platform/VolumeService.h"
#include "tests/support/DamagedPages.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

class IndexDamageTest : public ::testing::Test {
protected:
    ~IndexDamageTest() override { close(); }

    Library& startUp()
    {
        Library::Services services;
        services.supportDirectory = support;
        services.defaults = &defaults;
        services.clock = std::make_shared<ManualClock>();
        services.idleReadings = fakes.readings();
        services.volumes = std::make_shared<VolumeService>();
        services.fatalStop = [this](const QString& message) { fatalStops.append(message); };
        services.restart = [this] { ++restarts; };
        library = std::make_unique<Library>(std::move(services));
        QSignalSpy finished(library.get(), &Library::startupFinished);
        EXPECT_TRUE(finished.wait(10000));
        return *library;
    }

    void close()
    {
        library.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    // An index with a source, a workspace and enough items to fill several pages, and a preview.
    void makeIndex()
    {
        ASSERT_TRUE(QDir().mkpath(support + QStringLiteral("/Proxies")));
        {
            Index index(indexPath);
            waitFor(index.run([this](Index& ix) {
                ix.migrate();
                ix.saveSource(source);
                ix.saveWorkspace(workspace);
                Transaction transaction(ix.database());
                for (int i = 0; i < 400; ++i)
                    ix.database().run(QStringLiteral("INSERT INTO items (id, quick_hash, kind, filename, created_at) "
                                                     "VALUES (?, ?, 0, ?, 0)"),
                                      {QStringLiteral("ITEM-%1").arg(i), QStringLiteral("hash-%1").arg(i),
                                       QStringLiteral("a file name long enough to fill pages %1.jpg").arg(i)});
                transaction.commit();
                ix.database().exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            }));
        }
        QFile preview(support + QStringLiteral("/Proxies/ITEM-1.jpg"));
        ASSERT_TRUE(preview.open(QIODevice::WriteOnly));
        preview.write("preview");
    }

    QByteArray indexBytes() const
    {
        QFile file(indexPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Reads every item, as a search of the whole grid does.
    void readEveryItem(Library& library)
    {
        try {
            waitFor(library.readIndex().run([](Index& index) {
                Statement rows(index.database().db(), QStringLiteral("SELECT * FROM items"));
                rows.bind({});
                while (rows.step()) {
                }
            }));
        } catch (const DatabaseError&) {
        }
    }

    QTemporaryDir dir;
    QString support = dir.filePath(QStringLiteral("data/Quorvin"));
    QString indexPath = support + QStringLiteral("/index.sqlite");
    Defaults defaults{dir.filePath(QStringLiteral("Quorvin.conf"))};
    FakeReadings fakes;
    std::unique_ptr<Library> library;
    QStringList fatalStops;
    int restarts = 0;
    Source source{QStringLiteral("S1"), QStringLiteral("Trips"), dir.filePath(QStringLiteral("Trips")), {}, {}, 1, SourceKind::folder};
    Workspace workspace{QStringLiteral("W1"), QStringLiteral("Work"), QStringLiteral("folder"), QStringLiteral("blue"), 1, {}};
};

TEST_F(IndexDamageTest, DamagedIndexStopsEveryWriteAndAsksTheUser)
{
    const struct {
        const char* damage;
        std::function<void()> apply;
        bool damagedAtStart;   // else a read finds it
    } cases[] = {
        {"zero bytes beside previews", [this] { QFile(indexPath).resize(0); }, true},
        {"no database at all", [this] {
             QFile file(indexPath);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write(QByteArray(8192, 'x'));
         }, true},
        {"a damaged page of items",
         [this] { ASSERT_TRUE(damageLastPageOf(indexPath, QStringLiteral("items"))); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        QDir(support).removeRecursively();
        makeIndex();
        c.apply();
        const QByteArray damaged = indexBytes();

        Library& started = startUp();
        if (!c.damagedAtStart)
            readEveryItem(started);
        ASSERT_TRUE(QTest::qWaitFor([&] { return started.indexDamage().has_value(); }, 5000));
        EXPECT_TRUE(started.indexDamage()->contains(indexPath)) << started.indexDamage()->toStdString();
        EXPECT_TRUE(fatalStops.isEmpty());
        EXPECT_THROW(waitFor(started.index().run([this](Index& index) { index.saveSource(source); })), DatabaseError);
        close();
        EXPECT_EQ(indexBytes(), damaged);
        EXPECT_TRUE(QFile::exists(support + QStringLiteral("/Proxies/ITEM-1.jpg")));
    }
}

TEST_F(IndexDamageTest, RebuildKeepsTheDamagedFileAndTakesTheSourcesAndWorkspacesOver)
{
    ASSERT_TRUE(QDir().mkpath(source.rootPath));
    makeIndex();
    ASSERT_TRUE(damageLastPageOf(indexPath, QStringLiteral("items")));
    const QByteArray damaged = indexBytes();

    Library& first = startUp();
    readEveryItem(first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.indexDamage().has_value(); }, 5000));
    Tasks::start(first.repair().rebuild());
    ASSERT_TRUE(QTest::qWaitFor([&] { return restarts == 1; }, 5000));
    close();
    QFile aside(support + QStringLiteral("/index-damaged.sqlite"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), damaged);
    EXPECT_FALSE(QFile::exists(indexPath));

    // The program started again.
    Library& second = startUp();
    EXPECT_FALSE(second.indexDamage().has_value());
    const QList<Source> sources = waitFor(second.index().run([](Index& index) { return index.sources(); }));
    EXPECT_EQ(sources, QList<Source>{source});
    const QList<Workspace> workspaces = waitFor(second.index().run([](Index& index) { return index.workspaces(); }));
    EXPECT_TRUE(workspaces.contains(workspace));
    EXPECT_FALSE(QFile::exists(support + QStringLiteral("/Proxies/ITEM-1.jpg")));   // previews of the damaged file's items
    EXPECT_FALSE(defaults.contains(QStringLiteral("damagedIndex")));
}

} // namespace
