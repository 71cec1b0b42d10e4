// DeviceContext: a device context owned (a memory context, or one obtained from
// a window) or referred to, with drawing, text, paths and bitmap copies.
// PaintDeviceContext: the context of one WM_PAINT, between BeginPaint and EndPaint.
//
// Selecting returns the previous object without ownership, so the caller can
// put it back. The context also remembers the object it found selected of each
// kind and puts those back when it is closed, so that no object of the caller
// stays selected into a released context; an owned GDI object that is deleted
// while selected into a live context is first taken out of it.
#pragma once

#include <vesk/config.h>
#include <vesk/gdi/gdi_object.h>
#include <vesk/gdi/geometry.h>

#include <string>

namespace vesk {

class VESK_API DeviceContext {
public:
    // Wraps a context it does not own.
    explicit DeviceContext(HDC dc);
    // A memory context compatible with the screen, owned.
    DeviceContext();
    // Not a copy: a new memory context compatible with other's, owned.
    DeviceContext(const DeviceContext& other);
    // The window's client area context, or its whole-window context; released on close.
    DeviceContext(HWND window, bool wholeWindow);
    DeviceContext& operator=(const DeviceContext&) = delete;
    virtual ~DeviceContext();

    virtual void close();

    HDC getHandle() const { return handle; }
    operator HDC() const { return handle; }
    HWND getWindow() const { return window; }
    bool isOwned() const { return owned; }
    explicit operator bool() const { return handle != nullptr; }
    bool operator!() const { return handle == nullptr; }

    Pen select(HPEN pen);
    Brush select(HBRUSH brush);
    Bitmap select(HBITMAP bitmap);
    Bitmap select(const Bitmap& bitmap);
    Font select(HFONT font);
    Palette select(HPALETTE palette, bool forceBackground);
    unsigned realizePalette() const;
    bool usesPalette() const;
    int getCapabilities(int index) const;

    unsigned long setBackgroundColour(unsigned long colour) const;
    unsigned long getBackgroundColour() const;
    unsigned long setTextColour(unsigned long colour) const;
    unsigned long getTextColour() const;

    Point moveTo(int x, int y);
    Point moveTo(const POINT& p);
    void lineTo(int x, int y) const;
    void lineTo(const POINT& p) const;

    void fillRectangle(int systemColour, const RECT& rect) const;
    void fillRectangle(const Brush& brush, const RECT& rect) const;
    void fillRectangle(unsigned long colour, const RECT& rect) const;
    void drawRectangle3D(const RECT& rect, unsigned long topLeft, unsigned long bottomRight) const;
    void drawRectangle3D(const RECT& rect, bool raised) const;

    void blit(HDC source, int xSource, int ySource, int cx, int cy, int xDest, int yDest, unsigned long rop) const;
    // Copies the area of the bitmap, leaving the destination visible where the
    // bitmap has the transparent colour (CLR_INVALID: the area's top-left pixel).
    void blitTransparent(HBITMAP bitmap, int xSource, int ySource, int cx, int cy, int xDest, int yDest,
                         unsigned long transparent, HPALETTE palette) const;
    void drawIcon(int x, int y, HICON icon) const;

    void getTextMetrics(TEXTMETRICA& metrics) const;
    void getTextMetrics(TEXTMETRICW& metrics) const;
    Size getTextExtent(const char* text, unsigned length) const;
    Size getTextExtent(const wchar_t* text, unsigned length) const;
    Size getTextExtent(const char* text) const;
    Size getTextExtent(const wchar_t* text) const;
    Size getTextExtent(const std::string& text) const;
    Size getTextExtent(const std::wstring& text) const;
    unsigned getTextAlign() const;
    unsigned setTextAlign(unsigned align) const;
    void drawText(int x, int y, const char* text, unsigned length) const;
    void drawText(int x, int y, const wchar_t* text, unsigned length) const;
    void drawText(int x, int y, const char* text) const;
    void drawText(int x, int y, const wchar_t* text) const;
    void drawText(int x, int y, const std::string& text) const;
    void drawText(int x, int y, const std::wstring& text) const;
    int getFontHeightFromPoints(int points) const;

    void beginPath() const;
    void abortPath() const;
    void endPath() const;
    void fillPath() const;
    void strokeAndFillPath() const;
    void strokePath() const;
    void widenPath() const;
    void flattenPath() const;
    void closeFigure() const;

    int setROP2(int mode) const;
    int getROP2() const;
    Point setViewportOrigin(int x, int y);
    Point setViewportOrigin(const POINT& p);
    unsigned long getPixel(int x, int y) const;
    unsigned long getPixel(const POINT& p) const;

    // Takes an object out of this context if it is selected into it, putting
    // back the one this context found there. Used before deleting the object.
    void deselect(HGDIOBJ object) noexcept;

protected:
    // Remembers the first object this context replaced of each kind.
    void remember(int kind, HGDIOBJ previous);
    // Selects the remembered objects back.
    void restoreSelections() noexcept;

    HDC handle;
    HWND window;
    bool owned;

private:
    enum { pen, brush, bitmap, font, palette, kinds };
    HGDIOBJ originals[kinds];
    bool registered;
};

class VESK_API PaintDeviceContext : public DeviceContext {
public:
    explicit PaintDeviceContext(HWND window);
    // A memory context compatible with other's, holding a copy of its paint
    // record; closing the copy ends no painting.
    PaintDeviceContext(const PaintDeviceContext& other);
    ~PaintDeviceContext() override;

    void close() override;

    const PAINTSTRUCT& getPaintStruct() const { return paint; }
    HWND getPaintedWindow() const { return paintedWindow; }

protected:
    PAINTSTRUCT paint;
    HWND paintedWindow;

private:
    bool painting;
};

} // namespace vesk
