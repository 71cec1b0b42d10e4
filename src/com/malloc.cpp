// Task allocators and bind contexts.
#include <vesk/com/malloc.h>

#include "com_internal.h"

#include <shlobj.h>

namespace vesk {

namespace {
COMInterfacePointer<IMalloc> checked(HRESULT hr, IMalloc* p, const char* nullMessage) {
    COMInterfacePointer<IMalloc> held(p, false);
    HRESULTHolder::throwOnError(hr);
    if (!p) throw COMError(static_cast<unsigned long>(E_UNEXPECTED), nullMessage);
    return held;
}

IMalloc* queried(IMalloc* source) {
    return source ? COMInterfacePointer<IMalloc>(static_cast<IUnknown*>(source)).detach() : nullptr;
}
} // namespace

COMInterfacePointer<IMalloc> getCOMMalloc() {
    IMalloc* p = nullptr;
    const HRESULT hr = CoGetMalloc(1, &p);
    return checked(hr, p, "CoGetMalloc returned 0 pointer");
}

COMInterfacePointer<IMalloc> getShellMalloc() {
    IMalloc* p = nullptr;
    const HRESULT hr = SHGetMalloc(&p);
    return checked(hr, p, "SHGetMalloc returned 0 pointer");
}

void* allocTaskMemory(std::size_t size) {
    void* p = CoTaskMemAlloc(size);
    if (!p) com_internal::throwBadAllocation();
    return p;
}

COMInterfacePointer<IBindCtx> createBindContext() {
    COMInterfacePointer<IBindCtx> context;
    HRESULTHolder::throwOnError(CreateBindCtx(0, context.put()));
    return context;
}

IMallocRef::IMallocRef(const COMInterfacePointer<IMalloc>& allocator) : malloc(allocator.get()) {
    if (malloc) malloc->AddRef();
}

IMallocRef::IMallocRef(const IMallocRef& other) : malloc(queried(other.malloc)) {}

IMallocRef& IMallocRef::operator=(const IMallocRef& other) {
    if (this != &other) {
        IMalloc* next = queried(other.malloc);
        if (malloc) malloc->Release();
        malloc = next;
    }
    return *this;
}

IMallocRef::~IMallocRef() {
    if (malloc) malloc->Release();
}

void* IMallocRef::alloc(std::size_t size) {
    COMError::checkPointer(malloc);
    void* p = malloc->Alloc(size);
    if (!p) com_internal::throwBadAllocation();
    return p;
}

void IMallocRef::free(void* pointer) {
    if (pointer && malloc) malloc->Free(pointer);
}

} // namespace vesk
