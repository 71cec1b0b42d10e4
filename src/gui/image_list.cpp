// ImageList: loading, building and releasing image lists.
#include <vesk/errors/exception.h>
#include <vesk/gui/image_list.h>

#include <string>
#include <utility>

namespace vesk {

ImageList::ImageList(int id, what type, unsigned cx, unsigned long maskColour, unsigned flags, HINSTANCE instance)
    : handle(nullptr), owned(false) {
    load(id, type, cx, maskColour, flags, instance);
}

ImageList& ImageList::operator=(ImageList other) {
    adopt(other);
    return *this;
}

void ImageList::swap(ImageList& other) noexcept {
    std::swap(handle, other.handle);
    std::swap(owned, other.owned);
}

// As Menu::adopt: the same list only merges ownership; another one is swapped
// in and the old one destroyed afterwards.
void ImageList::adopt(ImageList& from) {
    if (from.handle == handle) {
        owned = owned || from.owned;
        from.owned = false;
        return;
    }
    swap(from);
    from.destroy();
}

ImageList::~ImageList() {
    try {
        destroy();
    } catch (...) {
    }
}

void ImageList::load(int id, what type, unsigned cx, unsigned long maskColour, unsigned flags, HINSTANCE instance) {
    destroy();
    HIMAGELIST list = ImageList_LoadImageA(instance, MAKEINTRESOURCEA(id), int(cx), 0, COLORREF(maskColour),
                                           UINT(type), flags);
    if (!list)
        throw WindowsError("Failed to load image list");
    handle = list;
    owned = true;
}

void ImageList::create(int cx, int cy, unsigned flags, int initial, int grow) {
    destroy();
    HIMAGELIST list = ImageList_Create(cx, cy, flags, initial, grow);
    if (!list)
        throw WindowsError("Failed to create image list");
    handle = list;
    owned = true;
}

unsigned ImageList::add(HBITMAP image, HBITMAP mask) const {
    const int index = ImageList_Add(handle, image, mask);
    if (index < 0)
        throw WindowsError("Failed to add an image to image list");
    return unsigned(index);
}

unsigned ImageList::addMasked(HBITMAP image, COLORREF maskColour) const {
    const int index = ImageList_AddMasked(handle, image, maskColour);
    if (index < 0)
        throw WindowsError("Failed to add an image to image list");
    return unsigned(index);
}

unsigned ImageList::getImageCount() const { return handle ? unsigned(ImageList_GetImageCount(handle)) : 0; }

SIZE ImageList::getIconSize() const {
    int cx = 0, cy = 0;
    if (handle && !ImageList_GetIconSize(handle, &cx, &cy))
        throw WindowsError("Failed to get the image size of image list");
    return SIZE{cx, cy};
}

void ImageList::checkIndex(unsigned index) const {
    const unsigned count = getImageCount();
    if (index >= count)
        throw WindowsError(ERROR_INVALID_INDEX, "No image " + std::to_string(index) + " in an image list of " +
                                                    std::to_string(count));
}

void ImageList::destroy() {
    if (!handle)
        return;
    if (owned && !ImageList_Destroy(handle))
        throw WindowsError("Failed to destroy image list");
    handle = nullptr;
    owned = false;
}

void ImageList::attach(HIMAGELIST list) {
    destroy();
    handle = list;
    owned = list != nullptr;
}

HIMAGELIST ImageList::detach() {
    HIMAGELIST list = handle;
    handle = nullptr;
    owned = false;
    return list;
}

} // namespace vesk
