// Modules, string resources, version blocks, local memory and every owner of the
// folder, against the fixture DLL vesk_test_resources.dll (tests/system/resources):
// load, query and free, procedures, every resource kind, the errors that name what
// is missing; fixed-seed sweeps of damaged version blocks (read from memory followed
// by a no-access page) and of resource entries that claim more than their file;
// owners assigned themselves, copied and moved, each resource released once.
#include <vesk/system/local_memory.h>
#include <vesk/system/module.h>
#include <vesk/system/registry.h>
#include <vesk/system/version_info.h>
#include <vesk/system/windows_handle.h>

#include <gtest/gtest.h>
#include <test_support.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

using namespace vesk;

namespace {

const char* fixture = "vesk_test_resources.dll";

using vesk_test::errorOf;
// The description alone, where the code is the system's.
template <class F> std::string messageOf(F f) { const std::string e = errorOf(f); return e.substr(e.find(' ') + 1); }

bool loaded(const char* name) { return GetModuleHandleA(name) != nullptr; }

// Where the bytes of a mapped image's [at, at + size) stand in its file.
std::size_t fileOffset(const std::vector<char>& file, const void* at, std::size_t size) {
    return std::size_t(std::search(file.begin(), file.end(), static_cast<const char*>(at), static_cast<const char*>(at) + size) - file.begin());
}

// A copy of a file with bytes changed at offsets, under a name of its own.
std::string damagedCopy(const vesk_test::ScratchDir& dir, std::vector<char> bytes, std::size_t at, const void* value,
                        std::size_t size) {
    static int serial = 0;
    std::memcpy(&bytes[at], value, size);
    const std::string path = dir.file("damaged" + std::to_string(++serial) + ".dll");
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}

} // namespace

TEST(WindowsModule, LoadQueryAndFreeOwnOnlyWhatTheyLoaded) {
    ASSERT_FALSE(loaded(fixture));
    {
        WindowsModule owner(fixture, true);
        EXPECT_TRUE(owner.isLoaded() && owner.isOwned() && bool(owner) && !!owner && !WindowsModule(fixture, false).isOwned() &&
                    !WindowsModule(owner.getHandle()).isOwned() && loaded(fixture)) << "a referencing object freed the module";
        EXPECT_TRUE(reinterpret_cast<int (*)()>(reinterpret_cast<void*>(owner.getProcAddress("veskTestAnswer", false)))() == 42 &&
                    owner.getProcAddress("noSuchProcedure", true) == nullptr);
        EXPECT_FALSE((owner.close(), owner.isLoaded()) || loaded(fixture));
        EXPECT_TRUE((owner.load(fixture, DWORD(LOAD_LIBRARY_AS_DATAFILE)), owner.isOwned()));
    }
    EXPECT_TRUE(!loaded(fixture) && WindowsModule().getHandle() == getLibraryInstance()) << "the owner did not free the module";
}

TEST(WindowsModule, FileNamesPastMaxPathAndOutsideTheANSICodePage) {
    vesk_test::ScratchDir dir;
    const std::wstring prefix = L"\\\\?\\", cyrillic = L"\x043C\x043E\x0434\x0443\x043B\x044C";
    std::vector<std::wstring> folders{WString(dir.path().c_str()) + L"\\" + cyrillic};
    while (folders.back().size() < 320) folders.push_back(folders.back() + L"\\" + std::wstring(60, L'd'));
    for (const std::wstring& f : folders) ASSERT_TRUE(CreateDirectoryW((prefix + f).c_str(), nullptr));
    const std::wstring file = folders.back() + L"\\fixture.dll";
    ASSERT_TRUE(CopyFileW(WindowsModule(fixture, true).getFilenameW().c_str(), (prefix + file).c_str(), FALSE));
    HMODULE h = LoadLibraryW((prefix + file).c_str());
    ASSERT_NE(h, nullptr);
    const std::wstring wide = WindowsModule(h).getFilenameW();
    EXPECT_TRUE(wide.substr(wide.size() - 250) == file.substr(file.size() - 250) && wide.find(cyrillic) != std::wstring::npos &&
                WindowsModule(h).getFilenameA().size() == wide.size()) << "cut short";
    FreeLibrary(h), DeleteFileW((prefix + file).c_str());
    for (auto f = folders.rbegin(); f != folders.rend(); ++f) RemoveDirectoryW((prefix + *f).c_str());
}

TEST(WindowsModule, ReadsEveryResourceKindAndTheVersionBlockAndNamesWhatIsMissing) {
    WindowsModule module(fixture, true);
    std::vector<char> buffer;
    // The code where it is the library's own; the description alone otherwise.
    const std::pair<std::function<std::string()>, std::string> cases[] = {
        {[] { return errorOf([] { WindowsModule("no_such_module.dll", true); }); }, "126 Can't load library \"no_such_module.dll\""},
        {[] { return errorOf([] { WindowsModule("no_such_module.dll", false); }); }, "126 Can't get module handle for \"no_such_module.dll\""},
        {[] { return errorOf([] { WindowsModule("no_such_module.dll", DWORD(8)); }); }, "126 Can't load library \"no_such_module.dll\" with flags 0x8"},
        {[&] { return errorOf([&] { module.getProcAddress("noSuchProcedure", false); }); }, "127 Can't get proc address for \"noSuchProcedure\""},
        {[&] { return messageOf([&] { module.getProcAddress(MAKEINTRESOURCEA(999), false); }); }, "Can't get proc address for \"#999\""},
        {[&] { return messageOf([&] { module.findResource(RT_RCDATA, 99); }); }, "Unable to find resource with type #10 and id 99"},
        {[&] { return messageOf([&] { module.findResource("NOSUCHTYPE", 7); }); }, "Unable to find resource with type NOSUCHTYPE and id 7"},
        {[&] { return errorOf([&] { module.findResource(RT_RCDATA, 0x10007); }); }, "1814 Unable to find resource with type #10 and id 65543"},
        {[&] { return errorOf([&] { module.findResource(RT_RCDATA, -1); }); }, "1814 Unable to find resource with type #10 and id -1"},
        {[&] { return messageOf([&] { module.getMessageA(0x999, 0); }); }, "Can't format message id 2457 with languag 0"},
        {[&] { return messageOf([&] { loadStringResource(buffer, 4000, module.getHandle()); }); }, "Can't load ASCII resource string 4000"},
        {[] { return messageOf([] { VersionInfo("C:\\windows\\no_such_file.dll"); }); }, "Error in GetFileVersionInfoSizeA(C:\\windows\\no_such_file.dll,)"},
        {[] { return messageOf([] { LocalMemory(LocalFree(LocalAlloc(LMEM_FIXED, 8)), true).getFlags(); }); }, "Can't query flags for local memory handle"},
    };
    for (const auto& [call, expected] : cases) EXPECT_EQ(call(), expected);
    HRSRC raw = module.findResource(RT_RCDATA, 7), named = module.findResource("VESKDATA", 8);
    EXPECT_EQ(std::string(static_cast<const char*>(module.getResourcePointer(raw)), module.getResourceSize(raw)), "raw:\x34\x12");
    EXPECT_EQ(std::string(static_cast<const char*>(module.getResourcePointer(named)), module.getResourceSize(named)), "named type");
    EXPECT_TRUE(module.getMessageA(0x100, 0) == "Hello from the message table.\r\n" &&
                module.getMessageA(0x101, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)) == "Value %1 was ignored.\r\n");
    // Strings: the buffer grows for a long one; wide text keeps characters outside
    // the ANSI code page.
    std::string longText;
    for (int i = 0; i < 300; i += 10) longText += std::to_string(1000000000 + i).substr(1) + "|";
    const std::tuple<unsigned, std::wstring, std::size_t> strings[] = { // id, text, the buffer's size afterwards
        {1, L"Hello from the test module", 256}, {17, L"x", 256}, {2, L"Cyrillic \x0416\x0418 end", 256}, {3, WString(longText.c_str()), 512}};
    for (const auto& [id, wide, bufferSize] : strings) {
        const std::string narrow = String(wide.c_str());
        std::vector<char> a;
        std::vector<wchar_t> w;
        EXPECT_TRUE(loadStringResource(a, id, module.getHandle()) == narrow.size() && a.size() == bufferSize && a.data() == narrow) << id;
        EXPECT_TRUE(loadStringResource(w, id, module.getHandle()) == wide.size() && w.data() == wide) << id;
        EXPECT_TRUE(String::fromResource(id, module.getHandle()) == narrow && WString::fromResource(id, module.getHandle()) == wide) << id;
    }
    EXPECT_TRUE(loadStringResource(buffer = std::vector<char>(1000), 1, module.getHandle()) == 26 && buffer.size() == 1000) << "a larger buffer keeps its size";
    const VersionInfo info(module.getFilenameA().c_str()); // and the version block's numbers and texts
    EXPECT_TRUE(info.FileVersion().words.mostSignificant == 0x00010002u && info.FileVersion().words.leastSignificant == 0x00030004u &&
                info.ProductVersion().toString() == "5.6.7.8" && info.getString("productname") == "Vesk++ tests" &&
                info.getString("FileDescription") == "Vesk module test fixture");
    EXPECT_EQ(errorOf([&] { info.getString("NoSuchValue"); }), "1814 Error in VerQueryValueA(\\StringFileInfo\\040904b0\\NoSuchValue)");
}

// Damaged copies of the fixture's version block, read from memory followed by a
// no-access page, and some through VersionInfo from a file; entries that claim more
// than the file: every one gives values or WindowsError, and nothing is read or
// written outside the block.
TEST(Bounds, DamagedVersionBlocksAndResourceEntries) {
    vesk_test::ScratchDir dir;
    WindowsModule module(fixture, true);
    const std::string path = module.getFilenameA();
    const std::vector<char> file{std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
    const HRSRC resource = module.findResource(RT_VERSION, 1);
    const std::size_t length = module.getResourceSize(resource), block = fileOffset(file, module.getResourcePointer(resource), length),
                      entry = fileOffset(file, resource, sizeof(IMAGE_RESOURCE_DATA_ENTRY)); // HRSRC: the entry in the image
    std::vector<unsigned char> good(GetFileVersionInfoSizeA(path.c_str(), nullptr));
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, DWORD(good.size()), good.data()) && good.size() < 0x8000 && entry < block && block < file.size());
    const WORD damagedRoot = 0xABCC; // the length of the whole block, 0x01CC in a sound one
    EXPECT_EQ(errorOf([&] { VersionInfo(damagedCopy(dir, file, block, &damagedRoot, 2).c_str()).getString("ProductName"); }),
              "13 Error in VerQueryValueA: damaged version block");
    auto pages = static_cast<unsigned char*>(VirtualAlloc(nullptr, 0x10000, MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0, thrown = 0;
    ASSERT_TRUE(VirtualProtect(pages + 0x8000, 0x8000, PAGE_NOACCESS, &old));
    unsigned char* guarded = pages + 0x8000 - good.size();
    std::mt19937 random(21);
    const WORD values[] = {0, 1, 2, 5, 6, 0x7FFF, 0xFFFF, 0xABCC};
    for (int round = 0; round < 3000; ++round) {
        std::copy(good.begin(), good.end(), guarded);
        for (int n = 1 + random() % 3; n > 0; --n) {
            const WORD value = random() % 2 ? values[random() % 8] : WORD(random());
            std::memcpy(guarded + random() % (length / 2) * 2, &value, 2);
        }
        std::string inMemory;
        for (const char* name : {"Missing", "FileDescription", "ProductName"})
            thrown += (inMemory = errorOf([&] { detail::versionFixedInfo(guarded, good.size()), detail::versionString(guarded, good.size(), name); })) != "none";
        // Now and then through a file: the same block gives the same answer there.
        EXPECT_TRUE(round % 100 || errorOf([copy = damagedCopy(dir, file, block, guarded, length)] { VersionInfo(copy.c_str()).getString("ProductName"); }) == inMemory) << round;
    }
    VirtualFree(pages, 0, MEM_RELEASE);
    EXPECT_GT(thrown, 1000u) << "the sweep hardly damaged anything";
    const DWORD pastTheFile[] = {0x7FFFFFFF, 0x10000, 0xFFFFFFFF, 0x1000000, DWORD(file.size())};
    for (int round = 0; round < 45; ++round) { // sizes past the file, then sizes and offsets (at 0) of every kind
        const DWORD value = round < 5 ? pastTheFile[round] : random() % 2 ? DWORD(random()) : DWORD(random() % (2 * file.size()));
        const std::string m = messageOf([copy = damagedCopy(dir, file, entry + 4 * (round < 5 || random() % 2), &value, 4)] { VersionInfo(copy.c_str()).getString("ProductName"); });
        EXPECT_TRUE(round >= 5 || m.find("Resource size") == 0) << value << m;
    }
}

TEST(LocalMemory, LocksCountAndFreeReleasesEveryLock) {
    LocalMemory fixed(LocalAlloc(LMEM_FIXED, 32));
    EXPECT_TRUE(fixed.isFixed() && fixed.lock() == fixed.getHandle() && !fixed.unlock() && fixed.lock(16));
    EXPECT_NE(errorOf([&] { fixed.lock(4096); }).find("13 Local memory block of "), std::string::npos);
    // A fixed-seed sweep of locks and unlocks: the object's count follows the
    // system's, and freeing unlocks as often as needed.
    std::mt19937 random(12345);
    for (int round = 0; round < 30; ++round) {
        LocalMemory m(LocalAlloc(LMEM_MOVEABLE, 8 + round), true);
        for (int step = 0; step < 20; ++step) {
            const bool unlock = random() % 3 == 0 && m.getLockCount() > 0, stillLocked = unlock ? m.unlock() : !!m.lock();
            ASSERT_TRUE(unsigned(m.getLockCount()) == m.getFlags().getLockCount() && stillLocked == (m.getLockCount() > 0));
        }
        const HLOCAL h = m.getHandle();
        ASSERT_TRUE((m.free(), LocalFlags(h)) == LMEM_INVALID_HANDLE && !m.getHandle());
    }
}

// Every owner of the folder assigned itself and a copy of itself, copied in chains
// and moved: the resource stays usable while an owner holds it, and is released
// exactly once (raw handles are dead afterwards, the handle count is back).
template <class T, class Works> void ownerSweep(T& a, Works works) {
    T& same = a;
    if constexpr (std::is_copy_assignable<T>::value) {
        a = same, a = T(same);
        T b(a), c(b), d(c);
        b = d, d = c, c = b;
        EXPECT_TRUE(works(a) && works(b) && works(c) && works(d)) << "assigned itself, a copy of itself, copies in chains";
    }
    a = std::move(same);
    T moved(std::move(a));
    a = std::move(moved);
    EXPECT_TRUE(works(a)) << "moves";
}

TEST(Owners, SelfAssignmentCopiesAndMovesReleaseEachResourceOnce) {
    vesk_test::ScratchKey scratch("owners");
    const std::string path = WindowsModule(fixture, true).getFilenameA();
    const unsigned long handles = vesk_test::openHandleCount();
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(scratch, "", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    const HLOCAL local = LocalAlloc(LMEM_MOVEABLE, 16);
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    {
        RegistryKey registry(key, true);
        ownerSweep(registry, [](const RegistryKey& k) { return !RegQueryInfoKeyA(k, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0); });
        EXPECT_EQ((registry.attach(registry, true), registry.getValueCount()), 0u) << "attached to its own handle";
        LocalMemory memory(local, true);
        ownerSweep((memory.lock(), memory), [](const LocalMemory& m) { return m.getFlags().getLockCount() == 1; });
        VersionInfo info(path.c_str());
        ownerSweep(info, [](const VersionInfo& v) { return v.getString("ProductName") == "Vesk++ tests"; });
        WindowsHandle handle(event);
        EXPECT_EQ((handle = handle.getHandle(), handle.setHandle(handle.getHandle()), handle.wait(0)), WindowsHandle::timeout) << "given itself";
    }
    EXPECT_TRUE(RegCloseKey(key) != ERROR_SUCCESS && LocalFlags(local) == LMEM_INVALID_HANDLE && !CloseHandle(event));
    EXPECT_EQ(vesk_test::openHandleCount(), handles);
}
