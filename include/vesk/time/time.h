// Time: the library's instant, a signed 64-bit count of milliseconds since
// 1970-01-01 00:00:00 UTC, with conversions to C time_t seconds and to the
// 100-nanosecond scale of version-1 UUID timestamps (from 1582-10-15 UTC).
#pragma once

#include <vesk/config.h>

namespace vesk {

class VESK_API Time {
public:
    constexpr Time(__int64 ms = 0) : milliseconds(ms) {}
    Time& operator=(__int64 ms) {
        milliseconds = ms;
        return *this;
    }
    Time& operator=(const Time&) = default;
    constexpr operator __int64() const { return milliseconds; }

    // The current time from the C runtime clock, in whole seconds.
    static Time current();

    // Seconds, truncated toward zero; throws vesk::Exception when they do not fit
    // a 32-bit time_t.
    long toTimeT() const;
    static Time fromTimeT(long t);

    // True when the instant is a UTC midnight.
    bool isDate() const { return milliseconds % 86400000 == 0; }

    // 100-ns intervals since the default Gregorian cutover; throws vesk::Exception for
    // instants before the cutover or beyond the 64-bit range of the scale.
    unsigned __int64 toXOpen() const;
    static Time fromXOpen(unsigned __int64 t);

private:
    __int64 milliseconds;
};

} // namespace vesk
