// Modules, string resources, version blocks and local memory, against the fixture
// DLL vesk_test_resources.dll (tests/system/resources): load, query and free it,
// procedures, every resource kind it carries, the errors that name what is missing,
// and damaged copies of it whose stated sizes reach beyond their data.
#include <vesk/errors/exception.h>
#include <vesk/system/local_memory.h>
#include <vesk/system/module.h>
#include <vesk/system/version_info.h>

#include <gtest/gtest.h>
#include <test_support.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

using namespace vesk;

namespace {

const char* fixture = "vesk_test_resources.dll";

template <class F> std::string messageOf(F f) try {
    return f(), "(nothing thrown)";
} catch (const WindowsError& e) {
    return e.getDescription();
} catch (const std::exception& e) {
    return std::string("(not a WindowsError) ") + e.what();
}

template <class F> unsigned long errorOf(F f) try {
    return f(), 0;
} catch (const WindowsError& e) {
    return e.getError();
}

std::string expectedLongString() {
    std::string s;
    for (int i = 0; i < 30; ++i) {
        char field[16];
        std::snprintf(field, sizeof field, "%09d|", i * 10);
        s += field;
    }
    return s;
}

bool loaded(const char* name) { return GetModuleHandleA(name) != nullptr; }

std::vector<char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// The file offset of an address inside a mapped image.
std::size_t fileOffset(HMODULE module, const void* address) {
    auto base = reinterpret_cast<const unsigned char*>(module);
    const DWORD rva = DWORD(static_cast<const unsigned char*>(address) - base);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
        if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->Misc.VirtualSize)
            return section->PointerToRawData + (rva - section->VirtualAddress);
    ADD_FAILURE() << "address outside every section";
    return 0;
}

} // namespace

TEST(WindowsModule, LoadQueryAndFreeOwnOnlyWhatTheyLoaded) {
    ASSERT_FALSE(loaded(fixture));
    {
        WindowsModule owner(fixture, true);
        EXPECT_TRUE(owner.isLoaded() && owner.isOwned() && bool(owner) && !!owner);
        {
            WindowsModule reference(fixture, false);
            EXPECT_EQ(reference.getHandle(), owner.getHandle());
            EXPECT_FALSE(reference.isOwned());
        }
        EXPECT_TRUE(loaded(fixture)) << "a referencing object freed the module";
        WindowsModule instance(owner.getHandle());
        EXPECT_FALSE(instance.isOwned());
        auto answer = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(owner.getProcAddress("veskTestAnswer", false)));
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer(), 42);
        EXPECT_EQ(owner.getProcAddress("noSuchProcedure", true), nullptr);
        const std::string path = owner.getFilenameA();
        EXPECT_TRUE(String(path).endsWith("\\vesk_test_resources.dll")) << path;
        EXPECT_EQ(WString(owner.getFilenameW()), WString(path.c_str()));
        owner.close();
        EXPECT_FALSE(owner.isLoaded());
        EXPECT_FALSE(loaded(fixture));
        owner.load(fixture, DWORD(LOAD_LIBRARY_AS_DATAFILE));
        EXPECT_TRUE(owner.isOwned());
    }
    EXPECT_FALSE(loaded(fixture)) << "the owner did not free the module";
    // The default object refers to the library itself.
    WindowsModule library;
    EXPECT_EQ(library.getHandle(), getLibraryInstance());
    EXPECT_TRUE(String(library.getFilenameA()).toLower().endsWith("vesk.dll"));
}

TEST(WindowsModule, ErrorsNameWhatIsMissing) {
    WindowsModule module(fixture, true);
    struct Case {
        std::function<void()> call;
        const char* message;
        unsigned long error;
    } cases[] = {
        {[] { WindowsModule("no_such_module.dll", true); }, "Can't load library \"no_such_module.dll\"", ERROR_MOD_NOT_FOUND},
        {[] { WindowsModule("no_such_module.dll", false); }, "Can't get module handle for \"no_such_module.dll\"",
         ERROR_MOD_NOT_FOUND},
        {[] { WindowsModule("no_such_module.dll", DWORD(8)); },
         "Can't load library \"no_such_module.dll\" with flags 0x8", ERROR_MOD_NOT_FOUND},
        {[&] { module.getProcAddress("noSuchProcedure", false); }, "Can't get proc address for \"noSuchProcedure\"",
         ERROR_PROC_NOT_FOUND},
        {[&] { module.getProcAddress(MAKEINTRESOURCEA(999), false); }, "Can't get proc address for \"#999\"", 0},
        {[&] { module.findResource(RT_RCDATA, 99); }, "Unable to find resource with type #10 and id 99", 0},
        {[&] { module.findResource("NOSUCHTYPE", 7); }, "Unable to find resource with type NOSUCHTYPE and id 7", 0},
        {[&] { module.findResource(RT_RCDATA, 0x10007); }, "Unable to find resource with type #10 and id 65543",
         ERROR_RESOURCE_NAME_NOT_FOUND},
        {[&] { module.findResource(RT_RCDATA, -1); }, "Unable to find resource with type #10 and id -1",
         ERROR_RESOURCE_NAME_NOT_FOUND},
        {[&] { module.getMessageA(0x999, 0); }, "Can't format message id 2457 with languag 0", 0},
        {[&] {
             std::vector<char> b;
             loadStringResource(b, 4000, module.getHandle());
         },
         "Can't load ASCII resource string 4000", 0},
        {[] { VersionInfo("C:\\windows\\no_such_file.dll"); },
         "Error in GetFileVersionInfoSizeA(C:\\windows\\no_such_file.dll,)", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(messageOf(c.call), c.message);
        if (c.error) {
            EXPECT_EQ(errorOf(c.call), c.error) << c.message;
        }
    }
    // A file without a version block fails in the size query too.
    const std::string exe = WindowsModule(nullptr).getFilenameA();
    EXPECT_EQ(messageOf([&] { VersionInfo v(exe.c_str()); }), "Error in GetFileVersionInfoSizeA(" + exe + ",)");
}

TEST(WindowsModule, ReadsEveryResourceKind) {
    WindowsModule module(fixture, true);
    // Raw data in three steps; a named resource type.
    HRSRC raw = module.findResource(RT_RCDATA, 7);
    ASSERT_EQ(module.getResourceSize(raw), 6u);
    EXPECT_EQ(std::memcmp(module.getResourcePointer(raw), "raw:\x34\x12", 6), 0);
    HRSRC named = module.findResource("VESKDATA", 8);
    EXPECT_EQ(std::string(static_cast<const char*>(module.getResourcePointer(named)), module.getResourceSize(named)),
              "named type");

    // The message table (windmc), with its inserts left alone.
    EXPECT_EQ(module.getMessageA(0x100, 0), "Hello from the message table.\r\n");
    EXPECT_EQ(module.getMessageA(0x101, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)), "Value %1 was ignored.\r\n");

    // Strings: the buffer grows in steps of 256 for a long one; wide text keeps
    // characters outside the ANSI code page.
    struct {
        unsigned id;
        const char* narrow;
        const wchar_t* wide;
        std::size_t bufferSize;
    } strings[] = {
        {1, "Hello from the test module", L"Hello from the test module", 256},
        {17, "x", L"x", 256},
        {2, nullptr, L"Cyrillic \x0416\x0418 end", 256},
        {3, nullptr, nullptr, 512},
    };
    const std::string longText = expectedLongString();
    ASSERT_EQ(longText.size(), 300u);
    for (const auto& s : strings) {
        std::string narrow = longText;
        std::wstring wide = WString(longText.c_str());
        if (s.wide) wide = s.wide, narrow = String(s.wide);
        if (s.narrow) narrow = s.narrow;
        std::vector<char> a;
        EXPECT_EQ(loadStringResource(a, s.id, module.getHandle()), narrow.size());
        EXPECT_EQ(a.size(), s.bufferSize) << s.id;
        EXPECT_STREQ(a.data(), narrow.c_str());
        std::vector<wchar_t> w;
        EXPECT_EQ(loadStringResource(w, s.id, module.getHandle()), wide.size());
        EXPECT_EQ(std::wstring(w.data()), wide);
        EXPECT_EQ(String::fromResource(s.id, module.getHandle()), narrow);
        EXPECT_EQ(WString::fromResource(s.id, module.getHandle()), wide);
    }
    // The buffer of a caller keeps its larger size.
    std::vector<char> big(1000);
    EXPECT_EQ(loadStringResource(big, 1, module.getHandle()), 26u);
    EXPECT_EQ(big.size(), 1000u);
}

TEST(VersionInfo, ReadsNumbersAndTextsAndCopies) {
    const std::string path = WindowsModule(fixture, true).getFilenameA();
    VersionInfo info(path.c_str());
    struct {
        const VersionInfo::Version& v;
        unsigned major, minor, build, revision;
        DWORD ms, ls;
    } versions[] = {{info.FileVersion(), 1, 2, 3, 4, 0x00010002, 0x00030004},
                    {info.ProductVersion(), 5, 6, 7, 8, 0x00050006, 0x00070008}};
    for (const auto& v : versions) {
        EXPECT_EQ(v.v.words.mostSignificant, v.ms);
        EXPECT_EQ(v.v.words.leastSignificant, v.ls);
        EXPECT_EQ(v.v.getMajor(), v.major);
        EXPECT_EQ(v.v.getMinor(), v.minor);
        EXPECT_EQ(v.v.getBuild(), v.build);
        EXPECT_EQ(v.v.getRevision(), v.revision);
    }
    EXPECT_EQ(info.FileVersion().toString(), "1.2.3.4");
    EXPECT_EQ(info.getString("ProductName"), "Vesk++ tests");
    EXPECT_EQ(info.getString("FileDescription"), "Vesk module test fixture");
    EXPECT_EQ(messageOf([&] { info.getString("NoSuchValue"); }).find("Error in VerQueryValueA("), 0u);

    // Copies point into their own block and outlive the original.
    auto* original = new VersionInfo(info);
    VersionInfo copy(*original);
    VersionInfo assigned(path.c_str());
    assigned = *original;
    EXPECT_NE(&copy.getFixedInfo(), &original->getFixedInfo());
    delete original;
    for (const VersionInfo* v : {&copy, &assigned}) {
        EXPECT_EQ(v->ProductVersion().toString(), "5.6.7.8");
        EXPECT_EQ(v->getString("ProductName"), "Vesk++ tests");
    }
}

TEST(Bounds, DamagedSizesFromAFileThrow) {
    vesk_test::ScratchDir dir;
    WindowsModule module(fixture, true);
    const std::string path = module.getFilenameA();
    const std::vector<char> bytes = readFile(path);
    ASSERT_FALSE(bytes.empty());

    // A resource entry whose size reaches far past the module.
    {
        HRSRC raw = module.findResource(RT_RCDATA, 7);
        std::vector<char> damaged = bytes;
        const std::size_t entry = fileOffset(module.getHandle(), raw);
        const DWORD huge = 0x10000000;
        std::memcpy(&damaged[entry + offsetof(IMAGE_RESOURCE_DATA_ENTRY, Size)], &huge, 4);
        const std::string copy = dir.file("damaged_resource.dll");
        writeFile(copy, damaged);
        WindowsModule broken(copy.c_str(), DWORD(LOAD_LIBRARY_AS_DATAFILE));
        HRSRC bad = broken.findResource(RT_RCDATA, 7);
        EXPECT_EQ(messageOf([&] { broken.getResourceSize(bad); }), "Resource size 268435456 reaches beyond its module");
        EXPECT_EQ(errorOf([&] { broken.getResourceSize(bad); }), 13ul);
    }

    // Version blocks whose fixed part is short, reaches past the block, or has no
    // signature: each is refused, none is read.
    const char key[] = "V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0";
    const auto at = std::search(bytes.begin(), bytes.end(), key, key + sizeof key - 1);
    ASSERT_NE(at, bytes.end());
    const std::size_t header = std::size_t(at - bytes.begin()) - 6; // wLength, wValueLength, wType
    const char signature[] = "\xBD\x04\xEF\xFE";
    const auto fixedAt = std::search(bytes.begin(), bytes.end(), signature, signature + 4);
    ASSERT_NE(fixedAt, bytes.end());
    struct {
        const char* what;
        std::size_t offset;
        WORD value;
    } damages[] = {
        {"short fixed part", header + 2, 20},
        {"fixed part past the block", header + 2, 0xFFF0},
        {"no signature", std::size_t(fixedAt - bytes.begin()), 0x1111},
    };
    int n = 0;
    for (const auto& d : damages) {
        std::vector<char> damaged = bytes;
        std::memcpy(&damaged[d.offset], &d.value, 2);
        const std::string copy = dir.file("damaged_version" + std::to_string(n++) + ".dll");
        writeFile(copy, damaged);
        EXPECT_EQ(messageOf([&] { VersionInfo v(copy.c_str()); }).find("Error in "), 0u) << d.what;
    }

    // A local block shorter than the length a caller was told.
    LocalMemory memory(LocalAlloc(LMEM_FIXED, 16));
    EXPECT_NE(memory.lock(16), nullptr);
    EXPECT_EQ(errorOf([&] { memory.lock(17); }), 13ul);
}

TEST(LocalMemory, LocksCountAndFreeReleasesEveryLock) {
    LocalMemory fixed(LocalAlloc(LMEM_FIXED, 32));
    EXPECT_TRUE(fixed.isFixed());
    EXPECT_EQ(fixed.lock(), fixed.getHandle());
    EXPECT_FALSE(fixed.unlock());
    EXPECT_GE(fixed.getSize(), 32u);

    LocalMemory movable(LocalAlloc(LMEM_MOVEABLE, 64), true);
    ASSERT_TRUE(movable.isMovable());
    void* first = movable.lock();
    EXPECT_EQ(movable.lock(), first);
    EXPECT_EQ(movable.getLockCount(), 2);
    EXPECT_EQ(movable.getFlags().getLockCount(), 2u);
    EXPECT_TRUE(movable.unlock());
    EXPECT_EQ(movable.getFlags().getLockCount(), 1u);
    movable.lock();
    // Ownership moves: the moved-from object frees nothing.
    LocalMemory moved(std::move(movable));
    EXPECT_EQ(movable.getHandle(), nullptr);
    const HLOCAL handle = moved.getHandle();
    moved.free(); // unlocks twice, then frees
    EXPECT_EQ(moved.getHandle(), nullptr);
    EXPECT_EQ(LocalFlags(handle), UINT(LMEM_INVALID_HANDLE));

    // A fixed-seed sweep of lock/unlock sequences: the object's count follows the
    // system's, and freeing always works.
    unsigned seed = 12345;
    for (int round = 0; round < 50; ++round) {
        LocalMemory m(LocalAlloc(LMEM_MOVEABLE, 8 + round), true);
        for (int step = 0; step < 20; ++step) {
            seed = seed * 1103515245 + 12345;
            if ((seed >> 16) % 3 || m.getLockCount() == 0) m.lock();
            else m.unlock();
            ASSERT_EQ(unsigned(m.getLockCount()), m.getFlags().getLockCount());
        }
        const HLOCAL h = m.getHandle();
        m.free();
        ASSERT_EQ(LocalFlags(h), UINT(LMEM_INVALID_HANDLE));
    }
    // A handle freed behind the object's back.
    const HLOCAL stale = LocalAlloc(LMEM_MOVEABLE, 8);
    LocalFree(stale);
    EXPECT_EQ(messageOf([&] { LocalMemory(stale, true).getFlags(); }), "Can't query flags for local memory handle");
}
