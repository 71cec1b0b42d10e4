// Menus, atoms and the owners of the window suites: menus built, searched,
// changed and tracked for real (ended by keys or by WM_CANCELMODE); a window's
// own menu; local and global atoms; and the ownership sweep over menus, atoms,
// image lists, window classes and window pointers.
#include <vesk/gdi/gdi_object.h>
#include <vesk/gui/atom.h>
#include <vesk/gui/image_list.h>
#include <vesk/gui/menu.h>

#include "../gdi/owner_sweep.h"
#include "gui_driver.h"

using namespace vesk;
using namespace vesk_test;

namespace {

vesk_test::Watchdog watchdog(90);

std::string pointer(const void* p) { char text[32]; return std::snprintf(text, sizeof(text), "%p", p), text; }

// File > (Open, Recent > (One, Two > (Deep))), Edit > (Cut). The bar owns and
// destroys its submenus: the other objects only refer to them.
struct Sample {
    Menu bar{false}, file{CreatePopupMenu(), false}, recent{CreatePopupMenu(), false}, two{CreatePopupMenu(), false},
        edit{CreatePopupMenu(), false};
    Sample() {
        two.insert("Deep", 301, MF_STRING, unsigned(-1)), recent.insert("One", 201, MF_STRING, unsigned(-1));
        recent.insert(L"Two", unsigned(UINT_PTR(two.getHandle())), MF_POPUP, unsigned(-1));
        file.insert("&Open", 101, MF_STRING, unsigned(-1)), file.insertSeparator();
        file.insert("Recent", unsigned(UINT_PTR(recent.getHandle())), MF_POPUP, unsigned(-1)), edit.insert("Cu&t", 401, MF_STRING, unsigned(-1));
        insertMenu(bar, unsigned(-1), MF_POPUP | MF_BYPOSITION, unsigned(UINT_PTR(file.getHandle())), "&File");
        bar.insert("&Edit", unsigned(UINT_PTR(edit.getHandle())), MF_POPUP, unsigned(-1));
    }
};

// ---- The ownership sweep --------------------------------------------------------------

// A sole owner: the object that owns the resource says so, and names it.
template <class T, class H> struct Sole {
    using type = T;
    static int counted(H) { return 1; }
    static H handleOf(const T& o) { return o.getHandle(); }
    static bool owns(const T& o, H h) { return o.ownsHandle() && o.getHandle() == h; }
};
struct MenuKind : Sole<Menu, HMENU> {
    static Menu make() { return Menu(true); }
    static bool alive(HMENU h) { return IsMenu(h); }
};
struct AtomKind : Sole<Atom, ATOM> {
    static Atom make() { return Atom("vesk.sweep.atom", true); }
    static bool alive(ATOM h) { char name[64]; return GlobalGetAtomNameA(h, name, sizeof(name)) != 0; }
    static bool owns(const Atom& a, ATOM h) { return a.isOwned() && a.getHandle() == h; }
};
struct ImageListKind : Sole<ImageList, HIMAGELIST> {
    static ImageList make() {
        ImageList list;
        list.create(16, 16, ILC_COLOR24, 1, 1);
        return list;  // moved out: a copy would only be a view
    }
    static bool alive(HIMAGELIST h) { int cx = 0, cy = 0; return h && ImageList_GetIconSize(h, &cx, &cy) && cx == 16; }
};
// A window class counts its uses: every object that holds it is one.
struct WindowClassKind {
    using type = WindowClass;
    static WindowClass make() { return WindowClass(0, 0x77, nullptr, 5u, nullptr, instance()); }
    static std::string handleOf(const WindowClass& c) { return c ? c.getName() : std::string(); }
    static bool alive(const std::string& name) { WNDCLASSA i; return !name.empty() && GetClassInfoA(instance(), name.c_str(), &i); }
    static bool owns(const WindowClass& c, const std::string& name) { return c && c.getName() == name; }
    static int counted(const std::string& name) { return int(WindowClass::getUseCount(name)); }
};
std::set<Window*> liveWindows;
struct Counted : Window {
    Counted() { liveWindows.insert(this); }
    ~Counted() override { liveWindows.erase(this); }
};
struct PointerKind : Sole<Window::Pointer<Window>, Window*> {
    static type make() { return type(new Counted, true); }
    static Window* handleOf(const type& p) { return p.get(); }
    static bool alive(Window* w) { return liveWindows.count(w) != 0; }
    static bool owns(const type& p, Window* w) { return p.isOwned() && p.get() == w; }
};

TEST(Menus, ItemsAreFoundCountedReadAndChangedOwnersReleaseOnce) {
    Sample s;  // findParentOfItem searches depth first
    const struct { unsigned short id; HMENU parent; } cases[] = {
        {301, s.two}, {201, s.recent}, {101, s.file}, {401, s.edit}, {999, nullptr}, {0, nullptr}};
    for (const auto& c : cases)
        EXPECT_TEXT("1 0", s.bar.findParentOfItem(c.id).getHandle() == c.parent, s.bar.findParentOfItem(c.id).ownsHandle()) << c.id;

    EXPECT_TRUE(s.file.getItemCount() == 3 && s.file.getItemID(0) == 101 && s.file.getSubMenu(2).getHandle() == s.recent);
    Menu::ItemInfo info;
    info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    s.file.getItemInfo(info, 2, true);
    const Menu::ItemInfo copy(info);  // points at its own text
    EXPECT_TEXT("1 Recent 6 1", info.hSubMenu == s.recent.getHandle(), info.dwTypeData, info.cch, copy.text.c_str() == copy.dwTypeData);
    for (std::size_t length : {1u, 256u, 5000u}) {
        std::string text(length, 'm');
        text.back() = 'E';
        s.edit.insert(text.c_str(), 500, MF_STRING | MF_BYPOSITION, 0);
        EXPECT_EQ(BasicString<wchar_t>(text.c_str()), s.edit.getItemText(500, false)) << length;
        s.edit.remove(500, false);
    }
    // The previous states come back; -1 for no such item.
    EXPECT_TEXT((text{Menu::enabled, 1, Menu::unchecked, 1, -1}), s.edit.setItemState(Menu::grayed, 401, false), s.edit.isItemGrayed(0, true),
                s.edit.setItemCheck(Menu::checked, 0, true), s.edit.isItemChecked(401, false), s.edit.setItemState(Menu::grayed, 999, false));
    Bitmap mark(CreateBitmap(12, 12, 1, 1, nullptr), true);
    setMenuItemBitmaps(s.edit, 401, MF_BYCOMMAND, static_cast<HBITMAP>(mark.getHandle()), nullptr);

    Menu dead(reinterpret_cast<HMENU>(UINT_PTR(0x1234)), false);
    Menu::ItemInfo idOnly;
    idOnly.fMask = MIIM_ID;
    vesk_test::expectFailures({
        {"Can't retrieve item 2 of menu " + pointer(s.file.getHandle()), [&] { s.file.getItemID(2); }},
        {"Can't remove menu item", [&] { s.file.remove(7, true); }},
        {"Can't set menu bitmaps", [&] { setMenuItemBitmaps(s.edit, 77, MF_BYCOMMAND, nullptr, nullptr); }},
        {"Can't load menu 999 from module " + pointer(instance()), [] { Menu(999, instance()); }},
        {"Can't retrieve item count for menu " + pointer(dead.getHandle()), [&] { dead.findParentOfItem(1); }},
        {"Can't insert menu item", [&] { dead.insert("x", 1, MF_STRING, 0); }},
        {"Can't insert menu separator", [&] { dead.insertSeparator(); }},
        {"Can't retrieve menu item info", [&] { dead.getItemInfo(idOnly, 0, true); }},
    });

    // Every owner releases its resource exactly once.
    vesk_test::sweepOwnership<MenuKind>(), vesk_test::sweepOwnership<AtomKind>();
    vesk_test::sweepOwnership<ImageListKind>(), vesk_test::sweepOwnership<WindowClassKind>();
    vesk_test::sweepOwnership<PointerKind>();
}

TEST(Menus, TrackedPopupsTheWindowsOwnMenuAndAtoms) {
    Window owner;
    vesk_test::open(owner).show(SW_SHOW);
    SetForegroundWindow(owner);
    Sample s;
    PostMessageA(owner, WM_KEYDOWN, VK_DOWN, 0), PostMessageA(owner, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(401, owner.trackPopupMenu(s.edit, 20, 20, TPM_RETURNCMD | TPM_NONOTIFY));
    vesk_test::TimerScript cancel{[&] { return HWND(owner); }, {[](HWND h) { PostMessageA(h, WM_CANCELMODE, 0, 0); }}};
    EXPECT_EQ(0, cancel.run([&] { return owner.trackPopupMenu(s.file, 20, 20, TPM_RETURNCMD | TPM_NONOTIFY); }));

    EXPECT_FALSE(owner.getMenu()) << "no menu bar yet";
    SetMenu(owner, s.bar);
    EXPECT_TEXT("1 0", owner.getMenu().getHandle() == s.bar.getHandle(), owner.getMenu().ownsHandle()) << "the window destroys its menu";
    SetMenu(owner, nullptr);

    // Local and global atoms round trip.
    for (bool global : {false, true}) {
        const std::string name = std::string("vesk.atom.") + (global ? "global" : "local");
        {
            Atom atom(name.c_str(), global);  // a copy knows where the atom lives
            EXPECT_TEXT((text{global ? Atom::global : Atom::local, name, name}), atom.getMode(), atom.getNameW(), Atom(atom).getNameA());
        }
        EXPECT_EQ(0, global ? GlobalFindAtomA(name.c_str()) : FindAtomA(name.c_str())) << "deleted by its owner";
        const std::string longest(255, global ? 'g' : 'l');
        Atom big;
        big.create(BasicString<wchar_t>(longest.c_str()).c_str(), global);
        EXPECT_EQ(longest, big.getNameA());
        vesk_test::expectFailures({{"Can't create atom", [&] { big.create((longest + "x").c_str(), global); }},
                                   {"Can't retrieve atom name", [] { Atom(ATOM(0xC123)).getNameA(); }}});
        EXPECT_FALSE(big);
    }
}

} // namespace
