// ListView: a list-view common control bound with attach or subclass.
//
// Items are addressed by index (unsigned(-1): none). Texts are read whole at
// any length; an item or image index the control does not hold gives a
// WindowsError naming it.
#pragma once

#include <vesk/config.h>
#include <vesk/gui/image_list.h>
#include <vesk/gui/window.h>
#include <vesk/text/string.h>

namespace vesk {

class VESK_API ListView : public Window {
public:
    enum imagelist { normal = LVSIL_NORMAL, small = LVSIL_SMALL, state = LVSIL_STATE };

    ListView() = default;
    ~ListView() override;

    unsigned getItemCount() const;
    unsigned getSlectedItemCount() const;
    unsigned getSelectedItemCount() const { return getSlectedItemCount(); }
    unsigned getNextItem(unsigned start, unsigned flags) const;
    unsigned getNextSelectedItem(unsigned start) const;
    void getItem(LVITEMA& item) const;
    void getItem(LVITEMW& item) const;
    void setItem(const LVITEMA& item) const;
    void setItem(const LVITEMW& item) const;
    unsigned insertItem(const LVITEMA& item) const;
    unsigned insertItem(const LVITEMW& item) const;
    unsigned insertColumn(unsigned index, const LVCOLUMNA& column) const;
    unsigned insertColumn(unsigned index, const LVCOLUMNW& column) const;
    void setItemText(unsigned item, const LVITEMA& text) const;
    void setItemText(unsigned item, const LVITEMW& text) const;
    void setItemText(unsigned item, const char* text, unsigned subItem) const;
    void setItemText(unsigned item, const wchar_t* text, unsigned subItem) const;
    BasicString<char> getItemTextA(unsigned item, unsigned subItem) const;
    BasicString<char> getItemTextT(unsigned item, unsigned subItem) const { return getItemTextA(item, subItem); }
    BasicString<wchar_t> getItemTextW(unsigned item, unsigned subItem) const;
    void deleteItem(unsigned item) const;
    void deleteAllItems() const;
    unsigned getColumnWidth(unsigned column) const;
    void* getItemData(unsigned item) const;
    void setItemImage(unsigned item, unsigned image, unsigned subItem) const;
    unsigned getItemImage(unsigned item) const;
    unsigned setExtendedListViewStyle(unsigned style) const;
    unsigned setExtendedListViewStyle(unsigned mask, unsigned style) const;
    // The control takes the list over; `list` then owns what the control had.
    void swapImageList(imagelist which, ImageList& list) const;
    void setSelection(unsigned item, bool selected) const;

    unsigned insertItem(const char* text, unsigned index) const;
    unsigned insertItem(const wchar_t* text, unsigned index) const;
    unsigned insertItem(const char* text, const void* data, unsigned index) const;
    unsigned insertItem(const wchar_t* text, const void* data, unsigned index) const;
    unsigned insertItem(unsigned indent, unsigned image, const char* text, unsigned index) const;
    unsigned insertItem(unsigned indent, unsigned image, const wchar_t* text, unsigned index) const;
    unsigned insertItem(unsigned indent, unsigned image, const char* text, const void* data, unsigned index) const;
    unsigned insertItem(unsigned indent, unsigned image, const wchar_t* text, const void* data,
                        unsigned index) const;

    unsigned insertColumn(unsigned index, const char* text, unsigned width, int format, unsigned subItem) const;
    unsigned insertColumn(unsigned index, const wchar_t* text, unsigned width, int format, unsigned subItem) const;
    unsigned insertColumn(unsigned index, unsigned image, unsigned width, int format) const;

private:
    void checkItem(unsigned item, const char* what) const;
    void checkImage(unsigned image) const;
};

} // namespace vesk
