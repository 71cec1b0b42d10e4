// TimeZone: conversion of the system's zone record, checking of transition
// rules, and the offset in effect at a local standard date and time of day.
#include <vesk/time/time_zone.h>

#include <vesk/errors/exception.h>

#include <climits>
#include <string>

namespace vesk {

namespace {

const int millisPerDay = 86400000;

int mod7(int n) {
    const int r = n % 7;
    return r < 0 ? r + 7 : r;
}

[[noreturn]] void badRule(const char* context, const char* which, const std::string& what) {
    throw Exception(std::string("Can't ") + context + ": the " + which + " rule's " + what);
}

// Checks the parts of a rule that decide its day. A rule that passes names a day
// inside its month in every year, so no transition slips into the next month.
void checkRuleDay(const TransitionRule& rule, const char* context, const char* which) {
    if (rule.month < 0 || rule.month > 11)
        badRule(context, which, "month " + std::to_string(rule.month) + " is outside 0..11");
    const int length = GregorianCalendarBase::MonthLength(static_cast<GregorianCalendarBase::Month>(rule.month));
    if (rule.mode != TransitionRule::DAY_OF_MONTH_MODE && (rule.dayOfWeek < 1 || rule.dayOfWeek > 7))
        badRule(context, which, "day of week " + std::to_string(rule.dayOfWeek) + " is outside 1..7");
    switch (rule.mode) {
    case TransitionRule::DAY_OF_MONTH_MODE:
        if (rule.day < 1 || rule.day > length)
            badRule(context, which,
                    "day " + std::to_string(rule.day) + " is outside 1.." + std::to_string(length) + " of its month");
        break;
    case TransitionRule::DAY_OF_WEEK_IN_MONTH_MODE:
        if (rule.day == 0 || rule.day < -4 || rule.day > 4)
            badRule(context, which,
                    "day-of-week-in-month " + std::to_string(rule.day) +
                        " is outside 1..4 and -4..-1 (use -1 for the last such weekday)");
        break;
    case TransitionRule::DOW_GE_DOM_MODE:
        if (rule.day < 1 || rule.day > length - 6)
            badRule(context, which,
                    "day " + std::to_string(rule.day) + " is outside 1.." + std::to_string(length - 6) +
                        " (the weekday on or after it must lie in the same month)");
        break;
    case TransitionRule::DOW_LE_DOM_MODE:
        if (rule.day < 7 || rule.day > length)
            badRule(context, which,
                    "day " + std::to_string(rule.day) + " is outside 7.." + std::to_string(length) +
                        " (the weekday on or before it must lie in the same month)");
        break;
    default:
        badRule(context, which, "mode " + std::to_string(rule.mode) + " is outside 0..3");
    }
}

// A setter's rule, checked before it replaces the zone's, so a refused rule
// leaves the zone as it was.
TransitionRule checkedRule(int mode, int month, int day, int dayOfWeek, int time, const char* which) {
    TransitionRule rule;
    rule.mode = mode;
    rule.month = month;
    rule.timeOfDay = time;
    rule.dayOfWeek = dayOfWeek;
    rule.day = day;
    const char* context = "set the time zone's transition rule";
    checkRuleDay(rule, context, which);
    if (rule.timeOfDay < 0 || rule.timeOfDay > millisPerDay)
        badRule(context, which, "time of day " + std::to_string(rule.timeOfDay) + " ms is outside 0..86400000");
    return rule;
}

// The mode of a weekday on or after (true) or on or before a day of the month.
int weekdayMode(bool after) { return after ? TransitionRule::DOW_GE_DOM_MODE : TransitionRule::DOW_LE_DOM_MODE; }

const TransitionRule noRule = {0, 0, 0, 0, 0};

int minutesToMillis(__int64 minutes, const char* what) {
    const __int64 ms = minutes * 60000;
    if (ms < INT_MIN || ms > INT_MAX)
        throw Exception(std::string("Can't convert the time zone information: the ") + what + " of " +
                        std::to_string(minutes) + " minutes is out of range");
    return static_cast<int>(ms);
}

// The Win32 form of a transition: an absolute date when wYear is set, else the
// wDay-th wDayOfWeek of wMonth, where 5 means the last one.
TransitionRule ruleFromSystemTime(const SYSTEMTIME& st) {
    TransitionRule rule;
    if (st.wYear != 0) {
        rule.mode = TransitionRule::DAY_OF_MONTH_MODE;
        rule.dayOfWeek = 0;
        rule.day = st.wDay;
    } else {
        rule.mode = TransitionRule::DAY_OF_WEEK_IN_MONTH_MODE;
        rule.dayOfWeek = st.wDayOfWeek + 1;
        rule.day = st.wDay == 5 ? -1 : st.wDay;
    }
    rule.month = st.wMonth - 1;
    rule.timeOfDay = ((st.wHour * 60 + st.wMinute) * 60 + st.wSecond) * 1000 + st.wMilliseconds;
    return rule;
}

} // namespace

TimeZone::TimeZone() : dstOffset(0), standardOffset(0), startRule(noRule), endRule(noRule) {}

TimeZone::TimeZone(const char*) : TimeZone() {}

TimeZone::TimeZone(const TIME_ZONE_INFORMATION& info) : TimeZone() { set(info); }

TimeZone TimeZone::current() {
    TIME_ZONE_INFORMATION info;
    if (GetTimeZoneInformation(&info) == TIME_ZONE_ID_INVALID) throw WindowsError("Can't get time zone information");
    return TimeZone(info);
}

TimeZone TimeZone::fromTimeZoneInformation(const TIME_ZONE_INFORMATION& info) { return TimeZone(info); }

void TimeZone::set(const TIME_ZONE_INFORMATION& info) {
    const int standard =
        minutesToMillis(-(static_cast<__int64>(info.Bias) + info.StandardBias), "standard bias");
    int dst = minutesToMillis(static_cast<__int64>(info.StandardBias) - info.DaylightBias, "daylight bias");
    // A record without transition dates has no daylight saving, whatever its biases
    // say (the system leaves DaylightBias at -60 for zones that dropped it).
    if (info.DaylightDate.wMonth == 0 || info.StandardDate.wMonth == 0) dst = 0;
    if (dst == 0) {
        standardOffset = standard;
        dstOffset = 0;
        return;
    }
    TransitionRule start = ruleFromSystemTime(info.DaylightDate);
    TransitionRule end = ruleFromSystemTime(info.StandardDate);
    const char* context = "convert the time zone information";
    checkRuleDay(start, context, "start");
    checkRuleDay(end, context, "end");
    if (start.timeOfDay >= millisPerDay || end.timeOfDay >= millisPerDay)
        badRule(context, start.timeOfDay >= millisPerDay ? "start" : "end", "time of day lies beyond 23:59:59.999");
    // The record gives the end of daylight saving in daylight time; the rules
    // compare local standard time.
    end.timeOfDay -= dst;
    standardOffset = standard;
    dstOffset = dst;
    startRule = start;
    endRule = end;
}

void TimeZone::SetStartRule(Month month, int dayOfWeekInMonth, DayOfWeek dayOfWeek, int time) {
    startRule =
        checkedRule(TransitionRule::DAY_OF_WEEK_IN_MONTH_MODE, month, dayOfWeekInMonth, dayOfWeek, time, "start");
}

void TimeZone::SetEndRule(Month month, int dayOfWeekInMonth, DayOfWeek dayOfWeek, int time) {
    endRule =
        checkedRule(TransitionRule::DAY_OF_WEEK_IN_MONTH_MODE, month, dayOfWeekInMonth, dayOfWeek, time, "end");
}

void TimeZone::SetStartRule(Month month, int day, int time) {
    startRule = checkedRule(TransitionRule::DAY_OF_MONTH_MODE, month, day, 0, time, "start");
}

void TimeZone::SetEndRule(Month month, int day, int time) {
    endRule = checkedRule(TransitionRule::DAY_OF_MONTH_MODE, month, day, 0, time, "end");
}

void TimeZone::SetStartRule(Month month, int day, DayOfWeek dayOfWeek, int time, bool after) {
    startRule = checkedRule(weekdayMode(after), month, day, dayOfWeek, time, "start");
}

void TimeZone::SetEndRule(Month month, int day, DayOfWeek dayOfWeek, int time, bool after) {
    endRule = checkedRule(weekdayMode(after), month, day, dayOfWeek, time, "end");
}

int TimeZone::ruleDay(const TransitionRule& rule, int monthLength, int firstWeekday) {
    switch (rule.mode) {
    case TransitionRule::DAY_OF_MONTH_MODE:
        return rule.day;
    case TransitionRule::DAY_OF_WEEK_IN_MONTH_MODE:
        if (rule.day > 0) return 7 * rule.day - 6 + mod7(rule.dayOfWeek - firstWeekday);
        return monthLength + (rule.day + 1) * 7 - mod7(firstWeekday + monthLength - 1 - rule.dayOfWeek);
    case TransitionRule::DOW_GE_DOM_MODE:
        return rule.day + mod7(rule.dayOfWeek - (firstWeekday + rule.day - 1));
    case TransitionRule::DOW_LE_DOM_MODE:
        return rule.day - mod7((firstWeekday + rule.day - 1) - rule.dayOfWeek);
    default:
        return 0;
    }
}

void TimeZone::checkRules(const char* context) const {
    // The rules are public members and may have been written directly.
    checkRuleDay(startRule, context, "start");
    checkRuleDay(endRule, context, "end");
}

int TimeZone::monthLengthIn(int year, int month) {
    // The last weekday of February moves by a week when the 29th exists.
    int length = GregorianCalendarBase::MonthLength(static_cast<Month>(month));
    if (month == GregorianCalendarBase::FEBRUARY && GregorianCalendarBase::Default.isLeapYear(year)) ++length;
    return length;
}

void TimeZone::throwOffsetOverflow(const char* context) const {
    throw Exception(std::string("Can't ") + context + ": standard offset " + std::to_string(standardOffset) +
                    " ms plus daylight saving " + std::to_string(dstOffset) + " ms overflows 32 bits");
}

int TimeZone::GetOffset(Era era, int year, Month month, int day, DayOfWeek dayOfWeek, int millis) const {
    if (dstOffset == 0 || era != GregorianCalendarBase::AD) return standardOffset;

    const char* context = "get the time zone offset";
    if (month < 0 || month > 11)
        throw Exception(std::string("Can't ") + context + ": month " + std::to_string(int(month)) +
                        " is outside 0..11");
    if (day < 1 || day > 31)
        throw Exception(std::string("Can't ") + context + ": day " + std::to_string(day) + " is outside 1..31");
    if (dayOfWeek < 1 || dayOfWeek > 7)
        throw Exception(std::string("Can't ") + context + ": day of week " + std::to_string(int(dayOfWeek)) +
                        " is outside 1..7");
    if (millis < 0 || millis >= millisPerDay)
        throw Exception(std::string("Can't ") + context + ": time of day " + std::to_string(millis) +
                        " ms is outside 0..86399999");
    checkRules(context);

    const int monthLength = monthLengthIn(year, month), firstWeekday = dayOfWeek - day + 1;
    const int s = compareWithRule(startRule, ruleDay(startRule, monthLength, firstWeekday), month, day, millis);
    const int e = compareWithRule(endRule, ruleDay(endRule, monthLength, firstWeekday), month, day, millis);
    return inDaylight(s, e) ? offsetIfDaylight(context) : standardOffset;
}

} // namespace vesk
