// Calendar: the lazy protocol that keeps the instant and the fields of a
// concrete calendar consistent, and the generic roll and actual-minimum probes.
#include <vesk/time/calendar.h>

#include <vesk/errors/exception.h>

#include <memory>
#include <string>

namespace vesk {

Calendar::Calendar()
    : zone(TimeZone::current()), time(0), timeValid(false), fieldsValid(false), allFieldsValid(false),
      lenient(true) {
    Initialize();
}

Calendar::Calendar(const TimeZone& zone)
    : zone(zone), time(0), timeValid(false), fieldsValid(false), allFieldsValid(false), lenient(true) {
    Initialize();
}

void Calendar::Initialize() { lenient = true; }

void Calendar::checkField(unsigned field, const char* operation) {
    if (field >= FIELD_COUNT)
        throw Exception(std::string("Can't ") + operation + " calendar field " + std::to_string(field) +
                        ": field indices run from 0 to 16");
}

void Calendar::updateTime() {
    computeTime();
    // A lenient calendar may have normalised the fields, and fields that were not
    // all computed from a time are incomplete: both are recomputed from the new time.
    if (lenient || !allFieldsValid) fieldsValid = false;
    timeValid = true;
}

Time Calendar::getTime() {
    if (!timeValid) updateTime();
    return Time(time);
}

__int64 Calendar::getTimeInMillis() {
    if (!timeValid) updateTime();
    return time;
}

void Calendar::setTime(const Time& date) { setTimeInMillis(date); }

void Calendar::setTimeInMillis(__int64 millis) {
    time = millis;
    timeValid = true;
    fieldsValid = false;
    computeFields();
    fieldsValid = true;
    allFieldsValid = true;
}

void Calendar::complete() {
    if (!timeValid) updateTime();
    if (!fieldsValid) {
        computeFields();
        fieldsValid = true;
        allFieldsValid = true;
    }
}

int Calendar::get(unsigned field) const {
    checkField(field, "get");
    // Reading brings the fields up to date; a calendar is a single-threaded value
    // whose reads change its cached state.
    Calendar* self = const_cast<Calendar*>(this);
    self->complete();
    return internalGet(field);
}

void Calendar::roll(unsigned field, int amount) {
    checkField(field, "roll");
    for (; amount > 0; --amount) roll(field, true);
    for (; amount < 0; ++amount) roll(field, false);
}

int Calendar::getActualMinimum(int field) {
    checkField(static_cast<unsigned>(field), "get the actual minimum of");
    const int greatest = getGreatestMinimum(field);
    const int minimum = getMinimum(field);
    if (greatest == minimum) return greatest;

    Calendar* probe = dynamic_cast<Calendar*>(Clone());
    if (!probe) throw Exception("Can't get the actual minimum of calendar field " + std::to_string(field) +
                                ": the clone is not a calendar");
    std::unique_ptr<Calendar> owner(probe);
    probe->setLenient(true);

    const unsigned index = static_cast<unsigned>(field);
    int result = greatest;
    for (int value = greatest;; --value) {
        probe->set(index, value);
        probe->complete();
        if (probe->internalGet(index) != value) break;
        result = value;
        if (value <= minimum) break;
    }
    return result;
}

} // namespace vesk
