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
        {0, true, 0}, {-1, false, 0}, {-1500, false, -1}, {-86400000, true, -86400}, // truncation toward zero
        {days(1904, 2, 29) * DAY - 1, false, days(1904, 2, 29) * 86400},
        {2147483647999LL, false, LONG_MAX}, {-2147483648999LL, false, LONG_MIN}, // the ends of a 32-bit time_t
        {2147483648000LL, false, refused}, {-2147483649000LL, false, refused},
        {106751991167LL * DAY, true, refused}, {LLONG_MIN, false, refused}, // the last UTC midnight
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.date, Time(r.ms).isDate()) << r.ms;
        std::string value;
        const std::string message = messageOf([&] { value = std::to_string(Time(r.ms).toTimeT()); });
        EXPECT_TRUE(r.timeT != refused ? value == std::to_string(r.timeT)
                                       : contains(message, "Can't convert the time " + std::to_string(r.ms) + " ms"))
            << r.ms << ": " << value << message;
    }
    EXPECT_EQ(-1000, static_cast<__int64>(Time::fromTimeT(-1)));
    EXPECT_EQ(-2147483648000LL, static_cast<__int64>(Time::fromTimeT(LONG_MIN)));
    const __int64 before = static_cast<__int64>(std::time(nullptr)) * 1000, now = Time::current();
    EXPECT_TRUE(before <= now && now <= static_cast<__int64>(std::time(nullptr)) * 1000 && now % 1000 == 0) << now;
}

TEST(Time, UuidTimestamps) {
    const __int64 cutover = days(1582, 10, 15) * DAY, last = cutover + 922337203685477LL; // (2^63 - 1) / 10^4 ms on
    const struct { __int64 ms; unsigned long long ticks; } rows[] = {
        {cutover, 0}, {cutover + 1, 10000},
        {days(1601, 1, 1) * DAY, 6653ULL * 864000000000ULL}, // 6653 days to the FILETIME origin
        {0, 0x01B21DD213814000ULL},                           // the Unix epoch, as RFC 4122 gives it
        {last, 922337203685477ULL * 10000},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.ticks, Time(r.ms).toXOpen()) << r.ms;
        EXPECT_EQ(r.ms, static_cast<__int64>(Time::fromXOpen(r.ticks))) << r.ticks;
    }
    EXPECT_EQ(cutover, static_cast<__int64>(Time::fromXOpen(9999)));
    EXPECT_EQ(cutover + 1844674407370955LL, static_cast<__int64>(Time::fromXOpen(ULLONG_MAX))); // no overflow
    const struct { __int64 ms; const char* why; } refused[] = {
        {last + 1, "beyond"}, {LLONG_MAX, "beyond"}, {cutover - 1, "before"}};
    for (const auto& r : refused) {
        const std::string message = messageOf([&] { Time(r.ms).toXOpen(); });
        EXPECT_TRUE(contains(message, std::to_string(r.ms)) && contains(message, r.why)) << message;
    }
}
