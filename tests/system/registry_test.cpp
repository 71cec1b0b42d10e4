// RegistryKey against the real registry, in a scratch key: every value type through
// every reader (awkward zeros, no terminator, more data than a DWORD); long names and
// classes in snapshots; one owner per handle; recursive delete, pruning and merging
// of trees, inside their key and never through a symbolic link; isDevelopmentSystem.
// INI strings (entries around and far beyond the first buffer, long lists of names,
// the write failure) and the operating-system version records and their tests.
#include <vesk/system/ini.h>
#include <vesk/system/os_version.h>
#include <vesk/system/registry.h>

#include <gtest/gtest.h>
#include <sddl.h>
#include <test_support.h>

#include <random>

using namespace vesk;

namespace {

using Bytes = std::vector<unsigned char>;
using vesk_test::errorOf;
constexpr auto isLink = vesk_test::isRegistryLink;
const std::string keyNotFound = "2 Registry key not found";


class Registry : public ::testing::Test {
protected:
    // Keys from paths; "a\\b=x" also sets the default value of a\b, "a\\b:v=x" the
    // value v, and "a\\b=" a default value without data.
    void build(std::initializer_list<std::string> paths) {
        for (const std::string& p : paths) {
            const std::size_t eq = p.find('='), colon = p.find(':');
            RegistryKey k;
            k.create(scratch, p.substr(0, std::min(eq, colon)).c_str());
            const std::string name = colon < eq ? p.substr(colon + 1, eq - colon - 1) : "";
            if (eq == p.size() - 1) k.setValue(name.c_str(), nullptr, 0, REG_SZ);
            else if (eq != std::string::npos) k.setValue(name.c_str(), p.c_str() + eq + 1);
        }
    }
    bool exists(const std::string& relative) {
        HKEY k;
        return !RegOpenKeyExA(scratch, relative.c_str(), 0, KEY_READ, &k) && !RegCloseKey(k);
    }

    vesk_test::ScratchKey scratch{"registry"};
    RegistryKey key{scratch, "", KEY_ALL_ACCESS};
};

TEST_F(Registry, TypedWritersAndAbsentValues) {
    key.setValue("seven", 7ul), key.setValue(L"abc", L"abc");
    EXPECT_TRUE(key.GetValueType("seven") == REG_DWORD && key.GetValueType(L"abc") == REG_SZ && key.getValueSize(L"seven") == 4 &&
                key.getValueSize("abc") == 4 && key.getDWordValue(L"seven") == 7 && key.getStringValue(L"abc") == L"abc" &&
                key.existsValue(L"seven"));
    EXPECT_EQ((key.deleteValue("seven"), errorOf([&] { key.deleteValue("seven"); })), "2 Can't delete registry value");
    EXPECT_EQ((key.deleteAllValues(), key.getValueCount()), 0u);
    unsigned long number = 99;
    std::list<String> untouched{"x"};
    EXPECT_TRUE(!key.existsValue("seven") && !key.getValue("absent", number) && !key.getValue("absent", untouched) && number == 99 && untouched.size() == 1);
    EXPECT_EQ(errorOf([&] { key.getDWordValue("absent"); }) + "|" + errorOf([&] { key.getStringValue("absent"); }),
              "2 |2 Registry value not found");
}

// Each row through every reader: texts read by their stored size without trailing
// zeros, multi-strings appended up to the first empty one, numbers of up to 4 bytes,
// and never a byte past a caller's buffer.
TEST_F(Registry, EveryReaderOfAwkwardData) {
    const struct { // expected: the text, or what a multi-string appends
        unsigned long type;
        std::string data;
        std::vector<std::string> expected;
    } rows[] = {
        {REG_SZ, std::string("abc\0\0\0", 6), {"abc"}}, {REG_SZ, std::string(1, '\0'), {""}}, {REG_SZ, "", {""}},
        {REG_SZ, "abc", {"abc"}}, {REG_EXPAND_SZ, std::string("%TEMP%\\x\0", 9), {"%TEMP%\\x"}},
        {REG_DWORD, std::string("\1\2\0\0", 4), {}}, {REG_BINARY, "\xFF\x01", {}}, {REG_BINARY, std::string(3000, 'b'), {}},
        {REG_MULTI_SZ, std::string("a\0b\0\0", 5), {"a", "b"}}, {REG_MULTI_SZ, std::string("a\0bc\0", 5), {"a", "bc"}},
        {REG_MULTI_SZ, "ab", {"ab"}}, {REG_MULTI_SZ, std::string("\0a\0\0", 4), {}}, {REG_MULTI_SZ, "", {}},
        {REG_MULTI_SZ, std::string("x\0\0y\0\0", 6), {"x"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.type << " \"" << row.data.substr(0, 20) << "\"");
        const Bytes data(row.data.begin(), row.data.end());
        key.setValue("v", data.data(), (unsigned long)data.size(), row.type);
        // Texts come back as the system converts them (it may add a zero).
        const bool text = row.type == REG_SZ || row.type == REG_EXPAND_SZ || row.type == REG_MULTI_SZ;
        Bytes back;
        unsigned long type = 0, size = 0;
        EXPECT_TRUE(key.getValue(L"v", back, type) && (text || back == data) && type == row.type);
        Bytes raw(back.size() + 1, 0xCC);
        EXPECT_TRUE(key.getValue("v", raw.data(), size = (unsigned long)back.size(), type) && Bytes(raw.begin(), raw.end() - 1) == back &&
                    raw.back() == 0xCC) << "read wrongly or written past the buffer";
        const bool single = row.type == REG_SZ || row.type == REG_EXPAND_SZ;
        EXPECT_EQ(single ? key.getStringValue("v").c_str() : errorOf([&] { key.getStringValue("v"); }),
                  single ? row.expected[0] : "1804 Wrong value type. Expected REG_SZ or REG_EXPAND_SZ");
        unsigned long number = 0, expected = 0;
        for (std::size_t i = back.size(); i-- > 0;) expected = expected << 8 | back[i];
        if (back.size() > 4) EXPECT_EQ(errorOf([&] { key.getValue("v", number); }), "234 Can't query DWORD registry value");
        else EXPECT_TRUE(key.getValue("v", number) && number == expected);
        if (row.type != REG_MULTI_SZ) continue;
        std::list<String> narrow{"held"}, expectedList(row.expected.begin(), row.expected.end());
        std::list<WString> wide;
        expectedList.push_front("held");
        EXPECT_TRUE(key.getValue("v", narrow) && key.getValue(L"v", wide) && narrow == expectedList &&
                    wide.size() == row.expected.size() && (wide.empty() || wide.back() == WString(expectedList.back().c_str())));
    }
}

// Names and classes longer than any first buffer; snapshots in the registry's order.
TEST_F(Registry, SnapshotsOfLongNamesAndClasses) {
    const std::string longClass(1500, 'c'), longKey(255, 'k'), longValue(16000, 'v');
    for (const auto& n : {std::string(300, 'a'), longValue}) key.setValue(n.c_str(), 1ul);
    RegistryKey sub;
    sub.create(key, longKey.c_str(), longClass.c_str(), 0, KEY_ALL_ACCESS, nullptr, nullptr);
    build({"K1", "K2"});
    RegistryKey::KeyEnumeration<char> k(key);
    RegistryKey::KeyEnumeration<wchar_t> kw(key);
    RegistryKey::ValueEnumeration<char> v(key);
    ASSERT_TRUE(k.size() == 3 && kw.size() == 3 && v.size() == 2 && key.getSubkeyCount() == 3 && key.getValueCount() == 2);
    EXPECT_TRUE(k.begin()[0].name == "K1" && kw.begin()[1].name == L"K2" && k.begin()[2].name == longKey && k.begin()[2].className == longClass);
    EXPECT_TRUE(v.begin()[0].name == std::string(300, 'a') && v.begin()[1].name == longValue && v.begin()[1].dataSize == 4);
    RegistryKey::Info<wchar_t> info;
    sub.getInfo(info, RegistryKey::infoClassName | RegistryKey::infoValueCount);
    EXPECT_TRUE(info.className == WString(longClass.c_str()) && info.valueCount == 0 && key.hasSubkeys() && !sub.hasSubkeys());
}

TEST_F(Registry, EveryHandleHasOneOwner) { // besides the copies and moves of the module suite's owner sweep
    RegistryKey absent, rootCopy(RegistryKey(HKEY_CURRENT_USER, false));
    EXPECT_TRUE(!absent.open(key, "no such key") && absent.isNull() && !absent.ownsKey() && RegistryKey(absent).isNull() &&
                !RegistryKey(absent).ownsKey() && HKEY(rootCopy) == HKEY_CURRENT_USER && !rootCopy.ownsKey());
    EXPECT_EQ(errorOf([&] { RegistryKey k(key, "no such key"); }), keyNotFound);
    // A borrowed handle is never closed: not by close, detach or the destructor.
    RegistryKey a(key);
    HKEY raw = a.detach();
    EXPECT_TRUE(a.isNull() && !a.ownsKey());
    EXPECT_EQ((RegistryKey(raw, false).close(), a.attach(raw, false), a.getValueCount()), 0u);
    EXPECT_NE((a.attach(nullptr, false), RegistryKey(raw, true).close(), RegCloseKey(raw)), ERROR_SUCCESS);
}

// A tree goes and nothing else; D:(D;;SD;;;WD) forbids deleting a key: both walks
// stop there, naming it, and keep what they had done.
TEST_F(Registry, RecursiveDeleteRemovesATreeAndStopsAtTheFirstFailure) {
    build({"tree\\a\\x:v=1", "tree\\a\\y", "tree\\b=2", "tree:top=3", "treeSibling\\z", "tree2"});
    EXPECT_TRUE((key.deleteKeyRecursive(L"tree"), !exists("tree")) && exists("tree2") && exists("treeSibling\\z") &&
                !key.existsKey(L"tree") && RegistryKey::existsKey(key, "tree2"));
    EXPECT_EQ(errorOf([&] { key.deleteKeyRecursive("tree"); }), keyNotFound);
    // Names that would reach this key itself are refused before anything is touched.
    for (const char* name : {"", "\\", "\\treeSibling", static_cast<const char*>(nullptr)})
        EXPECT_EQ(errorOf([&] { key.deleteKeyRecursive(name); }).substr(0, 3) + errorOf([&] { key.cleanEmptyTree(name); }).substr(0, 3), "87 87 ");
    EXPECT_TRUE(errorOf([&] { key.deleteKeyRecursive(static_cast<const wchar_t*>(nullptr)); }).substr(0, 3) == "87 " && exists("treeSibling\\z"));
    build({"tree\\a", "tree\\b\\locked", "tree\\c"});
    auto setAccess = [&](const char* sddl) {
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr));
        EXPECT_EQ(RegSetKeySecurity(RegistryKey(key, "tree\\b\\locked", READ_CONTROL | WRITE_DAC), DACL_SECURITY_INFORMATION, sd), 0);
        LocalFree(sd);
    };
    setAccess("D:(D;;SD;;;WD)(A;;KA;;;WD)");
    for (bool clean : {false, true}) {
        EXPECT_EQ(errorOf([&] { clean ? key.cleanEmptyTree("tree") : key.deleteKeyRecursive("tree"); }),
                  "5 Can't open registry key \"tree\\b\\locked\"");
        EXPECT_TRUE(!exists("tree\\a") && exists("tree\\b\\locked") && exists("tree\\c")) << clean;
        build({"tree\\a"});
    }
    setAccess("D:(A;;KA;;;WD)");
}

TEST_F(Registry, CleanEmptyTreePrunesOnlyEmptyKeys) {
    build({"t\\empty\\deeper\\deepest", "t\\emptyDefault=", "t\\data\\leaf=x", "t\\two:a=1", "t\\two:b=2",
           "t\\named:only=1", "t\\namedBelow\\k:v=1", "t\\e2", "u\\a\\b", "u\\c"});
    key.cleanEmptyTree("t"), key.cleanEmptyTree(L"u"); // a wholly empty subtree goes, the key called on stays
    // A default value without data is no content; a single named value is.
    for (const auto& [name, kept] :
         {std::pair("t", true), {"t\\empty", false}, {"t\\emptyDefault", false}, {"t\\data\\leaf", true},
          {"t\\two", true}, {"t\\named", true}, {"t\\namedBelow\\k", true}, {"t\\e2", false}, {"u", false}})
        EXPECT_EQ(exists(name), kept) << name;
    EXPECT_EQ(errorOf([&] { key.cleanEmptyTree("u"); }), keyNotFound);
}

TEST_F(Registry, AddContentFromMergesSubkeysClassesAndValues) {
    build({"src\\s1\\deep:d=deep", "src\\s2:blob=x", "src:same=new", "dst:same=old", "dst:keep=k", "dst\\s2:mine=m"});
    RegistryKey source(key, "src", KEY_READ), target(key, "dst", KEY_ALL_ACCESS), classed;
    classed.create(source, "withClass", "MyClass", 0, KEY_ALL_ACCESS, nullptr, nullptr);
    const unsigned char blob[] = {0, 1, 2, 0};
    RegistryKey(source, "s2", KEY_ALL_ACCESS).setValue("blob", blob, 4, REG_BINARY);
    target += source;
    for (const auto& [sub, name, value] : {std::tuple("s1\\deep", "d", "deep"), {"", "same", "new"}, {"", "keep", "k"}, {"s2", "mine", "m"}})
        EXPECT_EQ(RegistryKey(target, sub).getStringValue(name), value) << name;
    Bytes back;
    unsigned long type = 0;
    RegistryKey::Info<char> info;
    RegistryKey(target, "withClass").getInfo(info, RegistryKey::infoClassName);
    EXPECT_TRUE(RegistryKey(target, "s2").getValue("blob", back, type) && back == Bytes(blob, blob + 4) && type == REG_BINARY &&
                info.className == "MyClass");
    // A lasting subkey can't go below a volatile key: the merge stops there, before the values.
    RegistryKey volatileKey;
    volatileKey.create(key, "volatile", nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, nullptr);
    EXPECT_EQ(errorOf([&] { volatileKey += source; }) + std::to_string(volatileKey.getValueCount()), "1021 Can't create registry key \"s1\"0");
}

// A symbolic link named name below parent that leads to target.
void makeLink(HKEY parent, const char* name, HKEY target) {
    std::vector<ULONG> buffer(1024);
    ULONG size = 0;
    using NtQueryKey = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    ASSERT_EQ(reinterpret_cast<NtQueryKey>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey")))(
                  target, 3 /* KeyNameInformation */, buffer.data(), ULONG(buffer.size() * 4), &size), 0);
    RegistryKey link;
    link.create(parent, name, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, nullptr);
    link.setValue(L"SymbolicLinkValue", reinterpret_cast<const unsigned char*>(&buffer[1]), buffer[0], REG_LINK);
}

TEST_F(Registry, TreeOperationsNeverFollowASymbolicLinkOutOfTheirTree) {
    build({"outside\\empty", "outside\\full:v=1", "tree\\a", "copy", "src\\a\\out\\new"});
    RegistryKey outside(key, "outside", KEY_ALL_ACCESS), tree(key, "tree", KEY_ALL_ACCESS);
    makeLink(RegistryKey(tree, "a", KEY_ALL_ACCESS), "out", outside);
    makeLink(tree, "loop", tree); // a circle back to the tree's root
    ASSERT_TRUE(exists("tree\\a\\out\\full")) << "the link leads out of the tree";
    EXPECT_TRUE((key.cleanEmptyTree("tree"), exists("outside\\empty")) && isLink(key, "tree\\a\\out")) << "a link is content";
    RegistryKey copy(key, "copy", KEY_ALL_ACCESS);
    EXPECT_TRUE((copy += tree, isLink(key, "copy\\a\\out")) && isLink(key, "copy\\loop") && exists("copy\\a\\out\\full"))
        << "copies the links as links, and ends despite the circle";
    EXPECT_FALSE((copy += RegistryKey(key, "src"), exists("outside\\new"))) << "written through a link of the target";
    EXPECT_FALSE((key.deleteKeyRecursive("copy\\a\\out"), isLink(key, "copy\\a\\out"))) << "a link named directly goes itself";
    tree.close(), key.deleteKeyRecursive("tree"), key.deleteKeyRecursive("copy");
    EXPECT_TRUE(!exists("tree") && !exists("copy") && exists("outside\\empty"));
    EXPECT_EQ(RegistryKey(key, "outside\\full").getStringValue("v"), "1");
}

TEST(DevelopmentSystem, FollowsTheLibrarysOwnKey) {
    vesk_test::ScratchKey machine("machine", HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(isDevelopmentSystem()) << "no key";
    RegistryKey k;
    EXPECT_FALSE((k.create(HKEY_LOCAL_MACHINE, software_key_name_w), isDevelopmentSystem())) << "no value";
    for (const auto& [value, expected] : {std::pair(1ul, true), {0ul, false}, {0x100ul, true}, {0xFFFFFFFFul, true}})
        EXPECT_EQ((k.setValue("IsDevelopmentSystem", value), isDevelopmentSystem()), expected) << value;
    // Too long for a DWORD: a failure, so false.
    EXPECT_FALSE((k.setValue("IsDevelopmentSystem", "a text"), isDevelopmentSystem()));
}

TEST(IniString, EntriesAndListsOfEveryLengthComeBackWhole) {
    vesk_test::ScratchDir dir;
    const std::string file = dir.file("settings.ini");
    // 998 characters fill the first buffer of 1000 but for its zero; the rest need
    // one or more larger buffers.
    std::mt19937 random(1234);
    for (std::size_t length : {0, 1, 997, 998, 999, 1000, 1999, 2000, 20000}) {
        std::string value(length, 'x');
        for (char& c : value) c = char(random() % 3 ? 'a' + random() % 26 : " _.,-0"[random() % 6]);
        if (length) value.front() = value.back() = 'k'; // the profile trims spaces at either end
        setIniString(file.c_str(), "Section", "Entry", value.c_str());
        EXPECT_TRUE(getIniString(file.c_str(), "Section", "Entry", "default") == value) << length;
    }
    std::string names; // a list of names is cut with one character less than an entry
    for (int i = 1000; i < 1300; ++i) names += "key" + std::to_string(i) + '\0', setIniString(file.c_str(), "Many", names.c_str() + names.size() - 8, "1");
    EXPECT_EQ(getIniString(file.c_str(), "Many", nullptr, ""), names);
    EXPECT_EQ((setIniString(file.c_str(), "Section", "Entry", nullptr), getIniString(file.c_str(), "Section", "Entry", "gone")) +
                  getIniString(dir.file("absent.ini").c_str(), "Section", "Entry", "/dflt"), "gone/dflt");
    const std::string failure = errorOf([] { setIniString("Q:\\no\\such\\folder\\x.ini", "S", "K", "V"); });
    EXPECT_TRUE(failure.find(" Can't write private profile string") != std::string::npos && failure.find("0 ") != 0) << failure;
}

TEST(OSVersion, RecordsAreFilledOnceAndTheTestsFollowTheirTable) {
    const OSVERSIONINFOEXA& a = getOSVersionA(); // filled once, extended records included
    const OSVERSIONINFOEXW& w = getOSVersionW();
    EXPECT_TRUE(&a == &getOSVersionA() && &w == &getOSVersionW() && a.dwOSVersionInfoSize == sizeof a && w.dwOSVersionInfoSize == sizeof w &&
                a.dwMajorVersion >= 5 && w.dwBuildNumber == a.dwBuildNumber && String(w.szCSDVersion) == a.szCSDVersion &&
                isWindowsXPOrHigher() == isWindowsXPOrHigher(a) && isWindows95() == isWindows95(a));
    // major, minor, platform (1 Windows, 2 NT); XP or higher, Windows 95
    for (const auto& [major, minor, platform, xpOrHigher, windows95] : {std::tuple(4ul, 0ul, 1ul, false, true), {4ul, 0ul, 2ul, false, false},
             {4ul, 10ul, 1ul, false, false}, {5ul, 0ul, 2ul, false, false}, {5ul, 1ul, 2ul, true, false}, {6ul, 0ul, 2ul, true, false}}) {
        OSVERSIONINFOEXA v{};
        v.dwMajorVersion = major, v.dwMinorVersion = minor, v.dwPlatformId = platform;
        EXPECT_TRUE(isWindowsXPOrHigher(v) == xpOrHigher && isWindows95(v) == windows95) << major << "." << minor;
    }
}

} // namespace
