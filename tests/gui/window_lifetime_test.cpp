// Lifetime of windows, objects and classes with real windows: objects deleted
// from inside their own handlers, during destroy(), while messages nest;
// subclassed windows whose object goes (alone, and under a foreign subclass);
// foreign writes to GWLP_USERDATA; pointer-sized window longs; 10^4 windows
// created and destroyed with the USER count and the map back where they started;
// window classes shared, copied, assigned and released; Pointer<T> casts; control
// identifiers that do not fit 16 bits; failure texts.
#include "gui_driver.h"

#include <boost/numeric/conversion/cast.hpp>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace vesk;

namespace {

vesk_test::Watchdog watchdog(120);
using vesk_test::instance;
using vesk_test::sharedClass;

// A window whose handlers run what the test gives them.
class Scripted : public Window {
public:
    // Returns true when it deleted the object: the handler then returns at once.
    std::function<bool(Scripted&, UINT)> onAny;
    std::function<void(Scripted&)> onLast;
    int* destructions = nullptr;
    int seen = 0;
    ~Scripted() override {
        if (destructions)
            ++*destructions;
    }
    Scripted& open(HWND parent = nullptr) {
        create(sharedClass(), "scripted", parent ? WS_CHILD : WS_POPUP, Rect(0, 0, 50, 50), parent, nullptr,
               instance());
        return *this;
    }
    using Window::getWindowLong;
    using Window::setWindowLong;

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        ++seen;
        if (onAny && onAny(*this, message))
            return 0;
        return Window::onMessage(message, wParam, lParam);
    }
    void onNCDestroy() override {
        Window::onNCDestroy();
        if (onLast)
            onLast(*this);
    }
};

HWND plainChild(HWND parent, ULONG_PTR id) {
    return CreateWindowExA(0, "STATIC", "", parent ? WS_CHILD : WS_POPUP, 0, 0, 5, 5, parent, HMENU(id), instance(),
                           nullptr);
}

// Every test ends with the library's map as it found it.
class Lifetime : public testing::Test {
protected:
    const std::size_t registered = Window::getRegisteredCount();
    void TearDown() override { EXPECT_EQ(registered, Window::getRegisteredCount()); }
};

} // namespace

TEST_F(Lifetime, ObjectDeletedInsideItsOwnHandler) {
    int destructions = 0;
    auto make = [&](std::function<bool(Scripted&, UINT)> onAny) {
        auto* w = new Scripted;
        w->destructions = &destructions, w->onAny = std::move(onAny);
        return static_cast<HWND>(w->open());
    };
    HWND h = make([](Scripted& self, UINT message) { return message == WM_USER && (delete &self, true); });
    EXPECT_EQ(0, SendMessageA(h, WM_USER, 0, 0));
    EXPECT_EQ(1, destructions);
    EXPECT_FALSE(IsWindow(h)) << "the owning object destroyed its window on the way";
    EXPECT_EQ(registered, Window::getRegisteredCount());

    // Deleted by a nested message while the outer one is still in dispatch.
    h = make([&h](Scripted& self, UINT message) {
        if (message == WM_USER + 1)
            SendMessageA(h, WM_USER + 2, 0, 0);  // self is gone when this returns
        else if (message == WM_USER + 2)
            delete &self;
        return message == WM_USER + 1 || message == WM_USER + 2;
    });
    EXPECT_EQ(0, SendMessageA(h, WM_USER + 1, 0, 0));
    EXPECT_EQ(2, destructions);
    EXPECT_EQ(registered, Window::getRegisteredCount());

    // Deleted from WM_NCDESTROY while destroy() runs on it.
    auto* w = new Scripted;
    w->destructions = &destructions, w->onLast = [](Scripted& self) { delete &self; };
    w->open().destroy();
    EXPECT_EQ(3, destructions);
}

TEST_F(Lifetime, MessagesDuringDestructionReachOnlyLiveObjects) {
    auto parent = std::make_unique<Scripted>();
    Scripted child;
    child.open(parent->open());
    // The parent's own handler sends to itself and to the child while it goes.
    HWND parentHandle = *parent, childHandle = child;
    parent->onAny = [=](Scripted&, UINT message) {
        if (message == WM_DESTROY)
            SendMessageA(parentHandle, WM_USER, 0, 0), SendMessageA(childHandle, WM_USER, 0, 0);
        return false;
    };
    parent.reset();
    EXPECT_FALSE(IsWindow(childHandle));
    EXPECT_FALSE(child.isOpen()) << "the child object learnt that its window went";
    EXPECT_GT(child.seen, 0);
    EXPECT_EQ(registered, Window::getRegisteredCount());

    // A handler that overrides WM_NCDESTROY without the default still leaves no
    // entry, also when the window goes by another hand than destroy().
    class Forgetful : public Window {
    protected:
        void onNCDestroy() override {}
    } forgetful;
    forgetful.create(sharedClass(), "forgetful", WS_POPUP, Rect(0, 0, 5, 5), nullptr, nullptr, instance());
    DestroyWindow(forgetful);
    EXPECT_EQ(registered, Window::getRegisteredCount());
    EXPECT_FALSE(forgetful.isOpen());
}

TEST_F(Lifetime, SubclassedWindowOutlivesItsObject) {
    HWND edit = CreateWindowExA(0, "EDIT", "kept", WS_POPUP, 0, 0, 80, 20, nullptr, nullptr, instance(), nullptr);
    const LONG_PTR original = GetWindowLongPtrA(edit, GWLP_WNDPROC);
    Scripted().subclass(edit);  // not unsubclassed by the caller
    EXPECT_EQ(original, GetWindowLongPtrA(edit, GWLP_WNDPROC)) << "the object put the old procedure back";
    EXPECT_EQ(registered, Window::getRegisteredCount());
    char text[16] = {};
    EXPECT_EQ(4, GetWindowTextA(edit, text, sizeof(text)));

    // Another subclass on top: the library's procedure stays in the chain and
    // forwards to the edit's procedure once the object is gone.
    static WNDPROC below = nullptr;
    static int foreignCalls = 0;
    {
        Scripted object;
        object.subclass(edit);
        below = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                ++foreignCalls;
                return CallWindowProcA(below, h, m, w, l);
            })));
    }
    EXPECT_THROW(Scripted().subclass(edit), WindowsError) << "the library's procedure is still in the chain";
    SetWindowTextA(edit, "still");
    EXPECT_EQ(5, GetWindowTextA(edit, text, sizeof(text)));
    EXPECT_STREQ("still", text);
    EXPECT_GT(foreignCalls, 0);
    DestroyWindow(edit);
}

TEST_F(Lifetime, ForeignUserDataAndFullWidthLongs) {
    Scripted w;
    w.open();
    // A hook or another subclass may write anything there: the library keeps
    // nothing in the slot, so dispatch goes on.
    SetWindowLongPtrA(w, GWLP_USERDATA, LONG_PTR(0xDEADBEEF));
    const int before = w.seen;
    EXPECT_EQ(LRESULT(std::strlen("scripted")), SendMessageA(w, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(before + 1, w.seen);

    const LONG_PTR wide = sizeof(LONG_PTR) == 8 ? LONG_PTR(0x123456789ABCDEF0LL) : LONG_PTR(0x9ABCDEF0);
    w.setWindowLong(GWLP_USERDATA, wide);
    EXPECT_EQ(wide, w.getWindowLong(GWLP_USERDATA)) << "no half of the value is lost";
    EXPECT_EQ(wide, GetWindowLongPtrA(w, GWLP_USERDATA));
    w.setStyle(WS_VISIBLE, 0);
    EXPECT_EQ(WS_POPUP, w.getStyle() & (WS_POPUP | WS_VISIBLE));
}

// Thousands of windows (children of one hidden window, which the system makes
// without a host window each), 500 alive at a time; the USER count (where the
// system gives one) and the library's map end where they started.
TEST_F(Lifetime, ThousandsOfWindowsComeAndGo) {
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    Scripted parent;
    parent.open();
    std::vector<HWND> sample;
    for (int round = 0; round < 6; ++round) {
        std::vector<std::unique_ptr<Scripted>> windows;
        for (int i = 0; i < 500; ++i)
            windows.push_back(std::make_unique<Scripted>()), windows.back()->open(parent);
        ASSERT_EQ(registered + 501, Window::getRegisteredCount());
        sample.push_back(*windows[std::size_t(round) * 97]);
        for (auto& w : windows)
            if (round % 2)
                w->destroy();  // half the rounds destroy first, the rest by the destructor
    }
    parent.destroy();
    EXPECT_EQ(registered, Window::getRegisteredCount());
    EXPECT_EQ(user, GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS))
        << "Wine gives 0 for both: there the map and the handles tell";
    for (HWND h : sample)
        EXPECT_FALSE(IsWindow(h));
}

TEST(WindowClasses, SameArgumentsShareOneClass) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    char expected[256];
    const int digits = int(2 * sizeof(void*));
    std::snprintf(expected, sizeof(expected),
                  "Vesk++ WindowClass: Style=2b, Icon=%0*llX, Brush=%0*llX, Cursor=%0*llX, Menu=1a, Instance=%0*llX",
                  digits, 0ULL, digits, 6ULL, digits, (unsigned long long)(ULONG_PTR)arrow, digits,
                  (unsigned long long)(ULONG_PTR)instance());
    const std::string name = expected;
    WNDCLASSA info{};
    {
        WindowClass a(0x2b, 0x1a, nullptr, unsigned(COLOR_WINDOW), arrow, instance());
        WindowClass b(0x2b, 0x1a, nullptr, HBRUSH(COLOR_WINDOW + 1), arrow, instance());
        EXPECT_EQ(name, a.getName());
        EXPECT_EQ(a.getAtom(), b.getAtom());
        EXPECT_EQ(2u, WindowClass::getUseCount(name));
        EXPECT_TRUE(GetClassInfoA(instance(), name.c_str(), &info));
        EXPECT_EQ(&Window::windowProc, info.lpfnWndProc);

        WindowClass other(0x2b, 0x1b, nullptr, unsigned(COLOR_WINDOW), arrow, instance());
        EXPECT_NE(a.getAtom(), other.getAtom());
        other = a;  // other's own class goes, the shared one gains a use
        EXPECT_EQ(3u, WindowClass::getUseCount(name));
        a.close();
        a.close();  // a second close gives nothing back
        EXPECT_FALSE(a);
        EXPECT_EQ(2u, WindowClass::getUseCount(name));
        other.close();
        EXPECT_TRUE(GetClassInfoA(instance(), name.c_str(), &info)) << "b still holds it";
    }
    EXPECT_EQ(0u, WindowClass::getUseCount(name));
    EXPECT_FALSE(GetClassInfoA(instance(), name.c_str(), &info)) << "the last use unregistered it";
    EXPECT_EQ("Can't create window: the window class holds no class", vesk_test::failureOf([] {
                  Window().create(WindowClass(), "x", WS_POPUP, Rect(), nullptr, nullptr, instance());
              }));
}

TEST(Lookup, PointersIdentifiersAndFailures) {
    Scripted parent, registered;
    parent.open();
    registered.create(sharedClass(), "41", WS_CHILD, Rect(0, 0, 5, 5), parent, HMENU(ULONG_PTR(41)), instance());
    HWND plain = plainChild(parent, 70000);

    Window::Pointer<Window> found = Window::getWindowFromHandle(registered, false);
    EXPECT_EQ(&registered, found.get());
    EXPECT_FALSE(found.isOwned());
    EXPECT_EQ(&registered, Window::Pointer<Scripted>(found).get()) << "a checked cast to the object's own class";

    EXPECT_FALSE(Window::getWindowFromHandle(plain, false));
    EXPECT_FALSE(Window::getWindowFromHandle(nullptr, true));
    Window::Pointer<Window> temporary = Window::getWindowFromHandle(plain, true);
    EXPECT_TRUE(temporary.isOwned());
    EXPECT_EQ(plain, temporary->getWindowHandle());
    Window::Pointer<Window> handedOver(temporary);
    EXPECT_FALSE(temporary) << "copying an owning pointer empties the source";
    EXPECT_FALSE(Window::Pointer<Scripted>(handedOver)) << "an owned plain Window is no Scripted";
    EXPECT_FALSE(handedOver);

    EXPECT_EQ(41, registered.getID());
    EXPECT_THROW(Window(plain).getID(), boost::bad_numeric_cast) << "70000 does not fit 16 bits";
    EXPECT_EQ(&registered, parent.getDialogItem(41, false).get());
    EXPECT_EQ(&parent, registered.getParent().get());

    HWND attachable = plainChild(parent, 43);
    const std::size_t count = Window::getRegisteredCount();
    {
        Scripted attached;
        attached.attach(parent, 43);
        EXPECT_EQ(&attached, Window::getWindowFromHandle(attachable, false).get());
        EXPECT_EQ(count + 1, Window::getRegisteredCount());
    }
    EXPECT_EQ(count, Window::getRegisteredCount()) << "an attached object takes its entry with it";

    DestroyWindow(plain);
    HWND dead = plainChild(nullptr, 0);
    DestroyWindow(dead);
    Window stale(dead);
    const std::pair<const char*, std::function<void()>> failures[] = {
        {"Can't get dialog item 99 for attaching", [&] { Window().attach(parent, 99); }},
        {"Can't retrieve dialog item 99", [&] { parent.getDialogItem(99, true); }},
        {"Can't retrieve dialogue item for subclassing", [&] { Window().subclass(parent, 99); }},
        {"Can't subclass a window that already runs the library's window procedure",
         [&] { Window().subclass(parent); }},
        {"Can't create timer with id 5 and interval 10", [&] { stale.startTimer(5, 10); }},
        {"Can't stop timer with id 5", [&] { stale.stopTimer(5); }},
        {"Can't destroy window", [&] { stale.destroy(); }},
        {"Can't get client rectangle", [&] { stale.getClientRectangle(); }},
        {"Error in retrieving window text length", [&] { stale.getTextLengthA(); }},
    };
    for (const auto& failure : failures)
        EXPECT_EQ(failure.first, vesk_test::failureOf(failure.second));
}
