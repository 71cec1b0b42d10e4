// TimeZone: offsets one millisecond around each transition of northern and
// southern rule sets (day-of-week-in-month, last weekday, weekday on or after and
// on or before, fixed days), the conversion of Win32 zone records, the checks on
// rules, and the system zone. Transition instants are hand-computed from the
// zones' published rules; local dates come from the system's own calendar.
#include <vesk/errors/exception.h>
#include <vesk/time/time_zone.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <cstdlib>
#include <functional>
#include <string>

using vesk::GregorianCalendarBase;
using vesk::TimeZone;
using vesk::TransitionRule;
using vesk_test::fileTimeEpoch;
using vesk_test::messageOf;
using vesk_test::systemMillis;
typedef GregorianCalendarBase G;

namespace {

const int hour = 3600000;

// The offset at a UTC instant, asked the way a calendar asks: with the local
// standard date, its weekday and time of day.
int offsetAt(const TimeZone& zone, __int64 utcMillis) {
    const __int64 local = utcMillis + zone.GetStandardOffset();
    ULARGE_INTEGER u;
    u.QuadPart = static_cast<ULONGLONG>(local * 10000 + fileTimeEpoch);
    FILETIME ft;
    ft.dwLowDateTime = u.LowPart;
    ft.dwHighDateTime = u.HighPart;
    SYSTEMTIME st;
    EXPECT_TRUE(FileTimeToSystemTime(&ft, &st));
    const int millis = ((st.wHour * 60 + st.wMinute) * 60 + st.wSecond) * 1000 + st.wMilliseconds;
    return zone.GetOffset(G::AD, st.wYear, static_cast<G::Month>(st.wMonth - 1), st.wDay,
                          static_cast<G::DayOfWeek>(st.wDayOfWeek + 1), millis);
}

TimeZone europe() { // last Sunday of March and October, 01:00 UTC
    TimeZone z;
    z.SetStandardOffset(hour);
    z.SetDSTOffset(hour);
    z.SetStartRule(G::MARCH, -1, G::SUNDAY, 2 * hour);
    z.SetEndRule(G::OCTOBER, -1, G::SUNDAY, 2 * hour);
    return z;
}
TimeZone usEasternOnOrAfter() { // Sunday on or after 8 March, Sunday on or after 1 November
    TimeZone z;
    z.SetStandardOffset(-5 * hour);
    z.SetDSTOffset(hour);
    z.SetStartRule(G::MARCH, 8, G::SUNDAY, 2 * hour, true);
    z.SetEndRule(G::NOVEMBER, 1, G::SUNDAY, hour, true);
    return z;
}
TimeZone usEasternInMonth() { // second Sunday of March, first Sunday of November
    TimeZone z;
    z.SetStandardOffset(-5 * hour);
    z.SetDSTOffset(hour);
    z.SetStartRule(G::MARCH, 2, G::SUNDAY, 2 * hour);
    z.SetEndRule(G::NOVEMBER, 1, G::SUNDAY, hour);
    return z;
}
TimeZone sydneyInMonth() { // first Sunday of October and April
    TimeZone z;
    z.SetStandardOffset(10 * hour);
    z.SetDSTOffset(hour);
    z.SetStartRule(G::OCTOBER, 1, G::SUNDAY, 2 * hour);
    z.SetEndRule(G::APRIL, 1, G::SUNDAY, 2 * hour);
    return z;
}
TimeZone sydneyOnOrBefore() { // Sunday on or before 7 October and 7 April
    TimeZone z;
    z.SetStandardOffset(10 * hour);
    z.SetDSTOffset(hour);
    z.SetStartRule(G::OCTOBER, 7, G::SUNDAY, 2 * hour, false);
    z.SetEndRule(G::APRIL, 7, G::SUNDAY, 2 * hour, false);
    return z;
}
TimeZone lastSundayOfFebruary() { // southern, ends at local midnight on the last Sunday of February
    TimeZone z;
    z.SetStandardOffset(-3 * hour);
    z.SetDSTOffset(hour);
    z.SetStartRule(G::NOVEMBER, 1, G::SUNDAY, 0);
    z.SetEndRule(G::FEBRUARY, -1, G::SUNDAY, 0);
    return z;
}
TimeZone fixedDays() { // 22 March 00:00 to 21 September 23:00 standard time
    TimeZone z;
    z.SetStandardOffset(3 * hour + hour / 2);
    z.SetDSTOffset(hour);
    z.SetStartRule(G::MARCH, 22, 0);
    z.SetEndRule(G::SEPTEMBER, 21, 23 * hour);
    return z;
}

SYSTEMTIME transition(WORD month, WORD dayOfWeek, WORD day, WORD h, WORD year = 0) {
    const SYSTEMTIME st = {year, month, dayOfWeek, day, h, 0, 0, 0};
    return st;
}
TIME_ZONE_INFORMATION record(LONG bias, const SYSTEMTIME& standardDate, const SYSTEMTIME& daylightDate,
                             LONG daylightBias = -60, LONG standardBias = 0) {
    TIME_ZONE_INFORMATION info = {};
    info.Bias = bias;
    info.StandardDate = standardDate;
    info.StandardBias = standardBias;
    info.DaylightDate = daylightDate;
    info.DaylightBias = daylightBias;
    return info;
}
TimeZone windowsEurope() { return TimeZone::fromTimeZoneInformation(record(-60, transition(10, 0, 5, 3), transition(3, 0, 5, 2))); }
TimeZone windowsUsEastern() { return TimeZone::fromTimeZoneInformation(record(300, transition(11, 0, 1, 2), transition(3, 0, 2, 2))); }
TimeZone windowsSydney() { return TimeZone::fromTimeZoneInformation(record(-600, transition(4, 0, 1, 3), transition(10, 0, 1, 2))); }
// Daylight saving that ends at midnight daylight time, 23:00 standard time of the day before.
TimeZone windowsMidnightEnd() { return TimeZone::fromTimeZoneInformation(record(-600, transition(4, 0, 1, 0), transition(10, 0, 1, 2))); }

struct TransitionCase {
    const char* zone;
    std::function<TimeZone()> make;
    __int64 at; // UTC instant of the transition
    int before, after;
};

bool sameRule(const TransitionRule& r, int mode, int month, int timeOfDay, int dayOfWeek, int day) {
    return r.mode == mode && r.month == month && r.timeOfDay == timeOfDay && r.dayOfWeek == dayOfWeek && r.day == day;
}

} // namespace

TEST(TimeZone, OffsetsOneMillisecondAroundEachTransition) {
    const int cet = hour, cest = 2 * hour, est = -5 * hour, edt = -4 * hour, aest = 10 * hour, aedt = 11 * hour;
    const TransitionCase cases[] = {
        {"Europe", europe, systemMillis(2024, 3, 31, 1), cet, cest},
        {"Europe", europe, systemMillis(2024, 10, 27, 1), cest, cet},
        {"Europe", europe, systemMillis(2023, 3, 26, 1), cet, cest},
        {"Europe", europe, systemMillis(2023, 10, 29, 1), cest, cet},
        {"Europe from Win32", windowsEurope, systemMillis(2024, 3, 31, 1), cet, cest},
        {"Europe from Win32", windowsEurope, systemMillis(2024, 10, 27, 1), cest, cet},
        {"US on or after", usEasternOnOrAfter, systemMillis(2024, 3, 10, 7), est, edt},
        {"US on or after", usEasternOnOrAfter, systemMillis(2024, 11, 3, 6), edt, est},
        {"US on or after", usEasternOnOrAfter, systemMillis(2023, 3, 12, 7), est, edt},
        {"US on or after", usEasternOnOrAfter, systemMillis(2023, 11, 5, 6), edt, est},
        {"US in month", usEasternInMonth, systemMillis(2024, 3, 10, 7), est, edt},
        {"US in month", usEasternInMonth, systemMillis(2024, 11, 3, 6), edt, est},
        {"US from Win32", windowsUsEastern, systemMillis(2023, 3, 12, 7), est, edt},
        {"US from Win32", windowsUsEastern, systemMillis(2023, 11, 5, 6), edt, est},
        {"Sydney in month", sydneyInMonth, systemMillis(2024, 4, 6, 16), aedt, aest},
        {"Sydney in month", sydneyInMonth, systemMillis(2024, 10, 5, 16), aest, aedt},
        {"Sydney in month", sydneyInMonth, systemMillis(2023, 4, 1, 16), aedt, aest},
        {"Sydney in month", sydneyInMonth, systemMillis(2023, 9, 30, 16), aest, aedt},
        {"Sydney on or before", sydneyOnOrBefore, systemMillis(2024, 4, 6, 16), aedt, aest},
        {"Sydney on or before", sydneyOnOrBefore, systemMillis(2024, 10, 5, 16), aest, aedt},
        {"Sydney on or before", sydneyOnOrBefore, systemMillis(2023, 9, 30, 16), aest, aedt},
        {"Sydney from Win32", windowsSydney, systemMillis(2024, 4, 6, 16), aedt, aest},
        {"Sydney from Win32", windowsSydney, systemMillis(2024, 10, 5, 16), aest, aedt},
        {"midnight end from Win32", windowsMidnightEnd, systemMillis(2024, 4, 6, 13), aedt, aest},
        {"midnight end from Win32", windowsMidnightEnd, systemMillis(2023, 4, 1, 13), aedt, aest},
        // 29 February 2004 is a Sunday: the last Sunday of February is the 29th.
        {"last Sunday of February", lastSundayOfFebruary, systemMillis(2004, 2, 29, 3), -2 * hour, -3 * hour},
        {"last Sunday of February", lastSundayOfFebruary, systemMillis(2005, 2, 27, 3), -2 * hour, -3 * hour},
        {"last Sunday of February", lastSundayOfFebruary, systemMillis(2004, 11, 7, 3), -3 * hour, -2 * hour},
        {"fixed days", fixedDays, systemMillis(2021, 3, 21, 20, 30), 3 * hour + hour / 2, 4 * hour + hour / 2},
        {"fixed days", fixedDays, systemMillis(2021, 9, 21, 19, 30), 4 * hour + hour / 2, 3 * hour + hour / 2},
    };
    for (const TransitionCase& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " at " + std::to_string(c.at));
        const TimeZone zone = c.make();
        EXPECT_EQ(c.before, offsetAt(zone, c.at - 1));
        // The transition instant itself still has the old offset.
        EXPECT_EQ(c.before, offsetAt(zone, c.at));
        EXPECT_EQ(c.after, offsetAt(zone, c.at + 1));
        // Well inside either side, a day away.
        EXPECT_EQ(c.before, offsetAt(zone, c.at - 86400000));
        EXPECT_EQ(c.after, offsetAt(zone, c.at + 86400000));
    }
}

TEST(TimeZone, LeapFebruaryMovesTheLastWeekday) {
    // A week before the last Sunday of February 2004 daylight saving still runs;
    // with a 28-day February that Sunday would be taken for the last one.
    const TimeZone zone = lastSundayOfFebruary();
    EXPECT_EQ(-2 * hour, offsetAt(zone, systemMillis(2004, 2, 22, 3) + 1));
    EXPECT_EQ(-2 * hour, offsetAt(zone, systemMillis(2004, 2, 28, 12)));
    EXPECT_EQ(-3 * hour, offsetAt(zone, systemMillis(2005, 2, 28, 12)));
}

TEST(TimeZone, RuleExampleWithStandardTimeEnd) {
    TimeZone z;
    z.SetDSTOffset(hour);
    z.SetStartRule(G::MARCH, -1, G::SUNDAY, 2 * hour);
    z.SetEndRule(G::OCTOBER, -1, G::SUNDAY, 3 * hour);
    EXPECT_TRUE(z.UseDaylightTime());
    EXPECT_TRUE(sameRule(z.startRule, 1, 2, 2 * hour, 1, -1));
    // 2024-03-31 and 2024-10-27 are the last Sundays.
    EXPECT_EQ(0, z.GetOffset(G::AD, 2024, G::MARCH, 31, G::SUNDAY, 2 * hour));
    EXPECT_EQ(hour, z.GetOffset(G::AD, 2024, G::MARCH, 31, G::SUNDAY, 2 * hour + 1));
    EXPECT_EQ(0, z.GetOffset(G::AD, 2024, G::MARCH, 24, G::SUNDAY, 2 * hour + 1));
    EXPECT_EQ(hour, z.GetOffset(G::AD, 2024, G::OCTOBER, 27, G::SUNDAY, 3 * hour));
    EXPECT_EQ(0, z.GetOffset(G::AD, 2024, G::OCTOBER, 27, G::SUNDAY, 3 * hour + 1));
    EXPECT_EQ(hour, z.GetOffset(G::AD, 2024, G::OCTOBER, 20, G::SUNDAY, 3 * hour + 1));
    EXPECT_EQ(hour, z.GetOffset(G::AD, 2024, G::JULY, 1, G::MONDAY, 0));
    EXPECT_EQ(0, z.GetOffset(G::AD, 2024, G::DECEMBER, 1, G::SUNDAY, 0));
    // Before Christ the rules are not consulted.
    EXPECT_EQ(0, z.GetOffset(G::BC, 2024, G::JULY, 1, G::MONDAY, 0));
    EXPECT_EQ(0, z.GetOffset(G::BC, 2024, G::MARCH, 31, G::SUNDAY, 2 * hour + 1));
}

TEST(TimeZone, SouthernZoneSpansTheTurnOfTheYear) {
    TimeZone z;
    z.SetStandardOffset(10 * hour);
    z.SetDSTOffset(hour);
    z.SetStartRule(G::OCTOBER, 1, G::SUNDAY, 2 * hour);
    z.SetEndRule(G::MARCH, -1, G::SUNDAY, 2 * hour);
    EXPECT_EQ(11 * hour, z.GetOffset(G::AD, 2024, G::JANUARY, 15, G::MONDAY, 12 * hour));
    EXPECT_EQ(11 * hour, z.GetOffset(G::AD, 2024, G::DECEMBER, 31, G::TUESDAY, 23 * hour));
    EXPECT_EQ(10 * hour, z.GetOffset(G::AD, 2024, G::JUNE, 15, G::SATURDAY, 12 * hour));
}

TEST(TimeZone, UtcZones) {
    const TimeZone zones[] = {TimeZone(), TimeZone("Europe/Berlin")};
    for (const TimeZone& z : zones) {
        EXPECT_FALSE(z.UseDaylightTime());
        EXPECT_EQ(0, z.GetStandardOffset());
        EXPECT_EQ(0, z.GetDSTOffset());
        EXPECT_EQ(0, z.GetOffset(G::AD, 2024, G::JULY, 1, G::MONDAY, 0));
        EXPECT_EQ(0, z.GetOffset(G::BC, 100, G::JANUARY, 31, G::SATURDAY, 86399999));
        EXPECT_EQ(0, offsetAt(z, systemMillis(2024, 3, 31, 1)));
    }
}

TEST(TimeZone, CopiesAllTwelveMembers) {
    const TimeZone source = usEasternOnOrAfter();
    TimeZone copy;
    copy = source;
    EXPECT_EQ(source.dstOffset, copy.dstOffset);
    EXPECT_EQ(source.standardOffset, copy.standardOffset);
    EXPECT_TRUE(sameRule(copy.startRule, 2, 2, 2 * hour, 1, 8));
    EXPECT_TRUE(sameRule(copy.endRule, 2, 10, hour, 1, 1));
    const TimeZone constructed(source);
    EXPECT_TRUE(sameRule(constructed.endRule, 2, 10, hour, 1, 1));
}

TEST(TimeZone, ConvertsWin32Records) {
    const TimeZone eu = windowsEurope();
    EXPECT_EQ(hour, eu.standardOffset);
    EXPECT_EQ(hour, eu.dstOffset);
    // Week 5 is the last; the end time 03:00 is daylight time, 02:00 standard time.
    EXPECT_TRUE(sameRule(eu.startRule, 1, 2, 2 * hour, 1, -1));
    EXPECT_TRUE(sameRule(eu.endRule, 1, 9, 2 * hour, 1, -1));

    const TimeZone us = windowsUsEastern();
    EXPECT_EQ(-5 * hour, us.standardOffset);
    EXPECT_TRUE(sameRule(us.startRule, 1, 2, 2 * hour, 1, 2));
    EXPECT_TRUE(sameRule(us.endRule, 1, 10, hour, 1, 1));

    EXPECT_EQ(-hour, windowsMidnightEnd().endRule.timeOfDay);

    // An absolute date, minutes, seconds and milliseconds.
    SYSTEMTIME start = transition(3, 0, 24, 1, 2024);
    start.wMinute = 30;
    start.wSecond = 15;
    start.wMilliseconds = 250;
    const TimeZone fixed = TimeZone::fromTimeZoneInformation(record(0, transition(10, 0, 27, 3, 2024), start, -30, 0));
    EXPECT_EQ(hour / 2, fixed.dstOffset);
    EXPECT_TRUE(sameRule(fixed.startRule, 0, 2, ((1 * 60 + 30) * 60 + 15) * 1000 + 250, 0, 24));
    EXPECT_TRUE(sameRule(fixed.endRule, 0, 9, 3 * hour - hour / 2, 0, 27));

    // A standard bias moves the standard offset and shrinks daylight saving.
    const TimeZone biased = TimeZone::fromTimeZoneInformation(record(60, transition(10, 0, 5, 3), transition(3, 0, 5, 2), -60, -30));
    EXPECT_EQ(-hour / 2, biased.standardOffset);
    EXPECT_EQ(hour / 2, biased.dstOffset);
}

TEST(TimeZone, Win32RecordWithoutDatesHasNoDaylightSaving) {
    // Zones that dropped daylight saving keep DaylightBias -60 with empty dates;
    // Wine reports UTC that way too.
    const TimeZone z = TimeZone::fromTimeZoneInformation(record(-180, SYSTEMTIME(), SYSTEMTIME(), -60));
    EXPECT_EQ(3 * hour, z.GetStandardOffset());
    EXPECT_FALSE(z.UseDaylightTime());
    EXPECT_EQ(3 * hour, offsetAt(z, systemMillis(2024, 7, 1, 12)));
    const TimeZone half = TimeZone::fromTimeZoneInformation(record(-180, transition(10, 0, 5, 3), SYSTEMTIME(), -60));
    EXPECT_FALSE(half.UseDaylightTime());
}

TEST(TimeZone, RefusesBadWin32Records) {
    const struct {
        TIME_ZONE_INFORMATION info;
        const char* expected;
    } cases[] = {
        {record(-60, transition(13, 0, 5, 3), transition(3, 0, 5, 2)), "end rule's month 12 is outside 0..11"},
        {record(-60, transition(10, 0, 5, 3), transition(3, 7, 5, 2)), "start rule's day of week 8 is outside 1..7"},
        {record(-60, transition(10, 0, 6, 3), transition(3, 0, 5, 2)), "end rule's day-of-week-in-month 6"},
        {record(-60, transition(10, 0, 0, 3), transition(3, 0, 5, 2)), "end rule's day-of-week-in-month 0"},
        {record(-60, transition(10, 0, 5, 3), transition(2, 0, 30, 2, 2024)), "start rule's day 30 is outside 1..28"},
        {record(-60, transition(10, 0, 5, 24), transition(3, 0, 5, 2)), "end rule's time of day"},
        {record(0x7FFFFFFF, SYSTEMTIME(), SYSTEMTIME(), 0), "standard bias of -2147483647 minutes"},
    };
    for (const auto& c : cases) {
        const std::string message = messageOf([&] { TimeZone::fromTimeZoneInformation(c.info); });
        EXPECT_NE(std::string::npos, message.find("Can't convert the time zone information")) << message;
        EXPECT_NE(std::string::npos, message.find(c.expected)) << message;
    }
}

TEST(TimeZone, RefusesBadRulesWhenTheyAreSet) {
    const std::function<void(TimeZone&)> bad[] = {
        [](TimeZone& z) { z.SetStartRule(static_cast<G::Month>(12), 1, G::SUNDAY, 0); },
        [](TimeZone& z) { z.SetEndRule(static_cast<G::Month>(-1), 1, 0); },
        [](TimeZone& z) { z.SetStartRule(G::MARCH, 1, static_cast<G::DayOfWeek>(0), 0); },
        [](TimeZone& z) { z.SetEndRule(G::MARCH, 1, static_cast<G::DayOfWeek>(8), 0); },
        [](TimeZone& z) { z.SetStartRule(G::MARCH, 0, G::SUNDAY, 0); },
        [](TimeZone& z) { z.SetStartRule(G::MARCH, 5, G::SUNDAY, 0); },
        [](TimeZone& z) { z.SetEndRule(G::MARCH, -5, G::SUNDAY, 0); },
        [](TimeZone& z) { z.SetStartRule(G::APRIL, 31, 0); },
        [](TimeZone& z) { z.SetStartRule(G::FEBRUARY, 29, 0); },
        [](TimeZone& z) { z.SetEndRule(G::MARCH, 0, 0); },
        [](TimeZone& z) { z.SetStartRule(G::FEBRUARY, 23, G::SUNDAY, 0, true); },
        [](TimeZone& z) { z.SetEndRule(G::MARCH, 6, G::SUNDAY, 0, false); },
        [](TimeZone& z) { z.SetStartRule(G::MARCH, 1, G::SUNDAY, -1); },
        [](TimeZone& z) { z.SetEndRule(G::MARCH, 1, 86400001); },
    };
    const char* expected[] = {
        "start rule's month 12", "end rule's month -1", "start rule's day of week 0", "end rule's day of week 8",
        "start rule's day-of-week-in-month 0", "start rule's day-of-week-in-month 5", "end rule's day-of-week-in-month -5",
        "start rule's day 31 is outside 1..30", "start rule's day 29 is outside 1..28", "end rule's day 0",
        "start rule's day 23 is outside 1..22", "end rule's day 6 is outside 7..31", "start rule's time of day -1 ms",
        "end rule's time of day 86400001 ms",
    };
    for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i) {
        TimeZone z = europe();
        const std::string message = messageOf([&] { bad[i](z); });
        EXPECT_NE(std::string::npos, message.find(expected[i])) << message;
        // A refused rule leaves the zone as it was.
        EXPECT_TRUE(sameRule(z.startRule, 1, 2, 2 * hour, 1, -1));
        EXPECT_TRUE(sameRule(z.endRule, 1, 9, 2 * hour, 1, -1));
    }
    // The edges that are accepted.
    TimeZone z;
    z.SetStartRule(G::FEBRUARY, 22, G::SUNDAY, 86400000, true);
    z.SetEndRule(G::FEBRUARY, 7, G::SUNDAY, 0, false);
    z.SetStartRule(G::DECEMBER, -4, G::SATURDAY, 0);
    z.SetEndRule(G::JANUARY, 4, G::SATURDAY, 0);
    z.SetEndRule(G::FEBRUARY, 28, 0);
}

TEST(TimeZone, GetOffsetRefusesBadInputAndCorruptRules) {
    const TimeZone z = europe();
    const struct {
        std::function<int()> call;
        const char* expected;
    } cases[] = {
        {[&] { return z.GetOffset(G::AD, 2024, static_cast<G::Month>(12), 1, G::SUNDAY, 0); }, "month 12"},
        {[&] { return z.GetOffset(G::AD, 2024, G::MARCH, 0, G::SUNDAY, 0); }, "day 0"},
        {[&] { return z.GetOffset(G::AD, 2024, G::MARCH, 32, G::SUNDAY, 0); }, "day 32"},
        {[&] { return z.GetOffset(G::AD, 2024, G::MARCH, 1, static_cast<G::DayOfWeek>(0), 0); }, "day of week 0"},
        {[&] { return z.GetOffset(G::AD, 2024, G::MARCH, 1, G::SUNDAY, -1); }, "time of day -1 ms"},
        {[&] { return z.GetOffset(G::AD, 2024, G::MARCH, 1, G::SUNDAY, 86400000); }, "time of day 86400000 ms"},
    };
    for (const auto& c : cases) {
        const std::string message = messageOf(c.call);
        EXPECT_NE(std::string::npos, message.find("Can't get the time zone offset")) << message;
        EXPECT_NE(std::string::npos, message.find(c.expected)) << message;
    }
    TimeZone corrupt = europe();
    corrupt.endRule.month = 12;
    EXPECT_NE(std::string::npos, messageOf([&] { corrupt.GetOffset(G::AD, 2024, G::MARCH, 1, G::FRIDAY, 0); })
                                     .find("end rule's month 12"));
    corrupt = europe();
    corrupt.startRule.mode = 7;
    EXPECT_NE(std::string::npos, messageOf([&] { corrupt.GetOffset(G::AD, 2024, G::MARCH, 1, G::FRIDAY, 0); })
                                     .find("start rule's mode 7"));
    TimeZone huge = europe();
    huge.SetStandardOffset(0x7FFFFFFF);
    EXPECT_NE(std::string::npos, messageOf([&] { huge.GetOffset(G::AD, 2024, G::JULY, 1, G::MONDAY, 0); })
                                     .find("overflows 32 bits"));
}

TEST(TimeZone, SystemZoneComesFromTheSystemRecord) {
    TIME_ZONE_INFORMATION info;
    ASSERT_NE(TIME_ZONE_ID_INVALID, GetTimeZoneInformation(&info));
    const TimeZone system = TimeZone::current();
    EXPECT_EQ(-(info.Bias + info.StandardBias) * 60000, system.GetStandardOffset());
    const bool dated = info.DaylightDate.wMonth != 0 && info.StandardDate.wMonth != 0;
    EXPECT_EQ(dated ? (info.StandardBias - info.DaylightBias) * 60000 : 0, system.GetDSTOffset());
    const char* tz = std::getenv("TZ");
    if (tz && std::string(tz) == "UTC") { // how the suites run under Wine
        EXPECT_EQ(0, system.GetStandardOffset());
        EXPECT_FALSE(system.UseDaylightTime());
    }
}
