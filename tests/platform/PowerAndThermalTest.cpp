#include "Pellmar/platform/PowerSource.h"
#include "Pellmar/platform/ThermalState.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace {

// A fake sysfs tree: each entry is a relative file path and its content.
using Tree = std::map<QString, QString>;

QString writeTree(const QTemporaryDir& dir, const Tree& tree)
{
    for (const auto& [path, content] : tree) {
        const QString file = dir.filePath(path);
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        if (out.open(QIODevice::WriteOnly))
            out.write((content + QLatin1Char('\n')).toUtf8());
    }
    return dir.path();
}

TEST(SysfsPowerSource, OnBatteryOnlyWhenNoAdapterIsOnlineAndASystemBatteryDischarges)
{
    struct Case {
        const char* name;
        Tree tree;
        std::optional<bool> onBattery;
    };
    const Case cases[] = {
        {"no power supply information", {}, std::nullopt},
        {"desktop on mains", {{"AC/type", "Mains"}, {"AC/online", "1"}}, false},
        {"laptop unplugged",
         {{"AC/type", "Mains"}, {"AC/online", "0"}, {"BAT0/type", "Battery"}, {"BAT0/status", "Discharging"}},
         true},
        {"laptop plugged in, battery reports discharging",
         {{"ADP1/type", "Mains"}, {"ADP1/online", "1"}, {"BAT0/type", "Battery"}, {"BAT0/status", "Discharging"}},
         false},
        {"charging over USB-C",
         {{"ucsi-source-psy-1/type", "USB"}, {"ucsi-source-psy-1/online", "1"}, {"BAT1/type", "Battery"},
          {"BAT1/status", "Discharging"}},
         false},
        {"battery full, no adapter reported", {{"BAT0/type", "Battery"}, {"BAT0/status", "Full"}}, false},
        {"only a wireless mouse's battery discharges",
         {{"hidpp_battery_0/type", "Battery"}, {"hidpp_battery_0/scope", "Device"},
          {"hidpp_battery_0/status", "Discharging"}},
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        EXPECT_EQ(SysfsPowerSource(writeTree(dir, c.tree)).onBattery(), c.onBattery);
    }
}

TEST(SysfsThermalState, TheWarmestZoneDecidesByTheTripPointsItHasReached)
{
    const Tree coolZone{{"thermal_zone0/temp", "45000"},
                        {"thermal_zone0/trip_point_0_type", "critical"},
                        {"thermal_zone0/trip_point_0_temp", "105000"},
                        {"thermal_zone0/trip_point_1_type", "active"},
                        {"thermal_zone0/trip_point_1_temp", "50000"}};
    struct Case {
        const char* name;
        Tree extra;
        std::optional<ThermalLevel> level;
    };
    const Case cases[] = {
        {"below every trip point", {}, ThermalLevel::nominal},
        {"fan trip point reached",
         {{"thermal_zone1/temp", "61000"}, {"thermal_zone1/trip_point_0_type", "active"},
          {"thermal_zone1/trip_point_0_temp", "60000"}},
         ThermalLevel::fair},
        {"throttling trip point reached exactly",
         {{"thermal_zone1/temp", "90000"}, {"thermal_zone1/trip_point_0_type", "active"},
          {"thermal_zone1/trip_point_0_temp", "60000"}, {"thermal_zone1/trip_point_1_type", "passive"},
          {"thermal_zone1/trip_point_1_temp", "90000"}},
         ThermalLevel::serious},
        {"hot trip point reached",
         {{"thermal_zone1/temp", "99000"}, {"thermal_zone1/trip_point_0_type", "hot"},
          {"thermal_zone1/trip_point_0_temp", "98000"}},
         ThermalLevel::critical},
        {"unused trip point at 0 and a disabled zone count for nothing",
         {{"thermal_zone1/temp", "30000"}, {"thermal_zone1/trip_point_0_type", "passive"},
          {"thermal_zone1/trip_point_0_temp", "0"}, {"thermal_zone2/mode", "disabled"},
          {"thermal_zone2/temp", "120000"}, {"thermal_zone2/trip_point_0_type", "critical"},
          {"thermal_zone2/trip_point_0_temp", "100000"}},
         ThermalLevel::nominal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        Tree tree = coolZone;
        tree.insert(c.extra.begin(), c.extra.end());
        EXPECT_EQ(SysfsThermalState(writeTree(dir, tree)).level(), c.level);
    }

    QTemporaryDir empty;
    EXPECT_EQ(SysfsThermalState(empty.path()).level(), std::nullopt);
}

} // namespace
