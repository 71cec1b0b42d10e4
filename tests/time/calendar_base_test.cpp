// GregorianCalendarBase: month lengths, floor division in all four forms and the
// Julian/Gregorian leap-year rule around the default and moved cutover years.
#include <vesk/errors/exception.h>
#include <vesk/time/calendar_base.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <climits>
#include <string>

using vesk::GregorianCalendarBase;
typedef GregorianCalendarBase G;
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

TEST(CalendarBase, MonthLengthsAndLeapYears) {
    std::string lengths;
    for (int m = 0; m < 12; ++m) lengths += std::to_string(G::MonthLength(G::Month(m))) + " ";
    EXPECT_EQ("31 28 31 30 31 30 31 31 30 31 30 31 ", lengths);
    EXPECT_TRUE(contains(messageOf([] { G::MonthLength(G::Month(12)); }), "month 12"));
    const Base standard, british(1752);
    EXPECT_TRUE(standard.isGregorian(1582) && !standard.isGregorian(1581));
    // Against the reference's year lengths: Julian before the cutover year, Gregorian from it on.
    for (int y = -1000; y <= 3000; ++y) {
        for (const Base* b : {&standard, &british}) {
            const bool julian = y < (b == &standard ? 1582 : 1752);
            const long long length = julian ? julianDays(y + 1, 1, 1) - julianDays(y, 1, 1)
                                            : gregorianDays(y + 1, 1, 1) - gregorianDays(y, 1, 1);
            ASSERT_EQ(length == 366, b->isLeapYear(y)) << y;
        }
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
        int rem = -99, rem64 = -99;
        EXPECT_EQ(c.q, Base::floorDivide(c.n, c.d)) << c.n << "/" << c.d;
        EXPECT_EQ(c.q, Base::floorDivide(c.n, c.d, rem)) << c.n << "/" << c.d;
        EXPECT_EQ(c.q, Base::floorDivide(static_cast<__int64>(c.n), c.d, rem64)) << c.n << "/" << c.d;
        EXPECT_TRUE(c.rem == rem && c.rem == rem64) << c.n << "/" << c.d << ": " << rem << ", " << rem64;
    }
    int rem = 0;
    EXPECT_EQ(-730693, Base::floorDivide(LLONG_MIN / 86400000, 146097, rem)); // 400-year cycles of the first day
    EXPECT_EQ(64054, rem);
    EXPECT_EQ(INT_MIN, Base::floorDivide(static_cast<__int64>(INT_MIN) * 3, 3, rem));
    EXPECT_TRUE(contains(messageOf([] { Base::floorDivide(5LL, 0LL); }), "Can't floor-divide 5 by 0"));
    EXPECT_TRUE(contains(messageOf([&] { Base::floorDivide(LLONG_MIN, 86400000, rem); }), "does not fit 32 bits"));
}
