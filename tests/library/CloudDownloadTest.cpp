#include "ItemLibraryFixture.h"

#include "Pellmar/library/frame/Clock.h"

namespace {

using Status = CloudFiles::Status;

// A copy on ON whose file is in the cloud; rescanning ON finds "IN.jpg" there.
class CloudDownloadTest : public CopiesFixture {
protected:
    CloudDownloadTest() { QFile(root + QStringLiteral("/IN.jpg")).open(QIODevice::WriteOnly); }

    bool rescanned() const
    {
        return QTest::qWaitFor([this] { return const_cast<CloudDownloadTest*>(this)->integer(
                                                   "SELECT COUNT(*) FROM files WHERE rel_path = 'IN.jpg'") == 1; },
                               5000);
    }

    ManualClock& clock() { return static_cast<ManualClock&>(library->clock()); }

    const Location copy{.sourceID = "ON", .relativePath = "IN.jpg", .local = false};
};

TEST_F(CloudDownloadTest, ADownloadDoneAtTheFirstCheckRescansWithoutPausing)
{
    cloud.statuses = {Status::current};
    library->download(copy);
    EXPECT_TRUE(rescanned());
    EXPECT_EQ(cloud.requests, QStringList{"download " + root + "/IN.jpg"});
    EXPECT_EQ(cloud.statusReads, 1);   // and the clock never moved: no pause
    settle();
}

TEST_F(CloudDownloadTest, AStatusThatNeverArrivesEndsAfter150PausesWithOneRescan)
{
    library->download(copy);   // no status: never downloaded
    // The idle monitor's poll sleeps on the same clock: the download's pause is the second sleeper.
    for (int pause = 0; pause < 150; ++pause) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return cloud.statusReads == pause + 1 && clock().sleepers() == 2; }, 5000))
            << pause << " sleepers " << clock().sleepers() << " reads " << cloud.statusReads;
        clock().advance(std::chrono::seconds(2));
    }
    EXPECT_TRUE(rescanned());
    EXPECT_EQ(cloud.statusReads, 150);
    settle();
}

TEST_F(CloudDownloadTest, RefusalsAreReportedAndUnreachableCopiesIgnored)
{
    library->download({.sourceID = "DRIVE", .relativePath = "IN.jpg"});
    library->removeDownload({.sourceID = "PH", .relativePath = "IN.jpg", .assetID = "A"});
    EXPECT_FALSE(library->lastError());
    EXPECT_TRUE(cloud.requests.isEmpty());

    cloud.refuse = true;
    library->download(copy);
    EXPECT_EQ(library->lastError(), QStringLiteral("Could not download IN.jpg."));
    library->removeDownload(copy);
    EXPECT_EQ(library->lastError(), QStringLiteral("Could not remove the download of IN.jpg."));
    settle();
    EXPECT_EQ(cloud.statusReads, 0);
}

TEST_F(CloudDownloadTest, RemovingADownloadRescansAtOnce)
{
    library->removeDownload(copy);
    EXPECT_TRUE(rescanned());
    EXPECT_EQ(cloud.requests, QStringList{"evict " + root + "/IN.jpg"});
    settle();
}

} // namespace
