// Calendar: the abstract base of calendars. It owns the instant, the zone and the
// validity flags and keeps instant and broken-down fields consistent lazily; the
// concrete calendar owns the field values and stamps and does the arithmetic.
#pragma once

#include <vesk/config.h>
#include <vesk/time/time.h>
#include <vesk/time/time_zone.h>

namespace vesk {

class VESK_API Cloneable {
public:
    // A new heap copy of the object.
    virtual Cloneable* Clone() const = 0;

protected:
    Cloneable() {}
    Cloneable(const Cloneable&) {}
    Cloneable& operator=(const Cloneable&) { return *this; }
    // Not virtual and not public: a clone is released through its calendar type.
    ~Cloneable() {}
};

class VESK_API Calendar : public Cloneable {
public:
    // Field indices (enumerators, so they need no storage in the DLL).
    enum Field : unsigned {
        ERA = 0,
        YEAR = 1,
        MONTH = 2,
        WEEK_OF_YEAR = 3,
        WEEK_OF_MONTH = 4,
        DAY_OF_MONTH = 5,
        DAY_OF_YEAR = 6,
        DAY_OF_WEEK = 7,
        DAY_OF_WEEK_IN_MONTH = 8,
        AM_PM = 9,
        HOUR = 10,
        HOUR_OF_DAY = 11,
        MINUTE = 12,
        SECOND = 13,
        MILLISECOND = 14,
        ZONE_OFFSET = 15,
        DST_OFFSET = 16,
        FIELD_COUNT = 17
    };

    // Slot 0.
    Cloneable* Clone() const override = 0;

protected:
    // Slots 1-4.
    virtual void computeTime() = 0;
    virtual void computeFields() = 0;
    virtual int internalGet(unsigned field) const = 0;
    virtual void internalSet(int field, int value) = 0;

public:
    // Slots 5-14.
    virtual void set(unsigned field, int value) = 0;
    virtual void add(unsigned field, int amount) = 0;
    // Single steps through roll(field, bool): up for a positive amount, down for a
    // negative one; 0 does nothing.
    virtual void roll(unsigned field, int amount);
    virtual void roll(unsigned field, bool up) = 0;
    virtual int getMinimum(int field) = 0;
    virtual int getMaximum(int field) = 0;
    virtual int getGreatestMinimum(int field) = 0;
    virtual int getLeastMaximum(int field) = 0;
    // Probes a lenient clone downward from the greatest minimum.
    virtual int getActualMinimum(int field);
    virtual int getActualMaximum(int field) = 0;

    // After every slot above, so their order is kept.
    virtual ~Calendar() {}

    Time getTime();
    void setTime(const Time& date);

    // complete(), then the raw field. Field indices above 16 throw vesk::Exception.
    int get(unsigned field) const;

    void SetTimeZone(const TimeZone& value) { zone = value; }
    const TimeZone& GetTimeZone() const { return zone; }
    void setLenient(bool value) { lenient = value; }
    bool isLenient() const { return lenient; }

    Calendar(const Calendar&) = default;
    Calendar& operator=(const Calendar&) = default;

protected:
    // Zone of the running system (may throw what TimeZone::current throws).
    Calendar();
    explicit Calendar(const TimeZone& zone);

    __int64 getTimeInMillis();
    void setTimeInMillis(__int64 millis);
    // Brings time and fields up to date with each other.
    void complete();

    // Throws vesk::Exception naming the operation when field is not below FIELD_COUNT.
    static void checkField(unsigned field, const char* operation);

    TimeZone zone;
    __int64 time;
    bool timeValid;
    bool fieldsValid;
    bool allFieldsValid;
    bool lenient;

private:
    void updateTime();
    void Initialize();
};

} // namespace vesk
