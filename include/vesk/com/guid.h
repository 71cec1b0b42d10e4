// GUIDs as text and in order, and readable names for GUIDs and HRESULTs.
//
// The names come first from two look-up files named under
// HKEY_LOCAL_MACHINE\Software\{3C5E91A7-2B48-4F0D-9D61-85E2A7C04B19}\Files
// (values "GUIDs.txt" and "HRESULTs.txt"), each read once per process, then from
// fixed rules and the system's registry of interfaces and classes. The first
// look-up of each kind fills a process-wide table: make it before other threads
// look names up.
#pragma once

#include <vesk/config.h>
#include <vesk/text/string.h>

#include <objbase.h>

#include <cstring>
#include <istream>
#include <map>

namespace vesk {

// Byte order in memory, unsigned, from the first byte: Data1 compares by its
// little-endian bytes, not as a number. (GUID lives in the global namespace, so
// std::map<GUID, ...> does not find this by itself: give it GUIDLess.)
inline bool operator<(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
struct GUIDLess {
    bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};

// The braced form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits of either
// case) and nothing else; any other text, or a null pointer, throws a COMError
// (CO_E_CLASSSTRING or E_POINTER) that quotes it.
VESK_API GUID toGUID(const wchar_t* text);
VESK_API GUID toGUID(const char* text);

// The 38-character braced form, upper-case digits.
VESK_API BasicString<wchar_t> toWString(const GUID& guid);
VESK_API BasicString<char> toString(const GUID& guid);
VESK_API BasicString<char> toTString(const GUID& guid);
// lookUp false: the braced form; true: the readable name (see the file comment).
VESK_API BasicString<char> toAString(const GUID& guid, bool lookUp);

// The name of an HRESULT from the look-up file, else "HRESULT value " and the
// code in lower-case hex.
VESK_API BasicString<char> getHRESULTIdentifier(long hr);

// The readers behind the two look-up files, for tools that check such a file.
// GUIDs.txt: pairs of a braced GUID text and a name token. HRESULTs.txt: entries
// of a hex number (1 to 8 digits, "0x" allowed), a name token and an optional
// "quoted description" that is skipped. A later entry replaces an earlier one.
// Reading stops quietly at the end, at the first entry that does not parse and
// at a token longer than maxNameFileToken; the entries before it stay.
using GUIDNames = std::map<GUID, BasicString<char>, GUIDLess>;
using HRESULTNames = std::map<long, BasicString<char>>;
constexpr unsigned maxNameFileToken = 1024;
VESK_API void readGUIDNames(std::istream& in, GUIDNames& names);
VESK_API void readHRESULTNames(std::istream& in, HRESULTNames& names);

} // namespace vesk
