// Window dispatch with real windows: one table of messages, each with the
// handler it must reach, the decoded arguments and the procedure's result;
// posted messages through the library's loop; the handler sequence of create,
// show and destroy against what a raw WNDPROC receives under the same system;
// default processing (a plain window, a subclassed edit control, nested
// messages, a handler's own result ignored after default processing);
// exceptions kept inside the procedure; painting through PaintDeviceContext.
#include <vesk/gdi/device_context.h>

#include "gui_driver.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace vesk;

namespace {

vesk_test::Watchdog watchdog(120);
using vesk_test::instance;

std::ostream& operator<<(std::ostream& out, const Point& p) { return out << p.x << ',' << p.y; }
std::ostream& operator<<(std::ostream& out, const Size& s) { return out << s.cx << 'x' << s.cy; }

// Records every handler call with its decoded arguments; handlers answer
// without default processing unless `fallThrough` is set.
class Recorder : public Window {
public:
    std::vector<std::string> calls;
    std::vector<UINT> messages;
    bool fallThrough = false;
    std::function<void(UINT)> during;
    using Window::defaultWindowProc;
    using Window::messageStack;
    using Window::processMessage;

protected:
    template <class... A> void note(const A&... parts) {
        std::ostringstream text;
        ((text << parts << ' '), ...);
        calls.push_back(text.str().substr(0, text.str().size() - 1));
        if (fallThrough)
            defaultWindowProc();
    }
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back(message);
        if (during)
            during(message);
        return Window::onMessage(message, wParam, lParam);
    }
    void onCommand(Window* c, unsigned short code, unsigned short id) override {
        note("command", c ? (c->getWindowHandle() ? "control" : "empty") : "null", code, id);
    }
    void onHScroll(Window* b, unsigned short code, unsigned short pos) override {
        note("hscroll", b ? "bar" : "null", code, pos);
    }
    void onVScroll(Window* b, unsigned short code, unsigned short pos) override {
        note("vscroll", b ? "bar" : "null", code, pos);
    }
    void onDestroy() override { note("destroy"); }
    void onDoubleClick(const NMHDR& h) override { note("doubleclick", h.idFrom); }
    void onNotification(const NMTREEVIEWW& n) override {
        std::string texts;
        for (const TVITEMW* item : {&n.itemOld, &n.itemNew})
            for (const wchar_t* c = item->pszText; c && *c; ++c)
                texts += char(*c);
        note("tree", int(n.hdr.code), texts, n.action);
    }
    void onNotification(const NMLISTVIEW& n) override { note("listview", int(n.hdr.code), n.iItem); }
    void onNCDestroy() override {
        calls.push_back("ncdestroy");
        Window::onNCDestroy();
    }
#define MOUSE_HANDLER(handler, name) \
    void handler(unsigned short k, const Point& p) override { note(name, k, p); }
    MOUSE_HANDLER(onMouseMove, "mousemove")
    MOUSE_HANDLER(onLeftButtonDown, "ldown") MOUSE_HANDLER(onLeftButtonUp, "lup")
    MOUSE_HANDLER(onLeftButtonDoubleClick, "ldbl") MOUSE_HANDLER(onMiddleButtonDown, "mdown")
    MOUSE_HANDLER(onMiddleButtonUp, "mup") MOUSE_HANDLER(onMiddleButtonDoubleClick, "mdbl")
    MOUSE_HANDLER(onRightButtonDown, "rdown") MOUSE_HANDLER(onRightButtonUp, "rup")
    MOUSE_HANDLER(onRightButtonDoubleClick, "rdbl")
#undef MOUSE_HANDLER
    void onMouseWheel(unsigned short k, short d, const Point& p) override { note("wheel", k, d, p); }
    void onKeyDown(unsigned key, unsigned short repeat, unsigned char scan, bool ext, bool was) override {
        note("keydown", key, repeat, int(scan), ext, was);
    }
    void onKeyUp(unsigned key, unsigned char scan, bool ext) override { note("keyup", key, int(scan), ext); }
    void onTimer(unsigned id) override { note("timer", id); }
    HICON onQueryDragIcon() override {
        note("querydragicon");
        return reinterpret_cast<HICON>(ULONG_PTR(0x4321));
    }
    void onSize(unsigned type, const Size& s) override { note("size", type, s); }
    void onSizing(unsigned edge, Rect& r) override {
        note("sizing", edge, r.getTopLeft(), r.getBottomRight());
        r.right = r.left + 100;
    }
    void onMoving(Rect& r) override {
        note("moving", r.getTopLeft());
        r = r.move(Point(1, 1));
    }
    void onMove(const Point& p) override { note("move", p); }
    void onEnterSizeMove() override { note("entersizemove"); }
    void onExitSizeMove() override { note("exitsizemove"); }
    void onDroppedFiles(const Point& p, bool client, const std::list<BasicString<wchar_t>>& files) override {
        std::string names;
        for (const auto& f : files)
            names += (names.empty() ? "" : "|") + std::string(f.begin(), f.end());
        note("drop", p, client, names);
    }
};

// An owner-drawn child: answers the routed drawing messages.
class Drawn : public Window, public OwnerDrawable {
public:
    std::vector<std::string> calls;
    void onDrawItem(const DRAWITEMSTRUCT& d) override { calls.push_back("draw " + std::to_string(d.itemID)); }
    void onMeasureItem(MEASUREITEMSTRUCT& m) override {
        calls.push_back("measure " + std::to_string(m.itemID));
        m.itemHeight = 33;
    }
    void onDeleteItem(const DELETEITEMSTRUCT& d) override { calls.push_back("delete " + std::to_string(d.itemID)); }
    compare_result onCompareItem(const COMPAREITEMSTRUCT& c) override {
        calls.push_back("compare " + std::to_string(c.itemID1) + " " + std::to_string(c.itemID2));
        return precedes;
    }
};

class Dispatch : public testing::Test {
protected:
    WindowClass windowClass{CS_DBLCLKS, 0, nullptr, unsigned(COLOR_WINDOW), LoadCursorA(nullptr, IDC_ARROW),
                            instance()};
    Recorder window;
    void SetUp() override {
        window.create(windowClass, "Dispatch", WS_OVERLAPPEDWINDOW, Rect(10, 10, 330, 250), nullptr, nullptr,
                      instance());
    }
};

// Two ANSI file names dropped at 10,20 into the client area.
HGLOBAL makeDrop() {
    const char files[] = "C:\\a.txt\0C:\\b.txt\0";
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + sizeof(files));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES), drop->pt = POINT{10, 20}, drop->fNC = FALSE, drop->fWide = FALSE;
    std::memcpy(drop + 1, files, sizeof(files));
    GlobalUnlock(memory);
    return memory;
}

} // namespace

TEST_F(Dispatch, EachMessageReachesItsHandlerWithDecodedArguments) {
    Drawn drawn;
    drawn.create("BUTTON", "child", WS_CHILD | BS_OWNERDRAW, Rect(0, 0, 20, 20), window, HMENU(ULONG_PTR(41)),
                 instance());
    HWND plainChild = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 5, 5, window, HMENU(ULONG_PTR(42)),
                                      instance(), nullptr);
    RECT sizing{10, 20, 30, 40}, moving{-5, -6, 7, 8};
    NMHDR dblclk{drawn, 41, UINT(NM_DBLCLK)}, treeKey{plainChild, 42, UINT(TVN_KEYDOWN)};
    NMLISTVIEW listView{};
    listView.hdr = {plainChild, 42, UINT(LVN_ITEMCHANGED)}, listView.iItem = 17;
    char oldText[] = "ab", newText[] = "cd";
    NMTREEVIEWA treeA{};
    treeA.hdr = {plainChild, 42, UINT(TVN_SELCHANGEDA)}, treeA.action = TVC_BYMOUSE;
    treeA.itemOld.mask = treeA.itemNew.mask = TVIF_TEXT;
    treeA.itemOld.pszText = oldText, treeA.itemNew.pszText = newText;
    wchar_t wideText[] = L"xy";
    NMTREEVIEWW treeW{};
    treeW.hdr = {plainChild, 42, UINT(TVN_ITEMEXPANDEDW)}, treeW.action = TVE_EXPAND;
    treeW.itemNew.mask = TVIF_TEXT, treeW.itemNew.pszText = wideText;
    DRAWITEMSTRUCT draw{ODT_BUTTON, 41, 7, ODA_DRAWENTIRE, 0, drawn, nullptr, {}, 0};
    MEASUREITEMSTRUCT measure{ODT_LISTBOX, 41, 8, 0, 0, 0};
    DELETEITEMSTRUCT del{ODT_LISTBOX, 41, 9, drawn, 0};
    COMPAREITEMSTRUCT compare{ODT_LISTBOX, 41, drawn, 3, 0, 4, 0, 0};
    auto xy = [](int x, int y) { return MAKELPARAM(x, y); };

    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::string call;
        LRESULT result;
    } rows[] = {
        {WM_MOVE, 0, xy(-5, 7), "move 65531,7", 0}, {WM_SIZE, SIZE_MAXIMIZED, xy(300, 200), "size 2 300x200", 0},
        {WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, xy(-3, 40), "mousemove 5 -3,40", 0},
        {WM_LBUTTONDOWN, MK_LBUTTON, xy(1, 2), "ldown 1 1,2", 0}, {WM_LBUTTONUP, 0, xy(3, -4), "lup 0 3,-4", 0},
        {WM_LBUTTONDBLCLK, MK_LBUTTON, xy(5, 6), "ldbl 1 5,6", 0}, {WM_MBUTTONUP, 0, xy(-9, -10), "mup 0 -9,-10", 0},
        {WM_MBUTTONDOWN, MK_MBUTTON, xy(7, 8), "mdown 16 7,8", 0}, {WM_RBUTTONUP, MK_CONTROL, xy(15, 16), "rup 8 15,16", 0},
        {WM_MBUTTONDBLCLK, MK_MBUTTON, xy(11, 12), "mdbl 16 11,12", 0},
        {WM_RBUTTONDOWN, MK_RBUTTON, xy(13, 14), "rdown 2 13,14", 0},
        {WM_RBUTTONDBLCLK, MK_RBUTTON, xy(17, 18), "rdbl 2 17,18", 0},
        {WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, -120), xy(100, -2), "wheel 8 -120 100,-2", 0},
        {WM_KEYDOWN, 'A', 3 | (0x1E << 16) | (1 << 24) | (1 << 30), "keydown 65 3 30 1 1", 0},
        {WM_KEYDOWN, 'C', 1 | (0x2E << 16) | (1 << 30), "keydown 67 1 46 0 1", 0},
        {WM_KEYUP, 'B', 1 | (0x30 << 16), "keyup 66 48 0", 0}, {WM_TIMER, 77, 0, "timer 77", 0},
        {WM_COMMAND, MAKEWPARAM(1234, 0), 0, "command null 0 1234", 0},
        {WM_COMMAND, MAKEWPARAM(42, BN_CLICKED), LPARAM(plainChild), "command control 0 42", 0},
        {WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 300), 0, "hscroll null 5 300", 0},
        {WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), LPARAM(plainChild), "vscroll bar 1 0", 0},
        {WM_NOTIFY, 41, LPARAM(&dblclk), "doubleclick 41", 0},
        {WM_NOTIFY, 42, LPARAM(&listView), "listview -101 17", 0},
        {WM_NOTIFY, 42, LPARAM(&treeA), "tree -402 abcd 1", 0}, {WM_NOTIFY, 42, LPARAM(&treeW), "tree -455 xy 2", 0},
        {WM_NOTIFY, 42, LPARAM(&treeKey), "tree -412  0", 0},
        {WM_SIZING, WMSZ_RIGHT, LPARAM(&sizing), "sizing 2 10,20 30,40", TRUE},
        {WM_MOVING, 0, LPARAM(&moving), "moving -5,-6", TRUE}, {WM_ENTERSIZEMOVE, 0, 0, "entersizemove", 0},
        {WM_EXITSIZEMOVE, 0, 0, "exitsizemove", 0}, {WM_QUERYDRAGICON, 0, 0, "querydragicon", 0x4321},
        {WM_DROPFILES, 0, 0, "drop 10,20 1 C:\\a.txt|C:\\b.txt", 0}, {WM_DRAWITEM, 41, LPARAM(&draw), "", TRUE},
        {WM_MEASUREITEM, 41, LPARAM(&measure), "", TRUE}, {WM_DELETEITEM, 41, LPARAM(&del), "", TRUE},
        {WM_COMPAREITEM, 41, LPARAM(&compare), "", -1}, {WM_GETTEXTLENGTH, 0, 0, "", LRESULT(std::strlen("Dispatch"))},
    };
    for (const auto& row : rows) {
        window.calls.clear();
        const WPARAM wParam = row.message == WM_DROPFILES ? WPARAM(makeDrop()) : row.wParam;
        EXPECT_EQ(row.result, SendMessageA(window, row.message, wParam, row.lParam)) << row.call;
        EXPECT_EQ(row.call.empty() ? std::vector<std::string>() : std::vector<std::string>{row.call}, window.calls)
            << "message 0x" << std::hex << row.message;
    }
    EXPECT_EQ(110, sizing.right) << "handlers edit the rectangle in place";
    EXPECT_EQ(-4, moving.left);
    EXPECT_EQ((std::vector<std::string>{"draw 7", "measure 8", "delete 9", "compare 3 4"}), drawn.calls);
    EXPECT_EQ(33u, measure.itemHeight);
}

// Unhandled messages, and handlers that ask for default processing, return
// DefWindowProc's value; a handler's own value after that is ignored.
TEST_F(Dispatch, DefaultProcessingNestingAndTheLoop) {
    window.postMessageA(WM_TIMER, 5, 0);
    window.postMessageW(WM_KEYUP, 'Z', 0);
    PostQuitMessage(0);
    MSG msg;
    while (Window::getThreadMessage(msg))
        Window::dispatchMessage(msg);
    EXPECT_EQ(WM_QUIT, msg.message);
    EXPECT_EQ((std::vector<std::string>{"timer 5", "keyup 90 0 0"}), window.calls);

    window.fallThrough = true;
    EXPECT_EQ(DefWindowProcA(window, WM_QUERYDRAGICON, 0, 0), window.sendMessageA(WM_QUERYDRAGICON, 0, 0))
        << "the handler's icon is ignored after default processing";
    RECT r{0, 0, 5, 5};
    EXPECT_EQ(DefWindowProcA(window, WM_SIZING, WMSZ_LEFT, LPARAM(&r)), window.sendMessageA(WM_SIZING, WMSZ_LEFT, LPARAM(&r)))
        << "no TRUE once default processing ran";

    // A nested message gets its own record; the outer handler's default processing
    // then still works on the outer message.
    window.fallThrough = false;
    window.calls.clear();
    LRESULT outer = -1;
    window.during = [&](UINT message) {
        if (message == WM_GETTEXTLENGTH) {
            window.during = nullptr;
            EXPECT_EQ(0, window.sendMessageA(WM_TIMER, 9, 0));
            window.defaultWindowProc();
            outer = 1;
        }
    };
    EXPECT_EQ(LRESULT(std::strlen("Dispatch")), window.sendMessageA(WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(1, outer);
    EXPECT_EQ(std::vector<std::string>{"timer 9"}, window.calls);
    EXPECT_TRUE(window.messageStack.empty());

    const auto direct = window.processMessage(WM_TIMER, 3, 0);
    EXPECT_TRUE(direct.handled);
    EXPECT_EQ(0, direct.result);
    EXPECT_THROW(window.defaultWindowProc(), WindowsError) << "no message in dispatch";
}

TEST_F(Dispatch, ExceptionsNeverLeaveTheProcedure) {
    int thrown = 0;
    window.during = [&](UINT message) {
        if (message == WM_USER + 1 && ++thrown)
            throw std::runtime_error("handler failed");
        if (message == WM_USER + 2 && ++thrown)
            throw 42;
    };
    EXPECT_EQ(0, window.sendMessageA(WM_USER + 1, 0, 0));
    EXPECT_EQ(0, window.sendMessageA(WM_USER + 2, 0, 0));
    EXPECT_EQ(2, thrown);
    EXPECT_TRUE(window.messageStack.empty()) << "the records of failed messages are gone";
    EXPECT_EQ(LRESULT(std::strlen("Dispatch")), window.sendMessageA(WM_GETTEXTLENGTH, 0, 0));
    EXPECT_THROW(window.processMessage(WM_USER + 1, 0, 0), std::runtime_error) << "processMessage passes it on";
    EXPECT_TRUE(window.messageStack.empty());
}

// The handler sequence of create, show and destroy is what a raw procedure of a
// class with the same style receives, minus what comes before CreateWindowEx
// returns (the object is entered in the map only then).
namespace {
std::vector<UINT> rawMessages;
LRESULT CALLBACK rawProcedure(HWND h, UINT m, WPARAM w, LPARAM l) {
    rawMessages.push_back(m);
    return DefWindowProcA(h, m, w, l);
}
void showAndDestroy(HWND h) {
    ShowWindow(h, SW_SHOW);
    UpdateWindow(h);
    DestroyWindow(h);
}
} // namespace

TEST(Sequence, CreateShowDestroyMatchesARawProcedure) {
    WNDCLASSA raw{};
    raw.style = CS_DBLCLKS, raw.lpfnWndProc = rawProcedure, raw.hInstance = instance();
    raw.hbrBackground = HBRUSH(COLOR_WINDOW + 1), raw.lpszClassName = "Vesk test raw";
    ASSERT_NE(0, RegisterClassA(&raw));
    HWND h = CreateWindowExA(0, "Vesk test raw", "seq", WS_OVERLAPPEDWINDOW, 5, 5, 200, 100, nullptr, nullptr,
                             instance(), nullptr);
    const std::size_t created = rawMessages.size();
    showAndDestroy(h);
    WindowClass windowClass(CS_DBLCLKS, 0, nullptr, unsigned(COLOR_WINDOW), nullptr, instance());
    Recorder recorder;
    recorder.create(windowClass, "seq", WS_OVERLAPPEDWINDOW, Rect(5, 5, 205, 105), nullptr, nullptr, instance());
    EXPECT_TRUE(recorder.messages.empty()) << "nothing reaches the object during creation";
    showAndDestroy(recorder.getWindowHandle());
    EXPECT_EQ(std::vector<UINT>(rawMessages.begin() + std::ptrdiff_t(created), rawMessages.end()), recorder.messages);
    EXPECT_EQ("destroy", recorder.calls.at(recorder.calls.size() - 2));
    EXPECT_EQ("ncdestroy", recorder.calls.back());
    EXPECT_FALSE(recorder.isOpen()) << "WM_NCDESTROY takes the object back to empty";
    UnregisterClassA("Vesk test raw", instance());
}

// A subclassed edit control: default processing is the edit's own procedure.
TEST(Subclass, EditControlKeepsItsText) {
    HWND edit = CreateWindowExA(0, "EDIT", "hello", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, instance(), nullptr);
    ASSERT_TRUE(edit);
    const LONG_PTR original = GetWindowLongPtrA(edit, GWLP_WNDPROC);
    {
        Recorder object;
        object.subclass(edit);
        EXPECT_TRUE(object.isSubclass());
        object.during = [&](UINT message) {
            if (message == WM_GETTEXTLENGTH)
                object.defaultWindowProc();  // then onMessage's own default runs on top
        };
        char text[16] = {};
        EXPECT_EQ(5, SendMessageA(edit, WM_GETTEXT, sizeof(text), LPARAM(text)));
        EXPECT_STREQ("hello", text);
        EXPECT_EQ(5, SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0));
        object.setText("changed");
        EXPECT_EQ("changed", std::string(object.getTextA()));
        EXPECT_EQ(L"changed", std::wstring(object.getTextW()));
        EXPECT_EQ(0, lstrcmpiA("Edit", object.getClassNameA()));
        object.unsubclass();
        EXPECT_EQ(original, GetWindowLongPtrA(edit, GWLP_WNDPROC));
    }
    DestroyWindow(edit);
}

TEST_F(Dispatch, PaintingThroughAPaintContext) {
    class Painter : public Window {
    public:
        bool painted = false;

    protected:
        void onPaint() override {
            PaintDeviceContext dc(*this);
            dc.fillRectangle(RGB(0, 128, 255), getClientRectangle());
            painted = true;
        }
    } painter;
    painter.create(windowClass, "paint", WS_POPUP | WS_VISIBLE, Rect(0, 0, 60, 40), nullptr, nullptr, instance());
    painter.invalidate(true);
    painter.update();
    EXPECT_TRUE(painter.painted);
    EXPECT_EQ(RGB(0, 128, 255), DeviceContext(painter.getWindowHandle(), false).getPixel(30, 20));
    EXPECT_EQ(Size(60, 40), painter.getClientSize());
    RECT update{};
    EXPECT_FALSE(GetUpdateRect(painter, &update, FALSE)) << "EndPaint validated the window";
}
