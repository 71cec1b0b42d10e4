// Stream interfaces, encodings and memory streams: one golden-byte table of every
// encoding (texts of both widths, 32-bit integers, doubles, bools, plain object records
// and archive records), each row written and read back over a memory stream and over
// an Archive wrapping one; the exact-count helpers and their EndOfFile texts, bounded
// text readers, the whole-stream copy, EndianToNative; every seek target of both
// memory streams in one table, reads at the end, geometric growth of the output
// buffer (through Array<T>) that keeps size and contents, zero-filled gaps and copies.
// The golden table also runs over each file stream on a real file.
#include "file_streams.h"
#include "test_support.h"

#include <vesk/errors/exception.h>
#include <vesk/io/archive.h>
#include <vesk/io/memory_stream.h>
#include <vesk/io/stream.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <typeinfo>
#include <utility>
#include <vector>

using namespace vesk;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(MemoryOutputStream& out) { return Bytes(out.getData(), out.getData() + out.getSize()); }

Bytes operator+(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }

Bytes utf16(const std::wstring& text) {
    Bytes bytes;
    for (wchar_t c : text) bytes.push_back(static_cast<unsigned char>(c)), bytes.push_back(c >> 8);
    return bytes;
}

template <class F> std::string messageOf(F f) try {
    return f(), "(nothing thrown)";
} catch (const std::exception& e) {
    return e.what();
}

struct Point : Serializable {
    void serialize(OutputStream& out) const override { out << x; }
    void deserialize(InputStream& in) override { in >> x; }
    int x = 0x12345678;
};
SerializableImpl<Point> registerPoint;

struct Row {
    const char* what;
    Bytes golden;
    std::function<void(OutputStream&)> put;
    // Reads the golden bytes and writes what it read: the same bytes must come out.
    std::function<void(InputStream&, OutputStream&)> echo;
};

// A row for a value written as W and read back as R.
template <class W, class R = W> Row row(const char* what, W value, Bytes golden) {
    auto echo = [](InputStream& i, OutputStream& o) {
        R back{};
        i >> back;
        o << back;
    };
    return {what, std::move(golden), [value](OutputStream& o) { o << value; }, echo};
}

TEST(Stream, EveryEncodingWritesAndReadsItsGoldenBytes) {
    const std::string name = typeid(Point).name();
    std::string narrow(200000, 'x'); // texts that cross the read slices
    std::wstring wide(100000, L'\u0416');
    for (std::size_t i = 0; i < narrow.size(); i += 997) narrow[i] = char('a' + i % 26), wide[i / 2] = L'a';
    const Bytes zero(4, 0), one{1, 0, 0, 0}, x{0x78, 0x56, 0x34, 0x12},
        pointName = Bytes{static_cast<unsigned char>(name.size()), 0, 0, 0} + Bytes(name.begin(), name.end());
    const Row rows[] = {
        row("int -2", -2, {0xFE, 0xFF, 0xFF, 0xFF}),
        row("int min", int(0x80000000u), {0x00, 0x00, 0x00, 0x80}),
        row("unsigned", 0x12345678u, {0x78, 0x56, 0x34, 0x12}),
        row("long -1", -1L, {0xFF, 0xFF, 0xFF, 0xFF}),
        row("unsigned long", 0x01020304ul, {0x04, 0x03, 0x02, 0x01}),
        row("double 1.5", 1.5, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}),
        row("double 0.1", 0.1, {0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F}),
        row("bool true", true, {0x01}),
        row("bool false", false, {0x00}),
        row<const char*, std::string>("8-bit empty", "", {0, 0, 0, 0}),
        row<const char*, std::string>("8-bit cp1252", "a\xFC", {2, 0, 0, 0, 'a', 0xFC}),
        row("8-bit with NUL", std::string("a\0b", 3), {3, 0, 0, 0, 'a', 0, 'b'}),
        row<const wchar_t*, std::wstring>("16-bit empty", L"", {0, 0, 0, 0}),
        row<const wchar_t*, std::wstring>("16-bit", L"a\u20AC", {2, 0, 0, 0, 'a', 0, 0xAC, 0x20}),
        row("16-bit surrogates", std::wstring(L"\U0001F600"), {2, 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE}),
        row("8-bit, long", narrow, Bytes{0x40, 0x0D, 0x03, 0} + Bytes(narrow.begin(), narrow.end())),
        row("16-bit, long", wide, Bytes{0xA0, 0x86, 0x01, 0} + utf16(wide)),
        {"named readers", {0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0xC0},
         [](OutputStream& o) { o << 0x7FFFFFFF << 0x80000000u << -2.0; },
         [](InputStream& i, OutputStream& o) { o << i.readInt32() << i.readUInt32() << i.readDouble(); }},
        {"plain record: class name, body", pointName + x, [](OutputStream& o) { Point p; o.writeObject(&p); },
         [](InputStream& i, OutputStream& o) { o.writeObject(std::unique_ptr<Serializable>(i.readObject()).get()); }},
        {"archive: full record of a single object", zero + zero + pointName + x,
         [](OutputStream& o) { Point p; MemoryInputStream none; Archive(none, o).writeObject(&p); },
         [](InputStream& i, OutputStream& o) {
             Archive a(i, o);
             a.writeObject(std::unique_ptr<Serializable>(a.readObject()).get());
         }},
        {"archive: full record, back-reference", zero + one + pointName + x + one,
         [](OutputStream& o) {
             ref_ptr<Serializable> p(new Point);
             MemoryInputStream none;
             Archive a(none, o);
             a.writeObject(p), a.writeObject(p);
         },
         [](InputStream& i, OutputStream& o) {
             Archive a(i, o);
             ref_ptr<Serializable> p, q;
             a.readObject(p), a.readObject(q);
             a.writeObject(p), a.writeObject(q);
         }},
    };
    for (const Row& r : rows)
        for (bool viaArchive : {false, true}) {
            const std::string what = r.what + std::string(viaArchive ? ", through an Archive" : "");
            MemoryOutputStream out, echoed, unused;
            MemoryInputStream in(r.golden.data(), static_cast<unsigned>(r.golden.size())), none;
            Archive writer(none, out), reader(in, unused);
            r.put(viaArchive ? static_cast<OutputStream&>(writer) : out);
            EXPECT_EQ(bytesOf(out), r.golden) << what;
            r.echo(viaArchive ? static_cast<InputStream&>(reader) : in, echoed);
            EXPECT_EQ(bytesOf(echoed), r.golden) << what << ", read back";
            EXPECT_EQ(in.getFilePointer(), r.golden.size()) << what << ", read back";
        }
    // The same rows through each file stream: written, read back raw, then echoed.
    vesk_test::ScratchDir scratch;
    for (const auto& kind : vesk_test::fileKinds())
        for (const Row& r : rows)
            for (bool viaArchive : {false, true}) {
                const std::string what = kind.name + (": " + (r.what + std::string(viaArchive ? ", archive" : "")));
                vesk_test::StreamFile file = kind.open(scratch.file("golden"));
                {
                    Archive writer(*file.in, *file.out);
                    r.put(viaArchive ? static_cast<OutputStream&>(writer) : *file.out);
                }
                EXPECT_EQ(file.in->getSize(), r.golden.size()) << what;
                Bytes back(r.golden.size() + 1);
                file.in->setFilePointer(0, Seekable::begin);
                back.resize(file.in->read(back.data(), unsigned(back.size())));
                EXPECT_EQ(back, r.golden) << what;
                file.in->setFilePointer(0, Seekable::begin);
                MemoryOutputStream echoed, unused;
                Archive reader(*file.in, unused);
                r.echo(viaArchive ? static_cast<InputStream&>(reader) : *file.in, echoed);
                EXPECT_EQ(bytesOf(echoed), r.golden) << what << ", read back";
            }

    const unsigned char two = 2; // any non-zero byte reads as true
    MemoryInputStream in(&two, 1);
    bool value = false;
    EXPECT_TRUE((in >> value, value));
}

// Delivers at most `slice` bytes per read.
struct SlicedInput : InputStream {
    SlicedInput(Bytes data, unsigned slice) : data(std::move(data)), slice(slice) {}
    unsigned read(void* buffer, unsigned size) override {
        unsigned n = std::min<unsigned>({size, slice, unsigned(data.size() - position)});
        std::memcpy(buffer, data.data() + position, n);
        return position += n, n;
    }
    Bytes data;
    unsigned slice, position = 0;
};

// Accepts `room` bytes in all, then writes short.
struct FullOutput : OutputStream {
    unsigned write(const void*, unsigned size) override {
        unsigned n = std::min(size, room);
        return room -= n, n;
    }
    unsigned room = 2;
};

// msvcrt's %p: upper-case hex, two digits per byte.
std::string pointerText(const void* p) {
    std::uintptr_t value = reinterpret_cast<std::uintptr_t>(p);
    std::string text(2 * sizeof(void*), '0');
    for (std::size_t i = text.size(); i-- > 0; value >>= 4) text[i] = "0123456789ABCDEF"[value & 15];
    return text;
}

TEST(Stream, ShortReadsAndWritesAreEndOfFileNamingBufferAndCount) {
    unsigned char buffer[4];
    SlicedInput in({1, 2, 3}, 100);
    FullOutput out;
    EXPECT_EQ(messageOf([&] { in.readFully(buffer, 4); }), "EOF in readFully(" + pointerText(buffer) + ",4)\n");
    EXPECT_EQ(messageOf([&] { out.writeFully(buffer, 4); }), "EOF in writeFully(" + pointerText(buffer) + ",4)\n");
}

TEST(Stream, BadTextsAreRefused) {
    // 0xFFFFFFF0 characters announced, a few delivered: EndOfFile, not a huge allocation.
    const Bytes hostile = {0xF0, 0xFF, 0xFF, 0xFF, 'a', 0, 'b', 0}, five = {5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};
    MemoryInputStream narrow(hostile.data(), 8), wide(hostile.data(), 8), in(five.data(), 9);
    EXPECT_THROW(narrow.readTextA(), EndOfFile);
    EXPECT_THROW(wide.readTextW(), EndOfFile);
    EXPECT_EQ(messageOf([&] { in.readTextA(4); }), "Can't read a text of 5 characters from a stream: the limit is 4");
    EXPECT_EQ(in.getFilePointer(), 4u) << "the text itself is not read";
    EXPECT_EQ(MemoryInputStream(five.data(), 9).readTextA(5), "hello") << "a text as long as the limit is read";
    MemoryOutputStream out;
    EXPECT_THROW(out << static_cast<const char*>(nullptr), vesk::Exception);
    EXPECT_THROW(out << static_cast<const wchar_t*>(nullptr), vesk::Exception);
    EXPECT_EQ(out.getSize(), 0u);
}

TEST(Stream, CopyTakesEverythingTheInputDeliversAndFailsOnAFullOutput) {
    Bytes data(25001);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7 + i / 256);
    for (unsigned slice : {0xFFFFFFFFu, 7u}) { // 7: every read is short, yet only 0 ends the copy
        SlicedInput in(data, slice);
        MemoryOutputStream out;
        out << in;
        EXPECT_EQ(bytesOf(out), data) << slice;
    }
    SlicedInput in(data, 0xFFFFFFFFu);
    FullOutput full;
    EXPECT_THROW(full << in, EndOfFile);
}

TEST(Stream, EndianToNativeReadsANamedByteOrder) {
    const Bytes data = {1, 2, 1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0, 1, 2, 0xFF, 0xFE};
    MemoryInputStream in(data.data(), static_cast<unsigned>(data.size()));
    std::tuple<unsigned short, unsigned, unsigned long long, double, unsigned short, short> v;
    in >> bigEndian >> std::get<0>(v) >> std::get<1>(v) >> std::get<2>(v) >> std::get<3>(v) >> littleEndian >>
        std::get<4>(v) >> bigEndian >> std::get<5>(v);
    EXPECT_EQ(v, std::make_tuple(0x0102, 0x01020304u, 0x0102030405060708ull, 1.5, 0x0201, -2));
    EXPECT_THROW(in >> bigEndian >> std::get<0>(v), EndOfFile);
}

const unsigned char ten[10] = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};

// What seek() answered or threw, then where the stream is and its size (getSize()
// must not move it).
std::string seekResult(Seekable& stream, long long offset, Seekable::whence from) {
    std::string answer;
    const std::string thrown = messageOf([&] { answer = std::to_string(stream.seek(offset, from)); });
    const unsigned long long size = stream.getSize();
    return (answer.empty() ? thrown : answer) + " at " + std::to_string(stream.getFilePointer()) + " of " +
           std::to_string(size);
}

TEST(MemoryStreams, SeekTargetsFromEachOrigin) {
    const std::string bad = "Bad seek position at 6 of 10", negative = "Can't seek to negative offset at 6 of 10",
                      large = "New size too large for a size_t at 6 of 10";
    const struct {
        long long offset;
        Seekable::whence from;
        std::string input, output; // from position 6 of 10 bytes; an output seek may extend
    } rows[] = {
        {0, Seekable::end, "10 at 10 of 10", "10 at 10 of 10"}, {1, Seekable::end, bad, "11 at 11 of 11"},
        {-10, Seekable::end, "0 at 0 of 10", "0 at 0 of 10"},    {-11, Seekable::end, bad, negative},
        {10, Seekable::begin, "10 at 10 of 10", "10 at 10 of 10"}, {11, Seekable::begin, bad, "11 at 11 of 11"},
        {-1, Seekable::begin, bad, negative},                    {3, Seekable::current, "9 at 9 of 10", "9 at 9 of 10"},
        {-6, Seekable::current, "0 at 0 of 10", "0 at 0 of 10"}, {-7, Seekable::current, bad, negative},
        {0xFFFFFFFAll, Seekable::current, bad, large},           {0x100000000ll, Seekable::begin, bad, large},
        {LLONG_MAX, Seekable::current, bad, large},              {LLONG_MAX, Seekable::end, bad, large},
        {LLONG_MIN, Seekable::current, bad, negative},           {LLONG_MIN, Seekable::begin, bad, negative},
        {2, static_cast<Seekable::whence>(7), "2 at 2 of 10", "2 at 2 of 10"}, // an unknown origin: the start
    };
    for (const auto& row : rows) {
        MemoryInputStream in(ten, 10);
        MemoryOutputStream out;
        out.write(ten, 10);
        for (Seekable* s : {static_cast<Seekable*>(&in), static_cast<Seekable*>(&out)}) s->setFilePointer(6, s->begin);
        EXPECT_EQ(seekResult(in, row.offset, row.from), row.input) << row.offset << " from " << row.from;
        EXPECT_EQ(seekResult(out, row.offset, row.from), row.output) << row.offset << " from " << row.from;
    }
}

TEST(MemoryInputStream, ReadStopsAtTheEndAndANullBufferIsEmpty) {
    MemoryInputStream in(ten, 10), nullWithSize(nullptr, 50);
    in.setFilePointer(8, Seekable::begin);
    unsigned char buffer[4] = {0, 0, 0, 0};
    EXPECT_EQ(in.read(buffer, 4), 2u);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{18, 19, 0, 0}));
    EXPECT_EQ(in.read(buffer, 4), 0u);
    MemoryInputStream copy(in);
    in.setBuffer(ten + 5, 3);
    EXPECT_EQ(in.read(buffer, 4), 3u) << "a new buffer is read from its start";
    EXPECT_EQ(copy.getFilePointer(), 10u) << "a copy keeps its own view";
    EXPECT_EQ(nullWithSize.read(buffer, 1), 0u);
}

TEST(MemoryOutputStream, WritesOverwriteOrExtendAndGapsAreZero) {
    // Blocks of the size the buffer grows to are freed dirty first, so that its fresh
    // bytes are not zero by chance.
    for (int i = 0; i < 8; ++i) delete[] static_cast<unsigned char*>(std::memset(new unsigned char[80], 0xAA, 80));
    MemoryOutputStream out;
    EXPECT_EQ(out.write("abc", 0), 0u);
    EXPECT_EQ(out.getData(), nullptr) << "writing nothing allocates nothing";
    Bytes expected(61, 0);
    std::fill(expected.begin(), expected.begin() + 40, 'a');
    out.write(expected.data(), 40);
    out.setFilePointer(0, Seekable::begin);
    out.write("X", 1);
    out.setFilePointer(39, Seekable::begin);
    out.write("YZ", 2); // across the end: 80 bytes of room
    out.setFilePointer(19, Seekable::end);
    out.write("!", 1);
    expected[0] = 'X', expected[39] = 'Y', expected[40] = 'Z', expected[60] = '!';
    EXPECT_EQ(bytesOf(out), expected);
}

TEST(MemoryOutputStream, GrowthIsGeometricKeepsEveryByteAndCopiesOwnTheirBytes) {
    MemoryOutputStream out, assigned;
    Bytes expected;
    unsigned moves = 0;
    for (unsigned i = 0; i < 100000; ++i) {
        const unsigned char piece[3] = {static_cast<unsigned char>(i), static_cast<unsigned char>(i >> 8), 7};
        const unsigned char* block = out.getData();
        out.write(piece, 1 + i % 3);
        moves += out.getData() != block;
        expected.insert(expected.end(), piece, piece + 1 + i % 3);
    }
    EXPECT_LE(moves, 20u) << "doubling from 1 byte needs 19 blocks for 200000 bytes";
    EXPECT_EQ(bytesOf(out), expected);
    MemoryOutputStream copy(out);
    assigned = out;
    assigned = assigned;
    out.setFilePointer(0, Seekable::begin);
    out.write("ZZ", 2);
    EXPECT_EQ(bytesOf(copy), expected);
    EXPECT_EQ(bytesOf(assigned), expected);
    const auto end = std::make_pair(out.getSize(), out.getSize());
    EXPECT_EQ(std::make_pair(copy.getFilePointer(), assigned.getFilePointer()), end) << "positions are copied";
}

} // namespace
