// Character helpers: views, width conversions in code pages 1252 and UTF-8,
// their error messages, and the A-Z-only fold of char_traits_nc.
#include <vesk/errors/exception.h>
#include <vesk/text/string.h>
#include <vesk/text/string_helper.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

using namespace vesk;

TEST(ConstString, Views) {
    const char* abc = "abc";
    auto v = StringHelper<char>::convert(abc);
    EXPECT_EQ(v.text, abc);
    EXPECT_EQ(v.length, 0xFFFFFFFFu);
    EXPECT_EQ(v.size(), 3u);

    auto n = StringHelper<char>::convert(static_cast<const char*>(nullptr));
    EXPECT_EQ(n.text, nullptr);
    EXPECT_EQ(n.length, 0u);
    auto nc = StringHelper<char>::convert(static_cast<const char*>(nullptr), 5);
    EXPECT_EQ(nc.text, nullptr);
    EXPECT_EQ(nc.length, 0u);

    auto z = StringHelper<char>::convert(abc, 0);
    EXPECT_EQ(z.text, abc);
    EXPECT_EQ(z.length, 0u);

    std::string s = "hello";
    auto sv = StringHelper<char>::convert(s);
    EXPECT_EQ(sv.text, s.c_str());
    EXPECT_EQ(sv.length, 5u);
    auto ev = StringHelper<char>::convert(std::string());
    ASSERT_NE(ev.text, nullptr);
    EXPECT_EQ(*ev.text, '\0');
    EXPECT_EQ(ev.length, 0u);

    const wchar_t* w = L"wide";
    auto wv = StringHelper<wchar_t>::convert(w);
    EXPECT_EQ(wv.text, w);
    EXPECT_EQ(wv.length, 0xFFFFFFFFu);
    EXPECT_EQ(StringHelper<wchar_t>::convert(w, 2).length, 2u);
}

TEST(StringHelper, PathVocabulary) {
    EXPECT_STREQ(StringHelper<char>::Separator(), "\\");
    EXPECT_STREQ(StringHelper<char>::Device(), ":");
    EXPECT_STREQ(StringHelper<char>::UpperDir(), "..");
    EXPECT_STREQ(StringHelper<wchar_t>::Separator(), L"\\");
    EXPECT_STREQ(StringHelper<wchar_t>::Device(), L":");
    EXPECT_STREQ(StringHelper<wchar_t>::UpperDir(), L"..");
}

TEST(StringHelper, ForwardingFunctions) {
    char buffer[40];
    EXPECT_STREQ(StringHelper<char>::itos(-255, buffer, 16), "ffffff01");
    EXPECT_STREQ(StringHelper<char>::ltos(255, buffer, 2), "11111111");
    wchar_t wbuffer[40];
    EXPECT_STREQ(StringHelper<wchar_t>::itos(42, wbuffer, 10), L"42");
    EXPECT_EQ(StringHelper<char>::atoi("  17x"), 17);
    EXPECT_EQ(StringHelper<wchar_t>::atoi(L"-3"), -3);
    EXPECT_EQ(StringHelper<char>::icmp("ABC", "abc"), 0);
    EXPECT_LT(StringHelper<char>::icmp("abc", "ABD"), 0);
    EXPECT_EQ(StringHelper<wchar_t>::nicmp(L"ABCx", L"abcy", 3), 0);
    EXPECT_NE(StringHelper<wchar_t>::nicmp(L"ABCx", L"abcy", 4), 0);
    char text[] = "MiXeD";
    EXPECT_STREQ(StringHelper<char>::lwr(text), "mixed");
    EXPECT_STREQ(StringHelper<char>::upr(text), "MIXED");
    // The wide tolower is towlower, kept to 16 bits.
    EXPECT_EQ(StringHelper<wchar_t>::tolower(0xC4), int(std::towlower(0xC4) & 0xFFFF));
    EXPECT_EQ(StringHelper<wchar_t>::toupper('q'), 'Q');
    EXPECT_EQ(StringHelper<char>::tolower('Q'), 'q');

    char t[16] = {};
    StringHelper<char>::time(t);
    EXPECT_EQ(std::string(t).size(), 8u);
    EXPECT_EQ(t[2], ':');
    char d[16] = {};
    StringHelper<char>::date(d);
    EXPECT_EQ(d[2], '/');
    EXPECT_EQ(d[5], '/');
}

TEST(Conversion, NarrowToWideInCodePages) {
    struct Row {
        const char* narrow;
        unsigned codePage;
        std::wstring wide;
    } rows[] = {
        {"plain", 1252, L"plain"},
        {"\xE4\xF6\xFC\xDF", 1252, L"\u00E4\u00F6\u00FC\u00DF"},
        {"\x80 \x9F", 1252, L"\u20AC \u0178"},  // the 1252-only range 0x80..0x9F
        {"\xC3\xA4\xE2\x82\xAC", CP_UTF8, L"\u00E4\u20AC"},
        {"\xF0\x9F\x98\x80", CP_UTF8, L"\xD83D\xDE00"},  // outside the BMP: a surrogate pair
        {"", 1252, L""},
    };
    for (const Row& r : rows) EXPECT_EQ(std::wstring(a2w(r.narrow, r.codePage)), r.wide) << r.narrow;
}

TEST(Conversion, WideToNarrowInCodePages) {
    struct Row {
        std::wstring wide;
        unsigned codePage;
        std::string narrow;
    } rows[] = {
        {L"abc", 1252, "abc"},
        {L"\u00E4\u00F6\u00FC\u00DF", 1252, "\xE4\xF6\xFC\xDF"},
        {L"\u20AC", 1252, "\x80"},
        {L"\u00E4\u20AC", CP_UTF8, "\xC3\xA4\xE2\x82\xAC"},
        {L"\xD83D\xDE00", CP_UTF8, "\xF0\x9F\x98\x80"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(StringHelper<char>::convert(r.wide.c_str(), 0xFFFFFFFFu, r.codePage), r.narrow);
        EXPECT_EQ(StringHelper<char>::convert(r.wide.c_str(), unsigned(r.wide.size()), r.codePage), r.narrow);
    }
    // A counted length stops early and keeps embedded NULs.
    EXPECT_EQ(StringHelper<char>::convert(L"abcdef", 3, 1252), "abc");
    const wchar_t embedded[] = {L'a', 0, L'b'};
    EXPECT_EQ(StringHelper<char>::convert(embedded, 3, 1252), std::string("a\0b", 3));
}

TEST(Conversion, EmptyTextNeverAsksTheSystem) {
    // An unknown code page would fail any call to the system, so an empty
    // result proves no call was made.
    EXPECT_EQ(StringHelper<char>::convert(L"", 0xFFFFFFFFu, 12345), "");
    EXPECT_EQ(StringHelper<char>::convert(L"abc", 0, 12345), "");
}

TEST(Conversion, FailuresNameTheConversionAndKeepTheError) {
    try {
        StringHelper<char>::convert(L"abc", 0xFFFFFFFFu, 12345);
        FAIL() << "no exception";
    } catch (const WindowsError& e) {
        EXPECT_EQ(e.getDescription(), "Can't retrieve required buffer size for wchar_t -> char conversion");
        EXPECT_EQ(e.getError(), unsigned(ERROR_INVALID_PARAMETER));
    }
    try {
        a2w("abc", 12345);
        FAIL() << "no exception";
    } catch (const WindowsError& e) {
        EXPECT_EQ(e.getDescription(), "Can't convert multi byte string to unicode");
        EXPECT_NE(e.getError(), 0u);
    }
}

TEST(Conversion, CLocaleNarrowToWide) {
    EXPECT_EQ(StringHelper<wchar_t>::convert("hello"), L"hello");
    EXPECT_EQ(StringHelper<wchar_t>::convert(""), L"");
    EXPECT_EQ(StringHelper<wchar_t>::convert("hello", 3), L"hel");
    EXPECT_EQ(StringHelper<wchar_t>::convert("hi", 10), L"hi");
    EXPECT_EQ(StringHelper<wchar_t>::convert("hi", 0), L"");
}

TEST(CharTraitsNc, FoldsOnlyAsciiCapitals) {
    const char text[] = "aBc";
    EXPECT_EQ(char_traits_nc<char>::find(text, 3, 'b'), text + 1);
    EXPECT_EQ(char_traits_nc<char>::find(text, 3, 'C'), text + 2);
    EXPECT_EQ(char_traits_nc<char>::find(text, 0, 'a'), nullptr);
    // '@' is 32 below '`': only the 26 capitals fold.
    const char grave[] = "`";
    EXPECT_EQ(char_traits_nc<char>::find(grave, 1, '@'), nullptr);
    EXPECT_FALSE(char_traits_nc<char>::eq('[', '{'));
    EXPECT_TRUE(char_traits_nc<wchar_t>::eq(L'Z', L'z'));
    EXPECT_FALSE(char_traits_nc<wchar_t>::eq(L'\u00C4', L'\u00E4'));

    using NoCase = std::basic_string<char, char_traits_nc<char>>;
    EXPECT_EQ(NoCase("Hello World"), NoCase("hello world"));
    EXPECT_LT(NoCase("apple"), NoCase("BANANA"));
    EXPECT_EQ(NoCase("Path\\To\\FILE").find("to"), 5u);
}
