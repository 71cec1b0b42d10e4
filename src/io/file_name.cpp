// Name conversions shared by the file classes.
#include "io/file_name.h"

#include <vesk/errors/exception.h>

#include <cwchar>
#include <vector>

namespace vesk {
namespace detail {

std::wstring withoutLongPrefix(const wchar_t* name) {
    if (!name) return std::wstring();
    if (std::wcsncmp(name, L"\\\\?\\", 4) != 0) return name;
    if (std::wcsncmp(name + 4, L"UNC\\", 4) == 0) return L"\\\\" + std::wstring(name + 8);
    return name + 4;
}

BasicString<char> toAnsi(const wchar_t* name, bool& lossy) {
    lossy = false;
    if (!name || !*name) return BasicString<char>();
    // A UTF-8 code page holds every character and takes neither the flag nor the
    // default-character report.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* report = utf8 ? nullptr : &usedDefault;
    const int needed = WideCharToMultiByte(CP_ACP, flags, name, -1, nullptr, 0, nullptr, report);
    if (needed == 0) throw WindowsError("Can't retrieve required buffer size for wchar_t -> char conversion");
    std::vector<char> buffer(static_cast<std::size_t>(needed));
    usedDefault = FALSE;
    if (WideCharToMultiByte(CP_ACP, flags, name, -1, buffer.data(), needed, nullptr, report) == 0)
        throw WindowsError("Can't convert wchar_t -> char string");
    lossy = usedDefault != FALSE;
    return BasicString<char>(buffer.data());
}

BasicString<char> ansiName(const wchar_t* name, const char* what) {
    bool lossy = false;
    BasicString<char> ansi = toAnsi(name, lossy);
    if (lossy) throw WindowsError(ERROR_NO_UNICODE_TRANSLATION, quoted(what, ansi.c_str()));
    return ansi;
}

std::string quoted(const char* what, const char* name) {
    return std::string(what) + " \"" + (name ? name : "") + "\"";
}

} // namespace detail
} // namespace vesk
