// File streams on real files in a scratch folder, each case run over WindowsFile,
// LowLevelIOStream and StdIOStream: round trips with seeks from every origin, gaps
// past the end, 64-bit positions, completed reads, direction changes; the exact
// failure messages with the file name and the system's text; the path helpers and
// the \\?\ prefix; one owner per handle, descriptor and FILE; TemporaryFile and
// TemporaryDirectory, also with a file still open; handle counts flat over 10^4
// open/close cycles. After every test the scratch folder is empty and each file in
// it could be deleted, so nothing was left open.
#include "file_streams.h"
#include "test_support.h"

#include <vesk/errors/exception.h>
#include <vesk/io/low_level_io_stream.h>
#include <vesk/io/std_io_stream.h>
#include <vesk/io/temporary_file.h>
#include <vesk/io/windows_file.h>
#include <vesk/system/thread.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

using namespace vesk;
using vesk_test::fileKinds;
using vesk_test::StreamFile;

namespace {

using Bytes = std::vector<unsigned char>;

static_assert(!std::is_copy_constructible<LowLevelIOStream>::value && !std::is_copy_assignable<StdIOStream>::value &&
                  !std::is_copy_constructible<TemporaryDirectory>::value &&
                  !std::is_copy_constructible<TemporaryFile>::value && !std::is_copy_constructible<WindowsFile>::value,
              "one owner per handle, descriptor, FILE and temporary object");

template <class F> std::string messageOf(F f) try {
    return f(), "(nothing thrown)";
} catch (const std::exception& e) {
    return e.what();
}

// The library's fixed part of a WindowsError and its code; what() must add the
// system's text behind ": ".
template <class F> std::string windowsFailure(F f) try {
    return f(), "(nothing thrown)";
} catch (const WindowsError& e) {
    const std::string what = e.what();
    const bool withText = what.size() > e.getDescription().size() + 2 &&
                          what.compare(0, e.getDescription().size() + 2, e.getDescription() + ": ") == 0;
    return e.getDescription() + " (" + std::to_string(e.getError()) + (withText ? ")" : ", no system text)");
} catch (const std::exception& e) {
    return std::string("other: ") + e.what();
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

Bytes pattern(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(n);
    for (auto& b : bytes) b = static_cast<unsigned char>(random());
    return bytes;
}

class FileStreams : public ::testing::Test {
protected:
    // Everything a test left must be deletable (nothing open) and no folder may remain.
    void TearDown() override {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((scratch.path() + "\\*").c_str(), &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            EXPECT_FALSE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) << name << " is left behind";
            EXPECT_TRUE(DeleteFileA(scratch.file(name).c_str())) << name << " is still open";
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }

    vesk_test::ScratchDir scratch;
};

TEST_F(FileStreams, RoundTripsSeeksAndGaps) {
    const Bytes data = pattern(100000, 11);
    for (const auto& kind : fileKinds()) {
        StreamFile f = kind.open(scratch.file("round"));
        // Odd pieces, so that no piece boundary falls on a buffer boundary.
        for (std::size_t at = 0, piece = 1; at < data.size(); at += piece, piece = piece * 3 % 4093 + 1)
            ASSERT_EQ(f.out->write(&data[at], unsigned(std::min(piece, data.size() - at))),
                      std::min(piece, data.size() - at));
        EXPECT_EQ(f.in->getSize(), data.size()) << kind.name;
        EXPECT_EQ(f.in->getFilePointer(), data.size()) << kind.name << ": getSize() keeps the position";
        const struct {
            long long offset;
            Seekable::whence from;
            unsigned long long position;
        } seeks[] = {// each read below moves on by 16 bytes
                     {0, Seekable::begin, 0},    {777, Seekable::current, 793},  {-7, Seekable::current, 802},
                     {-1, Seekable::end, 99999}, {-100000, Seekable::end, 0},    {65536, Seekable::begin, 65536},
                     {0, Seekable::end, 100000}};
        for (const auto& s : seeks) {
            EXPECT_EQ(f.in->seek(s.offset, s.from), s.position) << kind.name << " " << s.offset;
            unsigned char got[16] = {};
            const unsigned n = f.in->read(got, 16);
            const unsigned expected = unsigned(std::min<unsigned long long>(16, data.size() - s.position));
            EXPECT_EQ(Bytes(got, got + n), Bytes(data.begin() + s.position, data.begin() + s.position + expected))
                << kind.name;
        }
        unsigned char byte;
        EXPECT_EQ(f.in->read(&byte, 1), 0u) << kind.name << ": at the end";
        EXPECT_THROW(f.in->readFully(&byte, 1), EndOfFile);
        // A write past the end leaves a gap of zero bytes.
        f.in->setFilePointer(10, Seekable::end);
        f.out->write("!", 1);
        f.out->flush();
        f.in->setFilePointer(-11, Seekable::end);
        unsigned char tail[12] = {};
        EXPECT_EQ(f.in->read(tail, 12), 11u);
        EXPECT_EQ(Bytes(tail, tail + 11), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '!'})) << kind.name;
        f.owner.reset();
        EXPECT_EQ(WindowsFile::getSize(scratch.file("round").c_str()), data.size() + 11) << kind.name;
    }
}

TEST_F(FileStreams, PositionsBeyondFourGigabytes) {
    const unsigned long long distant = 5ull << 30; // a sparse file on the host: nothing is written in between
    for (const auto& kind : fileKinds()) {
        StreamFile f = kind.open(scratch.file("distant"));
        EXPECT_EQ(f.in->seek(static_cast<long long>(distant), Seekable::begin), distant) << kind.name;
        EXPECT_EQ(f.in->getFilePointer(), distant) << kind.name;
        f.out->write("far!", 4);
        EXPECT_EQ(f.in->getSize(), distant + 4) << kind.name;
        f.in->setFilePointer(0x100000000ll, Seekable::begin); // would be 0 if cut to 32 bits
        EXPECT_EQ(f.in->getFilePointer(), 0x100000000ull) << kind.name;
        f.in->setFilePointer(-4, Seekable::end);
        char back[4] = {};
        f.in->readFully(back, 4);
        EXPECT_EQ(std::string(back, 4), "far!") << kind.name;
        f.in->setFilePointer(-static_cast<long long>(distant) - 2, Seekable::current);
        EXPECT_EQ(f.in->getFilePointer(), 2u) << kind.name << ": a 64-bit step back";
    }
}

TEST_F(FileStreams, ReadsAreCompleteAndDirectionChangesSafe) {
    // A text-mode descriptor hands out fewer bytes per call than it consumes; the
    // stream still fills what was asked for until the end.
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "line\r\n";
    {
        LowLevelIOStream raw(scratch.file("text").c_str(), _O_WRONLY | _O_CREAT | _O_BINARY);
        raw.write(text.data(), unsigned(text.size()));
    }
    LowLevelIOStream cooked(scratch.file("text").c_str(), _O_RDONLY | _O_TEXT);
    std::string lines(20000 * 5, '?');
    cooked.readFully(&lines[0], unsigned(lines.size()));
    EXPECT_EQ(lines.substr(0, 10), "line\nline\n");
    EXPECT_EQ(lines.find('\r'), std::string::npos);
    char extra;
    EXPECT_EQ(cooked.read(&extra, 1), 0u);
    cooked.close();

    // A pipe delivers in pieces: WindowsFile::read waits for all of them, and the
    // writer's end is the end of the data.
    HANDLE readEnd, writeEnd;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    WindowsFile pipe;
    pipe.setHandle(readEnd);
    struct Writer : Thread {
        HANDLE h;
        explicit Writer(HANDLE h) : h(h) {}
        ~Writer() override { join(); }
        unsigned long run() override {
            for (int i = 0; i < 10; ++i) {
                DWORD n;
                WriteFile(h, "0123456789", 10, &n, nullptr);
                Sleep(5);
            }
            CloseHandle(h);
            return 0;
        }
    } writer(writeEnd);
    writer.start();
    char got[200];
    EXPECT_EQ(pipe.read(got, 100), 100u);
    EXPECT_EQ(pipe.read(got, 100), 0u);

    // Reading right after writing on one FILE (and the other way round).
    StdIOStream both(scratch.file("both").c_str(), "w+b");
    both.write("abcdef", 6);
    char c[6] = {};
    EXPECT_EQ(both.read(c, 1), 0u);
    both.setFilePointer(0, Seekable::begin);
    EXPECT_EQ(both.read(c, 2), 2u);
    both.write("XY", 2);
    EXPECT_EQ(both.read(c, 6), 2u);
    EXPECT_EQ(std::string(c, 2), "ef");
    both.setFilePointer(0, Seekable::begin);
    EXPECT_EQ(both.read(c, 6), 6u);
    EXPECT_EQ(std::string(c, 6), "abXYef");
}

TEST_F(FileStreams, FailuresNameTheFileAndCarryTheSystemText) {
    const std::string missing = scratch.file("missing.bin"), present = scratch.file("present.bin"),
                      tooLong = scratch.file(std::string(300, 'n'));
    { StdIOStream(present.c_str(), "wb").write("data", 4); }
    const std::string enoent = std::string(": ") + std::strerror(ENOENT), einval = std::string(": ") + std::strerror(EINVAL);
    WindowsFile file(present.c_str(), GENERIC_READ, FILE_SHARE_READ);
    LowLevelIOStream descriptor(present.c_str(), _O_RDONLY);
    StdIOStream stdio(present.c_str(), "rb");
    const std::string dirFailure = "Can't create temporary directory \"" + missing + "\\t";
    const struct {
        std::string got, expected;
    } rows[] = {
        {windowsFailure([&] { WindowsFile(missing.c_str(), GENERIC_READ); }), "Can't open \"" + missing + "\" (2)"},
        {windowsFailure([&] { WindowsFile(std::wstring(missing.begin(), missing.end()).c_str(), GENERIC_READ); }),
         "Can't open \"" + missing + "\" (2)"},
        {windowsFailure([&] { WindowsFile(tooLong.c_str(), GENERIC_READ); }), "Can't open \"" + tooLong + "\" (206)"},
        {windowsFailure([&] { file.seek(-1, Seekable::begin); }),
         "WindowsFile::seek: Can't seek to -1 relative to vesk::Seekable::begin (131)"},
        {windowsFailure([&] { file.write("x", 1); }), "Error while writing 1 bytes (5)"},
        {windowsFailure([&] { WindowsFile::isDirectory(missing.c_str()); }),
         "Can't get file attributes for \"" + missing + "\" (2)"},
        {windowsFailure([&] { WindowsFile::getShortPath(missing.c_str()); }),
         "Can't determine the short path name length of \"" + missing + "\" (2)"},
        {windowsFailure([&] { WindowsFile::getSize(missing.c_str()); }), "Error in GetFileAttributesExA (2)"},
        {windowsFailure([&] { TemporaryFile(missing.c_str()); }), "Can't create temporary file \"" + missing + "\" (267)"},
        {messageOf([&] { LowLevelIOStream(missing.c_str(), _O_RDONLY); }),
         "Fehler in LowLevelIOStream::open(" + missing + ",0)\n" + enoent},
        {messageOf([&] { descriptor.seek(-1, Seekable::begin); }), "Fehler in LowLevelIOStream::seek(-1,0)\n" + einval},
        {messageOf([&] { StdIOStream(missing.c_str(), "rb"); }),
         "Can't open stdio file \"" + missing + "\" with ops \"rb\"" + enoent},
        {messageOf([&] { StdIOStream(std::wstring(missing.begin(), missing.end()).c_str(), L"rb"); }),
         "Can't open stdio file \"" + missing + "\" with ops \"rb\"" + enoent},
        {messageOf([&] { StdIOStream(present.c_str(), "q"); }),
         "Can't open stdio file \"" + present + "\" with ops \"q\"" + einval},
        {messageOf([&] { stdio.setFilePointer(-1, Seekable::begin); }), "fseek(-1,0) failed" + einval},
        {messageOf([&] { StdIOStream().getFilePointer(); }),
         "Can't tell the current file pointer position in StdIOStream::tell: " + std::string(std::strerror(EBADF))},
        {messageOf([&] { TemporaryDirectory(missing.c_str(), "t"); }).substr(0, dirFailure.size()), dirFailure},
    };
    for (const auto& row : rows) EXPECT_EQ(row.got, row.expected);
}

TEST_F(FileStreams, WideNamesAndPathHelpers) {
    const std::string name = scratch.file("wide.bin");
    const std::wstring wide(name.begin(), name.end());
    { WindowsFile(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW).write("12345", 5); }
    WindowsFile prefixed((L"\\\\?\\" + wide).c_str(), GENERIC_READ, FILE_SHARE_READ);
    EXPECT_EQ(prefixed.getSize(), 5u);
    EXPECT_EQ(WindowsFile::getSize((L"\\\\?\\" + wide).c_str()), 5u);
    EXPECT_FALSE(WindowsFile::isDirectory(wide.c_str()));
    EXPECT_TRUE(WindowsFile::isDirectory(scratch.path().c_str()));
    EXPECT_EQ(WindowsFile::getFullPath(name.c_str()), name);
    EXPECT_EQ(WindowsFile::getFullPath((L"\\\\?\\" + wide).c_str()), wide) << "the prefix is not put back";
    EXPECT_EQ(WindowsFile::getFullPath(L"\\\\?\\UNC\\server\\share\\f"), L"\\\\server\\share\\f");
    const BasicString<char> shortName = WindowsFile::getShortPath(name.c_str());
    EXPECT_EQ(WindowsFile::getSize(shortName.c_str()), 5u) << "the short name names the same file";
    prefixed.close();
    if (GetACP() == 1252) { // a character the code page cannot hold must not become a look-alike
        EXPECT_EQ(windowsFailure([&] { WindowsFile((wide + L"\u0100").c_str(), GENERIC_READ); }),
                  "Can't open \"" + name + "?\" (1113)");
    }
}

TEST_F(FileStreams, OneOwnerPerHandleDescriptorAndFile) {
    const std::string path = scratch.file("owned");
    LowLevelIOStream first(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY);
    LowLevelIOStream second(std::move(first));
    EXPECT_FALSE(first.isOpen());
    EXPECT_EQ(second.write("abc", 3), 3u);
    first = std::move(second);
    EXPECT_TRUE(first.isOpen());
    EXPECT_FALSE(second.isOpen());
    first.close();
    first.close(); // a second close does nothing

    const unsigned long before = vesk_test::openHandleCount();
    FILE* raw = std::fopen(path.c_str(), "rb");
    ASSERT_NE(raw, nullptr);
    { StdIOStream owner(raw); }
    EXPECT_EQ(vesk_test::openHandleCount(), before) << "a FILE handed over is closed with the stream";
    raw = std::fopen(path.c_str(), "rb");
    {
        StdIOStream borrower(raw);
        EXPECT_EQ(borrower.detach(), raw);
        char c;
        EXPECT_EQ(borrower.read(&c, 1), 1u) << "still usable after detach";
        StdIOStream moved(std::move(borrower));
        EXPECT_EQ(moved.getHandle(), raw);
    }
    char c;
    EXPECT_EQ(std::fread(&c, 1, 1, raw), 1u) << "a detached FILE stays open";
    EXPECT_EQ(c, 'b');
    EXPECT_EQ(std::fclose(raw), 0);
    EXPECT_EQ(vesk_test::openHandleCount(), before);
}

TEST_F(FileStreams, TemporaryFilesAndDirectories) {
    std::string created;
    {
        TemporaryFile file(scratch.path().c_str());
        created = file.getPathA();
        EXPECT_TRUE(file.isExisting() && exists(created));
        EXPECT_EQ(created.rfind(scratch.path() + "\\tmp", 0), 0u) << created;
        EXPECT_EQ(file.getPathW(), std::wstring(created.begin(), created.end()));
        TemporaryFile moved(std::move(file));
        EXPECT_TRUE(file.isVoid());
        WindowsFile open(created.c_str(), GENERIC_WRITE);
        EXPECT_EQ(windowsFailure([&] { moved.remove(); }),
                  "Can't delete temporary file \"" + created + "\" (32)");
        EXPECT_TRUE(moved.isExisting()) << "the path is kept for another try";
        open.close();
        moved.remove();
        moved.remove(); // deletes once, then does nothing
        EXPECT_FALSE(exists(created));
        moved.create(L"");
        created = moved.getPathA();
        EXPECT_TRUE(exists(created)) << "the system's temporary folder";
    }
    EXPECT_FALSE(exists(created));

    // A tree with files, a read-only file and subfolders goes completely; a file held
    // open stops the removal with a clear error that names it, and a later try finishes.
    TemporaryDirectory dir(scratch.path().c_str(), "vt");
    const std::string root = dir;
    EXPECT_EQ(root.rfind(scratch.path() + "\\vt", 0), 0u) << root;
    CreateDirectoryA((root + "\\sub").c_str(), nullptr);
    CreateDirectoryA((root + "\\sub\\deeper").c_str(), nullptr);
    for (const char* name : {"\\a", "\\sub\\b", "\\sub\\deeper\\c", "\\readonly"})
        StdIOStream((root + name).c_str(), "wb").write("x", 1);
    SetFileAttributesA((root + "\\readonly").c_str(), FILE_ATTRIBUTE_READONLY);
    {
        WindowsFile held((root + "\\sub\\b").c_str(), GENERIC_READ);
        TemporaryDirectory moved(std::move(dir));
        EXPECT_FALSE(dir.isExisting());
        const unsigned long handles = vesk_test::openHandleCount();
        const std::string failure = windowsFailure([&] { moved.remove(); });
        EXPECT_EQ(failure, "Can't delete \"" + root + "\\sub\\b\" in temporary directory \"" + root + "\" (32)");
        EXPECT_EQ(vesk_test::openHandleCount(), handles) << "the failed walk closed its search handles";
        EXPECT_TRUE(moved.isExisting() && exists(root));
        held.close();
        moved.remove();
        EXPECT_FALSE(exists(root));
        TemporaryDirectory again(scratch.path().c_str(), "vt");
        const std::string second = again;
        WindowsFile stillOpen((second + "\\f").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW);
        { TemporaryDirectory dying(std::move(again)); } // fails quietly: nothing crashes, nothing leaks
        EXPECT_TRUE(exists(second));
        stillOpen.close();
        TemporaryDirectory cleanup(std::move(again));
        EXPECT_FALSE(cleanup.isExisting()) << "moved from once already";
        DeleteFileA((second + "\\f").c_str());
        RemoveDirectoryA(second.c_str());
        EXPECT_FALSE(exists(second));
    }
}

TEST_F(FileStreams, HandleCountFlatOverManyOpenCloseCycles) {
    const std::string path = scratch.file("cycle");
    { StdIOStream(path.c_str(), "wb").write("cycle", 5); }
    auto cycles = [&](int n) {
        char c;
        for (int i = 0; i < n; ++i) switch (i % 5) {
            case 0: WindowsFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ).read(&c, 1); break;
            case 1: LowLevelIOStream(path.c_str(), _O_RDONLY | _O_BINARY).read(&c, 1); break;
            case 2: StdIOStream(path.c_str(), "rb").read(&c, 1); break;
            case 3: TemporaryFile(scratch.path().c_str()); break;
            default:
                try {
                    WindowsFile(scratch.file("none").c_str(), GENERIC_READ);
                } catch (const WindowsError&) {
                }
            }
    };
    cycles(10);
    const unsigned long before = vesk_test::openHandleCount();
    cycles(10000);
    EXPECT_EQ(vesk_test::openHandleCount(), before);
}

} // namespace
