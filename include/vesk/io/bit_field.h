// BitField: a view of a run of bits in a caller-owned byte buffer (bit k of the buffer
// is bit k % 8 of byte k / 8, counted from the least significant bit). The view never
// owns or resizes the buffer; every index is checked against the field.
#pragma once

#include <vesk/config.h>

namespace vesk {

class VESK_API BitField {
public:
    // Stands for one bit of a buffer.
    class VESK_API Bit {
    public:
        Bit(unsigned char* byte, unsigned char mask) : byte(byte), mask(mask) {}
        Bit(const Bit&) = default;

        operator bool() const { return (*byte & mask) != 0; }

        // Sets or clears the bit; returns the value given.
        bool operator=(bool value) {
            if (value)
                *byte = static_cast<unsigned char>(*byte | mask);
            else
                *byte = static_cast<unsigned char>(*byte & ~mask);
            return value;
        }

        // A named Bit is re-aimed at the other's bit.
        Bit& operator=(const Bit& other) & {
            byte = other.byte;
            mask = other.mask;
            return *this;
        }

        // A temporary Bit, as in field[0] = field[1], takes the other's value instead:
        // re-aiming a temporary would do nothing at all.
        bool operator=(const Bit& other) && { return *this = static_cast<bool>(other); }

    private:
        unsigned char* byte;
        unsigned char mask;
    };

    // All bits of bytes bytes.
    BitField(unsigned char* buffer, unsigned bytes);
    // count bits from buffer bit first.
    BitField(unsigned char* buffer, unsigned first, unsigned count);
    // A window into other: count bits from other's bit first; it must lie inside other.
    BitField(const BitField& other, unsigned first, unsigned count);
    BitField(const BitField&) = default;

    // Copies the bit values of source (which must have at least as many bits), not
    // the view; overlapping fields over one buffer are copied correctly.
    BitField& operator=(const BitField& source);

    bool get(unsigned i) const;
    bool operator[](unsigned i) const { return get(i); }
    Bit operator[](unsigned i);

    void set(unsigned first, unsigned count, bool value);
    void set(bool value) { set(0, count, value); }
    void clear() { set(0, count, false); }

    unsigned char* getBuffer() const { return buffer; }
    unsigned getFirst() const { return first; }
    unsigned getCount() const { return count; }

private:
    void check(unsigned i) const;

    unsigned char* buffer;
    unsigned first;
    unsigned count;
};

} // namespace vesk
