// Windows with real handles: one table of messages, each with the handler it
// must reach, the decoded arguments and the procedure's result; posted messages
// through the library's loop; the handler sequence of create, show and destroy
// against what a raw WNDPROC receives; default processing (a plain window, a
// subclassed edit control, nested messages); exceptions kept inside the
// procedure. Lifetime: objects deleted inside their own handlers,
// during destroy() and while messages nest; subclassed windows that outlive
// their object (alone and under a foreign subclass); window classes shared and
// released; lookups, casts, full-width longs and failure texts; the library's
// window map back where it was.
#include "gui_driver.h"

#include <boost/numeric/conversion/cast.hpp>

#include <shlobj.h>

using namespace vesk;
using namespace vesk_test;

namespace {

vesk_test::Watchdog watchdog(120);

std::ostream& operator<<(std::ostream& out, const Point& p) { return out << p.x << ',' << p.y; }
std::ostream& operator<<(std::ostream& out, const Size& s) { return out << s.cx << 'x' << s.cy; }
template <class C> std::string narrow(const C* text) { return text ? std::string(text, text + std::char_traits<C>::length(text)) : ""; }

// Records every handler call with its decoded arguments; handlers answer without
// default processing unless `fallThrough` is set. `during` runs first for every
// message; when it returns true the message ends there (the object may be gone).
struct Probe : Window, OwnerDrawable {
    std::vector<std::string> calls;
    std::vector<UINT> messages;
    bool fallThrough = false;
    std::function<bool(Probe&, UINT)> during;
    std::function<void(Probe&)> onLast;
    int* destructions = nullptr;
    ~Probe() override { destructions && ++*destructions; }
    using Window::defaultWindowProc, Window::getWindowLong, Window::messageStack, Window::processMessage,
        Window::setWindowLong;
    template <class... A> void note(const A&... parts) {
        std::ostringstream text;
        ((text << parts << ' '), ...);
        calls.push_back(text.str().substr(0, text.str().size() - 1));
        if (fallThrough)
            defaultWindowProc();
    }
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back(message);
        return during && during(*this, message) ? 0 : Window::onMessage(message, wParam, lParam);
    }
    void onCommand(Window* c, unsigned short code, unsigned short id) override {
        note("command", c ? (c->getWindowHandle() ? "control" : "empty") : "null", code, id);
    }
    void onHScroll(Window* b, unsigned short code, unsigned short pos) override { note("hscroll", b ? "bar" : "null", code, pos); }
    void onVScroll(Window* b, unsigned short code, unsigned short pos) override { note("vscroll", b ? "bar" : "null", code, pos); }
    void onPaint() override { note("paint"), ValidateRect(*this, nullptr); }
    void onNotification(const NMTREEVIEWW& n) override {
        note("tree", int(n.hdr.code), narrow(n.itemOld.pszText) + narrow(n.itemNew.pszText), n.action);
    }
    void onNCDestroy() override {
        calls.push_back("ncdestroy"), Window::onNCDestroy();
        if (onLast)
            onLast(*this);
    }
// One handler that notes its name and arguments: NOTE(handler, (parameters), name, arguments...).
#define NOTE(handler, parameters, ...) \
    void handler parameters override { note(__VA_ARGS__); }
#define MOUSE(handler, name) NOTE(handler, (unsigned short k, const Point& p), name, k, p)
    MOUSE(onMouseMove, "mousemove") MOUSE(onLeftButtonDown, "ldown") MOUSE(onLeftButtonUp, "lup")
    MOUSE(onLeftButtonDoubleClick, "ldbl") MOUSE(onMiddleButtonDown, "mdown") MOUSE(onMiddleButtonUp, "mup")
    MOUSE(onMiddleButtonDoubleClick, "mdbl") MOUSE(onRightButtonDown, "rdown") MOUSE(onRightButtonUp, "rup")
    MOUSE(onRightButtonDoubleClick, "rdbl") NOTE(onDestroy, (), "destroy") NOTE(onTimer, (unsigned id), "timer", id)
    NOTE(onEnterSizeMove, (), "entersizemove") NOTE(onExitSizeMove, (), "exitsizemove") NOTE(onMove, (const Point& p), "move", p)
    NOTE(onSize, (unsigned type, const Size& s), "size", type, s) NOTE(onDoubleClick, (const NMHDR& h), "doubleclick", h.idFrom)
    NOTE(onMouseWheel, (unsigned short k, short d, const Point& p), "wheel", k, d, p)
    NOTE(onKeyUp, (unsigned key, unsigned char scan, bool ext), "keyup", key, int(scan), ext)
    NOTE(onNotification, (const NMLISTVIEW& n), "listview", int(n.hdr.code), n.iItem)
    NOTE(onDrawItem, (const DRAWITEMSTRUCT& d), "draw", d.itemID) NOTE(onDeleteItem, (const DELETEITEMSTRUCT& d), "delete", d.itemID)
#undef MOUSE
#undef NOTE
    void onKeyDown(unsigned key, unsigned short n, unsigned char scan, bool ext, bool was) override { note("keydown", key, n, int(scan), ext, was); }
    HICON onQueryDragIcon() override { return note("querydragicon"), reinterpret_cast<HICON>(ULONG_PTR(0x4321)); }
    void onSizing(unsigned edge, Rect& r) override { note("sizing", edge, r.getTopLeft(), r.getBottomRight()), r.right = r.left + 100; }
    void onMeasureItem(MEASUREITEMSTRUCT& m) override { note("measure", m.itemID), m.itemHeight = 33; }
    compare_result onCompareItem(const COMPAREITEMSTRUCT& c) override { return note("compare", c.itemID1, c.itemID2), precedes; }
    void onMoving(Rect& r) override { note("moving", r.getTopLeft()), r = r.move(Point(1, 1)); }
    void onDroppedFiles(const Point& p, bool client, const std::list<BasicString<wchar_t>>& files) override {
        std::string names;
        for (const auto& f : files)
            names += (names.empty() ? "" : "|") + narrow(f.c_str());
        note("drop", p, client, names);
    }
};

struct Dispatch : testing::Test {
    const std::size_t registered = Window::getRegisteredCount();
    Probe window;
    void SetUp() override { vesk_test::open(window, nullptr, 0, "Dispatch"); }
    void TearDown() override { EXPECT_EQ(registered, (window.destroy(), Window::getRegisteredCount())); }
};

TEST_F(Dispatch, EachMessageReachesItsHandlerWithDecodedArguments) {
    Probe drawn;  // an owner-drawn child: answers the routed drawing messages
    drawn.create("BUTTON", "child", WS_CHILD | BS_OWNERDRAW, Rect(0, 0, 20, 20), window, HMENU(ULONG_PTR(41)), instance());
    HWND child = rawChild(window, "STATIC", 42);
    RECT sizing{10, 20, 30, 40}, moving{-5, -6, 7, 8};
    NMHDR dblclk{drawn, 41, UINT(NM_DBLCLK)}, treeKey{child, 42, UINT(TVN_KEYDOWN)};
    NMLISTVIEW listView{{child, 42, UINT(LVN_ITEMCHANGED)}, 17, 0, 0, 0, 0, {}, 0};
    NMTREEVIEWA treeA{{child, 42, UINT(TVN_SELCHANGEDA)}, TVC_BYMOUSE, {TVIF_TEXT, nullptr, 0, 0, const_cast<char*>("ab"), 0, 0, 0, 0, 0},
                      {TVIF_TEXT, nullptr, 0, 0, const_cast<char*>("cd"), 0, 0, 0, 0, 0}, {}};
    NMTREEVIEWW treeW{{child, 42, UINT(TVN_ITEMEXPANDEDW)}, TVE_EXPAND, {}, {TVIF_TEXT, nullptr, 0, 0, const_cast<wchar_t*>(L"xy"), 0, 0, 0, 0, 0}, {}};
    DRAWITEMSTRUCT draw{ODT_BUTTON, 41, 7, ODA_DRAWENTIRE, 0, drawn, nullptr, {}, 0};
    MEASUREITEMSTRUCT measure{ODT_LISTBOX, 41, 8, 0, 0, 0};
    DELETEITEMSTRUCT del{ODT_LISTBOX, 41, 9, drawn, 0};
    COMPAREITEMSTRUCT compare{ODT_LISTBOX, 41, drawn, 3, 0, 4, 0, 0};
    // Two ANSI file names dropped at 10,20 into the client area.
    const char files[] = "C:\\a.txt\0C:\\b.txt\0";
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + sizeof(files));
    auto* dropped = static_cast<DROPFILES*>(GlobalLock(drop));
    *dropped = DROPFILES{sizeof(DROPFILES), POINT{10, 20}, FALSE, FALSE};
    std::memcpy(dropped + 1, files, sizeof(files)), GlobalUnlock(drop);
    auto xy = [](int x, int y) { return MAKELPARAM(x, y); };
    const struct { UINT message; WPARAM wParam; LPARAM lParam; std::string call; LRESULT result; } rows[] = {
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
        {WM_KEYUP, 'B', 1 | (0x30 << 16), "keyup 66 48 0", 0}, {WM_TIMER, 77, 0, "timer 77", 0}, {WM_PAINT, 0, 0, "paint", 0},
        {WM_COMMAND, MAKEWPARAM(1234, 0), 0, "command null 0 1234", 0},
        {WM_COMMAND, MAKEWPARAM(42, BN_CLICKED), LPARAM(child), "command control 0 42", 0},
        {WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 300), 0, "hscroll null 5 300", 0},
        {WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), LPARAM(child), "vscroll bar 1 0", 0},
        {WM_NOTIFY, 41, LPARAM(&dblclk), "doubleclick 41", 0}, {WM_NOTIFY, 42, LPARAM(&listView), "listview -101 17", 0},
        {WM_NOTIFY, 42, LPARAM(&treeA), "tree -402 abcd 1", 0}, {WM_NOTIFY, 42, LPARAM(&treeW), "tree -455 xy 2", 0},
        {WM_NOTIFY, 42, LPARAM(&treeKey), "tree -412  0", 0},
        {WM_SIZING, WMSZ_RIGHT, LPARAM(&sizing), "sizing 2 10,20 30,40", TRUE},
        {WM_MOVING, 0, LPARAM(&moving), "moving -5,-6", TRUE}, {WM_ENTERSIZEMOVE, 0, 0, "entersizemove", 0},
        {WM_EXITSIZEMOVE, 0, 0, "exitsizemove", 0}, {WM_QUERYDRAGICON, 0, 0, "querydragicon", 0x4321},
        {WM_DROPFILES, WPARAM(drop), 0, "drop 10,20 1 C:\\a.txt|C:\\b.txt", 0}, {WM_DRAWITEM, 41, LPARAM(&draw), "", TRUE},
        {WM_MEASUREITEM, 41, LPARAM(&measure), "", TRUE}, {WM_DELETEITEM, 41, LPARAM(&del), "", TRUE},
        {WM_COMPAREITEM, 41, LPARAM(&compare), "", -1}, {WM_GETTEXTLENGTH, 0, 0, "", LRESULT(std::strlen("Dispatch"))},
    };
    for (const auto& row : rows) {
        EXPECT_TEXT((text{row.result, row.call.empty() ? 0 : 1, row.call}), (window.calls.clear(), SendMessageA(window, row.message, row.wParam, row.lParam)),
                    window.calls.size(), window.calls.empty() ? "" : window.calls.back()) << "message 0x" << std::hex << row.message;
    }
    // Handlers edit the rectangles and records in place.
    EXPECT_TEXT("110 -4 33", sizing.right, moving.left, measure.itemHeight);
    EXPECT_EQ((std::vector<std::string>{"draw 7", "measure 8", "delete 9", "compare 3 4"}), drawn.calls);
}

// Unhandled messages, and handlers that ask for default processing, return
// DefWindowProc's value; a handler's own value after that is ignored. Nested
// messages get their own record; exceptions stay inside the procedure.
TEST_F(Dispatch, DefaultProcessingNestingExceptionsTheLoopAndLifetime) {
    window.postMessageA(WM_TIMER, 5, 0), window.postMessageW(WM_KEYUP, 'Z', 0), PostQuitMessage(0);
    MSG msg;
    while (Window::getThreadMessage(msg))
        Window::dispatchMessage(msg);
    EXPECT_EQ((std::vector<std::string>{"timer 5", "keyup 90 0 0"}), window.calls);

    // No TRUE once default processing ran.
    RECT r{0, 0, 5, 5};
    EXPECT_TEXT((text{DefWindowProcA(window, WM_QUERYDRAGICON, 0, 0), DefWindowProcA(window, WM_SIZING, WMSZ_LEFT, LPARAM(&r))}),
                (window.fallThrough = true, window.sendMessageA(WM_QUERYDRAGICON, 0, 0)), window.sendMessageA(WM_SIZING, WMSZ_LEFT, LPARAM(&r)));
    window.fallThrough = false, window.calls.clear();
    LRESULT outer = -1;
    window.during = [&](Probe& w, UINT message) {
        if (message == WM_GETTEXTLENGTH)  // defaultWindowProc: still the outer message
            outer = w.sendMessageA(WM_TIMER, 9, 0), w.defaultWindowProc(), w.during = nullptr;
        return false;
    };
    EXPECT_TEXT("8 0", window.sendMessageA(WM_GETTEXTLENGTH, 0, 0), outer);
    EXPECT_EQ(std::vector<std::string>{"timer 9"}, window.calls);
    EXPECT_TEXT("1 0", window.processMessage(WM_TIMER, 3, 0).handled, window.processMessage(WM_TIMER, 3, 0).result);
    EXPECT_THROW(window.defaultWindowProc(), WindowsError) << "no message in dispatch";

    window.during = [](Probe&, UINT message) -> bool {
        if (message == WM_USER + 1)
            throw std::runtime_error("handler failed");
        return message == WM_USER + 2 ? throw 42 : false;
    };
    // The records of failed messages are gone.
    EXPECT_TEXT("0 0 1 8", window.sendMessageA(WM_USER + 1, 0, 0), window.sendMessageA(WM_USER + 2, 0, 0),
                window.messageStack.empty(), window.sendMessageA(WM_GETTEXTLENGTH, 0, 0));
    EXPECT_THROW(window.processMessage(WM_USER + 1, 0, 0), std::runtime_error) << "processMessage passes it on";
    EXPECT_TRUE(window.messageStack.empty());

    // Objects deleted inside their own handlers.
    const std::size_t registered = Window::getRegisteredCount();
    int destructions = 0;
    auto make = [&](std::function<bool(Probe&, UINT)> during, std::function<void(Probe&)> onLast = nullptr) {
        auto* w = new Probe;
        w->destructions = &destructions, w->during = std::move(during), w->onLast = std::move(onLast);
        return static_cast<HWND>(vesk_test::open(*w));
    };
    // The owning object destroys its window on the way.
    HWND h = make([](Probe& self, UINT message) { return message == WM_USER && (delete &self, true); });
    EXPECT_TEXT("0 1 0", SendMessageA(h, WM_USER, 0, 0), destructions, IsWindow(h));
    // Deleted by a nested message while the outer one is still in dispatch.
    h = make([&h](Probe& self, UINT message) {
        if (message == WM_USER + 1)
            SendMessageA(h, WM_USER + 2, 0, 0);  // self is gone when this returns
        return message == WM_USER + 1 || (message == WM_USER + 2 && (delete &self, true));
    });
    EXPECT_TEXT("0 2", SendMessageA(h, WM_USER + 1, 0, 0), destructions);
    // Deleted from WM_NCDESTROY while destroy() runs on it.
    Window::getWindowFromHandle(make(nullptr, [](Probe& self) { delete &self; }), false)->destroy();
    EXPECT_TEXT("3 1", destructions, Window::getRegisteredCount() == registered);

    // A parent's handler sends to itself and to its child while it goes: only
    // live objects are reached, and the child learns that its window went.
    auto parent = std::make_unique<Probe>();
    Probe child;
    vesk_test::open(child, vesk_test::open(*parent));
    HWND parentHandle = *parent, childHandle = child;
    parent->during = [=](Probe&, UINT message) {
        return message == WM_DESTROY && (SendMessageA(parentHandle, WM_USER, 0, 0), SendMessageA(childHandle, WM_USER, 0, 0), false);
    };
    parent.reset();
    EXPECT_TEXT("0 0 1", IsWindow(childHandle), child.isOpen(), child.messages.size() > 0);
    // A handler that overrides WM_NCDESTROY without the default still leaves no
    // entry, also when the window goes by another hand than destroy().
    struct Forgetful : Window {
        void onNCDestroy() override {}
    } forgetful;
    DestroyWindow(vesk_test::open(forgetful));
    EXPECT_TEXT("0 1", forgetful.isOpen(), Window::getRegisteredCount() == registered);
}

// The handler sequence of create, show and destroy is what a raw procedure of a
// class with the same style receives, minus what comes before CreateWindowEx
// returns (the object is entered in the map only then).
std::vector<UINT> rawMessages;
LRESULT CALLBACK rawProcedure(HWND h, UINT m, WPARAM w, LPARAM l) { return rawMessages.push_back(m), DefWindowProcA(h, m, w, l); }
void showAndDestroy(HWND h) { ShowWindow(h, SW_SHOW), UpdateWindow(h), DestroyWindow(h); }

WNDPROC below = nullptr;
int foreignCalls = 0;
LRESULT CALLBACK foreign(HWND h, UINT m, WPARAM w, LPARAM l) { return ++foreignCalls, CallWindowProcA(below, h, m, w, l); }

TEST(Sequence, CreateShowDestroyMatchesARawProcedureSubclassedEditOutlivesItsObject) {
    WNDCLASSA raw{CS_DBLCLKS, rawProcedure, 0, 0, instance(), nullptr, nullptr, HBRUSH(COLOR_WINDOW + 1), nullptr, "Vesk test raw"};
    ASSERT_NE(0, RegisterClassA(&raw));
    std::size_t created = 0;
    for (int round = 0; round < 2; ++round) {  // the first window a thread shows also selects its input method
        HWND h = CreateWindowExA(0, "Vesk test raw", "seq", WS_OVERLAPPEDWINDOW, 5, 5, 200, 100, nullptr, nullptr,
                                 instance(), nullptr);
        created = rawMessages.size();
        showAndDestroy(h);
    }
    WindowClass windowClass(CS_DBLCLKS, 0, nullptr, unsigned(COLOR_WINDOW), nullptr, instance());
    Probe probe;
    probe.create(windowClass, "seq", WS_OVERLAPPEDWINDOW, Rect(5, 5, 205, 105), nullptr, nullptr, instance());
    EXPECT_TRUE(probe.messages.empty()) << "nothing reaches the object during creation";
    showAndDestroy(probe.getWindowHandle());
    EXPECT_EQ(std::vector<UINT>(rawMessages.begin() + std::ptrdiff_t(created), rawMessages.end()), probe.messages);
    EXPECT_EQ((std::vector<std::string>{"destroy", "ncdestroy"}), std::vector<std::string>(probe.calls.end() - 2, probe.calls.end()));
    EXPECT_FALSE(probe.isOpen()) << "WM_NCDESTROY takes the object back to empty";
    UnregisterClassA("Vesk test raw", instance());

    // A subclassed edit control: default processing is the edit's own procedure;
    // the object puts the old procedure back when it goes, or, under a foreign
    // subclass, stays in the chain and forwards to the edit.
    const std::size_t registered = Window::getRegisteredCount();
    HWND edit = CreateWindowExA(0, "EDIT", "hello", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, instance(), nullptr);
    const LONG_PTR original = GetWindowLongPtrA(edit, GWLP_WNDPROC);
    char text[16] = {};
    {
        Probe object;
        object.subclass(edit);
        // defaultWindowProc, then onMessage's own default on top: the edit's answer either way.
        object.during = [](Probe& o, UINT message) { return message == WM_GETTEXTLENGTH && (o.defaultWindowProc(), false); };
        EXPECT_TEXT("1 5 hello 5", object.isSubclass(), SendMessageA(edit, WM_GETTEXT, sizeof(text), LPARAM(text)), text,
                    SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0));
        object.setText(L"changed");
        EXPECT_TEXT("changed 7 0", object.getTextA(), object.getTextLengthW(), lstrcmpiA("Edit", object.getClassNameA()));
    }  // not unsubclassed by the caller
    EXPECT_EQ(original, GetWindowLongPtrA(edit, GWLP_WNDPROC)) << "the object put the old procedure back";
    EXPECT_EQ(registered, Window::getRegisteredCount());
    Probe().subclass(edit), below = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(edit, GWLP_WNDPROC, LONG_PTR(&foreign)));
    EXPECT_THROW(Probe().subclass(edit), WindowsError) << "the library's procedure is still in the chain";
    SetWindowTextA(edit, "still");
    EXPECT_TEXT("5 1", GetWindowTextA(edit, text, sizeof(text)), foreignCalls > 0);
    DestroyWindow(edit);
    EXPECT_EQ(registered, Window::getRegisteredCount());
}

TEST(Lookup, PointersIdentifiersLongsClassesAndFailures) {
    Probe parent, registered;
    vesk_test::open(registered, vesk_test::open(parent), 41);
    HWND plain = rawChild(parent, "STATIC", 70000);
    Window::Pointer<Window> found = Window::getWindowFromHandle(registered, false), temporary = Window::getWindowFromHandle(plain, true);
    // A checked cast to the object's own class; an owned plain Window is no Probe.
    EXPECT_TEXT("1 0 1", found.get() == &registered, found.isOwned(), Window::Pointer<Probe>(found).get() == &registered);
    EXPECT_TEXT("0 0", bool(Window::getWindowFromHandle(plain, false)), bool(Window::getWindowFromHandle(nullptr, true)));
    EXPECT_TEXT("1 1 0 0", temporary.isOwned(), temporary->getWindowHandle() == plain, bool(Window::Pointer<Probe>(temporary)), bool(temporary));
    EXPECT_TEXT("41 1 1", registered.getID(), parent.getDialogItem(41, false).get() == &registered, registered.getParent().get() == &parent);
    EXPECT_THROW(Window(plain).getID(), boost::bad_numeric_cast) << "70000 does not fit 16 bits";
    const std::size_t count = Window::getRegisteredCount();
    {
        HWND attachable = rawChild(parent, "STATIC", 43);
        Probe attached;
        attached.attach(parent, 43);
        EXPECT_TEXT("1 1", Window::getWindowFromHandle(attachable, false).get() == &attached, Window::getRegisteredCount() == count + 1);
    }
    EXPECT_EQ(count, Window::getRegisteredCount()) << "an attached object takes its entry with it";
    const LONG_PTR wide = sizeof(LONG_PTR) == 8 ? LONG_PTR(0x123456789ABCDEF0LL) : LONG_PTR(0x9ABCDEF0);
    parent.setWindowLong(GWLP_USERDATA, wide);
    EXPECT_EQ(wide, parent.getWindowLong(GWLP_USERDATA)) << "no half of the value is lost";
    parent.setStyle(WS_VISIBLE, WS_VISIBLE);
    EXPECT_EQ(DWORD(WS_POPUP | WS_VISIBLE), parent.getStyle() & (WS_POPUP | WS_VISIBLE));

    // Window classes of the same arguments share one registration, named after
    // them; the last use unregisters it.
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    char expected[256];
    const int digits = int(2 * sizeof(void*));
    std::snprintf(expected, sizeof(expected),
                  "Vesk++ WindowClass: Style=2b, Icon=%0*llX, Brush=%0*llX, Cursor=%0*llX, Menu=1a, Instance=%0*llX",
                  digits, 0ULL, digits, 6ULL, digits, (unsigned long long)(ULONG_PTR)arrow, digits,
                  (unsigned long long)(ULONG_PTR)instance());
    const std::string name = expected;
    WNDCLASSA info{};
    auto classRegistered = [&] { return GetClassInfoA(instance(), name.c_str(), &info) && info.lpfnWndProc == &Window::windowProc; };
    {
        WindowClass a(0x2b, 0x1a, nullptr, unsigned(COLOR_WINDOW), arrow, instance());
        WindowClass b(0x2b, 0x1a, nullptr, HBRUSH(COLOR_WINDOW + 1), arrow, instance());
        EXPECT_EQ(name, a.getName());
        EXPECT_TEXT("1 2 1", a.getAtom() == b.getAtom(), WindowClass::getUseCount(name), classRegistered());
        EXPECT_NE(a.getAtom(), WindowClass(0x2b, 0x1b, nullptr, unsigned(COLOR_WINDOW), arrow, instance()).getAtom());
        a.close(), a.close();  // a second close gives nothing back
        EXPECT_TEXT("0 1 1", bool(a), WindowClass::getUseCount(name), classRegistered());
    }
    EXPECT_TEXT("0 0", WindowClass::getUseCount(name), classRegistered());

    DestroyWindow(plain);
    HWND dead = rawChild(nullptr, "STATIC", 0);
    DestroyWindow(dead);
    Window stale(dead);
    vesk_test::expectFailures({
        {"Can't get dialog item 99 for attaching", [&] { Window().attach(parent, 99); }},
        {"Can't retrieve dialog item 99", [&] { parent.getDialogItem(99, true); }},
        {"Can't retrieve dialogue item for subclassing", [&] { Window().subclass(parent, 99); }},
        {"Can't subclass a window that already runs the library's window procedure", [&] { Window().subclass(parent); }},
        {"Can't create timer with id 5 and interval 10", [&] { stale.startTimer(5, 10); }},
        {"Can't stop timer with id 5", [&] { stale.stopTimer(5); }},
        {"Can't destroy window", [&] { stale.destroy(); }},
        {"Can't get client rectangle", [&] { stale.getClientRectangle(); }},
        {"Error in retrieving window text length", [&] { stale.getTextLengthA(); }},
        {"Can't create window: the window class holds no class",
         [] { Window().create(WindowClass(), "x", WS_POPUP, Rect(), nullptr, nullptr, instance()); }},
    });
}

} // namespace
