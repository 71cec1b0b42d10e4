// Time: conversions of the millisecond instant to C time_t seconds and to the
// 100-nanosecond UUID timestamp scale.
#include <vesk/time/time.h>

#include <vesk/errors/exception.h>
#include <vesk/time/calendar_base.h>

#include <climits>
#include <ctime>
#include <string>

namespace vesk {

Time Time::current() {
    // Kept in 64 bits: the runtime's time_t is 64-bit and must not be cut to a long.
    return Time(static_cast<__int64>(std::time(nullptr)) * 1000);
}

long Time::toTimeT() const {
    const __int64 seconds = milliseconds / 1000;
    if (seconds < LONG_MIN || seconds > LONG_MAX)
        throw Exception("Can't convert the time " + std::to_string(milliseconds) +
                        " ms to a 32-bit time_t: it lies outside 1901-12-13..2038-01-19");
    return static_cast<long>(seconds);
}

Time Time::fromTimeT(long t) { return Time(static_cast<__int64>(t) * 1000); }

unsigned __int64 Time::toXOpen() const {
    const __int64 cutover = GregorianCalendarBase::Default.gregorianChange();
    __int64 sinceCutover = 0;
    __int64 ticks = 0;
    if (milliseconds < cutover)
        throw Exception("Can't convert the time " + std::to_string(milliseconds) +
                        " ms to a UUID timestamp: it lies before the Gregorian cutover");
    if (__builtin_sub_overflow(milliseconds, cutover, &sinceCutover) ||
        __builtin_mul_overflow(sinceCutover, static_cast<__int64>(10000), &ticks))
        throw Exception("Can't convert the time " + std::to_string(milliseconds) +
                        " ms to a UUID timestamp: it lies beyond the timestamp's range");
    return static_cast<unsigned __int64>(ticks);
}

Time Time::fromXOpen(unsigned __int64 t) {
    // At most 2^64 / 10^4 ms, so the sum stays well inside the signed range.
    return Time(static_cast<__int64>(t / 10000) + GregorianCalendarBase::Default.gregorianChange());
}

} // namespace vesk
