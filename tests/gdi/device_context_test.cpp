// GDI objects and device contexts, drawn into a 32-bit DIB in a memory context
// and read back pixel by pixel: the three ways of filling a rectangle, the 3D
// frame against its edge rule, the transparent copy (explicit and top-left
// colour, offset source) against the expected mix, text of both widths, paths;
// the ownership sweep over every GDI object, icons and cursors; objects still
// selected when they or their context go; failure texts.
#include <vesk/errors/exception.h>
#include <vesk/gdi/device_context.h>
#include <vesk/gdi/gdi_object.h>

#include "owner_sweep.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

using namespace vesk;

static_assert(!std::is_constructible<Pen, const Pen&>::value, "a const owner cannot be copied");
static_assert(!std::is_assignable<Bitmap&, const Bitmap&>::value, "nor assigned from");

namespace {

const COLORREF white = RGB(255, 255, 255), red = RGB(255, 0, 0), blue = RGB(0, 0, 255), green = RGB(0, 160, 0),
               magenta = RGB(255, 0, 255), grey = RGB(90, 90, 90);

// A top-down 32-bit DIB of w x h selected into a memory context, filled white.
struct Canvas {
    Canvas(int w, int h) : width(w), height(h) {
        const BITMAPINFO info{{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        void* bits = nullptr;
        bitmap = Bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), true);
        dc.select(bitmap), dc.fillRectangle(white, Rect(0, 0, w, h));
    }
    // Every pixel against expected(x, y); stops at the first wrong one.
    template <class F> void check(F expected, const std::string& what) const {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) ASSERT_EQ(expected(x, y), dc.getPixel(x, y)) << what << " at " << x << "," << y;
    }
    std::vector<COLORREF> pixels() const {
        std::vector<COLORREF> all;
        check([&](int x, int y) { return all.push_back(dc.getPixel(x, y)), dc.getPixel(x, y); }, "");
        return all;
    }
    int width, height;
    Bitmap bitmap;
    DeviceContext dc;  // declared after its bitmap: closed first
};

template <class F> std::string messageOf(F f) try {
    return f(), "(nothing thrown)";
} catch (const WindowsError& e) {
    return e.getDescription();
}

bool alive(HGDIOBJ h) { return GetObjectType(h) != 0; }

} // namespace

TEST(DeviceContextPixels, FilledRectangleInEveryForm) {
    Brush brush(blue);
    const struct { const char* form; std::function<void(DeviceContext&, const RECT&)> fill; COLORREF colour; } rows[] = {
        {"colour", [](DeviceContext& dc, const RECT& r) { dc.fillRectangle(red, r); }, red},
        {"brush", [&](DeviceContext& dc, const RECT& r) { dc.fillRectangle(brush, r); }, blue},
        {"system colour", [](DeviceContext& dc, const RECT& r) { dc.fillRectangle(COLOR_WINDOWTEXT, r); },
         GetSysColor(COLOR_WINDOWTEXT)},
    };
    for (const auto& row : rows) {
        Canvas canvas(20, 16);
        const Rect r(3, 4, 11, 9);
        const COLORREF background = canvas.dc.setBackgroundColour(grey);
        row.fill(canvas.dc, r);
        EXPECT_EQ(grey, canvas.dc.getBackgroundColour()) << row.form << ": the caller's colour stays";
        canvas.dc.setBackgroundColour(background);
        canvas.check([&](int x, int y) { return r.contains(Point(x, y)) ? row.colour : white; }, row.form);
    }
}

TEST(DeviceContextPixels, Frame3DFollowsItsEdges) {
    for (const Rect r : {Rect(2, 3, 12, 10), Rect(0, 0, 3, 3), Rect(5, 5, 7, 9)}) {
        Canvas canvas(16, 14);
        const HGDIOBJ pen = GetCurrentObject(canvas.dc, OBJ_PEN);
        canvas.dc.drawRectangle3D(r, red, blue);
        EXPECT_EQ(pen, GetCurrentObject(canvas.dc, OBJ_PEN)) << "the caller's pen is back";
        canvas.check([&](int x, int y) {
            const bool topLeft = (y == r.top && x >= r.left && x < r.right) || (x == r.left && y >= r.top && y < r.bottom);
            const bool bottomRight = (y == r.bottom - 1 && x > r.left && x < r.right - 1) || (x == r.right - 1 && y > r.top && y <= r.bottom - 1);
            return bottomRight ? blue : topLeft ? red : white;  // the second pen draws last and wins where the edges meet
        }, "frame at " + std::to_string(r.left) + "," + std::to_string(r.top));
    }
    Canvas raised(8, 8), sunken(8, 8);
    raised.dc.drawRectangle3D(Rect(1, 1, 7, 7), true), sunken.dc.drawRectangle3D(Rect(1, 1, 7, 7), false);
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW);
    EXPECT_EQ((std::vector<COLORREF>{light, shadow, shadow, light}),
              (std::vector<COLORREF>{raised.dc.getPixel(1, 1), raised.dc.getPixel(6, 6), sunken.dc.getPixel(1, 1), sunken.dc.getPixel(6, 6)}));
}

// The source: magenta with a green square at 2..5 and a red pixel at (7, 7).
// The destination: a blue/grey checker, so that every kept pixel is visible.
TEST(DeviceContextPixels, TransparentBlitKeepsTheTransparentColour) {
    Canvas source(8, 8);
    source.dc.fillRectangle(magenta, Rect(0, 0, 8, 8)), source.dc.fillRectangle(green, Rect(2, 2, 6, 6)), source.dc.fillRectangle(red, Rect(7, 7, 8, 8));
    auto sourceAt = [](int x, int y) { return x == 7 && y == 7 ? red : (x >= 2 && x < 6 && y >= 2 && y < 6) ? green : magenta; };
    auto checker = [](int x, int y) { return (x + y) % 2 ? blue : grey; };
    source.dc.close();  // a bitmap can be selected into one context only

    const struct { COLORREF transparent; int xSource, ySource, cx, cy, xDest, yDest; } rows[] = {{magenta, 0, 0, 8, 8, 3, 2}, {CLR_INVALID, 0, 0, 8, 8, 0, 0}, {magenta, 1, 2, 7, 6, 5, 5},
                {CLR_INVALID, 3, 3, 5, 5, 1, 1}};
    for (const auto& row : rows) {
        Canvas dest(16, 14);
        for (int i = 0; i < dest.width * dest.height; ++i)
            SetPixel(dest.dc, i % dest.width, i / dest.width, checker(i % dest.width, i / dest.width));
        dest.dc.setBackgroundColour(RGB(1, 2, 3)), dest.dc.setTextColour(RGB(4, 5, 6));
        dest.dc.blitTransparent(source.bitmap, row.xSource, row.ySource, row.cx, row.cy, row.xDest, row.yDest,
                                row.transparent, nullptr);
        EXPECT_EQ(std::make_pair(RGB(1, 2, 3), RGB(4, 5, 6)), std::make_pair(dest.dc.getBackgroundColour(), dest.dc.getTextColour()));
        const COLORREF transparent = row.transparent == CLR_INVALID ? sourceAt(row.xSource, row.ySource) : row.transparent;
        dest.check([&](int x, int y) {
            const int sx = x - row.xDest + row.xSource, sy = y - row.yDest + row.ySource;
            const bool inArea = x >= row.xDest && x < row.xDest + row.cx && y >= row.yDest && y < row.yDest + row.cy;
            return inArea && sourceAt(sx, sy) != transparent ? sourceAt(sx, sy) : checker(x, y);
        }, "row at " + std::to_string(row.xDest));
    }
    DeviceContext check;
    check.select(source.bitmap);
    EXPECT_EQ(green, check.getPixel(2, 2)) << "the source is left as it was";
}

TEST(DeviceContextPixels, TextInBothWidthsAndPaths) {
    Canvas narrow(120, 30), wide(120, 30);
    Font font(narrow.dc.getFontHeightFromPoints(12), 0, 0, 0, FW_NORMAL, false, false, false, DEFAULT_CHARSET,
              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, "Tahoma");
    narrow.dc.select(font), wide.dc.select(font);
    narrow.dc.drawText(2, 2, std::string("Vesk 42")), wide.dc.drawText(2, 2, std::wstring(L"Vesk 42"));
    const std::vector<COLORREF> drawn = narrow.pixels();
    EXPECT_EQ(drawn, wide.pixels()) << "the same text draws the same in both widths";
    EXPECT_NE(std::vector<COLORREF>(drawn.size(), white), drawn) << "something was drawn";
    EXPECT_EQ(narrow.dc.getTextExtent("Vesk 42"), wide.dc.getTextExtent(L"Vesk 42"));
    EXPECT_EQ(narrow.dc.getTextExtent("Vesk"), narrow.dc.getTextExtent("Vesk 42", 4));

    TEXTMETRICA a{};
    TEXTMETRICW w{};
    narrow.dc.getTextMetrics(a), narrow.dc.getTextMetrics(w);  // ASCII characters widen to themselves
    EXPECT_EQ(std::make_tuple(a.tmHeight, a.tmAveCharWidth, wchar_t(a.tmFirstChar)), std::make_tuple(w.tmHeight, w.tmAveCharWidth, w.tmFirstChar));
    const int dpi = narrow.dc.getCapabilities(LOGPIXELSY);
    EXPECT_EQ(dpi == 96 ? -16 : -MulDiv(12, dpi, 72), narrow.dc.getFontHeightFromPoints(12));

    // A filled triangle path: inside painted, outside not.
    Canvas path(20, 20);
    Brush brush(red);
    path.dc.select(static_cast<HBRUSH>(brush)), path.dc.beginPath(), path.dc.moveTo(2, 2), path.dc.lineTo(18, 2);
    path.dc.lineTo(2, 18), path.dc.closeFigure(), path.dc.endPath(), path.dc.fillPath();
    EXPECT_EQ(std::make_pair(red, white), std::make_pair(path.dc.getPixel(5, 5), path.dc.getPixel(16, 16)));
}

namespace {

template <class T> struct Kind {
    using type = T;
    static HANDLE handleOf(const T& t) { return t.getHandle(); }
    static bool alive(HANDLE h) { return GetObjectType(h) != 0; }
    static bool owns(const T& t, HANDLE h) { return t.isOwned() && t.getHandle() == h; }
    static int counted(HANDLE) { return 1; }
};
struct PenKind : Kind<Pen> { static Pen make() { return Pen(red, PS_SOLID, 1); } };
struct BrushKind : Kind<Brush> { static Brush make() { return Brush(blue); } };
struct BitmapKind : Kind<Bitmap> { static Bitmap make() { return Bitmap(4, 4, 1, 32, nullptr); } };
struct FontKind : Kind<Font> { static Font make() { return Font(-12, 0, 0, 0, FW_NORMAL, false, false, false, 0, 0, 0, 0, 0, "Tahoma"); } };
struct PaletteKind : Kind<Palette> { static Palette make() { const LOGPALETTE one{0x300, 1, {{1, 2, 3, 0}}}; return Palette(CreatePalette(&one), true); } };
struct HandleKind : Kind<GDIHandle> { static GDIHandle make() { return GDIHandle(CreateSolidBrush(green), true); } };
// Icons and cursors live while the system still describes them.
template <class T> struct UserKind : Kind<T> {
    static bool alive(HANDLE h) {
        ICONINFO info{};
        const bool described = GetIconInfo(static_cast<HICON>(h), &info);
        return DeleteObject(info.hbmMask), DeleteObject(info.hbmColor), described;
    }
    static T make() { return T(CopyIcon(LoadIconA(nullptr, IDI_APPLICATION)), true); }
};

} // namespace

// Copying hands ownership over (an owning source is emptied, a referring one
// keeps referring); assignment of one's own copy, chains and moves keep one owner.
TEST(GDIObjects, EveryOwnerReleasesItsResourceExactlyOnce) {
    vesk_test::sweepOwnership<PenKind>(), vesk_test::sweepOwnership<BrushKind>();
    vesk_test::sweepOwnership<BitmapKind>(), vesk_test::sweepOwnership<FontKind>();
    vesk_test::sweepOwnership<PaletteKind>(), vesk_test::sweepOwnership<HandleKind>();
    vesk_test::sweepOwnership<UserKind<Icon>>(), vesk_test::sweepOwnership<UserKind<Cursor>>();
    Pen owner(red, PS_SOLID, 1), referring(static_cast<HPEN>(owner.getHandle()), false), second(referring);
    EXPECT_EQ(owner.getHandle(), referring.getHandle()) << "a referring source keeps referring";
    EXPECT_FALSE(second.isOwned());
    EXPECT_EQ(Size(7, 5), Bitmap(7, 5, 1, 32, nullptr).getSize());
}

TEST(GDIObjects, ObjectsStillSelectedAreTakenOutBeforeDeletion) {
    HGDIOBJ bitmapHandle = nullptr, penHandle = nullptr, dcHandle = nullptr;
    {
        Pen pen(red, PS_SOLID, 3);
        DeviceContext dc;
        Bitmap bitmap(DeviceContext(nullptr, false), 4, 4);
        penHandle = pen.getHandle(), dcHandle = dc, bitmapHandle = bitmap.getHandle();
        dc.select(bitmap), dc.select(static_cast<HPEN>(pen));
        // bitmap goes first while selected, then the context, then the pen.
    }
    // The bitmap is deleted although it was selected, the pen after the context put it back.
    EXPECT_FALSE(alive(bitmapHandle) || alive(penHandle) || alive(dcHandle));

    // A context that wraps a foreign handle puts back what it replaced on close.
    HDC memory = CreateCompatibleDC(nullptr);
    const HGDIOBJ original = GetCurrentObject(memory, OBJ_BRUSH);
    {
        Brush brush(red);
        DeviceContext wrapper(memory);
        const Brush previous = wrapper.select(static_cast<HBRUSH>(brush));
        EXPECT_TRUE(previous.getHandle() == original && !previous.isOwned());
    }
    EXPECT_EQ(original, GetCurrentObject(memory, OBJ_BRUSH));
    DeleteDC(memory);
}

TEST(GDIObjects, FailuresNameWhatFailed) {
    DeviceContext none(static_cast<HDC>(nullptr));
    const std::pair<const char*, std::function<void()>> rows[] = {
        {"Can't draw line", [&] { none.lineTo(1, 1); }},
        {"Can't move drawing position", [&] { none.moveTo(1, 1); }},
        {"Can't select pen", [&] { none.select(static_cast<HPEN>(GetStockObject(BLACK_PEN))); }},
        {"Can't select font", [&] { none.select(static_cast<HFONT>(GetStockObject(SYSTEM_FONT))); }},
        {"Can't draw text", [&] { none.drawText(0, 0, "x"); }},
        {"Can't draw text", [&] { none.drawText(0, 0, L"x"); }},
        {"Can't blit bits", [&] { none.blit(nullptr, 0, 0, 1, 1, 0, 0, SRCCOPY); }},
        {"Can't end path", [] { DeviceContext().endPath(); }},
        {"Can't load bitmap 4242", [] { Bitmap(4242, GetModuleHandleA(nullptr)); }},
        {"Can't load icon", [] { Icon(4242u, GetModuleHandleA(nullptr)); }},
        {"Can't load cursor", [] { Cursor("no such cursor", GetModuleHandleA(nullptr)); }},
    };
    for (const auto& row : rows) EXPECT_EQ(row.first, messageOf(row.second));
    EXPECT_THROW(Icon(70000u, nullptr), std::bad_cast) << "resource numbers are 16 bits";
    EXPECT_FALSE(Cursor(IDC_ARROW, nullptr).isOwned()) << "a loaded cursor is shared, never destroyed";
}
