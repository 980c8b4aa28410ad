#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/views/settings/IndexSettings.h"
#include "tests/library/OfflineLibrary.h"

#include <QCoroSignal>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, qint64 bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(bytes, 'x'));
}

TEST(StorageSizesTest, IndexCountsItsWalAndShmFilesWhenPresentAndAMissingPreviewFolderCountsZero)
{
    QTemporaryDir support;
    const QString index = support.filePath(QStringLiteral("index.sqlite"));
    writeFile(index, 40000);
    const QString proxies = support.filePath(QStringLiteral("Proxies"));

    const StorageSizes alone = measureStorage(support.path(), proxies);
    EXPECT_GE(alone.index, 40000);
    EXPECT_EQ(alone.index, allocatedSize(index));
    EXPECT_EQ(alone.previews, 0);

    writeFile(index + QStringLiteral("-wal"), 9000);
    writeFile(index + QStringLiteral("-shm"), 32768);
    writeFile(support.filePath(QStringLiteral("other.sqlite")), 9000);   // not part of the index
    writeFile(proxies + QStringLiteral("/ab/1.heic"), 5000);
    writeFile(proxies + QStringLiteral("/2.mp4"), 70000);
    const StorageSizes all = measureStorage(support.path(), proxies);
    EXPECT_EQ(all.index, allocatedSize(index) + allocatedSize(index + QStringLiteral("-wal")) +
                             allocatedSize(index + QStringLiteral("-shm")));
    EXPECT_EQ(all.previews, allocatedSize(proxies + QStringLiteral("/ab/1.heic")) + allocatedSize(proxies + QStringLiteral("/2.mp4")));
    EXPECT_GE(all.previews, 75000);
}

// The page over a Library with fake actions: each stop is told at once and ends when the test
// opens its gate; every step is logged.
class IndexSettingsTest : public ::testing::Test {
protected:
    IndexSettingsTest()
    {
        fullGate.setSingleShot(true);
        quickGate.setSingleShot(true);
        window.resize(460, 300);
        window.show();
    }
    ~IndexSettingsTest() override { EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000)); }

    IndexActions actions()
    {
        IndexActions a;
        a.reveal = [this](const QString& folder) { log.append(QStringLiteral("reveal ") + folder); };
        a.stopFullWorker = [this]() -> QCoro::Task<> {
            log.append(QStringLiteral("stop full"));
            if (!fullStopped) {
                co_await qCoro(&fullGate, &QTimer::timeout);
                fullStopped = true;
            }
            log.append(QStringLiteral("full ended"));
        };
        a.stopWorker = [this]() -> QCoro::Task<> {
            log.append(QStringLiteral("stop quick"));
            co_await qCoro(&quickGate, &QTimer::timeout);
            log.append(QStringLiteral("quick ended"));
        };
        a.resetPreviews = [this]() -> QCoro::Task<> {
            log.append(QStringLiteral("reset previews"));
            co_return;
        };
        a.clearIndex = [this]() -> QCoro::Task<> {
            log.append(QStringLiteral("clear index"));
            co_return;
        };
        return a;
    }

    void click(const char* button) { page->findChild<QPushButton*>(QLatin1String(button))->click(); }

    OfflineLibrary offline;
    QStringList log;
    QTimer fullGate;
    QTimer quickGate;
    bool fullStopped = false;
    QWidget window;
    IndexSettings* page = new IndexSettings(*offline.library, actions(), &window);
};

TEST_F(IndexSettingsTest, ShowsTheMeasuredSizesAndRevealsTheSupportFolderItself)
{
    // The fixture's index file exists; the previews folder is empty.
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->sizes().index > 0; }, 5000));
    EXPECT_EQ(page->findChild<QLabel*>(QStringLiteral("previewSize"))->text(), QStringLiteral("Zero KB"));
    EXPECT_NE(page->findChild<QLabel*>(QStringLiteral("indexSize"))->text(), QStringLiteral("Zero KB"));

    click("reveal");
    EXPECT_EQ(log, QStringList{QStringLiteral("reveal ") + offline.library->supportDirectory()});
}

TEST_F(IndexSettingsTest, CancelInEitherAlertDoesNothing)
{
    for (const char* button : {"clearPreviews", "rebuildIndex"}) {
        click(button);
        ASSERT_TRUE(page->confirmation());
        page->confirmation()->cancelButton()->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !page->confirmation(); }, 5000)) << button;
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(log.isEmpty()) << log.join(u',').toStdString();
}

TEST_F(IndexSettingsTest, ConfirmingStopsBothWorkersAndWaitsForThemBeforeTheReset)
{
    const struct {
        const char* button;
        QString title;
        QString reset;
    } cases[] = {{"clearPreviews", QStringLiteral("Clear all previews?"), QStringLiteral("reset previews")},
                 {"rebuildIndex", QStringLiteral("Rebuild the index?"), QStringLiteral("clear index")}};
    for (const auto& c : cases) {
        log.clear();
        fullStopped = false;
        click(c.button);
        ASSERT_TRUE(page->confirmation());
        EXPECT_EQ(page->confirmation()->title(), c.title);
        page->confirmation()->confirmButton()->click();

        // Both are told to stop at once; nothing is reset while either runs.
        EXPECT_EQ(log, (QStringList{"stop full", "stop quick"}));
        quickGate.start(0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.contains(QStringLiteral("quick ended")); }, 5000));
        EXPECT_FALSE(log.contains(c.reset));
        fullGate.start(0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.contains(c.reset); }, 5000));
        EXPECT_EQ(log, (QStringList{"stop full", "stop quick", "quick ended", "full ended", "stop full", "full ended", c.reset}))
            << c.button;
    }
}

} // namespace
