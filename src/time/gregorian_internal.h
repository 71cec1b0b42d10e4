// What the two halves of GregorianCalendar share: day counts of both calendars,
// the field tables and limits, error helpers, a guard that undoes a failed
// operation, and the week numbering both halves use inline.
#pragma once

#include <vesk/errors/exception.h>
#include <vesk/time/gregorian_calendar.h>

#include <climits>
#include <cstdint>
#include <string>

namespace vesk {
namespace gregorian_detail {

constexpr __int64 DAY = 86400000;
constexpr __int64 WEEK = 7 * DAY;
// The local days that hold the first and the last instant of Time.
constexpr __int64 FIRST_DAY = LLONG_MIN / DAY - 1;
constexpr __int64 LAST_DAY = LLONG_MAX / DAY;

// Division toward minus infinity and its remainder, for positive divisors.
inline __int64 floorDiv(__int64 n, __int64 d) {
    const __int64 q = n / d;
    return (n % d < 0) ? q - 1 : q;
}
inline __int64 floorMod(__int64 n, __int64 d) {
    const __int64 r = n % d;
    return r < 0 ? r + d : r;
}
inline int mod7(__int64 n) { return int(floorMod(n, 7)); }
inline int mod7(int n) {
    const int r = n % 7;
    return r < 0 ? r + 7 : r;
}
// A time of day plus an offset back into one day, moving the day along.
inline void normalizeDay(__int64& day, __int64& millisInDay) {
    if (millisInDay >= 0 && millisInDay < DAY)
        return;
    day += floorDiv(millisInDay, DAY);
    millisInDay = floorMod(millisInDay, DAY);
}

// 1 = Sunday; local day 0 (1970-01-01) was a Thursday.
inline int dayOfWeekOf(__int64 day) { return int(floorMod(day + 4, 7)) + 1; }

const short DAYS_BEFORE[2][12] = {{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
                                  {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335}};
const signed char MONTH_LENGTH[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                         {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

inline bool julianLeap(__int64 year) { return year % 4 == 0; }
inline bool gregorianLeap(__int64 year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// Local day number of a date (month 0..11, any day count) in either calendar.
inline __int64 julianDay(__int64 year, int month, __int64 date) {
    const __int64 y = year - 1;
    return -719164 + 365 * y + floorDiv(y, 4) + DAYS_BEFORE[julianLeap(year)][month] + date - 1;
}
inline __int64 gregorianDay(__int64 year, int month, __int64 date) {
    const __int64 y = year - 1;
    return -719162 + 365 * y + floorDiv(y, 4) - floorDiv(y, 100) + floorDiv(y, 400) +
           DAYS_BEFORE[gregorianLeap(year)][month] + date - 1;
}

// A date of one calendar, year signed (0 = 1 BC).
struct CivilDate {
    __int64 year;
    int month;
    int dayOfMonth;
    int dayOfYear0;
    bool leap;
    int dayOfWeek; // 1 = Sunday; 0 when not computed (Julian)
};

// Month, day and day of year from a year counted from 1 March (the Euclidean-affine
// method: one multiply and shift each, so the leap day at its end needs no case).
inline void fromMarchDay(CivilDate& c, __int64 marchYear, std::uint32_t dayOfMarchYear) {
    const std::uint32_t n = 2141 * dayOfMarchYear + 197913;
    const bool janFeb = dayOfMarchYear >= 306;
    c.year = marchYear + janFeb;
    c.month = int(n >> 16) - (janFeb ? 13 : 1);
    c.dayOfMonth = int((n & 0xFFFF) / 2141) + 1;
    c.dayOfYear0 = int(janFeb ? dayOfMarchYear - 306 : dayOfMarchYear + 59 + c.leap);
}

inline CivilDate gregorianFromDay(__int64 day) {
    const __int64 n = day + 719468; // days since 0000-03-01
    const __int64 cycle = floorDiv(n, 146097);
    const std::uint32_t dayOfCycle = std::uint32_t(n - cycle * 146097);
    const std::uint32_t n1 = 4 * dayOfCycle + 3;
    const std::uint32_t century = n1 / 146097;
    const std::uint64_t p = std::uint64_t(2939745) * ((n1 % 146097) | 3);
    const std::uint32_t dayOfMarchYear = std::uint32_t(p) / 2939745 / 4;
    const __int64 marchYear = cycle * 400 + 100 * century + std::uint32_t(p >> 32);
    CivilDate c;
    c.dayOfWeek = int((dayOfCycle + 3) % 7) + 1; // a cycle is whole weeks; 0000-03-01 was a Wednesday
    c.leap = gregorianLeap(marchYear + (dayOfMarchYear >= 306));
    fromMarchDay(c, marchYear, dayOfMarchYear);
    return c;
}

inline CivilDate julianFromDay(__int64 day) {
    const __int64 n = 4 * (day + 719470) + 3; // from 0000-03-01 of the Julian calendar
    const __int64 marchYear = floorDiv(n, 1461);
    const std::uint32_t dayOfMarchYear = std::uint32_t(n - marchYear * 1461) / 4;
    CivilDate c;
    c.dayOfWeek = 0;
    c.leap = julianLeap(marchYear + (dayOfMarchYear >= 306));
    fromMarchDay(c, marchYear, dayOfMarchYear);
    return c;
}

const char* const FIELD_NAMES[Calendar::FIELD_COUNT] = {
    "ERA",         "YEAR",         "MONTH",  "WEEK_OF_YEAR", "WEEK_OF_MONTH", "DAY_OF_MONTH",
    "DAY_OF_YEAR", "DAY_OF_WEEK",  "DAY_OF_WEEK_IN_MONTH",   "AM_PM",         "HOUR",
    "HOUR_OF_DAY", "MINUTE",       "SECOND", "MILLISECOND",  "ZONE_OFFSET",   "DST_OFFSET"};

//                      minimum      least max    maximum
const int LIMITS[Calendar::FIELD_COUNT][3] = {
    {0, 1, 1},                         // ERA
    {1, 292269054, 292278994},         // YEAR
    {0, 11, 11},                       // MONTH
    {1, 52, 53},                       // WEEK_OF_YEAR
    {0, 4, 6},                         // WEEK_OF_MONTH
    {1, 28, 31},                       // DAY_OF_MONTH
    {1, 365, 366},                     // DAY_OF_YEAR
    {1, 7, 7},                         // DAY_OF_WEEK
    {-1, 4, 6},                        // DAY_OF_WEEK_IN_MONTH
    {0, 1, 1},                         // AM_PM
    {0, 11, 11},                       // HOUR
    {0, 23, 23},                       // HOUR_OF_DAY
    {0, 59, 59},                       // MINUTE
    {0, 59, 59},                       // SECOND
    {0, 999, 999},                     // MILLISECOND
    {-43200000, 43200000, 43200000},   // ZONE_OFFSET
    {0, 3600000, 3600000}};            // DST_OFFSET

const char OUT_OF_RANGE[] = "Can't compute the time: the date is outside the range of Time";

inline void checkUnsigned(unsigned field, const char* operation) {
    if (field >= Calendar::FIELD_COUNT)
        throw Exception(std::string("Can't ") + operation + " the calendar field " + std::to_string(field));
}

inline std::string quoted(unsigned field) { return std::string("\"") + FIELD_NAMES[field] + "\""; }

[[noreturn]] inline void throwAddRange(const char* operation, unsigned field, int amount) {
    throw Exception(std::string("Can't ") + operation + " " + std::to_string(amount) + " to the field " +
                    quoted(field) + ": the result is outside the range of Time");
}

// day * DAY + rest with rest in [0, DAY), false when it leaves the 64-bit range.
inline bool composeMillis(__int64 day, __int64 rest, __int64& out) {
    __int64 product;
    if (day >= 0)
        return !__builtin_mul_overflow(day, DAY, &product) && !__builtin_add_overflow(product, rest, &out);
    return !__builtin_mul_overflow(day + 1, DAY, &product) && !__builtin_add_overflow(product, rest - DAY, &out);
}

// Puts a calendar back as it was when an operation fails half-way.
class Restore {
public:
    explicit Restore(GregorianCalendar& c) : calendar(c), saved(c) {}
    ~Restore() {
        if (!done)
            calendar = saved;
    }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;
    void keep() { done = true; }
    const GregorianCalendar& original() const { return saved; }

private:
    GregorianCalendar& calendar;
    GregorianCalendar saved;
    bool done = false;
};

} // namespace gregorian_detail

using namespace gregorian_detail;

inline int GregorianCalendar::weekNumber(int dayOfPeriod, int dayOfWeek) const {
    const int start = mod7(dayOfWeek - firstDayOfWeek - dayOfPeriod + 1);
    int week = (dayOfPeriod + start - 1) / 7;
    if (7 - start >= minimalDaysInFirstWeek)
        ++week;
    return week;
}

inline int GregorianCalendar::weekOfYear(__int64 year, int dayOfYear, int dayOfWeek, int yearDays) const {
    const int relDow = mod7(dayOfWeek - firstDayOfWeek);
    const int relDowJan1 = mod7(relDow - dayOfYear + 1);
    int week = (relDowJan1 + dayOfYear - 1) / 7;
    if (7 - relDowJan1 >= minimalDaysInFirstWeek)
        ++week;
    // A last week that holds enough days of the next year is that year's week 1.
    if (dayOfYear > yearDays - 7) {
        const int lastRelDow = mod7(relDow + yearDays - dayOfYear);
        if (6 - lastRelDow >= minimalDaysInFirstWeek && dayOfYear - relDow + 7 > yearDays)
            return 1;
    }
    if (week == 0)
        return weekNumber(dayOfYear + yearLength(year - 1), dayOfWeek);
    return week;
}

} // namespace vesk
