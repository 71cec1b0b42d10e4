// GregorianCalendar, the second half: field limits (fixed and actual), add and
// roll of every field, and the queries on the current date (daylight saving, the
// week-based year).
#include <vesk/time/gregorian_calendar.h>

#include <algorithm>

#include "gregorian_internal.h"

namespace vesk {

// ---- limits --------------------------------------------------------------------

int GregorianCalendar::getMinimum(int field) {
    checkIndex(field, "get the minimum of");
    return LIMITS[field][0];
}

int GregorianCalendar::getGreatestMinimum(int field) {
    checkIndex(field, "get the greatest minimum of");
    return LIMITS[field][0];
}

int GregorianCalendar::getLeastMaximum(int field) {
    checkIndex(field, "get the least maximum of");
    return LIMITS[field][1];
}

int GregorianCalendar::getMaximum(int field) {
    checkIndex(field, "get the maximum of");
    return LIMITS[field][2];
}

int GregorianCalendar::getActualMinimum(int field) {
    checkIndex(field, "get the actual minimum of");
    if (field != int(DAY_OF_MONTH))
        return LIMITS[field][0];
    // A month that the cutover cuts at its start begins after its 1st.
    complete();
    const __int64 year = signedYear();
    const Period p = monthPeriod(year, fields[MONTH]);
    if (p.julianCount > 0 || p.gregorianCount == 0)
        return 1;
    return int(p.gregorianFirst - gregorianDay(year, fields[MONTH], 1) + 1);
}

int GregorianCalendar::getActualMaximum(int field) {
    checkIndex(field, "get the actual maximum of");
    switch (field) {
    case DAY_OF_MONTH:
        complete();
        return monthLength(fields[MONTH], signedYear());
    case DAY_OF_YEAR:
        complete();
        return yearLength(signedYear());
    case WEEK_OF_YEAR: {
        complete();
        const __int64 year = signedYear();
        const int days = yearLength(year);
        const int lastDow = dayOfWeekOf(yearPeriod(year).dayAt(days));
        int week = weekOfYear(year, days, lastDow, days);
        // The last days may open the next year's week 1; the week before is the last.
        if (week == 1 && days > 7)
            week = weekOfYear(year, days - 7, lastDow, days);
        return week;
    }
    case WEEK_OF_MONTH: {
        complete();
        const Period p = monthPeriod(signedYear(), fields[MONTH]);
        const int days = int(p.count());
        return weekNumber(days, dayOfWeekOf(p.dayAt(days)));
    }
    case DAY_OF_WEEK_IN_MONTH: {
        complete();
        const Period p = monthPeriod(signedYear(), fields[MONTH]);
        const int firstSame = mod7(fields[DAY_OF_WEEK] - dayOfWeekOf(p.first()));
        return int((p.count() - 1 - firstSame) / 7 + 1);
    }
    case YEAR:
        return actualMaximumYear();
    default:
        return LIMITS[field][2];
    }
}

// The largest year of the current era in which the calendar's date and time of day
// still lie within the range of Time (a binary search over the last few thousand).
int GregorianCalendar::actualMaximumYear() {
    complete();
    const int era = fields[ERA];
    GregorianCalendar probe(*this);
    probe.setLenient(true);
    int lowGood = LIMITS[YEAR][1];
    int highBad = LIMITS[YEAR][2] + 1;
    while (lowGood + 1 < highBad) {
        const int year = lowGood + (highBad - lowGood) / 2;
        probe.set(YEAR, year);
        bool good = false;
        try {
            good = probe.get(YEAR) == year && probe.get(ERA) == era;
        } catch (const Exception&) {
            good = false;
        }
        if (good) {
            lowGood = year;
        } else {
            highBad = year;
            probe = *this;
            probe.setLenient(true);
        }
    }
    return lowGood;
}

// ---- arithmetic -------------------------------------------------------------------

// Recomputes after an operation's own sets; its results never need strictness.
void GregorianCalendar::commit() {
    const bool wasLenient = isLenient();
    setLenient(true);
    try {
        complete();
    } catch (...) {
        setLenient(wasLenient);
        throw;
    }
    setLenient(wasLenient);
}

void GregorianCalendar::setSignedYear(__int64 year, unsigned field, int amount) {
    if (year > INT_MAX || year < INT_MIN + 2)
        throwAddRange("add", field, amount);
    set(ERA, year > 0 ? AD : BC);
    set(YEAR, int(year > 0 ? year : 1 - year));
}

// Moves to another local day at the same wall-clock time of day. The new instant
// is found before anything changes, so a day outside Time leaves all as it was.
void GregorianCalendar::moveToDay(__int64 day, __int64 year, int month, int dayOfMonth) {
    setTimeInMillis(instantAt(day, timeOfDayMillis(), year, month, dayOfMonth));
}

void GregorianCalendar::add(unsigned field, int amount) {
    checkUnsigned(field, "add to");
    if (amount == 0)
        return;
    complete();
    if (field == ERA || field == YEAR || field == MONTH) {
        addToDate(field, amount);
        return;
    }
    addMillis(field, amount);
}

// ERA, YEAR, MONTH: through the fields, pinned to the month's last day.
void GregorianCalendar::addToDate(unsigned field, int amount) {
    Restore guard(*this); // may fail half-way
    switch (field) {
    case ERA: {
        const int era = int(std::min<__int64>(1, std::max<__int64>(0, static_cast<__int64>(fields[ERA]) + amount)));
        if (era != fields[ERA]) {
            set(ERA, era);
            pinDayOfMonth();
            commit();
        }
        break;
    }
    case YEAR:
        setSignedYear(signedYear() + amount, field, amount);
        pinDayOfMonth();
        commit();
        break;
    case MONTH: {
        const __int64 months = signedYear() * 12 + fields[MONTH] + amount;
        setSignedYear(floorDiv(months, 12), field, amount);
        set(MONTH, int(floorMod(months, 12)));
        pinDayOfMonth();
        commit();
        break;
    }
    }
    guard.keep();
}

// Every other field moves the instant; day and week fields keep the wall clock.
void GregorianCalendar::addMillis(unsigned field, int amount) {
    {
        __int64 unit;
        bool keepWallClock = true;
        switch (field) {
        case WEEK_OF_YEAR:
        case WEEK_OF_MONTH:
        case DAY_OF_WEEK_IN_MONTH: unit = WEEK; break;
        case DAY_OF_MONTH:
        case DAY_OF_YEAR:
        case DAY_OF_WEEK: unit = DAY; break;
        case AM_PM: unit = DAY / 2; break;
        case HOUR:
        case HOUR_OF_DAY: unit = 3600000; keepWallClock = false; break;
        case MINUTE: unit = 60000; keepWallClock = false; break;
        case SECOND: unit = 1000; keepWallClock = false; break;
        case MILLISECOND: unit = 1; keepWallClock = false; break;
        default: unit = 1; break; // ZONE_OFFSET, DST_OFFSET
        }
        const __int64 delta = amount * unit;
        __int64 target;
        if (__builtin_add_overflow(time, delta, &target))
            throwAddRange("add", field, amount);
        const int dstBefore = fields[DST_OFFSET];
        __int64 wallBefore = 0;
        const bool wallKnown =
            !__builtin_add_overflow(time, static_cast<__int64>(fields[ZONE_OFFSET]) + dstBefore, &wallBefore);
        setTimeInMillis(target);
        const int dstAfter = fields[DST_OFFSET];
        if (keepWallClock && dstAfter != dstBefore && wallKnown) {
            // Undo the daylight-saving change, unless the wall-clock time does not
            // exist on the target day (then the plain move stands).
            __int64 adjusted, wanted, wall;
            if (!__builtin_add_overflow(target, static_cast<__int64>(dstBefore) - dstAfter, &adjusted) &&
                !__builtin_add_overflow(wallBefore, delta, &wanted)) {
                setTimeInMillis(adjusted);
                if (__builtin_add_overflow(adjusted, static_cast<__int64>(fields[ZONE_OFFSET]) + fields[DST_OFFSET], &wall) ||
                    wall != wanted)
                    setTimeInMillis(target);
            }
        }
    }
}

void GregorianCalendar::roll(unsigned field, bool up) { roll(field, up ? 1 : -1); }

void GregorianCalendar::rollHour(unsigned field, int amount) {
    const int unit = field == HOUR ? 12 : 24;
    const int hour = fields[field];
    const int rolled = int(floorMod(static_cast<__int64>(hour) + amount, unit));
    if (rolled == hour)
        return;
    const GregorianCalendar original(*this);
    auto sameDay = [&original](const int* f) {
        return f[ERA] == original.fields[ERA] && f[YEAR] == original.fields[YEAR] &&
               f[MONTH] == original.fields[MONTH] && f[DAY_OF_MONTH] == original.fields[DAY_OF_MONTH];
    };
    // First on the instant, which is right on most days of a daylight-saving change;
    // then on the wall clock when the instant left the day or missed the hour.
    __int64 target;
    if (!__builtin_add_overflow(time, 3600000LL * (rolled - hour), &target)) {
        setTimeInMillis(target);
        if (sameDay(fields) && fields[field] == rolled)
            return;
    }
    const GregorianCalendar byInstant(*this);
    *this = original;
    set(HOUR_OF_DAY, field == HOUR ? rolled + 12 * fields[AM_PM] : rolled);
    commit();
    if (sameDay(fields) && fields[field] == rolled)
        return;
    // The hour does not exist on this day: keep whichever result stayed on it.
    if (!sameDay(fields) && sameDay(byInstant.fields))
        *this = byInstant;
}

void GregorianCalendar::roll(unsigned field, int amount) {
    checkUnsigned(field, "roll");
    if (amount == 0)
        return;
    complete();
    const __int64 year = signedYear();
    // The month, week and day rolls find their instant before they change anything.
    switch (field) {
    case MONTH: {
        const int month = int(floorMod(static_cast<__int64>(fields[MONTH]) + amount, 12));
        const int date = std::min(fields[DAY_OF_MONTH], monthLength(month, year));
        // Outside the cutover years the date is the day's own (no gap to read across).
        if (isCutoverYear(year))
            moveToDay(dayOfDate(year, month, date));
        else
            moveToDay(dayOfDate(year, month, date), year, month, date);
        return;
    }
    case WEEK_OF_YEAR: {
        // Whole weeks on the same weekday with YEAR unchanged, over the days whose
        // week is a week of this year: a first day that lies in the previous year's
        // last week, or a last day in the next year's week 1, would leave the week
        // number where it was. Such a day itself counts one step beyond its end.
        const Period p = yearPeriod(year);
        const int length = int(p.count());
        const __int64 index = p.indexOf(getEpochDay());
        const int dow = fields[DAY_OF_WEEK];
        __int64 first = (index - 1) % 7 + 1;
        __int64 last = first + (length - first) / 7 * 7;
        if (weekOfYear(year, int(first), dow, length) > 6)
            first += 7;
        if (last > 7 && weekOfYear(year, int(last), dow, length) == 1)
            last -= 7;
        if (first > last)
            return; // a year of a few days has no such week
        const __int64 count = (last - first) / 7 + 1;
        moveToDay(p.dayAt(first + 7 * floorMod(floorDiv(index - first, 7) + amount, count)));
        return;
    }
    case WEEK_OF_MONTH: {
        const Period p = monthPeriod(year, fields[MONTH]);
        const __int64 position = p.indexOf(getEpochDay());
        const __int64 length = p.count();
        const int dow = mod7(fields[DAY_OF_WEEK] - firstDayOfWeek);
        const int firstRel = mod7(dow - position + 1);
        // A first partial week too short to count is left out of the cycle.
        const __int64 start = 7 - firstRel < minimalDaysInFirstWeek ? 8 - firstRel : 1 - firstRel;
        const __int64 lastRel = mod7(length - position + dow);
        const __int64 span = length + 7 - lastRel - start;
        if (span < 1)
            return; // a month of a few days, none in a counted week
        __int64 target = floorMod(position + 7 * static_cast<__int64>(amount) - start, span) + start;
        target = std::min(std::max<__int64>(target, 1), length);
        moveToDay(p.dayAt(target));
        return;
    }
    case DAY_OF_MONTH: {
        const Period p = monthPeriod(year, fields[MONTH]);
        moveToDay(p.dayAt(floorMod(p.indexOf(getEpochDay()) - 1 + amount, p.count()) + 1));
        return;
    }
    case DAY_OF_YEAR: {
        const Period p = yearPeriod(year);
        moveToDay(p.dayAt(floorMod(p.indexOf(getEpochDay()) - 1 + amount, p.count()) + 1));
        return;
    }
    case DAY_OF_WEEK: {
        const __int64 day = getEpochDay();
        const int lead = mod7(fields[DAY_OF_WEEK] - firstDayOfWeek);
        moveToDay(day - lead + floorMod(static_cast<__int64>(lead) + amount, 7));
        return;
    }
    case DAY_OF_WEEK_IN_MONTH: {
        const Period p = monthPeriod(year, fields[MONTH]);
        const __int64 position = p.indexOf(getEpochDay());
        const __int64 before = (position - 1) / 7;
        const __int64 after = (p.count() - position) / 7;
        const __int64 k = floorMod(before + amount, before + after + 1);
        moveToDay(p.dayAt(position + 7 * (k - before)));
        return;
    }
    default:
        break;
    }
    // The others go through the fields and may fail half-way: then they are undone.
    Restore guard(*this);
    switch (field) {
    case HOUR:
    case HOUR_OF_DAY:
        rollHour(field, amount);
        break;
    case YEAR: {
        __int64 rolled = static_cast<__int64>(fields[YEAR]) + amount;
        if (rolled < 1 || rolled > LIMITS[YEAR][1]) {
            // Only near the end of Time does the calendar's own date limit the year.
            const int maximum = actualMaximumYear();
            rolled = floorMod(static_cast<__int64>(fields[YEAR]) - 1 + amount, maximum) + 1;
        }
        set(YEAR, int(rolled));
        pinDayOfMonth();
        commit();
        break;
    }
    case ERA:
        set(ERA, int(floorMod(static_cast<__int64>(fields[ERA]) + amount, 2)));
        pinDayOfMonth();
        commit();
        break;
    default: {
        const __int64 low = LIMITS[field][0];
        const __int64 range = static_cast<__int64>(LIMITS[field][2]) - low + 1;
        set(field, int(floorMod(static_cast<__int64>(fields[field]) + amount - low, range) + low));
        commit();
        break;
    }
    }
    guard.keep();
}

// ---- queries ------------------------------------------------------------------------

bool GregorianCalendar::InDaylightTime() {
    if (zone.GetDSTOffset() == 0)
        return false;
    complete();
    return fields[DST_OFFSET] != 0;
}

int GregorianCalendar::getISOYear() {
    complete();
    int year = fields[YEAR];
    // Counting goes backwards in BC: one year earlier is one more.
    const int earlier = fields[ERA] == BC ? 1 : -1;
    // January's own weeks are 1..6; any higher number is a week of the year
    // before, which may be short (1582 has 51 weeks).
    if (fields[MONTH] == JANUARY && fields[WEEK_OF_YEAR] > 6)
        year += earlier;
    else if (fields[MONTH] != JANUARY && fields[WEEK_OF_YEAR] == 1)
        year -= earlier;
    // Across the turn of the eras the neighbouring year is year 1 of the other era;
    // there is no year 0.
    return year == 0 ? 1 : year;
}

} // namespace vesk
