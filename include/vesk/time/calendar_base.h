// GregorianCalendarBase: what the time and calendar classes share about the
// hybrid Julian/Gregorian reckoning - the cutover instant and year, the month,
// weekday and era enumerations, common-year month lengths, floor division and
// the leap-year rule - plus the library-wide default instance.
#pragma once

#include <vesk/config.h>
#include <vesk/time/time.h>

namespace vesk {

class TimeZone;

class VESK_API GregorianCalendarBase {
public:
    enum Month {
        JANUARY = 0,
        FEBRUARY = 1,
        MARCH = 2,
        APRIL = 3,
        MAY = 4,
        JUNE = 5,
        JULY = 6,
        AUGUST = 7,
        SEPTEMBER = 8,
        OCTOBER = 9,
        NOVEMBER = 10,
        DECEMBER = 11
    };
    enum DayOfWeek { SUNDAY = 1, MONDAY = 2, TUESDAY = 3, WEDNESDAY = 4, THURSDAY = 5, FRIDAY = 6, SATURDAY = 7 };
    enum Era { BC = 0, AD = 1 };

    // 1582-10-15 00:00 UTC, the first day of Gregorian reckoning by default.
    enum : __int64 { DEFAULT_CUTOVER = -12219292800000LL };
    enum : int { DEFAULT_CUTOVER_YEAR = 1582 };

    // Constant-initialised, so the default instance is usable before any dynamic
    // initialisation of the library runs.
    constexpr GregorianCalendarBase()
        : cutover(DEFAULT_CUTOVER), normalizedCutover(DEFAULT_CUTOVER), cutoverYear(DEFAULT_CUTOVER_YEAR) {}

    Time gregorianChange() const { return cutover; }

    // Length of a month in a common year (February is 28). Throws vesk::Exception
    // for a value outside JANUARY..DECEMBER.
    static short MonthLength(Month month);

    // The library-wide default instance: default cutover; Time::toXOpen and
    // Time::fromXOpen read it.
    static const GregorianCalendarBase Default;

protected:
    // Defined with the Gregorian calendar, which it needs to find the cutover year.
    void setGregorianChange(const Time& date, const TimeZone& zone);

    __int64 normalizedGregorianCutover() const { return normalizedCutover; }
    bool isGregorian(int year) const { return year >= cutoverYear; }
    // Gregorian rule from the cutover year on, Julian rule before it.
    bool isLeapYear(int year) const;

    // Division rounding toward minus infinity, remainder in 0..d-1. The divisor must
    // be positive (vesk::Exception otherwise); the forms that return a 32-bit
    // quotient throw vesk::Exception when it does not fit.
    static __int64 floorDivide(__int64 n, __int64 d);
    static int floorDivide(int n, int d);
    static int floorDivide(int n, int d, int& rem);
    static int floorDivide(__int64 n, int d, int& rem);

    Time cutover;
    __int64 normalizedCutover;
    int cutoverYear;

    friend class TimeZone;
};

} // namespace vesk
