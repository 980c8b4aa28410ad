#include "Pellmar/platform/MountMonitor.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <sys/mount.h>

namespace {

// The watching thread waits in poll(); destroying the monitor must wake and join it at once.
TEST(MountTableMonitor, StopsItsWatchingThreadWhenDestroyed)
{
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 20; ++round)
        MountTableMonitor monitor;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(MountTableMonitor, TellsOfAMountAndOfAnUnmount)
{
    QTemporaryDir point;
    MountTableMonitor monitor;
    // Delivered on this thread, queued from the watching thread.
    int changes = 0;
    QObject receiver;
    QObject::connect(&monitor, &MountMonitor::mountsChanged, &receiver, [&] { ++changes; });
    if (mount("quorvin-test", point.path().toLocal8Bit().constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0)
        GTEST_SKIP() << "no permission to mount a file system here";
    EXPECT_TRUE(QTest::qWaitFor([&] { return changes > 0; }, 5000));
    changes = 0;
    ASSERT_EQ(umount(point.path().toLocal8Bit().constData()), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return changes > 0; }, 5000));
}

} // namespace
