// GregorianCalendar, instant <-> fields: whole-year round trips in a zone with
// daylight saving, week numbering under every week setting, field resolution,
// strict validation, moved cutovers and daylight saving at an instant.
//
// Expected values come from the suites' reference (time_reference.h): proleptic
// day counts of both calendars (days_from_civil and the Julian day number),
// counted independently of the library's cycle arithmetic.
#include <vesk/errors/exception.h>
#include <vesk/time/gregorian_calendar.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <climits>
#include <string>

using vesk::Calendar;
using vesk::GregorianCalendar;
using vesk::GregorianCalendarBase;
using vesk::Time;
using vesk::TimeZone;
using namespace vesk_test;

namespace {

// ---- reference --------------------------------------------------------------------

// The transitions of europeLike().
long long lastSunday(long long year, int month) {
    const long long last = days(year, month + 1, 1) - 1;
    return last - fmod(weekday(last) - 1, 7);
}
// Daylight saving for a local standard time; none in BC years.
bool dstAt(long long day, long long standardMs) {
    const long long year = dateOf(day).year;
    if (year < 1)
        return false;
    const long long start = lastSunday(year, 3) * DAY + 2 * HOUR, end = lastSunday(year, 10) * DAY + 3 * HOUR;
    const long long t = day * DAY + standardMs;
    return t > start && t <= end;
}

GregorianCalendar utcCalendar(long long millis) {
    GregorianCalendar c{TimeZone()};
    c.setTime(Time(millis));
    return c;
}

// ---- whole-year round trips -----------------------------------------------------

class WholeYear : public ::testing::TestWithParam<long long> {};

TEST_P(WholeYear, EveryDayRoundTripsInADaylightSavingZone) {
    const long long year = GetParam();
    const long long first = days(year, 1, 1), next = days(year + 1, 1, 1);
    const TimeZone zone = europeLike();
    GregorianCalendar c(zone);
    for (long long n = first; n < next; ++n) {
        const Date d = dateOf(n);
        for (long long wallMs : {0LL, 13 * HOUR + 45 * 60000 + 30250}) {
            const bool dst = dstAt(n, wallMs);
            const long long instant = n * DAY + wallMs - HOUR - (dst ? HOUR : 0);
            SCOPED_TRACE(std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day) +
                         " +" + std::to_string(wallMs));
            c.setTime(Time(instant));
            EXPECT_EQ(c.get(Calendar::ERA), eraOf(d.year));
            EXPECT_EQ(c.get(Calendar::YEAR), yearField(d.year));
            EXPECT_EQ(c.get(Calendar::MONTH), d.month - 1);
            EXPECT_EQ(c.get(Calendar::DAY_OF_MONTH), d.day);
            EXPECT_EQ(c.get(Calendar::DAY_OF_YEAR), n - first + 1);
            EXPECT_EQ(c.get(Calendar::DAY_OF_WEEK), weekday(n));
            EXPECT_EQ(c.get(Calendar::DAY_OF_WEEK_IN_MONTH), (n - days(d.year, d.month, 1)) / 7 + 1);
            EXPECT_EQ(c.get(Calendar::WEEK_OF_MONTH), weekOfMonth(n, 1, 1));
            EXPECT_EQ(c.get(Calendar::WEEK_OF_YEAR), weekOf(n, 1, 1).week);
            EXPECT_EQ(c.get(Calendar::HOUR_OF_DAY), wallMs / HOUR);
            EXPECT_EQ(c.get(Calendar::HOUR), (wallMs / HOUR) % 12);
            EXPECT_EQ(c.get(Calendar::AM_PM), wallMs >= 12 * HOUR ? 1 : 0);
            EXPECT_EQ(c.get(Calendar::MINUTE), (wallMs / 60000) % 60);
            EXPECT_EQ(c.get(Calendar::SECOND), (wallMs / 1000) % 60);
            EXPECT_EQ(c.get(Calendar::MILLISECOND), wallMs % 1000);
            EXPECT_EQ(c.get(Calendar::ZONE_OFFSET), HOUR);
            EXPECT_EQ(c.get(Calendar::DST_OFFSET), dst ? HOUR : 0);

            GregorianCalendar back(zone);
            back.Clear();
            back.set(Calendar::ERA, eraOf(d.year));
            back.set(yearField(d.year), d.month - 1, d.day, int(wallMs / HOUR), int(wallMs / 60000 % 60),
                     int(wallMs / 1000 % 60));
            back.set(Calendar::MILLISECOND, int(wallMs % 1000));
            EXPECT_EQ(static_cast<long long>(back.getTime()), instant);
        }
    }
}

// A leap year, the cutover year, the first year AD, 1 BC, and a Julian leap year.
INSTANTIATE_TEST_SUITE_P(Years, WholeYear, ::testing::Values(2004LL, 1582LL, 1LL, 0LL, 1500LL));

// ---- fixed points ---------------------------------------------------------------

TEST(Fields, FixedPoints) {
    struct Row {
        long long millis;
        int era, year, month, dom, doy, dow; // dow 0: from the reference weekday
    } rows[] = {
        {0, 1, 1970, 0, 1, 1, 5},                           // the epoch, a Thursday
        {-12219292800000LL, 1, 1582, 9, 15, 278, 6},         // first Gregorian day, Friday
        {-12219292800000LL - DAY, 1, 1582, 9, 4, 277, 5},    // last Julian day, Thursday
        {-12219292800000LL - 1, 1, 1582, 9, 4, 277, 5},      // its last millisecond
        {days(1, 1, 1) * DAY - 1, 0, 1, 11, 31, 366, 6},     // the day before 0001-01-01: 1 BC, a leap year
        {days(-43, 3, 15) * DAY, 0, 44, 2, 15, 74, 0},       // the Ides of March, 44 BC
        {days(2000, 2, 29) * DAY, 1, 2000, 1, 29, 60, 3},
        {days(1500, 2, 29) * DAY, 1, 1500, 1, 29, 60, 0},    // Julian leap day
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.millis);
        GregorianCalendar c = utcCalendar(r.millis);
        EXPECT_EQ(c.get(Calendar::ERA), r.era);
        EXPECT_EQ(c.get(Calendar::YEAR), r.year);
        EXPECT_EQ(c.get(Calendar::MONTH), r.month);
        EXPECT_EQ(c.get(Calendar::DAY_OF_MONTH), r.dom);
        EXPECT_EQ(c.get(Calendar::DAY_OF_YEAR), r.doy);
        EXPECT_EQ(c.get(Calendar::DAY_OF_WEEK), r.dow ? r.dow : weekday(fdiv(r.millis, DAY)));
    }
}

// Instants whose local time lies beyond the 64-bit range keep their true date.
TEST(Fields, ExtremeInstantsKeepTheirDate) {
    TimeZone east;
    east.SetStandardOffset(int(14 * HOUR));
    GregorianCalendar c(east);
    c.setTime(Time(LLONG_MAX)); // 07:12:55.807 UTC, so 21:12 local on the same day
    const Date last = dateOf(fdiv(LLONG_MAX, DAY));
    EXPECT_EQ(c.get(Calendar::YEAR), last.year);
    EXPECT_EQ(c.get(Calendar::MONTH), last.month - 1);
    EXPECT_EQ(c.get(Calendar::DAY_OF_MONTH), last.day);
    EXPECT_EQ(c.get(Calendar::HOUR_OF_DAY), 21);
    EXPECT_EQ(c.get(Calendar::MINUTE), 12);

    TimeZone west;
    west.SetStandardOffset(int(-12 * HOUR));
    GregorianCalendar w(west);
    w.setTime(Time(LLONG_MIN)); // 16:47:04.192 UTC, so 04:47 local on the same day
    const Date firstDate = dateOf(fdiv(LLONG_MIN, DAY));
    EXPECT_EQ(w.get(Calendar::ERA), 0);
    EXPECT_EQ(w.get(Calendar::YEAR), 1 - firstDate.year);
    EXPECT_EQ(w.get(Calendar::MONTH), firstDate.month - 1);
    EXPECT_EQ(w.get(Calendar::DAY_OF_MONTH), firstDate.day);
    EXPECT_EQ(w.get(Calendar::HOUR_OF_DAY), 4);
}

// ---- week numbering ---------------------------------------------------------------

TEST(Weeks, EveryWeekSettingAtYearBoundaries) {
    GregorianCalendar c{TimeZone()};
    for (int firstDay = 1; firstDay <= 7; ++firstDay) {
        for (int minDays = 1; minDays <= 7; ++minDays) {
            c.setFirstDayOfWeek(firstDay);
            c.setMinimalDaysInFirstWeek(minDays);
            for (long long year : {1581LL, 1582LL, 1583LL, 1999LL, 2000LL, 2004LL, 2005LL, 2009LL, 2010LL, 2015LL}) {
                const long long boundary = days(year + 1, 1, 1);
                for (long long n = boundary - 10; n < boundary + 10; ++n) {
                    c.setTime(Time(n * DAY));
                    const Week w = weekOf(n, firstDay, minDays);
                    ASSERT_EQ(c.get(Calendar::WEEK_OF_YEAR), w.week)
                        << "day " << n << " first day " << firstDay << " minimal days " << minDays;
                    ASSERT_EQ(c.get(Calendar::WEEK_OF_MONTH), weekOfMonth(n, firstDay, minDays)) << "day " << n;
                }
            }
        }
    }
}

TEST(Weeks, IsoWeeks) {
    struct Row {
        int y, m, d, week, isoYear;
    } rows[] = {{2005, 1, 1, 53, 2004}, {2003, 12, 31, 1, 2004}, {2010, 1, 3, 53, 2009},
                {2010, 1, 4, 1, 2010},  {2004, 12, 31, 53, 2004}, {2008, 12, 29, 1, 2009}};
    GregorianCalendar c{TimeZone()};
    c.setFirstDayOfWeek(GregorianCalendarBase::MONDAY);
    c.setMinimalDaysInFirstWeek(4);
    for (const Row& r : rows) {
        c.setTime(Time(days(r.y, r.m, r.d) * DAY));
        EXPECT_EQ(c.get(Calendar::WEEK_OF_YEAR), r.week) << r.y << "-" << r.m << "-" << r.d;
        EXPECT_EQ(c.getISOYear(), r.isoYear) << r.y << "-" << r.m << "-" << r.d;
    }
    // Sunday first, three days: 1994-01-01 (a Saturday) belongs to week 52 of 1993.
    c.setFirstDayOfWeek(GregorianCalendarBase::SUNDAY);
    c.setMinimalDaysInFirstWeek(3);
    c.setTime(Time(days(1994, 1, 1) * DAY));
    EXPECT_EQ(c.get(Calendar::WEEK_OF_YEAR), 52);
}

TEST(Weeks, IsoYearCountsBackwardsInBC) {
    GregorianCalendar c{TimeZone()};
    c.setFirstDayOfWeek(GregorianCalendarBase::MONDAY);
    c.setMinimalDaysInFirstWeek(4);
    for (long long n = days(-10, 12, 20); n < days(-8, 1, 10); ++n) {
        c.setTime(Time(n * DAY));
        const Week w = weekOf(n, 2, 4);
        if (w.year < 1) {
            EXPECT_EQ(c.getISOYear(), 1 - w.year) << "day " << n;
        }
    }
}

TEST(Weeks, SettingsAreValidated) {
    GregorianCalendar c{TimeZone()};
    EXPECT_THROW(c.setFirstDayOfWeek(0), vesk::Exception);
    EXPECT_THROW(c.setFirstDayOfWeek(8), vesk::Exception);
    EXPECT_THROW(c.setMinimalDaysInFirstWeek(0), vesk::Exception);
    EXPECT_THROW(c.setMinimalDaysInFirstWeek(8), vesk::Exception);
    EXPECT_EQ(c.getFirstDayOfWeek(), 1);
    EXPECT_EQ(c.getMinimalDaysInFirstWeek(), 1);
}

// ---- resolution of fields to a day --------------------------------------------------

long long resolve(void (*setup)(GregorianCalendar&), int firstDay = 1, int minDays = 1) {
    GregorianCalendar c{TimeZone()};
    c.setFirstDayOfWeek(firstDay);
    c.setMinimalDaysInFirstWeek(minDays);
    c.Clear();
    setup(c);
    return fdiv(static_cast<long long>(c.getTime()), DAY);
}

TEST(Resolution, MostRecentCombinationWins) {
    EXPECT_EQ(resolve([](GregorianCalendar& c) { c.set(Calendar::YEAR, 2000); }), days(2000, 1, 1));
    EXPECT_EQ(resolve([](GregorianCalendar& c) {
                  c.set(Calendar::YEAR, 2000);
                  c.set(Calendar::MONTH, 6);
                  c.set(Calendar::DAY_OF_MONTH, 20);
                  c.set(Calendar::DAY_OF_YEAR, 100);
              }),
              days(2000, 4, 9));
    EXPECT_EQ(resolve([](GregorianCalendar& c) {
                  c.set(Calendar::DAY_OF_YEAR, 100);
                  c.set(Calendar::YEAR, 2000);
                  c.set(Calendar::MONTH, 6);
                  c.set(Calendar::DAY_OF_MONTH, 20);
              }),
              days(2000, 7, 20));
    // The third Friday of October 1582 (the Fridays are the 15th, 22nd, 29th).
    EXPECT_EQ(resolve([](GregorianCalendar& c) {
                  c.set(Calendar::YEAR, 1582);
                  c.set(Calendar::MONTH, 9);
                  c.set(Calendar::DAY_OF_WEEK, GregorianCalendarBase::FRIDAY);
                  c.set(Calendar::DAY_OF_WEEK_IN_MONTH, 3);
              }),
              days(1582, 10, 29));
    // The last Monday of February 2004.
    EXPECT_EQ(resolve([](GregorianCalendar& c) {
                  c.set(Calendar::YEAR, 2004);
                  c.set(Calendar::MONTH, 1);
                  c.set(Calendar::DAY_OF_WEEK, GregorianCalendarBase::MONDAY);
                  c.set(Calendar::DAY_OF_WEEK_IN_MONTH, -1);
              }),
              days(2004, 2, 23));
    // Month overflow carries into the year.
    EXPECT_EQ(resolve([](GregorianCalendar& c) { c.set(2003, 14, 1); }), days(2004, 3, 1));
    EXPECT_EQ(resolve([](GregorianCalendar& c) { c.set(2003, -1, 31); }), days(2002, 12, 31));
    // Day 278 of 1582 is its first Gregorian day: the count runs on over the gap.
    EXPECT_EQ(resolve([](GregorianCalendar& c) {
                  c.set(Calendar::YEAR, 1582);
                  c.set(Calendar::DAY_OF_YEAR, 278);
              }),
              CUTOVER_DAY);
}

// With weeks starting on Monday, Sunday is a week's last day, not its first.
TEST(Resolution, WeekFieldsWithAWeekdayBeforeTheWeekStart) {
    for (int minDays : {1, 4, 7}) {
        const long long sundayOfWeek2 = resolve(
            [](GregorianCalendar& c) {
                c.set(Calendar::YEAR, 2009);
                c.set(Calendar::MONTH, 5);
                c.set(Calendar::DAY_OF_WEEK, GregorianCalendarBase::SUNDAY);
                c.set(Calendar::WEEK_OF_MONTH, 2);
            },
            2, minDays);
        EXPECT_EQ(weekday(sundayOfWeek2), 1);
        EXPECT_EQ(dateOf(sundayOfWeek2).month, 6);
        EXPECT_EQ(weekOfMonth(sundayOfWeek2, 2, minDays), 2);
        const long long sundayOfWeek10 = resolve(
            [](GregorianCalendar& c) {
                c.set(Calendar::YEAR, 2009);
                c.set(Calendar::DAY_OF_WEEK, GregorianCalendarBase::SUNDAY);
                c.set(Calendar::WEEK_OF_YEAR, 10);
            },
            2, minDays);
        EXPECT_EQ(weekday(sundayOfWeek10), 1);
        EXPECT_EQ(weekOf(sundayOfWeek10, 2, minDays).week, 10);
        EXPECT_EQ(weekOf(sundayOfWeek10, 2, minDays).year, 2009);
    }
}

TEST(Resolution, LenientNormalisation) {
    // A day of the cutover gap reads as Julian: 1582-10-10 (Julian) is 1582-10-20.
    EXPECT_EQ(resolve([](GregorianCalendar& c) { c.set(1582, 9, 10); }), days(1582, 10, 20));
    EXPECT_EQ(resolve([](GregorianCalendar& c) { c.set(2003, 1, 30); }), days(2003, 3, 2));
    // Large time-of-day values carry over whole days without wrapping.
    GregorianCalendar c{TimeZone()};
    c.Clear();
    c.set(2000, 0, 1);
    c.set(Calendar::HOUR_OF_DAY, 1000000);
    EXPECT_EQ(static_cast<long long>(c.getTime()), days(2000, 1, 1) * DAY + 1000000 * HOUR);
    // Beyond the range of Time the calendar refuses rather than wrapping.
    c.set(Calendar::YEAR, 292278995);
    EXPECT_THROW(c.getTime(), vesk::Exception);
}

TEST(Resolution, UserZoneOffset) {
    GregorianCalendar c(europeLike());
    c.Clear();
    c.set(2004, 6, 1, 12, 0);
    EXPECT_EQ(static_cast<long long>(c.getTime()), days(2004, 7, 1) * DAY + 10 * HOUR);
    c.set(Calendar::ZONE_OFFSET, int(-5 * HOUR));
    c.set(Calendar::DST_OFFSET, 0);
    EXPECT_EQ(static_cast<long long>(c.getTime()), days(2004, 7, 1) * DAY + 17 * HOUR);
}

TEST(Fields, ClearAndIsSet) {
    GregorianCalendar c{TimeZone()};
    EXPECT_TRUE(c.isSet(Calendar::YEAR));
    c.Clear(Calendar::YEAR);
    EXPECT_FALSE(c.isSet(Calendar::YEAR));
    c.Clear();
    for (int f = 0; f < 17; ++f)
        EXPECT_FALSE(c.isSet(f));
    EXPECT_EQ(static_cast<long long>(c.getTime()), 0); // 1970-01-01 00:00
    EXPECT_THROW(c.isSet(17), vesk::Exception);
    EXPECT_THROW(c.Clear(-1), vesk::Exception);
    EXPECT_THROW(c.set(17u, 1), vesk::Exception);
    EXPECT_THROW(c.get(17), vesk::Exception);
    EXPECT_THROW(c.getMaximum(17), vesk::Exception);
}

TEST(Fields, CopiesAndClonesAreIndependent) {
    GregorianCalendar a = utcCalendar(days(2001, 5, 6) * DAY);
    a.setFirstDayOfWeek(3);
    a.setGregorianChange(Time(LLONG_MIN));
    GregorianCalendar* b = static_cast<GregorianCalendar*>(a.Clone());
    EXPECT_EQ(b->get(Calendar::DAY_OF_MONTH), 6);
    EXPECT_EQ(b->getFirstDayOfWeek(), 3);
    EXPECT_EQ(static_cast<long long>(b->gregorianChange()), LLONG_MIN);
    b->set(Calendar::DAY_OF_MONTH, 9);
    EXPECT_EQ(b->get(Calendar::DAY_OF_MONTH), 9);
    EXPECT_EQ(a.get(Calendar::DAY_OF_MONTH), 6);
    delete b;
}

// ---- strict mode ------------------------------------------------------------------

struct StrictCase {
    const char* what;
    int y, m, d, h;
    const char* field; // named in the message; nullptr when the fields are valid
};

TEST(Strict, InvalidFieldsAreRejectedWithTheFieldNamed) {
    const StrictCase cases[] = {
        {"valid", 2004, 1, 29, 12, nullptr},
        {"30 February", 2004, 1, 30, 12, "\"DAY_OF_MONTH\""},
        {"29 February of a common year", 2003, 1, 29, 12, "\"DAY_OF_MONTH\""},
        {"Julian leap day", 1500, 1, 29, 12, nullptr},
        {"month 12", 2004, 12, 1, 12, "\"MONTH\""},
        {"day 0", 2004, 0, 0, 12, "\"DAY_OF_MONTH\""},
        {"hour 24", 2004, 0, 1, 24, "\"HOUR_OF_DAY\""},
        {"a day of the cutover gap", 1582, 9, 10, 12, "\"DAY_OF_MONTH\""},
        {"last Julian day", 1582, 9, 4, 12, nullptr},
        {"first Gregorian day", 1582, 9, 15, 12, nullptr},
        {"wall time skipped by daylight saving", 2004, 2, 28, 2, "\"HOUR_OF_DAY\""},
    };
    for (const StrictCase& k : cases) {
        SCOPED_TRACE(k.what);
        GregorianCalendar c(europeLike());
        c.setLenient(false);
        c.Clear();
        c.set(k.y, k.m, k.d, k.h, 30);
        if (!k.field) {
            GregorianCalendar lenient(europeLike());
            lenient.Clear();
            lenient.set(k.y, k.m, k.d, k.h, 30);
            EXPECT_EQ(static_cast<long long>(c.getTime()), static_cast<long long>(lenient.getTime()));
            EXPECT_EQ(c.get(Calendar::DAY_OF_MONTH), k.d);
            continue;
        }
        try {
            c.getTime();
            ADD_FAILURE() << "accepted";
        } catch (const vesk::Exception& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind("Can't compute the time", 0), 0u) << message;
            EXPECT_NE(message.find(k.field), std::string::npos) << message;
        }
        // The calendar stays usable: correcting the field is enough.
        c.set(2004, 1, 15, 12, 30);
        EXPECT_EQ(c.get(Calendar::DAY_OF_MONTH), 15);
    }
}

TEST(Strict, OtherFieldRanges) {
    const struct {
        unsigned field;
        int value;
    } cases[] = {{Calendar::DAY_OF_WEEK_IN_MONTH, 0}, {Calendar::DAY_OF_WEEK, 8}, {Calendar::MINUTE, 60},
                 {Calendar::ERA, 2},                  {Calendar::DAY_OF_YEAR, 366}, {Calendar::WEEK_OF_YEAR, 54}};
    for (const auto& k : cases) {
        GregorianCalendar c{TimeZone()};
        c.setTime(Time(days(2003, 6, 1) * DAY));
        c.setLenient(false);
        c.set(k.field, k.value);
        EXPECT_THROW(c.get(Calendar::YEAR), vesk::Exception) << "field " << k.field;
    }
    // Lenient, the same values are normalised.
    GregorianCalendar c{TimeZone()};
    c.setTime(Time(days(2003, 6, 1) * DAY));
    c.set(Calendar::DAY_OF_YEAR, 366);
    EXPECT_EQ(c.get(Calendar::YEAR), 2004);
    EXPECT_EQ(c.get(Calendar::DAY_OF_YEAR), 1);
}

// ---- moved cutover ----------------------------------------------------------------

TEST(Cutover, PureGregorianAndPureJulian) {
    GregorianCalendar g{TimeZone()};
    g.setGregorianChange(Time(LLONG_MIN));
    g.Clear();
    g.set(1582, 9, 10);
    EXPECT_EQ(fdiv(static_cast<long long>(g.getTime()), DAY), gregorianDays(1582, 10, 10));
    g.setTime(Time(gregorianDays(1, 1, 1) * DAY));
    EXPECT_EQ(g.get(Calendar::YEAR), 1);
    EXPECT_EQ(g.get(Calendar::DAY_OF_YEAR), 1);
    g.setTime(Time(gregorianDays(1500, 3, 1) * DAY - 1));
    EXPECT_EQ(g.get(Calendar::DAY_OF_MONTH), 28); // 1500 is no Gregorian leap year
    EXPECT_EQ(g.getActualMaximum(Calendar::DAY_OF_YEAR), 365);

    GregorianCalendar j{TimeZone()};
    j.setGregorianChange(Time(LLONG_MAX));
    j.setTime(Time(0));
    EXPECT_EQ(j.get(Calendar::YEAR), 1969);
    EXPECT_EQ(j.get(Calendar::MONTH), 11);
    EXPECT_EQ(j.get(Calendar::DAY_OF_MONTH), 19); // 13 days behind in the 20th century
    j.Clear();
    j.set(1900, 1, 29);
    EXPECT_EQ(fdiv(static_cast<long long>(j.getTime()), DAY), julianDays(1900, 2, 29));
    EXPECT_EQ(j.getActualMaximum(Calendar::DAY_OF_MONTH), 29);
}

// The British change: Wednesday 1752-09-02 was followed by Thursday 1752-09-14.
TEST(Cutover, MovedToSeptember1752) {
    const long long change = gregorianDays(1752, 9, 14);
    GregorianCalendar c{TimeZone()};
    c.setGregorianChange(Time(change * DAY));
    EXPECT_EQ(static_cast<long long>(c.gregorianChange()), change * DAY);
    c.setTime(Time(change * DAY - 1));
    EXPECT_EQ(c.get(Calendar::MONTH), 8);
    EXPECT_EQ(c.get(Calendar::DAY_OF_MONTH), 2);
    EXPECT_EQ(c.get(Calendar::DAY_OF_WEEK), GregorianCalendarBase::WEDNESDAY);
    EXPECT_EQ(c.getActualMaximum(Calendar::DAY_OF_MONTH), 30);
    c.setTime(Time(change * DAY));
    EXPECT_EQ(c.get(Calendar::DAY_OF_MONTH), 14);
    EXPECT_EQ(c.get(Calendar::DAY_OF_YEAR), change - julianDays(1752, 1, 1) + 1);
    EXPECT_EQ(c.getActualMaximum(Calendar::DAY_OF_YEAR), gregorianDays(1753, 1, 1) - julianDays(1752, 1, 1));
    // 1700 is still Julian here, so it has a 29 February; 1582 is wholly Julian.
    c.Clear();
    c.set(1700, 1, 29);
    EXPECT_EQ(fdiv(static_cast<long long>(c.getTime()), DAY), julianDays(1700, 2, 29));
    EXPECT_EQ(c.getActualMaximum(Calendar::DAY_OF_MONTH), 29);
    c.Clear();
    c.set(1582, 9, 10);
    EXPECT_EQ(fdiv(static_cast<long long>(c.getTime()), DAY), julianDays(1582, 10, 10));
}

// ---- daylight saving at an instant ---------------------------------------------------

TEST(DaylightTime, Transitions) {
    const TimeZone z = europeLike();
    const long long start = lastSunday(2004, 3) * DAY + 2 * HOUR - HOUR; // 02:00 standard, as UTC
    const long long end = lastSunday(2004, 10) * DAY + 3 * HOUR - HOUR;  // 03:00 standard, as UTC
    EXPECT_FALSE(z.InDaylightTime(Time(start)));
    EXPECT_TRUE(z.InDaylightTime(Time(start + 1)));
    EXPECT_TRUE(z.InDaylightTime(Time(end)));
    EXPECT_FALSE(z.InDaylightTime(Time(end + 1)));
    EXPECT_TRUE(z.InDaylightTime(Time(days(2004, 7, 1) * DAY)));
    EXPECT_FALSE(z.InDaylightTime(Time(days(2004, 12, 1) * DAY)));
    EXPECT_FALSE(z.InDaylightTime(Time(days(-100, 7, 1) * DAY))); // BC
    EXPECT_FALSE(TimeZone().InDaylightTime(Time(days(2004, 7, 1) * DAY)));

    GregorianCalendar c(z);
    c.setTime(Time(days(2004, 7, 1) * DAY));
    EXPECT_TRUE(c.InDaylightTime());
    c.set(Calendar::MONTH, 0);
    EXPECT_FALSE(c.InDaylightTime());
}

TEST(DaylightTime, SouthernZone) {
    TimeZone z;
    z.SetStandardOffset(int(10 * HOUR));
    z.SetDSTOffset(int(HOUR));
    z.SetStartRule(GregorianCalendarBase::OCTOBER, 1, GregorianCalendarBase::SUNDAY, int(2 * HOUR));
    z.SetEndRule(GregorianCalendarBase::MARCH, 1, GregorianCalendarBase::SUNDAY, int(3 * HOUR));
    EXPECT_TRUE(z.InDaylightTime(Time(days(2005, 1, 15) * DAY)));
    EXPECT_FALSE(z.InDaylightTime(Time(days(2005, 6, 15) * DAY)));
    GregorianCalendar c(z);
    c.setTime(Time(days(2005, 1, 15) * DAY));
    EXPECT_EQ(c.get(Calendar::DST_OFFSET), HOUR);
    EXPECT_EQ(c.get(Calendar::HOUR_OF_DAY), 11);
}

} // namespace
