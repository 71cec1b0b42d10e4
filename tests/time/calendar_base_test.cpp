// GregorianCalendarBase: month lengths, floor division in all four forms and the
// Julian/Gregorian leap-year rule around the default and moved cutover years.
#include <vesk/errors/exception.h>
#include <vesk/time/calendar_base.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <climits>
#include <string>

using vesk::GregorianCalendarBase;
using namespace vesk_test;

namespace {

// Opens the protected helpers, and lets a test move the cutover year by hand.
struct Base : GregorianCalendarBase {
    using GregorianCalendarBase::floorDivide;
    using GregorianCalendarBase::isGregorian;
    using GregorianCalendarBase::isLeapYear;
    explicit Base(int year = 1582) { cutoverYear = year; }
};

} // namespace

TEST(CalendarBase, MonthLength) {
    const short expected[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 0; m < 12; ++m)
        EXPECT_EQ(expected[m], GregorianCalendarBase::MonthLength(static_cast<GregorianCalendarBase::Month>(m)));
    EXPECT_TRUE(contains(messageOf([] { GregorianCalendarBase::MonthLength(GregorianCalendarBase::Month(12)); }),
                         "month 12"));
}

TEST(CalendarBase, LeapYears) {
    const Base standard, british(1752), early(1);
    EXPECT_TRUE(standard.isGregorian(1582));
    EXPECT_FALSE(standard.isGregorian(1581));
    // Against the reference's year lengths: Julian before 1582, Gregorian from it on.
    for (int y = -1000; y <= 3000; ++y) {
        const long long length = y < 1582 ? julianDays(y + 1, 1, 1) - julianDays(y, 1, 1)
                                          : gregorianDays(y + 1, 1, 1) - gregorianDays(y, 1, 1);
        ASSERT_EQ(length == 366, standard.isLeapYear(y)) << y;
    }
    const struct { int year; bool british, early; } rows[] = {
        {1700, true, false}, {1751, false, false}, {1752, true, true}, {1800, false, false}, {100, true, false}};
    for (const auto& r : rows) {
        EXPECT_EQ(r.british, british.isLeapYear(r.year)) << r.year;
        EXPECT_EQ(r.early, early.isLeapYear(r.year)) << r.year;
    }
}

TEST(CalendarBase, FloorDivide) {
    const struct { __int64 n, d, q; } wide[] = {
        {7, 7, 1}, {-1, 7, -1}, {-7, 7, -1}, {-8, 7, -2}, {LLONG_MIN, 86400000, -106751991168LL}};
    for (const auto& c : wide) EXPECT_EQ(c.q, Base::floorDivide(c.n, c.d)) << c.n << "/" << c.d;

    const struct { int n, d, q, rem; } narrow[] = {
        {13, 7, 1, 6}, {-1, 7, -1, 6}, {-7, 7, -1, 0}, {-8, 7, -2, 6}, {INT_MIN, INT_MAX, -2, INT_MAX - 1},
        {INT_MIN, 7, -306783379, 5}}; // q * d lies below INT_MIN: the remainder must not wrap
    for (const auto& c : narrow) {
        SCOPED_TRACE(std::to_string(c.n) + "/" + std::to_string(c.d));
        int rem = -99, rem64 = -99;
        EXPECT_EQ(c.q, Base::floorDivide(c.n, c.d));
        EXPECT_EQ(c.q, Base::floorDivide(c.n, c.d, rem));
        EXPECT_EQ(c.q, Base::floorDivide(static_cast<__int64>(c.n), c.d, rem64));
        EXPECT_EQ(c.rem, rem);
        EXPECT_EQ(c.rem, rem64);
    }
    int rem = 0;
    EXPECT_EQ(-730693, Base::floorDivide(LLONG_MIN / 86400000, 146097, rem)); // 400-year cycles of the first day
    EXPECT_EQ(64054, rem);
    EXPECT_EQ(INT_MIN, Base::floorDivide(static_cast<__int64>(INT_MIN) * 3, 3, rem));

    EXPECT_TRUE(contains(messageOf([] { Base::floorDivide(5LL, 0LL); }), "Can't floor-divide 5 by 0"));
    EXPECT_TRUE(contains(messageOf([&] { Base::floorDivide(LLONG_MIN, 86400000, rem); }), "does not fit 32 bits"));
}
