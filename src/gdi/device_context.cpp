// Device contexts: acquisition and release, selection bookkeeping, drawing,
// text, paths and bitmap copies.
#include <vesk/gdi/device_context.h>

#include <vesk/errors/exception.h>
#include <vesk/text/string.h>

#include "selection_registry.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

namespace vesk {

// ---- The registry of contexts with replaced objects -------------------------

namespace gdi_detail {
namespace {

// A slim lock: taking it cannot fail, so the noexcept members below that
// take it cannot end the process.
SRWLOCK registryLock = SRWLOCK_INIT;
std::vector<DeviceContext*>& registry() {
    static std::vector<DeviceContext*> contexts;
    return contexts;
}

struct Held {
    Held() { AcquireSRWLockExclusive(&registryLock); }
    ~Held() { ReleaseSRWLockExclusive(&registryLock); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
};

} // namespace

void registerContext(DeviceContext* context) {
    Held held;
    registry().push_back(context);
}

void unregisterContext(DeviceContext* context) noexcept {
    Held held;
    auto& contexts = registry();
    contexts.erase(std::remove(contexts.begin(), contexts.end(), context), contexts.end());
}

void deselectEverywhere(HGDIOBJ object) noexcept {
    Held held;
    for (DeviceContext* context : registry())
        context->deselect(object);
}

} // namespace gdi_detail

// ---- Acquisition and release -----------------------------------------------

namespace {

HDC compatibleContext(HDC other) {
    HDC dc = CreateCompatibleDC(other);
    if (!dc)
        throw WindowsError("Can't create compatible DC");
    return dc;
}

int objectKind(DWORD type) {
    switch (type) {
    case OBJ_PEN:
    case OBJ_EXTPEN: return 0;
    case OBJ_BRUSH: return 1;
    case OBJ_BITMAP: return 2;
    case OBJ_FONT: return 3;
    case OBJ_PAL: return 4;
    default: return -1;
    }
}

const UINT currentObjectType[] = {OBJ_PEN, OBJ_BRUSH, OBJ_BITMAP, OBJ_FONT, OBJ_PAL};

} // namespace

DeviceContext::DeviceContext(HDC dc) : handle(dc), window(nullptr), owned(false), originals{}, registered(false) {}

DeviceContext::DeviceContext()
    : handle(compatibleContext(nullptr)), window(nullptr), owned(true), originals{}, registered(false) {}

DeviceContext::DeviceContext(const DeviceContext& other)
    : handle(compatibleContext(other.handle)), window(nullptr), owned(true), originals{}, registered(false) {}

DeviceContext::DeviceContext(HWND w, bool wholeWindow)
    : handle(nullptr), window(nullptr), owned(false), originals{}, registered(false) {
    HDC dc = wholeWindow ? GetWindowDC(w) : GetDC(w);
    if (!dc)
        throw WindowsError("Can't retrieve DC from window");
    handle = dc;
    window = w;
    owned = true;
}

DeviceContext::~DeviceContext() {
    try {
        DeviceContext::close();
    } catch (...) {
    }
    if (registered)
        gdi_detail::unregisterContext(this);
}

void DeviceContext::close() {
    restoreSelections();
    if (handle && owned) {
        if (window)
            ReleaseDC(window, handle);
        else if (!DeleteDC(handle))
            throw WindowsError("Can't delete device context");
    }
    handle = nullptr;
    window = nullptr;
    owned = false;
}

void DeviceContext::remember(int kind, HGDIOBJ previous) {
    if (!registered) {
        gdi_detail::registerContext(this);
        registered = true;
    }
    if (!originals[kind])
        originals[kind] = previous;
}

void DeviceContext::restoreSelections() noexcept {
    if (!registered)
        return;
    gdi_detail::unregisterContext(this);
    registered = false;
    if (handle) {
        for (int kind = 0; kind < kinds; ++kind) {
            if (!originals[kind])
                continue;
            if (kind == palette)
                SelectPalette(handle, static_cast<HPALETTE>(originals[kind]), TRUE);
            else
                SelectObject(handle, originals[kind]);
        }
    }
    std::fill(originals, originals + kinds, nullptr);
}

void DeviceContext::deselect(HGDIOBJ object) noexcept {
    if (!handle)
        return;
    const int kind = objectKind(GetObjectType(object));
    if (kind < 0 || !originals[kind] || GetCurrentObject(handle, currentObjectType[kind]) != object)
        return;
    if (kind == palette)
        SelectPalette(handle, static_cast<HPALETTE>(originals[kind]), TRUE);
    else
        SelectObject(handle, originals[kind]);
}

// ---- Selection ---------------------------------------------------------------

Pen DeviceContext::select(HPEN pen) {
    SetLastError(0);
    HGDIOBJ previous = SelectObject(handle, pen);
    if (!previous)
        throw WindowsError("Can't select pen");
    remember(DeviceContext::pen, previous);
    return Pen(static_cast<HPEN>(previous), false);
}

Brush DeviceContext::select(HBRUSH b) {
    SetLastError(0);
    HGDIOBJ previous = SelectObject(handle, b);
    if (!previous)
        throw WindowsError("Can't select brush");
    remember(brush, previous);
    return Brush(static_cast<HBRUSH>(previous), false);
}

Bitmap DeviceContext::select(HBITMAP b) {
    SetLastError(0);
    HGDIOBJ previous = SelectObject(handle, b);
    if (!previous)
        throw WindowsError("Can't select bitmap");
    remember(bitmap, previous);
    return Bitmap(static_cast<HBITMAP>(previous), false);
}

Bitmap DeviceContext::select(const Bitmap& b) { return select(static_cast<HBITMAP>(b)); }

Font DeviceContext::select(HFONT f) {
    SetLastError(0);
    HGDIOBJ previous = SelectObject(handle, f);
    if (!previous)
        throw WindowsError("Can't select font");
    remember(font, previous);
    return Font(static_cast<HFONT>(previous), false);
}

Palette DeviceContext::select(HPALETTE p, bool forceBackground) {
    SetLastError(0);
    HPALETTE previous = SelectPalette(handle, p, forceBackground);
    if (!previous)
        throw WindowsError("Can't select palette");
    remember(palette, previous);
    return Palette(previous, false);
}

unsigned DeviceContext::realizePalette() const {
    SetLastError(0);
    const UINT mapped = RealizePalette(handle);
    if (mapped == GDI_ERROR)
        throw WindowsError("Can't realize palette");
    return mapped;
}

bool DeviceContext::usesPalette() const { return (GetDeviceCaps(handle, RASTERCAPS) & RC_PALETTE) != 0; }
int DeviceContext::getCapabilities(int index) const { return GetDeviceCaps(handle, index); }

// ---- Colours -----------------------------------------------------------------

unsigned long DeviceContext::setBackgroundColour(unsigned long colour) const {
    SetLastError(0);
    const COLORREF previous = SetBkColor(handle, colour);
    if (previous == CLR_INVALID)
        throw WindowsError("Can't set back colour");
    return previous;
}

unsigned long DeviceContext::getBackgroundColour() const {
    SetLastError(0);
    const COLORREF colour = GetBkColor(handle);
    if (colour == CLR_INVALID)
        throw WindowsError("Can't set back colour");
    return colour;
}

unsigned long DeviceContext::setTextColour(unsigned long colour) const {
    SetLastError(0);
    const COLORREF previous = SetTextColor(handle, colour);
    if (previous == CLR_INVALID)
        throw WindowsError("Can't set text colour");
    return previous;
}

unsigned long DeviceContext::getTextColour() const {
    SetLastError(0);
    const COLORREF colour = GetTextColor(handle);
    if (colour == CLR_INVALID)
        throw WindowsError("Can't set text colour");
    return colour;
}

// ---- Lines and rectangles ------------------------------------------------------

Point DeviceContext::moveTo(int x, int y) {
    SetLastError(0);
    POINT previous{0, 0};
    if (!MoveToEx(handle, x, y, &previous))
        throw WindowsError("Can't move drawing position");
    return previous;
}

Point DeviceContext::moveTo(const POINT& p) { return moveTo(int(p.x), int(p.y)); }

void DeviceContext::lineTo(int x, int y) const {
    SetLastError(0);
    if (!LineTo(handle, x, y))
        throw WindowsError("Can't draw line");
}

void DeviceContext::lineTo(const POINT& p) const { lineTo(int(p.x), int(p.y)); }

void DeviceContext::fillRectangle(int systemColour, const RECT& rect) const {
    SetLastError(0);
    if (!FillRect(handle, &rect, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(systemColour) + 1)))
        throw WindowsError("Can't fill rect with system colour");
}

void DeviceContext::fillRectangle(const Brush& b, const RECT& rect) const {
    SetLastError(0);
    if (!FillRect(handle, &rect, b))
        throw WindowsError("Can't fill rect with system colour");
}

void DeviceContext::fillRectangle(unsigned long colour, const RECT& rect) const {
    const unsigned long previous = setBackgroundColour(colour);
    ExtTextOutA(handle, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    setBackgroundColour(previous);
}

void DeviceContext::drawRectangle3D(const RECT& r, unsigned long topLeft, unsigned long bottomRight) const {
    Pen first(topLeft, PS_SOLID, 0);
    Pen second(bottomRight, PS_SOLID, 0);
    // Declared after the pens: closing it puts the caller's pen back before
    // the pens are deleted.
    DeviceContext self(handle);
    self.select(static_cast<HPEN>(first));
    self.moveTo(int(r.right - 1), int(r.top));
    lineTo(int(r.left), int(r.top));
    lineTo(int(r.left), int(r.bottom));
    self.select(static_cast<HPEN>(second));
    self.moveTo(int(r.left + 1), int(r.bottom - 1));
    lineTo(int(r.right - 1), int(r.bottom - 1));
    lineTo(int(r.right - 1), int(r.top));
}

void DeviceContext::drawRectangle3D(const RECT& r, bool raised) const {
    const unsigned long highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    const unsigned long shadow = GetSysColor(COLOR_BTNSHADOW);
    drawRectangle3D(r, raised ? highlight : shadow, raised ? shadow : highlight);
}

// ---- Bitmap copies -------------------------------------------------------------

void DeviceContext::blit(HDC source, int xSource, int ySource, int cx, int cy, int xDest, int yDest,
                         unsigned long rop) const {
    SetLastError(0);
    if (!BitBlt(handle, xDest, yDest, cx, cy, source, xSource, ySource, rop))
        throw WindowsError("Can't blit bits");
}

void DeviceContext::blitTransparent(HBITMAP bitmap, int xSource, int ySource, int cx, int cy, int xDest, int yDest,
                                    unsigned long transparent, HPALETTE palette) const {
    // Memory contexts are declared after their bitmaps: each is closed (its
    // bitmap put back) before the bitmap it holds is deleted.
    Bitmap image(handle, cx, cy);
    DeviceContext imageContext(*this);
    imageContext.select(image);

    DeviceContext self(handle);
    if (palette && usesPalette()) {
        self.select(palette, false);
        realizePalette();
        imageContext.select(palette, false);
    }

    {
        DeviceContext sourceContext(*this);
        sourceContext.select(bitmap);
        imageContext.blit(sourceContext, xSource, ySource, cx, cy, 0, 0, SRCCOPY);
    }
    if (transparent == CLR_INVALID)
        transparent = imageContext.getPixel(0, 0);

    Bitmap mask(cx, cy, 1, 1, nullptr);
    DeviceContext maskContext(*this);
    maskContext.select(mask);

    // A colour-to-monochrome copy gives 1 where the source has the background colour.
    imageContext.setBackgroundColour(transparent);
    maskContext.blit(imageContext, 0, 0, cx, cy, 0, 0, SRCCOPY);

    // Transparent pixels of the image become black ...
    imageContext.setBackgroundColour(RGB(0, 0, 0));
    imageContext.setTextColour(RGB(255, 255, 255));
    imageContext.blit(maskContext, 0, 0, cx, cy, 0, 0, SRCAND);

    // ... the destination is cleared where the image is opaque ...
    const unsigned long background = setBackgroundColour(RGB(255, 255, 255));
    const unsigned long text = setTextColour(RGB(0, 0, 0));
    try {
        blit(maskContext, 0, 0, cx, cy, xDest, yDest, SRCAND);
        // ... and the image is painted into the cleared part.
        blit(imageContext, 0, 0, cx, cy, xDest, yDest, SRCPAINT);
    } catch (...) {
        SetBkColor(handle, background);
        SetTextColor(handle, text);
        throw;
    }
    SetBkColor(handle, background);
    SetTextColor(handle, text);
}

void DeviceContext::drawIcon(int x, int y, HICON icon) const {
    SetLastError(0);
    if (!DrawIcon(handle, x, y, icon))
        throw WindowsError("Can't draw icon");
}

// ---- Text ----------------------------------------------------------------------

namespace {

wchar_t widen(BYTE c) {
    const char narrow = static_cast<char>(c);
    wchar_t wide = 0;
    if (!MultiByteToWideChar(CP_ACP, 0, &narrow, 1, &wide, 1))
        wide = c;
    return wide;
}

std::string narrowText(const wchar_t* text, unsigned length) {
    return length ? StringHelper<char>::convert(text, length, CP_ACP) : std::string();
}

} // namespace

void DeviceContext::getTextMetrics(TEXTMETRICA& metrics) const {
    SetLastError(0);
    if (!GetTextMetricsA(handle, &metrics))
        throw WindowsError("Can't retrieve text metrics");
}

void DeviceContext::getTextMetrics(TEXTMETRICW& m) const {
    TEXTMETRICA a{};
    getTextMetrics(a);
    m.tmHeight = a.tmHeight;
    m.tmAscent = a.tmAscent;
    m.tmDescent = a.tmDescent;
    m.tmInternalLeading = a.tmInternalLeading;
    m.tmExternalLeading = a.tmExternalLeading;
    m.tmAveCharWidth = a.tmAveCharWidth;
    m.tmMaxCharWidth = a.tmMaxCharWidth;
    m.tmWeight = a.tmWeight;
    m.tmOverhang = a.tmOverhang;
    m.tmDigitizedAspectX = a.tmDigitizedAspectX;
    m.tmDigitizedAspectY = a.tmDigitizedAspectY;
    m.tmFirstChar = widen(a.tmFirstChar);
    m.tmLastChar = widen(a.tmLastChar);
    m.tmDefaultChar = widen(a.tmDefaultChar);
    m.tmBreakChar = widen(a.tmBreakChar);
    m.tmItalic = a.tmItalic;
    m.tmUnderlined = a.tmUnderlined;
    m.tmStruckOut = a.tmStruckOut;
    m.tmPitchAndFamily = a.tmPitchAndFamily;
    m.tmCharSet = a.tmCharSet;
}

Size DeviceContext::getTextExtent(const char* text, unsigned length) const {
    SetLastError(0);
    SIZE size{0, 0};
    if (!GetTextExtentPointA(handle, text, int(length), &size))
        throw WindowsError("Can't retrieve text extent");
    return size;
}

Size DeviceContext::getTextExtent(const wchar_t* text, unsigned length) const {
    const std::string narrow = narrowText(text, length);
    return getTextExtent(narrow.data(), unsigned(narrow.size()));
}

Size DeviceContext::getTextExtent(const char* text) const { return getTextExtent(text, unsigned(std::strlen(text))); }
Size DeviceContext::getTextExtent(const wchar_t* text) const { return getTextExtent(text, unsigned(wcslen(text))); }
Size DeviceContext::getTextExtent(const std::string& text) const {
    return getTextExtent(text.data(), unsigned(text.size()));
}
Size DeviceContext::getTextExtent(const std::wstring& text) const {
    return getTextExtent(text.data(), unsigned(text.size()));
}

unsigned DeviceContext::getTextAlign() const {
    SetLastError(0);
    const UINT align = GetTextAlign(handle);
    if (align == GDI_ERROR)
        throw WindowsError("Can't retrieve text alignment");
    return align;
}

unsigned DeviceContext::setTextAlign(unsigned align) const {
    SetLastError(0);
    const UINT previous = SetTextAlign(handle, align);
    if (previous == GDI_ERROR)
        throw WindowsError("Can't set text alignment");
    return previous;
}

void DeviceContext::drawText(int x, int y, const char* text, unsigned length) const {
    SetLastError(0);
    if (!TextOutA(handle, x, y, text, int(length)))
        throw WindowsError("Can't draw text");
}

// 16-bit text is drawn as it is: converting it first would lose what the
// code page cannot hold.
void DeviceContext::drawText(int x, int y, const wchar_t* text, unsigned length) const {
    SetLastError(0);
    if (!TextOutW(handle, x, y, text, int(length)))
        throw WindowsError("Can't draw text");
}

void DeviceContext::drawText(int x, int y, const char* text) const { drawText(x, y, text, unsigned(std::strlen(text))); }
void DeviceContext::drawText(int x, int y, const wchar_t* text) const { drawText(x, y, text, unsigned(wcslen(text))); }
void DeviceContext::drawText(int x, int y, const std::string& text) const {
    drawText(x, y, text.data(), unsigned(text.size()));
}
void DeviceContext::drawText(int x, int y, const std::wstring& text) const {
    drawText(x, y, text.data(), unsigned(text.size()));
}

int DeviceContext::getFontHeightFromPoints(int points) const {
    return -MulDiv(points, GetDeviceCaps(handle, LOGPIXELSY), 72);
}

// ---- Paths ---------------------------------------------------------------------

namespace {
void checkPath(BOOL done, const char* message) {
    if (!done)
        throw WindowsError(message);
}
} // namespace

void DeviceContext::beginPath() const { SetLastError(0); checkPath(BeginPath(handle), "Can't begin path"); }
void DeviceContext::abortPath() const { SetLastError(0); checkPath(AbortPath(handle), "Can't abort path"); }
void DeviceContext::endPath() const { SetLastError(0); checkPath(EndPath(handle), "Can't end path"); }
void DeviceContext::fillPath() const { SetLastError(0); checkPath(FillPath(handle), "Can't fill path"); }
void DeviceContext::strokeAndFillPath() const {
    SetLastError(0);
    checkPath(StrokeAndFillPath(handle), "Can't stroke and fill path");
}
void DeviceContext::strokePath() const { SetLastError(0); checkPath(StrokePath(handle), "Can't stroke path"); }
void DeviceContext::widenPath() const { SetLastError(0); checkPath(WidenPath(handle), "Can't widen path"); }
void DeviceContext::flattenPath() const { SetLastError(0); checkPath(FlattenPath(handle), "Can't flatten path"); }
void DeviceContext::closeFigure() const { SetLastError(0); checkPath(CloseFigure(handle), "Can't close figure"); }

// ---- Modes and pixels --------------------------------------------------------------

int DeviceContext::setROP2(int mode) const {
    SetLastError(0);
    const int previous = SetROP2(handle, mode);
    if (!previous)
        throw WindowsError("Can't set ROP2");
    return previous;
}

int DeviceContext::getROP2() const {
    SetLastError(0);
    const int mode = GetROP2(handle);
    if (!mode)
        throw WindowsError("Can't get ROP2");
    return mode;
}

Point DeviceContext::setViewportOrigin(int x, int y) {
    SetLastError(0);
    POINT previous{0, 0};
    if (!SetViewportOrgEx(handle, x, y, &previous))
        throw WindowsError("Can't set viewport origin");
    return previous;
}

Point DeviceContext::setViewportOrigin(const POINT& p) { return setViewportOrigin(int(p.x), int(p.y)); }

unsigned long DeviceContext::getPixel(int x, int y) const { return GetPixel(handle, x, y); }
unsigned long DeviceContext::getPixel(const POINT& p) const { return getPixel(int(p.x), int(p.y)); }

// ---- PaintDeviceContext ----------------------------------------------------------

PaintDeviceContext::PaintDeviceContext(HWND w)
    : DeviceContext(static_cast<HDC>(nullptr)), paint{}, paintedWindow(w), painting(false) {
    HDC dc = BeginPaint(w, &paint);
    if (!dc)
        throw WindowsError("Error in BeginPaint");
    handle = dc;
    painting = true;
}

PaintDeviceContext::PaintDeviceContext(const PaintDeviceContext& other)
    : DeviceContext(static_cast<const DeviceContext&>(other)), paint(other.paint),
      paintedWindow(other.paintedWindow), painting(false) {}

PaintDeviceContext::~PaintDeviceContext() {
    try {
        PaintDeviceContext::close();
    } catch (...) {
    }
}

void PaintDeviceContext::close() {
    if (handle && painting) {
        restoreSelections();
        if (!EndPaint(paintedWindow, &paint))
            throw WindowsError("Error in EndPaint");
        painting = false;
    }
    DeviceContext::close();
}

} // namespace vesk
