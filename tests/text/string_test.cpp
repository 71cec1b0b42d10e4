// BasicString in both widths: the tables run once over char and once over
// wchar_t, so a width-specific slip shows as a failure of one instance.
#include <vesk/errors/exception.h>
#include <vesk/text/string.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace vesk;

namespace {

// ASCII test text in the width under test.
template <class C> BasicString<C> S(const char* ascii) {
    BasicString<C> s;
    for (const char* p = ascii; *p; ++p) s.push_back(C(static_cast<unsigned char>(*p)));
    return s;
}

template <class C> std::string narrow(const BasicString<C>& s) {
    std::string out;
    for (C c : s) out.push_back(char(c));
    return out;
}

template <class C> class StringTest : public ::testing::Test {};
using Widths = ::testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(StringTest, Widths);

} // namespace

TYPED_TEST(StringTest, LeftMidRight) {
    using Str = BasicString<TypeParam>;
    const Str abc = S<TypeParam>("abc");
    EXPECT_EQ(abc.right(10), abc);
    EXPECT_EQ(abc.left(10), abc);
    EXPECT_EQ(abc.right(2), S<TypeParam>("bc"));
    EXPECT_EQ(abc.left(1), S<TypeParam>("a"));
    EXPECT_EQ(abc.mid(1, 1), S<TypeParam>("b"));
    EXPECT_EQ(abc.mid(3, 1), Str());
    EXPECT_THROW(abc.mid(4, 1), std::out_of_range);
    EXPECT_EQ(abc.right(0), Str());
}

TYPED_TEST(StringTest, Trim) {
    using Str = BasicString<TypeParam>;
    Str blanks = S<TypeParam>(" \t  ");
    blanks.push_back(TypeParam(0));
    blanks += S<TypeParam>("\t ");
    EXPECT_EQ(blanks.trim(), Str());
    Str padded = S<TypeParam>("  a b\t");
    padded.push_back(TypeParam(0));
    EXPECT_EQ(padded.trim(), S<TypeParam>("a b"));
    EXPECT_EQ(padded.trimLeft().size(), padded.size() - 2);
    EXPECT_EQ(padded.trimRight(), S<TypeParam>("  a b"));
    EXPECT_EQ(S<TypeParam>("x\r\n").trimRight(), S<TypeParam>("x"));
}

TYPED_TEST(StringTest, Substring) {
    struct Row {
        const char* text;
        const char* separator;
        int index;
        const char* expected;
    } rows[] = {
        {"a,b,c", ",", 0, "a"},   {"a,b,c", ",", 1, "b"},     {"a,b,c", ",", 2, "c"}, {"a,b,c", ",", 3, ""},
        {"a,b", ",", 2, ""},      {"a,b,c", ",", -1, "a"},    {"a::b::c", "::", 1, "b"}, {",x", ",", 0, ""},
        {"abc", ",", 0, "abc"},   {"a,,b", ",", 2, "b"},      {"abc", "", 0, ""},      {"abc", "", 2, ""},
    };
    for (const Row& r : rows)
        EXPECT_EQ(narrow(S<TypeParam>(r.text).substring(S<TypeParam>(r.separator), r.index)), r.expected)
            << r.text << " / " << r.separator << " / " << r.index;
}

TYPED_TEST(StringTest, ReplaceAll) {
    struct Row {
        const char* text;
        const char* search;
        const char* replacement;  // null: erase
        const char* expected;
    } rows[] = {
        {"aaa", "a", "aa", "aaaaaa"}, {"axbxc", "x", nullptr, "abc"}, {"hello world", "o", "0", "hell0 w0rld"},
        {"abcabc", "bc", "", "aa"},   {"none", "z", "y", "none"},     {"xx", "xx", "x", "x"},
        {"abc", "", "z", "abc"},
    };
    for (const Row& r : rows) {
        const BasicString<TypeParam> rep = r.replacement ? S<TypeParam>(r.replacement) : BasicString<TypeParam>();
        EXPECT_EQ(narrow(S<TypeParam>(r.text).replaceAll(S<TypeParam>(r.search), r.replacement ? rep.c_str() : nullptr)),
                  r.expected)
            << r.text;
    }
}

TYPED_TEST(StringTest, PositionalFormat) {
    using Str = BasicString<TypeParam>;
    const Str Z = S<TypeParam>("Z"), y = S<TypeParam>("y"), pct = S<TypeParam>("50%1");
    EXPECT_EQ(S<TypeParam>("a%1b%%c%xd").format(Z), S<TypeParam>("aZb%c%xd"));
    EXPECT_EQ(S<TypeParam>("100%").format(), S<TypeParam>("100%"));
    EXPECT_EQ(S<TypeParam>("%1%2").format(nullptr, y), S<TypeParam>("y"));
    EXPECT_EQ(S<TypeParam>("%0").format(Z), S<TypeParam>("%0"));
    EXPECT_EQ(S<TypeParam>("%2-%1").format(Z, y), S<TypeParam>("y-Z"));
    EXPECT_EQ(S<TypeParam>("%1").format(pct), pct) << "arguments are not interpreted";
    EXPECT_EQ(S<TypeParam>("%%1").format(Z), S<TypeParam>("%1"));
    EXPECT_EQ(S<TypeParam>("%").format(), S<TypeParam>("%"));
    EXPECT_EQ(S<TypeParam>("%9").format(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, Z), Z);
    EXPECT_EQ(S<TypeParam>("[%3]").format(Z, y), S<TypeParam>("[]")) << "a missing argument appends nothing";
}

TYPED_TEST(StringTest, PathElements) {
    struct Row {
        const char* path;
        int index;
        const char* expected;
    } rows[] = {
        {"C:\\dir\\file.txt", 0, "C:\\"},  {"C:\\dir\\file.txt", 1, "dir"},   {"C:\\dir\\file.txt", 2, "file.txt"},
        {"C:\\dir\\file.txt", 9, "file.txt"}, {"C:\\dir\\file.txt", -1, "file.txt"}, {"C:\\dir\\file.txt", -2, "dir"},
        {"C:\\dir\\file.txt", -3, "C:\\"}, {"C:\\dir\\file.txt", -70000, "C:\\"}, {"C:\\dir\\", -1, "dir"},
        {"\\dir", 0, "\\"},                {"\\dir", 1, "dir"},              {"\\dir", -1, "dir"},
        {"\\dir", -2, "\\"},               {"C:", 0, "C:\\"},                {"C:", -1, "C:\\"},
        {"", 0, ""},                       {"", -1, ""},                     {"file", 0, "file"},
        {"file", 5, "file"},               {"file", -5, "file"},             {"a\\b", 2147483647, "b"},
        {"\\\\server\\share\\x", 0, "\\"}, {"\\\\server\\share\\x", -1, "x"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(narrow(S<TypeParam>(r.path).getPathElement(r.index)), r.expected) << r.path << " [" << r.index << "]";
}

TYPED_TEST(StringTest, Directory) {
    struct Row {
        const char* path;
        const char* expected;
    } rows[] = {
        {"C:\\dir\\file.txt", "C:\\dir"}, {"C:\\file.txt", "C:\\"}, {"file.txt", ""},
        {"C:\\a\\b\\c", "C:\\a\\b"},      {"\\dir", "\\"},          {"\\a\\b", "\\a"},
    };
    for (const Row& r : rows) EXPECT_EQ(narrow(S<TypeParam>(r.path).getDirectory()), r.expected) << r.path;
}

TYPED_TEST(StringTest, MergePath) {
    struct Row {
        const char* base;
        const char* relative;
        const char* expected;
    } rows[] = {
        {"C:\\a\\b", "..\\c", "C:\\a\\c"},  {"C:", "x", "C:\\x"},          {"C:\\a", "D:\\x", "D:\\x"},
        {"C:\\a", "..\\..\\x", "C:\\x"},    {"C:\\a", "b\\", ""},           {"C:\\a", "b:", "b:"},
        {"", "x\\y", "x\\y"},               {"C:\\a\\", "b", "C:\\a\\b"},   {"C:\\a", "\\root", "\\root"},
        {"C:\\a\\b", "..", "C:\\a"},        {"a", "..\\x", "x"},            {"C:\\", "..\\..\\x", "C:\\x"},
        {"C:\\a\\b\\c", "..\\..\\d\\e", "C:\\a\\d\\e"}, {"\\a", "..\\x", "\\x"}, {"\\", "x", "\\x"},
        {"C:\\a", "", "C:\\a"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(narrow(BasicString<TypeParam>::mergePath(S<TypeParam>(r.base), S<TypeParam>(r.relative))), r.expected)
            << r.base << " + " << r.relative;
}

TYPED_TEST(StringTest, Queries) {
    using Str = BasicString<TypeParam>;
    const Str empty, abc = S<TypeParam>("abc");
    EXPECT_TRUE(empty.startsWith(empty));
    EXPECT_TRUE(empty.endsWith(empty));
    EXPECT_TRUE(abc.startsWith(S<TypeParam>("ab")));
    EXPECT_FALSE(abc.startsWith(S<TypeParam>("b")));
    EXPECT_TRUE(abc.endsWith(S<TypeParam>("bc")));
    EXPECT_FALSE(abc.endsWith(S<TypeParam>("xabc")));
    EXPECT_TRUE(abc.contains(empty));
    EXPECT_TRUE(abc.contains(S<TypeParam>("b")));
    EXPECT_FALSE(abc.contains(S<TypeParam>("ac")));
    EXPECT_EQ(abc.findOneOf(S<TypeParam>("xyz"), 0), Str::npos);
    EXPECT_EQ(abc.findOneOf(S<TypeParam>("cb"), 0), 1u);
    EXPECT_EQ(abc.findOneOf(S<TypeParam>("cb"), 2), 2u);
    EXPECT_EQ(abc.findOneOf(empty, 0), Str::npos);
    EXPECT_EQ(S<TypeParam>("  42abc").toInt(), 42);
    EXPECT_EQ(S<TypeParam>("-7").toInt(), -7);
    EXPECT_EQ(S<TypeParam>("x1").toInt(), 0);
}

TYPED_TEST(StringTest, Numbers) {
    struct Row {
        int value;
        int radix;
        const char* expected;
    } rows[] = {{0, 10, "0"}, {-42, 10, "-42"}, {255, 16, "ff"}, {5, 2, "101"}, {35, 36, "z"},
                {2147483647, 10, "2147483647"}, {-2147483647 - 1, 10, "-2147483648"}, {-1, 16, "ffffffff"}};
    for (const Row& r : rows) {
        EXPECT_EQ(narrow(BasicString<TypeParam>(r.value, r.radix)), r.expected);
        EXPECT_EQ(narrow(BasicString<TypeParam>::fromInt(r.value, r.radix)), r.expected);
    }
    EXPECT_THROW(BasicString<TypeParam>(1, 1), CRTError);
    EXPECT_THROW(BasicString<TypeParam>(1, 37), CRTError);
}

TYPED_TEST(StringTest, CaseChangeTouchesAsciiOnly) {
    using Str = BasicString<TypeParam>;
    Str s = S<TypeParam>("MiXed 1!");
    EXPECT_EQ(s.toLower(), S<TypeParam>("mixed 1!"));
    EXPECT_EQ(s.toUpper(), S<TypeParam>("MIXED 1!"));
    EXPECT_EQ(s, S<TypeParam>("MiXed 1!")) << "toLower/toUpper leave the string alone";
    s.makeUpper();
    EXPECT_EQ(s, S<TypeParam>("MIXED 1!"));
    s.makeLower();
    EXPECT_EQ(s, S<TypeParam>("mixed 1!"));
}

TYPED_TEST(StringTest, Concatenation) {
    using Str = BasicString<TypeParam>;
    const Str a = S<TypeParam>("a"), b = S<TypeParam>("b");
    Str ab = a + b;
    EXPECT_EQ(ab, S<TypeParam>("ab"));
    EXPECT_EQ(a + b.c_str(), ab);
    EXPECT_EQ(a + static_cast<const std::basic_string<TypeParam>&>(b), ab);
    EXPECT_EQ(a + static_cast<const TypeParam*>(nullptr), a);
    const TypeParam* raw = ab;
    EXPECT_EQ(std::char_traits<TypeParam>::length(raw), 2u);
    const TypeParam* none = Str();
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(*none, TypeParam(0));
}

TYPED_TEST(StringTest, AssignFamily) {
    using Str = BasicString<TypeParam>;
    const Str hello = S<TypeParam>("hello");
    Str s = hello;
    s.assign(static_cast<const TypeParam*>(nullptr));
    EXPECT_EQ(s, Str());
    s.assign(hello.c_str(), 0xFFFFFFFFu);
    EXPECT_EQ(s, hello);
    s.assign(hello.c_str(), 2u);
    EXPECT_EQ(s, S<TypeParam>("he"));
    s = ConstString<TypeParam>(hello.c_str(), 0xFFFFFFFFu);
    EXPECT_EQ(s, hello);
    s = ConstString<TypeParam>(hello.c_str(), 3);
    EXPECT_EQ(s, S<TypeParam>("hel"));
    s = ConstString<TypeParam>();
    EXPECT_EQ(s, Str());
    EXPECT_EQ(Str(static_cast<const TypeParam*>(nullptr)), Str());
}

TEST(String, FromFormatBothWidths) {
    EXPECT_EQ(String::fromFormat("%d-%s-%05.1f", 42, "x", 3.14159), "42-x-003.1");
    EXPECT_EQ(WString::fromFormat(L"%d/%s", 7, L"w"), L"7/w");
    EXPECT_EQ(String::fromFormat("%x", 0xdeadu), "dead");
    EXPECT_EQ(String::fromFormat(""), "");
}

TEST(String, FromFormatCutsLongOutputSafely) {
    const std::string big(5000, 'q');
    const String s = String::fromFormat("%s", big.c_str());
    EXPECT_EQ(s.size(), 1999u);
    EXPECT_EQ(s, big.substr(0, 1999));
    const String exact = String::fromFormat("%s", big.substr(0, 1999).c_str());
    EXPECT_EQ(exact.size(), 1999u);
    const std::wstring wbig(3000, L'w');
    EXPECT_EQ(WString::fromFormat(L"%s", wbig.c_str()).size(), 1999u);
}

TEST(String, OtherWidthConstruction) {
    EXPECT_EQ(String(L"plain"), "plain");
    EXPECT_EQ(String(L"abcdef", 3u), "abc");
    EXPECT_EQ(WString("plain"), L"plain");
    EXPECT_EQ(WString("abcdef", 2u), L"ab");
    String s;
    s.assign(L"wide", 0xFFFFFFFFu);
    EXPECT_EQ(s, "wide");
    // The ANSI code page is 1252 in a default prefix, where U+00E9 is one byte.
    if (GetACP() == 1252) {
        EXPECT_EQ(String(L"caf\u00E9"), "caf\xE9");
    }
}

TEST(String, WideCaseChangeLeavesNonAsciiAlone) {
    WString s = L"a\u00E4\u0101z";
    s.makeUpper();
    EXPECT_EQ(s, L"A\u00E4\u0101Z");
}

TEST(String, TimeAndDateShapes) {
    const String t = String::Time();
    ASSERT_EQ(t.size(), 8u);
    EXPECT_EQ(t[2], ':');
    EXPECT_EQ(t[5], ':');
    const WString d = WString::Date();
    ASSERT_EQ(d.size(), 8u);
    EXPECT_EQ(d[2], L'/');
}
