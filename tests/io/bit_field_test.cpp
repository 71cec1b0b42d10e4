// BitField: bit numbering, range updates against a bit-by-bit reference, windows,
// value copies (also between overlapping fields), Bit proxies and every range check.
#include <vesk/io/bit_field.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using vesk::BitField;

namespace {

template <class F> std::string outOfRange(F f) {
    try {
        f();
    } catch (const std::out_of_range& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

bool bitOf(const std::vector<unsigned char>& bytes, unsigned k) { return (bytes[k / 8] >> (k % 8)) & 1; }

void setBitOf(std::vector<unsigned char>& bytes, unsigned k, bool value) {
    if (value)
        bytes[k / 8] = static_cast<unsigned char>(bytes[k / 8] | (1 << (k % 8)));
    else
        bytes[k / 8] = static_cast<unsigned char>(bytes[k / 8] & ~(1 << (k % 8)));
}

TEST(BitField, CountsBitsFromTheLeastSignificantBitOfByteZero) {
    unsigned char buffer[2] = {0x05, 0x80};
    BitField field(buffer, 2);
    EXPECT_EQ(field.getCount(), 16u);
    const bool expected[16] = {1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    for (unsigned i = 0; i < 16; ++i) {
        EXPECT_EQ(field.get(i), expected[i]) << i;
        EXPECT_EQ(static_cast<const BitField&>(field)[i], expected[i]) << i;
        EXPECT_EQ(static_cast<bool>(field[i]), expected[i]) << i;
    }
    BitField offset(buffer, 2, 3); // buffer bits 2..4
    EXPECT_TRUE(offset.get(0));
    EXPECT_FALSE(offset.get(1));
}

TEST(BitField, ClearOfAOneByteFieldTouchesOnlyThatByte) {
    unsigned char buffer[2] = {0xFF, 0xFF};
    BitField(buffer, 1).clear();
    EXPECT_EQ(buffer[0], 0x00);
    EXPECT_EQ(buffer[1], 0xFF);
}

TEST(BitField, FieldAcrossTwoBytesChangesOnlyItsBits) {
    unsigned char zeros[3] = {0, 0, 0};
    BitField(zeros, 3, 7).set(true);
    EXPECT_EQ(zeros[0], 0xF8);
    EXPECT_EQ(zeros[1], 0x03);
    EXPECT_EQ(zeros[2], 0x00);
    unsigned char ones[3] = {0xFF, 0xFF, 0xFF};
    BitField(ones, 3, 7).clear();
    EXPECT_EQ(ones[0], 0x07);
    EXPECT_EQ(ones[1], 0xFC);
    EXPECT_EQ(ones[2], 0xFF);
}

TEST(BitField, EveryRangeUpdateMatchesABitByBitReference) {
    // A field from buffer bit 5 over 24 bits of a 5-byte buffer; the bytes around it
    // hold a pattern that must survive.
    const std::vector<unsigned char> pattern = {0xA5, 0x3C, 0x96, 0x0F, 0xE1};
    for (bool value : {false, true})
        for (unsigned first = 0; first <= 24; ++first)
            for (unsigned count = 0; first + count <= 24; ++count) {
                std::vector<unsigned char> bytes = pattern, expected = pattern;
                BitField(bytes.data(), 5, 24).set(first, count, value);
                for (unsigned i = 0; i < count; ++i) setBitOf(expected, 5 + first + i, value);
                ASSERT_EQ(bytes, expected) << "first " << first << " count " << count << " value " << value;
            }
}

TEST(BitField, WindowsLookIntoTheirFieldAndStayInsideIt) {
    unsigned char buffer[2] = {0x00, 0x00};
    BitField field(buffer, 4, 10);
    BitField window(field, 2, 5); // buffer bits 6..10
    window.set(true);
    EXPECT_EQ(buffer[0], 0xC0);
    EXPECT_EQ(buffer[1], 0x07);
    EXPECT_EQ(window.getFirst(), 6u);
    EXPECT_EQ(BitField(field, 10, 0).getCount(), 0u) << "an empty window at the very end";
    EXPECT_EQ(outOfRange([&] { BitField(field, 6, 5); }),
              "Can't make a window of 5 bits from bit 6 into a bit field of 10 bits");
    EXPECT_NE(outOfRange([&] { BitField(field, 0xFFFFFFFFu, 2); }), "(nothing thrown)");
}

TEST(BitField, AssignmentCopiesValuesNotTheView) {
    unsigned char source[1] = {0xB5}; // 1011 0101
    unsigned char target[1] = {0x00};
    BitField eight(source, 1);
    BitField four(target, 0, 4);
    four = eight;
    EXPECT_EQ(target[0], 0x05) << "only the first 4 bits";
    EXPECT_EQ(four.getBuffer(), target) << "the view stays";
    BitField shifted(target, 2, 6);
    shifted = eight;
    EXPECT_EQ(target[0], 0xD5); // bits 2..7 take 1,0,1,0,1,1
}

TEST(BitField, AssignmentFromAShorterFieldIsRefused) {
    unsigned char a[1] = {0xFF}, b[1] = {0x00};
    BitField longer(b, 0, 6), shorter(a, 0, 5);
    EXPECT_EQ(outOfRange([&] { longer = shorter; }), "Can't copy a bit field of 5 bits into one of 6 bits");
    EXPECT_EQ(b[0], 0x00);
}

TEST(BitField, OverlappingCopiesWithinOneBufferAreCorrectInBothDirections) {
    const std::vector<unsigned char> pattern = {0x9B, 0x4E, 0x71};
    for (unsigned from = 0; from <= 8; ++from)
        for (unsigned to = 0; to <= 8; ++to) {
            std::vector<unsigned char> bytes = pattern, expected = pattern;
            BitField target(bytes.data(), to, 13);
            target = BitField(bytes.data(), from, 13);
            for (unsigned i = 0; i < 13; ++i) setBitOf(expected, to + i, bitOf(pattern, from + i));
            ASSERT_EQ(bytes, expected) << "from " << from << " to " << to;
        }
}

TEST(BitField, BitsSetClearAndAimElsewhere) {
    unsigned char buffer[1] = {0x00};
    BitField field(buffer, 1);
    EXPECT_TRUE(field[3] = true);
    EXPECT_EQ(buffer[0], 0x08);
    EXPECT_FALSE(field[3] = false);
    EXPECT_EQ(buffer[0], 0x00);

    BitField::Bit bit = field[1];
    bit = field[6]; // a named Bit now stands for bit 6
    bit = true;
    EXPECT_EQ(buffer[0], 0x40);

    field[0] = field[6]; // a temporary Bit takes the value
    EXPECT_EQ(buffer[0], 0x41);
    field[6] = field[2];
    EXPECT_EQ(buffer[0], 0x01);
}

TEST(BitField, IndicesOutsideTheFieldAreRefused) {
    unsigned char buffer[2] = {0x00, 0x00};
    BitField field(buffer, 1);
    EXPECT_EQ(outOfRange([&] { field.get(8); }), "Can't access bit 8 of a bit field of 8 bits");
    EXPECT_EQ(outOfRange([&] { field[8] = true; }), "Can't access bit 8 of a bit field of 8 bits");
    EXPECT_EQ(outOfRange([&] { field.set(5, 4, true); }), "Can't change 4 bits from bit 5 of a bit field of 8 bits");
    EXPECT_NE(outOfRange([&] { field.set(0xFFFFFFFFu, 2, true); }), "(nothing thrown)");
    EXPECT_EQ(buffer[0], 0x00);
    EXPECT_EQ(buffer[1], 0x00);
    EXPECT_NO_THROW(field.set(8, 0, true)) << "nothing at the end is allowed";
}

TEST(BitField, FieldsThatCannotBeAddressedAreRefused) {
    unsigned char buffer[1] = {0};
    EXPECT_EQ(outOfRange([&] { BitField(buffer, 0x20000000u); }),
              "Can't make a bit field of 536870912 bytes: bit positions are limited to 32 bits");
    EXPECT_NE(outOfRange([&] { BitField(buffer, 0xFFFFFFF0u, 0x20u); }), "(nothing thrown)");
    EXPECT_THROW(BitField(nullptr, 1), std::invalid_argument);
    EXPECT_THROW(BitField(nullptr, 0, 3), std::invalid_argument);
    EXPECT_NO_THROW(BitField(nullptr, 0u));
}

} // namespace
