// RegistryKey against the real registry, in a scratch key under
// HKEY_CURRENT_USER removed at the end: every value type round-trips in both
// widths; string, multi-string and DWORD reads of awkward data (no zero, many
// zeros, short and long data, a size that changes while it is read); names and
// classes longer than any first buffer; enumeration order and counts against
// the raw API over a fixed-seed sweep; one owner per handle through copy,
// assignment, move, attach and detach; recursive delete, pruning and merging
// of trees, staying inside the key they are given and inside its registry
// view and never following a symbolic link out of it; the 32-bit view of a
// 32-bit process; isDevelopmentSystem.
#include <vesk/errors/exception.h>
#include <vesk/system/registry.h>

#include <gtest/gtest.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <list>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace vesk;

namespace {

using Bytes = std::vector<unsigned char>;
using ulong = unsigned long;

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

template <class F> std::pair<unsigned long, std::string> failureOf(F f) {
    try {
        f();
    } catch (const WindowsError& e) {
        return {e.getError(), e.getDescription()};
    }
    return {0, "(nothing thrown)"};
}

std::string scratchName(const char* what) {
    char name[80];
    std::snprintf(name, sizeof name, "Software\\VeskTest-%s-%lu", what, GetCurrentProcessId());
    return name;
}

bool rawExists(HKEY parent, const std::string& name, REGSAM view = 0) {
    HKEY k;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

// Deletes a tree with the raw API. Symbolic links are deleted themselves
// (RegDeleteTree can't, and left-overs of a failed run would spoil the next).
void rawDeleteTree(HKEY parent, const char* name) {
    HKEY k;
    if (RegOpenKeyExA(parent, name, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &k)) return;
    DWORD type = 0;
    if (!RegQueryValueExA(k, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) && type == REG_LINK) {
        using NtDeleteKey = LONG(NTAPI*)(HANDLE);
        reinterpret_cast<NtDeleteKey>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")))(k);
    } else {
        char sub[256];
        for (DWORD n = sizeof sub; !RegEnumKeyExA(k, 0, sub, &n, nullptr, nullptr, nullptr, nullptr); n = sizeof sub)
            rawDeleteTree(k, sub);
        RegDeleteKeyA(parent, name);
    }
    RegCloseKey(k);
}

// A fresh key under HKEY_CURRENT_USER for each test, deleted with the raw API.
class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        rawDeleteTree(HKEY_CURRENT_USER, path.c_str());
        scratch.create(HKEY_CURRENT_USER, path.c_str());
    }
    void TearDown() override {
        scratch.close();
        rawDeleteTree(HKEY_CURRENT_USER, path.c_str());
        EXPECT_FALSE(rawExists(HKEY_CURRENT_USER, path));
    }
    // Builds keys from paths; a path ending in "=text" also sets a value:
    // "a\\b=x" sets the default value of a\b, "a\\b:v=x" the value v.
    void build(std::initializer_list<std::string> paths) {
        for (const std::string& p : paths) {
            std::string keyPath = p, valueName, text;
            bool hasValue = false;
            if (auto eq = p.find('='); eq != std::string::npos) {
                keyPath = p.substr(0, eq), text = p.substr(eq + 1), hasValue = true;
                if (auto colon = keyPath.find(':'); colon != std::string::npos)
                    valueName = keyPath.substr(colon + 1), keyPath = keyPath.substr(0, colon);
            }
            RegistryKey k;
            k.create(scratch, keyPath.c_str());
            // "=" alone: a value without any data.
            if (hasValue && text.empty()) k.setValue(valueName.c_str(), nullptr, 0, REG_SZ);
            if (hasValue && !text.empty()) k.setValue(valueName.c_str(), text.c_str());
        }
    }
    bool exists(const std::string& relative) { return rawExists(scratch, relative); }

    std::string path = scratchName("registry");
    RegistryKey scratch;
};

// ---- values -----------------------------------------------------------------

TEST_F(Registry, TypedWritersStoreWhatTheReadersExpect) {
    scratch.setValue("seven", 7ul);
    scratch.setValue(L"abc", L"abc");
    scratch.setValue("", "default");
    const struct {
        const char* name;
        unsigned long type, size;
    } rows[] = {{"seven", REG_DWORD, 4}, {"abc", REG_SZ, 4}, {"", REG_SZ, 8}};
    for (const auto& row : rows) {
        EXPECT_EQ(scratch.GetValueType(row.name), row.type) << row.name;
        EXPECT_EQ(scratch.getValueSize(row.name), row.size) << row.name;
    }
    EXPECT_EQ(scratch.getDWordValue(L"seven"), 7u);
    EXPECT_EQ(scratch.getStringValue(L"abc"), L"abc");
    EXPECT_EQ(scratch.getStringValue(static_cast<const char*>(nullptr)), "default");
    scratch.deleteValue("seven");
    EXPECT_FALSE(scratch.existsValue("seven"));
    EXPECT_EQ(failureOf([&] { scratch.deleteValue("seven"); }),
              std::make_pair(2ul, std::string("Can't delete registry value")));
    scratch.deleteAllValues();
    EXPECT_EQ(scratch.getValueCount(), 0u);
}

TEST_F(Registry, WideNamesAndTextRoundTripThroughTheAnsiCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "the row needs code page 1252";
    const wchar_t* name = L"Gr\u00fc\u00dfe \u20ac";
    scratch.setValue(name, L"\u20ac 5 \u00e9");
    EXPECT_EQ(scratch.getStringValue(name), L"\u20ac 5 \u00e9");
    EXPECT_EQ(scratch.getStringValue("Gr\xfc\xdf" "e \x80"), "\x80 5 \xe9");
    RegistryKey::ValueEnumeration<wchar_t> values(scratch);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values.begin()->name, name);
}

TEST_F(Registry, StringReadsUseTheStoredSizeAndDropEveryTrailingZero) {
    const struct {
        const char* what;
        unsigned long type;
        Bytes data;
        const char* expected; // null: "Wrong value type"
    } rows[] = {
        {"three zeros", REG_SZ, bytes(std::string("abc\0\0\0", 6)), "abc"},
        {"empty text", REG_SZ, {0}, ""},
        {"no data", REG_SZ, {}, ""},
        {"no terminator", REG_SZ, bytes("abc"), "abc"},
        {"expand as stored", REG_EXPAND_SZ, bytes(std::string("%TEMP%\\x\0", 9)), "%TEMP%\\x"},
        {"dword", REG_DWORD, {1, 0, 0, 0}, nullptr},
        {"binary", REG_BINARY, bytes("abc"), nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        scratch.setValue("v", row.data.data(), static_cast<unsigned long>(row.data.size()), row.type);
        if (row.expected) {
            EXPECT_EQ(scratch.getStringValue("v"), row.expected);
        } else {
            EXPECT_EQ(failureOf([&] { scratch.getStringValue("v"); }).second,
                      "Wrong value type. Expected REG_SZ or REG_EXPAND_SZ");
        }
    }
    // Text stored in UTF-16 without its terminator (an odd writer) reads whole.
    const wchar_t abc[3] = {L'a', L'b', L'c'};
    ASSERT_EQ(RegSetValueExW(scratch, L"w", 0, REG_SZ, reinterpret_cast<const BYTE*>(abc), 6), ERROR_SUCCESS);
    EXPECT_EQ(scratch.getStringValue("w"), "abc");
    // Absent values: false from the getValue forms, code 2 from the others.
    unsigned long number = 99;
    EXPECT_FALSE(scratch.getValue("absent", number));
    EXPECT_EQ(number, 99u);
    EXPECT_EQ(failureOf([&] { scratch.getDWordValue("absent"); }), std::make_pair(2ul, std::string()));
    EXPECT_EQ(failureOf([&] { scratch.getStringValue("absent"); }),
              std::make_pair(2ul, std::string("Registry value not found")));
}

TEST_F(Registry, MultiStringsAppendUpToTheFirstEmptyStringAndNeverPastTheData) {
    const struct {
        const char* what;
        std::string data;
        std::vector<std::string> appended;
    } rows[] = {
        {"two strings", std::string("a\0b\0\0", 5), {"a", "b"}},
        {"no double zero", std::string("a\0bc\0", 5), {"a", "bc"}},
        {"no zero at all", "ab", {"ab"}},
        {"empty first", std::string("\0a\0\0", 4), {}},
        {"nothing", "", {}},
        {"stops at empty", std::string("x\0\0y\0\0", 6), {"x"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        scratch.setValue("m", bytes(row.data).data(), static_cast<unsigned long>(row.data.size()), REG_MULTI_SZ);
        std::list<String> narrow{"held"};
        ASSERT_TRUE(scratch.getValue("m", narrow));
        std::list<WString> wide;
        ASSERT_TRUE(scratch.getValue(L"m", wide));
        ASSERT_EQ(narrow.size(), row.appended.size() + 1);
        EXPECT_EQ(narrow.front(), "held");
        auto n = std::next(narrow.begin());
        auto w = wide.begin();
        for (const auto& s : row.appended) {
            EXPECT_EQ(*n++, s);
            EXPECT_EQ(*w++, WString(s.c_str()));
        }
    }
    std::list<String> untouched{"x"};
    EXPECT_FALSE(scratch.getValue("absent", untouched));
    EXPECT_EQ(untouched.size(), 1u);
}

TEST_F(Registry, AValueThatChangesSizeWhileReadIsReadWhole) {
    const std::string shortText = "s", longText(60000, 'L');
    scratch.setValue("racy", shortText.c_str());
    std::atomic<bool> stop{false};
    RegistryKey writerKey(scratch);
    std::thread writer([&] {
        for (unsigned i = 0; !stop; ++i) writerKey.setValue("racy", (i % 2 ? longText : shortText).c_str());
    });
    unsigned wrong = 0, failures = 0;
    for (int i = 0; i < 400; ++i) {
        try {
            const String s = scratch.getStringValue("racy");
            wrong += s != shortText && s != longText;
        } catch (const std::exception&) {
            ++failures;
        }
    }
    stop = true;
    writer.join();
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(failures, 0u);
}

TEST_F(Registry, NamesAndClassesLongerThanAnyFirstBufferComeBackWhole) {
    const std::string longClass(1500, 'c');
    const std::string names[] = {std::string(300, 'a'), std::string(2000, 'b'), std::string(16000, 'v')};
    for (const auto& n : names) scratch.setValue(n.c_str(), 1ul);
    RegistryKey sub;
    sub.create(scratch, std::string(255, 'k').c_str(), longClass.c_str(), 0, KEY_ALL_ACCESS, nullptr, nullptr);
    std::set<std::string> seen;
    for (const auto& v : RegistryKey::ValueEnumeration<char>(scratch)) seen.insert(v.name);
    EXPECT_EQ(seen, std::set<std::string>(std::begin(names), std::end(names)));
    RegistryKey::KeyEnumeration<char> keys(scratch);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys.begin()->name, std::string(255, 'k'));
    EXPECT_EQ(keys.begin()->className, longClass);
    RegistryKey::Info<wchar_t> info;
    sub.getInfo(info, RegistryKey::infoClassName | RegistryKey::infoValueCount);
    EXPECT_EQ(info.className, WString(longClass.c_str()));
    EXPECT_EQ(info.valueCount, 0u);
}

// Random data of every type (REG_NONE to REG_QWORD) read by every reader: each
// answers what the bytes say or the library's exception, never more, never a
// crash, and never a byte past the caller's buffer.
TEST_F(Registry, EveryTypeRoundTripsThroughEveryReaderInASweep) {
    std::mt19937 random(77);
    for (int round = 0; round < 300; ++round) {
        const unsigned long type = random() % 12;
        const bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
        std::string data(random() % (round % 10 ? 40 : 3000), '\0');
        for (char& c : data) c = random() % 3 ? char('a' + random() % 26) : text ? '\0' : char(random());
        SCOPED_TRACE(testing::Message() << "round " << round << ", type " << type << ", " << data.size() << " bytes");
        scratch.setValue("r", bytes(data).data(), static_cast<unsigned long>(data.size()), type);
        Bytes back;
        unsigned long backType = 0;
        ASSERT_TRUE(scratch.getValue("r", back, backType));
        EXPECT_EQ(backType, type);
        EXPECT_TRUE(text || back == bytes(data));
        EXPECT_EQ(scratch.GetValueType(L"r"), type);
        const RegistryKey::ValueEnumeration<char> values(scratch);
        ASSERT_EQ(values.size(), 1u);
        EXPECT_EQ(values.begin()->type, type);
        EXPECT_EQ(values.begin()->dataSize, scratch.getValueSize("r"));
        Bytes raw(back.size() + 1, 0xCC); // one byte more than the size passed
        unsigned long size = static_cast<unsigned long>(back.size());
        ASSERT_TRUE(scratch.getValue(L"r", raw.data(), size, backType));
        EXPECT_TRUE(Bytes(raw.begin(), raw.begin() + size) == back);
        EXPECT_EQ(raw.back(), 0xCC) << "written past the buffer";
        // Text readers: the bytes up to the trailing zeros, the strings up to the first empty one.
        std::string trimmed = data;
        while (!trimmed.empty() && trimmed.back() == '\0') trimmed.pop_back();
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            EXPECT_TRUE(scratch.getStringValue("r") == trimmed);
        } else {
            EXPECT_EQ(failureOf([&] { scratch.getStringValue("r"); }).first, ulong(ERROR_INVALID_DATATYPE));
        }
        std::list<String> strings, expected;
        for (std::size_t at = 0; at < data.size() && data[at];) {
            const std::size_t end = std::min(data.find('\0', at), data.size());
            expected.push_back(data.substr(at, end - at));
            at = end + 1;
        }
        ASSERT_TRUE(scratch.getValue("r", strings));
        EXPECT_TRUE((type != REG_MULTI_SZ && text) || strings == expected);
        unsigned long number = 0;
        if (back.size() > 4) {
            EXPECT_EQ(failureOf([&] { scratch.getValue("r", number); }).first, ulong(ERROR_MORE_DATA));
        } else {
            ASSERT_TRUE(scratch.getValue("r", number));
            unsigned long expectedNumber = 0;
            for (std::size_t i = back.size(); i-- > 0;) expectedNumber = expectedNumber << 8 | back[i];
            EXPECT_EQ(number, expectedNumber);
        }
    }
}

// ---- enumeration ----------------------------------------------------------

TEST_F(Registry, SnapshotsFollowTheRegistryOrderAndCountsInASweep) {
    std::mt19937 random(2026);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        scratch.deleteAllValues();
        for (const auto& k : RegistryKey::KeyEnumeration<char>(scratch)) scratch.deleteKeyRecursive(k.name.c_str());
        const unsigned keys = random() % 30, values = random() % 30;
        for (unsigned i = 0; i < keys; ++i) build({"K" + std::to_string(random() % 1000)});
        for (unsigned i = 0; i < values; ++i) scratch.setValue(("V" + std::to_string(random() % 1000)).c_str(), i);

        std::vector<std::string> rawKeys, rawValues;
        char name[300];
        for (DWORD i = 0;; ++i) {
            DWORD n = sizeof name;
            if (RegEnumKeyExA(scratch, i, name, &n, nullptr, nullptr, nullptr, nullptr)) break;
            rawKeys.emplace_back(name, n);
        }
        for (DWORD i = 0;; ++i) {
            DWORD n = sizeof name;
            if (RegEnumValueA(scratch, i, name, &n, nullptr, nullptr, nullptr, nullptr)) break;
            rawValues.emplace_back(name, n);
        }
        RegistryKey::KeyEnumeration<char> k(scratch);
        RegistryKey::KeyEnumeration<wchar_t> kw(scratch);
        RegistryKey::ValueEnumeration<char> v(scratch);
        ASSERT_EQ(k.size(), rawKeys.size());
        ASSERT_EQ(kw.size(), rawKeys.size());
        ASSERT_EQ(v.size(), rawValues.size());
        EXPECT_EQ(scratch.getSubkeyCount(), rawKeys.size());
        EXPECT_EQ(scratch.getValueCount(), rawValues.size());
        EXPECT_EQ(scratch.hasSubkeys(), !rawKeys.empty());
        for (std::size_t i = 0; i < rawKeys.size(); ++i) {
            EXPECT_EQ(k.begin()[i].name, rawKeys[i]);
            EXPECT_EQ(kw.begin()[i].name, WString(rawKeys[i].c_str()));
        }
        for (std::size_t i = 0; i < rawValues.size(); ++i) EXPECT_EQ(v.begin()[i].name, rawValues[i]);
        // Copies are deep and independent of the key.
        RegistryKey::KeyEnumeration<char> copy = k;
        EXPECT_EQ(copy.size(), k.size());
        EXPECT_TRUE(copy.size() == 0 || copy.begin() != k.begin());
    }
}

// ---- ownership -------------------------------------------------------------

bool handleWorks(HKEY k) { return RegQueryInfoKeyA(k, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0) == ERROR_SUCCESS; }

TEST_F(Registry, EveryHandleHasOneOwner) {
    RegistryKey absent;
    EXPECT_FALSE(absent.open(scratch, "no such key"));
    EXPECT_TRUE(absent.isNull() && !absent.ownsKey());
    EXPECT_EQ(failureOf([&] { RegistryKey k(scratch, "no such key"); }),
              std::make_pair(2ul, std::string("Registry key not found")));

    RegistryKey a(scratch, "", KEY_ALL_ACCESS), b(scratch, "", KEY_ALL_ACCESS);
    const HKEY oldA = a;
    a = b; // a's own handle is closed, a gets its own copy of b's
    EXPECT_FALSE(handleWorks(oldA));
    EXPECT_TRUE(HKEY(a) != HKEY(b) && a.ownsKey());
    b.close();
    EXPECT_TRUE(!b.isOpen() && !b.ownsKey());
    EXPECT_TRUE(handleWorks(a));
    RegistryKey c(a), d(std::move(c));
    EXPECT_TRUE(c.isNull() && HKEY(d) != HKEY(a) && d.ownsKey() && handleWorks(d));
    a = a;
    EXPECT_TRUE(handleWorks(a));

    // Copies of null keys and predefined roots own nothing.
    RegistryKey nullCopy(absent), rootCopy(RegistryKey(HKEY_CURRENT_USER, false));
    EXPECT_TRUE(nullCopy.isNull() && !nullCopy.ownsKey());
    EXPECT_TRUE(HKEY(rootCopy) == HKEY_CURRENT_USER && !rootCopy.ownsKey());
    d = rootCopy;
    EXPECT_FALSE(d.ownsKey());

    // A borrowed handle is never closed: not by close, detach or the destructor.
    HKEY raw;
    ASSERT_EQ(RegOpenKeyExA(scratch, "", 0, KEY_READ, &raw), ERROR_SUCCESS);
    RegistryKey(raw, false).close();
    RegistryKey owner;
    owner.attach(raw, true);
    EXPECT_EQ(owner.detach(), raw);
    EXPECT_TRUE(owner.isNull() && handleWorks(raw));
    RegistryKey(raw, true).close();
    EXPECT_FALSE(handleWorks(raw));
}

// ---- trees -------------------------------------------------------------------

TEST_F(Registry, RecursiveDeleteRemovesAThreeLevelTreeAndNothingElse) {
    build({"tree\\a\\x:v=1", "tree\\a\\y", "tree\\b=2", "tree:top=3", "treeSibling\\z", "tree2"});
    scratch.deleteKeyRecursive(L"tree");
    EXPECT_FALSE(exists("tree"));
    EXPECT_TRUE(exists("treeSibling\\z"));
    EXPECT_TRUE(exists("tree2"));
    EXPECT_EQ(failureOf([&] { scratch.deleteKeyRecursive("tree"); }),
              std::make_pair(2ul, std::string("Registry key not found")));
    // Names that would reach this key itself are refused before anything is touched.
    for (const char* name : {"", "\\", "\\treeSibling"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(failureOf([&] { scratch.deleteKeyRecursive(name); }).first, ulong(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(failureOf([&] { scratch.cleanEmptyTree(name); }).first, ulong(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(failureOf([&] { scratch.deleteKeyRecursive(static_cast<const char*>(nullptr)); }).first,
              ulong(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(failureOf([&] { scratch.deleteKeyRecursive(static_cast<const wchar_t*>(nullptr)); }).first,
              ulong(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(exists("treeSibling\\z"));
    EXPECT_TRUE(rawExists(HKEY_CURRENT_USER, path));
}

// Sets a key's access list from its text form; D:(D;;SD;;;WD) forbids deleting.
void setAccess(HKEY parent, const char* name, const char* sddl) {
    HKEY k;
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_EQ(RegOpenKeyExA(parent, name, 0, READ_CONTROL | WRITE_DAC, &k), ERROR_SUCCESS);
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr));
    EXPECT_EQ(RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    LocalFree(sd);
    RegCloseKey(k);
}

TEST_F(Registry, TreeOperationsStopAtTheFirstFailureAndNameWhereItHappened) {
    build({"tree\\a", "tree\\b\\locked", "tree\\c"});
    setAccess(scratch, "tree\\b\\locked", "D:(D;;SD;;;WD)(A;;KA;;;WD)");
    for (bool clean : {false, true}) {
        SCOPED_TRACE(clean ? "cleanEmptyTree" : "deleteKeyRecursive");
        const auto failure = failureOf([&] {
            if (clean) scratch.cleanEmptyTree("tree");
            else scratch.deleteKeyRecursive("tree");
        });
        EXPECT_EQ(failure, std::make_pair(ulong(ERROR_ACCESS_DENIED),
                                          std::string("Can't open registry key \"tree\\b\\locked\"")));
        // What came before the failure is done, what came after is not.
        EXPECT_FALSE(exists("tree\\a"));
        EXPECT_TRUE(exists("tree\\b\\locked"));
        EXPECT_TRUE(exists("tree\\c"));
        build({"tree\\a"});
    }
    setAccess(scratch, "tree\\b\\locked", "D:(A;;KA;;;WD)");
}

TEST_F(Registry, CleanEmptyTreePrunesOnlyEmptyKeys) {
    build({"t\\empty\\deeper\\deepest", "t\\emptyDefault=", "t\\data\\leaf=x", "t\\two:a=1", "t\\two:b=2",
           "t\\named:only=1", "t\\namedBelow\\k:v=1", "t\\e2"});
    scratch.cleanEmptyTree("t");
    const struct {
        const char* key;
        bool kept;
    } rows[] = {
        {"t", true},
        {"t\\empty", false},
        {"t\\emptyDefault", false}, // a default value without data is no content
        {"t\\data", true},
        {"t\\data\\leaf", true},
        {"t\\two", true},
        {"t\\named", true}, // a single named value is content
        {"t\\namedBelow\\k", true},
        {"t\\e2", false},
    };
    for (const auto& row : rows) EXPECT_EQ(exists(row.key), row.kept) << row.key;
    // A wholly empty subtree goes, the key called on stays.
    build({"u\\a\\b", "u\\c"});
    scratch.cleanEmptyTree(L"u");
    EXPECT_FALSE(exists("u"));
    EXPECT_TRUE(rawExists(HKEY_CURRENT_USER, path));
    EXPECT_EQ(failureOf([&] { scratch.cleanEmptyTree("u"); }),
              std::make_pair(2ul, std::string("Registry key not found")));
}

TEST_F(Registry, AddContentFromMergesSubkeysClassesAndValues) {
    build({"src\\s1\\deep:d=deep", "src\\s2", "src:same=new", "src:v=1", "dst:same=old", "dst:keep=k",
           "dst\\s2:mine=m"});
    RegistryKey source(scratch, "src", KEY_READ), target(scratch, "dst", KEY_ALL_ACCESS);
    RegistryKey classed;
    classed.create(source, "withClass", "MyClass", 0, KEY_ALL_ACCESS, nullptr, nullptr);
    const unsigned char blob[] = {0, 1, 2, 0};
    RegistryKey(source, "s2", KEY_ALL_ACCESS).setValue("blob", blob, 4, REG_BINARY);
    target += source;
    EXPECT_EQ(RegistryKey(target, "s1\\deep").getStringValue("d"), "deep");
    EXPECT_EQ(target.getStringValue("same"), "new");
    EXPECT_EQ(target.getStringValue("keep"), "k");
    EXPECT_EQ(target.getStringValue("v"), "1");
    RegistryKey s2(target, "s2");
    EXPECT_EQ(s2.getStringValue("mine"), "m");
    Bytes back;
    unsigned long type = 0;
    ASSERT_TRUE(s2.getValue("blob", back, type));
    EXPECT_EQ(back, Bytes(blob, blob + 4));
    EXPECT_EQ(type, ulong(REG_BINARY));
    RegistryKey::Info<char> info;
    RegistryKey(target, "withClass").getInfo(info, RegistryKey::infoClassName);
    EXPECT_EQ(info.className, "MyClass");
    EXPECT_EQ(RegistryKey(source, "s2").getValueCount(), 1u) << "the source is left as it was";
    // A lasting subkey can't go below a volatile key: the merge stops there.
    RegistryKey volatileKey;
    volatileKey.create(scratch, "volatile", nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, nullptr);
    EXPECT_EQ(failureOf([&] { volatileKey += source; }),
              std::make_pair(ulong(ERROR_CHILD_MUST_BE_VOLATILE), std::string("Can't create registry key \"s1\"")));
    EXPECT_EQ(volatileKey.getValueCount(), 0u) << "values come after the subkeys";
}

// The NT name ("\REGISTRY\User\...") of a key, which a symbolic link names.
std::wstring ntNameOf(HKEY key) {
    using NtQueryKey = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<NtQueryKey>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey")));
    std::vector<ULONG> buffer(1024);
    ULONG size = 0;
    if (!query || query(key, 3 /* KeyNameInformation */, buffer.data(), ULONG(buffer.size() * 4), &size)) return L"";
    return std::wstring(reinterpret_cast<const wchar_t*>(&buffer[1]), buffer[0] / 2);
}

void makeLink(HKEY parent, const char* name, HKEY target) {
    HKEY link;
    ASSERT_EQ(RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                              nullptr, &link, nullptr),
              ERROR_SUCCESS);
    const std::wstring to = ntNameOf(target);
    ASSERT_FALSE(to.empty());
    EXPECT_EQ(RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(to.data()),
                             DWORD(to.size() * 2)),
              ERROR_SUCCESS);
    RegCloseKey(link);
}

bool isLinkKey(HKEY parent, const char* name) {
    HKEY k;
    if (RegOpenKeyExA(parent, name, REG_OPTION_OPEN_LINK, KEY_READ, &k)) return false;
    DWORD type = 0;
    const bool link = !RegQueryValueExA(k, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) && type == REG_LINK;
    RegCloseKey(k);
    return link;
}

TEST_F(Registry, TreeOperationsNeverFollowASymbolicLinkOutOfTheirTree) {
    build({"outside\\empty", "outside\\full:v=1", "tree\\a", "copy"});
    RegistryKey outside(scratch, "outside", KEY_ALL_ACCESS), tree(scratch, "tree", KEY_ALL_ACCESS);
    makeLink(RegistryKey(tree, "a", KEY_ALL_ACCESS), "out", outside);
    makeLink(tree, "loop", tree); // a circle back to the tree's root
    ASSERT_TRUE(exists("tree\\a\\out\\full")) << "the link leads out of the tree";

    scratch.cleanEmptyTree("tree");
    EXPECT_TRUE(exists("outside\\empty"));
    EXPECT_TRUE(isLinkKey(scratch, "tree\\a\\out")) << "a link is content";

    RegistryKey copy(scratch, "copy", KEY_ALL_ACCESS);
    copy += tree; // copies the links as links, and ends despite the circle
    EXPECT_TRUE(isLinkKey(scratch, "copy\\a\\out"));
    EXPECT_TRUE(isLinkKey(scratch, "copy\\loop"));
    EXPECT_TRUE(exists("copy\\a\\out\\full"));
    // Merging into a tree whose link leads out writes nothing through it.
    build({"src\\a\\out\\new"});
    RegistryKey(scratch, "copy", KEY_ALL_ACCESS) += RegistryKey(scratch, "src");
    EXPECT_FALSE(exists("outside\\new"));

    scratch.deleteKeyRecursive("copy\\a\\out"); // a link named directly goes itself
    EXPECT_FALSE(isLinkKey(scratch, "copy\\a\\out"));
    tree.close();
    scratch.deleteKeyRecursive("tree");
    scratch.deleteKeyRecursive("copy");
    EXPECT_FALSE(exists("tree"));
    EXPECT_FALSE(exists("copy"));
    EXPECT_TRUE(exists("outside\\empty"));
    EXPECT_EQ(RegistryKey(scratch, "outside\\full").getStringValue("v"), "1");
}

// ---- registry views ------------------------------------------------------------

bool isWow64() {
    BOOL wow = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow);
    return wow != FALSE;
}

TEST(RegistryView, AThirtyTwoBitProcessWritesTheThirtyTwoBitViewAndTreeOperationsKeepTheirView) {
    const std::string name = scratchName("view");
    const std::string leaf = name.substr(std::string("Software\\").size());
    RegistryKey software;
    software.create(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS);
    const unsigned long other = sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    RegistryKey otherSoftware;
    otherSoftware.create(HKEY_LOCAL_MACHINE, "Software", nullptr, 0, KEY_ALL_ACCESS | other, nullptr, nullptr);
    for (RegistryKey* k : {&software, &otherSoftware}) // an earlier run's left-overs, if any
        if (k->existsKey(leaf.c_str())) k->deleteKeyRecursive(leaf.c_str());
    {
        RegistryKey k;
        k.create(HKEY_LOCAL_MACHINE, name.c_str());
        k.setValue("own", 1ul);
    }
    const bool in32 = rawExists(HKEY_LOCAL_MACHINE, name, KEY_WOW64_32KEY);
    const bool in64 = rawExists(HKEY_LOCAL_MACHINE, name, KEY_WOW64_64KEY);
    if (sizeof(void*) == 4) {
        ASSERT_TRUE(isWow64()) << "this check needs a 64-bit system";
        EXPECT_TRUE(in32);
        EXPECT_FALSE(in64);
        EXPECT_TRUE(rawExists(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\" + leaf, KEY_WOW64_64KEY));
    } else {
        EXPECT_TRUE(in64);
        EXPECT_FALSE(in32);
    }
    // The same tree in the other view: deleting through a key opened in that
    // view removes that tree only.
    RegistryKey tree;
    tree.create(otherSoftware, (leaf + "\\a\\b").c_str(), KEY_ALL_ACCESS | other);
    tree.close();
    otherSoftware.deleteKeyRecursive(leaf.c_str());
    EXPECT_FALSE(rawExists(HKEY_LOCAL_MACHINE, name, other));
    RegistryKey mine(HKEY_LOCAL_MACHINE, name.c_str());
    EXPECT_EQ(mine.getDWordValue("own"), 1u);
    mine.close();
    software.deleteKeyRecursive(leaf.c_str());
    EXPECT_FALSE(rawExists(HKEY_LOCAL_MACHINE, name));
}

// ---- the library's own key ------------------------------------------------------

TEST(DevelopmentSystem, FollowsTheLibrarysOwnKey) {
    // The key may hold more than the switch ("Files"): all of it is kept in a
    // backup under HKEY_CURRENT_USER and put back at the end.
    const std::string backupName = scratchName("backup");
    const bool keyExisted = RegistryKey::existsKey(HKEY_LOCAL_MACHINE, software_key_name_a);
    RegistryKey software(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS);
    const char* own = software_key_name_a + std::strlen("Software\\");
    if (keyExisted) {
        RegistryKey backup;
        backup.create(HKEY_CURRENT_USER, backupName.c_str());
        backup += RegistryKey(HKEY_LOCAL_MACHINE, software_key_name_a);
        software.deleteKeyRecursive(own);
    }
    EXPECT_FALSE(isDevelopmentSystem()) << "no key";
    RegistryKey k;
    k.create(HKEY_LOCAL_MACHINE, software_key_name_w);
    EXPECT_FALSE(isDevelopmentSystem()) << "no value";
    const struct {
        unsigned long value;
        bool expected;
    } rows[] = {{1, true}, {0, false}, {0x100, true}, {0xFFFFFFFF, true}};
    for (const auto& row : rows) {
        k.setValue("IsDevelopmentSystem", row.value);
        EXPECT_EQ(isDevelopmentSystem(), row.expected) << row.value;
    }
    k.setValue("IsDevelopmentSystem", "a text"); // too long for a DWORD: a failure, so false
    EXPECT_FALSE(isDevelopmentSystem());
    k.close();

    software.deleteKeyRecursive(own);
    if (keyExisted) {
        RegistryKey back;
        back.create(HKEY_LOCAL_MACHINE, software_key_name_a);
        back += RegistryKey(HKEY_CURRENT_USER, backupName.c_str());
        RegistryKey(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS)
            .deleteKeyRecursive(backupName.substr(std::strlen("Software\\")).c_str());
    }
    EXPECT_EQ(RegistryKey::existsKey(HKEY_LOCAL_MACHINE, software_key_name_a), keyExisted);
}

} // namespace
