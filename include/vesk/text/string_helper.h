// Character-width layer under BasicString: one generic name per C runtime
// function for char and wchar_t, a non-owning text view, the 8/16-bit
// conversions and case-insensitive character traits.
#pragma once

#include <vesk/config.h>

#include <cstdarg>
#include <cstddef>
#include <string>
#include <type_traits>

namespace vesk {

template <class C> class BasicString;

// A read-only view of text: a pointer and a 32-bit length. The length
// 0xFFFFFFFF means the text is NUL-terminated and not measured yet.
template <class C> struct ConstString {
    static constexpr unsigned unknownLength = 0xFFFFFFFFu;

    const C* text;
    unsigned length;

    ConstString() : text(nullptr), length(0) {}
    ConstString(const C* t, unsigned n) : text(t), length(t ? n : 0) {}

    // The length in characters, measuring a NUL-terminated view.
    std::size_t size() const {
        if (!text) return 0;
        return length == unknownLength ? std::char_traits<C>::length(text) : length;
    }
};

template <class C> struct StringHelper;

template <> struct VESK_API StringHelper<char> {
    using Char = char;

    StringHelper& operator=(const StringHelper&) { return *this; }

    static const char* time(char* buffer);
    static const char* date(char* buffer);
    static int vsnprintf(char* buffer, unsigned size, const char* format, va_list args);
    static char* lwr(char* text);
    static char* upr(char* text);
    static char* tmpnam(char* buffer);
    static char* tempnam(const char* directory, const char* prefix);
    static char* itos(int value, char* buffer, int radix);
    static char* ltos(long value, char* buffer, int radix);
    static int tolower(int c);
    static int toupper(int c);
    static int atoi(const char* text);
    static int nicmp(const char* a, const char* b, unsigned count);
    static int icmp(const char* a, const char* b);
    static int mkdir(const char* path);

    static const char* Separator();
    static const char* Device();
    static const char* UpperDir();

    static ConstString<char> convert(const char* text);
    static ConstString<char> convert(const char* text, unsigned length);
    static ConstString<char> convert(const std::string& text);

    // Wide to narrow through a code page; length in 16-bit units, 0xFFFFFFFF
    // for NUL-terminated text.
    static std::string convert(const wchar_t* text, unsigned length, unsigned codePage);

    // The longest prefix of at most cut bytes that ends between two characters of
    // the ANSI code page (UTF-8 or double-byte); text[cut] must be readable.
    static unsigned wholeCharacters(const char* text, unsigned cut);
};

template <> struct VESK_API StringHelper<wchar_t> {
    using Char = wchar_t;

    StringHelper& operator=(const StringHelper&) { return *this; }

    static const wchar_t* time(wchar_t* buffer);
    static const wchar_t* date(wchar_t* buffer);
    static int vsnprintf(wchar_t* buffer, unsigned size, const wchar_t* format, va_list args);
    static wchar_t* lwr(wchar_t* text);
    static wchar_t* upr(wchar_t* text);
    static wchar_t* tmpnam(wchar_t* buffer);
    static wchar_t* tempnam(const wchar_t* directory, const wchar_t* prefix);
    static wchar_t* itos(int value, wchar_t* buffer, int radix);
    static wchar_t* ltos(long value, wchar_t* buffer, int radix);
    static int tolower(int c);
    static int toupper(int c);
    static int atoi(const wchar_t* text);
    static int nicmp(const wchar_t* a, const wchar_t* b, unsigned count);
    static int icmp(const wchar_t* a, const wchar_t* b);
    static int mkdir(const wchar_t* path);

    static const wchar_t* Separator();
    static const wchar_t* Device();
    static const wchar_t* UpperDir();

    static ConstString<wchar_t> convert(const wchar_t* text);
    static ConstString<wchar_t> convert(const wchar_t* text, unsigned length);

    // Narrow to wide through the C runtime's current locale (mbstowcs); the
    // second form converts at most `count` units.
    static std::wstring convert(const char* text);
    static std::wstring convert(const char* text, unsigned count);

    // cut, or one less where a surrogate pair would be split; text[cut] must be
    // readable.
    static unsigned wholeCharacters(const wchar_t* text, unsigned cut);
};

// Narrow (in the given code page) to wide through MultiByteToWideChar.
VESK_API BasicString<wchar_t> a2w(const char* text, unsigned codePage);
// The same for exactly count bytes, zeros included.
VESK_API BasicString<wchar_t> a2w(const char* text, unsigned count, unsigned codePage);

// Character traits that compare after folding 'A'..'Z' to 'a'..'z' and
// nothing else, so the result never depends on the locale.
template <class C> struct char_traits_nc : std::char_traits<C> {
    using typename std::char_traits<C>::char_type;
    using typename std::char_traits<C>::int_type;

    static constexpr C fold(C c) { return (c >= C('A') && c <= C('Z')) ? C(c + 32) : c; }

    static constexpr bool eq(C a, C b) { return fold(a) == fold(b); }
    static constexpr bool lt(C a, C b) {
        using U = std::make_unsigned_t<C>;
        return U(fold(a)) < U(fold(b));
    }
    static int compare(const C* a, const C* b, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            if (lt(a[i], b[i])) return -1;
            if (lt(b[i], a[i])) return 1;
        }
        return 0;
    }
    static const C* find(const C* text, std::size_t n, const C& c) {
        for (std::size_t i = 0; i < n; ++i)
            if (eq(text[i], c)) return text + i;
        return nullptr;
    }
};

} // namespace vesk
