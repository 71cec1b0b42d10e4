// File names at the boundary between 16-bit callers and the 8-bit Win32 calls the
// file classes make.
#pragma once

#include <vesk/text/string.h>

#include <string>

namespace vesk {
namespace detail {

// Drops a leading \\?\ (and turns \\?\UNC\server\share into \\server\share, which
// is what it names); other names are returned unchanged.
std::wstring withoutLongPrefix(const wchar_t* name);

// The name in the ANSI code page, without best-fit look-alikes: a character the
// code page cannot hold comes out as '?' and sets lossy.
BasicString<char> toAnsi(const wchar_t* name, bool& lossy);

// toAnsi for a name that is about to be used: a lossy conversion throws
// WindowsError(ERROR_NO_UNICODE_TRANSLATION) with what + " \"" + name + "\"".
BasicString<char> ansiName(const wchar_t* name, const char* what);

// "<what> \"<name>\"" with a null name shown as empty.
std::string quoted(const char* what, const char* name);

} // namespace detail
} // namespace vesk
