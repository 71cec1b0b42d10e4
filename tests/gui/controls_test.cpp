// The simple controls and the views' texts with real windows: buttons, radio
// groups, combo and list boxes, edit controls, progress, scroll and track bars
// driven through their objects; every growing text reader handed 1.5 million
// characters; commands sent as the system sends them reaching the control's own
// object.
#include <vesk/gui/controls.h>

#include "../../examples/tour/control_form.h"
#include "gui_driver.h"

using namespace vesk;
using namespace vesk_test;

namespace {

vesk_test::Watchdog watchdog(300);

struct ControlsTest : ::testing::Test {
    void SetUp() override { f.open(vesk_test::sharedClass(), false); }
    void TearDown() override { f.close(); }
    form::ControlForm f;
};

TEST_F(ControlsTest, ComboBoxItemsDataAndFailures) {
    int tag = 0;
    // 16-bit text arrives converted.
    EXPECT_TEXT("0 1 2 3 fig \xe9", f.combo.addString("pear"), f.combo.addString("apple"), f.combo.addString("quince"),
                f.combo.addString(L"fig \u00e9"), f.combo.getStringA(3));
    f.combo.setItemData(1, &tag);
    EXPECT_TEXT("2 2 2 1", f.combo.findString("qu", unsigned(-1)), f.combo.setCurrentSelection(2), f.combo.getCurrentSelection(),
                f.combo.getItemData(1) == &tag);
    EXPECT_TEXT("3 apple 1 0", f.combo.deleteString(0), f.combo.getStringA(0), f.combo.hasStrings(), f.combo.isOwnerDraw());
    vesk_test::expectFailures({
        {"Can't get the text of combo box item 3", [&] { f.combo.getStringA(3); }},
        {"Can't get combo box item data of item 7", [&] { f.combo.getItemData(7); }},
        {"Can't set combo box item data", [&] { f.combo.setItemData(9, nullptr); }},
        {"Error when deleting a combo box item", [&] { f.combo.deleteString(3); }},
        {"Can't select list box item 0", [&] { f.list.setSelection(0, true); }},
        {"Can't get the text of list box item 0", [&] { f.list.getStringA(0); }},
    });
    // Each non-empty line of a string resource is one item; the last one's index comes back.
    for (const auto& c : {std::pair<unsigned short, std::string>{1, "2 A B C"}, {2, "-1"}, {3, "0 one line"}, {999, "-1"}}) {
        std::string got = (f.combo.resetContent(), text{int(f.combo.addString(c.first, instance()))});
        for (unsigned i = 0; i < f.combo.getCount(); ++i)
            got += " " + f.combo.getStringA(i);
        EXPECT_EQ(c.second, got) << c.first;
    }
}

// Every reader of a text whose length it does not know in advance gets it
// whole, in both widths: no cap, no cut.
TEST_F(ControlsTest, TextsOfOnePointFiveMillionCharactersComeBackWhole) {
    std::string text(1500000, 'x');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = char('a' + (i * 7) % 26);
    const BasicString<wchar_t> wide(text.c_str());
    const Window label(GetDlgItem(f.parent, form::idLabel));
    const HTREEITEM item = f.tree.insertItem(text.c_str(), TVI_ROOT, TVI_LAST);
    f.parent.setText(form::idLabel, text.c_str());
    f.list.addString(text.c_str()), f.combo.addString(text.c_str()), f.listView.insertItem(text.c_str(), 0);
    const struct { const char* reader; std::function<BasicString<char>()> narrow; std::function<BasicString<wchar_t>()> wide; } readers[] = {
        {"dialog item", [&] { return f.parent.getTextA(form::idLabel); }, [&] { return f.parent.getTextW(form::idLabel); }},
        {"window", [&] { return label.getTextA(); }, [&] { return label.getTextW(); }},
        {"list box", [&] { return f.list.getStringA(0); }, [&] { return f.list.getStringW(0); }},
        {"combo box", [&] { return f.combo.getStringA(0); }, [&] { return f.combo.getStringW(0); }},
        {"list view", [&] { return f.listView.getItemTextA(0, 0); }, [&] { return f.listView.getItemTextW(0, 0); }},
        {"tree view", [&] { return f.tree.getItemTextA(item); }, [&] { return f.tree.getItemTextW(item); }},
    };
    for (const auto& r : readers)
        EXPECT_TRUE(r.narrow() == text && r.wide() == wide) << r.reader;
    EXPECT_EQ(text.size(), label.getTextLengthA());
}

TEST_F(ControlsTest, EditListBoxButtonsAndRadioGroups) {
    f.edit.setText("0123456789");
    DWORD from = 0, to = 0;
    auto selection = [&] { return SendMessageA(f.edit, EM_GETSEL, WPARAM(&from), LPARAM(&to)), text{from, to}; };
    EXPECT_TEXT("2 5 0 10 3 7 0 10", (f.edit.setSelection(2, 5), selection()), (f.edit.setSelection(0, unsigned(-1)), selection()),
                (f.edit.setSelection(7, 3), selection()), (f.edit.selectAll(), selection()));
    f.edit.clearSelection(), selection();
    EXPECT_EQ(from, to);
    EXPECT_TEXT("1 0", (f.edit.setReadonly(true), f.edit.getReadonly()), (f.edit.setReadonly(false), f.edit.getReadonly()));

    // A fixed-seed sweep of selections in an extended list: they come back, in order.
    unsigned seed = 12345;
    std::vector<unsigned> expected;
    for (unsigned i = 0; i < 600; ++i) {
        ASSERT_EQ(i, f.list.addString(("item " + std::to_string(i)).c_str()));
        if (((seed = seed * 1103515245u + 12345u) >> 16) % 3 == 0)
            f.list.setSelection(i, true), expected.push_back(i);
    }
    EXPECT_EQ(expected, f.list.getSelectedItems());
    EXPECT_EQ("Can't select list box item 600", failureOf([&] { f.list.setSelection(600, true); }));
    // A single-selection list gives its one selection, or none.
    ListBox single;
    vesk_test::rawChild(f.parent, "LISTBOX", 77, LBS_HASSTRINGS), single.attach(f.parent, 77);
    EXPECT_TRUE(single.getSelectedItems().empty());
    single.addString(L"a"), single.addString("b"), single.setSelection(1, true);
    EXPECT_TEXT("1 1 a", single.getSelectedItems().size(), single.getSelectedItems().at(0), single.getStringW(0));

    // Buttons and radio groups.
    auto checks = [&](Window::check c) { return f.check.setCheck(c), text{f.check.getCheck(), f.parent.isChecked(form::idCheck)}; };
    auto radios = [&](int set) { return f.radios.setSelection(set), text{f.radios.getSelection(), f.check.getCheck()}; };
    Bitmap first(CreateBitmap(8, 8, 1, 32, nullptr), true), second(CreateBitmap(8, 8, 1, 32, nullptr), true);
    f.check.setStyle(BS_AUTO3STATE | WS_CHILD | WS_GROUP), f.ok.setStyle(f.ok.getStyle() | BS_BITMAP);
    // The radio group ends at the check box, which has WS_GROUP, and leaves it alone.
    EXPECT_TEXT("1 1 2 1 0 0", checks(Window::checked), checks(Window::indeterminate), checks(Window::unchecked));
    EXPECT_TEXT("1 1 0 3", f.ok.setImage(first).getHandle() == nullptr, f.ok.setImage(second).getHandle() == first.getHandle(),
                f.ok.setImage(Bitmap()).isOwned(), f.radios.getCount());
    EXPECT_TEXT("-1 0 2 0 0 0 1 0 -1 0", radios(-1), radios(2), radios(0), radios(1), radios(5));
    // A static text inside the group is not counted; the last checked button wins.
    HWND label = vesk_test::rawChild(f.parent, "STATIC", 0);
    SetWindowPos(label, GetDlgItem(f.parent, form::idRadio1), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SendDlgItemMessageA(f.parent, form::idRadio1, BM_SETCHECK, 1, 0), SendDlgItemMessageA(f.parent, form::idRadio3, BM_SETCHECK, 1, 0);
    EXPECT_EQ("2 3", std::string(text{f.radios.getSelection(), f.radios.getCount()}));
    EXPECT_EQ("Can't retrieve radio button handle for group", failureOf([&] { RadioButtonGroup().create(f.parent, 999); }));
}

template <class Control> struct Reflected : Control {
    std::vector<unsigned short> codes;
    bool handled = true;
    bool onReflectedCommand(unsigned short code) override { return codes.push_back(code), handled; }
};

struct Parent : Window {
    std::vector<unsigned short> commands;
    void onCommand(Window* control, unsigned short code, unsigned short id) override { commands.push_back(id), Window::onCommand(control, code, id); }
};

template <class C> bool saw(const C& codes, unsigned short code) { return std::count(codes.begin(), codes.end(), code) > 0; }

TEST_F(ControlsTest, BarsAndCommandsReflectedToTheControlsOwnObject) {
    const ProgressBar& p = f.progress;
    const TrackBar& t = f.track;
    auto progress = [&](int min, int max, int pos) {
        p.setRange(min, max);
        const int before = p.getPos();
        return text{p.getRange().iLow, p.getRange().iHigh, p.getMin(), p.getMax(), p.setPos(pos) == before, p.getPos()};
    };
    auto track = [&] { return text{t.getRangeMin(), t.getRangeMax(), t.getPosition(), t.getSelectionStart(), t.getSelectionEnd()}; };
    SCROLLINFO info{sizeof(info), SIF_ALL, -10, 300, 50, 120, 0}, pos{sizeof(pos), SIF_POS, 0, 0, 0, 0, 0};
    EXPECT_TEXT("-50 50 -50 50 1 -20", progress(-50, 50, -20));
    EXPECT_TEXT("10 20 10 20 1 20", progress(10, 20, 99));
    EXPECT_TEXT("0 70000 0 70000 1 65536", progress(0, 70000, 65536));
    EXPECT_TEXT("120 50", f.scroll.setScrollInfo(info, false), f.scroll.getScrollInfo(SIF_ALL).nPage);
    // A position past the end is clamped to max - page + 1.
    EXPECT_TEXT("251", (info.fMask = SIF_POS, info.nPos = 1000, text{f.scroll.setScrollInfo(info, true)}));
    EXPECT_TEXT("251", (f.scroll.getScrollInfo(pos), text{pos.nPos}));
    // A scroll-bar control with both arrows off is disabled.
    f.scroll.showScrollBar(false), f.scroll.enableScrollBar(ESB_DISABLE_BOTH);
    EXPECT_TEXT("0 0", IsWindowVisible(f.scroll), IsWindowEnabled(f.scroll));
    EXPECT_TEXT("-5 40 10 4 9", (t.setRange(-5, 40, false), t.setPosition(10, false), t.setSelection(4, 9, false), track()));
    EXPECT_TEXT("2 30 2 4 9", (t.setRangeMin(2, false), t.setRangeMax(30, true), t.setPosition(-100, false), track()));
    EXPECT_TEXT("2 30 30 5 20", (t.setSelectionStart(5, false), t.setSelectionEnd(20, true), t.setPosition(31, false), track()));
    EXPECT_TEXT("1", (t.clearSelection(true), text{t.getSelectionStart() == t.getSelectionEnd()}));
    EXPECT_TEXT("0 1", (t.clearTicks(true), text{t.getTickCount(), t.hasTicks()}));  // only the first and last marks
    for (int tick : {25, 7, 12})
        t.addTick(tick);
    ASSERT_EQ(3u, t.getTickCount());
    std::vector<int> ticks(t.getTicks(), t.getTicks() + 3);
    std::sort(ticks.begin(), ticks.end());
    EXPECT_TEXT("7 12 25 1", ticks[0], ticks[1], ticks[2], t.getTickPosition(2) > 0);
    EXPECT_EQ(t.getTicks()[2], t.getTick(2));
    vesk_test::expectFailures({{"Can't get track bar tick 3", [&] { t.getTick(3); }},
                               {"Can't get the position of track bar tick 3", [&] { t.getTickPosition(3); }}});

    // Commands reflected to the control's own object.
    form::ControlForm::initCommonControls();
    Parent parent;
    vesk_test::open(parent);
    rawChild(parent, "BUTTON", 1), rawChild(parent, "EDIT", 2), rawChild(parent, "LISTBOX", 3, LBS_NOTIFY | LBS_HASSTRINGS);
    rawChild(parent, "COMBOBOX", 4, CBS_DROPDOWN | CBS_HASSTRINGS);
    Reflected<Button> b;
    Reflected<EditControl> e;
    Reflected<ListBox> l;
    Reflected<ComboBox> c;
    b.attach(parent, 1), e.subclass(parent, 2), l.attach(parent, 3), c.attach(parent, 4);

    SendMessageA(b, BM_CLICK, 0, 0);  // down, up and WM_COMMAND, as the system sends them
    e.setText("typed");
    l.addString("one"), l.addString("two");
    RECT item{};
    SendMessageA(l, LB_GETITEMRECT, 1, LPARAM(&item));
    SendMessageA(l, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(item.left + 2, item.top + 2)), SendMessageA(l, WM_LBUTTONUP, 0, MAKELPARAM(item.left + 2, item.top + 2));
    c.setText("edited");
    SendMessageA(GetWindow(c, GW_CHILD), WM_CHAR, 'z', 1);
    // The parent sees each command first.
    EXPECT_TEXT("1 1 1 1 1 1", b.codes.size(), b.codes.at(0) == BN_CLICKED, saw(e.codes, EN_CHANGE), saw(l.codes, LBN_SELCHANGE),
                saw(c.codes, CBN_EDITCHANGE), std::count(parent.commands.begin(), parent.commands.end(), 1));

    // An unhandled command goes on; a control whose object is gone keeps its
    // commands with the parent.
    b.handled = false;
    SendMessageA(b, BM_CLICK, 0, 0);
    EXPECT_EQ(2u, b.codes.size());
    rawChild(parent, "BUTTON", 5), std::make_unique<Reflected<Button>>()->attach(parent, 5);  // the object goes at once
    SendMessageA(GetDlgItem(parent, 5), BM_CLICK, 0, 0);
    EXPECT_EQ(1, std::count(parent.commands.begin(), parent.commands.end(), 5));
    parent.destroy();
}

} // namespace
