// Owners of GDI objects (GDIHandle and its typed kinds Bitmap, Brush, Pen, Font,
// Palette) and of icons and cursors. Each holds a handle and a flag saying
// whether it deletes the handle. Copying or assigning hands ownership over, so
// that one handle never has two owners; a const object cannot be copied.
#pragma once

#include <vesk/config.h>
#include <vesk/gdi/geometry.h>

namespace vesk {

class VESK_API GDIHandle {
public:
    GDIHandle() : handle(nullptr), owned(false) {}
    GDIHandle(void* h, bool owns) : handle(static_cast<HGDIOBJ>(h)), owned(owns) {}
    // Takes the handle and its ownership; an owning source is left empty, a
    // referring one keeps referring.
    GDIHandle(GDIHandle& other) noexcept;
    GDIHandle(GDIHandle&& other) noexcept;
    GDIHandle(const GDIHandle&) = delete;
    // Closes what this object held, then takes over as the copy constructor does.
    GDIHandle& operator=(GDIHandle& other);
    GDIHandle& operator=(GDIHandle&& other);
    ~GDIHandle();

    // Deletes an owned handle (after taking it out of any device context of the
    // library it is still selected into) and empties the object. A failed delete
    // throws WindowsError and leaves the object as it was.
    void close();
    // Gives up ownership and returns the handle; the object is left empty.
    HGDIOBJ release() noexcept;

    HGDIOBJ getHandle() const { return handle; }
    bool isOwned() const { return owned; }
    bool isNull() const { return handle == nullptr; }
    explicit operator bool() const { return handle != nullptr; }
    bool operator!() const { return handle == nullptr; }

protected:
    void setHandle(void* h, bool owns) {
        handle = static_cast<HGDIOBJ>(h);
        owned = owns;
    }
    void take(GDIHandle& other) noexcept;

    HGDIOBJ handle;
    bool owned;
};

// The copy and move members every typed kind repeats.
#define VESK_GDI_HANDOVER(Type)                                                  \
    Type(Type& other) noexcept : GDIHandle(other) {}                              \
    Type(Type&& other) noexcept : GDIHandle(static_cast<GDIHandle&&>(other)) {}   \
    Type(const Type&) = delete;                                                   \
    Type& operator=(Type& other) {                                                \
        GDIHandle::operator=(other);                                              \
        return *this;                                                             \
    }                                                                             \
    Type& operator=(Type&& other) {                                               \
        GDIHandle::operator=(static_cast<GDIHandle&&>(other));                    \
        return *this;                                                             \
    }

class VESK_API Bitmap : public GDIHandle {
public:
    Bitmap() = default;
    Bitmap(HBITMAP h, bool owns) : GDIHandle(h, owns) {}
    Bitmap(unsigned short id, HINSTANCE instance);
    Bitmap(int cx, int cy, unsigned planes, unsigned bitsPerPixel, const void* bits);
    Bitmap(HDC compatibleWith, int cx, int cy);
    VESK_GDI_HANDOVER(Bitmap)

    operator HBITMAP() const { return static_cast<HBITMAP>(handle); }
    void getHeader(BITMAPINFOHEADER& header) const;
    Size getSize() const;
};

class VESK_API Brush : public GDIHandle {
public:
    Brush() = default;
    Brush(HBRUSH h, bool owns) : GDIHandle(h, owns) {}
    explicit Brush(unsigned long colour);
    VESK_GDI_HANDOVER(Brush)

    operator HBRUSH() const { return static_cast<HBRUSH>(handle); }
};

class VESK_API Pen : public GDIHandle {
public:
    Pen() = default;
    Pen(HPEN h, bool owns) : GDIHandle(h, owns) {}
    Pen(unsigned long colour, int style, int width);
    VESK_GDI_HANDOVER(Pen)

    void create(unsigned long colour, int style, int width);
    operator HPEN() const { return static_cast<HPEN>(handle); }
};

class VESK_API Font : public GDIHandle {
public:
    Font() = default;
    Font(HFONT h, bool owns) : GDIHandle(h, owns) {}
    Font(int height, int width, int escapement, int orientation, int weight, bool italic, bool underline,
         bool strikeOut, unsigned long charSet, unsigned long outputPrecision, unsigned long clipPrecision,
         unsigned long quality, unsigned long pitchAndFamily, const char* face);
    Font(int height, int width, int escapement, int orientation, int weight, bool italic, bool underline,
         bool strikeOut, unsigned long charSet, unsigned long outputPrecision, unsigned long clipPrecision,
         unsigned long quality, unsigned long pitchAndFamily, const wchar_t* face);
    VESK_GDI_HANDOVER(Font)

    void create(int height, int width, int escapement, int orientation, int weight, bool italic, bool underline,
                bool strikeOut, unsigned long charSet, unsigned long outputPrecision, unsigned long clipPrecision,
                unsigned long quality, unsigned long pitchAndFamily, const char* face);
    void create(int height, int width, int escapement, int orientation, int weight, bool italic, bool underline,
                bool strikeOut, unsigned long charSet, unsigned long outputPrecision, unsigned long clipPrecision,
                unsigned long quality, unsigned long pitchAndFamily, const wchar_t* face);
    operator HFONT() const { return static_cast<HFONT>(handle); }
};

class VESK_API Palette : public GDIHandle {
public:
    Palette() = default;
    Palette(HPALETTE h, bool owns) : GDIHandle(h, owns) {}
    VESK_GDI_HANDOVER(Palette)

    operator HPALETTE() const { return static_cast<HPALETTE>(handle); }
};

#undef VESK_GDI_HANDOVER

// An icon. Loaded icons are shared resources of their module and are never
// destroyed; an icon made from a handle with owns = true is destroyed on close.
class VESK_API Icon {
public:
    Icon() : handle(nullptr), owned(false) {}
    Icon(HICON h, bool owns) : handle(h), owned(owns) {}
    Icon(unsigned id, HINSTANCE instance);
    Icon(const char* name, HINSTANCE instance);
    Icon(const wchar_t* name, HINSTANCE instance);
    Icon(Icon& other) noexcept;
    Icon(Icon&& other) noexcept;
    Icon(const Icon&) = delete;
    Icon& operator=(Icon& other);
    Icon& operator=(Icon&& other);
    ~Icon();

    void load(unsigned id, HINSTANCE instance);
    void load(const char* name, HINSTANCE instance);
    void load(const wchar_t* name, HINSTANCE instance);
    void close();

    HICON getHandle() const { return handle; }
    operator HICON() const { return handle; }
    bool isOwned() const { return owned; }
    bool isNull() const { return handle == nullptr; }
    explicit operator bool() const { return handle != nullptr; }
    bool operator!() const { return handle == nullptr; }

private:
    HICON handle;
    bool owned;
};

// A cursor, with the same ownership rules as Icon.
class VESK_API Cursor {
public:
    Cursor() : handle(nullptr), owned(false) {}
    Cursor(HCURSOR h, bool owns) : handle(h), owned(owns) {}
    Cursor(int id, HINSTANCE instance);
    Cursor(const char* name, HINSTANCE instance);
    // A value up to 65535 is a resource number, anything above is text.
    Cursor(const wchar_t* name, HINSTANCE instance);
    Cursor(Cursor& other) noexcept;
    Cursor(Cursor&& other) noexcept;
    Cursor(const Cursor&) = delete;
    Cursor& operator=(Cursor& other);
    Cursor& operator=(Cursor&& other);
    ~Cursor();

    void load(int id, HINSTANCE instance);
    void load(const char* name, HINSTANCE instance);
    void load(const wchar_t* name, HINSTANCE instance);
    void close();

    HCURSOR getHandle() const { return handle; }
    operator HCURSOR() const { return handle; }
    bool isOwned() const { return owned; }
    bool isNull() const { return handle == nullptr; }
    explicit operator bool() const { return handle != nullptr; }
    bool operator!() const { return handle == nullptr; }

private:
    HCURSOR handle;
    bool owned;
};

} // namespace vesk
