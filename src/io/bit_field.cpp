// Bit access and range updates of BitField, with every index checked against the field.
#include <vesk/io/bit_field.h>

#include <vesk/text/string.h>

#include <stdexcept>

namespace vesk {

namespace {

// Highest buffer bit index + 1 that a field may reach: bit positions are 32-bit.
constexpr unsigned long long bitLimit = 0xFFFFFFFFull;

void checkBuffer(const unsigned char* buffer, unsigned long long bits) {
    if (!buffer && bits != 0) throw std::invalid_argument("Can't make a bit field over a null buffer");
}

} // namespace

BitField::BitField(unsigned char* buffer, unsigned bytes) : buffer(buffer), first(0), count(0) {
    if (bytes > bitLimit / 8)
        throw std::out_of_range(BasicString<char>::fromFormat(
            "Can't make a bit field of %u bytes: bit positions are limited to 32 bits", bytes));
    checkBuffer(buffer, bytes);
    count = bytes * 8;
}

BitField::BitField(unsigned char* buffer, unsigned first, unsigned count)
    : buffer(buffer), first(first), count(count) {
    if (static_cast<unsigned long long>(first) + count > bitLimit)
        throw std::out_of_range(BasicString<char>::fromFormat(
            "Can't make a bit field of %u bits from bit %u: bit positions are limited to 32 bits", count, first));
    checkBuffer(buffer, count);
}

BitField::BitField(const BitField& other, unsigned first, unsigned count)
    : buffer(other.buffer), first(other.first + first), count(count) {
    if (static_cast<unsigned long long>(first) + count > other.count)
        throw std::out_of_range(BasicString<char>::fromFormat(
            "Can't make a window of %u bits from bit %u into a bit field of %u bits", count, first, other.count));
}

void BitField::check(unsigned i) const {
    if (i >= count)
        throw std::out_of_range(
            BasicString<char>::fromFormat("Can't access bit %u of a bit field of %u bits", i, count));
}

bool BitField::get(unsigned i) const {
    check(i);
    unsigned k = first + i;
    return (buffer[k / 8] >> (k % 8)) & 1;
}

BitField::Bit BitField::operator[](unsigned i) {
    check(i);
    unsigned k = first + i;
    return Bit(buffer + k / 8, static_cast<unsigned char>(1u << (k % 8)));
}

void BitField::set(unsigned from, unsigned n, bool value) {
    if (static_cast<unsigned long long>(from) + n > count)
        throw std::out_of_range(BasicString<char>::fromFormat(
            "Can't change %u bits from bit %u of a bit field of %u bits", n, from, count));
    if (n == 0) return;
    const unsigned s = first + from;
    const unsigned e = s + n; // exclusive; fits, since the field ends within 32 bits
    const unsigned lastByte = (e - 1) / 8; // a range ending on a byte boundary never touches the next byte
    for (unsigned b = s / 8; b <= lastByte; ++b) {
        unsigned mask = 0xFF;
        if (b == s / 8) mask = (mask << (s % 8)) & 0xFF;
        if (b == e / 8) mask &= (1u << (e % 8)) - 1;
        buffer[b] = static_cast<unsigned char>((buffer[b] & ~mask) | (value ? mask : 0));
    }
}

BitField& BitField::operator=(const BitField& source) {
    if (source.count < count)
        throw std::out_of_range(BasicString<char>::fromFormat(
            "Can't copy a bit field of %u bits into one of %u bits", source.count, count));
    // Like memmove: when the target starts after the source within the same bytes,
    // copy from the top down so that no source bit is overwritten before it is read.
    const bool downwards = buffer == source.buffer && first > source.first;
    for (unsigned j = 0; j < count; ++j) {
        unsigned i = downwards ? count - 1 - j : j;
        unsigned from = source.first + i;
        unsigned to = first + i;
        unsigned char mask = static_cast<unsigned char>(1u << (to % 8));
        if ((source.buffer[from / 8] >> (from % 8)) & 1)
            buffer[to / 8] = static_cast<unsigned char>(buffer[to / 8] | mask);
        else
            buffer[to / 8] = static_cast<unsigned char>(buffer[to / 8] & ~mask);
    }
    return *this;
}

} // namespace vesk
