// Variant: an owned VARIANT.
#include <vesk/com/bstring.h>
#include <vesk/com/com_error.h>
#include <vesk/com/variant.h>

#include <cstring>

namespace vesk {

Variant::Variant() noexcept { initialize(); }

Variant::Variant(int value) {
    initialize();
    vt = VT_I4;
    lVal = value;
}

Variant::Variant(const wchar_t* text) {
    initialize();
    *this = text;
}

Variant::Variant(const char* text) {
    initialize();
    *this = text;
}

Variant::Variant(const VARIANT& source, unsigned short type, unsigned short flags) {
    initialize();
    HRESULTHolder::throwOnError(VariantChangeType(this, const_cast<VARIANT*>(&source), flags, type),
                                "Can't change variant type");
}

Variant::Variant(const Variant& other) {
    initialize();
    HRESULTHolder::throwOnError(VariantCopy(this, const_cast<Variant*>(&other)), "Can't copy variant");
}

Variant::Variant(Variant&& other) noexcept {
    std::memcpy(static_cast<VARIANT*>(this), static_cast<VARIANT*>(&other), sizeof(VARIANT));
    other.initialize();
}

Variant::~Variant() { VariantClear(this); }

Variant& Variant::operator=(const char* text) { return assign(BString(text)); }

Variant& Variant::operator=(const wchar_t* text) { return assign(BString(text)); }

// The new BSTR is made first: the text may be this variant's own.
Variant& Variant::assign(BString&& value) {
    reset();
    vt = VT_BSTR;
    bstrVal = value.release();
    return *this;
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        Variant copy(other);
        swap(copy);
    }
    return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        VariantClear(this);
        std::memcpy(static_cast<VARIANT*>(this), static_cast<VARIANT*>(&other), sizeof(VARIANT));
        other.initialize();
    }
    return *this;
}

void Variant::changeType(unsigned short type, unsigned short flags) {
    HRESULTHolder::throwOnError(VariantChangeType(this, this, flags, type), "Can't change variant type");
}

VARIANT Variant::release() noexcept {
    VARIANT content;
    std::memcpy(&content, static_cast<VARIANT*>(this), sizeof(VARIANT));
    initialize();
    return content;
}

BasicString<wchar_t> Variant::toWString() const {
    if (vt == VT_BSTR) return BString(bstrVal).toWString();
    return Variant(*this, VT_BSTR).toWString();
}

void Variant::initialize() noexcept { VariantInit(this); }

void Variant::dispose() { HRESULTHolder::throwOnError(VariantClear(this), "Error in disposing variant"); }

void Variant::reset() {
    dispose();
    initialize();
}

void Variant::swap(Variant& other) noexcept {
    VARIANT t;
    std::memcpy(&t, static_cast<VARIANT*>(this), sizeof(VARIANT));
    std::memcpy(static_cast<VARIANT*>(this), static_cast<VARIANT*>(&other), sizeof(VARIANT));
    std::memcpy(static_cast<VARIANT*>(&other), &t, sizeof(VARIANT));
}

} // namespace vesk
