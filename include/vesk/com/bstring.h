// BString: the owner of one BSTR. Copies are deep, moves hand the string over:
// no BSTR ever has two owners.
#pragma once

#include <vesk/config.h>
#include <vesk/text/string.h>

#include <oleauto.h>

namespace vesk {

class VESK_API BString {
public:
    BString() noexcept : text(nullptr) {}
    BString(const wchar_t* text);
    // The text converted to UTF-16 from the ANSI code page.
    BString(const char* text);
    BString(const BString& other);
    BString(BString&& other) noexcept : text(other.text) { other.text = nullptr; }
    ~BString();

    BString& operator=(const wchar_t* text);
    BString& operator=(const char* text);
    BString& operator=(const BString& other);
    BString& operator=(BString&& other) noexcept;

    // Frees the string and gives the address of the (now null) member, for a COM
    // call that returns a BSTR through it.
    wchar_t** operator&();

    wchar_t* data() const { return text; }
    unsigned int length() const;
    // Hands the string to the caller, who frees it; the object is null afterwards.
    wchar_t* release() noexcept;

    // Exactly length() characters, embedded zeros kept.
    BasicString<wchar_t> toWString() const;
    operator BasicString<wchar_t>() const { return toWString(); }

private:
    BSTR text;
};

} // namespace vesk
