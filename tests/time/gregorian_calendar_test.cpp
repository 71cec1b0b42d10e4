// GregorianCalendar and its base: month lengths, the leap-year rule around the default
// and a moved cutover year, floor division in all four forms; field resolution, strict
// mode, moved cutovers, add and roll at month ends, across the cutover and daylight
// saving, and a fixed-seed sweep of set, add and roll over the whole range (which also
// checks daylight saving, week-based years and actual maxima).
//
// Expected values come from the suites' own proleptic day counts of both calendars
// (time_reference.h), never from the calendar itself.
#include <vesk/time/calendar_base.h>
#include <vesk/time/gregorian_calendar.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <algorithm>
#include <utility>
#include <vector>

using vesk::GregorianCalendar, vesk::Time, vesk::TimeZone;
using namespace vesk_test;
typedef vesk::GregorianCalendarBase G;
typedef vesk::Calendar C;

namespace {

// A calendar in `zone` at local date y-m-d (month 1..12, astronomical year) and wall time.
GregorianCalendar at(long long y, int m, int d, long long wallMs = 12 * HOUR, const TimeZone& zone = TimeZone()) {
    GregorianCalendar c(zone);
    c.Clear(), c.set(C::ERA, eraOf(y)), c.set(yearField(y), m - 1, d), c.set(C::MILLISECOND, int(wallMs));
    return c;
}
// The wall time the calendar shows.
long long wallOf(GregorianCalendar& c) {
    return ((c.get(C::HOUR_OF_DAY) * 60LL + c.get(C::MINUTE)) * 60 + c.get(C::SECOND)) * 1000 + c.get(C::MILLISECOND);
}
long long monthEnd(long long y, int m, long long cut = CUTOVER_DAY) { return days(y + m / 12, m % 12 + 1, 1, cut) - 1; }

// Daylight saving of europeLike() at a local standard day and time (after the last
// Sunday of March 02:00, up to the last Sunday of October 03:00); none in BC years.
bool dstAt(long long day, long long standardMs, long long cut = CUTOVER_DAY) {
    const long long y = dateOf(day, cut).year, march = monthEnd(y, 3, cut), october = monthEnd(y, 10, cut);
    const auto at = std::make_pair(day, standardMs);
    return y >= 1 && at > std::make_pair(march - fmod(weekday(march) - 1LL, 7), 2 * HOUR) &&
           at <= std::make_pair(october - fmod(weekday(october) - 1LL, 7), 3 * HOUR);
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
    return fdiv(c.getTime(), DAY) + fdiv(fmod(c.getTime(), DAY) + c.get(C::ZONE_OFFSET) + c.get(C::DST_OFFSET), DAY);
}

// Opens the protected helpers of the base, and lets a test move the cutover year by hand.
struct Base : G {
    using G::floorDivide, G::isGregorian, G::isLeapYear;
    explicit Base(int year = 1582) { cutoverYear = year; }
};

} // namespace

// ---- the base: month lengths, leap years, floor division -----------------------

TEST(CalendarBase, MonthLengthsAndLeapYears) {
    std::string lengths;
    for (int m = 0; m < 12; ++m) lengths += std::to_string(G::MonthLength(G::Month(m))) + " ";
    EXPECT_EQ("31 28 31 30 31 30 31 31 30 31 30 31 ", lengths);
    EXPECT_TRUE(contains(messageOf([] { G::MonthLength(G::Month(12)); }), "month 12"));
    EXPECT_TRUE(Base().isGregorian(1582) && !Base().isGregorian(1581));
    // Against the reference's year lengths: Julian before the cutover year, Gregorian from it on.
    for (int y = -1000; y <= 3000; ++y)
        for (int cutover : {1582, 1752}) {
            const long long length = y < cutover ? julianDays(y + 1, 1, 1) - julianDays(y, 1, 1)
                                                 : gregorianDays(y + 1, 1, 1) - gregorianDays(y, 1, 1);
            ASSERT_EQ(length == 366, Base(cutover).isLeapYear(y)) << y;
        }
}

TEST(CalendarBase, FloorDivide) {
    // Every form that takes the numbers; the remainders of the forms that give one.
    const struct { __int64 n, d, q; int rem; } rows[] = {
        {7, 7, 1, 0}, {13, 7, 1, 6}, {-1, 7, -1, 6}, {-7, 7, -1, 0}, {-8, 7, -2, 6},
        {INT_MIN, INT_MAX, -2, INT_MAX - 1}, {INT_MIN, 7, -306783379, 5}, // q * d below INT_MIN: no wrapped remainder
        {LLONG_MIN / 86400000, 146097, -730693, 64054}, {INT_MIN * 3LL, 3, INT_MIN, 0}}; // 400-year cycles
    for (const auto& c : rows) {
        int rem = -99, rem64 = -99;
        const bool narrow = c.n >= INT_MIN && c.n <= INT_MAX;
        const std::vector<long long> got = {
            Base::floorDivide(c.n, c.d), Base::floorDivide(c.n, int(c.d), rem64), rem64,
            narrow ? Base::floorDivide(int(c.n), int(c.d)) : c.q,
            narrow ? Base::floorDivide(int(c.n), int(c.d), rem) : c.q, narrow ? rem : c.rem};
        EXPECT_EQ((std::vector<long long>{c.q, c.q, c.rem, c.q, c.q, c.rem}), got) << c.n << "/" << c.d;
    }
    EXPECT_EQ(-106751991168LL, Base::floorDivide(LLONG_MIN, 86400000LL));
    EXPECT_TRUE(contains(messageOf([] { Base::floorDivide(5LL, 0LL); }), "Can't floor-divide 5 by 0"));
    int rem = 0;
    EXPECT_TRUE(contains(messageOf([&] { Base::floorDivide(LLONG_MIN, 86400000, rem); }), "does not fit 32 bits"));
}

// ---- instant <-> fields ---------------------------------------------------------

TEST(GregorianCalendar, MostRecentFieldCombinationWins) {
    const unsigned Y = C::YEAR, M = C::MONTH, D = C::DAY_OF_MONTH, DY = C::DAY_OF_YEAR, W = C::DAY_OF_WEEK;
    const unsigned DWM = C::DAY_OF_WEEK_IN_MONTH, WM = C::WEEK_OF_MONTH, WY = C::WEEK_OF_YEAR, H = C::HOUR_OF_DAY;
    const struct { int firstDay, minDays; std::vector<std::pair<unsigned, int>> sets; long long day; } rows[] = {
        {1, 1, {}, 0}, {1, 1, {{Y, 2000}}, days(2000, 1, 1)},
        {1, 1, {{Y, 2000}, {M, 6}, {D, 20}, {DY, 100}}, days(2000, 4, 9)},
        {1, 1, {{DY, 100}, {Y, 2000}, {M, 6}, {D, 20}}, days(2000, 7, 20)},
        {1, 1, {{Y, 1582}, {M, 9}, {W, G::FRIDAY}, {DWM, 3}}, days(1582, 10, 29)},
        {1, 1, {{Y, 2004}, {M, 1}, {W, G::MONDAY}, {DWM, -1}}, days(2004, 2, 23)},
        {1, 1, {{Y, 1582}, {DY, 278}}, CUTOVER_DAY}, // the count runs on over the gap
        {1, 1, {{Y, 2000}, {H, 24000000}}, days(2000, 1, 1) + 1000000}, // no 32-bit wrap
        // Lenient: overflow carries, a day of the cutover gap reads as Julian.
        {1, 1, {{Y, 2003}, {M, 14}, {D, 1}}, days(2004, 3, 1)},
        {1, 1, {{Y, 2003}, {M, -1}, {D, 31}}, days(2002, 12, 31)},
        {1, 1, {{Y, 2003}, {M, 1}, {D, 30}}, days(2003, 3, 2)}, {1, 1, {{Y, 2003}, {DY, 366}}, days(2004, 1, 1)},
        {1, 1, {{Y, 1582}, {M, 9}, {D, 10}}, days(1582, 10, 20)},
        // Weeks from Monday: Sunday ends a week. 1 March 2009 is a Sunday, 1 January a Thursday.
        {2, 1, {{Y, 2009}, {M, 2}, {W, G::SUNDAY}, {WM, 2}}, days(2009, 3, 8)},
        {2, 4, {{Y, 2009}, {M, 2}, {W, G::SUNDAY}, {WM, 2}}, days(2009, 3, 15)},
        {2, 4, {{Y, 2009}, {W, G::SUNDAY}, {WY, 10}}, days(2009, 3, 8)},
        {2, 7, {{Y, 2009}, {W, G::SUNDAY}, {WY, 10}}, days(2009, 3, 15)},
    };
    for (const auto& r : rows) {
        GregorianCalendar c{TimeZone()};
        c.setFirstDayOfWeek(r.firstDay), c.setMinimalDaysInFirstWeek(r.minDays), c.Clear();
        for (const auto& s : r.sets) c.set(s.first, s.second);
        EXPECT_EQ(r.day * DAY, static_cast<long long>(c.getTime())) << "expected day " << r.day;
    }
    GregorianCalendar c{TimeZone()};
    for (int bad : {0, 8})
        EXPECT_TRUE(contains(messageOf([&] { c.setFirstDayOfWeek(bad); }), "first day of the week") &&
                    contains(messageOf([&] { c.setMinimalDaysInFirstWeek(bad); }), "minimal days in the first week"));
}

TEST(GregorianCalendar, StrictModeRefusesFieldsThatWouldChange) {
    // A date and time, then one more field; the field named in the message, nullptr when all are valid.
    const struct { int y, m, d, h; const char* field; std::pair<unsigned, int> then = {C::MILLISECOND, 0}; } rows[] = {
        {2004, 1, 29, 12, nullptr},        {2004, 1, 30, 12, "DAY_OF_MONTH"}, {2003, 1, 29, 12, "DAY_OF_MONTH"},
        {1500, 1, 29, 12, nullptr},        {2004, 12, 1, 12, "MONTH"},        {2004, 0, 0, 12, "DAY_OF_MONTH"},
        {2004, 0, 1, 24, "HOUR_OF_DAY"},   {1582, 9, 10, 12, "DAY_OF_MONTH"}, {1582, 9, 4, 12, nullptr},
        {1582, 9, 15, 12, nullptr},        {2004, 2, 28, 2, "HOUR_OF_DAY"}, // skipped by daylight saving
        {2003, 5, 1, 12, "DAY_OF_WEEK_IN_MONTH", {C::DAY_OF_WEEK_IN_MONTH, 0}},
        {2003, 5, 1, 12, "DAY_OF_WEEK", {C::DAY_OF_WEEK, 8}}, {2003, 5, 1, 12, "MINUTE", {C::MINUTE, 60}},
        {2003, 5, 1, 12, "ERA", {C::ERA, 2}}, {2003, 5, 1, 12, "DAY_OF_YEAR", {C::DAY_OF_YEAR, 366}},
        {2003, 5, 1, 12, "WEEK_OF_YEAR", {C::WEEK_OF_YEAR, 54}},
    };
    for (const auto& k : rows) {
        GregorianCalendar c(europeLike());
        c.setLenient(false), c.Clear(), c.set(k.y, k.m, k.d, k.h, 30), c.set(k.then.first, k.then.second);
        const long long n = days(k.y, k.m + 1, k.d), wall = k.h * HOUR + 30 * MINUTE;
        long long t = 0;
        const std::string message = messageOf([&] { t = c.getTime(); });
        EXPECT_TRUE(k.field ? message.rfind("Can't compute the time", 0) == 0 &&
                                  contains(message, "\"" + std::string(k.field) + "\"")
                            : t == n * DAY + wall - HOUR - (dstAt(n, wall) ? HOUR : 0))
            << message << t;
        EXPECT_EQ(message, messageOf([&] { c.getTime(); })); // the refused fields are kept as set
    }
}

TEST(GregorianCalendar, BoundaryDaysWithTheDefaultAndAMovedCutover) {
    const long long british = gregorianDays(1752, 9, 14), cutJanuary = gregorianDays(1900, 1, 10);
    const long long britishJan1 = julianDays(1752, 1, 1), britishYear = gregorianDays(1753, 1, 1) - britishJan1;
    const long long cutYear = gregorianDays(1901, 1, 1) - cutJanuary, last1899 = cutJanuary - julianDays(1899, 1, 1);
    // The cutover day and the day (the sweep below runs wholly Gregorian and Julian calendars).
    const struct { long long change, day; int doy, minDom, maxDom; long long maxDoy; } rows[] = {
        {CUTOVER_DAY, CUTOVER_DAY, 278, 1, 31, 355},
        {british, british - 1, int(british - britishJan1), 1, 30, britishYear},
        {british, british, int(british - britishJan1 + 1), 1, 30, britishYear},
        {cutJanuary, cutJanuary + 10, 11, 10, 31, cutYear},
        {cutJanuary, cutJanuary - 1, int(last1899), 1, 28, last1899},
    };
    for (const auto& r : rows) {
        const Date d = dateOf(r.day, r.change);
        GregorianCalendar c{TimeZone()};
        c.setGregorianChange(Time(r.change * DAY)), c.setTime(Time(r.day * DAY));
        EXPECT_EQ((std::vector<long long>{d.year, d.month - 1, d.day, r.doy, weekday(r.day), r.minDom, r.maxDom,
                                          r.maxDoy}),
                  (std::vector<long long>{c.get(C::YEAR), c.get(C::MONTH), c.get(C::DAY_OF_MONTH),
                                          c.get(C::DAY_OF_YEAR), c.get(C::DAY_OF_WEEK),
                                          c.getActualMinimum(C::DAY_OF_MONTH),
                                          c.getActualMaximum(C::DAY_OF_MONTH), c.getActualMaximum(C::DAY_OF_YEAR)}));
        if (r.minDom > 1) {
            c.roll(C::DAY_OF_MONTH, -11); // from the 11th existing day to the last
            EXPECT_EQ(31, c.get(C::DAY_OF_MONTH));
        }
        c.Clear(), c.set(int(d.year), d.month - 1, d.day);
        EXPECT_EQ(r.day * DAY, static_cast<long long>(c.getTime()));
    }
}

// ---- add and roll ----------------------------------------------------------------------

TEST(GregorianCalendar, AddAndRollAtMonthEndsAcrossTheCutoverAndDaylightSaving) {
    const bool add = false, roll = true;
    const long long h = HOUR, m = MINUTE;
    // From y-m-d at wall time `from` to ty-tm-td at wall time `to`, both noon unless given.
    const struct { bool roll; unsigned field; long long y; int m, d, amount; long long ty; int tm, td;
                   long long from = 12 * HOUR, to = 12 * HOUR; } rows[] = {
        // add pins to the month's end, carries into years and eras and keeps the wall clock (into
        // daylight saving too)
        {add, C::MONTH, 2004, 1, 31, 1, 2004, 2, 29},       {add, C::MONTH, 2004, 1, 31, -40, 2000, 9, 30},
        {add, C::MONTH, 2004, 1, 15, 4, 2004, 5, 15},       {add, C::MONTH, 0, 12, 15, 1, 1, 1, 15},
        {add, C::MONTH, 1, 1, 15, -1, 0, 12, 15},           {add, C::MONTH, 1582, 10, 31, -1, 1582, 9, 30},
        {add, C::MONTH, 2000, 1, 1, 12000000, 1002000, 1, 1}, {add, C::YEAR, 1, 6, 1, -1, 0, 6, 1},
        {add, C::YEAR, 0, 6, 1, 1, 1, 6, 1},                {add, C::YEAR, 2004, 2, 29, 1, 2005, 2, 28},
        {add, C::YEAR, 1500, 2, 29, 100, 1600, 2, 29},      {add, C::ERA, 1990, 5, 5, 5, 1990, 5, 5},
        {add, C::ERA, 1990, 5, 5, -5, -1989, 5, 5},
        // 02:30 does not exist on the day daylight saving starts: the move lands an hour later
        {add, C::DAY_OF_MONTH, 2004, 3, 27, 1, 2004, 3, 28, 2 * h + 30 * m, 3 * h + 30 * m},
        // time fields move the instant; half days keep the wall clock
        {add, C::ZONE_OFFSET, 2004, 3, 27, 1000, 2004, 3, 27, 12 * h, 12 * h + 1000},
        {add, C::AM_PM, 2004, 3, 27, 3, 2004, 3, 29, 12 * h, 0},
        // roll changes one field only (2000 BC has no 29 February); hours stay on days of 23 and 25 hours
        {roll, C::YEAR, 2004, 2, 29, 1, 2005, 2, 28},       {roll, C::ERA, 2000, 2, 29, 1, -1999, 2, 28},
        {roll, C::HOUR_OF_DAY, 2004, 3, 28, 1, 2004, 3, 28, 23 * h + 30 * m, 30 * m},
        {roll, C::HOUR_OF_DAY, 2004, 3, 28, -1, 2004, 3, 28, 30 * m, 23 * h + 30 * m},
        {roll, C::HOUR_OF_DAY, 2004, 10, 31, 1, 2004, 10, 31, 23 * h + 30 * m, 30 * m},
        {roll, C::HOUR_OF_DAY, 2004, 10, 31, -1, 2004, 10, 31, 30 * m, 23 * h + 30 * m},
        {roll, C::HOUR_OF_DAY, 2004, 3, 28, 24007, 2004, 3, 28, 5 * h},
    };
    for (const auto& r : rows) {
        GregorianCalendar c = at(r.y, r.m, r.d, r.from, europeLike());
        r.roll ? c.roll(r.field, r.amount) : c.add(r.field, r.amount);
        EXPECT_EQ((std::vector<long long>{days(r.ty, r.tm, r.td), r.to}),
                  (std::vector<long long>{localDay(c), wallOf(c)}))
            << (r.roll ? "roll " : "add ") << r.field << " by " << r.amount << " from " << r.y << "-" << r.m << "-"
            << r.d;
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
// values lie within the limits, agree with the reference and round-trip; an add moves
// the instant or the day by its unit; a roll moves its own field by the amount
// modulo the field's actual range and keeps the larger ones.
TEST(GregorianCalendar, FixedSeedSweepOfSetAddAndRollOverTheWholeRange) {
    unsigned long long state = 20261207; // splitmix64
    auto pick = [&state](long long lo, long long hi) { // modulo 2^64 throughout
        unsigned long long z = (state += 0x9E3779B97F4A7C15ULL), span = 0ULL + hi - lo;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL, z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL, z ^= z >> 31;
        return static_cast<long long>(0ULL + lo + (span == ~0ULL ? z : z % (span + 1)));
    };
    TimeZone zones[] = {TimeZone(), europeLike(), TimeZone(), TimeZone()};
    zones[2].SetStandardOffset(int(12 * HOUR)), zones[3].SetStandardOffset(int(-12 * HOUR));
    const long long changes[] = {CUTOVER_DAY * DAY, gregorianDays(1752, 9, 14) * DAY, LLONG_MIN, LLONG_MAX};
    const int amounts[] = {0, 1, -1, 7, -7, 12, 53, -400, 902, 123456789, INT_MAX, INT_MIN};
    // Per field: what an add moves (days up to DAY_OF_WEEK_IN_MONTH, then milliseconds);
    // the cycle of a plain roll (0: from 1 to the actual maximum; the weeks and the days
    // of the month and week have their own checks); the fields a roll keeps (bits).
    const long long steps[] = {0, 0, 0, 7, 7, 1, 1, 1, 7, 0, HOUR, HOUR, MINUTE, 1000, 1, 0, 0};
    const int cycles[] = {2, 0, 12, 1, 1, 1, 0, 1, 0, 2, 12, 24, 60, 60, 1000};
    const unsigned keeps[] = {0, 1, 3, 0x83, 7, 7, 3, 0, 0x87, 0x27, 0x27, 0x27, 0x827, 0x1027, 0x2027};
    for (int run = 0; run < 4 * 49; ++run) {
        const long long change = changes[run / 49], cut = run < 98 ? fdiv(change, DAY) : change;
        const int firstDay = run / 7 % 7 + 1, minDays = run % 7 + 1;
        const TimeZone& zone = zones[run % 4];
        GregorianCalendar c(zone);
        c.setGregorianChange(Time(change)), c.setFirstDayOfWeek(firstDay), c.setMinimalDaysInFirstWeek(minDays);
        for (int step = 0; step < 100; ++step) {
            if (step % 6 == 0) {
                const long long where = pick(0, 4), year = pick(0, 7) ? pick(-3000, 3000) : pick(-1, 2);
                c.setTime(Time(where == 0   ? pick(LLONG_MIN, LLONG_MAX)
                               : where == 1 ? LLONG_MAX - pick(0, 100000000000LL)
                               : where == 2 ? LLONG_MIN + pick(0, 100000000000LL)
                               : where == 3 ? pick(-16000000000000LL, 0)
                                            : days(year, 1, 1, cut) * DAY + pick(-10 * DAY, 10 * DAY)));
            }
            GregorianCalendar before = c;
            const unsigned field = unsigned(pick(0, C::FIELD_COUNT - 1));
            const int amount = pick(0, 2) ? amounts[pick(0, 11)] : int(pick(-1000, 1000)), op = int(pick(0, 2));
            // The operation (set, add, roll), the field, the amount and the time before.
            SCOPED_TRACE(testing::Message() << op << " " << field << " " << amount << " "
                                            << static_cast<long long>(before.getTime()));
            try {
                op == 0 ? c.set(field, amount) : op == 1 ? c.add(field, amount) : c.roll(field, amount);
                for (unsigned f = 0; f < C::FIELD_COUNT; ++f)
                    ASSERT_TRUE(c.getMinimum(f) <= c.get(f) && c.get(f) <= c.getMaximum(f)) << "field " << f;
            } catch (const vesk::Exception&) {
                ASSERT_TRUE(op == 0 || before.getTime() == c.getTime());
                c = before;
                continue;
            }
            const long long n0 = localDay(before), n = localDay(c), t = c.getTime(), raw = zone.GetStandardOffset();
            ASSERT_EQ(dayFields(n, firstDay, minDays, cut), dayFields(c));
            // The time of day and the offsets, daylight saving by the zone's rules.
            const long long standard = fmod(fmod(t, DAY) + raw, DAY);
            const long long standardDay = fdiv(t, DAY) + fdiv(fmod(t, DAY) + raw, DAY);
            const long long dst = zone.UseDaylightTime() && dstAt(standardDay, standard, cut) ? HOUR : 0;
            const long long wall = fmod(standard + dst, DAY);
            ASSERT_EQ((std::vector<long long>{raw, dst, wall, wall / (12 * HOUR), wall / HOUR % 12, dst != 0}),
                      (std::vector<long long>{c.get(C::ZONE_OFFSET), c.get(C::DST_OFFSET), wallOf(c),
                                              c.get(C::AM_PM), c.get(C::HOUR), c.InDaylightTime()}));
            // The zone asks a calendar of the default cutover.
            ASSERT_EQ(cut == CUTOVER_DAY ? dst != 0 : zone.InDaylightTime(Time(t)), zone.InDaylightTime(Time(t)));
            // The week-based year and the actual maxima of the day's month and year.
            const Date d = dateOf(n, cut);
            const long long first = days(d.year, d.month, 1, cut), last = monthEnd(d.year, d.month, cut);
            const long long newYear = days(d.year + 1, 1, 1, cut);
            const Week lastWeek = weekOf(newYear - (weekOf(newYear - 1, firstDay, minDays, cut).year == d.year ? 1 : 8),
                                         firstDay, minDays, cut);
            ASSERT_EQ(yearField(weekOf(n, firstDay, minDays, cut).year), c.getISOYear());
            ASSERT_EQ((std::vector<long long>{dateOf(last, cut).day, newYear - days(d.year, 1, 1, cut), lastWeek.week,
                                              weekOfMonth(last, firstDay, minDays, cut),
                                              (n - first) / 7 + (last - n) / 7 + 1}),
                      (std::vector<long long>{c.getActualMaximum(C::DAY_OF_MONTH), c.getActualMaximum(C::DAY_OF_YEAR),
                                              c.getActualMaximum(C::WEEK_OF_YEAR), c.getActualMaximum(C::WEEK_OF_MONTH),
                                              c.getActualMaximum(C::DAY_OF_WEEK_IN_MONTH)}));
            GregorianCalendar again = c;
            again.Clear();
            // The round trip through ERA .. DAY_OF_MONTH, HOUR_OF_DAY .. DST_OFFSET.
            for (unsigned f : {0, 1, 2, 5, 11, 12, 13, 14, 15, 16}) again.set(f, c.get(f));
            ASSERT_EQ(t, static_cast<long long>(again.getTime()));
            const bool timeStep = field >= C::HOUR, added = op == 1 && steps[field];
            ASSERT_EQ(added && timeStep ? static_cast<long long>(before.getTime()) + amount * steps[field] : t, t);
            ASSERT_EQ(added && !timeStep ? n0 + amount * steps[field] : n, n);
            if (op != 2 || field >= C::ZONE_OFFSET || amount == 0) continue; // a roll by 0 has no effect
            for (unsigned f = 0; f < C::FIELD_COUNT; ++f)
                ASSERT_TRUE(!(keeps[field] >> f & 1) || before.get(f) == c.get(f)) << "kept field " << f;
            const Date d0 = dateOf(n0, cut);
            const long long monthFirst = days(d0.year, d0.month, 1, cut), rel0 = fmod(weekday(n0) - 1LL * firstDay, 7);
            const long long monthDays = monthEnd(d0.year, d0.month, cut) - monthFirst + 1, lo = cycles[field] ? 0 : 1;
            const long long span = cycles[field] ? cycles[field] : before.getActualMaximum(field);
            switch (field) {
            case C::WEEK_OF_YEAR: ASSERT_EQ(weekRolled(n0, firstDay, minDays, amount, cut), n); break;
            case C::WEEK_OF_MONTH: ASSERT_EQ(weekOfMonthRolled(n0, firstDay, minDays, amount, cut), n); break;
            case C::DAY_OF_MONTH: ASSERT_EQ(fmod(n0 - monthFirst + amount, monthDays), n - monthFirst); break;
            case C::DAY_OF_WEEK: ASSERT_EQ(n0 - rel0 + fmod(rel0 + amount, 7), n); break; // within the week
            case C::HOUR: case C::HOUR_OF_DAY: // on the spring-forward day the rolled hour may not exist
                if (zone.UseDaylightTime() && c.get(C::MONTH) == 2 && c.get(C::DAY_OF_WEEK) == 1) break;
                [[fallthrough]];
            default: ASSERT_EQ(lo + fmod(before.get(field) - lo + amount, span), c.get(field));
            }
        }
    }
}
