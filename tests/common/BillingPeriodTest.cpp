#include "common/BillingPeriod.h"
#include "common/Seeding.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/DeviceFixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>

namespace {

constexpr std::time_t kDay = 86400;

std::tm calendarFields(int year, int month, int day, int hour, int minute, int second) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    return fields;
}

// A local wall-clock time in the current TZ, as a calendar would build it.
std::time_t local(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm fields = calendarFields(year, month, day, hour, minute, second);
    return std::mktime(&fields);
}

// An absolute moment, independent of TZ, for checking the offsets around
// daylight-saving changes without trusting the local-time functions twice.
std::time_t utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm fields = calendarFields(year, month, day, hour, minute, second);
    return ::timegm(&fields);
}

std::tm localFields(std::time_t moment) {
    std::tm fields{};
    ::localtime_r(&moment, &fields);
    return fields;
}

bool isLocalMidnight(std::time_t moment) {
    const std::tm fields = localFields(moment);
    return fields.tm_hour == 0 && fields.tm_min == 0 && fields.tm_sec == 0;
}

class BillingPeriodTest : public ::testing::Test {
protected:
    ScopedEnvironment timeZone_{"TZ", "Europe/Berlin"};
};

TEST_F(BillingPeriodTest, StartsOnThisMonthsBillingDayOnceItHasBegun) {
    EXPECT_EQ(BillingPeriod::periodStart(15, local(2023, 6, 20, 14, 30)), local(2023, 6, 15));
    EXPECT_EQ(BillingPeriod::periodStart(15, local(2023, 6, 15, 0, 0, 1)), local(2023, 6, 15));
    EXPECT_EQ(BillingPeriod::periodStart(15, local(2023, 6, 15, 23, 59, 59)), local(2023, 6, 15));
}

TEST_F(BillingPeriodTest, StartsOnLastMonthsBillingDayBeforeThisMonthsHasBegun) {
    EXPECT_EQ(BillingPeriod::periodStart(15, local(2023, 6, 10, 9)), local(2023, 5, 15));
    // At midnight sharp the new period has not begun yet.
    EXPECT_EQ(BillingPeriod::periodStart(15, local(2023, 6, 15)), local(2023, 5, 15));
    EXPECT_EQ(BillingPeriod::periodStart(15, local(2024, 1, 10)), local(2023, 12, 15));
    EXPECT_EQ(BillingPeriod::periodStart(1, local(2024, 1, 1)), local(2023, 12, 1));
}

TEST_F(BillingPeriodTest, BillingDayBeyondShortMonthCarriesIntoTheNext) {
    // 31 April is 1 May.
    EXPECT_EQ(BillingPeriod::periodStart(31, local(2023, 5, 15, 12)), local(2023, 5, 1));
    // The carried candidate may equal now; it is kept.
    EXPECT_EQ(BillingPeriod::periodStart(31, local(2023, 5, 1)), local(2023, 5, 1));
    // 31 February 2023 is 3 March, already past on the 3rd at noon.
    EXPECT_EQ(BillingPeriod::periodStart(31, local(2023, 3, 3, 12)), local(2023, 3, 3));
    // 31 June is 1 July, so on 1 July the period began at its midnight.
    EXPECT_EQ(BillingPeriod::periodStart(31, local(2023, 7, 1, 8)), local(2023, 7, 1));
    // 30 February 2024 (a leap year) is 1 March.
    EXPECT_EQ(BillingPeriod::periodStart(30, local(2024, 3, 1, 12)), local(2024, 3, 1));
}

TEST_F(BillingPeriodTest, CarryIntoTheFutureFallsBackToLastDayOfShortMonth) {
    // 30 February 2023 would be 2 March, after now.
    EXPECT_EQ(BillingPeriod::periodStart(30, local(2023, 3, 1, 10)), local(2023, 2, 28));
    EXPECT_EQ(BillingPeriod::periodStart(30, local(2023, 3, 1)), local(2023, 2, 28));
    EXPECT_EQ(BillingPeriod::periodStart(31, local(2023, 3, 2, 23)), local(2023, 2, 28));
    // Leap year: 31 February 2024 would be 2 March.
    EXPECT_EQ(BillingPeriod::periodStart(31, local(2024, 3, 1, 12)), local(2024, 2, 29));
}

TEST_F(BillingPeriodTest, DayZeroAndNegativeDaysCountBackFromTheMonthStart) {
    EXPECT_EQ(BillingPeriod::periodStart(0, local(2023, 6, 20)), local(2023, 5, 31));
    EXPECT_EQ(BillingPeriod::periodStart(0, local(2024, 3, 10)), local(2024, 2, 29));
    EXPECT_EQ(BillingPeriod::periodStart(0, local(2023, 1, 10)), local(2022, 12, 31));
    EXPECT_EQ(BillingPeriod::periodStart(-1, local(2023, 6, 20)), local(2023, 5, 30));
    EXPECT_EQ(BillingPeriod::periodStart(1, local(2023, 6, 20)), local(2023, 6, 1));
    EXPECT_EQ(BillingPeriod::periodStart(1, local(2023, 6, 1)), local(2023, 5, 1));
}

TEST_F(BillingPeriodTest, ExtremeDaysGiveAPastMidnightWithoutOverflow) {
    const std::time_t now = local(2023, 6, 20, 12);
    for (int day : {INT_MIN, INT_MIN + 1, -100000, 100000, INT_MAX - 1, INT_MAX}) {
        const std::time_t start = BillingPeriod::periodStart(day, now);
        EXPECT_LE(start, now) << day;
        EXPECT_TRUE(isLocalMidnight(start)) << day;
    }
}

// Whatever the day and the moment, a period starts at a local midnight, not
// after now, and for a real day of the month no more than a month back.
TEST_F(BillingPeriodTest, EveryStartIsAPastLocalMidnightWithinAMonth) {
    for (std::time_t now = local(2023, 12, 25, 0); now < local(2025, 1, 5); now += kDay + 3 * 3600 + 17) {
        for (int day = -40; day <= 70; ++day) {
            const std::time_t start = BillingPeriod::periodStart(day, now);
            ASSERT_LE(start, now) << "day " << day << " at " << now;
            ASSERT_TRUE(isLocalMidnight(start)) << "day " << day << " at " << now;
            if (day >= 1 && day <= 31) {
                ASSERT_LE(now - start, 31 * kDay + 3600) << "day " << day << " at " << now;
            }
        }
    }
}

// A billing day, a moment in the period, and the period's first moment as
// UTC: local midnight of the billing day in that zone.
struct ClockChangeCase {
    const char* zone;
    int billingDay;
    std::time_t now;
    std::time_t start;
    const char* what;
};

class BillingPeriodClockChangeTest : public ::testing::TestWithParam<ClockChangeCase> {};

TEST_P(BillingPeriodClockChangeTest, StartsAtLocalMidnight) {
    const ClockChangeCase& c = GetParam();
    ScopedEnvironment timeZone("TZ", c.zone);
    EXPECT_EQ(BillingPeriod::periodStart(c.billingDay, c.now), c.start) << c.zone << ": " << c.what;
}

// Berlin springs forward on 31 March 2024 and falls back on 27 October;
// New York springs forward at 02:00 on 10 March 2024 and falls back at 02:00
// on 3 November.
INSTANTIATE_TEST_SUITE_P(
    AcrossClockChanges, BillingPeriodClockChangeTest,
    ::testing::Values(
        ClockChangeCase{"Europe/Berlin", 15, utc(2024, 4, 10, 10), utc(2024, 3, 14, 23), "15 March is winter time"},
        ClockChangeCase{"Europe/Berlin", 31, utc(2024, 3, 31, 10), utc(2024, 3, 30, 23), "spring-forward day"},
        ClockChangeCase{"Europe/Berlin", 1, utc(2024, 4, 1, 10), utc(2024, 3, 31, 22), "after spring forward"},
        ClockChangeCase{"Europe/Berlin", 15, utc(2024, 11, 10, 10), utc(2024, 10, 14, 22), "15 October is summer time"},
        ClockChangeCase{"Europe/Berlin", 27, utc(2024, 10, 27, 11), utc(2024, 10, 26, 22), "fall-back day"},
        ClockChangeCase{"Europe/Berlin", 28, utc(2024, 10, 28, 11), utc(2024, 10, 27, 23), "after fall back"},
        ClockChangeCase{"America/New_York", 10, utc(2024, 3, 10, 16), utc(2024, 3, 10, 5), "spring-forward day"},
        ClockChangeCase{"America/New_York", 1, utc(2024, 3, 20, 16), utc(2024, 3, 1, 5), "1 March is winter time"},
        ClockChangeCase{"America/New_York", 15, utc(2024, 4, 1, 16), utc(2024, 3, 15, 4), "after spring forward"},
        ClockChangeCase{"America/New_York", 3, utc(2024, 11, 4, 1), utc(2024, 11, 3, 4), "20:00 EST, 01:00 UTC"},
        ClockChangeCase{"America/New_York", 15, utc(2024, 11, 10, 16), utc(2024, 10, 15, 4),
                        "15 October is summer time"},
        ClockChangeCase{"America/New_York", 4, utc(2024, 11, 4, 16), utc(2024, 11, 4, 5), "after fall back"}));

TEST_F(BillingPeriodTest, MidnightSkippedByTheClockChangeStartsAtTheDaysFirstMoment) {
    // São Paulo moved its clocks from 00:00 to 01:00 on 4 November 2018; the
    // day began at 01:00 -02, 03:00 UTC. A local-midnight request lands at
    // the boundary of that gap, not a day off.
    ScopedEnvironment saoPaulo("TZ", "America/Sao_Paulo");
    const std::time_t start = BillingPeriod::periodStart(4, utc(2018, 11, 10, 15));
    EXPECT_GE(start, utc(2018, 11, 4, 2));
    EXPECT_LE(start, utc(2018, 11, 4, 3));
}

TEST_F(BillingPeriodTest, PeriodEndIsTheLastSecondOfTheLocalDay) {
    EXPECT_EQ(BillingPeriod::periodEnd(local(2023, 6, 20, 8)), local(2023, 6, 20, 23, 59, 59));
    EXPECT_EQ(BillingPeriod::periodEnd(local(2023, 6, 20)), local(2023, 6, 20, 23, 59, 59));
    EXPECT_EQ(BillingPeriod::periodEnd(local(2023, 6, 20, 23, 59, 59)), local(2023, 6, 20, 23, 59, 59));
    // On the clock-change days the day is 23 or 25 hours long.
    EXPECT_EQ(BillingPeriod::periodEnd(utc(2024, 3, 31, 0, 30)), utc(2024, 3, 31, 21, 59, 59));
    EXPECT_EQ(BillingPeriod::periodEnd(utc(2024, 10, 27, 0, 30)), utc(2024, 10, 27, 22, 59, 59));
}

TEST_F(BillingPeriodTest, PeriodEndOnNewYorkClockChangeDays) {
    ScopedEnvironment newYork("TZ", "America/New_York");
    EXPECT_EQ(BillingPeriod::periodEnd(utc(2024, 3, 10, 6)), utc(2024, 3, 11, 3, 59, 59));
    // 01:30 occurs twice on 3 November; both are the same day.
    EXPECT_EQ(BillingPeriod::periodEnd(utc(2024, 11, 3, 5, 30)), utc(2024, 11, 4, 4, 59, 59));
    EXPECT_EQ(BillingPeriod::periodEnd(utc(2024, 11, 3, 6, 30)), utc(2024, 11, 4, 4, 59, 59));
}

TEST_F(BillingPeriodTest, FollowsTheTimeZoneOfTheMoment) {
    // The same instant is a different calendar day in Tokyo.
    const std::time_t now = utc(2023, 6, 14, 20);
    EXPECT_EQ(BillingPeriod::periodStart(15, now), utc(2023, 5, 14, 22));
    ScopedEnvironment tokyo("TZ", "Asia/Tokyo");
    EXPECT_EQ(BillingPeriod::periodStart(15, now), utc(2023, 6, 14, 15));
}

class BillingPeriodDaemonTest : public BillingPeriodTest {
protected:
    PropertyList settings_;
    const std::time_t now_ = local(2023, 6, 20, 12);
};

TEST_F(BillingPeriodDaemonTest, WithoutSettingsCountsFromTheEpoch) {
    EXPECT_EQ(BillingPeriod::daemonPeriodStart(nullptr, now_), 0);
    EXPECT_EQ(BillingPeriod::daemonPeriodStart(&settings_, now_), 0);
}

TEST_F(BillingPeriodDaemonTest, CycleModeSelectsBillingDayWhateverItsValue) {
    settings_.setString(SettingsKeys::kCycleMode, "N");
    settings_.setString(SettingsKeys::kCycleDay, "15");
    settings_.setDouble(SettingsKeys::kLastFromDate, 1000.0);
    EXPECT_EQ(BillingPeriod::daemonPeriodStart(&settings_, now_), local(2023, 6, 15));
}

TEST_F(BillingPeriodDaemonTest, CycleModeWithoutDayUsesLastDayOfPreviousMonth) {
    settings_.setString(SettingsKeys::kCycleMode, "Y");
    EXPECT_EQ(BillingPeriod::daemonPeriodStart(&settings_, now_), local(2023, 5, 31));
}

TEST_F(BillingPeriodDaemonTest, FixedStartDropsTheFraction) {
    settings_.setDouble(SettingsKeys::kLastFromDate, 1686000000.75);
    EXPECT_EQ(BillingPeriod::daemonPeriodStart(&settings_, now_), 1686000000);
    settings_.setDouble(SettingsKeys::kLastFromDate, -5.5);
    EXPECT_EQ(BillingPeriod::daemonPeriodStart(&settings_, now_), -5);
    settings_.setString(SettingsKeys::kLastFromDate, "1686000000.9");
    EXPECT_EQ(BillingPeriod::daemonPeriodStart(&settings_, now_), 1686000000);
}

TEST_F(BillingPeriodDaemonTest, UnrepresentableFixedStartsStayDefined) {
    settings_.setString(SettingsKeys::kLastFromDate, "nan");
    EXPECT_EQ(BillingPeriod::daemonPeriodStart(&settings_, now_), 0);
    settings_.setString(SettingsKeys::kLastFromDate, "inf");
    EXPECT_EQ(BillingPeriod::daemonPeriodStart(&settings_, now_), 0);
    settings_.setDouble(SettingsKeys::kLastFromDate, 1e300);
    EXPECT_GT(BillingPeriod::daemonPeriodStart(&settings_, now_), now_);
    settings_.setDouble(SettingsKeys::kLastFromDate, -1e300);
    EXPECT_LT(BillingPeriod::daemonPeriodStart(&settings_, now_), 0);
}

}  // namespace

// Before the app first saves, the daemon reads the settings file as the
// bundle seeds it; the app shows billing day 1 until then. Both must count
// from the same day, or the badge counts the whole history.
TEST(BillingPeriodSeed, TheSeededSettingsFileStartsThePeriodWhereTheAppDoes) {
    TempDeviceRoot root;
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "6.1.3"));
    Seeding::copyIfNeeded();
    const auto settings = SettingsStore::load();
    ASSERT_TRUE(settings);
    const std::time_t now = local(2026, 12, 7, 17, 30);
    EXPECT_EQ(BillingPeriod::daemonPeriodStart(&*settings, now), local(2026, 12, 1));
    EXPECT_EQ(BillingPeriod::daemonPeriodStart(&*settings, now), BillingPeriod::periodStart(1, now));
}
