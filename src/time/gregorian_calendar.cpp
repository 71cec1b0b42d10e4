// GregorianCalendar: fields <-> instant through local day numbers, field
// resolution by stamps, week numbering, limits, and the two operations of the
// calendar base and the time zone that need a calendar (cutover setting and
// daylight saving at an instant).
#include <vesk/time/gregorian_calendar.h>

#include <vesk/errors/exception.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

namespace vesk {

namespace {

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

void checkUnsigned(unsigned field, const char* operation) {
    if (field >= Calendar::FIELD_COUNT)
        throw Exception(std::string("Can't ") + operation + " the calendar field " + std::to_string(field));
}

std::string quoted(unsigned field) { return std::string("\"") + FIELD_NAMES[field] + "\""; }

[[noreturn]] void throwAddRange(const char* operation, unsigned field, int amount) {
    throw Exception(std::string("Can't ") + operation + " " + std::to_string(amount) + " to the field " +
                    quoted(field) + ": the result is outside the range of Time");
}

// day * DAY + rest with rest in [0, DAY), false when it leaves the 64-bit range.
bool composeMillis(__int64 day, __int64 rest, __int64& out) {
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

} // namespace

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
    return year;
}

} // namespace vesk
