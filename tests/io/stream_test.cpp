// Stream interfaces and encodings: golden bytes of every encoded value, the exact-count
// helpers and their EndOfFile texts, bounded text readers, the whole-stream copy and
// EndianToNative. Input and output cases run over every stream implementation of the
// library that can carry them (memory streams, and an Archive wrapping them).
#include <vesk/errors/exception.h>
#include <vesk/io/archive.h>
#include <vesk/io/memory_stream.h>
#include <vesk/io/stream.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace vesk;

namespace {

using Bytes = std::vector<unsigned char>;

// The text msvcrt's %p gives: the address in upper-case hex, two digits per byte.
std::string pointerText(const void* p) {
    static const char digits[] = "0123456789ABCDEF";
    std::uintptr_t value = reinterpret_cast<std::uintptr_t>(p);
    std::string text(2 * sizeof(void*), '0');
    for (std::size_t i = text.size(); i-- > 0; value >>= 4) text[i] = digits[value & 15];
    return text;
}

// Delivers at most `slice` bytes per read, from a buffer of its own.
class SlicedInput : public InputStream {
public:
    SlicedInput(Bytes data, unsigned slice) : data(std::move(data)), slice(slice) {}
    unsigned read(void* buffer, unsigned size) override {
        unsigned n = std::min<unsigned>({size, slice, unsigned(data.size() - position)});
        std::memcpy(buffer, data.data() + position, n);
        position += n;
        return n;
    }
    Bytes data;
    unsigned slice;
    unsigned position = 0;
};

// Accepts at most `room` bytes in all, then short writes.
class FullOutput : public OutputStream {
public:
    explicit FullOutput(unsigned room) : room(room) {}
    unsigned write(const void* buffer, unsigned size) override {
        unsigned n = std::min(size, room);
        taken.insert(taken.end(), static_cast<const unsigned char*>(buffer),
                     static_cast<const unsigned char*>(buffer) + n);
        room -= n;
        return n;
    }
    unsigned room;
    Bytes taken;
};

// ---- output implementations -------------------------------------------------------

struct MemoryOutput {
    MemoryOutputStream memory;
    OutputStream& stream() { return memory; }
    Bytes bytes() { return Bytes(memory.getData(), memory.getData() + memory.getSize()); }
};

struct ArchiveOutput {
    MemoryInputStream none;
    MemoryOutputStream memory;
    Archive archive{none, memory};
    OutputStream& stream() { return archive; }
    Bytes bytes() { return Bytes(memory.getData(), memory.getData() + memory.getSize()); }
};

// ---- input implementations --------------------------------------------------------

struct MemoryInput {
    explicit MemoryInput(Bytes data) : data(std::move(data)), memory(this->data.data(), unsigned(this->data.size())) {}
    InputStream& stream() { return memory; }
    Bytes data;
    MemoryInputStream memory;
};

struct ArchiveInput {
    explicit ArchiveInput(Bytes data)
        : data(std::move(data)), memory(this->data.data(), unsigned(this->data.size())), archive(memory, none) {}
    InputStream& stream() { return archive; }
    Bytes data;
    MemoryInputStream memory;
    MemoryOutputStream none;
    Archive archive;
};

template <class Sink> class OutputStreamTest : public ::testing::Test {
protected:
    Sink sink;
    OutputStream& out() { return sink.stream(); }
    Bytes bytes() { return sink.bytes(); }
};

using OutputKinds = ::testing::Types<MemoryOutput, ArchiveOutput>;
TYPED_TEST_SUITE(OutputStreamTest, OutputKinds);

TYPED_TEST(OutputStreamTest, EncodesEachValueInLittleEndianBytes) {
    struct Row {
        const char* what;
        void (*put)(OutputStream&);
        Bytes expected;
    };
    const Row rows[] = {
        {"int 1", [](OutputStream& o) { o << 1; }, {0x01, 0x00, 0x00, 0x00}},
        {"int -2", [](OutputStream& o) { o << -2; }, {0xFE, 0xFF, 0xFF, 0xFF}},
        {"int min", [](OutputStream& o) { o << int(0x80000000u); }, {0x00, 0x00, 0x00, 0x80}},
        {"unsigned 0x12345678", [](OutputStream& o) { o << 0x12345678u; }, {0x78, 0x56, 0x34, 0x12}},
        {"long -1", [](OutputStream& o) { o << -1L; }, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"unsigned long 0x01020304", [](OutputStream& o) { o << 0x01020304ul; }, {0x04, 0x03, 0x02, 0x01}},
        {"double 1.5", [](OutputStream& o) { o << 1.5; }, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}},
        {"double -2", [](OutputStream& o) { o << -2.0; }, {0, 0, 0, 0, 0, 0, 0x00, 0xC0}},
        {"double 0.1", [](OutputStream& o) { o << 0.1; }, {0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F}},
        {"bool true", [](OutputStream& o) { o << true; }, {0x01}},
        {"bool false", [](OutputStream& o) { o << false; }, {0x00}},
        {"8-bit empty", [](OutputStream& o) { o << ""; }, {0, 0, 0, 0}},
        {"8-bit ab", [](OutputStream& o) { o << "ab"; }, {2, 0, 0, 0, 0x61, 0x62}},
        {"8-bit cp1252 \\xFC", [](OutputStream& o) { o << "\xFC"; }, {1, 0, 0, 0, 0xFC}},
        {"8-bit string with NUL", [](OutputStream& o) { o << std::string("a\0b", 3); }, {3, 0, 0, 0, 'a', 0, 'b'}},
        {"8-bit BasicString", [](OutputStream& o) { o << BasicString<char>("xyz"); }, {3, 0, 0, 0, 'x', 'y', 'z'}},
        {"16-bit empty", [](OutputStream& o) { o << L""; }, {0, 0, 0, 0}},
        {"16-bit ab", [](OutputStream& o) { o << L"ab"; }, {2, 0, 0, 0, 0x61, 0x00, 0x62, 0x00}},
        {"16-bit U+00FC U+20AC", [](OutputStream& o) { o << L"\u00FC\u20AC"; }, {2, 0, 0, 0, 0xFC, 0x00, 0xAC, 0x20}},
        {"16-bit surrogate pair", [](OutputStream& o) { o << L"\U0001F600"; }, {2, 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE}},
        {"16-bit BasicString", [](OutputStream& o) { o << BasicString<wchar_t>(L"z"); }, {1, 0, 0, 0, 'z', 0}},
    };
    for (const Row& row : rows) {
        TypeParam fresh;
        row.put(fresh.stream());
        EXPECT_EQ(fresh.bytes(), row.expected) << row.what;
    }
}

TYPED_TEST(OutputStreamTest, NullTextIsRejected) {
    EXPECT_THROW(this->out() << static_cast<const char*>(nullptr), vesk::Exception);
    EXPECT_THROW(this->out() << static_cast<const wchar_t*>(nullptr), vesk::Exception);
    EXPECT_TRUE(this->bytes().empty());
}

TYPED_TEST(OutputStreamTest, CopiesAWholeStreamAcrossSliceBoundaries) {
    Bytes data(25001);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7 + i / 256);
    SlicedInput in(data, 0xFFFFFFFFu);
    this->out() << in;
    EXPECT_EQ(this->bytes(), data);
}

TYPED_TEST(OutputStreamTest, CopyGoesOnUntilTheInputAnswersNothing) {
    Bytes data(1000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i);
    SlicedInput in(data, 7); // every read is short, yet only 0 ends the copy
    this->out() << in;
    EXPECT_EQ(this->bytes(), data);
}

template <class Source> class InputStreamTest : public ::testing::Test {
protected:
    std::unique_ptr<Source> source;
    InputStream& over(Bytes data) {
        source = std::make_unique<Source>(std::move(data));
        return source->stream();
    }
};

using InputKinds = ::testing::Types<MemoryInput, ArchiveInput>;
TYPED_TEST_SUITE(InputStreamTest, InputKinds);

TYPED_TEST(InputStreamTest, DecodesGoldenBytes) {
    InputStream& in = this->over({0xFE, 0xFF, 0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F,
                                  0x02, 0x00, 2, 0, 0, 0, 'a', 'b', 2, 0, 0, 0, 0xFC, 0x00, 0xAC, 0x20, 0xFF,
                                  0xFF, 0xFF, 0xFF, 0x04, 0x03, 0x02, 0x01});
    int i = 0;
    unsigned u = 0;
    double d = 0;
    bool t = false, f = true;
    std::string narrow;
    std::wstring wide;
    long l = 0;
    unsigned long ul = 0;
    in >> i >> u >> d >> t >> f >> narrow >> wide >> l >> ul;
    EXPECT_EQ(i, -2);
    EXPECT_EQ(u, 0x12345678u);
    EXPECT_EQ(d, 1.5);
    EXPECT_TRUE(t) << "a bool byte 0x02 is true";
    EXPECT_FALSE(f);
    EXPECT_EQ(narrow, "ab");
    EXPECT_EQ(wide, L"\u00FC\u20AC");
    EXPECT_EQ(l, -1L);
    EXPECT_EQ(ul, 0x01020304ul);
    char rest;
    EXPECT_EQ(in.read(&rest, 1), 0u);
}

TYPED_TEST(InputStreamTest, ReadsIntegersAndDoublesByName) {
    InputStream& in = this->over({0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x00, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0xC0});
    EXPECT_EQ(in.readInt32(), 0x7FFFFFFF);
    EXPECT_EQ(in.readUInt32(), 0x80000000u);
    EXPECT_EQ(in.readDouble(), -2.0);
}

TYPED_TEST(InputStreamTest, ShortReadIsEndOfFileNamingBufferAndCount) {
    InputStream& in = this->over({1, 2, 3});
    unsigned char buffer[4];
    try {
        in.readFully(buffer, 4);
        FAIL() << "no EndOfFile";
    } catch (const EndOfFile& e) {
        EXPECT_EQ(std::string(e.what()), "EOF in readFully(" + pointerText(buffer) + ",4)\n");
    }
}

TYPED_TEST(InputStreamTest, ReadFullyOfNothingSucceedsAtTheEnd) {
    InputStream& in = this->over({});
    char buffer[1];
    EXPECT_NO_THROW(in.readFully(buffer, 0));
}

TYPED_TEST(InputStreamTest, TextsComeBackInBothWidths) {
    MemoryOutputStream out;
    out << "" << std::string("a\0b", 3) << "\xC4\xD6\xDC\xE4\xF6\xFC\xDF" << L"" << L"\u00C4\U0001F600";
    InputStream& in = this->over(Bytes(out.getData(), out.getData() + out.getSize()));
    EXPECT_EQ(in.readTextA(), "");
    EXPECT_EQ(in.readTextA(), std::string("a\0b", 3));
    EXPECT_EQ(in.readTextA(), "\xC4\xD6\xDC\xE4\xF6\xFC\xDF");
    EXPECT_EQ(in.readTextW(), L"");
    EXPECT_EQ(in.readTextW(), L"\u00C4\U0001F600");
}

TYPED_TEST(InputStreamTest, LongTextsCrossTheReadSlices) {
    std::string narrow(200000, 'x');
    std::wstring wide(100000, L'\u0416');
    for (std::size_t i = 0; i < narrow.size(); i += 997) narrow[i] = char('a' + i % 26);
    for (std::size_t i = 0; i < wide.size(); i += 991) wide[i] = wchar_t(0x4E00 + i % 500);
    MemoryOutputStream out;
    out << narrow << wide;
    InputStream& in = this->over(Bytes(out.getData(), out.getData() + out.getSize()));
    EXPECT_EQ(in.readTextA(), narrow);
    EXPECT_EQ(in.readTextW(), wide);
}

TYPED_TEST(InputStreamTest, HostileTextLengthEndsInEndOfFileNotInAHugeAllocation) {
    // 0xFFFFFFF0 characters announced, three delivered.
    InputStream& narrow = this->over({0xF0, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'});
    EXPECT_THROW(narrow.readTextA(), EndOfFile);
    InputStream& wide = this->over({0xF0, 0xFF, 0xFF, 0xFF, 'a', 0, 'b', 0});
    EXPECT_THROW(wide.readTextW(), EndOfFile);
    InputStream& op = this->over({0x00, 0x00, 0x00, 0x80});
    std::string text;
    EXPECT_THROW(op >> text, EndOfFile);
}

TYPED_TEST(InputStreamTest, TextOverTheCallersLimitIsRefusedBeforeReadingIt) {
    InputStream& in = this->over({5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', 2, 0, 0, 0, 'o', 'k'});
    try {
        in.readTextA(4);
        FAIL() << "no exception";
    } catch (const vesk::Exception& e) {
        EXPECT_STREQ(e.what(), "Can't read a text of 5 characters from a stream: the limit is 4");
    }
    // The stream stays usable: skip the refused text and go on.
    char skipped[5];
    in.readFully(skipped, 5);
    EXPECT_EQ(in.readTextA(2), "ok");
}

TYPED_TEST(InputStreamTest, ReadsDataOfANamedByteOrder) {
    InputStream& in = this->over({0x01, 0x02, 0x01, 0x02, 0x03, 0x04, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                  0x08, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0, 0x01, 0x02, 0xFF, 0xFE});
    unsigned short u16 = 0;
    unsigned u32 = 0;
    unsigned long long u64 = 0;
    double d = 0;
    unsigned short little = 0;
    short negative = 0;
    in >> bigEndian >> u16 >> u32 >> u64 >> d >> littleEndian >> little >> bigEndian >> negative;
    EXPECT_EQ(u16, 0x0102);
    EXPECT_EQ(u32, 0x01020304u);
    EXPECT_EQ(u64, 0x0102030405060708ull);
    EXPECT_EQ(d, 1.5);
    EXPECT_EQ(little, 0x0201);
    EXPECT_EQ(negative, -2);
}

TYPED_TEST(InputStreamTest, ByteOrderReadPastTheEndIsEndOfFile) {
    InputStream& in = this->over({1, 2, 3});
    unsigned value = 0;
    EXPECT_THROW(in >> bigEndian >> value, EndOfFile);
}

TEST(OutputStream, ShortWriteIsEndOfFileNamingBufferAndCount) {
    FullOutput out(2);
    const char text[] = "abcd";
    try {
        out.writeFully(text, 4);
        FAIL() << "no EndOfFile";
    } catch (const EndOfFile& e) {
        EXPECT_EQ(std::string(e.what()), "EOF in writeFully(" + pointerText(text) + ",4)\n");
    }
}

TEST(OutputStream, CopyIntoAFullStreamFailsInsteadOfDroppingBytes) {
    SlicedInput in(Bytes(100, 0x55), 0xFFFFFFFFu);
    FullOutput out(60);
    EXPECT_THROW(out << in, EndOfFile);
    EXPECT_EQ(out.taken, Bytes(60, 0x55));
}

// ---- Seekable over both memory streams ---------------------------------------------

struct SeekableInput {
    unsigned char data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    MemoryInputStream stream{data, 10};
};

struct SeekableOutput {
    SeekableOutput() {
        unsigned char data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        stream.write(data, 10);
    }
    MemoryOutputStream stream;
};

template <class Kind> class SeekableTest : public ::testing::Test {
protected:
    Kind kind;
    Seekable& seekable() { return kind.stream; }
};

using SeekableKinds = ::testing::Types<SeekableInput, SeekableOutput>;
TYPED_TEST_SUITE(SeekableTest, SeekableKinds);

TYPED_TEST(SeekableTest, SeekReturnsTheNewPosition) {
    EXPECT_EQ(this->seekable().seek(4, Seekable::begin), 4u);
    EXPECT_EQ(this->seekable().seek(3, Seekable::current), 7u);
    EXPECT_EQ(this->seekable().seek(-2, Seekable::current), 5u);
    EXPECT_EQ(this->seekable().seek(-10, Seekable::end), 0u);
    EXPECT_EQ(this->seekable().seek(0, Seekable::end), 10u);
}

TYPED_TEST(SeekableTest, GetSizeLeavesThePositionWhereItWas) {
    this->seekable().setFilePointer(3, Seekable::begin);
    EXPECT_EQ(this->seekable().getSize(), 10u);
    EXPECT_EQ(this->seekable().getFilePointer(), 3u);
}

TYPED_TEST(SeekableTest, UnknownWhenceCountsFromTheStart) {
    this->seekable().setFilePointer(8, Seekable::begin);
    this->seekable().setFilePointer(2, static_cast<Seekable::whence>(7));
    EXPECT_EQ(this->seekable().getFilePointer(), 2u);
}

// Seekable::getSize as the interface gives it, for a stream that only moves its pointer.
class PointerOnly : public Seekable {
public:
    void setFilePointer(long long offset, whence from) override {
        position = (from == end ? 1234 : from == current ? position : 0) + offset;
        ++moves;
    }
    unsigned long long getFilePointer() override { return static_cast<unsigned long long>(position); }
    long long position = 17;
    int moves = 0;
};

TEST(Seekable, GetSizeSeeksToTheEndAndBack) {
    PointerOnly stream;
    EXPECT_EQ(stream.getSize(), 1234u);
    EXPECT_EQ(stream.position, 17);
    EXPECT_EQ(stream.moves, 2);
}

} // namespace
