// Helpers shared by the COM sources of the library (not exported).
#pragma once

#include <vesk/text/string_helper.h>
#include <windows.h>

#include <cstddef>
#include <new>
#include <string>

namespace vesk {
namespace com_internal {

// std::bad_alloc with the library's text "bad allocation".
class BadAllocation : public std::bad_alloc {
public:
    const char* what() const noexcept override { return "bad allocation"; }
};

[[noreturn]] inline void throwBadAllocation() { throw BadAllocation(); }

// Narrow text as COM and the shell hand it over: in the ANSI code page, not in
// the C runtime's locale. count bytes (embedded zeros kept); a byte the code
// page has no character for becomes the code page's default character.
inline std::wstring fromAnsi(const char* text, std::size_t count) {
    if (!text || count == 0) return std::wstring();
    if (count > 0x7FFFFFFF) throwBadAllocation();
    return a2w(text, unsigned(count), CP_ACP);
}
inline std::wstring fromAnsi(const char* text) { return text ? fromAnsi(text, std::char_traits<char>::length(text)) : std::wstring(); }

} // namespace com_internal
} // namespace vesk
