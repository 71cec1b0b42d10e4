// Tour stop: instants as Time values, shown in UTC and in a rule-based zone on
// both sides of the spring and autumn transitions.
#include "tour.h"

#include <vesk/time/time.h>
#include <vesk/time/time_zone.h>

typedef vesk::GregorianCalendarBase G;

namespace {

SYSTEMTIME breakDown(__int64 ms) {
    ULARGE_INTEGER u;
    u.QuadPart = static_cast<ULONGLONG>(ms * 10000 + 116444736000000000LL);
    FILETIME ft = {u.LowPart, u.HighPart};
    SYSTEMTIME st;
    FileTimeToSystemTime(&ft, &st);
    return st;
}

// The zone is asked with the local standard date, its weekday and time of day.
int offsetAt(const vesk::TimeZone& zone, vesk::Time t) {
    const SYSTEMTIME st = breakDown(t + zone.GetStandardOffset());
    const int millis = ((st.wHour * 60 + st.wMinute) * 60 + st.wSecond) * 1000 + st.wMilliseconds;
    return zone.GetOffset(G::AD, st.wYear, static_cast<G::Month>(st.wMonth - 1), st.wDay,
                          static_cast<G::DayOfWeek>(st.wDayOfWeek + 1), millis);
}

void show(const vesk::TimeZone& zone, const char* standardName, const char* daylightName, vesk::Time t) {
    const SYSTEMTIME u = breakDown(t);
    const int offset = offsetAt(zone, t);
    const SYSTEMTIME l = breakDown(t + offset);
    const int minutes = (offset < 0 ? -offset : offset) / 60000;
    std::printf("  %lld ms = %04u-%02u-%02u %02u:%02u:%02u.%03u UTC = %04u-%02u-%02u %02u:%02u:%02u.%03u %-4s (UTC%c%02d:%02d)\n",
                static_cast<long long>(t), u.wYear, u.wMonth, u.wDay, u.wHour, u.wMinute, u.wSecond, u.wMilliseconds,
                l.wYear, l.wMonth, l.wDay, l.wHour, l.wMinute, l.wSecond, l.wMilliseconds,
                offset == zone.GetStandardOffset() ? standardName : daylightName, offset < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
}

void timeStop() {
    // Central European time: daylight saving from the last Sunday of March, 02:00,
    // to the last Sunday of October, 03:00 daylight time (02:00 standard time).
    vesk::TimeZone berlin("Europe/Berlin");
    berlin.SetStandardOffset(3600000);
    berlin.SetDSTOffset(3600000);
    berlin.SetStartRule(G::MARCH, -1, G::SUNDAY, 2 * 3600000);
    berlin.SetEndRule(G::OCTOBER, -1, G::SUNDAY, 2 * 3600000);

    const vesk::Time spring = 1711846800000LL; // 2024-03-31 01:00 UTC
    const vesk::Time autumn = 1729990800000LL; // 2024-10-27 01:00 UTC
    std::printf("spring forward:\n");
    show(berlin, "CET", "CEST", spring - 1);
    show(berlin, "CET", "CEST", spring + 1);
    std::printf("fall back:\n");
    show(berlin, "CET", "CEST", autumn - 1);
    show(berlin, "CET", "CEST", autumn + 1);

    const vesk::Time now = vesk::Time::current();
    std::printf("now: %lld ms, time_t %ld, UUID timestamp 0x%016llx; system zone offset now %d min\n",
                static_cast<long long>(now), now.toTimeT(), static_cast<unsigned long long>(now.toXOpen()),
                offsetAt(vesk::TimeZone::current(), now) / 60000);
}

} // namespace

TOUR_STOP(40, "Time: instants and time zones", timeStop);
