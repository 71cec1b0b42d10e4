// The simple controls with real windows: buttons, radio groups, combo boxes,
// edit controls, list boxes, progress bars, scroll bars and track bars driven
// through their objects; commands sent as the system sends them reach the
// control's own object; texts of any length; indices out of range; a form
// filled and read back; 10^3 forms built and destroyed with the counts back.
#include <vesk/errors/exception.h>
#include <vesk/gui/controls.h>
#include <vesk/gui/window.h>
#include <vesk/gui/window_class.h>

#include "../../examples/tour/control_form.h"
#include "../../examples/tour/png_writer.h"
#include "watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace vesk;

namespace {

vesk_test::Watchdog watchdog(400);

HINSTANCE instance() { return GetModuleHandleA(nullptr); }

WindowClass& sharedClass() {
    static WindowClass windowClass(0, 0, nullptr, unsigned(COLOR_BTNFACE), nullptr, instance());
    return windowClass;
}

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override { f.open(sharedClass(), false); }
    void TearDown() override { f.close(); }
    form::ControlForm f;
};

template <class F> std::string failureOf(F f) try {
    return f(), "(nothing thrown)";
} catch (const WindowsError& e) {
    return e.getDescription();
} catch (const std::exception& e) {
    return std::string("other: ") + e.what();
}

} // namespace

TEST_F(ControlsTest, ButtonCheckStatesRoundTrip) {
    const struct { Window::check set, got; } cases[] = {
        {Window::checked, Window::checked}, {Window::unchecked, Window::unchecked},
        {Window::checked, Window::checked}};
    for (const auto& c : cases) {
        f.check.setCheck(c.set);
        EXPECT_EQ(c.got, f.check.getCheck()) << int(c.set);
    }
    f.check.setCheck(Window::indeterminate);
    EXPECT_NE(Window::indeterminate, f.check.getCheck()) << "a two-state box has no third state";
    f.check.setStyle(BS_AUTO3STATE | WS_CHILD | WS_VISIBLE | WS_GROUP);
    f.check.setCheck(Window::indeterminate);
    EXPECT_EQ(Window::indeterminate, f.check.getCheck());
}

TEST_F(ControlsTest, ButtonImageSwapGivesThePreviousOneUnowned) {
    f.ok.setStyle(f.ok.getStyle() | BS_BITMAP);
    Bitmap first(CreateBitmap(8, 8, 1, 32, nullptr), true), second(CreateBitmap(8, 8, 1, 32, nullptr), true);
    EXPECT_EQ(nullptr, f.ok.setImage(first).getHandle());
    Bitmap previous = f.ok.setImage(second);
    EXPECT_EQ(first.getHandle(), previous.getHandle());
    EXPECT_FALSE(previous.isOwned());
    f.ok.setImage(Bitmap());
}

TEST_F(ControlsTest, RadioGroupWalksOnlyItsRadioButtons) {
    EXPECT_EQ(3u, f.radios.getCount()) << "the group ends at the check box, which has WS_GROUP";
    EXPECT_EQ(-1, f.radios.getSelection());
    const struct { int set, got; } cases[] = {{2, 2}, {0, 0}, {1, 1}, {5, -1}, {-1, -1}};
    for (const auto& c : cases) {
        f.radios.setSelection(c.set);
        EXPECT_EQ(c.got, f.radios.getSelection()) << c.set;
        EXPECT_EQ(0, f.check.getCheck()) << "the check box past the group is not touched";
    }
    // A static text inside the group is not counted; the last checked button wins.
    HWND label = CreateWindowExA(0, "STATIC", "x", WS_CHILD, 0, 0, 5, 5, f.parent, nullptr, instance(), nullptr);
    SetWindowPos(label, GetDlgItem(f.parent, form::idRadio1), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(3u, f.radios.getCount());
    SendDlgItemMessageA(f.parent, form::idRadio1, BM_SETCHECK, 1, 0);
    SendDlgItemMessageA(f.parent, form::idRadio3, BM_SETCHECK, 1, 0);
    EXPECT_EQ(2, f.radios.getSelection());
    RadioButtonGroup missing;
    EXPECT_EQ("Can't retrieve radio button handle for group", failureOf([&] { missing.create(f.parent, 999); }));
}

TEST_F(ControlsTest, ComboBoxItemsDataAndTexts) {
    const char* items[] = {"pear", "apple", "quince"};
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_EQ(i, f.combo.addString(items[i]));
    EXPECT_EQ(3u, f.combo.addString(L"fig \u00e9"));
    EXPECT_EQ(4u, f.combo.getCount());
    EXPECT_EQ("fig \xe9", f.combo.getStringA(3)) << "16-bit text arrives converted";
    EXPECT_EQ(L"quince", f.combo.getStringW(2));
    EXPECT_EQ(2u, f.combo.findString("qu", unsigned(-1)));
    EXPECT_EQ(unsigned(CB_ERR), f.combo.findString("kiwi", unsigned(-1)));
    int tag = 0;
    f.combo.setItemData(1, &tag);
    EXPECT_EQ(&tag, f.combo.getItemData(1));
    EXPECT_EQ(unsigned(CB_ERR), f.combo.getCurrentSelection());
    EXPECT_EQ(2u, f.combo.setCurrentSelection(2));
    EXPECT_EQ(2u, f.combo.getCurrentSelection());
    EXPECT_EQ(3u, f.combo.deleteString(0));
    EXPECT_EQ("apple", f.combo.getStringA(0));
    EXPECT_TRUE(f.combo.hasStrings());
    EXPECT_FALSE(f.combo.isOwnerDraw());

    // Out of range: a clear failure naming the index, for every reader.
    const std::vector<std::pair<std::string, std::string>> failures = {
        {failureOf([&] { f.combo.getStringA(3); }), "Can't get the text of combo box item 3"},
        {failureOf([&] { f.combo.getItemData(7); }), "Can't get combo box item data of item 7"},
        {failureOf([&] { f.combo.setItemData(9, nullptr); }), "Can't set combo box item data"},
        {failureOf([&] { f.combo.deleteString(3); }), "Error when deleting a combo box item"},
    };
    for (const auto& c : failures)
        EXPECT_EQ(c.second, c.first);
    f.combo.resetContent();
    EXPECT_EQ(0u, f.combo.getCount());
}

// Each non-empty line of a string resource is one item; the last one's index comes back.
TEST_F(ControlsTest, ComboBoxItemsFromStringResources) {
    const struct { unsigned short id; std::vector<std::string> added; } cases[] = {
        {1, {"A", "B", "C"}}, {2, {}}, {3, {"one line"}}, {999, {}}};
    for (const auto& c : cases) {
        f.combo.resetContent();
        const unsigned last = f.combo.addString(c.id, instance());
        EXPECT_EQ(c.added.empty() ? unsigned(-1) : unsigned(c.added.size() - 1), last) << c.id;
        ASSERT_EQ(c.added.size(), f.combo.getCount()) << c.id;
        for (unsigned i = 0; i < c.added.size(); ++i)
            EXPECT_EQ(c.added[i], f.combo.getStringA(i)) << c.id;
    }
}

TEST_F(ControlsTest, LongTextsComeBackWhole) {
    for (std::size_t length : {0u, 1u, 255u, 256u, 257u, 4000u, 70000u}) {
        std::string text(length, 'x');
        for (std::size_t i = 0; i < length; ++i)
            text[i] = char('a' + (i * 7) % 26);
        f.list.addString(text.c_str());
        f.combo.addString(text.c_str());
        EXPECT_EQ(text, f.list.getStringA(f.list.getCount() - 1)) << length;
        EXPECT_EQ(text, f.combo.getStringA(f.combo.getCount() - 1)) << length;
        f.edit.setText(text.c_str());
        EXPECT_EQ(text, f.edit.getTextA()) << length;
    }
}

TEST_F(ControlsTest, EditSelectionAndReadonly) {
    f.edit.setText("0123456789");
    const struct { int start, end; DWORD from, to; } cases[] = {{2, 5, 2, 5}, {0, -1, 0, 10}, {7, 3, 3, 7}};
    for (const auto& c : cases) {
        f.edit.setSelection(unsigned(c.start), unsigned(c.end));
        DWORD from = 0, to = 0;
        SendMessageA(f.edit, EM_GETSEL, WPARAM(&from), LPARAM(&to));
        EXPECT_EQ(c.from, from);
        EXPECT_EQ(c.to, to);
    }
    f.edit.selectAll();
    DWORD from = 0, to = 0;
    SendMessageA(f.edit, EM_GETSEL, WPARAM(&from), LPARAM(&to));
    EXPECT_EQ(10u, to - from);
    f.edit.clearSelection();
    SendMessageA(f.edit, EM_GETSEL, WPARAM(&from), LPARAM(&to));
    EXPECT_EQ(from, to);
    EXPECT_FALSE(f.edit.getReadonly());
    f.edit.setReadonly(true);
    EXPECT_TRUE(f.edit.getReadonly());
    f.edit.setReadonly(false);
    EXPECT_FALSE(f.edit.getReadonly());
}

TEST_F(ControlsTest, ListBoxSelectionsOfAnySize) {
    for (unsigned i = 0; i < 600; ++i)
        ASSERT_EQ(i, f.list.addString(("item " + std::to_string(i)).c_str()));
    // A fixed-seed sweep of selections: what was selected comes back, in order.
    unsigned seed = 12345;
    std::vector<unsigned> expected;
    for (unsigned i = 0; i < 600; ++i) {
        seed = seed * 1103515245u + 12345u;
        if ((seed >> 16) % 3 == 0) {
            f.list.setSelection(i, true);
            expected.push_back(i);
        }
    }
    EXPECT_EQ(expected, f.list.getSelectedItems());
    EXPECT_EQ("Can't select list box item 600", failureOf([&] { f.list.setSelection(600, true); }));
    EXPECT_EQ("Can't get the text of list box item 600", failureOf([&] { f.list.getStringA(600); }));
    EXPECT_EQ(L"item 599", f.list.getStringW(599));

    // A single-selection list gives its one selection, or none.
    ListBox single;
    CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_HASSTRINGS, 0, 0, 50, 50, f.parent, HMENU(UINT_PTR(77)),
                    instance(), nullptr);
    single.attach(f.parent, 77);
    EXPECT_TRUE(single.getSelectedItems().empty());
    single.addString("a");
    single.addString(L"b");
    single.setSelection(1, true);
    EXPECT_EQ(std::vector<unsigned>{1}, single.getSelectedItems());
}

TEST_F(ControlsTest, ProgressBarRangesAndPositions) {
    const struct { int min, max, pos, expectPos; } cases[] = {
        {0, 100, 40, 40}, {-50, 50, -20, -20}, {10, 20, 99, 20}, {0, 70000, 65536, 65536}};
    for (const auto& c : cases) {
        f.progress.setRange(c.min, c.max);
        const PBRANGE range = f.progress.getRange();
        EXPECT_EQ(c.min, range.iLow);
        EXPECT_EQ(c.max, range.iHigh);
        EXPECT_EQ(c.min, f.progress.getMin());
        EXPECT_EQ(c.max, f.progress.getMax());
        const int before = f.progress.getPos();
        EXPECT_EQ(before, f.progress.setPos(c.pos));
        EXPECT_EQ(c.expectPos, f.progress.getPos()) << c.pos;
    }
}

TEST_F(ControlsTest, ScrollBarControlInfo) {
    SCROLLINFO info{sizeof(info), SIF_ALL, -10, 300, 50, 120, 0};
    EXPECT_EQ(120, f.scroll.setScrollInfo(info, false));
    const SCROLLINFO back = f.scroll.getScrollInfo(SIF_ALL);
    EXPECT_EQ(-10, back.nMin);
    EXPECT_EQ(300, back.nMax);
    EXPECT_EQ(50u, back.nPage);
    EXPECT_EQ(120, back.nPos);
    info.fMask = SIF_POS;
    info.nPos = 1000;  // clamped to max - page + 1
    EXPECT_EQ(251, f.scroll.setScrollInfo(info, true));
    SCROLLINFO pos{sizeof(pos), SIF_POS, 0, 0, 0, 0, 0};
    f.scroll.getScrollInfo(pos);
    EXPECT_EQ(251, pos.nPos);
    f.scroll.showScrollBar(false);
    EXPECT_FALSE(IsWindowVisible(f.scroll));
    f.scroll.showScrollBar(true);
    f.scroll.enableScrollBar(ESB_DISABLE_BOTH);
    EXPECT_FALSE(IsWindowEnabled(f.scroll)) << "a scroll-bar control with both arrows off is disabled";
}

TEST_F(ControlsTest, TrackBarRangeSelectionAndTicks) {
    f.track.setRange(-5, 40, false);
    EXPECT_EQ(-5, f.track.getRangeMin());
    EXPECT_EQ(40, f.track.getRangeMax());
    f.track.setRangeMin(2, false);
    f.track.setRangeMax(30, true);
    const struct { int set, got; } positions[] = {{10, 10}, {-100, 2}, {31, 30}, {30, 30}};
    for (const auto& c : positions) {
        f.track.setPosition(c.set, false);
        EXPECT_EQ(c.got, f.track.getPosition()) << c.set;
    }
    f.track.setSelection(4, 9, false);
    EXPECT_EQ(4, f.track.getSelectionStart());
    EXPECT_EQ(9, f.track.getSelectionEnd());
    f.track.setSelectionStart(5, false);
    f.track.setSelectionEnd(20, true);
    EXPECT_EQ(5, f.track.getSelectionStart());
    EXPECT_EQ(20, f.track.getSelectionEnd());
    f.track.clearSelection(true);
    EXPECT_EQ(f.track.getSelectionStart(), f.track.getSelectionEnd());

    f.track.clearTicks(true);
    EXPECT_EQ(0u, f.track.getTickCount()) << "only the first and last marks";
    EXPECT_TRUE(f.track.hasTicks());
    EXPECT_EQ(nullptr, f.track.getTicks());
    for (int t : {7, 12, 25})
        f.track.addTick(t);
    ASSERT_EQ(3u, f.track.getTickCount());
    std::vector<int> ticks(f.track.getTicks(), f.track.getTicks() + 3);
    std::sort(ticks.begin(), ticks.end());
    EXPECT_EQ((std::vector<int>{7, 12, 25}), ticks);
    for (unsigned i = 0; i < 3; ++i) {
        EXPECT_EQ(f.track.getTicks()[i], f.track.getTick(i));
        EXPECT_LT(0, f.track.getTickPosition(i));
    }
    EXPECT_EQ("Can't get track bar tick 3", failureOf([&] { f.track.getTick(3); }));
    EXPECT_EQ("Can't get the position of track bar tick 3", failureOf([&] { f.track.getTickPosition(3); }));
}

// ---- Commands reflected to the control's own object ---------------------------------

namespace {

struct Seen {
    std::vector<unsigned short> codes;
};

template <class Control> class Reflected : public Control {
public:
    Seen* seen = nullptr;
    bool handled = true;

protected:
    bool onReflectedCommand(unsigned short code) override {
        if (seen)
            seen->codes.push_back(code);
        return handled;
    }
};

// A parent that records the commands that reach it.
class Parent : public Window {
public:
    std::vector<unsigned short> commands;

protected:
    void onCommand(Window* control, unsigned short code, unsigned short id) override {
        commands.push_back(id);
        Window::onCommand(control, code, id);
    }
};

} // namespace

TEST(Reflection, CommandsReachTheControlsOwnObject) {
    form::ControlForm::initCommonControls();
    Parent parent;
    parent.create(sharedClass(), "", WS_POPUP, Rect(0, 0, 300, 200), nullptr, nullptr, instance());
    auto make = [&](const char* cls, DWORD style, unsigned short id) {
        CreateWindowExA(0, cls, "x", WS_CHILD | WS_VISIBLE | style, 0, 0, 100, 60, parent,
                        HMENU(UINT_PTR(id)), instance(), nullptr);
    };
    make("BUTTON", BS_PUSHBUTTON, 1);
    make("EDIT", 0, 2);
    make("LISTBOX", LBS_NOTIFY | LBS_HASSTRINGS, 3);
    make("COMBOBOX", CBS_DROPDOWN | CBS_HASSTRINGS, 4);
    Seen button, edit, list, combo;
    Reflected<Button> b;
    Reflected<EditControl> e;
    Reflected<ListBox> l;
    Reflected<ComboBox> c;
    b.seen = &button, e.seen = &edit, l.seen = &list, c.seen = &combo;
    b.attach(parent, 1);
    e.subclass(parent, 2);
    l.attach(parent, 3);
    c.attach(parent, 4);

    SendMessageA(b, BM_CLICK, 0, 0);  // the click as the system sends it: down, up, WM_COMMAND
    e.setText("typed");
    l.addString("one");
    l.addString("two");
    // A click on the second item, as the mouse gives it.
    RECT item{};
    SendMessageA(l, LB_GETITEMRECT, 1, LPARAM(&item));
    SendMessageA(l, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(item.left + 2, item.top + 2));
    SendMessageA(l, WM_LBUTTONUP, 0, MAKELPARAM(item.left + 2, item.top + 2));
    c.setText("edited");
    SendMessageA(GetWindow(c, GW_CHILD), WM_CHAR, 'z', 1);

    EXPECT_EQ(std::vector<unsigned short>{BN_CLICKED}, button.codes);
    EXPECT_NE(edit.codes.end(), std::find(edit.codes.begin(), edit.codes.end(), EN_CHANGE));
    EXPECT_NE(list.codes.end(), std::find(list.codes.begin(), list.codes.end(), LBN_SELCHANGE));
    EXPECT_NE(combo.codes.end(), std::find(combo.codes.begin(), combo.codes.end(), CBN_EDITCHANGE));
    EXPECT_EQ(1u, std::count(parent.commands.begin(), parent.commands.end(), 1))
        << "the parent still sees its commands first";

    // An unhandled command goes on to default processing; a control whose object
    // is gone is ignored safely and its commands stay with the parent.
    b.handled = false;
    SendMessageA(b, BM_CLICK, 0, 0);
    EXPECT_EQ(2u, button.codes.size());
    {
        auto gone = std::make_unique<Reflected<Button>>();
        Seen never;
        gone->seen = &never;
        make("BUTTON", BS_PUSHBUTTON, 5);
        gone->attach(parent, 5);
        gone.reset();
        SendMessageA(GetDlgItem(parent, 5), BM_CLICK, 0, 0);
        EXPECT_TRUE(IsWindow(GetDlgItem(parent, 5)));
        EXPECT_EQ(1u, std::count(parent.commands.begin(), parent.commands.end(), 5));
    }
    parent.destroy();
}

// ---- The whole form -----------------------------------------------------------------

// A user's session as the system delivers it: typed text, a chosen combo item,
// a clicked radio button, extended list selections; the objects read it back.
TEST(Form, ScriptedSessionIsReadBack) {
    form::ControlForm f;
    f.open(sharedClass(), false);
    f.fill();
    f.edit.setText("");
    for (char ch : std::string("Grace Hopper"))
        SendMessageA(f.edit, WM_CHAR, WPARAM(static_cast<unsigned char>(ch)), 1);
    SendMessageA(f.combo, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageA(f.combo, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageA(f.combo, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageA(GetDlgItem(f.parent, form::idRadio3), BM_CLICK, 0, 0);
    SendMessageA(f.list, LB_SETSEL, FALSE, -1);
    SendMessageA(f.list, LB_SETSEL, TRUE, 0);
    SendMessageA(f.list, LB_SETSEL, TRUE, 4);

    EXPECT_EQ("Grace Hopper", f.edit.getTextA());
    EXPECT_EQ(L"Grace Hopper", f.edit.getTextW());
    EXPECT_EQ(3u, f.combo.getCurrentSelection());
    EXPECT_EQ("Latte", f.combo.getStringA(f.combo.getCurrentSelection()));
    EXPECT_EQ(2, f.radios.getSelection());
    EXPECT_EQ(Window::checked, f.check.getCheck());
    EXPECT_EQ((std::vector<unsigned>{0, 4}), f.list.getSelectedItems());
    EXPECT_EQ("Cocoa", f.list.getStringA(4));
    f.close();
}

// 10^3 forms with every control built, filled and destroyed: the GDI and USER
// counts and the library's window map end where they started. Wine gives no
// USER count (0 both times): there the map and the destroyed handles tell.
TEST(Form, ThousandFormsComeAndGo) {
    const std::size_t registered = Window::getRegisteredCount();
    auto gdi = [] { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); };
    auto user = [] { return GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS); };
    {  // one form first, so that lazily made system objects are counted at the start
        form::ControlForm warm;
        warm.open(sharedClass(), false);
        warm.fill();
        warm.close();
    }
    const DWORD gdiStart = gdi(), userStart = user();
    std::vector<HWND> sample;
    for (int i = 0; i < 1000; ++i) {
        form::ControlForm f;
        f.open(sharedClass(), false);
        f.fill();
        ASSERT_EQ(registered + 11, Window::getRegisteredCount());
        if (i % 100 == 0)
            sample.push_back(f.tree);
        if (i % 2)
            f.close();  // half by close, half by the objects' destructors
    }
    EXPECT_EQ(registered, Window::getRegisteredCount());
    EXPECT_EQ(gdiStart, gdi());
    EXPECT_EQ(userStart, user());
    for (HWND h : sample)
        EXPECT_FALSE(IsWindow(h));
}

TEST(Form, ScreenshotShowsEveryControl) {
    form::ControlForm f;
    f.open(sharedClass(), true);
    f.fill();
    UpdateWindow(f.parent);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        Window::dispatchMessage(msg);
    const png::Image shot = png::capture(f.parent);
    ASSERT_EQ(f.parent.getClientSize().cx, shot.width);
    // The progress bar's filled part is drawn in the highlight colour; its
    // empty end is not.
    RECT bar{};
    GetWindowRect(f.progress, &bar);
    POINT inside{bar.left + 8, (bar.top + bar.bottom) / 2};
    ScreenToClient(f.parent, &inside);
    const unsigned char* pixel = &shot.rgb[3 * std::size_t(inside.y * shot.width + inside.x)];
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_NE(face, RGB(pixel[0], pixel[1], pixel[2])) << "the filled part of the progress bar";
    EXPECT_TRUE(png::save(shot, "controls.png"));
    f.close();
}
