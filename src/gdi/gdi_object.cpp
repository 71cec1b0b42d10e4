// GDI objects, icons and cursors: creation, hand-over of ownership and release.
#include <vesk/gdi/gdi_object.h>

#include <vesk/errors/exception.h>
#include <vesk/text/string.h>

#include "selection_registry.h"

#include <boost/numeric/conversion/cast.hpp>

#include <cstdlib>
#include <string>
#include <utility>

namespace vesk {

// ---- GDIHandle ---------------------------------------------------------

GDIHandle::GDIHandle(GDIHandle& other) noexcept : handle(nullptr), owned(false) { take(other); }
GDIHandle::GDIHandle(GDIHandle&& other) noexcept : handle(nullptr), owned(false) { take(other); }

void GDIHandle::take(GDIHandle& other) noexcept {
    handle = other.handle;
    owned = other.owned;
    if (other.owned) {
        other.handle = nullptr;
        other.owned = false;
    }
}

GDIHandle& GDIHandle::operator=(GDIHandle& other) {
    if (this != &other && handle != other.handle) {
        close();
        take(other);
    } else if (this != &other && other.owned) {
        // Both name the same handle: keep one owner.
        owned = true;
        other.handle = nullptr;
        other.owned = false;
    }
    return *this;
}

GDIHandle& GDIHandle::operator=(GDIHandle&& other) { return operator=(static_cast<GDIHandle&>(other)); }

GDIHandle::~GDIHandle() {
    try {
        close();
    } catch (...) {
    }
}

void GDIHandle::close() {
    if (handle && owned) {
        gdi_detail::deselectEverywhere(handle);
        SetLastError(0);
        if (!DeleteObject(handle))
            throw WindowsError("Can't delete GDI handle");
    }
    owned = false;
    handle = nullptr;
}

HGDIOBJ GDIHandle::release() noexcept {
    HGDIOBJ h = handle;
    handle = nullptr;
    owned = false;
    return h;
}

// ---- Bitmap ------------------------------------------------------------

Bitmap::Bitmap(unsigned short id, HINSTANCE instance) {
    HBITMAP h = LoadBitmapA(instance, MAKEINTRESOURCEA(id));
    if (!h)
        throw WindowsError("Can't load bitmap " + std::to_string(id));
    setHandle(h, true);
}

Bitmap::Bitmap(int cx, int cy, unsigned planes, unsigned bitsPerPixel, const void* bits) {
    HBITMAP h = CreateBitmap(cx, cy, planes, bitsPerPixel, bits);
    if (!h)
        throw WindowsError("Can't create bitmap");
    setHandle(h, true);
}

Bitmap::Bitmap(HDC compatibleWith, int cx, int cy) {
    HBITMAP h = CreateCompatibleBitmap(compatibleWith, cx, cy);
    if (!h)
        throw WindowsError("Can't create compatible bitmap");
    setHandle(h, true);
}

void Bitmap::getHeader(BITMAPINFOHEADER& header) const {
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biBitCount = 0;
    HDC memory = CreateCompatibleDC(nullptr);
    if (!memory)
        throw WindowsError("Can't create compatible DC");
    const int lines = GetDIBits(memory, static_cast<HBITMAP>(handle), 0, 0, nullptr,
                                reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    const unsigned long error = GetLastError();
    DeleteDC(memory);
    if (!lines)
        throw WindowsError(error, "Can't query bitmap info header");
}

Size Bitmap::getSize() const {
    BITMAPINFOHEADER header{};
    getHeader(header);
    return Size(int(header.biWidth), int(std::labs(header.biHeight)));
}

// ---- Brush, Pen, Font ----------------------------------------------------

Brush::Brush(unsigned long colour) {
    HBRUSH h = CreateSolidBrush(colour);
    if (!h)
        throw WindowsError("Can't create solid brush");
    setHandle(h, true);
}

Pen::Pen(unsigned long colour, int style, int width) { create(colour, style, width); }

void Pen::create(unsigned long colour, int style, int width) {
    close();
    HPEN h = CreatePen(style, width, colour);
    if (!h)
        throw WindowsError("Can't create pen");
    setHandle(h, true);
}

Font::Font(int height, int width, int escapement, int orientation, int weight, bool italic, bool underline,
           bool strikeOut, unsigned long charSet, unsigned long outputPrecision, unsigned long clipPrecision,
           unsigned long quality, unsigned long pitchAndFamily, const char* face) {
    create(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet, outputPrecision,
           clipPrecision, quality, pitchAndFamily, face);
}

Font::Font(int height, int width, int escapement, int orientation, int weight, bool italic, bool underline,
           bool strikeOut, unsigned long charSet, unsigned long outputPrecision, unsigned long clipPrecision,
           unsigned long quality, unsigned long pitchAndFamily, const wchar_t* face) {
    create(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet, outputPrecision,
           clipPrecision, quality, pitchAndFamily, face);
}

void Font::create(int height, int width, int escapement, int orientation, int weight, bool italic, bool underline,
                  bool strikeOut, unsigned long charSet, unsigned long outputPrecision, unsigned long clipPrecision,
                  unsigned long quality, unsigned long pitchAndFamily, const char* face) {
    close();
    HFONT h = CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                          outputPrecision, clipPrecision, quality, pitchAndFamily, face);
    if (!h)
        throw WindowsError("Can't create font");
    setHandle(h, true);
}

void Font::create(int height, int width, int escapement, int orientation, int weight, bool italic, bool underline,
                  bool strikeOut, unsigned long charSet, unsigned long outputPrecision, unsigned long clipPrecision,
                  unsigned long quality, unsigned long pitchAndFamily, const wchar_t* face) {
    const std::string narrow = face ? StringHelper<char>::convert(face, 0xFFFFFFFFu, CP_ACP) : std::string();
    create(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet, outputPrecision,
           clipPrecision, quality, pitchAndFamily, face ? narrow.c_str() : nullptr);
}

// ---- Icon and Cursor -------------------------------------------------------

namespace {

// The one body of Icon and Cursor: both hold a user32 handle that is
// destroyed, never deleted, and only when owned.
template <class H> struct UserHandle {
    static void take(H& handle, bool& owned, H& otherHandle, bool& otherOwned) noexcept {
        handle = otherHandle;
        owned = otherOwned;
        if (otherOwned) {
            otherHandle = nullptr;
            otherOwned = false;
        }
    }
    // Assignment hands ownership over like the copy; the same handle keeps one owner.
    template <class Close>
    static void assign(H& handle, bool& owned, H& otherHandle, bool& otherOwned, Close close) {
        if (&handle == &otherHandle) return;
        if (handle == otherHandle) {
            owned = owned || otherOwned;
            otherOwned = false;
            otherHandle = nullptr;
        } else {
            close();
            take(handle, owned, otherHandle, otherOwned);
        }
    }
};

// Resource numbers pass as they are; names are converted to the ANSI code page.
template <class Load> void loadWide(const wchar_t* name, Load load) {
    if (reinterpret_cast<ULONG_PTR>(name) <= 0xFFFF) return load(reinterpret_cast<const char*>(name));
    const std::string narrow = StringHelper<char>::convert(name, 0xFFFFFFFFu, CP_ACP);
    load(narrow.c_str());
}

} // namespace

Icon::Icon(unsigned id, HINSTANCE instance) : handle(nullptr), owned(false) { load(id, instance); }
Icon::Icon(const char* name, HINSTANCE instance) : handle(nullptr), owned(false) { load(name, instance); }
Icon::Icon(const wchar_t* name, HINSTANCE instance) : handle(nullptr), owned(false) { load(name, instance); }
Icon::Icon(Icon& other) noexcept : handle(nullptr), owned(false) {
    UserHandle<HICON>::take(handle, owned, other.handle, other.owned);
}
Icon::Icon(Icon&& other) noexcept : handle(nullptr), owned(false) {
    UserHandle<HICON>::take(handle, owned, other.handle, other.owned);
}
Icon& Icon::operator=(Icon& other) {
    UserHandle<HICON>::assign(handle, owned, other.handle, other.owned, [this] { close(); });
    return *this;
}
Icon& Icon::operator=(Icon&& other) { return operator=(static_cast<Icon&>(other)); }
Icon::~Icon() {
    try {
        close();
    } catch (...) {
    }
}

void Icon::close() {
    if (handle && owned && !DestroyIcon(handle))
        throw WindowsError("Can't destroy icon");
    handle = nullptr;
    owned = false;
}

// Resource numbers are 16 bits; a larger one would be read as a text pointer.
void Icon::load(unsigned id, HINSTANCE instance) {
    load(MAKEINTRESOURCEA(boost::numeric_cast<WORD>(id)), instance);
}

void Icon::load(const char* name, HINSTANCE instance) {
    close();
    HICON h = LoadIconA(instance, name);
    if (!h)
        throw WindowsError("Can't load icon");
    handle = h;
}

void Icon::load(const wchar_t* name, HINSTANCE instance) {
    loadWide(name, [&](const char* narrow) { load(narrow, instance); });
}

Cursor::Cursor(int id, HINSTANCE instance) : handle(nullptr), owned(false) { load(id, instance); }
Cursor::Cursor(const char* name, HINSTANCE instance) : handle(nullptr), owned(false) { load(name, instance); }
Cursor::Cursor(const wchar_t* name, HINSTANCE instance) : handle(nullptr), owned(false) { load(name, instance); }
Cursor::Cursor(Cursor& other) noexcept : handle(nullptr), owned(false) {
    UserHandle<HCURSOR>::take(handle, owned, other.handle, other.owned);
}
Cursor::Cursor(Cursor&& other) noexcept : handle(nullptr), owned(false) {
    UserHandle<HCURSOR>::take(handle, owned, other.handle, other.owned);
}
Cursor& Cursor::operator=(Cursor& other) {
    UserHandle<HCURSOR>::assign(handle, owned, other.handle, other.owned, [this] { close(); });
    return *this;
}
Cursor& Cursor::operator=(Cursor&& other) { return operator=(static_cast<Cursor&>(other)); }
Cursor::~Cursor() {
    try {
        close();
    } catch (...) {
    }
}

void Cursor::close() {
    if (handle && owned && !DestroyCursor(handle))
        throw WindowsError("Can't destroy cursor");
    handle = nullptr;
    owned = false;
}

void Cursor::load(int id, HINSTANCE instance) {
    load(MAKEINTRESOURCEA(boost::numeric_cast<WORD>(id)), instance);
}

void Cursor::load(const char* name, HINSTANCE instance) {
    close();
    HCURSOR h = LoadCursorA(instance, name);
    if (!h)
        throw WindowsError("Can't load cursor");
    handle = h;
}

void Cursor::load(const wchar_t* name, HINSTANCE instance) {
    loadWide(name, [&](const char* narrow) { load(narrow, instance); });
}

} // namespace vesk
