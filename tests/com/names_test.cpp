// GUIDs and their names: byte-order ordering, the text round trip, the GUID
// texts the name-file reader takes (exactly CLSIDFromString's braced texts,
// over the generated file and a sweep of mutated texts), where both readers
// stop, the fixed naming rules, and the look-ups through files named under a
// scratch HKEY_LOCAL_MACHINE, read once per process.
#include "com_harness.h"

#include <vesk/com/com_error.h>
#include <vesk/com/guid.h>
#include <vesk/system/registry.h>

#include <test_support.h>

#include <algorithm>
#include <shlobj.h>
#include <fstream>
#include <random>
#include <sstream>

using namespace vesk;

namespace {

GUID guidOf(unsigned long d1, unsigned short d2, unsigned short d3, const unsigned char (&d4)[8]) {
    GUID g{d1, d2, d3, {}};
    std::copy(d4, d4 + 8, g.Data4);
    return g;
}

TEST(GUID, TextAndOrder) {
    EXPECT_EQ(toWString(GUID_NULL), L"{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(toString(IID_IUnknown), "{00000000-0000-0000-C000-000000000046}");
    const unsigned char zero[8] = {}, high[8] = {0x80}, low[8] = {0x7F};
    EXPECT_TRUE(guidOf(0x100, 0, 0, zero) < guidOf(1, 0, 0, zero)) << "first stored bytes 0x00 and 0x01";
    EXPECT_TRUE(guidOf(0, 0, 0, low) < guidOf(0, 0, 0, high) && !(guidOf(0, 0, 0, low) < guidOf(0, 0, 0, low)));
    EXPECT_TRUE(toGUID("{000214e4-0000-0000-c000-000000000046}") == IID_IContextMenu);
    EXPECT_THROW(toGUID("Scripting.FileSystemObject"), COMError) << "a ProgID is no GUID text";
    EXPECT_THROW(toGUID(static_cast<const char*>(nullptr)), COMError);
}

// The reader takes a GUID text exactly when CLSIDFromString takes it in the braced form.
void expectReadAsCLSIDFromString(const std::string& text) {
    std::istringstream in(text + " name");
    GUIDNames names;
    readGUIDNames(in, names);
    GUID parsed{};
    const bool accepted = !text.empty() && text[0] == '{' &&
                          CLSIDFromString(std::wstring(text.begin(), text.end()).c_str(), &parsed) == NOERROR;
    ASSERT_EQ(names.size(), accepted ? 1u : 0u) << text;
    ASSERT_TRUE(!accepted || names.begin()->first == parsed) << text;
}

TEST(NameFiles, GUIDTextsAreThoseOfCLSIDFromString) {
    std::ifstream file(com_test::binFolder() + "\\..\\share\\vesk\\GUIDs.txt");
    std::vector<std::string> texts;
    for (std::string text, name; file >> text >> name;) texts.push_back(text);
    ASSERT_GT(texts.size(), 4000u);
    for (const std::string& text : texts) expectReadAsCLSIDFromString(text);
    std::mt19937 random(23);
    const char alphabet[] = "0123456789abcdefABCDEFgG{}-xX\x80\xB2\xD0";
    for (int i = 0; i < 20000; ++i) {
        std::string text = texts[random() % texts.size()];
        for (int n = 1 + int(random() % 2); n > 0; --n) {
            const std::size_t at = random() % (text.size() + 1);
            const char c = alphabet[random() % (sizeof alphabet - 1)];
            switch (random() % 4) {
            case 0: text.insert(text.begin() + long(at), c); break;
            case 1: if (at < text.size()) text.erase(at, 1); break;
            default: if (at < text.size()) text[at] = c;
            }
        }
        expectReadAsCLSIDFromString(text);
    }
}

TEST(NameFiles, ReadersStopAtTheFirstBrokenEntry) {
    const std::string a = "{00000000-0000-0000-C000-000000000046}", b = "{00000001-0000-0000-C000-000000000046}";
    const struct {
        std::string file;
        std::vector<std::pair<std::string, std::string>> expected;
    } guids[] = {
        {a + " A\n" + b + "\tB\n", {{a, "A"}, {b, "B"}}},
        {a + " A\n{0000-bad} B\n" + b + " C\n", {{a, "A"}}},
        {a + " A {00000000-0000-0000-c000-000000000046} B", {{a, "B"}}},
        {a + " A\r\n" + b, {{a, "A"}}},
        {a + " A " + b + " " + std::string(maxNameFileToken + 1, 'n') + " " + a + " C", {{a, "A"}}},
        {a + " " + std::string(maxNameFileToken, 'n'), {{a, std::string(maxNameFileToken, 'n')}}},
        {std::string("\0\xFF\x01{", 4), {}},
    };
    for (const auto& r : guids) {
        std::istringstream in(r.file);
        GUIDNames names;
        readGUIDNames(in, names);
        ASSERT_EQ(names.size(), r.expected.size()) << r.file.substr(0, 80);
        for (const auto& e : r.expected) EXPECT_EQ(names[toGUID(e.first.c_str())], e.second) << r.file.substr(0, 80);
    }
    const struct {
        std::string file;
        std::vector<std::pair<unsigned long, const char*>> expected;
    } codes[] = {
        {"80004005 E_FAIL \"Unspecified error\"\n80004002 E_NOINTERFACE \"No\ninterface\"\n1 S_FALSE",
         {{0x80004005, "E_FAIL"}, {0x80004002, "E_NOINTERFACE"}, {1, "S_FALSE"}}},
        {"0x8000FFFF E_UNEXPECTED \"never closed 80004005 X", {{0x8000FFFF, "E_UNEXPECTED"}}},
        {"8007000e E_OUTOFMEMORY", {{0x8007000E, "E_OUTOFMEMORY"}}}, {"1 A\n123456789 B\n2 C", {{1, "A"}}},
        {"1 A\n-1 B\n2 C", {{1, "A"}}}, {"1 A\n2", {{1, "A"}}}, {"1 A 01 B", {{1, "B"}}},
        {"1 A \"" + std::string(1 << 20, 'd') + "\" 2 B", {{1, "A"}, {2, "B"}}},
        {"1 A 2 " + std::string(maxNameFileToken + 1, 'x'), {{1, "A"}}},
    };
    for (const auto& r : codes) {
        std::istringstream in(r.file);
        HRESULTNames names;
        readHRESULTNames(in, names);
        ASSERT_EQ(names.size(), r.expected.size()) << r.file.substr(0, 80);
        for (const auto& e : r.expected) EXPECT_EQ(names[long(e.first)], e.second) << r.file.substr(0, 80);
    }
}

TEST(GUIDNames, FixedRulesThenTheRegistryThenTheText) {
    const unsigned char mm[8] = {0xA2, 0x1A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96},
                        fourcc[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}, other[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const struct {
        GUID guid;
        const char* name;
    } rows[] = {
        {guidOf(0xD5A47FA7, 0x6D98, 0x11D1, mm), "Manufacturer ID 0"}, {guidOf(0xD5A48FA7, 0x6D98, 0x11D1, mm), "Manufacturer ID 4096"},
        {guidOf(0xD5A57FA5, 0x6D98, 0x11D1, mm), "Manufacturer ID 65534"},
        {guidOf(0xD5A57FA6, 0x6D98, 0x11D1, mm), "{D5A57FA6-6D98-11D1-A21A-00A0C9223196}"},
        {guidOf(0xD5A47FA6, 0x6D98, 0x11D1, mm), "{D5A47FA6-6D98-11D1-A21A-00A0C9223196}"},
        {guidOf(0xE36DC2AC, 0x6D9A, 0x11D1, mm), "Product ID 0"}, {guidOf(0xE36EC2AA, 0x6D9A, 0x11D1, mm), "Product ID 65534"},
        {guidOf(0xE36EC2AB, 0x6D9A, 0x11D1, mm), "{E36EC2AB-6D9A-11D1-A21A-00A0C9223196}"},
        {guidOf(0xE36DC2AD, 0x6D98, 0x11D1, mm), "{E36DC2AD-6D98-11D1-A21A-00A0C9223196}"},
        {guidOf(0x32595559, 0, 0x0010, fourcc), "FOURCC \"YUY2\""}, {guidOf(1, 0, 0x0010, fourcc), "FOURCC 1"},
        {guidOf(0xE0595559, 0, 0x0010, fourcc), "FOURCC 3763950937"},
        {guidOf(0x12345678, 0x9ABC, 0xDEF0, other), "{12345678-9ABC-DEF0-0102-030405060708}"},
        {guidOf(0xA, 0, 0, other), "IID_IMine"}, {guidOf(0xB, 0, 0, other), "CLSID_Mine"}, {guidOf(0xC, 0, 0, other), "CLSID_C"},
    };
    // Interface A also names a class; interface C has an empty name.
    com_test::ScratchRoot classes(HKEY_CLASSES_ROOT);
    for (const char* key : {"Interface\\A IMine", "CLSID\\A NotThis", "CLSID\\B Mine", "Interface\\C ", "CLSID\\C C"}) {
        const std::string text(key), name = text.substr(text.find(' ') + 1);
        const std::string path = text.substr(0, text.find('\\') + 1) +
                                 toString(guidOf(text[text.find(' ') - 1] - 'A' + 0xA, 0, 0, other));
        RegSetKeyValueA(HKEY_CLASSES_ROOT, path.c_str(), "", REG_SZ, name.c_str(), DWORD(name.size() + 1));
    }
    for (const auto& r : rows) EXPECT_EQ(toAString(r.guid, true), r.name);
    EXPECT_EQ(getHRESULTIdentifier(long(0x8007000E)), "HRESULT value 8007000e") << "no table in this process yet";
    EXPECT_EQ(getHRESULTIdentifier(1), "HRESULT value 1");
}

TEST(NameLookUp, FilesNamedUnderTheLibraryKeyAreReadOnce) {
    // Both tables must still be unread: this test runs alone in its process.
    if (::testing::UnitTest::GetInstance()->test_to_run_count() > 1) GTEST_SKIP() << "run alone (see the .cmake)";
    vesk_test::ScratchDir dir;
    const auto write = [&](const char* name, const std::string& text) { std::ofstream(dir.file(name), std::ios::binary) << text; };
    write("GUIDs.txt", "{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B14} IID_ITestOne\n"
                       "{32595559-0000-0010-8000-00AA00389B71} MEDIASUBTYPE_YUY2\n"
                       "{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B15 IID_Broken\n"
                       "{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B16} IID_AfterTheBrokenLine\n");
    write("HRESULTs.txt", "80004005 E_FAIL \"Unspecified error\"\n8000FFFF E_UNEXPECTED");
    com_test::ScratchRoot machine(HKEY_LOCAL_MACHINE);
    for (const char* name : {"GUIDs.txt", "HRESULTs.txt"}) {
        const std::string path = dir.file(name);
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, (std::string(software_key_name_a) + "\\Files").c_str(), name, REG_SZ,
                        path.c_str(), DWORD(path.size() + 1));
    }
    EXPECT_EQ(toAString(toGUID("{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B14}"), true), "IID_ITestOne");
    EXPECT_EQ(toAString(toGUID("{32595559-0000-0010-8000-00AA00389B71}"), true), "MEDIASUBTYPE_YUY2") << "before FOURCC";
    EXPECT_EQ(toAString(toGUID("{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B16}"), true), "{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B16}");
    EXPECT_EQ(std::string(COMError(0x80004005, "Can't go on").what()), "Can't go on: E_FAIL");
    EXPECT_EQ(getHRESULTIdentifier(long(0x8000FFFF)), "E_UNEXPECTED") << "the last entry keeps its name";
    EXPECT_EQ(getHRESULTIdentifier(long(0x80004001)), "HRESULT value 80004001");
    write("HRESULTs.txt", "80004005 CHANGED\n");
    write("GUIDs.txt", "{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B14} IID_Changed\n");
    EXPECT_EQ(getHRESULTIdentifier(long(0x80004005)), "E_FAIL") << "read once";
    EXPECT_EQ(toAString(toGUID("{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B14}"), true), "IID_ITestOne");
}

} // namespace
