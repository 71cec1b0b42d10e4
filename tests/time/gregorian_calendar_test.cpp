// GregorianCalendar: field resolution, strict mode, moved cutovers, add and roll at
// month ends, across the cutover and daylight saving, and a fixed-seed sweep of set,
// add and roll over the whole range (which also checks daylight saving, week-based
// years and actual maxima).
//
// Expected values come from the suites' own proleptic day counts of both calendars
// (time_reference.h), never from the calendar itself.
#include <vesk/errors/exception.h>
#include <vesk/time/gregorian_calendar.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

using vesk::Calendar;
using vesk::GregorianCalendar;
using vesk::Time;
using vesk::TimeZone;
using namespace vesk_test;
typedef vesk::GregorianCalendarBase G;
typedef Calendar C;

namespace {

// A calendar in `zone` at local date y-m-d (month 1..12, astronomical year) and wall time.
GregorianCalendar at(long long y, int m, int d, long long wallMs = 12 * HOUR, const TimeZone& zone = TimeZone()) {
    GregorianCalendar c(zone);
    c.Clear();
    c.set(C::ERA, eraOf(y));
    c.set(yearField(y), m - 1, d);
    c.set(C::MILLISECOND, int(wallMs));
    c.getTime();
    return c;
}
// The local day and wall time the calendar shows, through the reference.
long long dayOf(GregorianCalendar& c) {
    const long long y = c.get(C::ERA) == 0 ? 1 - c.get(C::YEAR) : c.get(C::YEAR);
    return days(y, c.get(C::MONTH) + 1, c.get(C::DAY_OF_MONTH));
}
long long wallOf(GregorianCalendar& c) {
    return ((c.get(C::HOUR_OF_DAY) * 60LL + c.get(C::MINUTE)) * 60 + c.get(C::SECOND)) * 1000 + c.get(C::MILLISECOND);
}
long long monthEnd(long long y, int m, long long cut = CUTOVER_DAY) {
    return (m == 12 ? days(y + 1, 1, 1, cut) : days(y, m + 1, 1, cut)) - 1;
}
std::string text(long long n) {
    const Date d = dateOf(n);
    return std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day);
}

// Daylight saving of europeLike() at a local standard day and time; none in BC years.
long long lastSunday(long long y, int m, long long cut = CUTOVER_DAY) {
    return monthEnd(y, m, cut) - fmod(weekday(monthEnd(y, m, cut)) - 1, 7);
}
bool dstAt(long long day, long long standardMs, long long cut = CUTOVER_DAY) {
    const long long year = dateOf(day, cut).year;
    const auto at = std::make_pair(day, standardMs);
    return year >= 1 && at > std::make_pair(lastSunday(year, 3, cut), 2 * HOUR) &&
           at <= std::make_pair(lastSunday(year, 10, cut), 3 * HOUR);
}

// Rolling WEEK_OF_MONTH by k: whole weeks within the month's counted weeks,
// clamped to the month. A roll by 0 does nothing.
long long weekOfMonthRolled(long long n, int firstDay, int minDays, long long k, long long cut = CUTOVER_DAY) {
    if (k == 0) return n;
    const Date d = dateOf(n, cut);
    const long long first = days(d.year, d.month, 1, cut), last = monthEnd(d.year, d.month, cut);
    const int firstWeek = std::max(1, weekOfMonth(first, firstDay, minDays, cut));
    const int week = weekOfMonth(n, firstDay, minDays, cut), lastWeek = weekOfMonth(last, firstDay, minDays, cut);
    const long long to = firstWeek + fmod(week - firstWeek + k, lastWeek - firstWeek + 1);
    return std::min(last, std::max(first, n + 7 * (to - week)));
}

// ERA .. DAY_OF_WEEK_IN_MONTH of local day n, by the reference, and as the calendar reads them.
std::vector<long long> dayFields(long long n, int firstDay, int minDays, long long cut) {
    const Date d = dateOf(n, cut);
    return {eraOf(d.year), yearField(d.year), d.month - 1, weekOf(n, firstDay, minDays, cut).week,
            weekOfMonth(n, firstDay, minDays, cut), d.day, n - days(d.year, 1, 1, cut) + 1, weekday(n),
            (n - days(d.year, d.month, 1, cut)) / 7 + 1};
}
std::vector<long long> dayFields(GregorianCalendar& c) {
    std::vector<long long> v;
    for (unsigned f = C::ERA; f <= C::DAY_OF_WEEK_IN_MONTH; ++f) v.push_back(c.get(f));
    return v;
}
// The local day the calendar shows, from its instant and offsets (no 64-bit overflow).
long long localDay(GregorianCalendar& c) {
    const long long t = c.getTime();
    return fdiv(t, DAY) + fdiv(fmod(t, DAY) + c.get(C::ZONE_OFFSET) + c.get(C::DST_OFFSET), DAY);
}

} // namespace

// ---- instant <-> fields ---------------------------------------------------------

TEST(GregorianCalendar, MostRecentFieldCombinationWins) {
    const struct { int firstDay, minDays; std::vector<std::pair<unsigned, int>> sets; long long day; } rows[] = {
        {1, 1, {{C::YEAR, 2000}}, days(2000, 1, 1)},
        {1, 1, {{C::YEAR, 2000}, {C::MONTH, 6}, {C::DAY_OF_MONTH, 20}, {C::DAY_OF_YEAR, 100}}, days(2000, 4, 9)},
        {1, 1, {{C::DAY_OF_YEAR, 100}, {C::YEAR, 2000}, {C::MONTH, 6}, {C::DAY_OF_MONTH, 20}}, days(2000, 7, 20)},
        {1, 1, {{C::YEAR, 1582}, {C::MONTH, 9}, {C::DAY_OF_WEEK, G::FRIDAY}, {C::DAY_OF_WEEK_IN_MONTH, 3}},
         days(1582, 10, 29)},
        {1, 1, {{C::YEAR, 2004}, {C::MONTH, 1}, {C::DAY_OF_WEEK, G::MONDAY}, {C::DAY_OF_WEEK_IN_MONTH, -1}},
         days(2004, 2, 23)},
        {1, 1, {{C::YEAR, 1582}, {C::DAY_OF_YEAR, 278}}, CUTOVER_DAY}, // the count runs on over the gap
        // Lenient: overflow carries, a day of the cutover gap reads as Julian.
        {1, 1, {{C::YEAR, 2003}, {C::MONTH, 14}, {C::DAY_OF_MONTH, 1}}, days(2004, 3, 1)},
        {1, 1, {{C::YEAR, 2003}, {C::MONTH, -1}, {C::DAY_OF_MONTH, 31}}, days(2002, 12, 31)},
        {1, 1, {{C::YEAR, 2003}, {C::MONTH, 1}, {C::DAY_OF_MONTH, 30}}, days(2003, 3, 2)},
        {1, 1, {{C::YEAR, 2003}, {C::DAY_OF_YEAR, 366}}, days(2004, 1, 1)},
        {1, 1, {{C::YEAR, 1582}, {C::MONTH, 9}, {C::DAY_OF_MONTH, 10}}, days(1582, 10, 20)},
        // Weeks from Monday: Sunday ends a week. 1 March 2009 is a Sunday, 1 January a Thursday.
        {2, 1, {{C::YEAR, 2009}, {C::MONTH, 2}, {C::DAY_OF_WEEK, G::SUNDAY}, {C::WEEK_OF_MONTH, 2}}, days(2009, 3, 8)},
        {2, 4, {{C::YEAR, 2009}, {C::MONTH, 2}, {C::DAY_OF_WEEK, G::SUNDAY}, {C::WEEK_OF_MONTH, 2}}, days(2009, 3, 15)},
        {2, 4, {{C::YEAR, 2009}, {C::DAY_OF_WEEK, G::SUNDAY}, {C::WEEK_OF_YEAR, 10}}, days(2009, 3, 8)},
        {2, 7, {{C::YEAR, 2009}, {C::DAY_OF_WEEK, G::SUNDAY}, {C::WEEK_OF_YEAR, 10}}, days(2009, 3, 15)},
    };
    for (const auto& r : rows) {
        GregorianCalendar c{TimeZone()};
        c.setFirstDayOfWeek(r.firstDay);
        c.setMinimalDaysInFirstWeek(r.minDays);
        c.Clear();
        for (const auto& s : r.sets) c.set(s.first, s.second);
        EXPECT_EQ(r.day * DAY, static_cast<long long>(c.getTime())) << "expected " << text(r.day);
    }

    GregorianCalendar c{TimeZone()};
    c.Clear();
    EXPECT_EQ(0, static_cast<long long>(c.getTime()));
    c.set(2000, 0, 1, 0, 0);
    c.set(C::HOUR_OF_DAY, 1000000); // whole days carried, no 32-bit wrap
    EXPECT_EQ(days(2000, 1, 1) * DAY + 1000000 * HOUR, static_cast<long long>(c.getTime()));
    for (int bad : {0, 8}) {
        EXPECT_TRUE(contains(messageOf([&] { c.setFirstDayOfWeek(bad); }), "first day of the week"));
        EXPECT_TRUE(contains(messageOf([&] { c.setMinimalDaysInFirstWeek(bad); }), "minimal days in the first week"));
    }
}

TEST(GregorianCalendar, StrictModeRefusesFieldsThatWouldChange) {
    // The field named in the message; nullptr when the fields are valid.
    const struct { int y, m, d, h; const char* field; } dates[] = {
        {2004, 1, 29, 12, nullptr},        {2004, 1, 30, 12, "DAY_OF_MONTH"}, {2003, 1, 29, 12, "DAY_OF_MONTH"},
        {1500, 1, 29, 12, nullptr},        {2004, 12, 1, 12, "MONTH"},        {2004, 0, 0, 12, "DAY_OF_MONTH"},
        {2004, 0, 1, 24, "HOUR_OF_DAY"},   {1582, 9, 10, 12, "DAY_OF_MONTH"}, {1582, 9, 4, 12, nullptr},
        {1582, 9, 15, 12, nullptr},        {2004, 2, 28, 2, "HOUR_OF_DAY"}, // skipped by daylight saving
    };
    for (const auto& k : dates) {
        GregorianCalendar c(europeLike());
        c.setLenient(false);
        c.Clear();
        c.set(k.y, k.m, k.d, k.h, 30);
        const long long n = days(k.y, k.m + 1, k.d), wall = k.h * HOUR + 30 * MINUTE;
        if (!k.field) {
            EXPECT_EQ(n * DAY + wall - HOUR - (dstAt(n, wall) ? HOUR : 0), static_cast<long long>(c.getTime()));
            continue;
        }
        const std::string message = messageOf([&] { c.getTime(); });
        EXPECT_EQ(0u, message.rfind("Can't compute the time", 0)) << message;
        EXPECT_TRUE(contains(message, std::string("\"") + k.field + "\"")) << message;
        EXPECT_THROW(c.getTime(), vesk::Exception); // the refused fields are kept as set
    }
    const std::pair<unsigned, int> fields[] = {{C::DAY_OF_WEEK_IN_MONTH, 0}, {C::DAY_OF_WEEK, 8}, {C::MINUTE, 60},
                                               {C::ERA, 2}, {C::DAY_OF_YEAR, 366}, {C::WEEK_OF_YEAR, 54}};
    for (const auto& f : fields) {
        GregorianCalendar c = at(2003, 6, 1);
        c.setLenient(false);
        c.set(f.first, f.second);
        EXPECT_THROW(c.get(C::YEAR), vesk::Exception) << "field " << f.first;
    }
}

TEST(GregorianCalendar, BoundaryDaysWithTheDefaultAndAMovedCutover) {
    const long long british = gregorianDays(1752, 9, 14), cutJanuary = gregorianDays(1900, 1, 10);
    const long long britishJan1 = julianDays(1752, 1, 1), britishYear = gregorianDays(1753, 1, 1) - britishJan1;
    const long long cutYear = gregorianDays(1901, 1, 1) - cutJanuary, last1899 = cutJanuary - julianDays(1899, 1, 1);
    // The cutover day (LLONG_MIN: Gregorian throughout, LLONG_MAX: Julian) and the day.
    const struct { long long change, day; int doy, minDom, maxDom; long long maxDoy; } rows[] = {
        {CUTOVER_DAY, CUTOVER_DAY, 278, 1, 31, 355},
        {british, british - 1, int(british - britishJan1), 1, 30, britishYear},
        {british, british, int(british - britishJan1 + 1), 1, 30, britishYear},
        {cutJanuary, cutJanuary + 10, 11, 10, 31, cutYear},
        {cutJanuary, cutJanuary - 1, int(last1899), 1, 28, last1899},
        {LLONG_MIN, gregorianDays(1582, 10, 10), 283, 1, 31, 365},
        {LLONG_MAX, 0, 353, 1, 31, 365}, // 1969-12-19, 13 days behind
    };
    for (const auto& r : rows) {
        const long long changeMs = r.change == LLONG_MIN || r.change == LLONG_MAX ? r.change : r.change * DAY;
        const Date d = dateOf(r.day, fdiv(changeMs, DAY));
        SCOPED_TRACE(r.day);
        GregorianCalendar c{TimeZone()};
        c.setGregorianChange(Time(changeMs));
        c.setTime(Time(r.day * DAY));
        const std::vector<long long> expected = {d.year, d.month - 1, d.day, r.doy, weekday(r.day),
                                                 r.minDom, r.maxDom, r.maxDoy};
        EXPECT_EQ(expected, (std::vector<long long>{c.get(C::YEAR), c.get(C::MONTH), c.get(C::DAY_OF_MONTH),
                                                    c.get(C::DAY_OF_YEAR), c.get(C::DAY_OF_WEEK),
                                                    c.getActualMinimum(C::DAY_OF_MONTH),
                                                    c.getActualMaximum(C::DAY_OF_MONTH),
                                                    c.getActualMaximum(C::DAY_OF_YEAR)}));
        if (r.minDom > 1) {
            c.roll(C::DAY_OF_MONTH, -11); // from the 11th existing day to the last
            EXPECT_EQ(31, c.get(C::DAY_OF_MONTH));
        }
        c.Clear();
        c.set(int(d.year), d.month - 1, d.day);
        EXPECT_EQ(r.day * DAY, static_cast<long long>(c.getTime()));
    }
    // A new cutover reads the same instant anew (1970-01-01 is Julian 1969-12-19).
    GregorianCalendar c{TimeZone()};
    c.setTime(Time(0));
    c.setGregorianChange(Time(LLONG_MAX));
    c.setTime(Time(0));
    EXPECT_EQ(dayFields(0, 1, 1, LLONG_MAX), dayFields(c));
}

// ---- add and roll ----------------------------------------------------------------------

TEST(GregorianCalendar, AddAndRollAtMonthEndsAcrossTheCutoverAndDaylightSaving) {
    const long long noon = 12 * HOUR, late = 23 * HOUR + 30 * MINUTE;
    // From date y-m-d at wall time `from` to `day` at wall time `to`.
    const struct { bool roll; unsigned field; long long y; int m, d; long long from; int amount; long long day, to; }
        rows[] = {
        // add pins to the month's end, carries into years and eras and keeps the wall clock
        {false, C::MONTH, 2004, 1, 31, noon, 1, days(2004, 2, 29), noon},
        {false, C::MONTH, 2004, 1, 31, noon, -40, days(2000, 9, 30), noon},
        {false, C::MONTH, 2004, 1, 15, noon, 4, days(2004, 5, 15), noon}, // into daylight saving
        {false, C::MONTH, 0, 12, 15, noon, 1, days(1, 1, 15), noon},
        {false, C::MONTH, 1, 1, 15, noon, -1, days(0, 12, 15), noon},
        {false, C::MONTH, 1582, 10, 31, noon, -1, days(1582, 9, 30), noon},
        {false, C::MONTH, 2000, 1, 1, noon, 12000000, days(1002000, 1, 1), noon},
        {false, C::YEAR, 1, 6, 1, noon, -1, days(0, 6, 1), noon},
        {false, C::YEAR, 0, 6, 1, noon, 1, days(1, 6, 1), noon},
        {false, C::YEAR, 2004, 2, 29, noon, 1, days(2005, 2, 28), noon},
        {false, C::YEAR, 1500, 2, 29, noon, 100, days(1600, 2, 29), noon},
        {false, C::ERA, 1990, 5, 5, noon, 5, days(1990, 5, 5), noon},
        {false, C::ERA, 1990, 5, 5, noon, -5, days(-1989, 5, 5), noon},
        // 02:30 does not exist on the day daylight saving starts: the move lands an hour later
        {false, C::DAY_OF_MONTH, 2004, 3, 27, 2 * HOUR + 30 * MINUTE, 1, days(2004, 3, 28), 3 * HOUR + 30 * MINUTE},
        // time fields move the instant; half days keep the wall clock
        {false, C::HOUR_OF_DAY, 2004, 3, 27, noon, 24, days(2004, 3, 28), 13 * HOUR},
        {false, C::ZONE_OFFSET, 2004, 3, 27, noon, 1000, days(2004, 3, 27), noon + 1000},
        {false, C::AM_PM, 2004, 3, 27, noon, 3, days(2004, 3, 29), 0},
        // roll changes one field only; hours stay on days of 23 and 25 hours
        {true, C::YEAR, 2004, 2, 29, noon, 1, days(2005, 2, 28), noon},
        {true, C::ERA, 2000, 2, 29, noon, 1, days(-1999, 2, 28), noon}, // 2000 BC has no 29 February
        {true, C::HOUR_OF_DAY, 2004, 3, 28, late, 1, days(2004, 3, 28), 30 * MINUTE},
        {true, C::HOUR_OF_DAY, 2004, 3, 28, 30 * MINUTE, -1, days(2004, 3, 28), late},
        {true, C::HOUR_OF_DAY, 2004, 10, 31, late, 1, days(2004, 10, 31), 30 * MINUTE},
        {true, C::HOUR_OF_DAY, 2004, 10, 31, 30 * MINUTE, -1, days(2004, 10, 31), late},
        {true, C::HOUR_OF_DAY, 2004, 3, 28, 5 * HOUR, 24007, days(2004, 3, 28), noon},
    };
    for (const auto& r : rows) {
        GregorianCalendar c = at(r.y, r.m, r.d, r.from, europeLike());
        r.roll ? c.roll(r.field, r.amount) : c.add(r.field, r.amount);
        EXPECT_EQ(r.day, dayOf(c)) << (r.roll ? "roll " : "add ") << r.field << " by " << r.amount << " from " << r.y
                                   << "-" << r.m << "-" << r.d << ", expected " << text(r.day);
        EXPECT_EQ(r.to, wallOf(c)) << (r.roll ? "roll " : "add ") << r.field << " by " << r.amount;
    }
}

// ---- actual limits -------------------------------------------------------------------------

// The last year of each era in which the date still lies in the range of Time (the
// other maxima are swept below).
TEST(GregorianCalendar, ActualMaximumOfTheYear) {
    const Date last = dateOf(fdiv(LLONG_MAX, DAY)), first = dateOf(fdiv(LLONG_MIN, DAY));
    EXPECT_EQ(last.year, at(2000, 1, 1).getActualMaximum(C::YEAR));
    EXPECT_EQ(last.year - 1, at(2000, 12, 31).getActualMaximum(C::YEAR));
    EXPECT_EQ(1 - first.year, at(-5, 12, 31).getActualMaximum(C::YEAR));
    EXPECT_EQ(-first.year, at(-5, 1, 1).getActualMaximum(C::YEAR));
}

// ---- the ends of Time, and a fixed-seed sweep ----------------------------------------------

// Random set, add and roll of every field over the whole range of Time, under four
// cutovers, every week setting and zones with and without daylight saving. Each step
// ends in values or a library exception (which leaves the calendar as it was); the
// values lie within the limits, agree with the reference and round-trip; a roll moves
// its own field by the amount modulo the field's actual range and keeps the larger ones.
TEST(GregorianCalendar, FixedSeedSweepOfSetAddAndRollOverTheWholeRange) {
    unsigned long long state = 20261207; // splitmix64
    auto pick = [&state](long long lo, long long hi) {
        unsigned long long z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        z ^= z >> 31;
        const unsigned long long span = static_cast<unsigned long long>(hi) - static_cast<unsigned long long>(lo);
        return static_cast<long long>(static_cast<unsigned long long>(lo) + (span == ~0ULL ? z : z % (span + 1)));
    };
    TimeZone east, west;
    east.SetStandardOffset(int(12 * HOUR));
    west.SetStandardOffset(int(-12 * HOUR));
    const TimeZone zones[] = {TimeZone(), europeLike(), east, west};
    const long long changes[] = {CUTOVER_DAY * DAY, gregorianDays(1752, 9, 14) * DAY, LLONG_MIN, LLONG_MAX};
    const int amounts[] = {0, 1, -1, 7, -7, 12, 53, -400, 902, 123456789, INT_MAX, INT_MIN};
    const long long edge = 100000000000LL, units[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, HOUR, HOUR, MINUTE, 1000, 1};
    // Per rolled field, the fields (bit masks) it must leave alone.
    const unsigned keeps[C::FIELD_COUNT] = {0,    1,    3,    0x83,  7,      7,      3,      0,   0x87,
                                            0x27, 0x27, 0x27, 0x827, 0x1027, 0x2027, 0, 0};
    int zoneIndex = 0, steps = 0;
    for (long long change : changes) {
        const long long cut = change == LLONG_MIN || change == LLONG_MAX ? change : fdiv(change, DAY);
        for (int firstDay = 1; firstDay <= 7; ++firstDay) {
            for (int minDays = 1; minDays <= 7; ++minDays) {
                const TimeZone& zone = zones[zoneIndex++ % 4];
                GregorianCalendar c(zone);
                c.setGregorianChange(Time(change));
                c.setFirstDayOfWeek(firstDay);
                c.setMinimalDaysInFirstWeek(minDays);
                for (int step = 0; step < 100; ++step, ++steps) {
                    if (step % 6 == 0) {
                        const long long where = pick(0, 4), nearNewYear = days(pick(-3000, 3000), 1, 1, cut) * DAY;
                        c.setTime(Time(where == 0   ? pick(LLONG_MIN, LLONG_MAX)
                                       : where == 1 ? LLONG_MAX - pick(0, edge)
                                       : where == 2 ? LLONG_MIN + pick(0, edge)
                                       : where == 3 ? pick(-16000000000000LL, 0)
                                                    : nearNewYear + pick(-10 * DAY, 10 * DAY)));
                    }
                    GregorianCalendar before = c;
                    const unsigned field = unsigned(pick(0, C::FIELD_COUNT - 1));
                    const int amount = pick(0, 2) ? amounts[pick(0, 11)] : int(pick(-1000, 1000));
                    const int op = int(pick(0, 2));
                    const std::string what = std::string(op == 0 ? "set" : op == 1 ? "add" : "roll") + " field " +
                                             std::to_string(field) + " by " + std::to_string(amount) + " at " +
                                             std::to_string(static_cast<long long>(before.getTime())) + " step " +
                                             std::to_string(steps);
                    SCOPED_TRACE(what);
                    try {
                        if (op == 0) {
                            c.set(field, amount);
                            c.getTime();
                        } else {
                            op == 1 ? c.add(field, amount) : c.roll(field, amount);
                        }
                        for (unsigned f = 0; f < C::FIELD_COUNT; ++f) {
                            ASSERT_LE(c.getMinimum(f), c.get(f)) << "field " << f;
                            ASSERT_GE(c.getMaximum(f), c.get(f)) << "field " << f;
                        }
                    } catch (const vesk::Exception&) {
                        if (op != 0) {
                            ASSERT_EQ(static_cast<long long>(before.getTime()), static_cast<long long>(c.getTime()));
                        }
                        c = before;
                        continue;
                    }
                    const long long n0 = localDay(before), n = localDay(c);
                    ASSERT_EQ(dayFields(n, firstDay, minDays, cut), dayFields(c));
                    // The time of day and the offsets, daylight saving by the zone's rules.
                    const long long t = c.getTime(), raw = zone.GetStandardOffset();
                    const long long standard = fmod(fmod(t, DAY) + raw, DAY);
                    const long long standardDay = fdiv(t, DAY) + fdiv(fmod(t, DAY) + raw, DAY);
                    const long long dst = zone.UseDaylightTime() && dstAt(standardDay, standard, cut) ? HOUR : 0;
                    const long long wall = fmod(standard + dst, DAY);
                    ASSERT_EQ((std::vector<long long>{raw, dst, wall, wall / (12 * HOUR), wall / HOUR % 12, dst != 0}),
                              (std::vector<long long>{c.get(C::ZONE_OFFSET), c.get(C::DST_OFFSET), wallOf(c),
                                                      c.get(C::AM_PM), c.get(C::HOUR), c.InDaylightTime()}));
                    if (cut == CUTOVER_DAY) { // the zone asks a calendar of the default cutover
                        ASSERT_EQ(dst != 0, zone.InDaylightTime(Time(t)));
                    }
                    // The week-based year and the actual maxima of the day's month and year.
                    const Date d = dateOf(n, cut);
                    const long long first = days(d.year, d.month, 1, cut), last = monthEnd(d.year, d.month, cut);
                    const long long newYear = days(d.year + 1, 1, 1, cut);
                    Week lastWeek = {0, 0}; // the year's last week lies in its last seven days
                    for (long long x = newYear - 7; x < newYear; ++x)
                        if (weekOf(x, firstDay, minDays, cut).year == d.year)
                            lastWeek = weekOf(x, firstDay, minDays, cut);
                    ASSERT_EQ(yearField(weekOf(n, firstDay, minDays, cut).year), c.getISOYear());
                    const std::vector<long long> maxima = {
                        dateOf(last, cut).day, newYear - days(d.year, 1, 1, cut), lastWeek.week,
                        weekOfMonth(last, firstDay, minDays, cut), (n - first) / 7 + (last - n) / 7 + 1};
                    ASSERT_EQ(maxima, (std::vector<long long>{c.getActualMaximum(C::DAY_OF_MONTH),
                                                              c.getActualMaximum(C::DAY_OF_YEAR),
                                                              c.getActualMaximum(C::WEEK_OF_YEAR),
                                                              c.getActualMaximum(C::WEEK_OF_MONTH),
                                                              c.getActualMaximum(C::DAY_OF_WEEK_IN_MONTH)}));
                    GregorianCalendar again = c;
                    again.Clear();
                    for (unsigned f : {C::ERA, C::YEAR, C::MONTH, C::DAY_OF_MONTH, C::HOUR_OF_DAY, C::MINUTE, C::SECOND,
                                       C::MILLISECOND, C::ZONE_OFFSET, C::DST_OFFSET})
                        again.set(f, c.get(f));
                    ASSERT_EQ(static_cast<long long>(c.getTime()), static_cast<long long>(again.getTime()));
                    if (op == 1 && field >= C::HOUR && field <= C::MILLISECOND) {
                        ASSERT_EQ(static_cast<long long>(before.getTime()) + amount * units[field],
                                  static_cast<long long>(c.getTime()));
                    }
                    if (op == 1 && field >= C::WEEK_OF_YEAR && field <= C::DAY_OF_WEEK_IN_MONTH) { // whole days
                        ASSERT_EQ(n0 + amount * (field >= C::DAY_OF_MONTH && field <= C::DAY_OF_WEEK ? 1LL : 7LL), n);
                    }
                    if (op != 2 || field >= C::ZONE_OFFSET || amount == 0) continue; // a roll by 0 has no effect
                    for (unsigned f = 0; f < C::FIELD_COUNT; ++f)
                        if (keeps[field] >> f & 1) {
                            ASSERT_EQ(before.get(f), c.get(f)) << "kept field " << f;
                        }
                    const long long old = before.get(field), now = c.get(field);
                    const Date d0 = dateOf(n0, cut);
                    const long long monthFirst = days(d0.year, d0.month, 1, cut);
                    const long long monthDays = monthEnd(d0.year, d0.month, cut) - monthFirst + 1;
                    const long long rel0 = fmod(before.get(C::DAY_OF_WEEK) - firstDay, 7);
                    const long long rel = fmod(c.get(C::DAY_OF_WEEK) - firstDay, 7);
                    switch (field) {
                    case C::ERA: case C::AM_PM: ASSERT_EQ(fmod(old + amount, 2), now); break;
                    case C::MONTH: ASSERT_EQ(fmod(old + amount, 12), now); break;
                    case C::YEAR: ASSERT_EQ(1 + fmod(old - 1 + amount, before.getActualMaximum(C::YEAR)), now); break;
                    case C::WEEK_OF_YEAR:
                        ASSERT_EQ(weekRolled(n0, firstDay, minDays, amount, cut), n);
                        ASSERT_EQ(d0.year, weekOf(n, firstDay, minDays, cut).year);
                        break;
                    case C::WEEK_OF_MONTH: ASSERT_EQ(weekOfMonthRolled(n0, firstDay, minDays, amount, cut), n); break;
                    case C::DAY_OF_MONTH: ASSERT_EQ(fmod(n0 - monthFirst + amount, monthDays), n - monthFirst); break;
                    case C::DAY_OF_YEAR:
                    case C::DAY_OF_WEEK_IN_MONTH:
                        ASSERT_EQ(1 + fmod(old - 1 + amount, before.getActualMaximum(field)), now);
                        break;
                    case C::DAY_OF_WEEK:
                        ASSERT_EQ(fmod(rel0 + amount, 7), rel);
                        ASSERT_EQ(n0 - rel0, n - rel); // the same week
                        break;
                    case C::HOUR: case C::HOUR_OF_DAY:
                        // On the spring-forward day the rolled hour may not exist.
                        if (!zone.UseDaylightTime() || c.get(C::MONTH) != 2 || c.get(C::DAY_OF_WEEK) != 1) {
                            ASSERT_EQ(fmod(old + amount, field == C::HOUR ? 12 : 24), now);
                        }
                        break;
                    default: ASSERT_EQ(fmod(old + amount, field == C::MILLISECOND ? 1000 : 60), now); break;
                    }
                }
            }
        }
    }
}
