// GUIDs: byte-order ordering, the text round trip, strict parsing, the readers
// of the two look-up files (broken, over-long and missing lines), the fixed
// naming rules and the system's registry of interfaces and classes.
#include <vesk/com/com_error.h>
#include <vesk/com/guid.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace vesk;

namespace {

GUID guidOf(unsigned long d1, unsigned short d2, unsigned short d3, std::vector<unsigned char> d4) {
    GUID g{d1, d2, d3, {}};
    std::copy(d4.begin(), d4.end(), g.Data4);
    return g;
}

TEST(GUID, TextOfKnownGUIDs) {
    EXPECT_EQ(toWString(GUID_NULL), L"{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(toString(IID_IUnknown), "{00000000-0000-0000-C000-000000000046}");
    EXPECT_EQ(toTString(IID_IClassFactory), "{00000001-0000-0000-C000-000000000046}");
    EXPECT_EQ(toAString(guidOf(0xABCDEF01, 0x2345, 0x6789, {0xAB, 0xCD, 0xEF, 1, 2, 3, 4, 5}), false),
              "{ABCDEF01-2345-6789-ABCD-EF0102030405}");
}

TEST(GUID, OrderIsByStoredBytes) {
    const GUID a = guidOf(0x00000100, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0});
    const GUID b = guidOf(0x00000001, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(a < b) << "first stored bytes 0x00 and 0x01";
    EXPECT_FALSE(b < a);
    EXPECT_FALSE(a < a);
    const GUID high = guidOf(0, 0, 0, {0x80, 0, 0, 0, 0, 0, 0, 0}), low = guidOf(0, 0, 0, {0x7F, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(low < high) << "bytes compare unsigned";
    std::mt19937 random(7);
    std::vector<GUID> guids(2000);
    for (GUID& g : guids) {
        auto* bytes = reinterpret_cast<unsigned char*>(&g);
        for (unsigned i = 0; i < sizeof(GUID); ++i) bytes[i] = static_cast<unsigned char>(random() % 4); // many ties
    }
    std::sort(guids.begin(), guids.end(), GUIDLess());
    for (std::size_t i = 1; i < guids.size(); ++i)
        ASSERT_LE(std::memcmp(&guids[i - 1], &guids[i], sizeof(GUID)), 0);
}

TEST(GUID, TextRoundTripsAndLowerCaseParses) {
    std::mt19937 random(11);
    for (int i = 0; i < 3000; ++i) {
        GUID g;
        auto* bytes = reinterpret_cast<unsigned char*>(&g);
        for (unsigned k = 0; k < sizeof(GUID); ++k) bytes[k] = static_cast<unsigned char>(random());
        const BasicString<wchar_t> text = toWString(g);
        ASSERT_EQ(text.size(), 38u);
        ASSERT_TRUE(toGUID(text.c_str()) == g);
        ASSERT_TRUE(toGUID(BasicString<char>(text).toLower().c_str()) == g);
    }
}

TEST(GUID, TextsThatAreNoBracedGUIDAreRefused) {
    const char* bad[] = {
        "",
        "00000000-0000-0000-C000-000000000046",     // no braces
        "{00000000-0000-0000-C000-000000000046",     // no closing brace
        "{00000000-0000-0000-C000-000000000046}x",   // trailing text
        "{00000000-0000-0000-C000-00000000004G}",    // not hex
        "{000000000-000-0000-C000-000000000046}",    // hyphen misplaced
        "{00000000-0000-0000-C000-0000000000046}",   // one digit too many
        "Scripting.FileSystemObject",                // a ProgID is no GUID text
        "{ 0000000-0000-0000-C000-000000000046}",
    };
    for (const char* text : bad) {
        try {
            toGUID(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const COMError& e) {
            EXPECT_EQ(e.getHRESULT(), CO_E_CLASSSTRING) << text;
            EXPECT_NE(std::string(e.what()).find("\"" + std::string(text) + "\""), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(toGUID(static_cast<const char*>(nullptr)), COMError);
    EXPECT_THROW(toGUID(static_cast<const wchar_t*>(nullptr)), COMError);
}

TEST(NameFiles, GUIDPairsUpToTheFirstBrokenOne) {
    struct Row {
        const char* what;
        std::string file;
        std::vector<std::pair<const char*, const char*>> expected;
    } rows[] = {
        {"two lines", "{00000000-0000-0000-C000-000000000046} IUnknown\n{00000001-0000-0000-C000-000000000046}\tIClassFactory\n",
         {{"{00000000-0000-0000-C000-000000000046}", "IUnknown"}, {"{00000001-0000-0000-C000-000000000046}", "IClassFactory"}}},
        {"second pair malformed", "{00000000-0000-0000-C000-000000000046} A\n{0000-bad} B\n{00000001-0000-0000-C000-000000000046} C\n",
         {{"{00000000-0000-0000-C000-000000000046}", "A"}}},
        {"later entry replaces", "{00000000-0000-0000-C000-000000000046} A {00000000-0000-0000-c000-000000000046} B",
         {{"{00000000-0000-0000-C000-000000000046}", "B"}}},
        {"name missing at the end", "{00000000-0000-0000-C000-000000000046} A\r\n{00000001-0000-0000-C000-000000000046}", 
         {{"{00000000-0000-0000-C000-000000000046}", "A"}}},
        {"over-long name", "{00000000-0000-0000-C000-000000000046} A {00000001-0000-0000-C000-000000000046} " +
                               std::string(maxNameFileToken + 1, 'n') + " {00000002-0000-0000-C000-000000000046} C",
         {{"{00000000-0000-0000-C000-000000000046}", "A"}}},
        {"longest name", "{00000000-0000-0000-C000-000000000046} " + std::string(maxNameFileToken, 'n'),
         {{"{00000000-0000-0000-C000-000000000046}", nullptr}}},
        {"empty", "", {}},
        {"binary", std::string("\0\xFF\x01{", 4), {}},
    };
    for (const Row& r : rows) {
        std::istringstream in(r.file);
        GUIDNames names;
        readGUIDNames(in, names);
        ASSERT_EQ(names.size(), r.expected.size()) << r.what;
        for (const auto& e : r.expected) {
            const auto found = names.find(toGUID(e.first));
            ASSERT_NE(found, names.end()) << r.what;
            EXPECT_EQ(found->second, e.second ? std::string(e.second) : std::string(maxNameFileToken, 'n')) << r.what;
        }
    }
}

TEST(NameFiles, HRESULTEntriesWithDescriptions) {
    struct Row {
        const char* what;
        std::string file;
        std::vector<std::pair<unsigned long, const char*>> expected;
    } rows[] = {
        {"descriptions skipped, last entry kept",
         "80004005 E_FAIL \"Unspecified error\"\n80004002 E_NOINTERFACE \"No such\ninterface\"\n1 S_FALSE",
         {{0x80004005, "E_FAIL"}, {0x80004002, "E_NOINTERFACE"}, {1, "S_FALSE"}}},
        {"description to the end of the file", "0x8000FFFF E_UNEXPECTED \"never closed 80004005 X",
         {{0x8000FFFF, "E_UNEXPECTED"}}},
        {"lower-case digits", "8007000e E_OUTOFMEMORY", {{0x8007000E, "E_OUTOFMEMORY"}}},
        {"nine digits end it", "1 A\n123456789 B\n2 C", {{1, "A"}}},
        {"not a number ends it", "1 A\n-1 B\n2 C", {{1, "A"}}},
        {"name missing", "1 A\n2", {{1, "A"}}},
        {"later replaces", "1 A 01 B", {{1, "B"}}},
        {"over-long description is skipped", "1 A \"" + std::string(1 << 20, 'd') + "\" 2 B", {{1, "A"}, {2, "B"}}},
        {"over-long name", "1 A 2 " + std::string(maxNameFileToken + 1, 'x'), {{1, "A"}}},
    };
    for (const Row& r : rows) {
        std::istringstream in(r.file);
        HRESULTNames names;
        readHRESULTNames(in, names);
        ASSERT_EQ(names.size(), r.expected.size()) << r.what;
        for (const auto& e : r.expected) EXPECT_EQ(names[long(e.first)], e.second) << r.what;
    }
}

TEST(NameFiles, NoCrashOnRandomBytes) {
    std::mt19937 random(5);
    const char alphabet[] = "{}-0123456789abcdefABCDEFxX\" \n\t";
    for (int i = 0; i < 500; ++i) {
        std::string file(random() % 300, ' ');
        for (char& c : file) c = alphabet[random() % (sizeof(alphabet) - 1)];
        std::istringstream a(file), b(file);
        GUIDNames guids;
        HRESULTNames codes;
        readGUIDNames(a, guids);
        readHRESULTNames(b, codes);
        for (const auto& entry : guids) ASSERT_FALSE(entry.second.empty());
    }
}

TEST(GUIDNames, FixedRulesAndFallback) {
    const std::vector<unsigned char> mm{0xA2, 0x1A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96};
    const std::vector<unsigned char> fourcc{0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    struct Row {
        GUID guid;
        std::string name;
    } rows[] = {
        {guidOf(0xD5A47FA7, 0x6D98, 0x11D1, mm), "Manufacturer ID 0"},
        {guidOf(0xD5A48FA7, 0x6D98, 0x11D1, mm), "Manufacturer ID 4096"},
        {guidOf(0xD5A57FA5, 0x6D98, 0x11D1, mm), "Manufacturer ID 65534"},
        {guidOf(0xD5A57FA6, 0x6D98, 0x11D1, mm), "{D5A57FA6-6D98-11D1-A21A-00A0C9223196}"},
        {guidOf(0xD5A47FA6, 0x6D98, 0x11D1, mm), "{D5A47FA6-6D98-11D1-A21A-00A0C9223196}"},
        {guidOf(0xE36DC2AC, 0x6D9A, 0x11D1, mm), "Product ID 0"},
        {guidOf(0xE36EC2AA, 0x6D9A, 0x11D1, mm), "Product ID 65534"},
        {guidOf(0xE36DC2AD, 0x6D98, 0x11D1, mm), "{E36DC2AD-6D98-11D1-A21A-00A0C9223196}"},
        {guidOf(0x32595559, 0, 0x0010, fourcc), "FOURCC \"YUY2\""},
        {guidOf(1, 0, 0x0010, fourcc), "FOURCC 1"},
        {guidOf(0xE0595559, 0, 0x0010, fourcc), "FOURCC 3763950937"},
        {guidOf(0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}), "{12345678-9ABC-DEF0-0102-030405060708}"},
        {IID_IUnknown, "IID_IUnknown"},
    };
    for (const Row& r : rows) EXPECT_EQ(toAString(r.guid, true), r.name);
}

TEST(HRESULTNames, FallbackIsLowerCaseHex) {
    EXPECT_EQ(getHRESULTIdentifier(long(0x8000FFFF)).substr(0, 14), "HRESULT value ") << "no table in this process";
    EXPECT_EQ(getHRESULTIdentifier(long(0x80004005)), "HRESULT value 80004005");
    EXPECT_EQ(getHRESULTIdentifier(1), "HRESULT value 1");
    EXPECT_EQ(getHRESULTIdentifier(long(0x8007000E)), "HRESULT value 8007000e");
}

} // namespace
