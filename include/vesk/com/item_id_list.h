// ItemIDList: an owning (or viewing) wrapper of a shell item identifier list,
// with its display names and the conversions of STRRET records.
//
// An owned list is freed with the shell's allocator exactly once. A copy of an
// ItemIDList is a copy of the bytes with an owner of its own; a moved-from
// list is empty.
#pragma once

#include <vesk/com/unknown.h>
#include <vesk/text/string.h>

#include <shlobj.h>

#include <cstddef>
#include <iterator>

namespace vesk {

class VESK_API ItemIDList {
public:
    // Walks the items of a list; the end is the null position.
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = SHITEMID;
        using difference_type = std::ptrdiff_t;
        using pointer = const SHITEMID*;
        using reference = const SHITEMID&;

        explicit const_iterator(const ITEMIDLIST* at = nullptr) : item(at && at->mkid.cb ? &at->mkid : nullptr) {}
        reference operator*() const { return *item; }
        pointer operator->() const { return item; }
        const_iterator& operator++() {
            const auto* next = reinterpret_cast<const SHITEMID*>(reinterpret_cast<const BYTE*>(item) + item->cb);
            item = next->cb ? next : nullptr;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const const_iterator& o) const { return item == o.item; }
        bool operator!=(const const_iterator& o) const { return item != o.item; }

    private:
        const SHITEMID* item;
    };

    ItemIDList();
    explicit ItemIDList(unsigned int size);
    ItemIDList(ITEMIDLIST* list, bool owner);
    explicit ItemIDList(const ITEMIDLIST* list);
    explicit ItemIDList(const SHITEMID& item);
    // A special folder (CSIDL_...).
    ItemIDList(HWND window, int folder);
    // The item relative to folder, made again from its parsing name.
    ItemIDList(IShellFolder* folder, const ITEMIDLIST* relative);
    // The item the name stands for in folder.
    ItemIDList(const wchar_t* name, IShellFolder* folder, HWND window);
    ItemIDList(const ItemIDList& other);
    ItemIDList(ItemIDList&& other) noexcept;
    ItemIDList& operator=(const ItemIDList& other);
    ItemIDList& operator=(ItemIDList&& other) noexcept;
    virtual ~ItemIDList();

    void assign(const wchar_t* name, IShellFolder* folder, HWND window);
    // An owned copy of the list's bytes.
    void assign(const ITEMIDLIST* list);
    void attach(ITEMIDLIST* list, bool owner);
    void attach(const ITEMIDLIST* list);
    // Hands the list (and its freeing) to the caller.
    ITEMIDLIST* detach();

    const ITEMIDLIST* get() const { return list; }
    operator const ITEMIDLIST*() const { return list; }
    bool isOwner() const { return owner; }
    // Bytes of all items and the terminator; 0 for no list.
    unsigned int getSize() const;
    unsigned int getCount() const;
    const_iterator begin() const { return const_iterator(list); }
    const_iterator end() const { return const_iterator(); }

    BasicString<char> getDisplayNameA(IShellFolder* folder, DWORD flags) const;
    BasicString<wchar_t> getDisplayNameW(IShellFolder* folder, DWORD flags) const;
    BasicString<char> getDisplayNameT(IShellFolder* folder, DWORD flags) const {
        return getDisplayNameA(folder, flags);
    }

    // The text of a STRRET; a 16-bit text is freed with the shell's allocator.
    static BasicString<char> toAString(STRRET& value, const ITEMIDLIST* list);
    static BasicString<wchar_t> toWString(STRRET& value, const ITEMIDLIST* list);
    static COMInterfacePointer<IShellFolder> getDesktopFolder();

private:
    void free() noexcept;
    static void* alloc(unsigned int size);

    bool owner;
    ITEMIDLIST* list;
};

} // namespace vesk
