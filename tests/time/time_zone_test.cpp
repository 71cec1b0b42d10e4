// TimeZone: offsets one millisecond around each transition of northern and
// southern rule sets of every rule form, the conversion of Win32 zone records,
// and the refusal of bad rules, records and dates. Transition instants are
// hand-computed from the zones' published rules.
#include <vesk/errors/exception.h>
#include <vesk/time/time_zone.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using vesk::GregorianCalendarBase;
using vesk::TimeZone;
using vesk::TransitionRule;
using namespace vesk_test;
typedef GregorianCalendarBase G;

namespace {

const int hour = int(HOUR);

// The offset at a UTC instant, asked the way a calendar asks: with the local
// standard date, its weekday and time of day.
int offsetAt(const TimeZone& zone, long long utc) {
    const long long local = utc + zone.GetStandardOffset(), day = fdiv(local, DAY);
    const Date d = dateOf(day);
    return zone.GetOffset(G::AD, int(d.year), G::Month(d.month - 1), d.day, G::DayOfWeek(weekday(day)),
                          int(local - day * DAY));
}
long long utc(long long y, int m, int d, long long ms) { return days(y, m, d) * DAY + ms; }

bool same(const TransitionRule& a, const TransitionRule& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
// A zone with an hour of daylight saving between two rules {mode, month, time,
// weekday, day}, each given through the setter of its mode.
TimeZone withRules(int standard, const TransitionRule& start, const TransitionRule& end) {
    TimeZone z;
    z.SetStandardOffset(standard);
    z.SetDSTOffset(hour);
    for (int i = 0; i < 2; ++i) {
        const TransitionRule& r = i == 0 ? start : end;
        const G::Month m = G::Month(r.month);
        const G::DayOfWeek dow = G::DayOfWeek(r.dayOfWeek);
        const int t = r.timeOfDay, after = r.mode == 2;
        if (r.mode == 0) i == 0 ? z.SetStartRule(m, r.day, t) : z.SetEndRule(m, r.day, t);
        if (r.mode == 1) i == 0 ? z.SetStartRule(m, r.day, dow, t) : z.SetEndRule(m, r.day, dow, t);
        if (r.mode >= 2) i == 0 ? z.SetStartRule(m, r.day, dow, t, after) : z.SetEndRule(m, r.day, dow, t, after);
    }
    EXPECT_TRUE(same(start, z.startRule) && same(end, z.endRule));
    return z;
}

SYSTEMTIME transition(WORD month, WORD dayOfWeek, WORD day, WORD h, WORD year = 0, WORD minute = 0) {
    return {year, month, dayOfWeek, day, h, minute, 0, 0};
}
TIME_ZONE_INFORMATION record(LONG bias, const SYSTEMTIME& standardDate, const SYSTEMTIME& daylightDate,
                             LONG daylightBias = -60, LONG standardBias = 0) {
    return {bias, {}, standardDate, standardBias, {}, daylightDate, daylightBias};
}
TimeZone fromRecord(const TIME_ZONE_INFORMATION& info) { return TimeZone::fromTimeZoneInformation(info); }

} // namespace

TEST(TimeZone, OffsetsOneMillisecondAroundEachTransition) {
    SYSTEMTIME exact = transition(3, 0, 24, 1, 2024, 30);
    exact.wSecond = 15;
    exact.wMilliseconds = 250;
    const struct {
        TimeZone zone;
        int standard, dst;
        std::vector<long long> starts, ends; // UTC instants of the transitions, which keep the old offset
    } zones[] = {
        // Last Sunday of March 02:00 to last Sunday of October 03:00.
        {europeLike(), hour, hour, {utc(2024, 3, 31, HOUR)}, {utc(2024, 10, 27, 2 * HOUR)}},
        // Sunday on or after 8 March and 1 November (in 2026 those days themselves).
        {withRules(-5 * hour, {2, 2, 2 * hour, 1, 8}, {2, 10, hour, 1, 1}), -5 * hour, hour,
         {utc(2024, 3, 10, 7 * HOUR), utc(2026, 3, 8, 7 * HOUR)}, {utc(2026, 11, 1, 6 * HOUR)}},
        // Southern: first Sunday of October and April.
        {withRules(10 * hour, {1, 9, 2 * hour, 1, 1}, {1, 3, 2 * hour, 1, 1}), 10 * hour, hour,
         {utc(2024, 10, 5, 16 * HOUR)}, {utc(2024, 4, 6, 16 * HOUR)}},
        // Sunday on or before 7 October and 7 April (7 April 2024 is a Sunday).
        {withRules(10 * hour, {3, 9, 2 * hour, 1, 7}, {3, 3, 2 * hour, 1, 7}), 10 * hour, hour,
         {utc(2023, 9, 30, 16 * HOUR)}, {utc(2024, 4, 6, 16 * HOUR)}},
        // To midnight of the last Sunday of February, in 2004 the 29th.
        {withRules(-3 * hour, {1, 10, 0, 1, 1}, {1, 1, 0, 1, -1}), -3 * hour, hour, {utc(2004, 11, 7, 3 * HOUR)},
         {utc(2004, 2, 29, 3 * HOUR), utc(2005, 2, 27, 3 * HOUR)}},
        // Fixed days: 22 March 00:00 to 21 September 23:00.
        {withRules(7 * hour / 2, {0, 2, 0, 0, 22}, {0, 8, 23 * hour, 0, 21}), 7 * hour / 2, hour,
         {utc(2021, 3, 21, 20 * HOUR + 30 * MINUTE)}, {utc(2021, 9, 21, 19 * HOUR + 30 * MINUTE)}},
        // Win32 records: week 5 is the last, and the end time is daylight time.
        {fromRecord(record(-60, transition(10, 0, 5, 3), transition(3, 0, 5, 2))), hour, hour,
         {utc(2024, 3, 31, HOUR)}, {utc(2024, 10, 27, HOUR)}},
        {fromRecord(record(-600, transition(4, 0, 1, 0), transition(10, 0, 1, 2))), 10 * hour, hour,
         {utc(2024, 10, 5, 16 * HOUR)}, {utc(2024, 4, 6, 13 * HOUR)}}, // 23:00 standard time of the Saturday
        // An absolute date to the millisecond, with half an hour of daylight saving.
        {fromRecord(record(0, transition(10, 0, 27, 3, 2024), exact, -30)), 0, hour / 2,
         {utc(2024, 3, 24, HOUR + 30 * MINUTE + 15250)}, {utc(2024, 10, 27, 2 * HOUR + 30 * MINUTE)}},
        // A standard bias moves the standard offset and shrinks daylight saving.
        {fromRecord(record(60, transition(10, 0, 5, 3), transition(3, 0, 5, 2), -60, -30)), -hour / 2, hour / 2,
         {utc(2024, 3, 31, 2 * HOUR + 30 * MINUTE)}, {utc(2024, 10, 27, 3 * HOUR)}},
    };
    for (const auto& z : zones) {
        EXPECT_EQ(z.standard, z.zone.GetStandardOffset());
        const auto check = [&](long long at, int before, int after) {
            EXPECT_EQ(before, offsetAt(z.zone, at - 1)) << at;
            EXPECT_EQ(before, offsetAt(z.zone, at)) << at;
            EXPECT_EQ(after, offsetAt(z.zone, at + 1)) << at;
        };
        for (long long at : z.starts) check(at, z.standard, z.standard + z.dst);
        for (long long at : z.ends) check(at, z.standard + z.dst, z.standard);
    }
    // Before Christ, and without daylight saving, the rules are not consulted.
    EXPECT_EQ(hour, europeLike().GetOffset(G::BC, 2024, G::JULY, 1, G::MONDAY, 0));
    for (const TimeZone& utcZone : {TimeZone(), TimeZone("Europe/Berlin")}) {
        EXPECT_FALSE(utcZone.UseDaylightTime());
        EXPECT_EQ(0, offsetAt(utcZone, utc(2024, 7, 1, 0)));
    }
}

TEST(TimeZone, Win32RecordsWithoutDatesHaveNoDaylightSaving) {
    // Zones that dropped daylight saving keep DaylightBias -60 with empty dates.
    const TimeZone dropped = fromRecord(record(-180, SYSTEMTIME(), SYSTEMTIME()));
    EXPECT_EQ(3 * hour, dropped.GetStandardOffset());
    EXPECT_FALSE(dropped.UseDaylightTime());
    EXPECT_FALSE(fromRecord(record(-180, transition(10, 0, 5, 3), SYSTEMTIME())).UseDaylightTime());
}

TEST(TimeZone, RefusesBadRulesRecordsAndDates) {
    TimeZone z = europeLike(), corrupt = europeLike(), huge = europeLike();
    corrupt.startRule.mode = 7; // the rules are public and may be written directly
    huge.SetStandardOffset(0x7FFFFFFF);
    const struct { std::function<void()> call; const char* expected; } cases[] = {
        {[&] { z.SetStartRule(G::Month(12), 1, G::SUNDAY, 0); }, "transition rule: the start rule's month 12"},
        {[&] { z.SetEndRule(G::MARCH, 1, G::DayOfWeek(0), 0); }, "end rule's day of week 0"},
        {[&] { z.SetStartRule(G::MARCH, 0, G::SUNDAY, 0); }, "start rule's day-of-week-in-month 0"},
        {[&] { z.SetEndRule(G::MARCH, 5, G::SUNDAY, 0); }, "end rule's day-of-week-in-month 5"},
        {[&] { z.SetStartRule(G::APRIL, 31, 0); }, "start rule's day 31 is outside 1..30"},
        {[&] { z.SetStartRule(G::FEBRUARY, 23, G::SUNDAY, 0, true); }, "day 23 is outside 1..22"},
        {[&] { z.SetEndRule(G::MARCH, 6, G::SUNDAY, 0, false); }, "end rule's day 6 is outside 7..31"},
        {[&] { z.SetEndRule(G::MARCH, 1, 86400001); }, "end rule's time of day 86400001 ms"},
        {[] { fromRecord(record(-60, transition(13, 0, 5, 3), transition(3, 0, 5, 2))); },
         "convert the time zone information: the end rule's month 12"},
        {[] { fromRecord(record(-60, transition(10, 0, 6, 3), transition(3, 0, 5, 2))); },
         "end rule's day-of-week-in-month 6"},
        {[] { fromRecord(record(-60, transition(10, 0, 5, 24), transition(3, 0, 5, 2))); }, "end rule's time of day"},
        {[] { fromRecord(record(0x7FFFFFFF, SYSTEMTIME(), SYSTEMTIME(), 0)); }, "standard bias of -2147483647 minutes"},
        {[&] { z.GetOffset(G::AD, 2024, G::MARCH, 0, G::SUNDAY, 0); }, "get the time zone offset: day 0"},
        {[&] { z.GetOffset(G::AD, 2024, G::MARCH, 1, G::SUNDAY, 86400000); }, "time of day 86400000 ms"},
        {[&] { corrupt.GetOffset(G::AD, 2024, G::MARCH, 1, G::FRIDAY, 0); }, "start rule's mode 7"},
        {[&] { huge.GetOffset(G::AD, 2024, G::JULY, 1, G::MONDAY, 0); }, "overflows 32 bits"},
    };
    for (const auto& c : cases) EXPECT_TRUE(contains(messageOf(c.call), c.expected)) << messageOf(c.call);
    // The refused rules left the zone as it was; the edges are accepted.
    EXPECT_TRUE(same(z.startRule, europeLike().startRule) && same(z.endRule, europeLike().endRule));
    z.SetStartRule(G::FEBRUARY, 22, G::SUNDAY, 86400000, true);
    z.SetEndRule(G::FEBRUARY, 7, G::SUNDAY, 0, false);
    z.SetStartRule(G::DECEMBER, -4, G::SATURDAY, 0);
    z.SetEndRule(G::JANUARY, 4, G::SATURDAY, 0);
    EXPECT_TRUE(same(z.endRule, {1, 0, 0, 7, 4}));
}
