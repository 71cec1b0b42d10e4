// TreeView: items, texts and image lists of a tree-view control.
#include <vesk/errors/exception.h>
#include <vesk/gui/tree_view.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace vesk {

TreeView::~TreeView() = default;

bool TreeView::onReflectedNotification(const NMTREEVIEWA&) { return false; }
bool TreeView::onReflectedNotification(const NMTREEVIEWW&) { return false; }

void TreeView::checkImage(unsigned image) const {
    if (image == unsigned(-1) || int(image) == I_IMAGECALLBACK)
        return;
    HIMAGELIST list = getImageList(normal);
    if (!list)
        return;
    const int count = ImageList_GetImageCount(list);
    if (int(image) < 0 || int(image) >= count)
        throw WindowsError(ERROR_INVALID_INDEX, "No image " + std::to_string(image) +
                                                    " in the tree view's image list of " + std::to_string(count));
}

HTREEITEM TreeView::insertItem(const TVINSERTSTRUCTA& item) const {
    if (item.item.mask & TVIF_IMAGE)
        checkImage(unsigned(item.item.iImage));
    if (item.item.mask & TVIF_SELECTEDIMAGE)
        checkImage(unsigned(item.item.iSelectedImage));
    HTREEITEM inserted =
        reinterpret_cast<HTREEITEM>(sendMessageA(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (!inserted)
        throw WindowsError("Can't insert tree view item");
    return inserted;
}

HTREEITEM TreeView::insertItem(const TVINSERTSTRUCTW& item) const {
    TVINSERTSTRUCTA narrow;
    static_assert(sizeof(narrow) == sizeof(item), "both widths of the record have one layout");
    std::memcpy(&narrow, &item, sizeof(narrow));
    BasicString<char> text;
    if (item.item.mask & TVIF_TEXT) {
        if (item.item.pszText == LPSTR_TEXTCALLBACKW) {
            narrow.item.pszText = LPSTR_TEXTCALLBACKA;
        } else if (item.item.pszText) {
            text = BasicString<char>(item.item.pszText);
            narrow.item.pszText = &text[0];
            narrow.item.cchTextMax = int(text.size() + 1);
        }
    }
    return insertItem(narrow);
}

namespace {

TVINSERTSTRUCTA textItem(const char* text, HTREEITEM parent, HTREEITEM after) {
    TVINSERTSTRUCTA item{};
    item.hParent = parent;
    item.hInsertAfter = after;
    item.item.mask = TVIF_TEXT;
    item.item.pszText = const_cast<char*>(text);
    return item;
}

void addImages(TVINSERTSTRUCTA& item, unsigned image, unsigned selectedImage) {
    if (image != unsigned(-1)) {
        item.item.mask |= TVIF_IMAGE;
        item.item.iImage = int(image);
    }
    if (selectedImage != unsigned(-1)) {
        item.item.mask |= TVIF_SELECTEDIMAGE;
        item.item.iSelectedImage = int(selectedImage);
    }
}

} // namespace

HTREEITEM TreeView::insertItem(const char* text, HTREEITEM parent, HTREEITEM after) const {
    return insertItem(textItem(text, parent, after));
}

HTREEITEM TreeView::insertItem(const wchar_t* text, HTREEITEM parent, HTREEITEM after) const {
    return insertItem(BasicString<char>(text).c_str(), parent, after);
}

HTREEITEM TreeView::insertItem(const char* text, const void* data, HTREEITEM parent, HTREEITEM after) const {
    TVINSERTSTRUCTA item = textItem(text, parent, after);
    item.item.mask |= TVIF_PARAM;
    item.item.lParam = reinterpret_cast<LPARAM>(data);
    return insertItem(item);
}

HTREEITEM TreeView::insertItem(const wchar_t* text, const void* data, HTREEITEM parent, HTREEITEM after) const {
    return insertItem(BasicString<char>(text).c_str(), data, parent, after);
}

HTREEITEM TreeView::insertItem(const char* text, unsigned image, unsigned selectedImage, HTREEITEM parent,
                               HTREEITEM after) const {
    TVINSERTSTRUCTA item = textItem(text, parent, after);
    addImages(item, image, selectedImage);
    return insertItem(item);
}

HTREEITEM TreeView::insertItem(const wchar_t* text, unsigned image, unsigned selectedImage, HTREEITEM parent,
                               HTREEITEM after) const {
    return insertItem(BasicString<char>(text).c_str(), image, selectedImage, parent, after);
}

HTREEITEM TreeView::insertItem(const void* data, const char* text, unsigned image, unsigned selectedImage,
                               HTREEITEM parent, HTREEITEM after) const {
    TVINSERTSTRUCTA item = textItem(text, parent, after);
    addImages(item, image, selectedImage);
    if (data) {
        item.item.mask |= TVIF_PARAM;
        item.item.lParam = reinterpret_cast<LPARAM>(data);
    }
    return insertItem(item);
}

HTREEITEM TreeView::insertItem(const void* data, const wchar_t* text, unsigned image, unsigned selectedImage,
                               HTREEITEM parent, HTREEITEM after) const {
    return insertItem(data, BasicString<char>(text).c_str(), image, selectedImage, parent, after);
}

void TreeView::getItem(TVITEMEXA& item) const {
    if (!sendMessageA(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        throw WindowsError("Can't retrieve item");
}

void TreeView::getItem(TVITEMEXW& item) const {
    if (!sendMessageA(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        throw WindowsError("Can't retrieve item");
}

void* TreeView::getItemData(HTREEITEM item) const {
    TVITEMEXA record{};
    record.mask = TVIF_HANDLE | TVIF_PARAM;
    record.hItem = item;
    getItem(record);
    return reinterpret_cast<void*>(record.lParam);
}

BasicString<char> TreeView::getItemTextA(HTREEITEM item) const {
    // The control copies what fits and says nothing of the rest: grow the
    // buffer while the text fills it.
    std::string buffer(256, '\0');
    for (;;) {
        TVITEMEXA record{};
        record.mask = TVIF_HANDLE | TVIF_TEXT;
        record.hItem = item;
        record.pszText = &buffer[0];
        record.cchTextMax = int(std::min<std::size_t>(buffer.size(), INT_MAX));
        buffer[0] = '\0';
        getItem(record);
        const std::size_t length = std::strlen(record.pszText);
        if (record.pszText != &buffer[0])  // the control may answer with its own text
            return BasicString<char>(std::string(record.pszText, length));
        if (length + MB_LEN_MAX < std::size_t(record.cchTextMax)) {
            buffer.resize(length);
            return BasicString<char>(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

BasicString<wchar_t> TreeView::getItemTextW(HTREEITEM item) const {
    const BasicString<char> text = getItemTextA(item);
    return BasicString<wchar_t>(text.data(), unsigned(text.size()));
}

HTREEITEM TreeView::getSelectedItem() const {
    return reinterpret_cast<HTREEITEM>(sendMessageA(TVM_GETNEXTITEM, TVGN_CARET, 0));
}

void TreeView::selectItem(HTREEITEM item) const {
    if (!sendMessageA(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)))
        throw WindowsError("Can't select tree view item");
}

HTREEITEM TreeView::getRoot() const {
    return reinterpret_cast<HTREEITEM>(sendMessageA(TVM_GETNEXTITEM, TVGN_ROOT, 0));
}

HTREEITEM TreeView::getChild(HTREEITEM item) const {
    return reinterpret_cast<HTREEITEM>(sendMessageA(TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM TreeView::getNextSibling(HTREEITEM item) const {
    return reinterpret_cast<HTREEITEM>(sendMessageA(TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM TreeView::getParentItem(HTREEITEM item) const {
    return reinterpret_cast<HTREEITEM>(sendMessageA(TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
}

unsigned TreeView::getCount() const { return unsigned(sendMessageA(TVM_GETCOUNT, 0, 0)); }

void TreeView::deleteItem(HTREEITEM item) const {
    if (!sendMessageA(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)))
        throw WindowsError("Can't delete tree view item");
}

void TreeView::deleteAllItems() const {
    if (!sendMessageA(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)))
        throw WindowsError("Can't delete tree view item");
}

void TreeView::expand(HTREEITEM item, unsigned code) const {
    if (!sendMessageA(TVM_EXPAND, WPARAM(code), reinterpret_cast<LPARAM>(item)))
        throw WindowsError("Unable to expand/collapse tree view item");
}

bool TreeView::isExpanded(HTREEITEM item) const {
    return (sendMessageA(TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

bool TreeView::ensureVisible(HTREEITEM item) const {
    return sendMessageA(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item)) != 0;
}

void TreeView::sortChildren(HTREEITEM item, bool recurse) const {
    if (!sendMessageA(TVM_SORTCHILDREN, recurse, reinterpret_cast<LPARAM>(item)))
        throw WindowsError("Can't sort tree view child items");
}

HIMAGELIST TreeView::setImageList(HIMAGELIST list, imagelist which) const {
    return reinterpret_cast<HIMAGELIST>(sendMessageA(TVM_SETIMAGELIST, WPARAM(which), reinterpret_cast<LPARAM>(list)));
}

HIMAGELIST TreeView::getImageList(imagelist which) const {
    return reinterpret_cast<HIMAGELIST>(sendMessageA(TVM_GETIMAGELIST, WPARAM(which), 0));
}

} // namespace vesk
