// Variant: a VARIANT that owns its content (a BSTR, an interface, an array) and
// clears it when destroyed. Copies are deep (VariantCopy), moves hand the
// content over: no content ever has two owners.
#pragma once

#include <vesk/config.h>
#include <vesk/text/string.h>

#include <oleauto.h>

namespace vesk {

class BString;

class VESK_API Variant : public VARIANT {
public:
    Variant() noexcept;
    Variant(int value);
    Variant(const wchar_t* text);
    Variant(const char* text);
    // A copy of source converted to type (VariantChangeType with flags).
    Variant(const VARIANT& source, unsigned short type, unsigned short flags = 0);
    Variant(const Variant& other);
    Variant(Variant&& other) noexcept;
    ~Variant();

    Variant& operator=(const char* text);
    Variant& operator=(const wchar_t* text);
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;

    void changeType(unsigned short type, unsigned short flags = 0);
    // Hands the content to the caller, who clears it; the object is VT_EMPTY afterwards.
    VARIANT release() noexcept;

    unsigned short getType() const { return vt; }
    void setType(unsigned short type) { vt = type; }
    bool isNull() const { return vt == VT_NULL; }
    bool isEmpty() const { return vt == VT_EMPTY; }

    // The text of a VT_BSTR variant up to its first zero; another type is
    // converted to text first (VariantChangeType), and one that has no text
    // throws COMError "Can't change variant type".
    BasicString<wchar_t> toWString() const;

private:
    void initialize() noexcept;
    void dispose();
    void reset();
    void swap(Variant& other) noexcept;
    Variant& assign(BString&& value);
};

} // namespace vesk
