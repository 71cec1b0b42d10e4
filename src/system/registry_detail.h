// Shared by the registry sources: name conversion between the widths, the
// whole-value read and the messages that name a key or value.
#pragma once

#include <vesk/config.h>

#include <string>
#include <vector>

namespace vesk {
namespace detail {

// A wide name in the ANSI code page; null gives the empty name.
std::string narrowName(const wchar_t* name);
// Narrow text (embedded zeros kept) from the ANSI code page to UTF-16.
std::wstring widen(const std::string& text);

inline void toWidth(const std::string& text, std::string& out) { out = text; }
inline void toWidth(const std::string& text, std::wstring& out) { out = widen(text); }

// The whole data of a value, however its size changes between the calls.
// Answers the registry's error code.
LONG readValue(HKEY key, const char* name, std::vector<unsigned char>& data, DWORD& type);

// `text "name"`, the form of every message that names a key or value.
std::string named(const char* text, const char* name);

// Deletes `name` under `parent` in the given registry view.
LONG deleteSubkey(HKEY parent, const char* name, unsigned long view);

} // namespace detail
} // namespace vesk
