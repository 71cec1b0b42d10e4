// Calendar: the lazy protocol between instant and fields (setting a field
// invalidates the time, reading the time recomputes it once, reading a field
// recomputes the fields once), zone changes, the generic roll, the probing actual
// minimum and its clone's release, field-index checks. Runs over a small test-only
// calendar that counts its conversions.
#include <vesk/errors/exception.h>
#include <vesk/time/calendar.h>

#include <gtest/gtest.h>

#include "time_reference.h"

#include <climits>
#include <memory>
#include <string>
#include <vector>

using vesk::Calendar;
using vesk::TimeZone;
using vesk_test::messageOf;

namespace {

int liveCalendars = 0;

// Fields: MILLISECOND, SECOND and MINUTE of the local time, ZONE_OFFSET. MINUTE
// never goes below -2 (its actual minimum), and setting SECOND to 666 throws.
class CountingCalendar : public Calendar {
public:
    explicit CountingCalendar(const TimeZone& zone) : Calendar(zone) { ++liveCalendars; }
    CountingCalendar() { ++liveCalendars; }
    CountingCalendar(const CountingCalendar& other) : Calendar(other), log(other.log), clones(other.clones) {
        for (unsigned i = 0; i < FIELD_COUNT; ++i) fields[i] = other.fields[i];
        ++liveCalendars;
        ++*clones;
    }
    CountingCalendar& operator=(const CountingCalendar& other) {
        Calendar::operator=(other);
        for (unsigned i = 0; i < FIELD_COUNT; ++i) fields[i] = other.fields[i];
        return *this;
    }
    ~CountingCalendar() override { --liveCalendars; }

    Cloneable* Clone() const override { return new CountingCalendar(*this); }

    void set(unsigned field, int value) override {
        checkField(field, "set");
        if (field == SECOND && value == 666) throw vesk::Exception("Can't set second 666");
        log->push_back("set " + std::to_string(field) + "=" + std::to_string(value));
        timeValid = false;
        fields[field] = value;
        fieldsValid = false;
    }
    void add(unsigned, int) override {}
    using Calendar::roll;
    void roll(unsigned field, bool up) override { log->push_back(std::string(up ? "up " : "down ") + std::to_string(field)); }
    int getMinimum(int field) override { return field == static_cast<int>(MINUTE) ? -5 : 0; }
    int getMaximum(int) override { return 59; }
    int getGreatestMinimum(int) override { return 0; }
    int getLeastMaximum(int) override { return 59; }
    int getActualMaximum(int) override { return 59; }

    // What a concrete calendar does when it invalidates the time but keeps the fields.
    void invalidateTimeOnly() { timeValid = false; }
    void forgetThatAllFieldsWereComputed() { allFieldsValid = false; }

    using Calendar::complete;
    using Calendar::getTimeInMillis;
    using Calendar::setTimeInMillis;
    bool isTimeValid() const { return timeValid; }
    bool areFieldsValid() const { return fieldsValid; }

    int computeTimeCalls = 0;
    int computeFieldsCalls = 0;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<int> clones = std::make_shared<int>(0);

protected:
    void computeTime() override {
        ++computeTimeCalls;
        time = (static_cast<__int64>(fields[MINUTE]) * 60 + fields[SECOND]) * 1000 + fields[MILLISECOND] -
               zone.GetStandardOffset();
    }
    void computeFields() override {
        ++computeFieldsCalls;
        const __int64 local = time + zone.GetStandardOffset();
        __int64 minute = local / 60000 - (local % 60000 < 0 ? 1 : 0);
        const __int64 rest = local - minute * 60000;
        if (minute < -2) minute = -2;
        fields[MINUTE] = static_cast<int>(minute);
        fields[SECOND] = static_cast<int>(rest / 1000);
        fields[MILLISECOND] = static_cast<int>(rest % 1000);
        fields[ZONE_OFFSET] = zone.GetStandardOffset();
    }
    int internalGet(unsigned field) const override { return fields[field]; }
    void internalSet(int field, int value) override { fields[field] = value; }

private:
    int fields[FIELD_COUNT] = {};
};

TimeZone zoneOf(int offset) {
    TimeZone z;
    z.SetStandardOffset(offset);
    return z;
}

} // namespace

TEST(Calendar, FieldIndices) {
    const unsigned indices[] = {Calendar::ERA,          Calendar::YEAR,         Calendar::MONTH,
                                Calendar::WEEK_OF_YEAR, Calendar::WEEK_OF_MONTH, Calendar::DAY_OF_MONTH,
                                Calendar::DAY_OF_YEAR,  Calendar::DAY_OF_WEEK,  Calendar::DAY_OF_WEEK_IN_MONTH,
                                Calendar::AM_PM,        Calendar::HOUR,         Calendar::HOUR_OF_DAY,
                                Calendar::MINUTE,       Calendar::SECOND,       Calendar::MILLISECOND,
                                Calendar::ZONE_OFFSET,  Calendar::DST_OFFSET};
    for (unsigned i = 0; i < 17; ++i) EXPECT_EQ(i, indices[i]);
    EXPECT_EQ(17u, Calendar::FIELD_COUNT);
}

TEST(Calendar, SetTimeComputesFieldsOnceAndKeepsTheTime) {
    CountingCalendar c(zoneOf(0));
    EXPECT_TRUE(c.isLenient());
    c.setTime(vesk::Time(754321));
    EXPECT_EQ(1, c.computeFieldsCalls);
    EXPECT_EQ(754321, static_cast<__int64>(c.getTime()));
    EXPECT_EQ(754321, c.getTimeInMillis());
    EXPECT_EQ(12, c.get(Calendar::MINUTE));
    EXPECT_EQ(34, c.get(Calendar::SECOND));
    EXPECT_EQ(321, c.get(Calendar::MILLISECOND));
    EXPECT_EQ(0, c.computeTimeCalls);
    EXPECT_EQ(1, c.computeFieldsCalls);
}

TEST(Calendar, SettingAFieldInvalidatesTheTimeAndReadingRecomputesOnce) {
    CountingCalendar c(zoneOf(0));
    c.setTimeInMillis(754321);
    c.set(Calendar::SECOND, 75); // out of range: a lenient calendar carries it into the minute
    EXPECT_FALSE(c.isTimeValid());
    EXPECT_FALSE(c.areFieldsValid());
    EXPECT_EQ((12 * 60 + 75) * 1000 + 321, c.getTimeInMillis());
    EXPECT_EQ(1, c.computeTimeCalls);
    EXPECT_EQ((12 * 60 + 75) * 1000 + 321, static_cast<__int64>(c.getTime()));
    EXPECT_EQ(1, c.computeTimeCalls);
    // Lenient: the fields are recomputed from the new time, once.
    EXPECT_EQ(13, c.get(Calendar::MINUTE));
    EXPECT_EQ(15, c.get(Calendar::SECOND));
    EXPECT_EQ(2, c.computeFieldsCalls);
    EXPECT_EQ(1, c.computeTimeCalls);
}

TEST(Calendar, GetRecomputesTimeThenFields) {
    CountingCalendar c(zoneOf(0));
    c.setTimeInMillis(0);
    c.set(Calendar::MINUTE, 3);
    EXPECT_EQ(3, c.get(Calendar::MINUTE));
    EXPECT_EQ(1, c.computeTimeCalls);
    EXPECT_EQ(2, c.computeFieldsCalls);
    EXPECT_EQ(180000, c.getTimeInMillis());
    EXPECT_EQ(1, c.computeTimeCalls);
}

TEST(Calendar, NonLenientRecomputationKeepsFieldsComputedFromATime) {
    struct Case {
        bool lenient, allFieldsFromTime;
        int fieldPasses;
    } cases[] = {{false, true, 0}, {true, true, 1}, {false, false, 1}, {true, false, 1}};
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.lenient) + "/" + std::to_string(k.allFieldsFromTime));
        CountingCalendar c(zoneOf(0));
        c.setLenient(k.lenient);
        c.setTimeInMillis(61000);
        if (!k.allFieldsFromTime) c.forgetThatAllFieldsWereComputed();
        c.invalidateTimeOnly();
        c.complete();
        EXPECT_EQ(1, c.computeTimeCalls);
        EXPECT_EQ(1 + k.fieldPasses, c.computeFieldsCalls);
        EXPECT_TRUE(c.isTimeValid());
        EXPECT_TRUE(c.areFieldsValid());
    }
}

TEST(Calendar, FreshCalendarComputesFromItsFieldsOnFirstRead) {
    CountingCalendar c(zoneOf(0));
    EXPECT_FALSE(c.isTimeValid());
    EXPECT_EQ(0, c.get(Calendar::SECOND));
    EXPECT_EQ(1, c.computeTimeCalls);
    EXPECT_EQ(1, c.computeFieldsCalls);
}

TEST(Calendar, ZoneChangeKeepsOldFieldsUntilTheNextRecomputation) {
    CountingCalendar c(zoneOf(0));
    c.setTimeInMillis(120000);
    c.SetTimeZone(zoneOf(3600000));
    EXPECT_EQ(3600000, c.GetTimeZone().GetStandardOffset());
    EXPECT_EQ(0, c.get(Calendar::ZONE_OFFSET));
    EXPECT_EQ(2, c.get(Calendar::MINUTE));
    c.setTimeInMillis(120000);
    EXPECT_EQ(3600000, c.get(Calendar::ZONE_OFFSET));
    EXPECT_EQ(62, c.get(Calendar::MINUTE));
}

TEST(Calendar, DefaultZoneIsTheSystemZone) {
    CountingCalendar c;
    const TimeZone system = TimeZone::current();
    EXPECT_EQ(system.GetStandardOffset(), c.GetTimeZone().GetStandardOffset());
    EXPECT_EQ(system.GetDSTOffset(), c.GetTimeZone().GetDSTOffset());
}

TEST(Calendar, CopyTakesZoneTimeFlagsAndLeniency) {
    CountingCalendar c(zoneOf(7200000));
    c.setLenient(false);
    c.setTimeInMillis(5000);
    c.set(Calendar::SECOND, 9);
    CountingCalendar copy(c);
    EXPECT_FALSE(copy.isLenient());
    EXPECT_FALSE(copy.isTimeValid());
    EXPECT_EQ(7200000, copy.GetTimeZone().GetStandardOffset());
    EXPECT_EQ(9000, copy.getTimeInMillis());

    CountingCalendar other(zoneOf(0));
    other = c;
    EXPECT_EQ(7200000, other.GetTimeZone().GetStandardOffset());
    EXPECT_FALSE(other.isLenient());
    EXPECT_FALSE(other.isTimeValid());
}

TEST(Calendar, RollByAmountTakesSingleSteps) {
    const struct {
        int amount;
        std::vector<std::string> steps;
    } cases[] = {
        {0, {}},
        {-3, {"down 12", "down 12", "down 12"}},
        {2, {"up 12", "up 12"}},
        {1, {"up 12"}},
    };
    for (const auto& k : cases) {
        CountingCalendar c(zoneOf(0));
        c.setTimeInMillis(0);
        c.roll(Calendar::MINUTE, k.amount);
        EXPECT_EQ(k.steps, *c.log) << k.amount;
        EXPECT_EQ(0, c.computeTimeCalls);
        EXPECT_EQ(1, c.computeFieldsCalls);
    }
}

TEST(Calendar, ActualMinimumProbesALenientCloneAndReleasesIt) {
    const int before = liveCalendars;
    {
        CountingCalendar c(zoneOf(0));
        c.setLenient(false);
        c.setTimeInMillis(0);
        EXPECT_EQ(-2, c.getActualMinimum(Calendar::MINUTE));
        EXPECT_EQ(1, *c.clones);
        // Downward from the greatest minimum until the calendar no longer keeps the value.
        const std::vector<std::string> probes = {"set 12=0", "set 12=-1", "set 12=-2", "set 12=-3"};
        EXPECT_EQ(probes, *c.log);
        // The original is untouched.
        EXPECT_FALSE(c.isLenient());
        EXPECT_EQ(0, c.get(Calendar::MINUTE));
        EXPECT_EQ(before + 1, liveCalendars);
    }
    EXPECT_EQ(before, liveCalendars);
}

TEST(Calendar, ActualMinimumStopsAtTheMinimum) {
    struct Shallow : CountingCalendar {
        Shallow() : CountingCalendar(zoneOf(0)) {}
        Cloneable* Clone() const override { return new Shallow(*this); }
        int getMinimum(int) override { return -1; }
    };
    Shallow c;
    c.setTimeInMillis(0);
    EXPECT_EQ(-1, c.getActualMinimum(Calendar::MINUTE));
    const std::vector<std::string> probes = {"set 12=0", "set 12=-1"};
    EXPECT_EQ(probes, *c.log);
}

TEST(Calendar, ActualMinimumWithoutProbing) {
    CountingCalendar c(zoneOf(0));
    c.setTimeInMillis(0);
    EXPECT_EQ(0, c.getActualMinimum(Calendar::SECOND));
    EXPECT_EQ(0, *c.clones);
    EXPECT_TRUE(c.log->empty());
}

TEST(Calendar, ActualMinimumReleasesTheCloneWhenAProbeThrows) {
    struct Throwing : CountingCalendar {
        Throwing() : CountingCalendar(zoneOf(0)) {}
        Cloneable* Clone() const override { return new Throwing(*this); }
        int getGreatestMinimum(int) override { return 666; }
        int getMinimum(int) override { return 600; }
    };
    const int before = liveCalendars;
    {
        Throwing c;
        c.setTimeInMillis(0);
        EXPECT_EQ("Can't set second 666", messageOf([&] { c.getActualMinimum(Calendar::SECOND); }));
        EXPECT_EQ(before + 1, liveCalendars);
    }
    EXPECT_EQ(before, liveCalendars);
}

TEST(Calendar, CloneIsReleasedThroughTheCalendar) {
    const int before = liveCalendars;
    CountingCalendar c(zoneOf(0));
    Calendar* clone = dynamic_cast<Calendar*>(c.Clone());
    ASSERT_NE(nullptr, clone);
    EXPECT_EQ(before + 2, liveCalendars);
    delete clone;
    EXPECT_EQ(before + 1, liveCalendars);
}

TEST(Calendar, FieldIndicesAboveSixteenAreRefused) {
    CountingCalendar c(zoneOf(0));
    c.setTimeInMillis(0);
    const struct {
        std::string message, expected;
    } cases[] = {
        {messageOf([&] { c.get(17); }), "Can't get calendar field 17"},
        {messageOf([&] { c.get(UINT_MAX); }), "Can't get calendar field 4294967295"},
        {messageOf([&] { c.roll(17u, 2); }), "Can't roll calendar field 17"},
        {messageOf([&] { c.getActualMinimum(-1); }), "Can't get the actual minimum of calendar field 4294967295"},
    };
    for (const auto& k : cases) {
        EXPECT_NE(std::string::npos, k.message.find(k.expected)) << k.message;
        EXPECT_NE(std::string::npos, k.message.find("0 to 16")) << k.message;
    }
    EXPECT_TRUE(c.log->empty());
}
