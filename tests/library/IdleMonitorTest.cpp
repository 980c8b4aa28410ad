#include "FakeReadings.h"

#include "Pellmar/library/frame/Clock.h"
#include "Pellmar/library/engine/IdleMonitor.h"
#include "Pellmar/library/frame/TaskPools.h"
#include "Pellmar/library/frame/Tasks.h"
#include "Pellmar/platform/Defaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class IdleMonitorTest : public ::testing::Test {
protected:
    IdleMonitorTest() { defaults.registerDefaults({{QStringLiteral("notOnBattery"), true}}); }

    ~IdleMonitorTest() override
    {
        monitor.reset();
        EXPECT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    }

    IdleMonitor& start()
    {
        monitor = std::make_unique<IdleMonitor>(fakes.readings(), defaults, clockOwner, pools);
        quiet();
        return *monitor;
    }

    static void quiet() { ASSERT_TRUE(QTest::qWaitFor([] { return Tasks::oneShotRunning() == 0; }, 5000)); }

    // One polling period; the poll's readings arrive from a pool thread.
    void nextPoll()
    {
        ASSERT_EQ(clock.sleepers(), 1);
        clock.advance(15s);
        ASSERT_TRUE(QTest::qWaitFor([&] { return clock.sleepers() == 1; }, 5000));
    }

    QTemporaryDir dir;
    Defaults defaults{dir.filePath(QStringLiteral("Quorvin.conf"))};
    std::shared_ptr<ManualClock> clockOwner = std::make_shared<ManualClock>();
    ManualClock& clock = *clockOwner;
    TaskPools pools;
    FakeReadings fakes;
    std::unique_ptr<IdleMonitor> monitor;
};

// Battery and heat read from kernel trees as the system lays them out.
TEST_F(IdleMonitorTest, FirstReadingsArriveAtOnceAndThenEvery15Seconds)
{
    QTemporaryDir sys;
    const auto write = [&](const char* path, const char* value) {
        QDir().mkpath(QFileInfo(sys.filePath(QLatin1String(path))).path());
        QFile file(sys.filePath(QLatin1String(path)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(value);
    };
    write("power_supply/AC/type", "Mains\n");
    write("power_supply/AC/online", "0\n");
    write("power_supply/BAT0/type", "Battery\n");
    write("power_supply/BAT0/status", "Discharging\n");
    write("thermal/thermal_zone0/temp", "95000\n");
    write("thermal/thermal_zone0/trip_point_0_type", "passive\n");
    write("thermal/thermal_zone0/trip_point_0_temp", "90000\n");
    fakes.userIdle->set(300);
    monitor = std::make_unique<IdleMonitor>(
        IdleMonitor::Readings{fakes.userIdle, std::make_shared<SysfsPowerSource>(sys.filePath(QStringLiteral("power_supply"))),
                              std::make_shared<SysfsThermalState>(sys.filePath(QStringLiteral("thermal")))},
        defaults, clockOwner, pools);
    quiet();
    IdleMonitor& idle = *monitor;
    EXPECT_TRUE(idle.isIdle());
    EXPECT_TRUE(idle.onBattery());
    EXPECT_TRUE(idle.isHot());

    fakes.userIdle->set(3);
    write("power_supply/AC/online", "1\n");
    write("thermal/thermal_zone0/temp", "60000\n");
    clock.advance(14999ms);
    EXPECT_TRUE(idle.isIdle());
    nextPoll();
    EXPECT_FALSE(idle.isIdle());
    EXPECT_FALSE(idle.onBattery());
    EXPECT_FALSE(idle.isHot());
}

TEST_F(IdleMonitorTest, ReadingsSetTheirPropertyAtTheThresholds)
{
    IdleMonitor& idle = start();
    struct Case {
        double secondsSinceInput;
        ThermalLevel thermal;
        bool idle;
        bool hot;
    };
    const Case cases[] = {
        {119.9, ThermalLevel::nominal, false, false},
        {120.0, ThermalLevel::fair, true, false},
        {0.0, ThermalLevel::serious, false, true},
        {std::numeric_limits<double>::infinity(), ThermalLevel::critical, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.secondsSinceInput);
        fakes.userIdle->set(c.secondsSinceInput);
        fakes.thermal->set(c.thermal);
        nextPoll();
        EXPECT_EQ(idle.isIdle(), c.idle);
        EXPECT_EQ(idle.isHot(), c.hot);
    }
}

TEST_F(IdleMonitorTest, AReadingTheSystemCannotGiveKeepsItsValueAndOnlyChangesNotify)
{
    fakes.userIdle->set(500);
    fakes.power->set(true);
    fakes.thermal->set(ThermalLevel::critical);
    IdleMonitor& idle = start();
    QSignalSpy spy(&idle, &IdleMonitor::changed);

    fakes.userIdle->set(std::nullopt);
    fakes.power->set(std::nullopt);
    fakes.thermal->set(std::nullopt);
    nextPoll();
    EXPECT_TRUE(idle.isIdle());
    EXPECT_TRUE(idle.onBattery());
    EXPECT_TRUE(idle.isHot());

    fakes.userIdle->set(600);
    nextPoll();
    EXPECT_EQ(spy.count(), 0);

    fakes.power->set(false);
    nextPoll();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<IdleMonitor::Prop>(), IdleMonitor::Prop::onBattery);
}

TEST_F(IdleMonitorTest, MayRunFullFollowsOverrideModeHeatBatteryAndIdle)
{
    struct Case {
        const char* name;
        bool userOverride;
        std::optional<QString> mode;
        std::optional<bool> notOnBattery;   // nothing: the registered default (true)
        bool onBattery;
        bool hot;
        bool idle;
        bool mayRun;
    };
    const Case cases[] = {
        {"override wins over never", true, QStringLiteral("never"), {}, true, true, false, true},
        {"override wins over heat", true, QStringLiteral("always"), {}, false, true, false, true},
        {"never", false, QStringLiteral("never"), {}, false, false, true, false},
        {"always but warm", false, QStringLiteral("always"), {}, false, true, true, false},
        {"always", false, QStringLiteral("always"), {}, false, false, false, true},
        {"battery with the registered default", false, QStringLiteral("always"), {}, true, false, true, false},
        {"battery allowed", false, QStringLiteral("always"), false, true, false, false, true},
        {"idle mode, user present", false, QStringLiteral("idle"), {}, false, false, false, false},
        {"idle mode, user away", false, QStringLiteral("idle"), {}, false, false, true, true},
        {"missing mode acts as idle", false, {}, {}, false, false, false, false},
        {"unknown mode acts as idle", false, QStringLiteral("sometimes"), {}, false, false, false, false},
        {"unknown mode, user away", false, QStringLiteral("sometimes"), {}, false, false, true, true},
    };
    IdleMonitor& idle = start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.mode)
            defaults.set(QStringLiteral("fullPreviews"), *c.mode);
        else
            defaults.remove(QStringLiteral("fullPreviews"));
        if (c.notOnBattery)
            defaults.set(QStringLiteral("notOnBattery"), *c.notOnBattery);
        else
            defaults.remove(QStringLiteral("notOnBattery"));
        idle.setUserOverride(c.userOverride);
        idle.setOnBattery(c.onBattery);
        idle.setIsHot(c.hot);
        idle.setIsIdle(c.idle);
        EXPECT_EQ(idle.mayRunFull(), c.mayRun);
    }
}

TEST_F(IdleMonitorTest, DestroyingTheMonitorWithAPollInFlightIsClean)
{
    for (int round = 0; round < 20; ++round) {
        monitor = std::make_unique<IdleMonitor>(fakes.readings(), defaults, clockOwner, pools);
        if (round % 2)
            QCoreApplication::processEvents();
        monitor.reset();
    }
    ASSERT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    EXPECT_EQ(clock.sleepers(), 0);

    // A monitor that holds the only reference to its clock: the cancelled sleep still ends on a live clock.
    std::weak_ptr<ManualClock> onlyOwner;
    {
        auto ownClock = std::make_shared<ManualClock>();
        onlyOwner = ownClock;
        monitor = std::make_unique<IdleMonitor>(fakes.readings(), defaults, std::move(ownClock), pools);
    }
    monitor.reset();
    ASSERT_TRUE(QTest::qWaitFor([] { return Tasks::allRunning() == 0; }, 5000));
    EXPECT_TRUE(onlyOwner.expired());
}

} // namespace
