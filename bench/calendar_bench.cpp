// GregorianCalendar: 10^6 operations each of setTime plus reading every field,
// set of a date and time plus getTime, add(DAY_OF_MONTH, 1) and roll(MONTH, 1),
// against the system's FileTimeToSystemTime breaking down the same instants and
// against a hand-written floor: the Euclidean-affine day-to-date conversion
// giving year, month, day, weekday, day of year and time of day, and nothing else.
#include "harness.h"

#include <vesk/time/gregorian_calendar.h>

#include <cstdint>
#include <cstdio>

using vesk::Calendar;
using vesk::GregorianCalendar;
using vesk::Time;
using vesk::TimeZone;

namespace {

const int N = 1000000;
const __int64 DAY = 86400000;
const __int64 START = 1072915200000LL; // 2004-01-01 UTC
const __int64 STEP = 7 * 3600000LL + 12345; // walks over ~800 years' worth of hours

TimeZone europeLike() {
    TimeZone z;
    z.SetStandardOffset(3600000);
    z.SetDSTOffset(3600000);
    z.SetStartRule(vesk::GregorianCalendarBase::MARCH, -1, vesk::GregorianCalendarBase::SUNDAY, 7200000);
    z.SetEndRule(vesk::GregorianCalendarBase::OCTOBER, -1, vesk::GregorianCalendarBase::SUNDAY, 10800000);
    return z;
}

double systemBreakDown() {
    return bench::median([] {
        unsigned long long sum = 0;
        for (int i = 0; i < N; ++i) {
            ULARGE_INTEGER u;
            u.QuadPart = static_cast<ULONGLONG>((START + i * STEP) * 10000 + 116444736000000000LL);
            FILETIME ft = {u.LowPart, u.HighPart};
            SYSTEMTIME st;
            FileTimeToSystemTime(&ft, &st);
            sum += st.wYear + st.wMonth + st.wDay + st.wHour + st.wMinute + st.wSecond + st.wDayOfWeek;
        }
        bench::keep(sum);
    });
}

struct Civil {
    int year, month, day, weekday, dayOfYear, millisOfDay;
};

// Days since 1970-01-01 to a Gregorian date with one division by the 400-year
// cycle and multiply-shift steps for the century, year, month and day (the
// Euclidean-affine method), for instants from 1970 to about 8000.
inline Civil civilFromMillis(__int64 ms) {
    const std::uint32_t days = std::uint32_t(std::uint64_t(ms) / DAY);
    const int millisOfDay = int(std::uint64_t(ms) % DAY);
    const std::uint32_t n = days + 719468; // days since 0000-03-01
    const std::uint32_t n1 = 4 * n + 3;
    const std::uint32_t century = n1 / 146097;
    const std::uint32_t n2 = (n1 % 146097) | 3;
    const std::uint64_t p2 = std::uint64_t(2939745) * n2;
    const std::uint32_t yearOfCentury = std::uint32_t(p2 >> 32);
    const std::uint32_t dayOfYear = std::uint32_t(p2) / 2939745 / 4; // from 1 March
    const std::uint32_t n3 = 2141 * dayOfYear + 197913;
    const bool janFeb = dayOfYear >= 306;
    Civil c;
    c.year = int(100 * century + yearOfCentury + janFeb);
    c.month = int(janFeb ? (n3 >> 16) - 12 : n3 >> 16);
    c.day = int((n3 & 0xFFFF) / 2141) + 1;
    const bool leap = (c.year % 4 == 0) & ((c.year % 100 != 0) | (c.year % 400 == 0));
    c.dayOfYear = int(janFeb ? dayOfYear - 305 : dayOfYear + 60 + leap);
    c.weekday = int((n + 3) % 7); // 0 = Sunday
    c.millisOfDay = millisOfDay;
    return c;
}

double floorBreakDown() {
    return bench::median([] {
        unsigned long long sum = 0;
        for (int i = 0; i < N; ++i) {
            const Civil c = civilFromMillis(START + i * STEP);
            sum += c.year + c.month + c.day + c.weekday + c.dayOfYear + c.millisOfDay / 3600000 +
                   c.millisOfDay / 60000 % 60 + c.millisOfDay / 1000 % 60;
        }
        bench::keep(sum);
    });
}

// The floor must agree with the system before it is used as a yardstick.
bool floorAgrees() {
    for (int i = 0; i < N; i += 97) {
        const __int64 ms = START + i * STEP;
        ULARGE_INTEGER u;
        u.QuadPart = static_cast<ULONGLONG>(ms * 10000 + 116444736000000000LL);
        FILETIME ft = {u.LowPart, u.HighPart};
        SYSTEMTIME st;
        FileTimeToSystemTime(&ft, &st);
        const Civil c = civilFromMillis(ms);
        if (c.year != st.wYear || c.month != st.wMonth || c.day != st.wDay || c.weekday != st.wDayOfWeek ||
            c.millisOfDay / 3600000 != st.wHour || c.millisOfDay / 60000 % 60 != st.wMinute) {
            std::printf("floor disagrees with FileTimeToSystemTime at %lld\n", static_cast<long long>(ms));
            return false;
        }
    }
    return true;
}

void report(const char* subject, double seconds, double system, double floor) {
    bench::report(subject, seconds, "FileTimeToSystemTime", system, N);
    std::printf("%-44s %10s%9s%-28s %10.1f ns/op   ratio %.2f\n", "", "", "", "floor (civil from days)",
                floor * 1e9 / N, seconds / floor);
}

} // namespace

int main() {
    if (!floorAgrees())
        return 1;
    const double baseline = systemBreakDown();
    const double floor = floorBreakDown();
    bench::report("floor (civil from days)", floor, "FileTimeToSystemTime", baseline, N);
    GregorianCalendar cal(europeLike());

    const double fields = bench::median([&cal] {
        long long sum = 0;
        for (int i = 0; i < N; ++i) {
            cal.setTime(Time(START + i * STEP));
            for (unsigned f = 0; f < Calendar::FIELD_COUNT; ++f)
                sum += cal.get(f);
        }
        bench::keep(sum);
    });
    report("setTime + all 17 fields", fields, baseline, floor);

    const double toTime = bench::median([&cal] {
        long long sum = 0;
        for (int i = 0; i < N; ++i) {
            cal.set(1900 + i % 200, i % 12, 1 + i % 28, i % 24, i % 60, i % 59);
            sum += cal.getTime();
        }
        bench::keep(sum);
    });
    report("set(y, m, d, h, min, s) + getTime", toTime, baseline, floor);

    cal.setTime(Time(START));
    const double addDay = bench::median([&cal] {
        for (int i = 0; i < N; ++i)
            cal.add(Calendar::DAY_OF_MONTH, 1);
        bench::keep(cal.get(Calendar::YEAR));
    });
    report("add(DAY_OF_MONTH, 1)", addDay, baseline, floor);

    cal.setTime(Time(START + 30 * DAY));
    const double rollMonth = bench::median([&cal] {
        for (int i = 0; i < N; ++i)
            cal.roll(Calendar::MONTH, 1);
        bench::keep(cal.get(Calendar::DAY_OF_MONTH));
    });
    report("roll(MONTH, 1)", rollMonth, baseline, floor);
    return 0;
}
