// Menu: menu bars and pop-up menus, with a depth-first search for the submenu
// that holds a command; and the free functions insertMenu and setMenuItemBitmaps.
#pragma once

#include <vesk/config.h>
#include <vesk/text/string.h>

#include <windows.h>

#include <string>

namespace vesk {

class VESK_API Menu {
public:
    enum check { unchecked = MF_UNCHECKED, checked = MF_CHECKED };
    enum state { enabled = MF_ENABLED, grayed = MF_GRAYED, disabled = MF_DISABLED };

    // An item's information with the text the record owns: after getItemInfo
    // dwTypeData points at the whole 16-bit text and cch is its length.
    struct VESK_API ItemInfo : MENUITEMINFOW {
        ItemInfo();
        ItemInfo(const ItemInfo& other);
        ItemInfo& operator=(const ItemInfo& other);
        std::wstring text;
    };

    Menu() : handle(nullptr), owned(false) {}
    Menu(HMENU h, bool owns) : handle(h), owned(owns) {}
    explicit Menu(bool popup);
    Menu(int id, HINSTANCE instance);
    // A copy refers to the menu without owning it; a move hands ownership over
    // and leaves the source referring. Assigning a menu this object already
    // names (itself, a copy of itself) keeps its one owner.
    Menu(const Menu& other) : handle(other.handle), owned(false) {}
    Menu(Menu&& other) noexcept : handle(other.handle), owned(other.owned) { other.owned = false; }
    // A copy or a move, made first and then taken over.
    Menu& operator=(Menu other);
    ~Menu();
    void swap(Menu& other) noexcept;

    // The menu bar of a window, which the window destroys: not owned.
    static Menu ofWindow(HWND window) { return Menu(GetMenu(window), false); }

    void create(bool popup);
    void load(int id, HINSTANCE instance);
    void close();

    void insert(const char* text, unsigned id, unsigned flags, unsigned position) const;
    void insert(const wchar_t* text, unsigned id, unsigned flags, unsigned position) const;
    void insertSeparator(bool byPosition, unsigned position) const;
    void insertSeparator() const { insertSeparator(true, unsigned(-1)); }
    unsigned getItemCount() const;
    unsigned short getItemID(unsigned position) const;
    void getItemInfo(ItemInfo& info, unsigned item, bool byPosition) const;
    BasicString<wchar_t> getItemText(unsigned item, bool byPosition) const;
    state setItemState(state newState, unsigned item, bool byPosition);
    check setItemCheck(check newCheck, unsigned item, bool byPosition);
    bool isItemChecked(unsigned item, bool byPosition) const;
    bool isItemGrayed(unsigned item, bool byPosition) const;
    void remove(unsigned item, bool byPosition) const;
    // The menu (this one or a submenu, depth first) whose item has the command
    // id; an empty menu when none has.
    Menu findParentOfItem(unsigned short id);
    // A pop-up menu's submenu at a position, not owned (empty when none).
    Menu getSubMenu(unsigned position) const;

    HMENU getHandle() const { return handle; }
    operator HMENU() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }
    bool operator!() const { return handle == nullptr; }
    bool ownsHandle() const { return owned; }

private:
    void adopt(Menu& from);

    HMENU handle;
    bool owned;
};

VESK_API void insertMenu(HMENU menu, unsigned position, unsigned flags, unsigned id, const char* text);
VESK_API void setMenuItemBitmaps(HMENU menu, unsigned position, unsigned flags, HBITMAP unchecked, HBITMAP checked);

} // namespace vesk
