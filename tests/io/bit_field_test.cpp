// BitField: range updates and overlapping copies against a bit-by-bit reference, bit
// numbering, windows, Bit proxies and the bounds checks.
#include <vesk/io/bit_field.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using vesk::BitField;

namespace {

using Bytes = std::vector<unsigned char>;

void setBitOf(Bytes& bytes, unsigned k, bool value) {
    bytes[k / 8] = static_cast<unsigned char>(value ? bytes[k / 8] | (1 << (k % 8)) : bytes[k / 8] & ~(1 << (k % 8)));
}

TEST(BitField, RangeUpdatesAndOverlappingCopiesMatchTheReference) {
    // A field from buffer bit 5 over 24 bits; the bits around it must survive.
    const Bytes bits = {0xA5, 0x3C, 0x96, 0x0F, 0xE1};
    for (bool value : {false, true})
        for (unsigned first = 0; first <= 24; ++first)
            for (unsigned count = 0; first + count <= 24; ++count) {
                Bytes bytes = bits, expected = bits;
                BitField(bytes.data(), 5, 24).set(first, count, value);
                for (unsigned i = 0; i < count; ++i) setBitOf(expected, 5 + first + i, value);
                ASSERT_EQ(bytes, expected) << "first " << first << " count " << count << " value " << value;
            }
    for (unsigned from = 0; from <= 8; ++from)
        for (unsigned to = 0; to <= 8; ++to) {
            Bytes bytes = bits, expected = bits;
            BitField target(bytes.data(), to, 13);
            target = BitField(bytes.data(), from, 13);
            for (unsigned k = from; k < from + 13; ++k) setBitOf(expected, to - from + k, (bits[k / 8] >> k % 8) & 1);
            ASSERT_EQ(bytes, expected) << "copy from " << from << " to " << to;
        }
}

TEST(BitField, CountsFromTheLowestBitWritesThroughAndStaysInside) {
    unsigned char buffer[2] = {0x05, 0x80};
    BitField field(buffer, 2), offset(buffer, 2, 3), byte(buffer, 1), shorter(buffer, 0, 5);
    std::string bits;
    for (unsigned i = 0; i < field.getCount(); ++i) bits += field.get(i) ? '1' : '0';
    for (unsigned i = 0; i < offset.getCount(); ++i) bits += offset[i] ? '1' : '0';
    EXPECT_EQ(bits, "1010000000000001" "100");
    field.clear();
    BitField(BitField(buffer, 4, 10), 2, 5).set(true); // buffer bits 6..10
    EXPECT_EQ(Bytes(buffer, buffer + 2), (Bytes{0xC0, 0x07}));
    EXPECT_FALSE(byte[7] = false);
    BitField::Bit bit = byte[1];
    bit = byte[2]; // a named Bit is re-aimed at bit 2
    bit = true;
    byte[0] = byte[6]; // a temporary Bit takes the value
    EXPECT_EQ(buffer[0], 0x45);

    auto outOfRange = [](auto f) -> std::string {
        try {
            return f(), "(nothing thrown)";
        } catch (const std::out_of_range& e) {
            return e.what();
        }
    };
    EXPECT_EQ(outOfRange([&] { byte[8] = true; }), "Can't access bit 8 of a bit field of 8 bits");
    EXPECT_EQ(outOfRange([&] { byte.set(0xFFFFFFFFu, 2, true); }),
              "Can't change 2 bits from bit 4294967295 of a bit field of 8 bits");
    EXPECT_EQ(outOfRange([&] { BitField(field, 0xFFFFFFFFu, 2); }),
              "Can't make a window of 2 bits from bit 4294967295 into a bit field of 16 bits");
    EXPECT_EQ(outOfRange([&] { byte = shorter; }), "Can't copy a bit field of 5 bits into one of 8 bits");
    EXPECT_EQ(outOfRange([&] { BitField(buffer, 0xFFFFFFF0u, 0x20u); }),
              "Can't make a bit field of 32 bits from bit 4294967280: bit positions are limited to 32 bits");
    EXPECT_EQ(outOfRange([&] { BitField(buffer, 0x20000000u); }),
              "Can't make a bit field of 536870912 bytes: bit positions are limited to 32 bits");
    EXPECT_THROW(byte.get(8), std::out_of_range);
    EXPECT_THROW(byte.set(5, 4, true), std::out_of_range);
    EXPECT_EQ(buffer[0], 0x45) << "refused changes change nothing";
    EXPECT_NO_THROW((byte.set(8, 0, true), BitField(field, 16, 0))) << "nothing at the very end";
    EXPECT_THROW(BitField(nullptr, 0, 3), std::invalid_argument);
}

} // namespace
