// Local time through a rule-based TimeZone: 10^6 instants turned into local
// calendar fields and back, against the system's FileTimeToSystemTime +
// SystemTimeToTzSpecificLocalTime (and TzSpecificLocalTimeToSystemTime +
// SystemTimeToFileTime back) doing the same work with the same zone rules.
#include "harness.h"

#include <vesk/time/calendar_base.h>
#include <vesk/time/time.h>
#include <vesk/time/time_zone.h>

#include <cstdio>
#include <vector>

using vesk::GregorianCalendarBase;
using vesk::TimeZone;

namespace {

const __int64 DAY = 86400000;
const __int64 fileTimeEpoch = 116444736000000000LL;
const short daysBefore[2][12] = {{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
                                 {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335}};

struct Fields {
    int year, month, day, dayOfWeek, millis; // month 0-based, dayOfWeek 1 = Sunday
};

// Day-number conversions of the Gregorian calendar over the base's floor division
// and leap-year rule (days count from 1970-01-01).
struct Days : GregorianCalendarBase {
    bool leap(int year) const { return isLeapYear(year); }
    Fields fromMillis(__int64 local) const {
        Fields f;
        int rem;
        const int day = floorDivide(local, static_cast<int>(DAY), rem);
        f.millis = rem;
        const int d = day + 719162; // day 0: Monday 0001-01-01
        const int c400 = floorDivide(d, 146097, rem);
        const int c100 = floorDivide(rem, 36524, rem);
        const int c4 = floorDivide(rem, 1461, rem);
        const int c1 = floorDivide(rem, 365, rem);
        int year = 400 * c400 + 100 * c100 + 4 * c4 + c1;
        int dayOfYear = rem;
        if (c100 == 4 || c1 == 4)
            dayOfYear = 365;
        else
            ++year;
        const bool isLeap = leap(year);
        const int correction = dayOfYear >= (isLeap ? 60 : 59) ? (isLeap ? 1 : 2) : 0;
        const int month = (12 * (dayOfYear + correction) + 6) / 367;
        f.year = year;
        f.month = month;
        f.day = dayOfYear - daysBefore[isLeap][month] + 1;
        f.dayOfWeek = (d + 1) % 7 + 1;
        return f;
    }
    __int64 toMillis(const Fields& f) const {
        const int y = f.year - 1;
        const __int64 day = 365LL * y + floorDivide(y, 4) - floorDivide(y, 100) + floorDivide(y, 400) - 719162 +
                            daysBefore[leap(f.year)][f.month] + f.day - 1;
        return day * DAY + f.millis;
    }
};
const Days days;

int offsetAtStandardLocal(const TimeZone& zone, const Fields& f) {
    return zone.GetOffset(GregorianCalendarBase::AD, f.year, static_cast<GregorianCalendarBase::Month>(f.month),
                          f.day, static_cast<GregorianCalendarBase::DayOfWeek>(f.dayOfWeek), f.millis);
}

// Instant to local wall-clock fields, the way a calendar does it.
Fields toLocal(const TimeZone& zone, __int64 utc) {
    const __int64 standard = utc + zone.GetStandardOffset();
    Fields f = days.fromMillis(standard);
    const int dst = offsetAtStandardLocal(zone, f) - zone.GetStandardOffset();
    if (dst != 0) f = days.fromMillis(standard + dst);
    return f;
}

// Local wall-clock fields back to the instant: the offset is looked up at the
// standard-time reading of the wall clock.
__int64 fromLocal(const TimeZone& zone, const Fields& f) {
    const __int64 wall = days.toMillis(f);
    const Fields standard = days.fromMillis(wall);
    const int offset = offsetAtStandardLocal(zone, standard);
    return wall - offset;
}

SYSTEMTIME transition(WORD month, WORD day, WORD hour) {
    SYSTEMTIME st = {};
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    return st;
}

} // namespace

int main() {
    const int n = 1000000;

    // Central European rules: last Sunday of March 02:00 to last Sunday of October 03:00.
    TIME_ZONE_INFORMATION info = {};
    info.Bias = -60;
    info.StandardDate = transition(10, 5, 3);
    info.DaylightDate = transition(3, 5, 2);
    info.DaylightBias = -60;
    const TimeZone zone = TimeZone::fromTimeZoneInformation(info);

    // Instants spread over 1990..2030, with a step that lands on every time of day.
    std::vector<__int64> instants(n);
    const __int64 first = 631152000000LL, span = 1893456000000LL - first;
    for (int i = 0; i < n; ++i) instants[i] = first + (static_cast<__int64>(i) * 2654435761LL) % span;

    // The platform's side: an instant to local wall-clock fields in the same zone.
    const auto systemLocal = [&info](__int64 instant) {
        ULARGE_INTEGER u;
        u.QuadPart = static_cast<ULONGLONG>(instant * 10000 + fileTimeEpoch);
        FILETIME ft = {u.LowPart, u.HighPart};
        SYSTEMTIME utc, local;
        FileTimeToSystemTime(&ft, &utc);
        SystemTimeToTzSpecificLocalTime(&info, &utc, &local);
        return local;
    };

    // Both sides must agree before their speed is worth comparing.
    int fieldMismatches = 0, roundTripMismatches = 0;
    for (int i = 0; i < n; i += 97) {
        const Fields f = toLocal(zone, instants[i]);
        const SYSTEMTIME local = systemLocal(instants[i]);
        const int millis = ((local.wHour * 60 + local.wMinute) * 60 + local.wSecond) * 1000 + local.wMilliseconds;
        if (f.year != local.wYear || f.month != local.wMonth - 1 || f.day != local.wDay ||
            f.dayOfWeek != local.wDayOfWeek + 1 || f.millis != millis)
            ++fieldMismatches;
        if (fromLocal(zone, f) != instants[i]) ++roundTripMismatches;
    }
    std::printf("time zone conversions, %d instants per run (1990-2030, Central European rules)\n", n);
    std::printf("checked every 97th: %d local-field mismatches against the system, %d round trips that differ "
                "(the repeated hour in autumn)\n",
                fieldMismatches, roundTripMismatches);

    const double veskToLocal = bench::median([&] {
        for (int i = 0; i < n; ++i) bench::keep(toLocal(zone, instants[i]).millis);
    }, 5);
    const double systemToLocal = bench::median([&] {
        for (int i = 0; i < n; ++i) bench::keep(systemLocal(instants[i]).wMilliseconds);
    }, 5);
    bench::report("TimeZone: instant -> local fields", veskToLocal, "FileTime/TzSpecificLocalTime", systemToLocal, n);

    const double veskRoundTrip = bench::median([&] {
        for (int i = 0; i < n; ++i) bench::keep(fromLocal(zone, toLocal(zone, instants[i])));
    }, 5);
    const double systemRoundTrip = bench::median([&] {
        for (int i = 0; i < n; ++i) {
            const SYSTEMTIME local = systemLocal(instants[i]);
            SYSTEMTIME back;
            FILETIME ft;
            TzSpecificLocalTimeToSystemTime(&info, &local, &back);
            SystemTimeToFileTime(&back, &ft);
            bench::keep(ft.dwLowDateTime);
        }
    }, 5);
    bench::report("TimeZone: instant -> local -> instant", veskRoundTrip, "system, there and back", systemRoundTrip, n);
    return 0;
}
