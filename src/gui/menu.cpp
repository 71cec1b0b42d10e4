// Menu: creating, loading, editing and searching menus.
#include <vesk/errors/exception.h>
#include <vesk/gui/menu.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace vesk {

namespace {

std::string pointerText(const void* p) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "%p", p);
    return buffer;
}

} // namespace

Menu::ItemInfo::ItemInfo() : MENUITEMINFOW() { cbSize = sizeof(MENUITEMINFOW); }

Menu::ItemInfo::ItemInfo(const ItemInfo& other) : MENUITEMINFOW(other), text(other.text) {
    if (other.dwTypeData == other.text.c_str())
        dwTypeData = const_cast<wchar_t*>(text.c_str());
}

Menu::ItemInfo& Menu::ItemInfo::operator=(const ItemInfo& other) {
    if (this != &other) {
        static_cast<MENUITEMINFOW&>(*this) = other;
        text = other.text;
        if (other.dwTypeData == other.text.c_str())
            dwTypeData = const_cast<wchar_t*>(text.c_str());
    }
    return *this;
}

Menu::Menu(bool popup) : handle(nullptr), owned(false) { create(popup); }
Menu::Menu(int id, HINSTANCE instance) : handle(nullptr), owned(false) { load(id, instance); }

Menu& Menu::operator=(Menu other) {
    adopt(other);
    return *this;
}

void Menu::swap(Menu& other) noexcept {
    std::swap(handle, other.handle);
    std::swap(owned, other.owned);
}

// Takes over the state a temporary holds. A temporary that names this object's
// own menu (a copy of itself, or of a copy) only merges ownership: the menu keeps
// exactly one owner and is neither lost nor destroyed. Otherwise the two swap and
// the temporary releases what this object held, after the new state is in place.
void Menu::adopt(Menu& from) {
    if (from.handle == handle) {
        owned = owned || from.owned;
        from.owned = false;
        return;
    }
    swap(from);
    from.close();
}

Menu::~Menu() {
    try {
        close();
    } catch (...) {
    }
}

void Menu::create(bool popup) {
    close();
    HMENU menu = popup ? CreatePopupMenu() : CreateMenu();
    if (!menu)
        throw WindowsError("Can't create menu");
    handle = menu;
    owned = true;
}

void Menu::load(int id, HINSTANCE instance) {
    close();
    HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(id));
    if (!menu)
        throw WindowsError("Can't load menu " + std::to_string(id) + " from module " + pointerText(instance));
    handle = menu;
    owned = true;
}

void Menu::close() {
    if (handle && owned && !DestroyMenu(handle))
        throw WindowsError("Can't destroy menu");
    handle = nullptr;
    owned = false;
}

void Menu::insert(const char* text, unsigned id, unsigned flags, unsigned position) const {
    insertMenu(handle, position, flags, id, text);
}

void Menu::insert(const wchar_t* text, unsigned id, unsigned flags, unsigned position) const {
    insertMenu(handle, position, flags, id, BasicString<char>(text).c_str());
}

void Menu::insertSeparator(bool byPosition, unsigned position) const {
    if (!InsertMenuA(handle, position, MF_SEPARATOR | (byPosition ? MF_BYPOSITION : MF_BYCOMMAND), 0, nullptr))
        throw WindowsError("Can't insert menu separator");
}

unsigned Menu::getItemCount() const {
    const int count = GetMenuItemCount(handle);
    if (count == -1)
        throw WindowsError("Can't retrieve item count for menu " + pointerText(handle));
    return unsigned(count);
}

unsigned short Menu::getItemID(unsigned position) const {
    const UINT id = GetMenuItemID(handle, int(position));
    if (static_cast<unsigned short>(id) == 0xFFFF)
        throw WindowsError("Can't retrieve item " + std::to_string(position) + " of menu " + pointerText(handle));
    return static_cast<unsigned short>(id);
}

void Menu::getItemInfo(ItemInfo& info, unsigned item, bool byPosition) const {
    info.text.clear();
    MENUITEMINFOA narrow{};
    narrow.cbSize = sizeof(narrow);
    narrow.fMask = info.fMask;
    if (!GetMenuItemInfoA(handle, item, byPosition, &narrow))
        throw WindowsError("Can't retrieve menu item info");
    const bool wantsText = (info.fMask & (MIIM_STRING | MIIM_TYPE)) != 0;
    std::string text;
    if (wantsText && narrow.cch) {
        // The first answer gave the length of the text: ask again with room for all of it.
        text.assign(std::size_t(narrow.cch) + 1, '\0');
        narrow.dwTypeData = &text[0];
        narrow.cch = UINT(text.size());
        if (!GetMenuItemInfoA(handle, item, byPosition, &narrow))
            throw WindowsError("Can't retrieve menu item info");
        text.resize(std::min<std::size_t>(narrow.cch, text.size() - 1));
    }
    static_assert(sizeof(MENUITEMINFOA) == sizeof(MENUITEMINFOW), "both widths of the record have one layout");
    std::memcpy(static_cast<MENUITEMINFOW*>(&info), &narrow, sizeof(narrow));
    info.dwTypeData = nullptr;
    info.cch = 0;
    if (wantsText && (narrow.fType & (MFT_BITMAP | MFT_SEPARATOR)) == 0) {
        info.text = BasicString<wchar_t>(text.data(), unsigned(text.size()));
        info.dwTypeData = const_cast<wchar_t*>(info.text.c_str());
        info.cch = UINT(info.text.size());
    } else if (!wantsText) {
        info.dwTypeData = reinterpret_cast<wchar_t*>(narrow.dwTypeData);
    }
}

BasicString<wchar_t> Menu::getItemText(unsigned item, bool byPosition) const {
    ItemInfo info;
    info.fMask = MIIM_STRING;
    getItemInfo(info, item, byPosition);
    return BasicString<wchar_t>(info.text);
}

Menu::state Menu::setItemState(state newState, unsigned item, bool byPosition) {
    return state(EnableMenuItem(handle, item, UINT(newState) | (byPosition ? MF_BYPOSITION : MF_BYCOMMAND)));
}

Menu::check Menu::setItemCheck(check newCheck, unsigned item, bool byPosition) {
    return check(CheckMenuItem(handle, item, UINT(newCheck) | (byPosition ? MF_BYPOSITION : MF_BYCOMMAND)));
}

bool Menu::isItemChecked(unsigned item, bool byPosition) const {
    const UINT s = GetMenuState(handle, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    return s != UINT(-1) && (s & MF_CHECKED);
}

bool Menu::isItemGrayed(unsigned item, bool byPosition) const {
    const UINT s = GetMenuState(handle, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    return s != UINT(-1) && (s & MF_GRAYED);
}

void Menu::remove(unsigned item, bool byPosition) const {
    if (!RemoveMenu(handle, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND))
        throw WindowsError("Can't remove menu item");
}

Menu Menu::findParentOfItem(unsigned short id) {
    const unsigned count = getItemCount();
    for (unsigned position = 0; position < count; ++position) {
        ItemInfo info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
        getItemInfo(info, position, true);
        // A submenu's own id is its handle cut to 16 bits, a separator's is 0:
        // only commands match.
        if (!info.hSubMenu && !(info.fType & MFT_SEPARATOR) && static_cast<unsigned short>(info.wID) == id)
            return Menu(handle, false);
        if (info.hSubMenu) {
            Menu found = Menu(info.hSubMenu, false).findParentOfItem(id);
            if (found)
                return found;
        }
    }
    return Menu();
}

Menu Menu::getSubMenu(unsigned position) const { return Menu(GetSubMenu(handle, int(position)), false); }

void insertMenu(HMENU menu, unsigned position, unsigned flags, unsigned id, const char* text) {
    if (!InsertMenuA(menu, position, flags, UINT_PTR(id), text))
        throw WindowsError("Can't insert menu item");
}

void setMenuItemBitmaps(HMENU menu, unsigned position, unsigned flags, HBITMAP unchecked, HBITMAP checked) {
    if (!SetMenuItemBitmaps(menu, position, flags, unchecked, checked))
        throw WindowsError("Can't set menu bitmaps");
}

} // namespace vesk
