#include "Pellmar/media/SearchDate.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

TEST(SearchDateFormatter, SpellsYearMonthDayAndWeekdayInLocalTime)
{
    const double noon = double(QDateTime(QDate(2021, 3, 14), QTime(12, 0), QTimeZone::systemTimeZone()).toSecsSinceEpoch());
    EXPECT_EQ(searchDateFormatter().string(noon), QStringLiteral("2021 March 14 Sunday"));
    const double newYear = double(QDateTime(QDate(1999, 1, 1), QTime(0, 0, 0, 500), QTimeZone::systemTimeZone()).toMSecsSinceEpoch()) / 1000.0;
    EXPECT_EQ(searchDateFormatter().string(newYear), QStringLiteral("1999 January 1 Friday"));
}

} // namespace
