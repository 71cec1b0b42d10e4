// Time: the millisecond instant, its time_t and UUID-timestamp conversions, at the
// epoch, before 1970, on leap days and at the 64-bit limits. Reference instants
// are hand-computed and cross-checked against the system's FILETIME conversion.
#include <vesk/errors/exception.h>
#include <vesk/time/time.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <climits>
#include <ctime>
#include <string>

using vesk::Time;
using vesk_test::fileTimeEpoch;
using vesk_test::fileTimeMillis;
using vesk_test::messageOf;
using vesk_test::systemMillis;

namespace {

const __int64 cutover = -12219292800000LL; // 1582-10-15 00:00 UTC
// 1582-10-15 to 1601-01-01 is 6653 days, in 100-ns units.
const unsigned __int64 uuidToFileTime = 6653ULL * 864000000000ULL;

} // namespace

TEST(Time, ConstructionAssignmentAndConversion) {
    Time t;
    EXPECT_EQ(0, static_cast<__int64>(t));
    t = -5LL;
    EXPECT_EQ(-5, static_cast<__int64>(t));
    Time u(LLONG_MAX);
    t = u;
    EXPECT_EQ(LLONG_MAX, static_cast<__int64>(t));
    EXPECT_TRUE(Time(3) < Time(4));
}

struct DateCase {
    const char* name;
    __int64 ms;
    WORD y, mo, d, h, mi, s, milli;
};

// Hand-computed: days since 1970 times 86 400 000, plus the time of day.
const DateCase dates[] = {
    {"epoch", 0, 1970, 1, 1, 0, 0, 0, 0},
    {"last ms of 1969", -1, 1969, 12, 31, 23, 59, 59, 999},
    {"leap day 2000", 951782400000LL, 2000, 2, 29, 0, 0, 0, 0},
    {"leap day 1904", -2077747200000LL, 1904, 2, 29, 0, 0, 0, 0},
    {"1900 has no leap day", -2203891200000LL, 1900, 3, 1, 0, 0, 0, 0},
    {"2100 has no leap day", 4107542400000LL, 2100, 3, 1, 0, 0, 0, 0},
    {"leap day 2400", 13574563200000LL, 2400, 2, 29, 0, 0, 0, 0},
    {"FILETIME origin 1601", -11644473600000LL, 1601, 1, 1, 0, 0, 0, 0},
    {"last second of 32-bit time_t", 2147483647000LL, 2038, 1, 19, 3, 14, 7, 0},
    {"first second of 32-bit time_t", -2147483648000LL, 1901, 12, 13, 20, 45, 52, 0},
};

TEST(Time, DatesAgreeWithTheSystemCalendar) {
    for (const DateCase& c : dates) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.ms, systemMillis(c.y, c.mo, c.d, c.h, c.mi, c.s, c.milli));
        const Time t(c.ms);
        const bool midnight = c.h == 0 && c.mi == 0 && c.s == 0 && c.milli == 0;
        EXPECT_EQ(midnight, t.isDate());
        // Truncation toward zero, also before 1970; a 32-bit time_t ends in 1901 and 2038.
        if (c.ms >= -2147483648000LL && c.ms <= 2147483647999LL)
            EXPECT_EQ(c.ms / 1000, t.toTimeT());
        else
            EXPECT_THROW(t.toTimeT(), vesk::Exception);
        // The UUID scale is the FILETIME scale moved back to 1582-10-15.
        const unsigned __int64 fileTime = static_cast<unsigned __int64>(c.ms * 10000 + fileTimeEpoch);
        EXPECT_EQ(fileTime + uuidToFileTime, t.toXOpen());
        EXPECT_EQ(c.ms, static_cast<__int64>(Time::fromXOpen(fileTime + uuidToFileTime)));
    }
}

TEST(Time, IsDate) {
    const struct {
        __int64 ms;
        bool date;
    } cases[] = {
        {0, true},           {1, false},          {-1, false},
        {-86400000, true},   {86400000, true},    {-86399999, false},
        {-86400001, false},  {LLONG_MAX, false},  {LLONG_MIN, false},
        {106751991167LL * 86400000, true}, // the last UTC midnight in range
    };
    for (const auto& c : cases) EXPECT_EQ(c.date, Time(c.ms).isDate()) << c.ms;
}

TEST(Time, TimeTConversions) {
    EXPECT_EQ(-1000, static_cast<__int64>(Time::fromTimeT(-1)));
    EXPECT_EQ(2147483647000LL, static_cast<__int64>(Time::fromTimeT(LONG_MAX)));
    EXPECT_EQ(-2147483648000LL, static_cast<__int64>(Time::fromTimeT(LONG_MIN)));
    const struct {
        __int64 ms;
        long t;
    } cases[] = {
        {-1500, -1}, {1500, 1}, {-999, 0}, {999, 0}, {-1000, -1},
        {2147483647999LL, LONG_MAX}, {-2147483648999LL, LONG_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(c.t, Time(c.ms).toTimeT()) << c.ms;
}

TEST(Time, TimeTOutOfRangeIsRefused) {
    const __int64 cases[] = {2147483648000LL, -2147483649000LL, LLONG_MAX, LLONG_MIN};
    for (__int64 ms : cases) {
        const std::string message = messageOf([&] { Time(ms).toTimeT(); });
        EXPECT_NE(std::string::npos, message.find("Can't convert the time " + std::to_string(ms) + " ms")) << message;
        EXPECT_NE(std::string::npos, message.find("time_t")) << message;
    }
}

TEST(Time, XOpenAtTheCutover) {
    EXPECT_EQ(0u, Time(cutover).toXOpen());
    EXPECT_EQ(10000u, Time(cutover + 1).toXOpen());
    EXPECT_EQ(cutover, static_cast<__int64>(Time::fromXOpen(0)));
    EXPECT_EQ(cutover, static_cast<__int64>(Time::fromXOpen(9999)));
    EXPECT_EQ(cutover + 1, static_cast<__int64>(Time::fromXOpen(10000)));
    // The UUID timestamp of the Unix epoch (RFC 4122: 0x01B21DD213814000).
    EXPECT_EQ(0x01B21DD213814000ULL, Time(0).toXOpen());
    EXPECT_EQ(0, static_cast<__int64>(Time::fromXOpen(0x01B21DD213814000ULL)));
}

TEST(Time, XOpenAtTheLimits) {
    // The last instant whose tick count fits 63 bits: (2^63 - 1) / 10^4 ms after the cutover.
    const __int64 last = 922337203685477LL + cutover;
    EXPECT_EQ(922337203685477ULL * 10000, Time(last).toXOpen());
    EXPECT_EQ(last, static_cast<__int64>(Time::fromXOpen(Time(last).toXOpen())));
    // The whole unsigned scale maps back without overflow: 2^64 - 1 ticks.
    EXPECT_EQ(1844674407370955LL + cutover, static_cast<__int64>(Time::fromXOpen(ULLONG_MAX)));

    const struct {
        __int64 ms;
        const char* why;
    } refused[] = {
        {last + 1, "beyond"}, {LLONG_MAX, "beyond"}, {cutover - 1, "before"}, {LLONG_MIN, "before"}, {-(1LL << 60), "before"},
    };
    for (const auto& c : refused) {
        const std::string message = messageOf([&] { Time(c.ms).toXOpen(); });
        EXPECT_NE(std::string::npos, message.find(std::to_string(c.ms))) << message;
        EXPECT_NE(std::string::npos, message.find(c.why)) << message;
    }
}

TEST(Time, CurrentFollowsTheClockInWholeSeconds) {
    const __int64 before = static_cast<__int64>(std::time(nullptr)) * 1000;
    const Time now = Time::current();
    const __int64 after = static_cast<__int64>(std::time(nullptr)) * 1000;
    EXPECT_LE(before, static_cast<__int64>(now));
    EXPECT_GE(after, static_cast<__int64>(now));
    EXPECT_EQ(0, static_cast<__int64>(now) % 1000);

    // Against the system clock, an independent source.
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const __int64 system = fileTimeMillis(ft);
    EXPECT_NEAR(static_cast<double>(system), static_cast<double>(static_cast<__int64>(now)), 5000.0);
}
