// Width dispatch to the C runtime and the 8/16-bit conversions.
#include <vesk/text/string_helper.h>

#include <vesk/errors/exception.h>
#include <vesk/text/string.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <ctime>
#include <direct.h>
#include <memory>
#include <stdexcept>

namespace vesk {

namespace {

// The Win32 conversion functions count in int: anything longer cannot be
// handed to them in one piece.
int checkedLength(unsigned length) {
    if (length != ConstString<wchar_t>::unknownLength && length > unsigned(INT_MAX))
        throw std::length_error("Can't convert a text of more than 2147483647 characters");
    return length == ConstString<wchar_t>::unknownLength ? -1 : int(length);
}

// msvcrt's C locale maps each byte to the code point of the same value, and
// msvcrt has no UTF-8 locale at all. A program whose ANSI code page is UTF-8
// (through its manifest) hands every "A" function UTF-8, so its narrow text is
// decoded in that code page; every other process keeps the C runtime's locale.
bool ansiIsUtf8() {
    static const bool utf8 = GetACP() == CP_UTF8;
    return utf8;
}

// UTF-16 to UTF-8 as WideCharToMultiByte does it with flags 0 (a lone surrogate
// becomes U+FFFD), in one pass: the system's encoder is markedly slower than its
// single-byte tables, and every text of a UTF-8 program goes through here.
std::string toUtf8(const wchar_t* text, std::size_t n) {
    std::string out(n * 3, '\0');
    char* p = &out[0];
    for (std::size_t i = 0; i < n; ++i) {
        unsigned c = text[i];
        if (c < 0x80) {
            *p++ = char(c);
            continue;
        }
        if (IS_HIGH_SURROGATE(c) && i + 1 < n && IS_LOW_SURROGATE(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unsigned(text[++i]) - 0xDC00);
            *p++ = char(0xF0 | c >> 18);
            *p++ = char(0x80 | (c >> 12 & 0x3F));
        } else {
            if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
            if (c < 0x800)
                *p++ = char(0xC0 | c >> 6);
            else
                *p++ = char(0xE0 | c >> 12);
        }
        if (c >= 0x800) *p++ = char(0x80 | (c >> 6 & 0x3F));
        *p++ = char(0x80 | (c & 0x3F));
    }
    out.resize(std::size_t(p - out.data()));
    return out;
}

} // namespace

// ---- char --------------------------------------------------------------

const char* StringHelper<char>::time(char* buffer) { return _strtime(buffer); }
const char* StringHelper<char>::date(char* buffer) { return _strdate(buffer); }
int StringHelper<char>::vsnprintf(char* buffer, unsigned size, const char* format, va_list args) {
    return _vsnprintf(buffer, size, format, args);
}
char* StringHelper<char>::lwr(char* text) { return _strlwr(text); }
char* StringHelper<char>::upr(char* text) { return _strupr(text); }
char* StringHelper<char>::tmpnam(char* buffer) { return ::tmpnam(buffer); }
char* StringHelper<char>::tempnam(const char* directory, const char* prefix) { return _tempnam(directory, prefix); }
char* StringHelper<char>::itos(int value, char* buffer, int radix) { return _itoa(value, buffer, radix); }
char* StringHelper<char>::ltos(long value, char* buffer, int radix) { return _ltoa(value, buffer, radix); }
int StringHelper<char>::tolower(int c) { return ::tolower(c); }
int StringHelper<char>::toupper(int c) { return ::toupper(c); }
int StringHelper<char>::atoi(const char* text) { return ::atoi(text); }
int StringHelper<char>::nicmp(const char* a, const char* b, unsigned count) { return _strnicmp(a, b, count); }
int StringHelper<char>::icmp(const char* a, const char* b) { return _stricmp(a, b); }
int StringHelper<char>::mkdir(const char* path) { return _mkdir(path); }
const char* StringHelper<char>::Separator() { return "\\"; }
const char* StringHelper<char>::Device() { return ":"; }
const char* StringHelper<char>::UpperDir() { return ".."; }

ConstString<char> StringHelper<char>::convert(const char* text) {
    return text ? ConstString<char>(text, ConstString<char>::unknownLength) : ConstString<char>();
}
ConstString<char> StringHelper<char>::convert(const char* text, unsigned length) {
    return text ? ConstString<char>(text, length) : ConstString<char>();
}
ConstString<char> StringHelper<char>::convert(const std::string& text) {
    // A view's length is 32 bits and 0xFFFFFFFF already means "NUL-terminated".
    if (text.size() >= ConstString<char>::unknownLength)
        throw std::length_error("Can't view a text of 4294967295 characters or more");
    return ConstString<char>(text.c_str(), unsigned(text.size()));
}

unsigned StringHelper<char>::wholeCharacters(const char* text, unsigned cut) {
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8) {
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        return cut;
    }
    // A double-byte code page: only a walk from the start tells lead bytes from
    // trail bytes.
    unsigned i = 0;
    while (i < cut) {
        const unsigned step = IsDBCSLeadByteEx(codePage, BYTE(text[i])) ? 2 : 1;
        if (i + step > cut) break;
        i += step;
    }
    return i;
}

std::string StringHelper<char>::convert(const wchar_t* text, unsigned length, unsigned codePage) {
    if (!text || length == 0 || (length == ConstString<wchar_t>::unknownLength && *text == 0)) return std::string();
    const int count = checkedLength(length);
    if (codePage == CP_UTF8 || (codePage == CP_ACP && ansiIsUtf8()))
        return toUtf8(text, count == -1 ? std::char_traits<wchar_t>::length(text) : std::size_t(count));
    int needed = WideCharToMultiByte(codePage, 0, text, count, nullptr, 0, nullptr, nullptr);
    if (needed == 0) throw WindowsError("Can't retrieve required buffer size for wchar_t -> char conversion");
    std::unique_ptr<char[]> buffer(new char[needed]);
    int converted = WideCharToMultiByte(codePage, 0, text, count, buffer.get(), needed, nullptr, nullptr);
    if (converted == 0) throw WindowsError("Can't convert wchar_t -> char string");
    if (count == -1) --converted;
    return std::string(buffer.get(), std::size_t(converted));
}

// ---- wchar_t -----------------------------------------------------------

const wchar_t* StringHelper<wchar_t>::time(wchar_t* buffer) { return _wstrtime(buffer); }
const wchar_t* StringHelper<wchar_t>::date(wchar_t* buffer) { return _wstrdate(buffer); }
int StringHelper<wchar_t>::vsnprintf(wchar_t* buffer, unsigned size, const wchar_t* format, va_list args) {
    return _vsnwprintf(buffer, size, format, args);
}
wchar_t* StringHelper<wchar_t>::lwr(wchar_t* text) { return _wcslwr(text); }
wchar_t* StringHelper<wchar_t>::upr(wchar_t* text) { return _wcsupr(text); }
wchar_t* StringHelper<wchar_t>::tmpnam(wchar_t* buffer) { return _wtmpnam(buffer); }
wchar_t* StringHelper<wchar_t>::tempnam(const wchar_t* directory, const wchar_t* prefix) {
    return _wtempnam(directory, prefix);
}
wchar_t* StringHelper<wchar_t>::itos(int value, wchar_t* buffer, int radix) { return _itow(value, buffer, radix); }
wchar_t* StringHelper<wchar_t>::ltos(long value, wchar_t* buffer, int radix) { return _ltow(value, buffer, radix); }
int StringHelper<wchar_t>::tolower(int c) { return int(::towlower(wint_t(c)) & 0xFFFF); }
int StringHelper<wchar_t>::toupper(int c) { return int(::towupper(wint_t(c)) & 0xFFFF); }
int StringHelper<wchar_t>::atoi(const wchar_t* text) { return _wtoi(text); }
int StringHelper<wchar_t>::nicmp(const wchar_t* a, const wchar_t* b, unsigned count) { return _wcsnicmp(a, b, count); }
int StringHelper<wchar_t>::icmp(const wchar_t* a, const wchar_t* b) { return _wcsicmp(a, b); }
int StringHelper<wchar_t>::mkdir(const wchar_t* path) { return _wmkdir(path); }
const wchar_t* StringHelper<wchar_t>::Separator() { return L"\\"; }
const wchar_t* StringHelper<wchar_t>::Device() { return L":"; }
const wchar_t* StringHelper<wchar_t>::UpperDir() { return L".."; }

unsigned StringHelper<wchar_t>::wholeCharacters(const wchar_t* text, unsigned cut) {
    return cut > 0 && IS_HIGH_SURROGATE(text[cut - 1]) && IS_LOW_SURROGATE(text[cut]) ? cut - 1 : cut;
}

ConstString<wchar_t> StringHelper<wchar_t>::convert(const wchar_t* text) {
    return text ? ConstString<wchar_t>(text, ConstString<wchar_t>::unknownLength) : ConstString<wchar_t>();
}
ConstString<wchar_t> StringHelper<wchar_t>::convert(const wchar_t* text, unsigned length) {
    return text ? ConstString<wchar_t>(text, length) : ConstString<wchar_t>();
}

namespace {

[[noreturn]] void invalidInLocale() {
    throw CRTError(EILSEQ, "Can't convert char -> wchar_t string in the current locale");
}

// The whole NUL-terminated text in UTF-8; invalid sequences fail as they do
// in the runtime's locale.
std::wstring fromUtf8(const char* text) {
    const int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (needed == 0) invalidInLocale();
    std::wstring wide(std::size_t(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, &wide[0], needed);
    wide.resize(std::size_t(needed - 1));
    return wide;
}

// mbstowcs answers (size_t)-1 for text that is not valid in the current
// locale; that must be reported, not used as a buffer size.
std::size_t localeLength(const char* text) {
    std::size_t n = std::mbstowcs(nullptr, text, 0);
    if (n == std::size_t(-1)) invalidInLocale();
    return n;
}

} // namespace

std::wstring StringHelper<wchar_t>::convert(const char* text) {
    if (!text || !*text) return std::wstring();
    if (ansiIsUtf8()) return fromUtf8(text);
    const std::size_t n = localeLength(text) + 1;
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[n]);
    std::size_t converted = std::mbstowcs(buffer.get(), text, n);
    if (converted == std::size_t(-1)) invalidInLocale();
    buffer[n - 1] = 0;
    return std::wstring(buffer.get());
}

std::wstring StringHelper<wchar_t>::convert(const char* text, unsigned count) {
    if (!text || !*text || count == 0) return std::wstring();
    if (ansiIsUtf8()) {
        // The count is in 16-bit units, as mbstowcs counts them; a surrogate
        // pair that would be cut is left out whole.
        std::wstring wide = fromUtf8(text);
        if (wide.size() > count) wide.resize(count - (IS_HIGH_SURROGATE(wide[count - 1]) ? 1 : 0));
        return wide;
    }
    const std::size_t n = localeLength(text);
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[n + 1]);
    const std::size_t limit = count < n ? count : n;
    std::size_t converted = std::mbstowcs(buffer.get(), text, limit);
    if (converted == std::size_t(-1)) invalidInLocale();
    return std::wstring(buffer.get(), converted);
}

BasicString<wchar_t> a2w(const char* text, unsigned codePage) {
    if (!text) text = "";
    int needed = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    // A failed size query (needed == 0) fails the conversion below as well, so
    // both report the same error.
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[needed > 0 ? needed : 1]);
    int converted = MultiByteToWideChar(codePage, 0, text, -1, buffer.get(), needed);
    if (converted == 0) throw WindowsError("Can't convert multi byte string to unicode");
    return BasicString<wchar_t>(buffer.get(), unsigned(converted - 1));
}

BasicString<wchar_t> a2w(const char* text, unsigned count, unsigned codePage) {
    if (!text || count == 0) return BasicString<wchar_t>();
    if (count > 0x7FFFFFFFu) throw WindowsError(ERROR_ARITHMETIC_OVERFLOW, "Can't convert multi byte string to unicode");
    const int needed = MultiByteToWideChar(codePage, 0, text, int(count), nullptr, 0);
    std::wstring wide(std::size_t(needed > 0 ? needed : 0), L'\0');
    if (needed <= 0 || MultiByteToWideChar(codePage, 0, text, int(count), &wide[0], needed) == 0)
        throw WindowsError("Can't convert multi byte string to unicode");
    return BasicString<wchar_t>(wide.data(), unsigned(wide.size()));
}

} // namespace vesk
