// Tour stop: the Gregorian calendar - a month laid out in weeks, and a few
// add/roll calls, including the days around the 1582 cutover and a week roll
// from week 1.
#include "tour.h"

#include <vesk/time/gregorian_calendar.h>

using vesk::Calendar;
using vesk::GregorianCalendar;
using G = vesk::GregorianCalendarBase;

namespace {

const char* const MONTHS[] = {"January", "February", "March",     "April",   "May",      "June",
                              "July",    "August",   "September", "October", "November", "December"};
const char* const DAYS[] = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};

void printDate(const char* label, GregorianCalendar& c) {
    std::printf("  %-34s %s %d %s %d%s, %02d:%02d, day %d of the year, week %d\n", label,
                DAYS[c.get(Calendar::DAY_OF_WEEK) - 1], c.get(Calendar::DAY_OF_MONTH), MONTHS[c.get(Calendar::MONTH)],
                c.get(Calendar::YEAR), c.get(Calendar::ERA) == G::BC ? " BC" : "", c.get(Calendar::HOUR_OF_DAY),
                c.get(Calendar::MINUTE), c.get(Calendar::DAY_OF_YEAR), c.get(Calendar::WEEK_OF_YEAR));
}

// One line per week: the week of the year, then the days under their weekday.
void printMonth(GregorianCalendar c) {
    c.set(Calendar::DAY_OF_MONTH, c.getActualMinimum(Calendar::DAY_OF_MONTH));
    const int month = c.get(Calendar::MONTH);
    std::printf("\n  %s %d (weeks from %s, %d day(s) make a first week)\n   wk ", MONTHS[month], c.get(Calendar::YEAR),
                DAYS[c.getFirstDayOfWeek() - 1], c.getMinimalDaysInFirstWeek());
    for (int i = 0; i < 7; ++i)
        std::printf(" %s", DAYS[(c.getFirstDayOfWeek() - 1 + i) % 7]);
    std::printf("\n");
    int column = 7;
    while (c.get(Calendar::MONTH) == month) {
        const int position = (c.get(Calendar::DAY_OF_WEEK) - c.getFirstDayOfWeek() + 7) % 7;
        if (column == 7 || position == 0) {
            std::printf("%s   %2d %*s", column == 7 ? "" : "\n", c.get(Calendar::WEEK_OF_YEAR), position * 3, "");
        }
        std::printf(" %2d", c.get(Calendar::DAY_OF_MONTH));
        column = position;
        c.add(Calendar::DAY_OF_MONTH, 1);
    }
    std::printf("\n");
}

void calendarStop() {
    vesk::TimeZone zone; // UTC+1 with daylight saving, last Sunday of March to last Sunday of October
    zone.SetStandardOffset(3600000);
    zone.SetDSTOffset(3600000);
    zone.SetStartRule(G::MARCH, -1, G::SUNDAY, 2 * 3600000);
    zone.SetEndRule(G::OCTOBER, -1, G::SUNDAY, 3 * 3600000);

    GregorianCalendar c(zone);
    c.setFirstDayOfWeek(G::MONDAY);
    c.setMinimalDaysInFirstWeek(4);
    c.Clear();
    c.set(2004, G::FEBRUARY, 29, 9, 30);
    printMonth(c);
    std::printf("\n");
    printDate("set(2004, FEBRUARY, 29, 9, 30):", c);
    GregorianCalendar a = c;
    a.add(Calendar::YEAR, 1);
    printDate("add(YEAR, 1):", a);
    a = c;
    a.add(Calendar::MONTH, -1);
    printDate("add(MONTH, -1):", a);
    a = c;
    a.add(Calendar::DAY_OF_MONTH, 28);
    printDate("add(DAY_OF_MONTH, 28) (into DST):", a);
    std::printf("  %-34s %s\n", "  in daylight saving time?", a.InDaylightTime() ? "yes" : "no");
    a = c;
    a.roll(Calendar::MONTH, 11);
    printDate("roll(MONTH, 11):", a);
    a = c;
    a.roll(Calendar::DAY_OF_MONTH, 1);
    printDate("roll(DAY_OF_MONTH, 1):", a);
    a = c;
    a.roll(Calendar::WEEK_OF_YEAR, -10);
    printDate("roll(WEEK_OF_YEAR, -10):", a);
    std::printf("  actual maxima: DAY_OF_MONTH %d, DAY_OF_YEAR %d, WEEK_OF_YEAR %d, WEEK_OF_MONTH %d\n",
                c.getActualMaximum(Calendar::DAY_OF_MONTH), c.getActualMaximum(Calendar::DAY_OF_YEAR),
                c.getActualMaximum(Calendar::WEEK_OF_YEAR), c.getActualMaximum(Calendar::WEEK_OF_MONTH));

    c.Clear();
    c.set(1582, G::OCTOBER, 4, 12, 0);
    printMonth(c);
    std::printf("\n");
    printDate("set(1582, OCTOBER, 4, 12, 0):", c);
    a = c;
    a.add(Calendar::DAY_OF_MONTH, 1);
    printDate("add(DAY_OF_MONTH, 1):", a);
    a = c;
    a.roll(Calendar::DAY_OF_MONTH, 20);
    printDate("roll(DAY_OF_MONTH, 20):", a);
    std::printf("  actual maxima in 1582: DAY_OF_MONTH %d, DAY_OF_YEAR %d, WEEK_OF_YEAR %d\n",
                c.getActualMaximum(Calendar::DAY_OF_MONTH), c.getActualMaximum(Calendar::DAY_OF_YEAR),
                c.getActualMaximum(Calendar::WEEK_OF_YEAR));
    a = c;
    a.add(Calendar::YEAR, -1582);
    printDate("add(YEAR, -1582):", a);

    // Weeks from Sunday, one day makes a first week: 30 December 2004 already lies
    // in week 1 of 2005, so week 1 of 2004 rolled back lands a week earlier.
    c.setFirstDayOfWeek(G::SUNDAY);
    c.setMinimalDaysInFirstWeek(1);
    c.Clear();
    c.set(2004, G::JANUARY, 1, 10, 0);
    std::printf("\n");
    printDate("set(2004, JANUARY, 1, 10, 0):", c);
    a = c;
    a.roll(Calendar::WEEK_OF_YEAR, -1);
    printDate("roll(WEEK_OF_YEAR, -1):", a);
}

} // namespace

TOUR_STOP(41, "Gregorian calendar: weeks, add and roll", calendarStop);
