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
    EXPECT_EQ(abc.mid(1, 1), S<TypeParam>("b"));
    EXPECT_EQ(abc.mid(3, 1), Str());
    EXPECT_THROW(abc.mid(4, 1), std::out_of_range);
}

TYPED_TEST(StringTest, Trim) {
    using Str = BasicString<TypeParam>;
    const Str blanks = S<TypeParam>(" \t  ") + TypeParam(0) + S<TypeParam>("\t "), padded = S<TypeParam>("  a b\t") + TypeParam(0);
    EXPECT_EQ(blanks.trim(), Str());
    EXPECT_EQ(padded.trim(), S<TypeParam>("a b"));
    EXPECT_EQ(padded.trimLeft().size(), padded.size() - 2);
    EXPECT_EQ(padded.trimRight(), S<TypeParam>("  a b"));
    EXPECT_EQ(S<TypeParam>("x\r\n").trimRight(), S<TypeParam>("x"));
}

TYPED_TEST(StringTest, Substring) {
    struct Row { const char* text; const char* separator; int index; const char* expected; } rows[] = {
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
    struct Row { const char* path; int index; const char* expected; } rows[] = {
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
    struct Row { const char* path; const char* expected; } rows[] = {
        {"C:\\dir\\file.txt", "C:\\dir"}, {"C:\\file.txt", "C:\\"}, {"file.txt", ""},
        {"C:\\a\\b\\c", "C:\\a\\b"},      {"\\dir", "\\"},          {"\\a\\b", "\\a"},
    };
    for (const Row& r : rows) EXPECT_EQ(narrow(S<TypeParam>(r.path).getDirectory()), r.expected) << r.path;
}

TYPED_TEST(StringTest, MergePath) {
    struct Row { const char* base; const char* relative; const char* expected; } rows[] = {
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
    EXPECT_TRUE(empty.startsWith(empty) && empty.endsWith(empty) && abc.contains(empty));
    EXPECT_TRUE(abc.startsWith(S<TypeParam>("ab")) && abc.endsWith(S<TypeParam>("bc")) && abc.contains(S<TypeParam>("b")));
    EXPECT_FALSE(abc.startsWith(S<TypeParam>("b")));
    EXPECT_FALSE(abc.endsWith(S<TypeParam>("xabc")));
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
    struct Row { int value; int radix; const char* expected; } rows[] = {{0, 10, "0"}, {-42, 10, "-42"}, {255, 16, "ff"}, {5, 2, "101"}, {35, 36, "z"},
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
    const Str s = S<TypeParam>("MiXed 1!"), lower = S<TypeParam>("mixed 1!"), upper = S<TypeParam>("MIXED 1!");
    EXPECT_EQ(s.toLower(), lower);
    EXPECT_EQ(s.toUpper(), upper);
    EXPECT_EQ(Str(s).makeUpper(), upper);
    EXPECT_EQ(Str(s).makeLower(), lower);
}

TYPED_TEST(StringTest, ConcatenationAndAssignment) {
    using Str = BasicString<TypeParam>;
    const Str a = S<TypeParam>("a"), hello = S<TypeParam>("hello");
    EXPECT_EQ(a + hello, S<TypeParam>("ahello"));
    EXPECT_EQ(a + hello.c_str(), S<TypeParam>("ahello"));
    EXPECT_EQ(a + static_cast<const TypeParam*>(nullptr), a);
    EXPECT_EQ(*static_cast<const TypeParam*>(Str()), TypeParam(0));
    Str s = hello;
    EXPECT_EQ(s.assign(static_cast<const TypeParam*>(nullptr)), Str());
    EXPECT_EQ(s.assign(hello.c_str(), 0xFFFFFFFFu), hello);
    EXPECT_EQ(s.assign(hello.c_str(), 2u), S<TypeParam>("he"));
    EXPECT_EQ(s = ConstString<TypeParam>(hello.c_str(), 3), S<TypeParam>("hel"));
    EXPECT_EQ(s = ConstString<TypeParam>(), Str());
}

TEST(String, FromFormatBothWidths) {
    EXPECT_EQ(String::fromFormat("%d-%s-%05.1f", 42, "x", 3.14159), "42-x-003.1");
    EXPECT_EQ(WString::fromFormat(L"%d/%s", 7, L"w"), L"7/w");
    EXPECT_EQ(String::fromFormat(""), "");
    EXPECT_EQ(String().assign(L"wide", 0xFFFFFFFFu), "wide");
    EXPECT_EQ(WString(L"a\u00E4\u0101z").makeUpper(), L"A\u00E4\u0101Z") << "non-ASCII letters stay";
}

TEST(String, TimeAndDateShapes) {
    const String t = String::Time();
    const WString d = WString::Date();
    EXPECT_TRUE(t.size() == 8 && t[2] == ':' && t[5] == ':') << t;
    EXPECT_TRUE(d.size() == 8 && d[2] == L'/' && d[5] == L'/');
}
