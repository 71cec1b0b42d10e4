// GregorianCalendar: the library's concrete calendar. Julian reckoning before a
// configurable cutover instant, Gregorian from it on (by default 1582-10-04 is
// followed by 1582-10-15). It keeps seventeen fields with a stamp each, resolves
// competing field combinations by recency, converts between fields and the
// instant through day numbers, and offers field arithmetic (add, roll), field
// limits and week numbering with a configurable week start and first week.
#pragma once

#include <vesk/config.h>
#include <vesk/time/calendar.h>
#include <vesk/time/calendar_base.h>
#include <vesk/time/time.h>
#include <vesk/time/time_zone.h>

namespace vesk {

class VESK_API GregorianCalendar : public GregorianCalendarBase, public Calendar {
public:
    // The zone of the running system (throws what TimeZone::current throws), or the
    // given zone. Both start lenient, at the current time, with weeks beginning on
    // Sunday and a first week of at least one day.
    GregorianCalendar();
    explicit GregorianCalendar(const TimeZone& zone);
    GregorianCalendar(const GregorianCalendar&) = default;
    GregorianCalendar& operator=(const GregorianCalendar&) = default;
    ~GregorianCalendar() override;

    Cloneable* Clone() const override;

    // Moves the cutover; dates computed afterwards use it. The validity flags are
    // not touched.
    void setGregorianChange(const Time& date);

    void set(int year, int month, int date);
    void set(int year, int month, int date, int hourOfDay, int minute);
    void set(int year, int month, int date, int hourOfDay, int minute, int second);
    void set(unsigned field, int value) override;

    // complete(), then the field, as Calendar::get does; inline while the fields
    // are up to date, which is the common case of reading several in a row.
    int get(unsigned field) const {
        return field < FIELD_COUNT && timeValid && fieldsValid ? fields[field] : Calendar::get(field);
    }

    void Clear();
    void Clear(int field);
    bool isSet(int field) const;

    // DayOfWeek value 1..7 (1 = Sunday) and 1..7 days; other values throw
    // vesk::Exception.
    void setFirstDayOfWeek(int value);
    int getFirstDayOfWeek() const { return firstDayOfWeek; }
    void setMinimalDaysInFirstWeek(int value);
    int getMinimalDaysInFirstWeek() const { return minimalDaysInFirstWeek; }

    void add(unsigned field, int amount) override;
    void roll(unsigned field, int amount) override;
    void roll(unsigned field, bool up) override;

    int getMinimum(int field) override;
    int getMaximum(int field) override;
    int getGreatestMinimum(int field) override;
    int getLeastMaximum(int field) override;
    int getActualMinimum(int field) override;
    int getActualMaximum(int field) override;

    bool InDaylightTime();
    // The year the current week belongs to (week-based year).
    int getISOYear();

protected:
    void computeTime() override;
    void computeFields() override;
    int internalGet(unsigned field) const override;
    void internalSet(int field, int value) override;

private:
    // A run of existing days of one month or one year: in the cutover period a
    // month or year may have a Julian part and a Gregorian part, or be cut short.
    struct Period {
        __int64 julianFirst;
        __int64 julianCount;
        __int64 gregorianFirst;
        __int64 gregorianCount;
        __int64 count() const { return julianCount + gregorianCount; }
        __int64 first() const { return julianCount > 0 ? julianFirst : gregorianFirst; }
        // 1-based position of an existing day, and the day at a position.
        __int64 indexOf(__int64 day) const;
        __int64 dayAt(__int64 index) const;
    };

    void Initialize();
    void refreshCutover();

    // Local day numbers count days since 1970-01-01; years are signed (0 = 1 BC).
    void dayToFields(__int64 day, bool quick);
    __int64 computeJulianDay(__int64 year) const;
    __int64 dayOfDate(__int64 year, int month, __int64 date) const;
    __int64 timeOfDayMillis() const;
    // The date of the day may be given (month 0..11) when the caller knows it.
    __int64 instantAt(__int64 day, __int64 millisInDay, __int64 year = 0, int month = -1, int dayOfMonth = 0);
    __int64 fieldsYear() const;
    void validateFields() const;

    int weekNumber(int dayOfPeriod, int dayOfWeek) const;
    int weekOfYear(__int64 year, int dayOfYear, int dayOfWeek, int yearDays) const;
    int monthLength(int month, __int64 year) const;
    int yearLength(__int64 year) const;
    __int64 signedYear() const;
    Period monthPeriod(__int64 year, int month) const;
    Period yearPeriod(__int64 year) const;
    bool isCutoverYear(__int64 year) const { return year >= hybridFirstYear && year <= hybridLastYear; }
    void pinDayOfMonth();
    __int64 getEpochDay();
    // The zone's total offset at a local standard date of this calendar (as
    // TimeZone::GetOffset), with the transition days of the last year asked kept.
    int offsetAt(__int64 year, int month, int dayOfMonth, int dayOfWeek, int millis);

    void addToDate(unsigned field, int amount);
    void addMillis(unsigned field, int amount);
    void setSignedYear(__int64 year, unsigned field, int amount);
    void moveToDay(__int64 day, __int64 year = 0, int month = -1, int dayOfMonth = 0);
    void commit();
    void rollHour(unsigned field, int amount);
    int actualMaximumYear();
    void renumberStamps();

    static int aggregateStamp(int a, int b) { return a == 0 || b == 0 ? 0 : (a > b ? a : b); }
    static void checkIndex(int field, const char* operation);

    int nextStamp;
    int firstDayOfWeek;
    int minimalDaysInFirstWeek;
    int fields[FIELD_COUNT];
    int stamps[FIELD_COUNT];

    // Derived from the cutover: the first Gregorian local day, the years whose
    // months or length the cutover touches, and the year from which dates read as
    // Gregorian first.
    __int64 cutoverDay;
    __int64 hybridFirstYear;
    __int64 hybridLastYear;
    __int64 firstGregorianYear;

    // ERA..DAY_OF_WEEK_IN_MONTH of the last local day computed, with the week
    // settings then in force (times in a row often fall on one day).
    __int64 lastDay;
    int lastFirstDayOfWeek;
    int lastMinimalDays;
    int lastDateFields[DAY_OF_WEEK_IN_MONTH + 1];

    // The days of the start and end of daylight saving in the years named, under
    // ruleZone (a copy of the zone they were computed for; year 0 = none yet).
    TimeZone ruleZone;
    __int64 startRuleYear;
    __int64 endRuleYear;
    int startRuleDay;
    int endRuleDay;
};

} // namespace vesk
