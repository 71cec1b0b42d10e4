// Reference helpers of the time suites: the tests' own day counts of the proleptic
// Julian and Gregorian calendars (days_from_civil and the Julian day number), week
// numbering over them, the message a call throws, and the daylight-saving zone of
// the Gregorian suites. Nothing here calls the library's date arithmetic, so the
// suites check its cycle arithmetic against an independent count.
#pragma once

#include <vesk/config.h>

#include <vesk/errors/exception.h>
#include <vesk/time/time_zone.h>

#include <climits>
#include <string>

namespace vesk_test {

constexpr long long DAY = 86400000;
constexpr long long HOUR = 3600000;
constexpr long long MINUTE = 60000;
constexpr long long CUTOVER_DAY = -141427; // 1582-10-15

inline long long fdiv(long long a, long long b) { return a / b - (a % b < 0 ? 1 : 0); }
inline long long fmod(long long a, long long b) { return a - fdiv(a, b) * b; }

// Days since 1970-01-01 of a date (month 1..12, years astronomical: 0 = 1 BC).
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
// A hybrid whose first Gregorian day is `cut` (by default 1582-10-15; LLONG_MIN:
// Gregorian throughout, LLONG_MAX: Julian throughout); a date of the gap reads as Julian.
inline long long days(long long y, int m, int d, long long cut = CUTOVER_DAY) {
    if (cut == LLONG_MAX) return julianDays(y, m, d);
    const long long g = gregorianDays(y, m, d);
    return g >= cut ? g : julianDays(y, m, d);
}
inline int weekday(long long n) { return int(fmod(n + 4, 7)) + 1; } // 1 = Sunday

struct Date {
    long long year;
    int month, day;
};
// The date of a day number, Julian before the cutover day and Gregorian from it on,
// found by search in that calendar.
inline Date dateOf(long long n, long long cutoverDay = CUTOVER_DAY) {
    const bool julian = n < cutoverDay;
    long long (*count)(long long, int, int) = julian ? julianDays : gregorianDays;
    long long y = 1970 + (julian ? fdiv(4 * n, 1461) : fdiv(400 * n, 146097));
    while (count(y, 1, 1) > n) --y;
    while (count(y + 1, 1, 1) <= n) ++y;
    int m = 12;
    while (count(y, m, 1) > n) --m;
    return {y, m, int(n - count(y, m, 1) + 1)};
}

// The ERA and YEAR fields of an astronomical year.
inline int eraOf(long long year) { return year < 1 ? 0 : 1; }
inline int yearField(long long year) { return int(year < 1 ? 1 - year : year); }

// Start of week 1 of a year: the week holding 1 January if that week has enough
// of the year's days, else the week after.
inline long long week1(long long year, int firstDay, int minDays, long long cut = CUTOVER_DAY) {
    const long long first = days(year, 1, 1, cut), lead = fmod(weekday(first) - firstDay, 7);
    return 7 - lead >= minDays ? first - lead : first - lead + 7;
}
struct Week {
    long long year;
    int week;
};
inline Week weekOf(long long n, int firstDay, int minDays, long long cut = CUTOVER_DAY) {
    const long long y = dateOf(n, cut).year;
    for (long long wy = y + 1;; --wy)
        if (n >= week1(wy, firstDay, minDays, cut)) return {wy, int((n - week1(wy, firstDay, minDays, cut)) / 7 + 1)};
}
inline int weekOfMonth(long long n, int firstDay, int minDays, long long cut = CUTOVER_DAY) {
    const Date d = dateOf(n, cut);
    const long long first = days(d.year, d.month, 1, cut), lead = fmod(weekday(first) - firstDay, 7);
    return int((n - (first - lead)) / 7 + (7 - lead >= minDays ? 1 : 0));
}

// Rolling WEEK_OF_YEAR by k: among the days of n's year on n's weekday whose week
// is a week of that year, k places on, cyclically; a day of a neighbouring year's
// week counts one place beyond the end it adjoins. A roll by 0 does nothing.
inline long long weekRolled(long long n, int firstDay, int minDays, long long k, long long cut = CUTOVER_DAY) {
    if (k == 0) return n;
    const long long y = dateOf(n, cut).year, first = days(y, 1, 1, cut), last = days(y + 1, 1, 1, cut) - 1;
    long long lo = first + fmod(n - first, 7), hi = lo + (last - lo) / 7 * 7;
    if (weekOf(lo, firstDay, minDays, cut).year != y) lo += 7;
    if (weekOf(hi, firstDay, minDays, cut).year != y) hi -= 7;
    return lo + 7 * fmod(fdiv(n - lo, 7) + k, (hi - lo) / 7 + 1);
}

// The message of the library exception `f` throws.
template <class F> std::string messageOf(F f) {
    try {
        f();
    } catch (const vesk::Exception& e) {
        return e.what();
    }
    return "(nothing thrown)";
}
inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// +1 h, daylight saving +1 h from the last Sunday of March 02:00 to the last
// Sunday of October 03:00 (local standard time).
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
