// GregorianCalendar: 10^6 operations each of setTime plus reading every field,
// set of a date and time plus getTime, add(DAY_OF_MONTH, 1) and roll(MONTH, 1),
// against the system's FileTimeToSystemTime breaking down the same instants.
#include "harness.h"

#include <vesk/time/gregorian_calendar.h>

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

} // namespace

int main() {
    const double baseline = systemBreakDown();
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
    bench::report("setTime + all 17 fields", fields, "FileTimeToSystemTime", baseline, N);

    const double toTime = bench::median([&cal] {
        long long sum = 0;
        for (int i = 0; i < N; ++i) {
            cal.set(1900 + i % 200, i % 12, 1 + i % 28, i % 24, i % 60, i % 59);
            sum += cal.getTime();
        }
        bench::keep(sum);
    });
    bench::report("set(y, m, d, h, min, s) + getTime", toTime, "FileTimeToSystemTime", baseline, N);

    cal.setTime(Time(START));
    const double addDay = bench::median([&cal] {
        for (int i = 0; i < N; ++i)
            cal.add(Calendar::DAY_OF_MONTH, 1);
        bench::keep(cal.get(Calendar::YEAR));
    });
    bench::report("add(DAY_OF_MONTH, 1)", addDay, "FileTimeToSystemTime", baseline, N);

    cal.setTime(Time(START + 30 * DAY));
    const double rollMonth = bench::median([&cal] {
        for (int i = 0; i < N; ++i)
            cal.roll(Calendar::MONTH, 1);
        bench::keep(cal.get(Calendar::DAY_OF_MONTH));
    });
    bench::report("roll(MONTH, 1)", rollMonth, "FileTimeToSystemTime", baseline, N);
    return 0;
}
