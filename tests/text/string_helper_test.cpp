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
    const std::string s = "hello";
    struct Row { ConstString<char> view; const char* text; unsigned length; std::size_t size; } rows[] = {{StringHelper<char>::convert(abc), abc, 0xFFFFFFFFu, 3},
                {StringHelper<char>::convert(static_cast<const char*>(nullptr)), nullptr, 0, 0},
                {StringHelper<char>::convert(static_cast<const char*>(nullptr), 5), nullptr, 0, 0},
                {StringHelper<char>::convert(abc, 0), abc, 0, 0}, {StringHelper<char>::convert(s), s.c_str(), 5, 5}};
    for (const Row& r : rows) EXPECT_TRUE(r.view.text == r.text && r.view.length == r.length && r.view.size() == r.size) << r.size;
    EXPECT_STREQ(StringHelper<char>::convert(std::string()).text, "");
    EXPECT_EQ(StringHelper<wchar_t>::convert(L"wide", 2).length, 2u);
}

TEST(StringHelper, ForwardingFunctions) {
    char buffer[40], text[] = "MiXeD";
    EXPECT_STREQ(StringHelper<char>::itos(-255, buffer, 16), "ffffff01");
    EXPECT_STREQ(StringHelper<char>::ltos(255, buffer, 2), "11111111");
    EXPECT_LT(StringHelper<char>::icmp("abc", "ABD"), 0);
    EXPECT_EQ(StringHelper<wchar_t>::nicmp(L"ABCx", L"abcy", 3), 0);
    EXPECT_STREQ(StringHelper<char>::upr(text), "MIXED");
    // The wide tolower is towlower, kept to 16 bits.
    EXPECT_EQ(StringHelper<wchar_t>::tolower(0xC4), int(std::towlower(0xC4) & 0xFFFF));
}

TEST(Conversion, NarrowToWideInCodePages) {
    struct Row { const char* narrow; unsigned codePage; std::wstring wide; } rows[] = {
        {"\xE4\xF6\xFC\xDF", 1252, L"\u00E4\u00F6\u00FC\u00DF"}, {"\x80 \x9F", 1252, L"\u20AC \u0178"},
        {"\xC3\xA4\xE2\x82\xAC", CP_UTF8, L"\u00E4\u20AC"},   {"\xF0\x9F\x98\x80", CP_UTF8, L"\xD83D\xDE00"},
        {"", 1252, L""},
    };
    for (const Row& r : rows) EXPECT_EQ(std::wstring(a2w(r.narrow, r.codePage)), r.wide) << r.narrow;
}

TEST(Conversion, WideToNarrowInCodePages) {
    struct Row { std::wstring wide; unsigned codePage; std::string narrow; } rows[] = {
        {L"\u00E4\u00F6\u00FC\u00DF", 1252, "\xE4\xF6\xFC\xDF"}, {L"\u20AC", 1252, "\x80"},
        {L"a\u00E4\u20AC", CP_UTF8, "a\xC3\xA4\xE2\x82\xAC"},  {L"\xD83D\xDE00", CP_UTF8, "\xF0\x9F\x98\x80"},
        // Lone surrogates become U+FFFD, as the system's conversion makes them.
        {L"\xD800x\xDC00", CP_UTF8, "\xEF\xBF\xBDx\xEF\xBF\xBD"}, {L"a\xD83D", CP_UTF8, "a\xEF\xBF\xBD"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(StringHelper<char>::convert(r.wide.c_str(), 0xFFFFFFFFu, r.codePage), r.narrow);
        EXPECT_EQ(StringHelper<char>::convert(r.wide.c_str(), unsigned(r.wide.size()), r.codePage), r.narrow);
    }
    // A counted length stops early and keeps embedded NULs.
    EXPECT_EQ(StringHelper<char>::convert(L"abcdef", 3, 1252), "abc");
    const wchar_t embedded[] = {L'a', 0, L'b'};
    EXPECT_EQ(StringHelper<char>::convert(embedded, 3, 1252), std::string("a\0b", 3));
    EXPECT_EQ(StringHelper<char>::convert(embedded, 3, CP_UTF8), std::string("a\0b", 3));
}

TEST(Conversion, EmptyTextNeverAsksTheSystem) {
    // An unknown code page would fail any call to the system, so an empty
    // result proves no call was made.
    EXPECT_EQ(StringHelper<char>::convert(L"", 0xFFFFFFFFu, 12345), "");
    EXPECT_EQ(StringHelper<char>::convert(L"abc", 0, 12345), "");
}

TEST(Conversion, FailuresNameTheConversionAndKeepTheError) {
    const auto failure = [](auto convert) -> std::pair<std::string, unsigned> {
        try {
            convert();
        } catch (const WindowsError& e) {
            return {e.getDescription(), e.getError()};
        }
        return {"no exception", 0};
    };
    EXPECT_EQ(failure([] { StringHelper<char>::convert(L"abc", 0xFFFFFFFFu, 12345); }),
              std::make_pair(std::string("Can't retrieve required buffer size for wchar_t -> char conversion"),
                             unsigned(ERROR_INVALID_PARAMETER)));
    EXPECT_EQ(failure([] { a2w("abc", 12345); }).first, "Can't convert multi byte string to unicode");
}

TEST(Conversion, CLocaleNarrowToWide) {
    struct Row {
        const char* narrow;
        unsigned count;  // 0xFFFFFFFF: the whole text
        const wchar_t* wide;
    } rows[] = {{"hello", 0xFFFFFFFFu, L"hello"}, {"", 0xFFFFFFFFu, L""}, {"hello", 3, L"hel"},
                {"hi", 10, L"hi"},                {"hi", 0, L""}};
    for (const Row& r : rows)
        EXPECT_EQ(r.count == 0xFFFFFFFFu ? StringHelper<wchar_t>::convert(r.narrow)
                                         : StringHelper<wchar_t>::convert(r.narrow, r.count),
                  r.wide);
}

TEST(CharTraitsNc, FoldsOnlyAsciiCapitals) {
    const char text[] = "aBc";
    EXPECT_EQ(char_traits_nc<char>::find(text, 3, 'b'), text + 1);
    EXPECT_EQ(char_traits_nc<char>::find(text, 0, 'a'), nullptr);
    // '@' is 32 below '`': only the 26 capitals fold.
    const char grave[] = "`";
    EXPECT_EQ(char_traits_nc<char>::find(grave, 1, '@'), nullptr);
    EXPECT_FALSE(char_traits_nc<char>::eq('[', '{'));
    EXPECT_FALSE(char_traits_nc<wchar_t>::eq(L'\u00C4', L'\u00E4'));
    using NoCase = std::basic_string<char, char_traits_nc<char>>;
    EXPECT_EQ(NoCase("Hello World"), NoCase("hello world"));
    EXPECT_LT(NoCase("apple"), NoCase("BANANA"));
}
