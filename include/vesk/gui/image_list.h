// ImageList: the owner of an image list (HIMAGELIST) of the common controls.
#pragma once

#include <vesk/config.h>

#include <windows.h>
#include <commctrl.h>

namespace vesk {

// Copies share the handle without its ownership: only the object that
// created, loaded or attached the list destroys it. A copy is a view; a move
// hands ownership over and leaves the source a view. Assigning a list this
// object already names (itself, a copy of itself) keeps its one owner.
class VESK_API ImageList {
public:
    enum what { bitmap = IMAGE_BITMAP, icon = IMAGE_ICON, cursor = IMAGE_CURSOR };

    ImageList() : handle(nullptr), owned(false) {}
    ImageList(int id, what type, unsigned cx, unsigned long maskColour, unsigned flags, HINSTANCE instance);
    ImageList(const ImageList& other) : handle(other.handle), owned(false) {}
    ImageList(ImageList&& other) noexcept : handle(other.handle), owned(other.owned) { other.owned = false; }
    // A copy or a move, made first and then taken over.
    ImageList& operator=(ImageList other);
    ~ImageList();
    void swap(ImageList& other) noexcept;

    void load(int id, what type, unsigned cx, unsigned long maskColour, unsigned flags, HINSTANCE instance);
    // An empty list of images of cx by cy pixels (flags: ILC_COLOR32, ILC_MASK...).
    void create(int cx, int cy, unsigned flags, int initial, int grow);
    // Adds the images a bitmap holds side by side; the index of the first.
    unsigned add(HBITMAP image, HBITMAP mask) const;
    unsigned addMasked(HBITMAP image, COLORREF maskColour) const;
    unsigned getImageCount() const;
    SIZE getIconSize() const;
    // Throws for an index at or past the image count.
    void checkIndex(unsigned index) const;

    void destroy();
    void attach(HIMAGELIST list);
    HIMAGELIST detach();

    HIMAGELIST getHandle() const { return handle; }
    operator HIMAGELIST() const { return handle; }
    bool isOpen() const { return handle != nullptr; }
    bool ownsHandle() const { return owned; }

private:
    void adopt(ImageList& from);

    HIMAGELIST handle;
    bool owned;
};

} // namespace vesk
