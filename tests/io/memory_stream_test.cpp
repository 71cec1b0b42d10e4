// MemoryInputStream and MemoryOutputStream: reads at the end, seek targets and their
// errors, growth of the output buffer, zero-filled gaps, copies, and a round trip.
#include <vesk/io/memory_stream.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

using namespace vesk;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes contents(const MemoryOutputStream& out) {
    MemoryOutputStream& stream = const_cast<MemoryOutputStream&>(out);
    return stream.getSize() ? Bytes(out.getData(), out.getData() + stream.getSize()) : Bytes();
}

template <class F> std::string runtimeErrorOf(F f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

const unsigned char ten[10] = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};

TEST(MemoryInputStream, ReadStopsAtTheEnd) {
    MemoryInputStream in(ten, 10);
    in.setFilePointer(8, Seekable::begin);
    unsigned char buffer[4] = {0, 0, 0, 0};
    EXPECT_EQ(in.read(buffer, 4), 2u);
    EXPECT_EQ(buffer[0], 18);
    EXPECT_EQ(buffer[1], 19);
    EXPECT_EQ(buffer[2], 0) << "nothing past the data is copied";
    EXPECT_EQ(in.read(buffer, 4), 0u);
    EXPECT_EQ(in.getFilePointer(), 10u);
}

TEST(MemoryInputStream, EmptyStreamsDeliverNothing) {
    MemoryInputStream none;
    unsigned char buffer[1];
    EXPECT_EQ(none.read(buffer, 1), 0u);
    EXPECT_EQ(none.getSize(), 0u);
    // A null buffer with a size would be read from: it is taken as empty.
    MemoryInputStream nullWithSize(nullptr, 50);
    EXPECT_EQ(nullWithSize.read(buffer, 1), 0u);
    EXPECT_EQ(nullWithSize.getSize(), 0u);
}

TEST(MemoryInputStream, SeekTargetsFromEachOrigin) {
    MemoryInputStream in(ten, 10);
    struct Row {
        long long offset;
        Seekable::whence from;
        unsigned start;
        long long target; // -1: "Bad seek position"
    };
    const Row rows[] = {
        {0, Seekable::end, 0, 10},       {1, Seekable::end, 0, -1},      {-1, Seekable::begin, 5, -1},
        {-10, Seekable::end, 0, 0},      {-11, Seekable::end, 3, -1},    {10, Seekable::begin, 0, 10},
        {11, Seekable::begin, 4, -1},    {3, Seekable::current, 6, 9},   {-6, Seekable::current, 6, 0},
        {-7, Seekable::current, 6, -1},  {5, Seekable::current, 6, -1},  {LLONG_MAX, Seekable::current, 6, -1},
        {LLONG_MIN, Seekable::current, 6, -1}, {LLONG_MAX, Seekable::end, 2, -1}, {LLONG_MIN, Seekable::begin, 2, -1},
    };
    for (const Row& row : rows) {
        in.setFilePointer(row.start, Seekable::begin);
        std::string what = std::to_string(row.offset) + " from " + std::to_string(row.from);
        if (row.target < 0) {
            EXPECT_EQ(runtimeErrorOf([&] { in.setFilePointer(row.offset, row.from); }), "Bad seek position") << what;
            EXPECT_EQ(in.getFilePointer(), row.start) << what << ": the position stays";
        } else {
            in.setFilePointer(row.offset, row.from);
            EXPECT_EQ(in.getFilePointer(), static_cast<unsigned long long>(row.target)) << what;
        }
    }
}

TEST(MemoryInputStream, SetBufferReplacesTheViewAndRewinds) {
    MemoryInputStream in(ten, 10);
    in.setFilePointer(7, Seekable::begin);
    const unsigned char other[3] = {1, 2, 3};
    in.setBuffer(other, 3);
    EXPECT_EQ(in.getFilePointer(), 0u);
    EXPECT_EQ(in.getSize(), 3u);
    unsigned char buffer[5];
    EXPECT_EQ(in.read(buffer, 5), 3u);
    EXPECT_EQ(buffer[2], 3);
}

TEST(MemoryInputStream, CopiesShareTheBufferButNotLaterMoves) {
    MemoryInputStream in(ten, 10);
    in.setFilePointer(4, Seekable::begin);
    MemoryInputStream copy(in);
    unsigned char a, b;
    copy.readFully(&a, 1);
    EXPECT_EQ(a, 14);
    in.readFully(&b, 1);
    EXPECT_EQ(b, 14);
    MemoryInputStream assigned;
    assigned = copy;
    EXPECT_EQ(assigned.getFilePointer(), 5u);
}

TEST(MemoryOutputStream, NewStreamIsEmpty) {
    MemoryOutputStream out;
    EXPECT_EQ(out.getSize(), 0u);
    EXPECT_EQ(out.getData(), nullptr);
    EXPECT_EQ(out.write("abc", 0), 0u);
    EXPECT_EQ(out.getSize(), 0u);
    EXPECT_EQ(out.getData(), nullptr) << "writing nothing allocates nothing";
}

TEST(MemoryOutputStream, OverwritingKeepsTheSize) {
    MemoryOutputStream out;
    EXPECT_EQ(out.write("abc", 3), 3u);
    EXPECT_EQ(out.getSize(), 3u);
    EXPECT_EQ(out.getFilePointer(), 3u);
    out.setFilePointer(0, Seekable::begin);
    out.write("X", 1);
    EXPECT_EQ(out.getSize(), 3u);
    EXPECT_EQ(out.getFilePointer(), 1u);
    EXPECT_EQ(contents(out), (Bytes{'X', 'b', 'c'}));
    out.setFilePointer(2, Seekable::begin);
    out.write("YZ", 2);
    EXPECT_EQ(contents(out), (Bytes{'X', 'b', 'Y', 'Z'})) << "a write across the end extends the stream";
}

TEST(MemoryOutputStream, SeekingPastTheEndExtendsWithZeros) {
    MemoryOutputStream out;
    out.setFilePointer(100, Seekable::begin);
    EXPECT_EQ(out.getSize(), 100u);
    EXPECT_EQ(out.getFilePointer(), 100u);
    EXPECT_EQ(contents(out), Bytes(100, 0));
    out.write("\x7F", 1);
    out.setFilePointer(0, Seekable::begin);
    out.write("abcdefgh", 8);
    out.setFilePointer(5, Seekable::end); // the gap after the 0x7F reads as zeros too
    EXPECT_EQ(out.getSize(), 106u);
    Bytes expected(106, 0);
    std::memcpy(expected.data(), "abcdefgh", 8);
    expected[100] = 0x7F;
    EXPECT_EQ(contents(out), expected);
}

TEST(MemoryOutputStream, SeekErrorsLeaveThePosition) {
    MemoryOutputStream out;
    out.write("ab", 2);
    const std::string negative = "Can't seek to negative offset", large = "New size too large for a size_t";
    struct Row {
        long long offset;
        Seekable::whence from;
        std::string message;
    };
    const Row rows[] = {
        {-4, Seekable::current, negative},         {-3, Seekable::end, negative},
        {-1, Seekable::begin, negative},           {LLONG_MIN, Seekable::current, negative},
        {0x100000000ll, Seekable::begin, large},   {0xFFFFFFFFll, Seekable::current, large},
        {0xFFFFFFFEll, Seekable::end, large},      {LLONG_MAX, Seekable::current, large},
        {LLONG_MAX, Seekable::end, large},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(runtimeErrorOf([&] { out.setFilePointer(row.offset, row.from); }), row.message)
            << row.offset << " from " << row.from;
        EXPECT_EQ(out.getFilePointer(), 2u);
        EXPECT_EQ(out.getSize(), 2u);
    }
    out.setFilePointer(-2, Seekable::current);
    EXPECT_EQ(out.getFilePointer(), 0u) << "the start itself is allowed";
}

TEST(MemoryOutputStream, ManySmallWritesKeepEveryByte) {
    MemoryOutputStream out;
    Bytes expected;
    for (unsigned i = 0; i < 100000; ++i) {
        unsigned char piece[3] = {static_cast<unsigned char>(i), static_cast<unsigned char>(i >> 8),
                                  static_cast<unsigned char>(i >> 16)};
        unsigned n = 1 + i % 3;
        out.write(piece, n);
        expected.insert(expected.end(), piece, piece + n);
    }
    EXPECT_EQ(out.getSize(), expected.size());
    EXPECT_EQ(contents(out), expected);
}

TEST(MemoryOutputStream, CopiesOwnTheirBytes) {
    MemoryOutputStream out;
    out.write("abcd", 4);
    out.setFilePointer(1, Seekable::begin);
    MemoryOutputStream copy(out);
    EXPECT_NE(copy.getData(), out.getData());
    EXPECT_EQ(copy.getFilePointer(), 1u);
    out.write("ZZ", 2);
    EXPECT_EQ(contents(copy), (Bytes{'a', 'b', 'c', 'd'}));
    copy.write("y", 1);
    EXPECT_EQ(contents(copy), (Bytes{'a', 'y', 'c', 'd'}));

    MemoryOutputStream assigned;
    assigned.write("old", 3);
    assigned = out;
    EXPECT_EQ(contents(assigned), (Bytes{'a', 'Z', 'Z', 'd'}));
    EXPECT_EQ(assigned.getFilePointer(), 3u);
    assigned = assigned;
    EXPECT_EQ(contents(assigned), (Bytes{'a', 'Z', 'Z', 'd'}));

    MemoryOutputStream empty, emptyCopy(empty);
    EXPECT_EQ(emptyCopy.getData(), nullptr);
}

} // namespace
