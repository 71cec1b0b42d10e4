// TreeView: a tree-view common control bound with attach or subclass.
//
// The parent of a tree view that has an object offers each tree-view
// notification to the tree view first: a subclass handles the selection,
// expansion and label editing of its own items by overriding
// onReflectedNotification (true: handled, the parent does nothing more). The
// notification comes in the width the control sent; the parent widens narrow
// records before the 16-bit handler sees them. A tree view whose object is
// gone is no longer found, so its notifications go to the parent alone.
#pragma once

#include <vesk/config.h>
#include <vesk/gui/image_list.h>
#include <vesk/gui/window.h>
#include <vesk/text/string.h>

namespace vesk {

class VESK_API TreeView : public Window, public TreeViewNotified {
public:
    enum imagelist { normal = TVSIL_NORMAL, state = TVSIL_STATE };

    TreeView() = default;
    ~TreeView() override;

    bool onReflectedNotification(const NMTREEVIEWA& notification) override;
    bool onReflectedNotification(const NMTREEVIEWW& notification) override;

    HTREEITEM insertItem(const TVINSERTSTRUCTA& item) const;
    HTREEITEM insertItem(const TVINSERTSTRUCTW& item) const;
    HTREEITEM insertItem(const char* text, HTREEITEM parent, HTREEITEM after) const;
    HTREEITEM insertItem(const wchar_t* text, HTREEITEM parent, HTREEITEM after) const;
    HTREEITEM insertItem(const char* text, const void* data, HTREEITEM parent, HTREEITEM after) const;
    HTREEITEM insertItem(const wchar_t* text, const void* data, HTREEITEM parent, HTREEITEM after) const;
    HTREEITEM insertItem(const char* text, unsigned image, unsigned selectedImage, HTREEITEM parent,
                         HTREEITEM after) const;
    HTREEITEM insertItem(const wchar_t* text, unsigned image, unsigned selectedImage, HTREEITEM parent,
                         HTREEITEM after) const;
    HTREEITEM insertItem(const void* data, const char* text, unsigned image, unsigned selectedImage,
                         HTREEITEM parent, HTREEITEM after) const;
    HTREEITEM insertItem(const void* data, const wchar_t* text, unsigned image, unsigned selectedImage,
                         HTREEITEM parent, HTREEITEM after) const;

    void* getItemData(HTREEITEM item) const;
    // The whole label of an item, at any length.
    BasicString<char> getItemTextA(HTREEITEM item) const;
    BasicString<wchar_t> getItemTextW(HTREEITEM item) const;
    HTREEITEM getSelectedItem() const;
    void selectItem(HTREEITEM item) const;
    HTREEITEM getRoot() const;
    HTREEITEM getChild(HTREEITEM item) const;
    HTREEITEM getNextSibling(HTREEITEM item) const;
    HTREEITEM getParentItem(HTREEITEM item) const;
    unsigned getCount() const;
    void deleteItem(HTREEITEM item) const;
    void deleteAllItems() const;
    void expand(HTREEITEM item, unsigned code) const;
    bool isExpanded(HTREEITEM item) const;
    bool ensureVisible(HTREEITEM item) const;
    void sortChildren(HTREEITEM item, bool recurse) const;
    // The previous list, owned by no one.
    HIMAGELIST setImageList(HIMAGELIST list, imagelist which) const;
    HIMAGELIST getImageList(imagelist which) const;

private:
    void getItem(TVITEMEXA& item) const;
    void getItem(TVITEMEXW& item) const;
    void checkImage(unsigned image) const;
};

} // namespace vesk
