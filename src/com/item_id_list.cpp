// ItemIDList: owned item identifier lists, their sizes and display names.
#include <vesk/com/item_id_list.h>

#include <vesk/com/malloc.h>
#include <vesk/errors/exception.h>

#include "com_internal.h"

#include <cstring>
#include <utility>

namespace vesk {

namespace {

unsigned listSize(const ITEMIDLIST* list) {
    if (!list)
        return 0;
    unsigned size = 0;
    for (const SHITEMID* item = &list->mkid; item->cb;
         item = reinterpret_cast<const SHITEMID*>(reinterpret_cast<const BYTE*>(item) + item->cb))
        size += item->cb;
    return size + 2;
}

} // namespace

ItemIDList::ItemIDList() : owner(true), list(nullptr) {}

ItemIDList::ItemIDList(unsigned int size) : owner(true), list(nullptr) {
    if (size > 0)
        list = static_cast<ITEMIDLIST*>(alloc(size));
}

ItemIDList::ItemIDList(ITEMIDLIST* l, bool o) : owner(o), list(l) {}

ItemIDList::ItemIDList(const ITEMIDLIST* l) : owner(false), list(const_cast<ITEMIDLIST*>(l)) {}

ItemIDList::ItemIDList(const SHITEMID& item) : owner(true), list(nullptr) {
    list = static_cast<ITEMIDLIST*>(alloc(unsigned(item.cb) + 2));
    std::memcpy(list, &item, item.cb);
}

ItemIDList::ItemIDList(HWND window, int folder) : owner(true), list(nullptr) {
    HRESULTHolder::throwOnError(SHGetSpecialFolderLocation(window, folder, &list),
                                "Can't get the location of a special folder");
}

ItemIDList::ItemIDList(IShellFolder* folder, const ITEMIDLIST* relative) : owner(true), list(nullptr) {
    if (!folder)
        HRESULTHolder::throwOnError(E_POINTER, "Can't make item list: no folder");
    const BasicString<wchar_t> name = ItemIDList(relative).getDisplayNameW(folder, SHGDN_FORPARSING);
    assign(name.c_str(), folder, nullptr);
}

ItemIDList::ItemIDList(const wchar_t* name, IShellFolder* folder, HWND window) : owner(true), list(nullptr) {
    assign(name, folder, window);
}

ItemIDList::ItemIDList(const ItemIDList& other) : owner(true), list(nullptr) { assign(other.list); }

ItemIDList::ItemIDList(ItemIDList&& other) noexcept : owner(other.owner), list(other.list) {
    other.list = nullptr;
    other.owner = true;
}

ItemIDList& ItemIDList::operator=(const ItemIDList& other) {
    if (this != &other)
        assign(other.list);
    return *this;
}

ItemIDList& ItemIDList::operator=(ItemIDList&& other) noexcept {
    if (this != &other) {
        free();
        owner = other.owner;
        list = std::exchange(other.list, nullptr);
        other.owner = true;
    }
    return *this;
}

ItemIDList::~ItemIDList() { free(); }

void ItemIDList::assign(const wchar_t* name, IShellFolder* folder, HWND window) {
    if (!folder || !name)
        HRESULTHolder::throwOnError(E_POINTER, "Can't parse display name: no folder or no name");
    free();
    ULONG eaten = 0, attributes = 0;
    ITEMIDLIST* parsed = nullptr;
    HRESULTHolder::throwOnError(
        folder->ParseDisplayName(window, nullptr, const_cast<LPWSTR>(name), &eaten, &parsed, &attributes),
        "Can't parse display name");
    list = parsed;
    owner = true;
}

void ItemIDList::assign(const ITEMIDLIST* source) {
    // The source may be this list itself (or a view of it): copy before freeing.
    ITEMIDLIST* copy = nullptr;
    if (source) {
        const unsigned size = listSize(source);
        copy = static_cast<ITEMIDLIST*>(alloc(size));
        std::memcpy(copy, source, size);
    }
    free();
    list = copy;
    owner = true;
}

void ItemIDList::attach(ITEMIDLIST* l, bool o) {
    if (l == list)
        return;  // freeing first would leave l dangling
    free();
    list = l;
    owner = o;
}

void ItemIDList::attach(const ITEMIDLIST* l) { attach(const_cast<ITEMIDLIST*>(l), false); }

ITEMIDLIST* ItemIDList::detach() {
    owner = true;
    return std::exchange(list, nullptr);
}

void ItemIDList::free() noexcept {
    if (list && owner) {
        try {
            getShellMalloc()->Free(list);
        } catch (...) {
        }
    }
    list = nullptr;
    owner = false;
}

void* ItemIDList::alloc(unsigned int size) {
    void* block = getShellMalloc()->Alloc(size);
    if (!block)
        com_internal::throwBadAllocation();
    std::memset(block, 0, size);
    return block;
}

unsigned int ItemIDList::getSize() const { return listSize(list); }

unsigned int ItemIDList::getCount() const {
    unsigned count = 0;
    for (const_iterator i = begin(); i != end(); ++i)
        ++count;
    return count;
}

namespace {
STRRET displayNameOf(IShellFolder* folder, const ITEMIDLIST* list, DWORD flags) {
    if (!folder)
        HRESULTHolder::throwOnError(E_POINTER, "Can't get display name: no folder");
    STRRET value{};
    HRESULTHolder::throwOnError(folder->GetDisplayNameOf(list, flags, &value), "Can't get display name");
    return value;
}
} // namespace

BasicString<char> ItemIDList::getDisplayNameA(IShellFolder* folder, DWORD flags) const {
    STRRET value = displayNameOf(folder, list, flags);
    return toAString(value, list);
}

BasicString<wchar_t> ItemIDList::getDisplayNameW(IShellFolder* folder, DWORD flags) const {
    STRRET value = displayNameOf(folder, list, flags);
    return toWString(value, list);
}

BasicString<char> ItemIDList::toAString(STRRET& value, const ITEMIDLIST* l) {
    switch (value.uType) {
    case STRRET_WSTR: {
        const wchar_t* text = value.pOleStr;
        BasicString<char> result = text ? StringHelper<char>::convert(text, 0xFFFFFFFFu, CP_ACP) : std::string();
        if (text) {
            getShellMalloc()->Free(value.pOleStr);
            value.pOleStr = nullptr;
        }
        return result;
    }
    case STRRET_OFFSET:
        // An offset into no list reads nothing.
        return l ? BasicString<char>(reinterpret_cast<const char*>(l) + value.uOffset) : BasicString<char>();
    case STRRET_CSTR: {
        // The record's own buffer need not be terminated.
        const void* end = std::memchr(value.cStr, 0, sizeof(value.cStr));
        const std::size_t n = end ? static_cast<const char*>(end) - value.cStr : sizeof(value.cStr);
        return BasicString<char>(value.cStr, unsigned(n));
    }
    default: return BasicString<char>();
    }
}

BasicString<wchar_t> ItemIDList::toWString(STRRET& value, const ITEMIDLIST* l) {
    if (value.uType == STRRET_WSTR) {
        BasicString<wchar_t> result = value.pOleStr ? BasicString<wchar_t>(value.pOleStr) : BasicString<wchar_t>();
        if (value.pOleStr) {
            getShellMalloc()->Free(value.pOleStr);
            value.pOleStr = nullptr;
        }
        return result;
    }
    // The shell's narrow texts are in the ANSI code page.
    const BasicString<char> narrow = toAString(value, l);
    return BasicString<wchar_t>(com_internal::fromAnsi(narrow.data(), narrow.size()));
}

COMInterfacePointer<IShellFolder> ItemIDList::getDesktopFolder() {
    COMInterfacePointer<IShellFolder> folder;
    HRESULTHolder::throwOnError(SHGetDesktopFolder(folder.put()), "Can't get the desktop folder");
    return folder;
}

} // namespace vesk
