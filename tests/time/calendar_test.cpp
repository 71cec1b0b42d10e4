// Calendar: the lazy protocol between instant and fields (setting a field
// invalidates the time, reading recomputes once), the generic roll,
// the probing actual minimum and the release of its clone, field-index checks.
// Runs over a small test-only calendar that counts its conversions.
#include <vesk/errors/exception.h>
#include <vesk/time/calendar.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

using vesk::Calendar;
using vesk::TimeZone;
using vesk_test::contains;
using vesk_test::messageOf;

namespace {

// Fields: MILLISECOND, SECOND and MINUTE of the local time, ZONE_OFFSET. MINUTE
// never goes below -2, and setting any field to 666 throws. Copies share the log,
// so its use count tells how many are alive.
class CountingCalendar : public Calendar {
public:
    CountingCalendar() : Calendar(TimeZone()) {}
    Cloneable* Clone() const override { return ++*clones, new CountingCalendar(*this); }
    void set(unsigned field, int value) override {
        checkField(field, "set");
        if (value == 666) throw vesk::Exception("Can't set 666");
        log->push_back("set " + std::to_string(field) + "=" + std::to_string(value));
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

    // What a concrete calendar does when it invalidates the time but keeps the fields.
    void invalidateTimeOnly() { timeValid = false; }
    void forgetThatAllFieldsWereComputed() { allFieldsValid = false; }
    using Calendar::complete;
    using Calendar::getTimeInMillis;
    using Calendar::setTimeInMillis;
    bool bothValid() const { return timeValid && fieldsValid; }
    // computeTime and computeFields passes so far.
    std::string calls() const { return std::to_string(computeTimeCalls) + "/" + std::to_string(computeFieldsCalls); }

    int least = -5, greatest = 0, computeTimeCalls = 0, computeFieldsCalls = 0;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<int> clones = std::make_shared<int>(0);

protected:
    void computeTime() override {
        ++computeTimeCalls;
        time = (fields[MINUTE] * 60LL + fields[SECOND]) * 1000 + fields[MILLISECOND] - zone.GetStandardOffset();
    }
    void computeFields() override {
        ++computeFieldsCalls;
        const __int64 local = time + zone.GetStandardOffset();
        const __int64 minute = local / 60000 - (local % 60000 < 0 ? 1 : 0), rest = local - minute * 60000;
        fields[MINUTE] = static_cast<int>(std::max<__int64>(minute, -2));
        fields[SECOND] = static_cast<int>(rest / 1000);
        fields[MILLISECOND] = static_cast<int>(rest % 1000);
        fields[ZONE_OFFSET] = zone.GetStandardOffset();
    }
    int internalGet(unsigned field) const override { return fields[field]; }
    void internalSet(int field, int value) override { fields[field] = value; }

private:
    std::array<int, FIELD_COUNT> fields{};
};

} // namespace

TEST(Calendar, SettingAFieldInvalidatesTheTimeAndReadingRecomputesOnce) {
    CountingCalendar c;
    EXPECT_EQ(0, c.get(Calendar::SECOND)); // a fresh calendar computes from its fields first
    EXPECT_EQ("1/1", c.calls());
    c.setTime(vesk::Time(754321)); // 12:34.321
    EXPECT_EQ(754321, static_cast<__int64>(c.getTime()));
    EXPECT_EQ(34, c.get(Calendar::SECOND));
    EXPECT_EQ("1/2", c.calls());
    c.set(Calendar::SECOND, 75); // lenient: carried into the minute
    EXPECT_EQ(795321, c.getTimeInMillis());
    EXPECT_EQ(13, c.get(Calendar::MINUTE));
    EXPECT_EQ(15, c.get(Calendar::SECOND));
    EXPECT_EQ("2/3", c.calls());
    c.set(Calendar::MINUTE, 3); // a read recomputes the time, then the fields
    EXPECT_EQ(3, c.get(Calendar::MINUTE));
    EXPECT_EQ(195321, c.getTimeInMillis());
    EXPECT_EQ("3/4", c.calls());
}

TEST(Calendar, NonLenientRecomputationKeepsFieldsComputedFromATime) {
    const struct { bool lenient, allFieldsFromTime; const char* calls; } cases[] = {
        {false, true, "1/1"}, {true, true, "1/2"}, {false, false, "1/2"}, {true, false, "1/2"}};
    for (const auto& k : cases) {
        CountingCalendar c;
        c.setLenient(k.lenient);
        c.setTimeInMillis(61000);
        if (!k.allFieldsFromTime) c.forgetThatAllFieldsWereComputed();
        c.invalidateTimeOnly();
        c.complete();
        EXPECT_EQ(k.calls, c.calls()) << k.lenient << k.allFieldsFromTime;
        EXPECT_TRUE(c.bothValid());
    }
}

TEST(Calendar, RollByAmountTakesSingleSteps) {
    const struct { int amount; std::vector<std::string> steps; } cases[] = {
        {0, {}}, {-3, {"down 12", "down 12", "down 12"}}, {2, {"up 12", "up 12"}}};
    for (const auto& k : cases) {
        CountingCalendar c;
        c.roll(Calendar::MINUTE, k.amount);
        EXPECT_EQ(k.steps, *c.log) << k.amount;
    }
}

TEST(Calendar, ActualMinimumProbesALenientCloneAndReleasesIt) {
    const struct { int least, greatest; std::string result; std::vector<std::string> probes; int clones; } rows[] = {
        // Downward from the greatest minimum until the field no longer keeps the value...
        {-5, 0, "-2", {"set 12=0", "set 12=-1", "set 12=-2", "set 12=-3"}, 1},
        {-1, 0, "-1", {"set 12=0", "set 12=-1"}, 1}, // ... or the minimum is reached
        {0, 0, "0", {}, 0},                           // nothing to probe
        {600, 666, "Can't set 666", {}, 1},           // a probe throws
    };
    for (const auto& r : rows) {
        CountingCalendar c;
        c.least = r.least;
        c.greatest = r.greatest;
        c.setLenient(false);
        c.setTimeInMillis(0);
        std::string result;
        try {
            result = std::to_string(c.getActualMinimum(Calendar::MINUTE));
        } catch (const vesk::Exception& e) {
            result = e.what();
        }
        EXPECT_EQ(r.result, result);
        EXPECT_EQ(r.probes, *c.log);
        EXPECT_EQ(r.clones, *c.clones);
        EXPECT_EQ(1, c.log.use_count()) << r.result; // the clone is released
        EXPECT_FALSE(c.isLenient());
        EXPECT_EQ(0, c.get(Calendar::MINUTE));
    }
}

TEST(Calendar, FieldIndicesAboveSixteenAreRefused) {
    CountingCalendar c;
    EXPECT_EQ("Can't get calendar field 17: field indices run from 0 to 16", messageOf([&] { c.get(17); }));
    EXPECT_EQ("Can't roll calendar field 4294967295: field indices run from 0 to 16",
              messageOf([&] { c.roll(-1u, 1); }));
    EXPECT_TRUE(contains(messageOf([&] { c.getActualMinimum(-1); }), "actual minimum of calendar field 4294967295"));
    EXPECT_TRUE(c.log->empty());
}
