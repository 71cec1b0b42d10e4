// GregorianCalendarBase: month lengths, floor division in all four forms, the
// Julian/Gregorian leap-year rule around the default and a moved cutover, and the
// library-wide default instance.
#include <vesk/errors/exception.h>
#include <vesk/time/calendar_base.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <climits>
#include <string>

using vesk::GregorianCalendarBase;
using vesk_test::DAY;
using vesk_test::messageOf;
using vesk_test::systemMillis;

namespace {

// Opens the protected helpers, and lets a test move the cutover year by hand.
struct Base : GregorianCalendarBase {
    using GregorianCalendarBase::floorDivide;
    using GregorianCalendarBase::isGregorian;
    using GregorianCalendarBase::isLeapYear;
    using GregorianCalendarBase::normalizedGregorianCutover;
    void moveCutoverYear(int year) { cutoverYear = year; }
};

int februaryLength(const Base& base, int year) {
    return GregorianCalendarBase::MonthLength(GregorianCalendarBase::FEBRUARY) + (base.isLeapYear(year) ? 1 : 0);
}

// Days of a year by the system's calendar (proleptic Gregorian from 1601).
int systemYearLength(int year) {
    const __int64 start = systemMillis(static_cast<WORD>(year), 1, 1);
    return static_cast<int>((systemMillis(static_cast<WORD>(year + 1), 1, 1) - start) / DAY);
}

} // namespace

TEST(CalendarBase, Enumerations) {
    EXPECT_EQ(0, GregorianCalendarBase::JANUARY);
    EXPECT_EQ(1, GregorianCalendarBase::FEBRUARY);
    EXPECT_EQ(11, GregorianCalendarBase::DECEMBER);
    EXPECT_EQ(1, GregorianCalendarBase::SUNDAY);
    EXPECT_EQ(5, GregorianCalendarBase::THURSDAY);
    EXPECT_EQ(7, GregorianCalendarBase::SATURDAY);
    EXPECT_EQ(0, GregorianCalendarBase::BC);
    EXPECT_EQ(1, GregorianCalendarBase::AD);
}

TEST(CalendarBase, MonthLengthIsTheCommonYear) {
    const short expected[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int total = 0;
    for (int m = 0; m < 12; ++m) {
        EXPECT_EQ(expected[m], GregorianCalendarBase::MonthLength(static_cast<GregorianCalendarBase::Month>(m))) << m;
        total += GregorianCalendarBase::MonthLength(static_cast<GregorianCalendarBase::Month>(m));
    }
    EXPECT_EQ(365, total);
    for (int bad : {-1, 12, INT_MIN}) {
        const std::string message =
            messageOf([&] { GregorianCalendarBase::MonthLength(static_cast<GregorianCalendarBase::Month>(bad)); });
        EXPECT_NE(std::string::npos, message.find("month " + std::to_string(bad))) << message;
    }
}

TEST(CalendarBase, DefaultCutover) {
    const Base base;
    EXPECT_EQ(-12219292800000LL, static_cast<__int64>(base.gregorianChange()));
    EXPECT_EQ(-12219292800000LL, base.normalizedGregorianCutover());
    EXPECT_TRUE(base.isGregorian(1582));
    EXPECT_FALSE(base.isGregorian(1581));
    EXPECT_EQ(-12219292800000LL, static_cast<__int64>(GregorianCalendarBase::Default.gregorianChange()));
}

TEST(CalendarBase, LeapYearsAroundTheDefaultCutover) {
    const Base base;
    const struct {
        int year;
        bool leap;
    } cases[] = {
        {1500, true}, // Julian: every fourth year
        {1400, true},  {1580, true},  {1581, false}, {1582, false}, {1583, false}, {1584, true},
        {1600, true},  {1700, false}, {1800, false}, {1900, false}, {2000, true},  {2004, true},
        {2100, false}, {0, true},     {-4, true},    {-1, false},   {-100, true},  {1, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.leap, base.isLeapYear(c.year)) << c.year;
        EXPECT_EQ(c.leap ? 29 : 28, februaryLength(base, c.year)) << c.year;
    }
}

TEST(CalendarBase, LeapYearsAfterTheCutoverMatchTheSystemCalendar) {
    const Base base;
    for (int year = 1601; year <= 3000; ++year)
        ASSERT_EQ(systemYearLength(year) == 366, base.isLeapYear(year)) << year;
}

TEST(CalendarBase, LeapYearsWithAMovedCutover) {
    Base late;
    late.moveCutoverYear(1752); // the British reform
    Base early;
    early.moveCutoverYear(1);
    const struct {
        int year;
        bool late, early;
    } cases[] = {
        {1500, true, false}, {1700, true, false}, {1751, false, false}, {1752, true, true},
        {1800, false, false}, {400, true, true},  {100, true, false},   {4, true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.late, late.isLeapYear(c.year)) << c.year;
        EXPECT_EQ(c.early, early.isLeapYear(c.year)) << c.year;
        EXPECT_EQ(c.late ? 29 : 28, februaryLength(late, c.year)) << c.year;
    }
    EXPECT_FALSE(late.isGregorian(1751));
    EXPECT_TRUE(late.isGregorian(1752));
    // The default instance is not moved by others.
    EXPECT_FALSE(Base().isLeapYear(1700));
}

TEST(CalendarBase, FloorDivide) {
    const struct {
        __int64 n, d, q;
    } wide[] = {
        {0, 7, 0},   {6, 7, 0},   {7, 7, 1},   {-1, 7, -1},  {-7, 7, -1}, {-8, 7, -2},
        {-14, 7, -2}, {-15, 7, -3}, {LLONG_MIN, 1, LLONG_MIN}, {LLONG_MAX, 1, LLONG_MAX},
        {LLONG_MIN, 86400000, -106751991168LL}, {LLONG_MAX, 86400000, 106751991167LL},
    };
    for (const auto& c : wide) EXPECT_EQ(c.q, Base::floorDivide(c.n, c.d)) << c.n << "/" << c.d;

    const struct {
        int n, d, q, rem;
    } narrow[] = {
        {0, 7, 0, 0},    {13, 7, 1, 6},   {-1, 7, -1, 6},  {-7, 7, -1, 0},
        {-8, 7, -2, 6},  {-1, 1, -1, 0},  {INT_MAX, 7, 306783378, 1},
        {INT_MIN, 7, -306783379, 5}, // q * d lies below INT_MIN: the remainder must not wrap
        {INT_MIN, INT_MAX, -2, INT_MAX - 1},
    };
    for (const auto& c : narrow) {
        SCOPED_TRACE(std::to_string(c.n) + "/" + std::to_string(c.d));
        EXPECT_EQ(c.q, Base::floorDivide(c.n, c.d));
        int rem = -99;
        EXPECT_EQ(c.q, Base::floorDivide(c.n, c.d, rem));
        EXPECT_EQ(c.rem, rem);
        rem = -99;
        EXPECT_EQ(c.q, Base::floorDivide(static_cast<__int64>(c.n), c.d, rem));
        EXPECT_EQ(c.rem, rem);
        // Floor division's defining property.
        EXPECT_EQ(static_cast<__int64>(c.n), static_cast<__int64>(c.q) * c.d + c.rem);
    }

    // 64-bit dividends whose quotient fits 32 bits.
    int rem = 0;
    // The day of the earliest instant, in 400-year cycles.
    EXPECT_EQ(-730693, Base::floorDivide(LLONG_MIN / 86400000, 146097, rem));
    EXPECT_EQ(64054, rem);
    EXPECT_EQ(INT_MIN, Base::floorDivide(static_cast<__int64>(INT_MIN) * 3, 3, rem));
    EXPECT_EQ(0, rem);
}

TEST(CalendarBase, FloorDivideRefusesWhatItCannotAnswer) {
    int rem = 0;
    const struct {
        std::string message, expected;
    } cases[] = {
        {messageOf([] { Base::floorDivide(5LL, 0LL); }), "Can't floor-divide 5 by 0"},
        {messageOf([] { Base::floorDivide(5, -7); }), "Can't floor-divide 5 by -7"},
        {messageOf([&] { Base::floorDivide(-3, 0, rem); }), "Can't floor-divide -3 by 0"},
        {messageOf([&] { Base::floorDivide(LLONG_MAX, 7, rem); }), "does not fit 32 bits"},
        {messageOf([&] { Base::floorDivide(LLONG_MIN, 86400000, rem); }), "does not fit 32 bits"},
        {messageOf([&] { Base::floorDivide(static_cast<__int64>(INT_MAX) + 1, 1, rem); }), "does not fit 32 bits"},
    };
    for (const auto& c : cases) EXPECT_NE(std::string::npos, c.message.find(c.expected)) << c.message;
}
