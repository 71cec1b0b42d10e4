// Time: the millisecond instant's time_t and UUID-timestamp conversions at the
// epoch, before 1970, on leap days and at the 64-bit limits.
#include <vesk/errors/exception.h>
#include <vesk/time/time.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <climits>
#include <ctime>
#include <string>

using vesk::Time;
using namespace vesk_test;

TEST(Time, IsDateAndTimeT) {
    const long long refused = LLONG_MIN;
    const struct { __int64 ms; bool date; long long timeT; } rows[] = {
        {0, true, 0},
        {-1, false, 0}, // truncation toward zero, also before 1970
        {-1500, false, -1},
        {-86400000, true, -86400},
        {days(2000, 2, 29) * DAY, true, days(2000, 2, 29) * 86400},
        {days(1904, 2, 29) * DAY - 1, false, days(1904, 2, 29) * 86400},
        {2147483647999LL, false, LONG_MAX}, // the ends of a 32-bit time_t
        {-2147483648999LL, false, LONG_MIN},
        {2147483648000LL, false, refused},
        {-2147483649000LL, false, refused},
        {106751991167LL * DAY, true, refused}, // the last UTC midnight
        {LLONG_MIN, false, refused},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.ms);
        EXPECT_EQ(r.date, Time(r.ms).isDate());
        if (r.timeT != refused) {
            EXPECT_EQ(r.timeT, Time(r.ms).toTimeT());
        } else {
            const std::string message = messageOf([&] { Time(r.ms).toTimeT(); });
            EXPECT_TRUE(contains(message, "Can't convert the time " + std::to_string(r.ms) + " ms")) << message;
            EXPECT_TRUE(contains(message, "time_t")) << message;
        }
    }
    EXPECT_EQ(-1000, static_cast<__int64>(Time::fromTimeT(-1)));
    EXPECT_EQ(2147483647000LL, static_cast<__int64>(Time::fromTimeT(LONG_MAX)));
    EXPECT_EQ(-2147483648000LL, static_cast<__int64>(Time::fromTimeT(LONG_MIN)));
}

TEST(Time, UuidTimestamps) {
    const __int64 cutover = days(1582, 10, 15) * DAY;
    const __int64 last = cutover + 922337203685477LL; // (2^63 - 1) / 10^4 ms after the cutover
    const struct { __int64 ms; unsigned long long ticks; } rows[] = {
        {cutover, 0},
        {cutover + 1, 10000},
        {days(1601, 1, 1) * DAY, 6653ULL * 864000000000ULL}, // 6653 days to the FILETIME origin
        {0, 0x01B21DD213814000ULL},                           // the Unix epoch, as RFC 4122 gives it
        {days(2000, 2, 29) * DAY, (6653ULL + 134774 + 10957 + 59) * 864000000000ULL},
        {last, 922337203685477ULL * 10000},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.ticks, Time(r.ms).toXOpen()) << r.ms;
        EXPECT_EQ(r.ms, static_cast<__int64>(Time::fromXOpen(r.ticks))) << r.ticks;
    }
    EXPECT_EQ(cutover, static_cast<__int64>(Time::fromXOpen(9999)));
    // The whole unsigned scale maps back without overflow.
    EXPECT_EQ(cutover + 1844674407370955LL, static_cast<__int64>(Time::fromXOpen(ULLONG_MAX)));

    const struct { __int64 ms; const char* why; } refused[] = {
        {last + 1, "beyond"}, {LLONG_MAX, "beyond"}, {cutover - 1, "before"}};
    for (const auto& r : refused) {
        const std::string message = messageOf([&] { Time(r.ms).toXOpen(); });
        EXPECT_TRUE(contains(message, std::to_string(r.ms)) && contains(message, r.why)) << message;
    }
}

TEST(Time, CurrentIsTheRuntimeClockInWholeSeconds) {
    const __int64 before = static_cast<__int64>(std::time(nullptr)) * 1000;
    const __int64 now = Time::current();
    EXPECT_LE(before, now);
    EXPECT_GE(static_cast<__int64>(std::time(nullptr)) * 1000, now);
    EXPECT_EQ(0, now % 1000);
}
