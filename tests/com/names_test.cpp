// GUIDs and their names: byte-order ordering, the text round trip, the GUID
// texts the name-file reader takes (exactly CLSIDFromString's braced texts,
// over the generated file and a sweep of mutated texts), where both readers
// stop, the fixed naming rules, and the look-ups through files named under a
// scratch HKEY_LOCAL_MACHINE, read once per process.
#include "com_harness.h"

#include <vesk/com/guid.h>
#include <vesk/system/registry.h>

#include <shlobj.h>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

using namespace vesk;

namespace {

TEST(GUID, TextAndOrder) {
    EXPECT_EQ(toWString(GUID_NULL), L"{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(toString(IID_IUnknown), "{00000000-0000-0000-C000-000000000046}");
    const GUID low = toGUID("{00000000-0000-0000-7F00-000000000000}"), high = toGUID("{00000000-0000-0000-8000-000000000000}");
    EXPECT_TRUE(toGUID("{00000100-0000-0000-0000-000000000000}") < toGUID("{00000001-0000-0000-0000-000000000000}"))
        << "first stored bytes 0x00 and 0x01";
    EXPECT_TRUE(low < high && !(low < low));
    EXPECT_TRUE(toGUID("{000214e4-0000-0000-c000-000000000046}") == IID_IContextMenu);
    EXPECT_THROW(toGUID("Scripting.FileSystemObject"), COMError) << "a ProgID is no GUID text";
    EXPECT_THROW(toGUID(static_cast<const char*>(nullptr)), COMError);
}

// What a reader keeps of a file, in the order of its table.
std::string keyText(const GUID& guid) { return toString(guid); }
std::string keyText(long code) {
    char text[16];
    return std::string(text, std::size_t(std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(code))));
}
template <class Names> std::string keptBy(void (*read)(std::istream&, Names&), const std::string& file) {
    std::istringstream in(file);
    Names names;
    read(in, names);
    std::string kept;
    for (const auto& n : names) kept += keyText(n.first) + "=" + n.second + " ";
    return kept;
}
std::string guidsIn(const std::string& file) { return keptBy(readGUIDNames, file); }
std::string codesIn(const std::string& file) { return keptBy(readHRESULTNames, file); }

// The reader takes a GUID text exactly when CLSIDFromString takes it in the braced form.
void expectReadAsCLSIDFromString(const std::string& text) {
    GUID parsed{};
    const bool accepted = !text.empty() && text[0] == '{' &&
                          CLSIDFromString(std::wstring(text.begin(), text.end()).c_str(), &parsed) == NOERROR;
    ASSERT_EQ(guidsIn(text + " name"), accepted ? toString(parsed) + "=name " : "") << text;
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
    const std::string a = "{00000000-0000-0000-C000-000000000046}", b = "{00000001-0000-0000-C000-000000000046}",
                      longest(maxNameFileToken, 'n'), tooLong(maxNameFileToken + 1, 'n');
    EXPECT_EQ(guidsIn(a + " A\n" + b + "\tB\n"), a + "=A " + b + "=B ");
    EXPECT_EQ(guidsIn(a + " A\n{0000-bad} B\n" + b + " C\n"), a + "=A ");
    EXPECT_EQ(guidsIn(a + " A {00000000-0000-0000-c000-000000000046} B"), a + "=B ");
    EXPECT_EQ(guidsIn(a + " A\r\n" + b), a + "=A ");
    EXPECT_EQ(guidsIn(a + " A " + b + " " + tooLong + " " + a + " C"), a + "=A ");
    EXPECT_EQ(guidsIn(a + " " + longest), a + "=" + longest + " ");
    EXPECT_EQ(guidsIn(std::string("\0\xFF\x01{", 4)), "");
    EXPECT_EQ(codesIn("80004005 E_FAIL \"Unspecified error\"\n80004002 E_NOINTERFACE \"No\ninterface\"\n1 S_FALSE"),
              "80004002=E_NOINTERFACE 80004005=E_FAIL 1=S_FALSE ");
    EXPECT_EQ(codesIn("0x8000FFFF E_UNEXPECTED \"never closed 80004005 X"), "8000ffff=E_UNEXPECTED ");
    EXPECT_EQ(codesIn("8007000e E_OUTOFMEMORY"), "8007000e=E_OUTOFMEMORY ");
    for (const char* file : {"1 A\n123456789 B\n2 C", "1 A\n-1 B\n2 C", "1 A\n2"}) EXPECT_EQ(codesIn(file), "1=A ") << file;
    EXPECT_EQ(codesIn("1 A 01 B"), "1=B ");
    EXPECT_EQ(codesIn("1 A \"" + std::string(1 << 20, 'd') + "\" 2 B"), "1=A 2=B ");
    EXPECT_EQ(codesIn("1 A 2 " + std::string(maxNameFileToken + 1, 'x')), "1=A ");
}

TEST(GUIDNames, FixedRulesThenTheRegistryThenTheText) {
    // Interface A also names a class; interface C has an empty name.
    const std::string mm = "-6D98-11D1-A21A-00A0C9223196}", product = "-6D9A-11D1-A21A-00A0C9223196}",
                      fourcc = "-0000-0010-8000-00AA00389B71}", mine = "-0000-0000-0102-030405060708}";
    com_test::ScratchRoot classes(HKEY_CLASSES_ROOT);
    for (const std::string key : {"Interface\\{0000000A IMine", "CLSID\\{0000000A NotThis", "CLSID\\{0000000B Mine", "Interface\\{0000000C ",
                                  "CLSID\\{0000000C C"})
        com_test::setText(key.substr(0, key.find(' ')) + mine, "", key.substr(key.find(' ') + 1), HKEY_CLASSES_ROOT);
    std::string names;
    for (const std::string& text : {"{D5A47FA7" + mm, "{D5A48FA7" + mm, "{D5A57FA5" + mm, "{D5A57FA6" + mm, "{D5A47FA6" + mm,
                                    "{E36DC2AC" + product, "{E36EC2AA" + product, "{E36EC2AB" + product, "{E36DC2AD" + mm,
                                    "{32595559" + fourcc, "{00000001" + fourcc, "{E0595559" + fourcc, std::string("{12345678-9ABC-DEF0-0102-030405060708}"),
                                    "{0000000A" + mine, "{0000000B" + mine, "{0000000C" + mine})
        names += toAString(toGUID(text.c_str()), true) + ", ";
    EXPECT_EQ(names, "Manufacturer ID 0, Manufacturer ID 4096, Manufacturer ID 65534, {D5A57FA6" + mm + ", {D5A47FA6" + mm +
                         ", Product ID 0, Product ID 65534, {E36EC2AB" + product + ", {E36DC2AD" + mm +
                         ", FOURCC \"YUY2\", FOURCC 1, FOURCC 3763950937, {12345678-9ABC-DEF0-0102-030405060708}, IID_IMine, CLSID_Mine, CLSID_C, ");
    EXPECT_EQ(getHRESULTIdentifier(long(0x8007000E)) + ", " + getHRESULTIdentifier(1), "HRESULT value 8007000e, HRESULT value 1")
        << "no table in this process yet";
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
    for (const char* name : {"GUIDs.txt", "HRESULTs.txt"})
        com_test::setText(std::string(software_key_name_a) + "\\Files", name, dir.file(name));
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
