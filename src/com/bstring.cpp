// BString: one owned BSTR.
#include <vesk/com/bstring.h>

#include "com_internal.h"

#include <string>
#include <utility>

namespace vesk {

namespace {
// A new BSTR holding count characters of text (null text: null string).
BSTR allocate(const wchar_t* text, unsigned count) {
    if (!text) return nullptr;
    BSTR s = SysAllocStringLen(text, count);
    if (!s) com_internal::throwBadAllocation();
    return s;
}
} // namespace

BString::BString(const wchar_t* t) : text(nullptr) { *this = t; }
BString::BString(const char* t) : text(nullptr) { *this = t; }
BString::BString(const BString& other) : text(allocate(other.text, other.length())) {}
BString::~BString() { SysFreeString(text); }

// The new string is made before the old one goes: the text may lie inside it
// (b = b.data() + 2), and SysReAllocString would free it before copying.
BString& BString::operator=(const wchar_t* t) {
    BSTR copy = allocate(t, t ? unsigned(std::char_traits<wchar_t>::length(t)) : 0);
    SysFreeString(text);
    text = copy;
    return *this;
}

BString& BString::operator=(const char* t) {
    if (!t) return *this = static_cast<const wchar_t*>(nullptr);
    const std::wstring wide = com_internal::fromAnsi(t);
    BSTR copy = allocate(wide.c_str(), unsigned(wide.size()));
    SysFreeString(text);
    text = copy;
    return *this;
}

BString& BString::operator=(const BString& other) {
    if (this != &other) {
        BSTR copy = allocate(other.text, other.length());
        SysFreeString(text);
        text = copy;
    }
    return *this;
}

BString& BString::operator=(BString&& other) noexcept {
    std::swap(text, other.text);
    return *this;
}

wchar_t** BString::operator&() {
    SysFreeString(text);
    text = nullptr;
    return &text;
}

unsigned int BString::length() const { return text ? SysStringLen(text) : 0; }

wchar_t* BString::release() noexcept {
    BSTR s = text;
    text = nullptr;
    return s;
}

BasicString<wchar_t> BString::toWString() const {
    return text ? BasicString<wchar_t>(text, length()) : BasicString<wchar_t>();
}

} // namespace vesk
