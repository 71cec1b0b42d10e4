// ListView: items, columns, texts and image lists of a list-view control.
#include <vesk/errors/exception.h>
#include <vesk/gui/list_view.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vesk {

ListView::~ListView() = default;

void ListView::checkItem(unsigned item, const char* what) const {
    const unsigned count = getItemCount();
    if (item >= count)
        throw WindowsError(ERROR_INVALID_INDEX, std::string(what) + ": no item " + std::to_string(item) +
                                                    " in a list view of " + std::to_string(count));
}

// An image index is checked against the list the control shows it from; a
// control without image lists takes any index (its callback may draw it).
void ListView::checkImage(unsigned image) const {
    if (image == unsigned(-1) || image == unsigned(I_IMAGECALLBACK))
        return;
    HIMAGELIST small = reinterpret_cast<HIMAGELIST>(sendMessageA(LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    HIMAGELIST normal = reinterpret_cast<HIMAGELIST>(sendMessageA(LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
    HIMAGELIST list = small ? small : normal;
    if (!list)
        return;
    const int count = ImageList_GetImageCount(list);
    if (int(image) >= count || int(image) < 0)
        throw WindowsError(ERROR_INVALID_INDEX, "No image " + std::to_string(image) +
                                                    " in the list view's image list of " + std::to_string(count));
}

unsigned ListView::getItemCount() const { return unsigned(sendMessageA(LVM_GETITEMCOUNT, 0, 0)); }
unsigned ListView::getSlectedItemCount() const { return unsigned(sendMessageA(LVM_GETSELECTEDCOUNT, 0, 0)); }

unsigned ListView::getNextItem(unsigned start, unsigned flags) const {
    return unsigned(sendMessageA(LVM_GETNEXTITEM, WPARAM(int(start)), MAKELPARAM(flags & 0xFFFF, 0)));
}

unsigned ListView::getNextSelectedItem(unsigned start) const { return getNextItem(start, LVNI_SELECTED); }

void ListView::getItem(LVITEMA& item) const {
    if (!sendMessageA(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        throw WindowsError("Can't get listview item");
}

void ListView::getItem(LVITEMW& item) const {
    if (!sendMessageA(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        throw WindowsError("Can't get listview item");
}

void ListView::setItem(const LVITEMA& item) const {
    if (!sendMessageA(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        throw WindowsError("Can't set item");
}

void ListView::setItem(const LVITEMW& item) const {
    if (!sendMessageA(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        throw WindowsError("Can't set item");
}

unsigned ListView::insertItem(const LVITEMA& item) const {
    if (item.mask & LVIF_IMAGE)
        checkImage(unsigned(item.iImage));
    const LRESULT index = sendMessageA(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    if (index == -1)
        throw WindowsError("Can't insert list view item");
    return unsigned(index);
}

unsigned ListView::insertItem(const LVITEMW& item) const {
    LVITEMA narrow;
    static_assert(sizeof(narrow) == sizeof(item), "both widths of the record have one layout");
    std::memcpy(&narrow, &item, sizeof(narrow));
    BasicString<char> text;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.pszText != LPSTR_TEXTCALLBACKW) {
        text = BasicString<char>(item.pszText);
        narrow.pszText = &text[0];
        narrow.cchTextMax = int(text.size() + 1);
    } else if (item.pszText == LPSTR_TEXTCALLBACKW) {
        narrow.pszText = LPSTR_TEXTCALLBACKA;
    }
    return insertItem(narrow);
}

unsigned ListView::insertColumn(unsigned index, const LVCOLUMNA& column) const {
    const LRESULT result = sendMessageA(LVM_INSERTCOLUMNA, WPARAM(index), reinterpret_cast<LPARAM>(&column));
    if (result == -1)
        throw WindowsError("Can't insert list view column");
    return unsigned(result);
}

unsigned ListView::insertColumn(unsigned index, const LVCOLUMNW& column) const {
    const LRESULT result = sendMessageA(LVM_INSERTCOLUMNW, WPARAM(index), reinterpret_cast<LPARAM>(&column));
    if (result == -1)
        throw WindowsError("Can't insert list view column");
    return unsigned(result);
}

void ListView::setItemText(unsigned item, const LVITEMA& text) const {
    checkItem(item, "Can't set item text");
    if (!sendMessageA(LVM_SETITEMTEXTA, WPARAM(item), reinterpret_cast<LPARAM>(&text)))
        throw WindowsError("Can't set item text");
}

void ListView::setItemText(unsigned item, const LVITEMW& text) const {
    checkItem(item, "Can't set item text");
    if (!sendMessageA(LVM_SETITEMTEXTW, WPARAM(item), reinterpret_cast<LPARAM>(&text)))
        throw WindowsError("Can't set item text");
}

void ListView::setItemText(unsigned item, const char* text, unsigned subItem) const {
    LVITEMA record{};
    record.mask = LVIF_TEXT;
    record.iSubItem = int(subItem);
    record.pszText = const_cast<char*>(text);
    setItemText(item, record);
}

void ListView::setItemText(unsigned item, const wchar_t* text, unsigned subItem) const {
    setItemText(item, BasicString<char>(text).c_str(), subItem);
}

BasicString<char> ListView::getItemTextA(unsigned item, unsigned subItem) const {
    checkItem(item, "Can't get item text");
    // The control answers with what it copied, cut to the buffer: grow the
    // buffer while the answer could have been cut (a character may take two bytes).
    std::string buffer(256, '\0');
    for (;;) {
        LVITEMA record{};
        record.iSubItem = int(subItem);
        record.pszText = &buffer[0];
        record.cchTextMax = int(std::min<std::size_t>(buffer.size(), INT_MAX));
        const LRESULT length = sendMessageA(LVM_GETITEMTEXTA, WPARAM(item), reinterpret_cast<LPARAM>(&record));
        if (length < LRESULT(record.cchTextMax) - LRESULT(MB_LEN_MAX)) {
            buffer.resize(std::size_t(length > 0 ? length : 0));
            return BasicString<char>(buffer);
        }
        // Doubling keeps a long text at a few tries; only memory limits it.
        buffer.resize(buffer.size() * 2);
    }
}

BasicString<wchar_t> ListView::getItemTextW(unsigned item, unsigned subItem) const {
    const BasicString<char> text = getItemTextA(item, subItem);
    return BasicString<wchar_t>(text.data(), unsigned(text.size()));
}

void ListView::deleteItem(unsigned item) const {
    if (!sendMessageA(LVM_DELETEITEM, WPARAM(item), 0))
        throw WindowsError("Can't delete listview item");
}

void ListView::deleteAllItems() const {
    if (!sendMessageA(LVM_DELETEALLITEMS, 0, 0))
        throw WindowsError("Can't delete listview item");
}

unsigned ListView::getColumnWidth(unsigned column) const {
    return unsigned(sendMessageA(LVM_GETCOLUMNWIDTH, WPARAM(column), 0));
}

void* ListView::getItemData(unsigned item) const {
    checkItem(item, "Can't get listview item");
    LVITEMA record{};
    record.mask = LVIF_PARAM;
    record.iItem = int(item);
    getItem(record);
    return reinterpret_cast<void*>(record.lParam);
}

void ListView::setItemImage(unsigned item, unsigned image, unsigned subItem) const {
    checkItem(item, "Can't set item");
    checkImage(image);
    LVITEMA record{};
    record.mask = LVIF_IMAGE;
    record.iItem = int(item);
    record.iSubItem = int(subItem);
    record.iImage = int(image);
    setItem(record);
}

unsigned ListView::getItemImage(unsigned item) const {
    checkItem(item, "Can't get listview item");
    LVITEMA record{};
    record.mask = LVIF_IMAGE;
    record.iItem = int(item);
    getItem(record);
    return unsigned(record.iImage);
}

unsigned ListView::setExtendedListViewStyle(unsigned style) const {
    return unsigned(sendMessageA(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LPARAM(style)));
}

unsigned ListView::setExtendedListViewStyle(unsigned mask, unsigned style) const {
    return unsigned(sendMessageA(LVM_SETEXTENDEDLISTVIEWSTYLE, WPARAM(mask), LPARAM(style)));
}

void ListView::swapImageList(imagelist which, ImageList& list) const {
    HIMAGELIST given = list.detach();
    HIMAGELIST previous =
        reinterpret_cast<HIMAGELIST>(sendMessageA(LVM_SETIMAGELIST, WPARAM(which), reinterpret_cast<LPARAM>(given)));
    list.attach(previous);
}

void ListView::setSelection(unsigned item, bool selected) const {
    checkItem(item, "Can't set item");
    LVITEMA record{};
    record.stateMask = LVIS_SELECTED;
    record.state = selected ? LVIS_SELECTED : 0;
    if (!sendMessageA(LVM_SETITEMSTATE, WPARAM(item), reinterpret_cast<LPARAM>(&record)))
        throw WindowsError("Can't set item");
}

// ---- Convenience forms ------------------------------------------------------------

namespace {

LVITEMA textItem(const char* text, unsigned index) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = int(index);
    item.pszText = const_cast<char*>(text);
    return item;
}

void addData(LVITEMA& item, const void* data) {
    if (data) {
        item.mask |= LVIF_PARAM;
        item.lParam = reinterpret_cast<LPARAM>(data);
    }
}

void addImageAndIndent(LVITEMA& item, unsigned indent, unsigned image) {
    if (image != unsigned(-1)) {
        item.mask |= LVIF_IMAGE;
        item.iImage = int(image);
    }
    if (indent) {
        item.mask |= LVIF_INDENT;
        item.iIndent = int(indent);
    }
}

} // namespace

unsigned ListView::insertItem(const char* text, unsigned index) const { return insertItem(textItem(text, index)); }

unsigned ListView::insertItem(const wchar_t* text, unsigned index) const {
    return insertItem(BasicString<char>(text).c_str(), index);
}

unsigned ListView::insertItem(const char* text, const void* data, unsigned index) const {
    LVITEMA item = textItem(text, index);
    addData(item, data);
    return insertItem(item);
}

unsigned ListView::insertItem(const wchar_t* text, const void* data, unsigned index) const {
    return insertItem(BasicString<char>(text).c_str(), data, index);
}

unsigned ListView::insertItem(unsigned indent, unsigned image, const char* text, unsigned index) const {
    LVITEMA item = textItem(text, index);
    addImageAndIndent(item, indent, image);
    return insertItem(item);
}

unsigned ListView::insertItem(unsigned indent, unsigned image, const wchar_t* text, unsigned index) const {
    return insertItem(indent, image, BasicString<char>(text).c_str(), index);
}

unsigned ListView::insertItem(unsigned indent, unsigned image, const char* text, const void* data,
                              unsigned index) const {
    LVITEMA item = textItem(text, index);
    addImageAndIndent(item, indent, image);
    addData(item, data);
    return insertItem(item);
}

unsigned ListView::insertItem(unsigned indent, unsigned image, const wchar_t* text, const void* data,
                              unsigned index) const {
    return insertItem(indent, image, BasicString<char>(text).c_str(), data, index);
}

unsigned ListView::insertColumn(unsigned index, const char* text, unsigned width, int format,
                                unsigned subItem) const {
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_TEXT;
    column.fmt = format;
    column.pszText = const_cast<char*>(text);
    if (width != unsigned(-1)) {
        column.mask |= LVCF_WIDTH;
        column.cx = int(width);
    }
    if (subItem != unsigned(-1)) {
        column.mask |= LVCF_SUBITEM;
        column.iSubItem = int(subItem);
    }
    return insertColumn(index, column);
}

unsigned ListView::insertColumn(unsigned index, const wchar_t* text, unsigned width, int format,
                                unsigned subItem) const {
    return insertColumn(index, BasicString<char>(text).c_str(), width, format, subItem);
}

unsigned ListView::insertColumn(unsigned index, unsigned image, unsigned width, int format) const {
    LVCOLUMNA column{};
    column.mask = LVCF_WIDTH | LVCF_IMAGE;
    column.cx = int(width);
    column.iImage = int(image);
    if (format) {
        column.mask |= LVCF_FMT;
        column.fmt = format;
    }
    return insertColumn(index, column);
}

} // namespace vesk
