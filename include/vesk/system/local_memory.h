// LocalMemory: a block of the local heap, fixed (the handle is the address) or
// movable (locked to reach it).
#pragma once

#include <vesk/config.h>

namespace vesk {

class VESK_API LocalMemory {
public:
    // The value LocalFlags returns for a block.
    class Flags {
    public:
        explicit Flags(UINT value) : value(value) {}
        UINT getValue() const { return value; }
        // The number of outstanding locks of a movable block.
        unsigned getLockCount() const { return value & LMEM_LOCKCOUNT; }
        bool isDiscarded() const { return (value & LMEM_DISCARDED) != 0; }
        bool isDiscardable() const { return (value & LMEM_DISCARDABLE) != 0; }

    private:
        UINT value;
    };

    // Takes h, owned; lockCount 0 when movable, -1 when fixed.
    LocalMemory(HLOCAL h = nullptr, bool movable = false);
    // One owner per block: moving hands the block over, copying is not allowed (two
    // owners would free it twice).
    LocalMemory(LocalMemory&& other) noexcept;
    LocalMemory& operator=(LocalMemory&& other);
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;
    ~LocalMemory();

    bool isMovable() const { return lockCount != -1; }
    bool isFixed() const { return lockCount == -1; }
    HLOCAL getHandle() const { return handle; }
    int getLockCount() const { return lockCount; }

    void* lock();
    // As lock(), for a caller about to use bytes bytes of the block (a length taken
    // from elsewhere): a block smaller than that throws instead.
    void* lock(SIZE_T bytes);
    // Whether the block is still locked; false for fixed memory.
    bool unlock();
    void free();
    Flags getFlags() const;
    // The block's size in bytes (LocalSize).
    SIZE_T getSize() const;

private:
    HLOCAL handle;
    int lockCount;
};

} // namespace vesk
