// TimeZone: one zone as a value - a standard offset from UTC, an amount of
// daylight saving and the two yearly rules that start and end it - filled from
// the system's zone settings or by hand, and asked for the offset in effect at a
// local date and time of day.
#pragma once

#include <vesk/config.h>
#include <vesk/time/calendar_base.h>
#include <vesk/time/time.h>

namespace vesk {

// One yearly transition. All five members are signed 32-bit.
struct TransitionRule {
    enum Mode {
        DAY_OF_MONTH_MODE = 0,         // `day` is the day of the month
        DAY_OF_WEEK_IN_MONTH_MODE = 1, // the `day`-th `dayOfWeek` (negative: counted from the end)
        DOW_GE_DOM_MODE = 2,           // the first `dayOfWeek` on or after day `day`
        DOW_LE_DOM_MODE = 3            // the last `dayOfWeek` on or before day `day`
    };

    int mode;
    int month;     // GregorianCalendarBase::Month, 0 = January
    int timeOfDay; // milliseconds after local midnight, local standard time
    int dayOfWeek; // GregorianCalendarBase::DayOfWeek, 1 = Sunday; 0 in mode 0
    int day;
};

class VESK_API TimeZone {
public:
    typedef GregorianCalendarBase::Era Era;
    typedef GregorianCalendarBase::Month Month;
    typedef GregorianCalendarBase::DayOfWeek DayOfWeek;

    // UTC without daylight saving.
    TimeZone();
    // The identifier is a label only and is not interpreted: the zone is UTC until
    // its offsets and rules are set.
    explicit TimeZone(const char* id);

    // The zone of the running system (GetTimeZoneInformation); throws WindowsError
    // "Can't get time zone information".
    static TimeZone current();
    // The zone described by a Win32 record, converted as current() does.
    static TimeZone fromTimeZoneInformation(const TIME_ZONE_INFORMATION& info);

    // Total offset from UTC in milliseconds at a local standard date and time of day.
    // The year only decides whether February has a 29th (for rules that count from
    // the end of February). Out-of-range dates, times or rules throw vesk::Exception.
    int GetOffset(Era era, int year, Month month, int day, DayOfWeek dayOfWeek, int millis) const;
    // Whether daylight saving is in effect at an instant; defined with the Gregorian
    // calendar, which it needs.
    bool InDaylightTime(const Time& t) const;
    bool UseDaylightTime() const { return dstOffset != 0; }

    int GetStandardOffset() const { return standardOffset; }
    void SetStandardOffset(int offset) { standardOffset = offset; }
    int GetDSTOffset() const { return dstOffset; }
    void SetDSTOffset(int offset) { dstOffset = offset; }

    // The dayOfWeekInMonth-th dayOfWeek of the month (1..4 from the start, -1..-4 from
    // the end), at `time` ms of local standard time.
    void SetStartRule(Month month, int dayOfWeekInMonth, DayOfWeek dayOfWeek, int time);
    // A fixed day of the month.
    void SetStartRule(Month month, int day, int time);
    // The first dayOfWeek on or after (after = true) or the last on or before
    // (after = false) the given day of the month.
    void SetStartRule(Month month, int day, DayOfWeek dayOfWeek, int time, bool after);
    void SetEndRule(Month month, int dayOfWeekInMonth, DayOfWeek dayOfWeek, int time);
    void SetEndRule(Month month, int day, int time);
    void SetEndRule(Month month, int day, DayOfWeek dayOfWeek, int time, bool after);

    TimeZone& operator=(const TimeZone&) = default;

    int dstOffset;
    int standardOffset;
    TransitionRule startRule;
    TransitionRule endRule;

private:
    TimeZone(const TIME_ZONE_INFORMATION& info);
    void set(const TIME_ZONE_INFORMATION& info);
    // The calendar keeps each year's transition days and compares with them itself.
    friend class GregorianCalendar;

    // The day of the month of a rule's transition in its month, given the month's
    // length and the weekday of its 1st (1 = Sunday).
    static int ruleDay(const TransitionRule& rule, int monthLength, int firstWeekday);
    // +1 when the local moment lies before the rule's transition, -1 after, 0 at it.
    static int compareWithRule(const TransitionRule& rule, int ruleDay, int month, int dayOfMonth, int millis) {
        if (month != rule.month) return month < rule.month ? 1 : -1;
        // One distance in milliseconds, so that a rule time outside 0..24:00 (an end
        // rule shifted into standard time) moves the transition to a neighbouring day.
        const __int64 distance = static_cast<__int64>(ruleDay - dayOfMonth) * 86400000 +
                                 (static_cast<__int64>(rule.timeOfDay) - millis);
        return distance > 0 ? 1 : distance < 0 ? -1 : 0;
    }
    // Daylight saving from the comparisons with the start and the end rule; a start
    // after the end in the year is a southern zone.
    bool inDaylight(int start, int end) const {
        return startRule.month > endRule.month ? (start < 0 || end >= 0) : (start < 0 && end >= 0);
    }
    // Throws vesk::Exception, naming the context, for rules that cannot be evaluated.
    void checkRules(const char* context) const;
    // A month's length, February by the default cutover's leap rule.
    static int monthLengthIn(int year, int month);
    // Standard plus daylight-saving offset; throws when it overflows 32 bits.
    int offsetIfDaylight(const char* context) const {
        const __int64 total = static_cast<__int64>(standardOffset) + dstOffset;
        if (total < -2147483647 - 1 || total > 2147483647) throwOffsetOverflow(context);
        return static_cast<int>(total);
    }
    [[noreturn]] void throwOffsetOverflow(const char* context) const;
};

} // namespace vesk
