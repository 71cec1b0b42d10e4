// Streams over memory and real files. One golden-byte table of every encoding (texts
// of both widths, integers, doubles, bools) runs over every stream kind, directly and
// through an Archive (records: serializable_test and the golden archive); EndOfFile texts, bounded texts, the
// whole-stream copy, EndianToNative; every seek target of the memory streams, gaps
// and growth; file round trips with 64-bit positions, complete reads, exact failure
// texts, wide names; temporary files and folders; owners under self-assignment,
// copies of themselves, chains of copies and moves release each resource once.
#include "test_support.h"

#include <vesk/errors/exception.h>
#include <vesk/io/archive.h>
#include <vesk/io/array.h>
#include <vesk/io/low_level_io_stream.h>
#include <vesk/io/memory_stream.h>
#include <vesk/io/std_io_stream.h>
#include <vesk/io/temporary_file.h>
#include <vesk/io/windows_file.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <typeinfo>
#include <vector>

using namespace vesk;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(MemoryOutputStream& out) { return Bytes(out.getData(), out.getData() + out.getSize()); }
Bytes operator+(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }
bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

template <class F> std::string messageOf(F f) try {
    return f(), "(nothing thrown)";
} catch (const WindowsError& e) { // the library's text and code; what() must add the system's text
    const std::string what = e.what(), head = e.getDescription() + ": ";
    return e.getDescription() + " (" + std::to_string(e.getError()) + (what.rfind(head, 0) == 0 ? ")" : ", no text)");
} catch (const std::exception& e) {
    return e.what();
}

// Bytes in memory behind the file interfaces, so that memory runs with the files.
struct MemoryFile : SeekableInputStream, BufferedOutputStream {
    unsigned write(const void* b, unsigned n) override { return out.write(b, n); }
    unsigned read(void* b, unsigned n) override {
        MemoryInputStream in(out.getData(), static_cast<unsigned>(out.getSize()));
        in.setFilePointer(static_cast<long long>(out.getFilePointer()), begin);
        const unsigned got = in.read(b, n);
        return out.setFilePointer(got, current), got;
    }
    void setFilePointer(long long offset, whence from) override { out.setFilePointer(offset, from); }
    unsigned long long getFilePointer() override { return out.getFilePointer(); }
    void flush() override {}
    void close() override {}
    MemoryOutputStream out;
};

struct Opened {
    std::shared_ptr<void> owner;
    SeekableInputStream* in;
    BufferedOutputStream* out;
};
template <class S> Opened opened(S* s) { return {std::shared_ptr<S>(s), s, s}; }

// Every stream kind, opened read-write on a fresh file (memory ignores the name).
const std::vector<std::pair<const char*, std::function<Opened(const std::string&)>>> kinds = {
    {"memory", [](const std::string&) { return opened(new MemoryFile); }},
    {"WindowsFile", [](const std::string& p) {
         return opened(new WindowsFile(p.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS));
     }},
    {"LowLevelIOStream", [](const std::string& p) {
         return opened(new LowLevelIOStream(p.c_str(), _O_RDWR | _O_CREAT | _O_TRUNC | _O_BINARY));
     }},
    {"StdIOStream", [](const std::string& p) { return opened(new StdIOStream(p.c_str(), "w+b")); }},
};

struct Row {
    Bytes golden;
    std::function<void(OutputStream&)> put;
    std::function<void(InputStream&, OutputStream&)> echo; // reads the golden bytes, writes what it read
};

template <class W, class R = W> Row row(W value, Bytes golden) {
    return {std::move(golden), [value](OutputStream& o) { o << value; }, [](InputStream& i, OutputStream& o) {
                R back{};
                i >> back, o << back;
            }};
}

TEST(Streams, EveryEncodingWritesAndReadsItsGoldenBytesOnEveryKind) {
    std::string narrow(200000, 'x'); // texts that cross the read slices
    std::wstring wide(100000, L'\u0416');
    Bytes wideBytes = {0xA0, 0x86, 0x01, 0};
    for (std::size_t i = 0; i < narrow.size(); i += 997) narrow[i] = char('a' + i % 26), wide[i / 2] = L'a';
    for (wchar_t c : wide) wideBytes.push_back(static_cast<unsigned char>(c)), wideBytes.push_back(c >> 8);
    const Row rows[] = {
        row(-2, {0xFE, 0xFF, 0xFF, 0xFF}), row(0x12345678u, {0x78, 0x56, 0x34, 0x12}), row(-1L, {0xFF, 0xFF, 0xFF, 0xFF}),
        row(0x01020304ul, {4, 3, 2, 1}), row(0.1, {0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F}),
        row(true, {1}), row(false, {0}), row<const char*, std::string>("", {0, 0, 0, 0}),
        row<const char*, std::string>("a\xFC", {2, 0, 0, 0, 'a', 0xFC}), row(std::string("a\0b", 3), {3, 0, 0, 0, 'a', 0, 'b'}),
        row<const wchar_t*, std::wstring>(L"a\u20AC", {2, 0, 0, 0, 'a', 0, 0xAC, 0x20}),
        row(std::wstring(L"\U0001F600"), {2, 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE}),
        row(narrow, Bytes{0x40, 0x0D, 0x03, 0} + Bytes(narrow.begin(), narrow.end())), row(wide, wideBytes),
        {{0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0xC0},
         [](OutputStream& o) { o << 0x7FFFFFFF << 0x80000000u << -2.0; },
         [](InputStream& i, OutputStream& o) { o << i.readInt32() << i.readUInt32() << i.readDouble(); }},
    };
    vesk_test::ScratchDir scratch;
    for (const auto& kind : kinds)
        for (const Row& r : rows)
            for (bool viaArchive : {false, true}) {
                const std::string what = kind.first + std::to_string(&r - rows) + (viaArchive ? " archive" : "");
                Opened file = kind.second(scratch.file("golden"));
                MemoryOutputStream echoed, unused;
                {
                    Archive writer(*file.in, *file.out);
                    r.put(viaArchive ? static_cast<OutputStream&>(writer) : *file.out);
                }
                Bytes back(r.golden.size() + 1);
                file.in->setFilePointer(0, Seekable::begin);
                back.resize(file.in->read(back.data(), unsigned(back.size())));
                EXPECT_EQ(back, r.golden) << what;
                file.in->setFilePointer(0, Seekable::begin);
                Archive reader(*file.in, unused);
                r.echo(viaArchive ? static_cast<InputStream&>(reader) : *file.in, echoed);
                EXPECT_EQ(bytesOf(echoed), r.golden) << what << ", read back";
                EXPECT_EQ(file.in->getFilePointer(), r.golden.size()) << what << ", read back";
            }
    const unsigned char two = 2; // any non-zero byte reads as true
    bool value = false;
    MemoryInputStream in(&two, 1);
    EXPECT_TRUE((in >> value, value));
}

// Delivers at most `slice` bytes per read.
struct SlicedInput : InputStream {
    SlicedInput(Bytes data, unsigned slice) : data(std::move(data)), slice(slice) {}
    unsigned read(void* buffer, unsigned size) override {
        unsigned n = std::min<unsigned>({size, slice, unsigned(data.size() - position)});
        return std::memcpy(buffer, data.data() + position, n), position += n, n;
    }
    Bytes data;
    unsigned slice, position = 0;
};

// Accepts `room` bytes in all, then writes short.
struct FullOutput : OutputStream {
    unsigned write(const void*, unsigned size) override { return size = std::min(size, room), room -= size, size; }
    unsigned room = 2;
};

TEST(Streams, ShortTransfersBadTextsCopiesAndByteOrders) {
    unsigned char buffer[4];
    char address[32]; // msvcrt's %p
    std::snprintf(address, sizeof address, "%0*llX", int(2 * sizeof(void*)), (unsigned long long)(std::uintptr_t)buffer);
    SlicedInput three({1, 2, 3}, 100);
    FullOutput full;
    EXPECT_EQ(messageOf([&] { three.readFully(buffer, 4); }), "EOF in readFully(" + std::string(address) + ",4)\n");
    EXPECT_EQ(messageOf([&] { full.writeFully(buffer, 4); }), "EOF in writeFully(" + std::string(address) + ",4)\n");

    // 0xFFFFFFF0 characters announced, a few delivered: EndOfFile, not a huge allocation.
    const Bytes hostile = {0xF0, 0xFF, 0xFF, 0xFF, 'a', 0, 'b', 0}, five = {5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};
    MemoryInputStream narrow(hostile.data(), 8), wide(hostile.data(), 8), in(five.data(), 9);
    EXPECT_THROW(narrow.readTextA(), EndOfFile);
    EXPECT_THROW(wide.readTextW(), EndOfFile);
    EXPECT_EQ(messageOf([&] { in.readTextA(4); }), "Can't read a text of 5 characters from a stream: the limit is 4");
    EXPECT_EQ(in.getFilePointer(), 4u) << "the text itself is not read";
    EXPECT_EQ(MemoryInputStream(five.data(), 9).readTextA(5), "hello");
    MemoryOutputStream out;
    EXPECT_THROW(out << static_cast<const char*>(nullptr), vesk::Exception);
    EXPECT_THROW(out << static_cast<const wchar_t*>(nullptr), vesk::Exception);

    Bytes data(25001);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7 + i / 256);
    SlicedInput whole(data, 0xFFFFFFFFu), pieces(data, 7); // every read short, yet only 0 ends the copy
    out << whole << pieces;
    EXPECT_EQ(bytesOf(out), data + data);
    EXPECT_THROW(full << (whole.position = 0, whole), EndOfFile);

    const Bytes orders = {1, 2, 1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0, 1, 2, 0xFF, 0xFE};
    MemoryInputStream ordered(orders.data(), static_cast<unsigned>(orders.size()));
    std::tuple<unsigned short, unsigned, unsigned long long, double, unsigned short, short> v;
    ordered >> bigEndian >> std::get<0>(v) >> std::get<1>(v) >> std::get<2>(v) >> std::get<3>(v) >> littleEndian >>
        std::get<4>(v) >> bigEndian >> std::get<5>(v);
    EXPECT_EQ(v, std::make_tuple(0x0102, 0x01020304u, 0x0102030405060708ull, 1.5, 0x0201, -2));
}

// What seek() answered or threw, then where the stream is and its size (getSize()
// must not move it).
std::string seekResult(Seekable& stream, long long offset, Seekable::whence from) {
    std::string answer;
    const std::string thrown = messageOf([&] { answer = std::to_string(stream.seek(offset, from)); });
    const unsigned long long size = stream.getSize();
    return (answer.empty() ? thrown : answer) + " at " + std::to_string(stream.getFilePointer()) + " of " +
           std::to_string(size);
}

TEST(Streams, MemorySeeksReadsGapsAndGrowth) {
    const unsigned char ten[10] = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    const std::string bad = "Bad seek position at 6 of 10", negative = "Can't seek to negative offset at 6 of 10",
                      large = "New size too large for a size_t at 6 of 10";
    const struct {
        long long offset;
        Seekable::whence from;
        std::string input, output; // from position 6 of 10 bytes; an output seek may extend
    } rows[] = {
        {0, Seekable::end, "10 at 10 of 10", "10 at 10 of 10"}, {1, Seekable::end, bad, "11 at 11 of 11"},
        {-10, Seekable::end, "0 at 0 of 10", "0 at 0 of 10"},    {-11, Seekable::end, bad, negative},
        {11, Seekable::begin, bad, "11 at 11 of 11"},           {-1, Seekable::begin, bad, negative},
        {3, Seekable::current, "9 at 9 of 10", "9 at 9 of 10"}, {-6, Seekable::current, "0 at 0 of 10", "0 at 0 of 10"},
        {-7, Seekable::current, bad, negative},                 {0xFFFFFFFAll, Seekable::current, bad, large},
        {0x100000000ll, Seekable::begin, bad, large},           {LLONG_MAX, Seekable::end, bad, large},
        {LLONG_MIN, Seekable::current, bad, negative},          {2, Seekable::whence(7), "2 at 2 of 10", "2 at 2 of 10"},
    };
    for (const auto& row : rows) {
        MemoryInputStream in(ten, 10);
        MemoryOutputStream out;
        out.write(ten, 10);
        in.setFilePointer(6, Seekable::begin), out.setFilePointer(6, Seekable::begin);
        EXPECT_EQ(seekResult(in, row.offset, row.from), row.input) << row.offset << " from " << row.from;
        EXPECT_EQ(seekResult(out, row.offset, row.from), row.output) << row.offset << " from " << row.from;
    }
    unsigned char buffer[4] = {};
    EXPECT_EQ(MemoryInputStream(nullptr, 50).read(buffer, 1), 0u) << "a null buffer is empty";

    // Blocks of the sizes the buffer grows to are freed dirty first, so that fresh
    // bytes are not zero by chance.
    for (int i = 0; i < 8; ++i) delete[] static_cast<unsigned char*>(std::memset(new unsigned char[80], 0xAA, 80));
    MemoryOutputStream out;
    EXPECT_EQ(out.write("abc", 0), 0u);
    EXPECT_EQ(out.getData(), nullptr) << "writing nothing allocates nothing";
    Bytes expected(61, 'a');
    out.write(expected.data(), 40);
    out.setFilePointer(39, Seekable::begin);
    out.write("YZ", 2); // across the end: 80 bytes of room
    out.setFilePointer(19, Seekable::end);
    out.write("!", 1);
    std::fill(expected.begin() + 41, expected.end(), 0);
    expected[39] = 'Y', expected[40] = 'Z', expected[60] = '!';
    EXPECT_EQ(bytesOf(out), expected);
    unsigned moves = 0;
    for (unsigned i = 0; i < 100000; ++i) {
        const unsigned char* block = out.getData();
        out.write("123", 1 + i % 3);
        moves += out.getData() != block;
    }
    EXPECT_LE(moves, 20u) << "doubling: a few blocks for 200000 bytes";
    EXPECT_EQ(out.getSize(), 61u + 200000 - 1);
}

TEST(Streams, FilesRoundTripSeekAndReachBeyondFourGigabytes) {
    vesk_test::ScratchDir scratch;
    Bytes data(100000);
    std::mt19937 random(11);
    for (auto& b : data) b = static_cast<unsigned char>(random());
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.first);
        Opened f = kind.second(scratch.file("round"));
        for (std::size_t at = 0, piece = 1; at < data.size(); at += piece, piece = piece * 3 % 4093 + 1) // odd pieces
            f.out->write(&data[at], unsigned(std::min(piece, data.size() - at)));
        EXPECT_EQ(f.in->getSize(), data.size());
        EXPECT_EQ(f.in->getFilePointer(), data.size()) << "getSize() keeps the position";
        const std::pair<long long, Seekable::whence> seeks[] = { // each read moves on by 16 bytes
            {0, Seekable::begin}, {777, Seekable::current}, {-7, Seekable::current}, {-1, Seekable::end},
            {-100000, Seekable::end}, {65536, Seekable::begin}, {0, Seekable::end}};
        const std::size_t positions[] = {0, 793, 802, 99999, 0, 65536, 100000};
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(f.in->seek(seeks[i].first, seeks[i].second), positions[i]);
            unsigned char got[16] = {};
            const auto end = data.begin() + std::min(positions[i] + 16, data.size());
            EXPECT_EQ(Bytes(got, got + f.in->read(got, 16)), Bytes(data.begin() + positions[i], end));
        }
        if (kind.first == std::string("memory")) continue; // no 64-bit positions
        char tail[4] = {};
        const long long distant = 5ll << 30; // a sparse file on the host
        EXPECT_EQ(f.in->seek(distant, Seekable::begin), static_cast<unsigned long long>(distant));
        f.out->write("far!", 4);
        f.in->setFilePointer(0x100000000ll, Seekable::begin); // would be 0 if cut to 32 bits
        EXPECT_EQ(f.in->getFilePointer(), 0x100000000ull);
        f.in->setFilePointer(-4, Seekable::end), f.in->readFully(tail, 4);
        EXPECT_EQ(std::string(tail, 4), "far!");
        f.in->setFilePointer(-distant - 2, Seekable::current);
        EXPECT_EQ(f.in->getFilePointer(), 2u) << "a 64-bit step back";
        f.owner.reset();
        EXPECT_EQ(WindowsFile::getSize(scratch.file("round").c_str()), distant + 4ull);
    }
}

// A text-mode descriptor hands out fewer bytes per call than it consumes, a pipe its
// pieces as they come: both streams still fill what was asked for until the end. One
// FILE is read right after writing and the other way round.
TEST(Streams, FileReadsAreCompleteAndDirectionChangesSafe) {
    vesk_test::ScratchDir scratch;
    std::string text, lines(20000 * 5, '?');
    for (int i = 0; i < 20000; ++i) text += "line\r\n";
    StdIOStream(scratch.file("text").c_str(), "wb").write(text.data(), unsigned(text.size()));
    LowLevelIOStream cooked(scratch.file("text").c_str(), _O_RDONLY | _O_TEXT);
    cooked.readFully(&lines[0], unsigned(lines.size()));
    EXPECT_EQ(lines.substr(0, 10), "line\nline\n");
    EXPECT_TRUE(lines.find('\r') == std::string::npos && cooked.read(&text[0], 1) == 0);
    HANDLE readEnd, writeEnd;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    WindowsFile pipe;
    pipe.setHandle(readEnd);
    std::thread writer([writeEnd] {
        for (DWORD i = 0, n; i < 10; ++i, Sleep(5)) WriteFile(writeEnd, "0123456789", 10, &n, nullptr);
        CloseHandle(writeEnd);
    });
    char got[200];
    EXPECT_EQ(pipe.read(got, 100) + pipe.read(got, 100), 100u);
    writer.join();
    StdIOStream both(scratch.file("both").c_str(), "w+b");
    both.write("abcdef", 6);
    EXPECT_EQ(both.read(got, 1), 0u);
    both.setFilePointer(0, Seekable::begin);
    EXPECT_EQ(both.read(got, 2), 2u);
    both.write("XY", 2);
    EXPECT_EQ(both.read(got, 6), 2u);
    both.setFilePointer(0, Seekable::begin);
    EXPECT_EQ(std::string(got, both.read(got, 6)), "abXYef");
}

TEST(Streams, FileFailuresNameTheFileAndCarryTheSystemText) {
    vesk_test::ScratchDir scratch;
    const std::string missing = scratch.file("missing.bin"), present = scratch.file("present.bin"),
                      tooLong = scratch.file(std::string(300, 'n')), dirFailure = "Can't create temporary directory \"";
    StdIOStream(present.c_str(), "wb").write("data", 4);
    const std::string enoent = std::string(": ") + std::strerror(ENOENT), einval = std::string(": ") + std::strerror(EINVAL);
    WindowsFile file(present.c_str(), GENERIC_READ, FILE_SHARE_READ);
    LowLevelIOStream descriptor(present.c_str(), _O_RDONLY);
    StdIOStream stdio(present.c_str(), "rb");
    const std::pair<std::string, std::string> rows[] = {
        {messageOf([&] { WindowsFile(missing.c_str(), GENERIC_READ); }), "Can't open \"" + missing + "\" (2)"},
        {messageOf([&] { WindowsFile(widen(missing).c_str(), GENERIC_READ); }), "Can't open \"" + missing + "\" (2)"},
        {messageOf([&] { WindowsFile(tooLong.c_str(), GENERIC_READ); }), "Can't open \"" + tooLong + "\" (206)"},
        {messageOf([&] { file.seek(-1, Seekable::begin); }),
         "WindowsFile::seek: Can't seek to -1 relative to vesk::Seekable::begin (131)"},
        {messageOf([&] { file.write("x", 1); }), "Error while writing 1 bytes (5)"},
        {messageOf([&] { WindowsFile::isDirectory(missing.c_str()); }), "Can't get file attributes for \"" + missing + "\" (2)"},
        {messageOf([&] { WindowsFile::getShortPath(missing.c_str()); }),
         "Can't determine the short path name length of \"" + missing + "\" (2)"},
        {messageOf([&] { WindowsFile::getSize(missing.c_str()); }), "Error in GetFileAttributesExA (2)"},
        {messageOf([&] { TemporaryFile(missing.c_str()); }), "Can't create temporary file \"" + missing + "\" (267)"},
        {messageOf([&] { LowLevelIOStream(missing.c_str(), _O_RDONLY); }),
         "Fehler in LowLevelIOStream::open(" + missing + ",0)\n" + enoent},
        {messageOf([&] { descriptor.seek(-1, Seekable::begin); }), "Fehler in LowLevelIOStream::seek(-1,0)\n" + einval},
        {messageOf([&] { StdIOStream(widen(missing).c_str(), L"rb"); }),
         "Can't open stdio file \"" + missing + "\" with ops \"rb\"" + enoent},
        {messageOf([&] { StdIOStream(present.c_str(), "q"); }), "Can't open stdio file \"" + present + "\" with ops \"q\"" + einval},
        {messageOf([&] { stdio.setFilePointer(-1, Seekable::begin); }), "fseek(-1,0) failed" + einval},
        {messageOf([&] { StdIOStream().getFilePointer(); }),
         "Can't tell the current file pointer position in StdIOStream::tell: " + std::string(std::strerror(EBADF))},
        {messageOf([&] { TemporaryDirectory(missing.c_str(), "t"); }).substr(0, dirFailure.size() + missing.size() + 2),
         dirFailure + missing + "\\t"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.first, row.second);

    const std::string name = scratch.file("wide.bin");
    const std::wstring wide = widen(name), prefixed = L"\\\\?\\" + wide;
    WindowsFile(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW).write("12345", 5);
    EXPECT_EQ(WindowsFile(prefixed.c_str(), GENERIC_READ, FILE_SHARE_READ).getSize(), 5u);
    EXPECT_EQ(WindowsFile::getSize(prefixed.c_str()), 5u);
    EXPECT_TRUE(!WindowsFile::isDirectory(wide.c_str()) && WindowsFile::isDirectory(scratch.path().c_str()));
    EXPECT_EQ(WindowsFile::getFullPath(prefixed.c_str()), wide) << "the prefix is not put back";
    EXPECT_EQ(WindowsFile::getFullPath(L"\\\\?\\UNC\\server\\share\\f"), L"\\\\server\\share\\f");
    EXPECT_EQ(WindowsFile::getSize(WindowsFile::getShortPath(name.c_str()).c_str()), 5u);
    if (GetACP() == 1252) { // a character the code page cannot hold must not become a look-alike
        EXPECT_EQ(messageOf([&] { WindowsFile((wide + L"\u0100").c_str(), GENERIC_READ); }),
                  "Can't open \"" + name + "?\" (1113)");
    }
}

// A file held open stops a removal with an error that names it, and a later try
// finishes; a tree with files, a read-only file and subfolders goes completely.
TEST(Streams, TemporaryFilesAndFoldersGoAwayCompletely) {
    vesk_test::ScratchDir scratch;
    TemporaryFile file(scratch.path().c_str());
    const std::string created = file.getPathA();
    EXPECT_EQ(created.rfind(scratch.path() + "\\tmp", 0), 0u) << created;
    WindowsFile open(created.c_str(), GENERIC_WRITE);
    EXPECT_EQ(messageOf([&] { file.remove(); }), "Can't delete temporary file \"" + created + "\" (32)");
    open.close(), file.remove(), file.remove(); // deletes once, then does nothing
    EXPECT_FALSE(exists(created));
    file.create(L"");
    EXPECT_TRUE(exists(file.getPathA())) << "the system's temporary folder";
    TemporaryDirectory dir(scratch.path().c_str(), "vt");
    const std::string root = dir;
    EXPECT_EQ(root.rfind(scratch.path() + "\\vt", 0), 0u) << root;
    CreateDirectoryA((root + "\\sub").c_str(), nullptr), CreateDirectoryA((root + "\\sub\\deeper").c_str(), nullptr);
    for (const char* name : {"\\a", "\\sub\\b", "\\sub\\deeper\\c", "\\readonly"})
        StdIOStream((root + name).c_str(), "wb").write("x", 1);
    SetFileAttributesA((root + "\\readonly").c_str(), FILE_ATTRIBUTE_READONLY);
    WindowsFile held((root + "\\sub\\b").c_str(), GENERIC_READ);
    const unsigned long handles = vesk_test::openHandleCount();
    EXPECT_EQ(messageOf([&] { dir.remove(); }),
              "Can't delete \"" + root + "\\sub\\b\" in temporary directory \"" + root + "\" (32)");
    EXPECT_EQ(vesk_test::openHandleCount(), handles) << "the failed walk closed its search handles";
    held.close();
    { TemporaryDirectory dying(std::move(dir)); }
    EXPECT_FALSE(exists(root));
}

struct Counted {
    static int live;
    Counted() { ++live; }
    Counted(const Counted&) { ++live; }
    Counted& operator=(const Counted&) = default;
    ~Counted() { --live; }
};
int Counted::live = 0;

struct CountedObject : Counted, Serializable {
    void serialize(OutputStream&) const override {}
    void deserialize(InputStream&) override {}
};

// Self-assignment, assignment of a copy of itself, a chain of copies, moves there and
// back and a self-move; every object must still own a live resource.
template <class T, class Alive> void exercise(T a, Alive alive) {
    T& same = a;
    if constexpr (std::is_copy_assignable<T>::value) {
        a = same, a = T(a);
        T b(a), c(b), d(c);
        b = d, c = a, a = b, d = T(d);
        EXPECT_TRUE(alive(b) && alive(c) && alive(d)) << typeid(T).name();
    }
    T moved(std::move(a));
    a = std::move(moved), a = std::move(same);
    EXPECT_TRUE(alive(a)) << typeid(T).name();
}

TEST(Streams, OwnersReleaseEachResourceExactlyOnce) {
    vesk_test::ScratchDir scratch;
    const std::string path = scratch.file("owned");
    StdIOStream(path.c_str(), "wb").write("abc", 3);
    exercise(ref_ptr<CountedObject>(new CountedObject), [](const ref_ptr<CountedObject>& p) { return p && Counted::live; });
    exercise(Array<Counted>(3), [](const Array<Counted>& a) { return a.getSize() == 3 && Counted::live >= 3; });
    EXPECT_EQ(Counted::live, 0) << "created and destroyed alike";
    MemoryOutputStream bytes;
    bytes.write("abc", 3);
    exercise(bytes, [](MemoryOutputStream& m) { return bytesOf(m) == Bytes{'a', 'b', 'c'}; });
    char c;
    auto cycles = [&] { // first uses open a few handles for good; later ones none
        WindowsFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ).read(&c, 1);
        LowLevelIOStream(path.c_str(), _O_RDONLY | _O_BINARY).read(&c, 1);
        StdIOStream(path.c_str(), "rb").read(&c, 1);
        TemporaryFile(scratch.path().c_str()), messageOf([&] { WindowsFile((path + "-").c_str(), GENERIC_READ); });
        return vesk_test::openHandleCount();
    };
    const unsigned long handles = (cycles(), cycles());
    exercise(LowLevelIOStream(path.c_str(), _O_RDONLY), [&](LowLevelIOStream& s) { return s.read(&c, 1) == 1; });
    exercise(StdIOStream(path.c_str(), "rb"), [&](StdIOStream& s) { return s.read(&c, 1) == 1; });
    FILE* borrowed = std::fopen(path.c_str(), "rb");
    exercise(StdIOStream(borrowed), [&](StdIOStream& s) { return s.getHandle() == borrowed && s.detach() == borrowed; });
    EXPECT_EQ(std::fread(&c, 1, 1, borrowed) + std::fclose(borrowed), 1u) << "a detached FILE stays open";
    std::string file, dir;
    exercise(TemporaryFile(scratch.path().c_str()), [&](TemporaryFile& f) { return exists(file = f.getPathA()); });
    exercise(TemporaryDirectory(scratch.path().c_str()), [&](TemporaryDirectory& d) { return exists(dir = d.getPath()); });
    EXPECT_FALSE(exists(file) || exists(dir));
    EXPECT_EQ(cycles(), handles) << "every handle, descriptor and FILE closed";
}

} // namespace
