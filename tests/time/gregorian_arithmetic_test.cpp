// GregorianCalendar field arithmetic: add and roll of every field with small,
// negative and extreme amounts at month ends, leap days, the cutover and
// daylight-saving changes; actual maxima in the cutover year.
//
// Expected values come from the suites' own proleptic day counts of both calendars
// (time_reference.h: days_from_civil and the Julian day number), never from the
// calendar itself.
#include <vesk/errors/exception.h>
#include <vesk/time/gregorian_calendar.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <climits>
#include <string>
#include <vector>

using vesk::Calendar;
using vesk::GregorianCalendar;
using vesk::Time;
using vesk::TimeZone;
using namespace vesk_test;

namespace {

// A calendar in `zone` at local date y-m-d (month 1..12, astronomical year) and wall time.
GregorianCalendar at(const TimeZone& zone, long long y, int m, int d, long long wallMs = 12 * HOUR) {
    GregorianCalendar c(zone);
    c.Clear();
    c.set(Calendar::ERA, eraOf(y));
    c.set(yearField(y), m - 1, d);
    c.set(Calendar::MILLISECOND, int(wallMs));
    c.getTime();
    return c;
}
GregorianCalendar at(long long y, int m, int d, long long wallMs = 12 * HOUR) {
    return at(TimeZone(), y, m, d, wallMs);
}

// The local day the calendar shows, through the reference.
long long dayOf(GregorianCalendar& c) {
    const long long y = c.get(Calendar::ERA) == 0 ? 1 - c.get(Calendar::YEAR) : c.get(Calendar::YEAR);
    return days(y, c.get(Calendar::MONTH) + 1, c.get(Calendar::DAY_OF_MONTH));
}
long long wallOf(GregorianCalendar& c) {
    return ((c.get(Calendar::HOUR_OF_DAY) * 60LL + c.get(Calendar::MINUTE)) * 60 + c.get(Calendar::SECOND)) * 1000 +
           c.get(Calendar::MILLISECOND);
}
long long monthLength(long long y, int m) { // existing days
    return (m == 12 ? days(y + 1, 1, 1) : days(y, m + 1, 1)) - days(y, m, 1);
}
long long lastDayOfMonth(long long y, int m) { return dateOf(days(y, m, 1) + monthLength(y, m) - 1).day; }

#define EXPECT_DAY(c, n) EXPECT_EQ(dayOf(c), (n)) << "expected " << dateOf(n).year << "-" << dateOf(n).month << "-" << dateOf(n).day

// ---- add ----------------------------------------------------------------------

TEST(AddMonth, PinsToTheLastDayAndCarriesOverYearsAndEras) {
    for (int k = -40; k <= 40; ++k) {
        GregorianCalendar c = at(2004, 1, 31);
        c.add(Calendar::MONTH, k);
        const long long total = 2004 * 12 + k;
        const long long y = fdiv(total, 12);
        const int m = int(fmod(total, 12)) + 1;
        EXPECT_DAY(c, days(y, m, std::min<long long>(31, lastDayOfMonth(y, m)))) << " k=" << k;
        EXPECT_EQ(wallOf(c), 12 * HOUR);
    }
    const struct {
        long long y;
        int m, d, amount;
        long long ey;
        int em, ed;
    } rows[] = {
        {2004, 3, 31, -1, 2004, 2, 29}, {2004, 1, 15, -1, 2003, 12, 15}, {0, 12, 15, 1, 1, 1, 15},
        {1, 1, 15, -1, 0, 12, 15},      {-5, 6, 30, 30, -3, 12, 30},      {1582, 9, 30, 1, 1582, 10, 30},
        {1582, 10, 31, -1, 1582, 9, 30}, {2000, 1, 1, 12000000, 1002000, 1, 1},
    };
    for (const auto& r : rows) {
        GregorianCalendar c = at(r.y, r.m, r.d);
        c.add(Calendar::MONTH, r.amount);
        EXPECT_DAY(c, days(r.ey, r.em, r.ed)) << " from " << r.y << "-" << r.m << "-" << r.d;
    }
}

TEST(AddMonth, KeepsTheWallClockAcrossDaylightSaving) {
    GregorianCalendar c = at(europeLike(), 2004, 1, 15, 12 * HOUR);
    c.add(Calendar::MONTH, 4);
    EXPECT_DAY(c, days(2004, 5, 15));
    EXPECT_EQ(wallOf(c), 12 * HOUR);
    EXPECT_EQ(c.get(Calendar::DST_OFFSET), HOUR);
}

TEST(AddYear, EraChangesAndLeapDays) {
    const struct {
        long long y;
        int m, d, amount;
        long long ey;
        int em, ed;
    } rows[] = {
        {1, 6, 1, -1, 0, 6, 1},      {0, 6, 1, 1, 1, 6, 1},          {-4, 6, 1, 10, 6, 6, 1},
        {2004, 2, 29, 1, 2005, 2, 28}, {2004, 2, 29, 4, 2008, 2, 29}, {1500, 2, 29, 100, 1600, 2, 29},
        {1700, 2, 28, -200, 1500, 2, 28}, {2000, 3, 1, -100000000, -99998000, 3, 1},
    };
    for (const auto& r : rows) {
        GregorianCalendar c = at(r.y, r.m, r.d);
        c.add(Calendar::YEAR, r.amount);
        EXPECT_DAY(c, days(r.ey, r.em, r.ed)) << " from " << r.y << " by " << r.amount;
    }
}

TEST(Add, ResultsBeyondTimeThrowAndLeaveTheCalendarAlone) {
    for (unsigned field : {Calendar::YEAR, Calendar::MONTH, Calendar::WEEK_OF_YEAR, Calendar::DAY_OF_MONTH}) {
        GregorianCalendar c = at(292278000, 1, 1);
        const long long before = c.getTime();
        try {
            c.add(field, INT_MAX);
            // Days and weeks of INT_MAX still fit; only check it moved forward.
            EXPECT_TRUE(field == Calendar::DAY_OF_MONTH) << "field " << field;
        } catch (const vesk::Exception& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Can't", 0), 0u);
            EXPECT_EQ(static_cast<long long>(c.getTime()), before);
            EXPECT_EQ(c.get(Calendar::YEAR), 292278000);
        }
    }
    GregorianCalendar c = at(2000, 1, 1);
    c.add(Calendar::DAY_OF_MONTH, INT_MAX);
    EXPECT_DAY(c, days(2000, 1, 1) + INT_MAX);
    c.add(Calendar::DAY_OF_MONTH, INT_MIN);
    EXPECT_DAY(c, days(2000, 1, 1) - 1);
}

TEST(AddEra, Clamped) {
    GregorianCalendar c = at(1990, 5, 5);
    c.add(Calendar::ERA, 5);
    EXPECT_EQ(c.get(Calendar::ERA), 1);
    EXPECT_EQ(c.get(Calendar::YEAR), 1990);
    c.add(Calendar::ERA, -5);
    EXPECT_EQ(c.get(Calendar::ERA), 0);
    EXPECT_EQ(c.get(Calendar::YEAR), 1990);
    EXPECT_DAY(c, days(-1989, 5, 5));
}

TEST(AddDays, DayAndWeekFieldsMoveWholeDaysAtTheSameWallTime) {
    const long long startN[] = {days(2004, 2, 29), days(2003, 12, 31), days(1582, 10, 4), days(1582, 10, 15),
                                days(2004, 3, 27), days(2004, 10, 30), days(1, 1, 1)};
    const int amounts[] = {1, -1, 2, 13, -400, 100000};
    const TimeZone zone = europeLike();
    for (long long n : startN) {
        const Date d = dateOf(n);
        for (int k : amounts) {
            for (unsigned field : {Calendar::DAY_OF_MONTH, Calendar::DAY_OF_YEAR, Calendar::DAY_OF_WEEK,
                                   Calendar::WEEK_OF_YEAR, Calendar::WEEK_OF_MONTH, Calendar::DAY_OF_WEEK_IN_MONTH}) {
                GregorianCalendar c = at(zone, d.year, d.month, d.day, 0);
                c.add(field, k);
                const long long step = field <= Calendar::WEEK_OF_MONTH || field == Calendar::DAY_OF_WEEK_IN_MONTH ? 7 : 1;
                EXPECT_DAY(c, n + step * k) << " field " << field << " by " << k;
                EXPECT_EQ(wallOf(c), 0) << " field " << field << " by " << k;
            }
        }
    }
}

TEST(AddDays, DaylightSavingStart) {
    const TimeZone zone = europeLike();
    // Saturday 27 March 2004; daylight saving starts on Sunday at 02:00.
    GregorianCalendar c = at(zone, 2004, 3, 27, 12 * HOUR);
    const long long before = c.getTime();
    c.add(Calendar::DAY_OF_MONTH, 1);
    EXPECT_EQ(wallOf(c), 12 * HOUR);
    EXPECT_EQ(static_cast<long long>(c.getTime()) - before, 23 * HOUR);

    GregorianCalendar h = at(zone, 2004, 3, 27, 12 * HOUR);
    h.add(Calendar::HOUR_OF_DAY, 24);
    EXPECT_EQ(wallOf(h), 13 * HOUR);
    EXPECT_DAY(h, days(2004, 3, 28));

    // 02:30 does not exist on the Sunday: the move lands an hour later.
    GregorianCalendar gap = at(zone, 2004, 3, 27, 2 * HOUR + 30 * MINUTE);
    gap.add(Calendar::DAY_OF_MONTH, 1);
    EXPECT_DAY(gap, days(2004, 3, 28));
    EXPECT_EQ(wallOf(gap), 3 * HOUR + 30 * MINUTE);

    GregorianCalendar end = at(zone, 2004, 10, 30, 12 * HOUR);
    const long long endBefore = end.getTime();
    end.add(Calendar::WEEK_OF_YEAR, 1);
    EXPECT_EQ(wallOf(end), 12 * HOUR);
    EXPECT_EQ(static_cast<long long>(end.getTime()) - endBefore, 7 * DAY + HOUR);
}

TEST(AddTime, TimeFieldsMoveTheInstant) {
    const struct {
        unsigned field;
        int amount;
        long long millis;
    } rows[] = {{Calendar::HOUR_OF_DAY, -30, -30 * HOUR},      {Calendar::HOUR, 5, 5 * HOUR},
                {Calendar::MINUTE, 1441, 1441 * MINUTE},       {Calendar::SECOND, -61, -61000},
                {Calendar::MILLISECOND, INT_MAX, INT_MAX},     {Calendar::ZONE_OFFSET, 1000, 1000},
                {Calendar::AM_PM, 3, 36 * HOUR}};
    for (const auto& r : rows) {
        GregorianCalendar c = at(2004, 2, 29, 13 * HOUR + 45 * MINUTE);
        const long long before = c.getTime();
        c.add(r.field, r.amount);
        EXPECT_EQ(static_cast<long long>(c.getTime()) - before, r.millis) << "field " << r.field;
    }
    GregorianCalendar c = at(europeLike(), 2004, 3, 28, HOUR + 30 * MINUTE);
    c.add(Calendar::HOUR_OF_DAY, 1);
    EXPECT_EQ(wallOf(c), 3 * HOUR + 30 * MINUTE);
}

// ---- roll ----------------------------------------------------------------------

TEST(RollMonth, CyclesWithinTheYear) {
    for (int k : {-25, -13, -12, -1, 1, 2, 11, 12, 13, 25, INT_MAX, INT_MIN}) {
        GregorianCalendar c = at(2004, 1, 31);
        c.roll(Calendar::MONTH, k);
        const int m = int(fmod(k, 12)) + 1;
        EXPECT_DAY(c, days(2004, m, std::min<long long>(31, lastDayOfMonth(2004, m)))) << " k=" << k;
    }
    GregorianCalendar dec = at(2003, 12, 15);
    dec.roll(Calendar::MONTH, 1);
    EXPECT_DAY(dec, days(2003, 1, 15));
    GregorianCalendar jan = at(2003, 1, 31);
    jan.roll(Calendar::MONTH, true);
    EXPECT_DAY(jan, days(2003, 2, 28));
    jan.roll(Calendar::MONTH, false);
    EXPECT_DAY(jan, days(2003, 1, 28));
}

// Positions among the month's existing days: October 1582 has 21.
TEST(RollDayOfMonth, CyclesOverExistingDays) {
    for (long long k : {-43LL, -22LL, -21LL, -5LL, -1LL, 1LL, 2LL, 10LL, 11LL, 20LL, 21LL, 1000000000LL}) {
        for (int startDay : {1, 4, 15, 31}) {
            GregorianCalendar c = at(1582, 10, startDay);
            c.roll(Calendar::DAY_OF_MONTH, int(k));
            const long long first = days(1582, 10, 1);
            EXPECT_DAY(c, first + fmod(days(1582, 10, startDay) - first + k, 21)) << " from " << startDay << " by " << k;
        }
    }
    GregorianCalendar feb = at(2003, 2, 28);
    feb.roll(Calendar::DAY_OF_MONTH, 1);
    EXPECT_DAY(feb, days(2003, 2, 1));
    feb.roll(Calendar::DAY_OF_MONTH, -1);
    EXPECT_DAY(feb, days(2003, 2, 28));
}

TEST(RollDayOfYear, CyclesOverTheYearAtTheSameWallTime) {
    for (int k : {-355, -278, -1, 1, 77, 78, 355, 1000, INT_MIN}) {
        GregorianCalendar c = at(1582, 10, 4);
        c.roll(Calendar::DAY_OF_YEAR, k);
        const long long first = days(1582, 1, 1);
        EXPECT_DAY(c, first + fmod(276 + static_cast<long long>(k), 355)) << " k=" << k;
    }
    // Half a year back from 1 July 00:30 crosses the daylight-saving start.
    const TimeZone zone = europeLike();
    for (int k : {-182, -1, 1, 183, 184}) {
        GregorianCalendar c = at(zone, 2004, 7, 1, 30 * MINUTE);
        c.roll(Calendar::DAY_OF_YEAR, k);
        EXPECT_DAY(c, days(2004, 1, 1) + fmod(days(2004, 7, 1) - days(2004, 1, 1) + k, 366)) << " k=" << k;
        EXPECT_EQ(wallOf(c), 30 * MINUTE) << " k=" << k;
    }
}

TEST(RollDayOfWeek, StaysInTheWeekUnderEveryWeekStart) {
    const TimeZone zone = europeLike();
    const long long n = days(2004, 3, 29); // Monday after the daylight-saving start
    for (int firstDay = 1; firstDay <= 7; ++firstDay) {
        for (int k : {-8, -7, -1, 1, 3, 6, 7, 15, INT_MAX}) {
            GregorianCalendar c = at(zone, 2004, 3, 29, 30 * MINUTE);
            c.setFirstDayOfWeek(firstDay);
            c.roll(Calendar::DAY_OF_WEEK, k);
            const long long lead = fmod(weekday(n) - firstDay, 7);
            EXPECT_DAY(c, n - lead + fmod(lead + static_cast<long long>(k), 7)) << " first " << firstDay << " k " << k;
            EXPECT_EQ(wallOf(c), 30 * MINUTE);
        }
    }
    // The last day of the week rolls to the first day of the same week.
    GregorianCalendar sat = at(2004, 3, 27);
    sat.roll(Calendar::DAY_OF_WEEK, 1);
    EXPECT_DAY(sat, days(2004, 3, 21));
}

TEST(RollDayOfWeekInMonth, CyclesOverTheSameWeekday) {
    for (int startDay : {1, 4, 15, 17, 31}) {
        for (int k : {-4, -1, 1, 2, 3, 4, 100}) {
            GregorianCalendar c = at(1582, 10, startDay);
            c.roll(Calendar::DAY_OF_WEEK_IN_MONTH, k);
            std::vector<long long> same;
            const long long n = days(1582, 10, startDay), first = days(1582, 10, 1);
            for (long long x = first; x < first + 21; ++x)
                if (weekday(x) == weekday(n))
                    same.push_back(x);
            const long long index = (n - first) / 7;
            EXPECT_DAY(c, same[size_t(fmod(index + k, static_cast<long long>(same.size())))]) << " from " << startDay << " k " << k;
        }
    }
}

TEST(RollWeekOfYear, SameWeekdayWithinTheCalendarYear) {
    const int settings[][2] = {{1, 1}, {2, 4}, {7, 7}, {4, 3}};
    for (const auto& s : settings) {
        for (long long year : {1582LL, 2004LL, 2005LL, 2010LL}) {
            const long long first = days(year, 1, 1), next = days(year + 1, 1, 1);
            for (long long n = first; n < next; n += 11) {
                for (int k : {-60, -1, 1, 2, 52, 53, 1000}) {
                    const Date d = dateOf(n);
                    GregorianCalendar c = at(d.year, d.month, d.day);
                    c.setFirstDayOfWeek(s[0]);
                    c.setMinimalDaysInFirstWeek(s[1]);
                    c.roll(Calendar::WEEK_OF_YEAR, k);
                    const long long firstSame = first + fmod(n - first, 7);
                    const long long count = (next - 1 - firstSame) / 7 + 1;
                    const long long target = firstSame + 7 * fmod((n - firstSame) / 7 + k, count);
                    ASSERT_EQ(dayOf(c), target) << "day " << n << " k " << k << " settings " << s[0] << "/" << s[1];
                    ASSERT_EQ(c.get(Calendar::WEEK_OF_YEAR), weekOf(target, s[0], s[1]).week);
                }
            }
        }
    }
}

TEST(RollWeekOfMonth, MovesByWeeksAndClampsAtTheMonthEnds) {
    const int settings[][2] = {{1, 1}, {2, 4}, {2, 7}, {6, 2}};
    for (const auto& s : settings) {
        for (auto ym : {std::pair<long long, int>(1582, 10), {2004, 2}, {2009, 3}, {2010, 5}}) {
            const long long first = days(ym.first, ym.second, 1), length = monthLength(ym.first, ym.second);
            const int firstWeek = weekOfMonth(first, s[0], s[1]) == 0 ? 1 : weekOfMonth(first, s[0], s[1]);
            const int lastWeek = weekOfMonth(first + length - 1, s[0], s[1]);
            const int weeks = lastWeek - firstWeek + 1;
            for (long long n = first; n < first + length; n += 3) {
                for (int k : {-9, -1, 1, 2, 5, 6}) {
                    const Date d = dateOf(n);
                    GregorianCalendar c = at(d.year, d.month, d.day);
                    c.setFirstDayOfWeek(s[0]);
                    c.setMinimalDaysInFirstWeek(s[1]);
                    c.roll(Calendar::WEEK_OF_MONTH, k);
                    const int week = weekOfMonth(n, s[0], s[1]);
                    const int to = firstWeek + int(fmod(week - firstWeek + k, weeks));
                    const long long target = std::min(first + length - 1, std::max(first, n + 7LL * (to - week)));
                    ASSERT_EQ(dayOf(c), target) << "day " << n << " k " << k << " settings " << s[0] << "/" << s[1];
                }
            }
        }
    }
}

TEST(RollHour, StaysOnTheDayAlsoWhenItHas23Or25Hours) {
    const TimeZone zone = europeLike();
    const struct {
        long long y;
        int m, d;
    } dates[] = {{2004, 3, 28}, {2004, 10, 31}, {2004, 7, 1}};
    for (const auto& d : dates) {
        GregorianCalendar up = at(zone, d.y, d.m, d.d, 23 * HOUR + 30 * MINUTE);
        up.roll(Calendar::HOUR_OF_DAY, 1);
        EXPECT_DAY(up, days(d.y, d.m, d.d));
        EXPECT_EQ(wallOf(up), 30 * MINUTE);
        GregorianCalendar down = at(zone, d.y, d.m, d.d, 30 * MINUTE);
        down.roll(Calendar::HOUR_OF_DAY, -1);
        EXPECT_DAY(down, days(d.y, d.m, d.d));
        EXPECT_EQ(wallOf(down), 23 * HOUR + 30 * MINUTE);
        GregorianCalendar distant = at(zone, d.y, d.m, d.d, 5 * HOUR);
        distant.roll(Calendar::HOUR_OF_DAY, 24 * 1000 + 7);
        EXPECT_EQ(wallOf(distant), 12 * HOUR);
    }
    GregorianCalendar am = at(2004, 5, 5, 11 * HOUR + 15 * MINUTE);
    am.roll(Calendar::HOUR, 1);
    EXPECT_EQ(wallOf(am), 15 * MINUTE);
    GregorianCalendar pm = at(2004, 5, 5, 23 * HOUR + 15 * MINUTE);
    pm.roll(Calendar::HOUR, 1);
    EXPECT_EQ(wallOf(pm), 12 * HOUR + 15 * MINUTE);
    pm.roll(Calendar::HOUR, -13);
    EXPECT_EQ(wallOf(pm), 23 * HOUR + 15 * MINUTE);
}

TEST(RollTime, AmPmMinuteSecondMillisecond) {
    const struct {
        unsigned field;
        int amount;
        long long wall;
    } rows[] = {{Calendar::AM_PM, 1, 1 * HOUR + 45 * MINUTE + 30250},
                {Calendar::AM_PM, -3, 1 * HOUR + 45 * MINUTE + 30250},
                {Calendar::MINUTE, 20, 13 * HOUR + 5 * MINUTE + 30250},
                {Calendar::MINUTE, -106, 13 * HOUR + 59 * MINUTE + 30250},
                {Calendar::SECOND, 31, 13 * HOUR + 45 * MINUTE + 1250},
                {Calendar::MILLISECOND, 750, 13 * HOUR + 45 * MINUTE + 30000},
                {Calendar::MILLISECOND, INT_MIN, 13 * HOUR + 45 * MINUTE + 30000 + (250 + 352) % 1000}};
    for (const auto& r : rows) {
        GregorianCalendar c = at(2004, 12, 31, 13 * HOUR + 45 * MINUTE + 30250);
        c.roll(r.field, r.amount);
        EXPECT_DAY(c, days(2004, 12, 31));
        EXPECT_EQ(wallOf(c), r.wall) << "field " << r.field << " by " << r.amount;
    }
}

TEST(RollYearAndEra, NoOtherFieldChanges) {
    GregorianCalendar leap = at(2004, 2, 29);
    leap.roll(Calendar::YEAR, 1);
    EXPECT_DAY(leap, days(2005, 2, 28));
    GregorianCalendar y = at(2000, 6, 1);
    y.roll(Calendar::YEAR, -1999);
    EXPECT_DAY(y, days(1, 6, 1));
    // Below year 1 the roll wraps to the last year in which the date exists.
    GregorianCalendar first = at(1, 1, 1);
    first.roll(Calendar::YEAR, -1);
    const Date last = dateOf(fdiv(LLONG_MAX, DAY));
    EXPECT_EQ(first.get(Calendar::YEAR), last.year);
    EXPECT_EQ(first.get(Calendar::MONTH), 0);
    GregorianCalendar era = at(2000, 2, 29);
    era.roll(Calendar::ERA, 1);
    EXPECT_EQ(era.get(Calendar::ERA), 0);
    EXPECT_DAY(era, days(-1999, 2, 28)); // 2000 BC is no leap year
}

TEST(Roll, ZeroChangesNothing) {
    for (unsigned f = 0; f < Calendar::FIELD_COUNT; ++f) {
        GregorianCalendar c = at(europeLike(), 2004, 3, 28, 3 * HOUR);
        const long long before = c.getTime();
        c.roll(f, 0);
        c.add(f, 0);
        EXPECT_EQ(static_cast<long long>(c.getTime()), before);
    }
    GregorianCalendar c = at(2004, 1, 1);
    EXPECT_THROW(c.roll(17u, 1), vesk::Exception);
    EXPECT_THROW(c.add(17u, 1), vesk::Exception);
}

// Whatever the amount, roll leaves the larger fields alone, every field stays in
// its actual range, and the result is a date that round-trips.
TEST(Roll, NeverChangesLargerFieldsOrLeavesTheActualRange) {
    const unsigned larger[Calendar::FIELD_COUNT][4] = {
        {99, 99, 99, 99},                                   // ERA
        {Calendar::ERA, 99, 99, 99},                        // YEAR
        {Calendar::ERA, Calendar::YEAR, 99, 99},            // MONTH
        {Calendar::ERA, Calendar::YEAR, 99, 99},            // WEEK_OF_YEAR
        {Calendar::ERA, Calendar::YEAR, Calendar::MONTH, 99}, // WEEK_OF_MONTH
        {Calendar::ERA, Calendar::YEAR, Calendar::MONTH, 99}, // DAY_OF_MONTH
        {Calendar::ERA, Calendar::YEAR, 99, 99},            // DAY_OF_YEAR
        {99, 99, 99, 99},                                   // DAY_OF_WEEK: its week
        {Calendar::ERA, Calendar::YEAR, Calendar::MONTH, 99}, // DAY_OF_WEEK_IN_MONTH
        {Calendar::YEAR, Calendar::MONTH, Calendar::DAY_OF_MONTH, 99}, // AM_PM
        {Calendar::YEAR, Calendar::MONTH, Calendar::DAY_OF_MONTH, Calendar::AM_PM}, // HOUR
        {Calendar::YEAR, Calendar::MONTH, Calendar::DAY_OF_MONTH, 99}, // HOUR_OF_DAY
        {Calendar::MONTH, Calendar::DAY_OF_MONTH, Calendar::HOUR_OF_DAY, 99}, // MINUTE
        {Calendar::DAY_OF_MONTH, Calendar::HOUR_OF_DAY, Calendar::MINUTE, 99}, // SECOND
        {Calendar::HOUR_OF_DAY, Calendar::MINUTE, Calendar::SECOND, 99}, // MILLISECOND
        {99, 99, 99, 99}, {99, 99, 99, 99}};
    const TimeZone zone = europeLike();
    const struct {
        long long y;
        int m, d;
    } dates[] = {{2004, 2, 29}, {2003, 12, 31}, {1582, 10, 4}, {1582, 10, 15}, {1582, 12, 31},
                 {0, 12, 31},   {2004, 3, 28},  {2004, 10, 31}, {2005, 1, 1}};
    for (const auto& d : dates) {
        for (unsigned f = 0; f < Calendar::ZONE_OFFSET; ++f) {
            for (int k : {1, -1, 5, -13, 100, INT_MAX, INT_MIN}) {
                GregorianCalendar c = at(zone, d.y, d.m, d.d, 23 * HOUR + 30 * MINUTE);
                const GregorianCalendar before = c;
                c.roll(f, k);
                GregorianCalendar original = before;
                for (unsigned l : larger[f]) {
                    if (l != 99) {
                        ASSERT_EQ(c.get(l), original.get(l)) << "roll field " << f << " by " << k << " changed " << l;
                    }
                }
                for (int g = 0; g < int(Calendar::ZONE_OFFSET); ++g) {
                    ASSERT_GE(c.get(unsigned(g)), c.getActualMinimum(g)) << "roll " << f << " by " << k << " field " << g;
                    ASSERT_LE(c.get(unsigned(g)), c.getActualMaximum(g)) << "roll " << f << " by " << k << " field " << g;
                }
                // The fields name an existing date: set back, they give the same instant.
                GregorianCalendar again(zone);
                again.setLenient(false);
                again.Clear();
                again.set(Calendar::ERA, c.get(Calendar::ERA));
                again.set(c.get(Calendar::YEAR), c.get(Calendar::MONTH), c.get(Calendar::DAY_OF_MONTH),
                          c.get(Calendar::HOUR_OF_DAY), c.get(Calendar::MINUTE), c.get(Calendar::SECOND));
                again.set(Calendar::MILLISECOND, c.get(Calendar::MILLISECOND));
                ASSERT_EQ(again.get(Calendar::DAY_OF_YEAR), c.get(Calendar::DAY_OF_YEAR));
            }
        }
    }
}

// ---- actual maxima ------------------------------------------------------------------

TEST(ActualMaximum, DayOfMonthAndDayOfYear) {
    const struct {
        long long y;
        int m, dom, doy;
    } rows[] = {{1900, 2, 28, 365}, {2000, 2, 29, 366}, {1500, 2, 29, 366}, {1582, 10, 31, 355},
                {1582, 2, 28, 355}, {0, 2, 29, 366},    {-3, 2, 28, 365},   {2004, 4, 30, 366}};
    for (const auto& r : rows) {
        GregorianCalendar c = at(r.y, r.m, 1);
        EXPECT_EQ(c.getActualMaximum(Calendar::DAY_OF_MONTH), r.dom) << r.y << "-" << r.m;
        EXPECT_EQ(c.getActualMaximum(Calendar::DAY_OF_YEAR), r.doy) << r.y;
        EXPECT_EQ(c.getActualMaximum(Calendar::DAY_OF_YEAR), days(r.y + 1, 1, 1) - days(r.y, 1, 1));
    }
}

TEST(ActualMaximum, WeeksInTheCutoverYearUnderEverySetting) {
    for (int firstDay = 1; firstDay <= 7; ++firstDay) {
        for (int minDays = 1; minDays <= 7; ++minDays) {
            for (long long year : {1582LL, 2004LL, 2009LL}) {
                int maxWeek = 0;
                for (long long n = days(year, 1, 1); n < days(year + 1, 1, 1); ++n) {
                    const Week w = weekOf(n, firstDay, minDays);
                    if (w.year == year)
                        maxWeek = std::max(maxWeek, w.week);
                }
                GregorianCalendar c = at(year, 6, 1);
                c.setFirstDayOfWeek(firstDay);
                c.setMinimalDaysInFirstWeek(minDays);
                ASSERT_EQ(c.getActualMaximum(Calendar::WEEK_OF_YEAR), maxWeek)
                    << year << " first " << firstDay << " min " << minDays;
            }
            for (auto ym : {std::pair<long long, int>(1582, 10), {2004, 2}, {2015, 2}, {2010, 5}}) {
                const long long first = days(ym.first, ym.second, 1), length = monthLength(ym.first, ym.second);
                GregorianCalendar c = at(ym.first, ym.second, 1);
                c.setFirstDayOfWeek(firstDay);
                c.setMinimalDaysInFirstWeek(minDays);
                ASSERT_EQ(c.getActualMaximum(Calendar::WEEK_OF_MONTH), weekOfMonth(first + length - 1, firstDay, minDays))
                    << ym.first << "-" << ym.second << " first " << firstDay << " min " << minDays;
                for (long long n = first; n < first + 7; ++n) {
                    const Date d = dateOf(n);
                    GregorianCalendar w = at(d.year, d.month, d.day);
                    ASSERT_EQ(w.getActualMaximum(Calendar::DAY_OF_WEEK_IN_MONTH), (first + length - 1 - n) / 7 + 1);
                }
            }
        }
    }
}

TEST(ActualMaximum, YearDependsOnTheDateAndEra) {
    const Date last = dateOf(fdiv(LLONG_MAX, DAY));   // AD, Gregorian
    const Date first = dateOf(fdiv(LLONG_MIN, DAY));  // BC, Julian (astronomical year)
    EXPECT_EQ(at(2000, 1, 1).getActualMaximum(Calendar::YEAR), last.year);
    EXPECT_EQ(at(2000, 12, 31).getActualMaximum(Calendar::YEAR), last.year - 1);
    EXPECT_EQ(at(-5, 12, 31).getActualMaximum(Calendar::YEAR), 1 - first.year);
    EXPECT_EQ(at(-5, 1, 1).getActualMaximum(Calendar::YEAR), -first.year);
}

TEST(ActualMinimum, MonthThatTheCutoverCutsAtItsStart) {
    // Gregorian 1900-01-10 follows Julian 1899-12-28.
    GregorianCalendar c{TimeZone()};
    c.setGregorianChange(Time(gregorianDays(1900, 1, 10) * DAY));
    c.setTime(Time(gregorianDays(1900, 1, 20) * DAY));
    EXPECT_EQ(c.getActualMinimum(Calendar::DAY_OF_MONTH), 10);
    EXPECT_EQ(c.getActualMaximum(Calendar::DAY_OF_MONTH), 31);
    EXPECT_EQ(c.get(Calendar::DAY_OF_YEAR), 11);
    EXPECT_EQ(c.getActualMaximum(Calendar::DAY_OF_YEAR), gregorianDays(1901, 1, 1) - gregorianDays(1900, 1, 10));
    c.roll(Calendar::DAY_OF_MONTH, -11);
    EXPECT_EQ(c.get(Calendar::DAY_OF_MONTH), 31);
    c.setTime(Time(gregorianDays(1900, 1, 10) * DAY - 1));
    EXPECT_EQ(c.get(Calendar::YEAR), 1899);
    EXPECT_EQ(c.get(Calendar::DAY_OF_MONTH), 28);
    EXPECT_EQ(c.getActualMaximum(Calendar::DAY_OF_MONTH), 28);
    EXPECT_EQ(c.getActualMaximum(Calendar::DAY_OF_YEAR), gregorianDays(1900, 1, 10) - julianDays(1899, 1, 1));
    EXPECT_EQ(at(2004, 5, 5).getActualMinimum(Calendar::DAY_OF_MONTH), 1);
}

} // namespace
