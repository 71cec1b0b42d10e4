// Calendar: the lazy protocol between instant and fields (setting a field
// invalidates the time, reading recomputes once), the probing actual minimum and the
// release of its clone, the generic roll and field-index checks.
// Runs over a small test-only calendar that counts its conversions.
#include <vesk/time/calendar.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

using vesk::Calendar, vesk::TimeZone;
using namespace vesk_test;

namespace {

// Fields: MILLISECOND, SECOND and MINUTE of UTC. MINUTE
// never goes below -2, and setting any field to 666 throws. Copies share the log,
// so its use count tells how many are alive.
class CountingCalendar : public Calendar {
public:
    CountingCalendar() : Calendar(TimeZone()) {}
    Cloneable* Clone() const override { return ++*clones, new CountingCalendar(*this); }
    void set(unsigned field, int value) override {
        checkField(field, "set");
        if (value == 666) throw vesk::Exception("Can't set 666");
        fields[field] = value;
        timeValid = fieldsValid = false;
    }
    void add(unsigned, int) override {}
    using Calendar::roll;
    void roll(unsigned field, bool up) override { log->push_back((up ? "up " : "down ") + std::to_string(field)); }
    int getMinimum(int) override { return least; }
    int getGreatestMinimum(int) override { return greatest; }
    int getMaximum(int) override { return 59; }
    int getLeastMaximum(int) override { return 59; }
    int getActualMaximum(int) override { return 59; }

    // The flags, which a concrete calendar may set on its own (e.g. invalidate the time but keep the fields).
    using Calendar::complete, Calendar::getTimeInMillis, Calendar::setTimeInMillis, Calendar::timeValid,
        Calendar::allFieldsValid;
    // computeTime and computeFields passes so far.
    std::string calls() const { return std::to_string(computeTimeCalls) + "/" + std::to_string(computeFieldsCalls); }

    int least = -5, greatest = 0, computeTimeCalls = 0, computeFieldsCalls = 0;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<int> clones = std::make_shared<int>(0);

protected:
    void computeTime() override {
        ++computeTimeCalls;
        time = (fields[MINUTE] * 60LL + fields[SECOND]) * 1000 + fields[MILLISECOND];
    }
    void computeFields() override {
        ++computeFieldsCalls;
        fields[MINUTE] = int(std::max(vesk_test::fdiv(time, 60000), -2LL));
        fields[SECOND] = int(vesk_test::fmod(time, 60000) / 1000);
        fields[MILLISECOND] = int(vesk_test::fmod(time, 1000));
    }
    int internalGet(unsigned field) const override { return fields[field]; }
    void internalSet(int field, int value) override { fields[field] = value; }

private:
    std::array<int, FIELD_COUNT> fields{};
};

} // namespace

TEST(Calendar, SettingAFieldInvalidatesTheTimeAndReadingRecomputesOnce) {
    // The values read, and where it counts the computeTime/computeFields passes so far.
    CountingCalendar c;
    std::string seen;
    const auto read = [&](long long value) { seen.append(" ").append(std::to_string(value)); };
    const auto passes = [&] { seen.append("@").append(c.calls()); };
    read(c.get(Calendar::SECOND)), passes(); // a fresh calendar computes from its fields first
    c.setTime(vesk::Time(754321));           // 12:34.321
    read(static_cast<__int64>(c.getTime())), read(c.get(Calendar::SECOND)), passes();
    c.set(Calendar::SECOND, 75); // lenient: carried into the minute
    read(c.getTimeInMillis()), read(c.get(Calendar::MINUTE)), read(c.get(Calendar::SECOND)), passes();
    c.set(Calendar::MINUTE, 3); // a read recomputes the time, then the fields
    read(c.get(Calendar::MINUTE)), read(c.getTimeInMillis()), passes();
    EXPECT_EQ(" 0@1/1 754321 34@1/2 795321 13 15@2/3 3 195321@3/4", seen);
}

TEST(Calendar, NonLenientRecomputationKeepsFieldsComputedFromATime) {
    // Passes after a recomputation of the time, strict and lenient, with all fields or
    // not all computed from a time before.
    std::string calls;
    for (bool allFieldsFromTime : {true, false})
        for (bool lenient : {false, true}) {
            CountingCalendar c;
            c.setLenient(lenient), c.setTimeInMillis(61000);
            c.allFieldsValid = allFieldsFromTime, c.timeValid = false;
            c.complete();
            calls += c.calls() + " ";
        }
    EXPECT_EQ("1/1 1/2 1/2 1/2 ", calls);
}

TEST(Calendar, ActualMinimumProbesALenientCloneAndReleasesIt) {
    // Downward from the greatest minimum until the field no longer keeps the value or the
    // minimum is reached; nothing to probe; a probe that throws.
    const struct { int least, greatest; std::string result; int clones; } rows[] = {
        {-5, 0, "-2", 1}, {-1, 0, "-1", 1}, {0, 0, "0", 0}, {600, 666, "Can't set 666", 1}};
    for (const auto& r : rows) {
        CountingCalendar c;
        c.least = r.least, c.greatest = r.greatest;
        c.setLenient(false), c.setTimeInMillis(0);
        std::string value;
        const std::string message = messageOf([&] { value = std::to_string(c.getActualMinimum(Calendar::MINUTE)); });
        EXPECT_EQ(r.result, value.empty() ? message : value);
        EXPECT_TRUE(r.clones == *c.clones && c.log.use_count() == 1) << r.result; // the clone is released
        EXPECT_TRUE(!c.isLenient() && c.get(Calendar::MINUTE) == 0) << r.result; // the calendar itself is untouched
    }
}

TEST(Calendar, RollByAmountTakesSingleStepsAndFieldIndicesAboveSixteenAreRefused) {
    CountingCalendar c;
    for (int amount : {0, -3, 2}) c.roll(Calendar::MINUTE, amount);
    EXPECT_EQ("Can't get calendar field 17: field indices run from 0 to 16", messageOf([&] { c.get(17); }));
    EXPECT_EQ("Can't roll calendar field 4294967295: field indices run from 0 to 16",
              messageOf([&] { c.roll(-1u, 1); }));
    EXPECT_TRUE(contains(messageOf([&] { c.getActualMinimum(-1); }), "actual minimum of calendar field 4294967295"));
    EXPECT_EQ((std::vector<std::string>{"down 12", "down 12", "down 12", "up 12", "up 12"}), *c.log); // none refused
}
