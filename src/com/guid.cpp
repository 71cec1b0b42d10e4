// GUID texts: strict parsing of the braced form and the StringFromGUID2 text.
#include <vesk/com/com_error.h>
#include <vesk/com/guid.h>

#include "com_internal.h"

#include <cwctype>

namespace vesk {

namespace {

// CLSIDFromString also takes ProgIDs (looked up in the registry) and, on some
// systems, a null pointer as the null GUID: only the braced form gets there.
bool isBracedGUID(const wchar_t* text) {
    static const char pattern[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    for (unsigned i = 0; i < sizeof(pattern) - 1; ++i) {
        const wchar_t c = text[i];
        if (pattern[i] == 'X' ? !std::iswxdigit(c) || c > 0x7F : c != wchar_t(pattern[i])) return false;
    }
    return text[sizeof(pattern) - 1] == 0;
}

} // namespace

GUID toGUID(const wchar_t* text) {
    if (!text) throw COMError(static_cast<unsigned long>(E_POINTER), "Can't read a GUID from a null text");
    const std::string quoted = "\"" + BasicString<char>(text) + "\"";
    if (!isBracedGUID(text))
        throw COMError(static_cast<unsigned long>(CO_E_CLASSSTRING), "Can't read the GUID " + quoted);
    GUID guid;
    HRESULTHolder::throwOnError(CLSIDFromString(const_cast<wchar_t*>(text), &guid),
                                ("Can't read the GUID " + quoted).c_str());
    return guid;
}

GUID toGUID(const char* text) {
    if (!text) throw COMError(static_cast<unsigned long>(E_POINTER), "Can't read a GUID from a null text");
    return toGUID(com_internal::fromAnsi(text).c_str());
}

BasicString<wchar_t> toWString(const GUID& guid) {
    wchar_t buffer[39];
    if (StringFromGUID2(guid, buffer, 39) != 39) throw COMError(static_cast<unsigned long>(E_UNEXPECTED), "Can't write a GUID");
    return BasicString<wchar_t>(buffer, 38);
}

BasicString<char> toString(const GUID& guid) { return toAString(guid, false); }
BasicString<char> toTString(const GUID& guid) { return toAString(guid, false); }

} // namespace vesk
