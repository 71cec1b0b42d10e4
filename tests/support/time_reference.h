// Reference helpers shared by the time suites: the tests' own day counts of the
// proleptic Julian and Gregorian calendars (days_from_civil and the Julian day
// number) with week numbering over them, instants through the system's FILETIME
// conversion, the message a call throws, and the daylight-saving zone of the
// Gregorian suites. The day counts never call the library, so the suites check its
// cycle arithmetic against an independent count.
#pragma once

#include <vesk/config.h>

#include <vesk/errors/exception.h>
#include <vesk/time/time_zone.h>

#include <gtest/gtest.h>

#include <string>

namespace vesk_test {

// ---- proleptic day counts -----------------------------------------------------------

constexpr long long DAY = 86400000;
constexpr long long HOUR = 3600000;
constexpr long long MINUTE = 60000;
constexpr long long CUTOVER_DAY = -141427; // 1582-10-15

inline long long fdiv(long long a, long long b) { return a / b - (a % b < 0 ? 1 : 0); }
inline long long fmod(long long a, long long b) { return a - fdiv(a, b) * b; }

// Days since 1970-01-01; month 1..12.
inline long long gregorianDays(long long y, int m, int d) {
    y -= m <= 2;
    const long long era = fdiv(y, 400), yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}
inline long long julianDays(long long y, int m, int d) {
    const long long a = (14 - m) / 12, yy = y + 4800 - a, mm = m + 12 * a - 3;
    return d + (153 * mm + 2) / 5 + 365 * yy + fdiv(yy, 4) - 32083 - 2440588;
}
// The default hybrid: Julian before 1582-10-15. Years are astronomical (0 = 1 BC).
inline long long days(long long y, int m, int d) {
    const bool julian = y < 1582 || (y == 1582 && (m < 10 || (m == 10 && d < 15)));
    return julian ? julianDays(y, m, d) : gregorianDays(y, m, d);
}

struct Date {
    long long year;
    int month; // 1..12
    int day;
};
inline Date dateOf(long long n) {
    Date r;
    if (n >= CUTOVER_DAY) {
        const long long z = n + 719468, era = fdiv(z, 146097), doe = z - era * 146097;
        const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
        r.day = int(doy - (153 * mp + 2) / 5 + 1);
        r.month = int(mp < 10 ? mp + 3 : mp - 9);
        r.year = yoe + era * 400 + (r.month <= 2);
    } else {
        // Whole four-year cycles (1461 days) shift far dates into the algorithm's range.
        const long long cycles = n < -2000000 ? -n / 1461 + 1 : 0;
        const long long f = n + cycles * 1461 + 2440588 + 1401, e = 4 * f + 3, g = (e % 1461) / 4, h = 5 * g + 2;
        r.day = int((h % 153) / 5 + 1);
        r.month = int((h / 153 + 2) % 12 + 1);
        r.year = e / 1461 - 4716 + (14 - r.month) / 12 - 4 * cycles;
    }
    return r;
}
inline int weekday(long long n) { return int(fmod(n + 4, 7)) + 1; } // 1 = Sunday

// The ERA and YEAR fields of an astronomical year.
inline int eraOf(long long year) {
    return year < 1 ? vesk::GregorianCalendarBase::BC : vesk::GregorianCalendarBase::AD;
}
inline int yearField(long long year) { return int(year < 1 ? 1 - year : year); }

// ---- weeks ----------------------------------------------------------------------------

// Start of week 1 of a year: the week holding its first day, if that week has
// enough of the year's days, else the week after.
inline long long week1(long long year, int firstDay, int minDays) {
    const long long first = days(year, 1, 1);
    const long long lead = fmod(weekday(first) - firstDay, 7);
    return 7 - lead >= minDays ? first - lead : first - lead + 7;
}
struct Week {
    long long year;
    int week;
};
inline Week weekOf(long long n, int firstDay, int minDays) {
    const long long y = dateOf(n).year;
    for (long long wy = y + 1; wy >= y - 1; --wy) {
        const long long start = week1(wy, firstDay, minDays);
        if (n >= start)
            return {wy, int((n - start) / 7 + 1)};
    }
    return {0, 0};
}
inline int weekOfMonth(long long n, int firstDay, int minDays) {
    const Date d = dateOf(n);
    const long long first = days(d.year, d.month, 1);
    const long long lead = fmod(weekday(first) - firstDay, 7);
    return int((n - (first - lead)) / 7 + (7 - lead >= minDays ? 1 : 0));
}

// ---- the system's calendar --------------------------------------------------------------

const __int64 fileTimeEpoch = 116444736000000000LL; // 1970-01-01 in 100 ns since 1601

// Milliseconds since 1970 of a FILETIME.
inline __int64 fileTimeMillis(const FILETIME& ft) {
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return (static_cast<__int64>(u.QuadPart) - fileTimeEpoch) / 10000;
}

// The instant of a UTC date by the system's own calendar (proleptic Gregorian, 1601 on).
inline __int64 systemMillis(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0,
                            WORD millis = 0) {
    const SYSTEMTIME st = {year, month, 0, day, hour, minute, second, millis};
    FILETIME ft;
    EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
    return fileTimeMillis(ft);
}

// ---- failures -----------------------------------------------------------------------------

// The message of the library exception `f` throws.
template <class F> std::string messageOf(F f) {
    try {
        f();
    } catch (const vesk::Exception& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

// ---- zones ----------------------------------------------------------------------------------

// The Gregorian suites' zone: +1 h, daylight saving +1 h from the last Sunday of
// March 02:00 to the last Sunday of October 03:00 (local standard time).
inline vesk::TimeZone europeLike() {
    typedef vesk::GregorianCalendarBase G;
    vesk::TimeZone z;
    z.SetStandardOffset(int(HOUR));
    z.SetDSTOffset(int(HOUR));
    z.SetStartRule(G::MARCH, -1, G::SUNDAY, int(2 * HOUR));
    z.SetEndRule(G::OCTOBER, -1, G::SUNDAY, int(3 * HOUR));
    return z;
}

} // namespace vesk_test
