// COM and shell task memory: IMallocRef over an allocator, and the functions
// that get allocators and bind contexts.
#pragma once

#include <vesk/config.h>
#include <vesk/com/unknown.h>

#include <objidl.h>

#include <cstddef>

namespace vesk {

// The COM task allocator (CoGetMalloc) and the shell's (SHGetMalloc).
VESK_API COMInterfacePointer<IMalloc> getCOMMalloc();
VESK_API COMInterfacePointer<IMalloc> getShellMalloc();
// CoTaskMemAlloc; none left throws std::bad_alloc "bad allocation".
VESK_API void* allocTaskMemory(std::size_t size);
VESK_API COMInterfacePointer<IBindCtx> createBindContext();

// One reference to an allocator.
class VESK_API IMallocRef {
public:
    IMallocRef() noexcept : malloc(nullptr) {}
    explicit IMallocRef(const COMInterfacePointer<IMalloc>& allocator);
    // The source's allocator, asked for IID_IMalloc; a failure throws COMError
    // "Can't query interface " and the interface's name.
    IMallocRef(const IMallocRef& other);
    IMallocRef& operator=(const IMallocRef& other);
    ~IMallocRef();

    IMalloc* get() const { return malloc; }
    // IMalloc::Alloc; none left throws std::bad_alloc "bad allocation". An
    // object without an allocator throws COMError(E_POINTER).
    void* alloc(std::size_t size);
    // IMalloc::Free of a non-null pointer.
    void free(void* pointer);

private:
    IMalloc* malloc;
};

} // namespace vesk
