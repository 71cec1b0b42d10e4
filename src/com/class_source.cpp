// SimpleClassSource: class records by type name.
#include <vesk/com/class_source.h>

namespace vesk {

extern "C" const IID IID_ClassSource = {0x6E2D4B18, 0x93A7, 0x4C5F, {0xB0, 0xE1, 0x2F, 0x8A, 0x7D, 0x3C, 0x9E, 0x64}};

SimpleClassSource::~SimpleClassSource() = default;

void SimpleClassSource::add(const std::type_info& type, Class* record) { classes[type.name()] = record; }

HRESULT STDMETHODCALLTYPE SimpleClassSource::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_ClassSource || iid == IID_IUnknown) {
        *object = static_cast<ClassSource*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

Class* STDMETHODCALLTYPE SimpleClassSource::getClass(const std::type_info& type) {
    const auto found = classes.find(type.name());
    return found == classes.end() ? nullptr : found->second;
}

} // namespace vesk
