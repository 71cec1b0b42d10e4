// Menus and atoms: menus built, searched, modified and tracked for real (the
// tracking ended by keys or by WM_CANCELMODE from a timer); item texts of any
// length; local and global atoms created, named and deleted; failure texts.
#include <vesk/errors/exception.h>
#include <vesk/gdi/gdi_object.h>
#include <vesk/gui/atom.h>
#include <vesk/gui/menu.h>
#include <vesk/gui/window.h>
#include <vesk/gui/window_class.h>

#include "watchdog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace vesk;

namespace {

vesk_test::Watchdog watchdog(90);

HINSTANCE instance() { return GetModuleHandleA(nullptr); }

template <class F> std::string failureOf(F f) try {
    return f(), "(nothing thrown)";
} catch (const WindowsError& e) {
    return e.getDescription();
}

std::string pointer(const void* p) {
    char text[32];
    std::snprintf(text, sizeof(text), "%p", p);
    return text;
}

// File > (Open, Recent > (One, Two > (Deep))), Edit > (Cut)
struct Sample {
    Menu bar{false}, file{true}, recent{true}, two{true}, edit{true};
    Sample() {
        two.insert("Deep", 301, MF_STRING, unsigned(-1));
        recent.insert("One", 201, MF_STRING, unsigned(-1));
        recent.insert(L"Two", unsigned(UINT_PTR(two.getHandle())), MF_POPUP, unsigned(-1));
        file.insert("&Open", 101, MF_STRING, unsigned(-1));
        file.insertSeparator();
        file.insert("Recent", unsigned(UINT_PTR(recent.getHandle())), MF_POPUP, unsigned(-1));
        edit.insert("Cu&t", 401, MF_STRING, unsigned(-1));
        bar.insert("&File", unsigned(UINT_PTR(file.getHandle())), MF_POPUP, unsigned(-1));
        bar.insert("&Edit", unsigned(UINT_PTR(edit.getHandle())), MF_POPUP, unsigned(-1));
        // The bar destroys its submenus: the objects only refer to them.
        for (Menu* m : {&file, &recent, &two, &edit})
            *m = Menu(m->getHandle(), false);
    }
};

} // namespace

TEST(Menus, FindParentSearchesDepthFirst) {
    Sample s;
    const struct { unsigned short id; HMENU parent; } cases[] = {
        {301, s.two}, {201, s.recent}, {101, s.file}, {401, s.edit}, {999, nullptr}, {0, nullptr}};
    for (const auto& c : cases) {
        Menu found = s.bar.findParentOfItem(c.id);
        EXPECT_EQ(c.parent, found.getHandle()) << c.id;
        EXPECT_FALSE(found.ownsHandle());
    }
    EXPECT_FALSE(Menu(true).findParentOfItem(1)) << "an empty menu holds nothing";
}

TEST(Menus, ItemsAreCountedReadAndChanged) {
    Sample s;
    EXPECT_EQ(3u, s.file.getItemCount());
    EXPECT_EQ(101, s.file.getItemID(0));
    EXPECT_EQ("Can't retrieve item 2 of menu " + pointer(s.file.getHandle()),
              failureOf([&] { s.file.getItemID(2); }))
        << "a submenu has no command id";
    EXPECT_EQ(L"&Open", s.file.getItemText(0, true));
    EXPECT_EQ(L"Recent", s.file.getItemText(2, true));
    Menu::ItemInfo info;
    info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    s.file.getItemInfo(info, 2, true);
    EXPECT_EQ(s.recent.getHandle(), info.hSubMenu);
    EXPECT_EQ(std::wstring(L"Recent"), info.dwTypeData);
    EXPECT_EQ(6u, info.cch);
    Menu::ItemInfo copy(info);
    EXPECT_EQ(copy.text.c_str(), copy.dwTypeData) << "a copy points at its own text";

    // Item texts of any length.
    for (std::size_t length : {1u, 255u, 256u, 1000u, 5000u}) {
        std::string text(length, 'm');
        text.back() = 'E';
        s.edit.insert(text.c_str(), 500, MF_STRING | MF_BYPOSITION, 0);
        EXPECT_EQ(BasicString<wchar_t>(text.c_str()), s.edit.getItemText(500, false)) << length;
        s.edit.remove(500, false);
    }

    const struct { Menu::state set; bool grayed; } states[] = {{Menu::grayed, true}, {Menu::enabled, false}};
    for (const auto& c : states) {
        s.edit.setItemState(c.set, 401, false);
        EXPECT_EQ(c.grayed, s.edit.isItemGrayed(0, true));
    }
    EXPECT_EQ(Menu::unchecked, s.edit.setItemCheck(Menu::checked, 0, true));
    EXPECT_TRUE(s.edit.isItemChecked(401, false));
    EXPECT_EQ(Menu::checked, s.edit.setItemCheck(Menu::unchecked, 401, false));
    EXPECT_EQ(Menu::state(-1), s.edit.setItemState(Menu::grayed, 999, false)) << "no such item";

    s.file.remove(1, true);
    EXPECT_EQ(2u, s.file.getItemCount());
    EXPECT_EQ("Can't remove menu item", failureOf([&] { s.file.remove(7, true); }));
    Bitmap mark(CreateBitmap(12, 12, 1, 1, nullptr), true);
    setMenuItemBitmaps(s.edit, 401, MF_BYCOMMAND, static_cast<HBITMAP>(mark.getHandle()), nullptr);
    EXPECT_EQ("Can't set menu bitmaps",
              failureOf([&] { setMenuItemBitmaps(s.edit, 77, MF_BYCOMMAND, nullptr, nullptr); }));
}

TEST(Menus, OwnershipAndFailures) {
    HMENU made;
    {
        Menu owner(true);
        made = owner;
        Menu view(owner);
        EXPECT_FALSE(view.ownsHandle());
        Menu moved(std::move(owner));
        EXPECT_TRUE(moved.ownsHandle());
        EXPECT_FALSE(owner.ownsHandle());
    }
    EXPECT_FALSE(IsMenu(made)) << "destroyed once, by the owner";
    Menu closed(true);
    closed.close();
    EXPECT_FALSE(closed);
    EXPECT_EQ("Can't load menu 999 from module " + pointer(instance()),
              failureOf([&] { Menu(999, instance()); }));
    Menu dead(reinterpret_cast<HMENU>(UINT_PTR(0x1234)), false);
    EXPECT_EQ("Can't retrieve item count for menu " + pointer(dead.getHandle()),
              failureOf([&] { dead.getItemCount(); }));
    EXPECT_EQ("Can't insert menu item", failureOf([&] { dead.insert("x", 1, MF_STRING, 0); }));
    EXPECT_EQ("Can't insert menu separator", failureOf([&] { dead.insertSeparator(); }));
    EXPECT_EQ("Can't retrieve menu item info", failureOf([&] {
                  Menu::ItemInfo info;
                  info.fMask = MIIM_ID;
                  dead.getItemInfo(info, 0, true);
              }));
}

namespace {

void CALLBACK cancelTracking(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    // The menu's owner learns to leave its modal loops, as when another
    // window takes the focus.
    if (HWND owner = FindWindowA(nullptr, "menu owner"))
        PostMessageA(owner, WM_CANCELMODE, 0, 0);
}

} // namespace

TEST(Menus, TrackedPopupsAreChosenOrCancelled) {
    WindowClass windowClass(0, 0, nullptr, unsigned(COLOR_WINDOW), nullptr, instance());
    Window owner;
    owner.create(windowClass, "menu owner", WS_POPUP | WS_VISIBLE, Rect(0, 0, 200, 200), nullptr, nullptr,
                 instance());
    SetForegroundWindow(owner);
    Sample s;
    // Keys as the keyboard gives them: the tracking loop reads them from the queue.
    PostMessageA(owner, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(owner, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(401, owner.trackPopupMenu(s.edit, 20, 20, TPM_RETURNCMD | TPM_NONOTIFY));
    SetTimer(nullptr, 0, 200, cancelTracking);
    EXPECT_EQ(0, owner.trackPopupMenu(s.file, 20, 20, TPM_RETURNCMD | TPM_NONOTIFY));

    // The window's own menu bar: referred to, destroyed with the window.
    SetMenu(owner, s.bar);
    Menu bar = Menu::ofWindow(owner);
    EXPECT_EQ(s.bar.getHandle(), bar.getHandle());
    EXPECT_FALSE(bar.ownsHandle());
    SetMenu(owner, nullptr);
    owner.destroy();
}

TEST(Atoms, LocalAndGlobalAtomsRoundTrip) {
    const struct { bool global; Atom::mode mode; } cases[] = {{false, Atom::local}, {true, Atom::global}};
    for (const auto& c : cases) {
        const std::string name = std::string("vesk.atom.") + (c.global ? "global" : "local");
        ATOM handle;
        {
            Atom atom(name.c_str(), c.global);
            EXPECT_EQ(c.mode, atom.getMode());
            handle = atom.getHandle();
            EXPECT_EQ(name, atom.getNameA());
            EXPECT_EQ(BasicString<wchar_t>(name.c_str()), atom.getNameW());
            Atom copy(atom);
            EXPECT_FALSE(copy.isOwned());
            EXPECT_EQ(name, copy.getNameA()) << "a copy knows where the atom lives";
        }
        EXPECT_EQ(0, c.global ? GlobalFindAtomA(name.c_str()) : FindAtomA(name.c_str()))
            << "deleted once, by its owner";
        (void)handle;
        // The longest name an atom takes comes back whole; a longer one is refused.
        const std::string longest(255, c.global ? 'g' : 'l');
        Atom big;
        big.create(BasicString<wchar_t>(longest.c_str()).c_str(), c.global);
        EXPECT_EQ(longest, big.getNameA());
        EXPECT_EQ("Can't create atom", failureOf([&] { big.create((longest + "x").c_str(), c.global); }));
        EXPECT_FALSE(big);
    }
    Atom wrapped(ATOM(0xC123));
    EXPECT_EQ(Atom::not_owned, wrapped.getMode());
    EXPECT_EQ("Can't retrieve atom name", failureOf([&] { wrapped.getNameA(); }));
}
