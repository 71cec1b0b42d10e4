// LocalMemory: ownership and locking of local-heap blocks.
#include <vesk/errors/exception.h>
#include <vesk/system/local_memory.h>
#include <vesk/text/string.h>

#include <utility>

namespace vesk {

LocalMemory::LocalMemory(HLOCAL h, bool movable) : handle(h), lockCount(movable ? 0 : -1) {}

LocalMemory::LocalMemory(LocalMemory&& other) noexcept : handle(other.handle), lockCount(other.lockCount) {
    other.handle = nullptr;
}

LocalMemory& LocalMemory::operator=(LocalMemory&& other) {
    if (this != &other) {
        free();
        handle = std::exchange(other.handle, nullptr);
        lockCount = other.lockCount;
        other.lockCount = other.lockCount == -1 ? -1 : 0;
    }
    return *this;
}

LocalMemory::~LocalMemory() {
    try {
        free();
    } catch (...) {
    }
}

void* LocalMemory::lock() {
    if (isFixed()) return handle;
    void* address = LocalLock(handle);
    if (!address) throw WindowsError("Can't lock local memory handle");
    ++lockCount;
    return address;
}

void* LocalMemory::lock(SIZE_T bytes) {
    const SIZE_T size = getSize();
    if (size < bytes)
        throw WindowsError(ERROR_INVALID_DATA, String::fromFormat("Local memory block of %lu bytes is smaller than %lu bytes",
                                                                  static_cast<unsigned long>(size),
                                                                  static_cast<unsigned long>(bytes)));
    return lock();
}

bool LocalMemory::unlock() {
    if (isFixed()) return false;
    SetLastError(0);
    const BOOL stillLocked = LocalUnlock(handle);
    if (!stillLocked && GetLastError() != 0) throw WindowsError("Can't unlock local memory handle");
    if (lockCount > 0) --lockCount;
    return stillLocked != FALSE;
}

void LocalMemory::free() {
    if (!handle) return;
    while (isMovable() && lockCount > 0) unlock();
    if (LocalFree(handle)) throw WindowsError("Can't free local memory handle");
    handle = nullptr;
}

LocalMemory::Flags LocalMemory::getFlags() const {
    const UINT flags = LocalFlags(handle);
    if (flags == LMEM_INVALID_HANDLE) throw WindowsError("Can't query flags for local memory handle");
    return Flags(flags);
}

SIZE_T LocalMemory::getSize() const {
    SetLastError(0);
    const SIZE_T size = handle ? LocalSize(handle) : 0;
    if (size == 0 && (!handle || GetLastError() != 0))
        throw WindowsError(handle ? GetLastError() : DWORD(ERROR_INVALID_HANDLE), "Can't query size of local memory handle");
    return size;
}

} // namespace vesk
