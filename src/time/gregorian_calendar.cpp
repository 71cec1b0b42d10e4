// GregorianCalendar, the first half: fields <-> instant through local day
// numbers, field resolution by stamps, the days of the hybrid calendar, and the
// two operations of the calendar base and the time zone that need a calendar
// (cutover setting and daylight saving at an instant). Limits, add and roll are
// in gregorian_arithmetic.cpp.
#include <vesk/time/gregorian_calendar.h>

#include <vesk/errors/exception.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "gregorian_internal.h"

namespace vesk {

// ---- Period ----------------------------------------------------------------

__int64 GregorianCalendar::Period::indexOf(__int64 day) const {
    if (julianCount > 0 && day >= julianFirst && day < julianFirst + julianCount)
        return day - julianFirst + 1;
    return julianCount + day - gregorianFirst + 1;
}

__int64 GregorianCalendar::Period::dayAt(__int64 index) const {
    if (index < 1)
        return first() + index - 1;
    if (index <= julianCount)
        return julianFirst + index - 1;
    if (gregorianCount > 0)
        return gregorianFirst + index - julianCount - 1;
    return julianFirst + index - 1;
}

// ---- construction ----------------------------------------------------------

GregorianCalendar::GregorianCalendar()
    : Calendar(), nextStamp(2), firstDayOfWeek(SUNDAY), minimalDaysInFirstWeek(1), fields(), stamps(),
      lastDay(LLONG_MIN), lastFirstDayOfWeek(0), lastMinimalDays(0), lastDateFields(), startRuleYear(0),
      endRuleYear(0), startRuleDay(0), endRuleDay(0) {
    refreshCutover();
    setTimeInMillis(Time::current());
}

GregorianCalendar::GregorianCalendar(const TimeZone& z)
    : Calendar(z), nextStamp(2), firstDayOfWeek(SUNDAY), minimalDaysInFirstWeek(1), fields(), stamps(),
      lastDay(LLONG_MIN), lastFirstDayOfWeek(0), lastMinimalDays(0), lastDateFields(), startRuleYear(0),
      endRuleYear(0), startRuleDay(0), endRuleDay(0) {
    refreshCutover();
    setTimeInMillis(Time::current());
}

GregorianCalendar::~GregorianCalendar() = default;

Cloneable* GregorianCalendar::Clone() const { return new GregorianCalendar(*this); }

void GregorianCalendar::Initialize() {
    nextStamp = 2;
    std::fill(std::begin(stamps), std::end(stamps), 0);
}

void GregorianCalendar::refreshCutover() {
    // The cutover's own day is the first Gregorian one. A cutover at the very end of
    // Time leaves no Gregorian day at all, and one on the very first day leaves no
    // Julian day: then no year is a cutover year, so the first and last days of Time
    // belong to whole years of one calendar.
    lastDay = LLONG_MIN;
    const __int64 change = static_cast<__int64>(cutover);
    cutoverDay = change == LLONG_MAX ? LLONG_MAX : floorDiv(change, DAY);
    if (cutoverDay > LAST_DAY) {
        cutoverDay = hybridFirstYear = hybridLastYear = firstGregorianYear = LLONG_MAX;
        return;
    }
    if (cutoverDay <= FIRST_DAY) {
        cutoverDay = hybridFirstYear = hybridLastYear = firstGregorianYear = LLONG_MIN;
        return;
    }
    const CivilDate lastJulian = julianFromDay(cutoverDay - 1);
    const CivilDate firstGregorian = gregorianFromDay(cutoverDay);
    hybridFirstYear = std::min(lastJulian.year, firstGregorian.year);
    hybridLastYear = std::max(lastJulian.year, firstGregorian.year);
    firstGregorianYear = firstGregorian.year;
}

void GregorianCalendar::setGregorianChange(const Time& date) {
    GregorianCalendarBase::setGregorianChange(date, zone);
    refreshCutover();
}

void GregorianCalendarBase::setGregorianChange(const Time& date, const TimeZone& z) {
    cutover = date;
    __int64 day = floorDiv(static_cast<__int64>(date), DAY);
    // The midnight of the very first day lies below the 64-bit range: take the next.
    if (day < LLONG_MIN / DAY)
        ++day;
    normalizedCutover = day * DAY;
    GregorianCalendar probe(z);
    probe.setTime(date);
    const int year = probe.get(Calendar::YEAR);
    cutoverYear = probe.get(Calendar::ERA) == BC ? 1 - year : year;
}

bool TimeZone::InDaylightTime(const Time& t) const {
    GregorianCalendar calendar(*this);
    calendar.setTime(t);
    return calendar.InDaylightTime();
}

// ---- plain field access ------------------------------------------------------

void GregorianCalendar::checkIndex(int field, const char* operation) {
    if (field < 0 || field >= int(FIELD_COUNT))
        throw Exception(std::string("Can't ") + operation + " the calendar field " + std::to_string(field));
}

int GregorianCalendar::internalGet(unsigned field) const {
    checkUnsigned(field, "read");
    return fields[field];
}

void GregorianCalendar::internalSet(int field, int value) {
    checkIndex(field, "store");
    fields[field] = value;
}

void GregorianCalendar::set(unsigned field, int value) {
    checkUnsigned(field, "set");
    timeValid = false;
    fields[field] = value;
    stamps[field] = nextStamp;
    if (nextStamp == INT_MAX)
        renumberStamps();
    else
        ++nextStamp;
    fieldsValid = false;
}

// Keeps the order of the user stamps but restarts their numbering at 2, so that
// stamps never wrap however many fields are set in a calendar's life.
void GregorianCalendar::renumberStamps() {
    int order[FIELD_COUNT];
    int n = 0;
    for (unsigned f = 0; f < FIELD_COUNT; ++f)
        if (stamps[f] >= 2)
            order[n++] = int(f);
    std::sort(order, order + n, [this](int a, int b) { return stamps[a] < stamps[b]; });
    for (int i = 0; i < n; ++i)
        stamps[order[i]] = i + 2;
    nextStamp = n + 2;
}

void GregorianCalendar::set(int year, int month, int date) {
    set(YEAR, year);
    set(MONTH, month);
    set(DAY_OF_MONTH, date);
}

void GregorianCalendar::set(int year, int month, int date, int hourOfDay, int minute) {
    set(year, month, date);
    set(HOUR_OF_DAY, hourOfDay);
    set(MINUTE, minute);
}

void GregorianCalendar::set(int year, int month, int date, int hourOfDay, int minute, int second) {
    set(year, month, date, hourOfDay, minute);
    set(SECOND, second);
}

void GregorianCalendar::Clear() {
    std::fill(std::begin(fields), std::end(fields), 0);
    std::fill(std::begin(stamps), std::end(stamps), 0);
    timeValid = fieldsValid = allFieldsValid = false;
}

void GregorianCalendar::Clear(int field) {
    checkIndex(field, "clear");
    fields[field] = 0;
    stamps[field] = 0;
    timeValid = fieldsValid = allFieldsValid = false;
}

bool GregorianCalendar::isSet(int field) const {
    checkIndex(field, "test");
    return stamps[field] != 0;
}

void GregorianCalendar::setFirstDayOfWeek(int value) {
    if (value < SUNDAY || value > SATURDAY)
        throw Exception("Can't set the first day of the week to " + std::to_string(value));
    firstDayOfWeek = value;
}

void GregorianCalendar::setMinimalDaysInFirstWeek(int value) {
    if (value < 1 || value > 7)
        throw Exception("Can't set the minimal days in the first week to " + std::to_string(value));
    minimalDaysInFirstWeek = value;
}

// ---- day arithmetic of the hybrid calendar ------------------------------------------

__int64 GregorianCalendar::signedYear() const {
    return fields[ERA] == BC ? 1 - static_cast<__int64>(fields[YEAR]) : static_cast<__int64>(fields[YEAR]);
}

GregorianCalendar::Period GregorianCalendar::monthPeriod(__int64 year, int month) const {
    Period p;
    if (year < hybridFirstYear) {
        p.julianFirst = julianDay(year, month, 1);
        p.julianCount = MONTH_LENGTH[julianLeap(year)][month];
        p.gregorianFirst = p.julianFirst + p.julianCount;
        p.gregorianCount = 0;
        return p;
    }
    if (year > hybridLastYear) {
        p.gregorianFirst = p.julianFirst = gregorianDay(year, month, 1);
        p.gregorianCount = MONTH_LENGTH[gregorianLeap(year)][month];
        p.julianCount = 0;
        return p;
    }
    const __int64 nextYear = month == 11 ? year + 1 : year;
    const int nextMonth = month == 11 ? 0 : month + 1;
    p.julianFirst = julianDay(year, month, 1);
    p.julianCount = std::max<__int64>(0, std::min(julianDay(nextYear, nextMonth, 1), cutoverDay) - p.julianFirst);
    p.gregorianFirst = std::max(gregorianDay(year, month, 1), cutoverDay);
    p.gregorianCount = std::max<__int64>(0, gregorianDay(nextYear, nextMonth, 1) - p.gregorianFirst);
    return p;
}

GregorianCalendar::Period GregorianCalendar::yearPeriod(__int64 year) const {
    Period p;
    if (year < hybridFirstYear) {
        p.julianFirst = julianDay(year, 0, 1);
        p.julianCount = julianLeap(year) ? 366 : 365;
        p.gregorianFirst = p.julianFirst + p.julianCount;
        p.gregorianCount = 0;
        return p;
    }
    if (year > hybridLastYear) {
        p.gregorianFirst = p.julianFirst = gregorianDay(year, 0, 1);
        p.gregorianCount = gregorianLeap(year) ? 366 : 365;
        p.julianCount = 0;
        return p;
    }
    p.julianFirst = julianDay(year, 0, 1);
    p.julianCount = std::max<__int64>(0, std::min(julianDay(year + 1, 0, 1), cutoverDay) - p.julianFirst);
    p.gregorianFirst = std::max(gregorianDay(year, 0, 1), cutoverDay);
    p.gregorianCount = std::max<__int64>(0, gregorianDay(year + 1, 0, 1) - p.gregorianFirst);
    return p;
}

// Largest day of the month that exists (31 for October 1582, whose 5th..14th do not).
int GregorianCalendar::monthLength(int month, __int64 year) const {
    if (year < hybridFirstYear)
        return MONTH_LENGTH[julianLeap(year)][month];
    if (year > hybridLastYear)
        return MONTH_LENGTH[gregorianLeap(year)][month];
    const Period p = monthPeriod(year, month);
    int last = int(p.julianCount);
    if (p.gregorianCount > 0 || last == 0)
        last = std::max(last, int(MONTH_LENGTH[gregorianLeap(year)][month]));
    return last;
}

// Number of days the year has (355 for 1582).
int GregorianCalendar::yearLength(__int64 year) const {
    if (year < hybridFirstYear)
        return julianLeap(year) ? 366 : 365;
    if (year > hybridLastYear)
        return gregorianLeap(year) ? 366 : 365;
    return int(std::max<__int64>(1, yearPeriod(year).count()));
}

void GregorianCalendar::pinDayOfMonth() {
    const int length = monthLength(fields[MONTH], signedYear());
    if (fields[DAY_OF_MONTH] > length)
        set(DAY_OF_MONTH, length);
}


__int64 GregorianCalendar::getEpochDay() {
    complete();
    const __int64 day = floorDiv(time, DAY);
    const __int64 rest = time - day * DAY + fields[ZONE_OFFSET] + fields[DST_OFFSET];
    return day + floorDiv(rest, DAY);
}

// ---- instant -> fields -------------------------------------------------------

int GregorianCalendar::offsetAt(__int64 year, int month, int dayOfMonth, int dayOfWeek, int millis) {
    if (zone.dstOffset == 0 || year < 1)
        return zone.standardOffset;
    // The months of a cutover year may change weekdays in the middle; ask the zone.
    if (isCutoverYear(year))
        return zone.GetOffset(AD, int(year), Month(month), dayOfMonth, DayOfWeek(dayOfWeek), millis);
    const TransitionRule& start = zone.startRule;
    const TransitionRule& end = zone.endRule;
    if (zone.dstOffset != ruleZone.dstOffset || zone.standardOffset != ruleZone.standardOffset ||
        std::memcmp(&start, &ruleZone.startRule, sizeof start) != 0 ||
        std::memcmp(&end, &ruleZone.endRule, sizeof end) != 0) {
        zone.checkRules("get the time zone offset");
        ruleZone = zone;
        startRuleYear = endRuleYear = 0;
    }
    // A rule's day matters only in its own month, and is found once per year.
    const auto compare = [this, year, month, dayOfMonth, millis](const TransitionRule& rule, __int64& ruleYear,
                                                                   int& ruleDay) {
        if (month != rule.month)
            return month < rule.month ? 1 : -1;
        if (ruleYear != year) {
            const __int64 first = year > hybridLastYear ? gregorianDay(year, month, 1) : julianDay(year, month, 1);
            ruleDay = TimeZone::ruleDay(rule, TimeZone::monthLengthIn(int(year), month), dayOfWeekOf(first));
            ruleYear = year;
        }
        return TimeZone::compareWithRule(rule, ruleDay, month, dayOfMonth, millis);
    };
    const int s = compare(start, startRuleYear, startRuleDay);
    const int e = compare(end, endRuleYear, endRuleDay);
    return zone.inDaylight(s, e) ? zone.offsetIfDaylight("get the time zone offset") : zone.standardOffset;
}

void GregorianCalendar::dayToFields(__int64 day, bool quick) {
    if (day == lastDay && firstDayOfWeek == lastFirstDayOfWeek && minimalDaysInFirstWeek == lastMinimalDays) {
        std::copy(std::begin(lastDateFields), std::end(lastDateFields), fields);
        return;
    }
    const CivilDate c = day >= cutoverDay ? gregorianFromDay(day) : julianFromDay(day);
    const int dow = c.dayOfWeek ? c.dayOfWeek : dayOfWeekOf(day);
    int doy, position, yearDays;
    if (!isCutoverYear(c.year)) {
        doy = c.dayOfYear0 + 1;
        position = c.dayOfMonth;
        yearDays = c.leap ? 366 : 365;
    } else {
        // Days are counted from the year's and month's first existing day, so that
        // the numbering runs on without a hole over the cutover.
        const Period y = yearPeriod(c.year);
        doy = int(y.indexOf(day));
        yearDays = int(y.count());
        position = int(monthPeriod(c.year, c.month).indexOf(day));
    }
    fields[ERA] = c.year < 1 ? BC : AD;
    fields[YEAR] = int(c.year < 1 ? 1 - c.year : c.year);
    fields[MONTH] = c.month;
    fields[DAY_OF_MONTH] = c.dayOfMonth;
    fields[DAY_OF_WEEK] = dow;
    fields[DAY_OF_YEAR] = doy;
    if (quick)
        return;
    fields[WEEK_OF_YEAR] = weekOfYear(c.year, doy, dow, yearDays);
    fields[WEEK_OF_MONTH] = weekNumber(position, dow);
    fields[DAY_OF_WEEK_IN_MONTH] = (position - 1) / 7 + 1;
    lastDay = day;
    lastFirstDayOfWeek = firstDayOfWeek;
    lastMinimalDays = minimalDaysInFirstWeek;
    std::copy(fields, fields + DAY_OF_WEEK_IN_MONTH + 1, lastDateFields);
}

void GregorianCalendar::computeFields() {
    const int raw = zone.standardOffset;
    // Local day and time of day are kept apart, so no instant overflows here.
    __int64 day = floorDiv(time, DAY);
    __int64 millisInDay = time - day * DAY + raw;
    normalizeDay(day, millisInDay);
    dayToFields(day, false);
    const int dst = offsetAt(signedYear(), fields[MONTH], fields[DAY_OF_MONTH], fields[DAY_OF_WEEK], int(millisInDay)) -
                    raw;
    millisInDay += dst;
    if (millisInDay < 0 || millisInDay >= DAY) {
        normalizeDay(day, millisInDay);
        dayToFields(day, false);
    }
    const int ms = int(millisInDay);
    fields[MILLISECOND] = ms % 1000;
    fields[SECOND] = (ms / 1000) % 60;
    fields[MINUTE] = (ms / 60000) % 60;
    fields[HOUR_OF_DAY] = ms / 3600000;
    fields[AM_PM] = fields[HOUR_OF_DAY] / 12;
    fields[HOUR] = fields[HOUR_OF_DAY] % 12;
    fields[ZONE_OFFSET] = raw;
    fields[DST_OFFSET] = dst;
    std::fill(std::begin(stamps), std::end(stamps), 1);
}

// ---- fields -> instant -------------------------------------------------------

__int64 GregorianCalendar::fieldsYear() const {
    __int64 year = stamps[YEAR] ? fields[YEAR] : 1970;
    if (stamps[ERA] && fields[ERA] == BC)
        year = 1 - year;
    return year;
}

// The day of a year, month and (possibly out-of-range) day of month: read in the
// calendar that the year suggests, and in the other one when that reading falls on
// the wrong side of the cutover. A day of the cutover gap reads as Julian.
__int64 GregorianCalendar::dayOfDate(__int64 year, int month, __int64 date) const {
    const bool gregorian = year >= firstGregorianYear;
    __int64 day = gregorian ? gregorianDay(year, month, date) : julianDay(year, month, date);
    // A calendar of one reckoning never reads a date in the other.
    if ((day >= cutoverDay) != gregorian && cutoverDay != LLONG_MIN && cutoverDay != LLONG_MAX)
        day = gregorian ? julianDay(year, month, date) : gregorianDay(year, month, date);
    return day;
}

__int64 GregorianCalendar::computeJulianDay(__int64 year) const {
    const int monthStamp = stamps[MONTH];
    const int domStamp = stamps[DAY_OF_MONTH];
    const int dowStamp = stamps[DAY_OF_WEEK];
    const int womStamp = aggregateStamp(stamps[WEEK_OF_MONTH], dowStamp);
    const int dowimStamp = aggregateStamp(stamps[DAY_OF_WEEK_IN_MONTH], dowStamp);
    const int doyStamp = stamps[DAY_OF_YEAR];
    const int woyStamp = aggregateStamp(stamps[WEEK_OF_YEAR], dowStamp);
    const int best = std::max({monthStamp, domStamp, womStamp, dowimStamp, doyStamp, woyStamp});
    // Days from the week start to the wanted weekday, always forward.
    const __int64 dowOffset = dowStamp ? mod7(fields[DAY_OF_WEEK] - firstDayOfWeek) : 0;

    if (best != 0 && (best == monthStamp || best == domStamp || best == womStamp || best == dowimStamp)) {
        __int64 month = monthStamp ? fields[MONTH] : 0;
        year += floorDiv(month, 12);
        month = floorMod(month, 12);
        if (best == domStamp || best == monthStamp)
            return dayOfDate(year, int(month), domStamp ? fields[DAY_OF_MONTH] : 1);
        const Period p = monthPeriod(year, int(month));
        const int firstRel = mod7(dayOfWeekOf(p.first()) - firstDayOfWeek);
        __int64 date = 1 - firstRel + dowOffset;
        if (best == womStamp) {
            if (7 - firstRel < minimalDaysInFirstWeek)
                date += 7;
            date += 7 * (static_cast<__int64>(fields[WEEK_OF_MONTH]) - 1);
        } else {
            if (date < 1)
                date += 7;
            const int dim = fields[DAY_OF_WEEK_IN_MONTH];
            if (dim >= 0)
                date += 7 * (static_cast<__int64>(dim) - 1);
            else
                date += ((p.count() - date) / 7 + dim + 1) * 7;
        }
        return p.dayAt(date);
    }

    const Period p = yearPeriod(year);
    if (best == 0)
        return p.first();
    if (best == doyStamp)
        return p.dayAt(fields[DAY_OF_YEAR]);
    const int firstRel = mod7(dayOfWeekOf(p.first()) - firstDayOfWeek);
    __int64 date = 1 - firstRel + dowOffset;
    if (7 - firstRel < minimalDaysInFirstWeek)
        date += 7;
    date += 7 * (static_cast<__int64>(fields[WEEK_OF_YEAR]) - 1);
    return p.dayAt(date);
}

// Time of day from the most recently set hour source; not normalised, so excess
// carries into following days.
__int64 GregorianCalendar::timeOfDayMillis() const {
    const int hourOfDayStamp = stamps[HOUR_OF_DAY];
    // AM_PM counts with HOUR: setting it alone (roll, add) must move the time.
    const int hourStamp = stamps[HOUR] ? std::max(stamps[HOUR], stamps[AM_PM]) : 0;
    __int64 hours = 0;
    if (hourOfDayStamp != 0 && hourOfDayStamp >= hourStamp)
        hours = fields[HOUR_OF_DAY];
    else if (hourStamp > hourOfDayStamp)
        hours = fields[HOUR] + 12 * static_cast<__int64>(fields[AM_PM]);
    __int64 millis = hours * 60 + (stamps[MINUTE] ? fields[MINUTE] : 0);
    millis = millis * 60 + (stamps[SECOND] ? fields[SECOND] : 0);
    return millis * 1000 + (stamps[MILLISECOND] ? fields[MILLISECOND] : 0);
}

void GregorianCalendar::validateFields() const {
    for (unsigned f = 0; f < FIELD_COUNT; ++f) {
        if (stamps[f] < 2)
            continue;
        const int value = fields[f];
        bool good;
        if (f == DAY_OF_MONTH) {
            const int month = fields[MONTH];
            good = value >= 1 && (month < 0 || month > 11 || value <= monthLength(month, fieldsYear()));
        } else if (f == DAY_OF_YEAR) {
            good = value >= 1 && value <= yearLength(fieldsYear());
        } else {
            good = value >= LIMITS[f][0] && value <= LIMITS[f][2] && !(f == DAY_OF_WEEK_IN_MONTH && value == 0);
        }
        if (!good)
            throw Exception("Can't compute the time: the value " + std::to_string(value) + " of the field " +
                            quoted(f) + " is out of range");
    }
}

// The instant of a local day and wall-clock time of day (not normalised): the
// zone's offsets at that wall time, or those the user set.
__int64 GregorianCalendar::instantAt(__int64 day, __int64 millisInDay, __int64 year, int month, int dayOfMonth) {
    int zoneOffset, dstOffset;
    if (stamps[ZONE_OFFSET] >= 2) {
        zoneOffset = fields[ZONE_OFFSET];
        dstOffset = fields[DST_OFFSET];
    } else if (month >= 0 && millisInDay >= 0 && millisInDay < DAY) {
        zoneOffset = zone.standardOffset;
        dstOffset = offsetAt(year, month, dayOfMonth, dayOfWeekOf(day), int(millisInDay)) - zoneOffset;
    } else {
        zoneOffset = zone.standardOffset;
        const __int64 wallDay = day + floorDiv(millisInDay, DAY);
        const CivilDate c = wallDay >= cutoverDay ? gregorianFromDay(wallDay) : julianFromDay(wallDay);
        if (c.year < INT_MIN + 2 || c.year > INT_MAX)
            throw Exception(OUT_OF_RANGE);
        dstOffset = offsetAt(c.year, c.month, c.dayOfMonth, dayOfWeekOf(wallDay), int(floorMod(millisInDay, DAY))) -
                    zoneOffset;
    }
    const __int64 rest = millisInDay - zoneOffset - dstOffset;
    __int64 result;
    if (!composeMillis(day + floorDiv(rest, DAY), floorMod(rest, DAY), result))
        throw Exception(OUT_OF_RANGE);
    return result;
}

void GregorianCalendar::computeTime() {
    const bool strict = !isLenient();
    if (strict)
        validateFields();
    const __int64 year = fieldsYear();
    const __int64 day = computeJulianDay(year);
    const __int64 result = instantAt(day, timeOfDayMillis());
    if (strict) {
        // A strict calendar takes only fields that survive the round trip: no
        // normalisation, no date of the cutover gap, no wall time skipped by DST.
        int userFields[FIELD_COUNT];
        int userStamps[FIELD_COUNT];
        std::copy(std::begin(fields), std::end(fields), userFields);
        std::copy(std::begin(stamps), std::end(stamps), userStamps);
        const __int64 before = time;
        time = result;
        computeFields();
        for (unsigned f = 0; f < ZONE_OFFSET; ++f) {
            if (userStamps[f] >= 2 && userFields[f] != fields[f]) {
                const std::string message = "Can't compute the time: the field " + quoted(f) +
                                            " would change from " + std::to_string(userFields[f]) + " to " +
                                            std::to_string(fields[f]);
                std::copy(userFields, userFields + FIELD_COUNT, fields);
                std::copy(userStamps, userStamps + FIELD_COUNT, stamps);
                time = before;
                throw Exception(message);
            }
        }
    }
    time = result;
}

} // namespace vesk
