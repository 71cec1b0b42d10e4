// The process-wide thread-local slot of the library's start-up: one TLS index,
// guarded by its own lock, allocated at process attach and freed at unload.
#pragma once

#include <vesk/config.h>

#include <boost/noncopyable.hpp>

namespace vesk {
namespace detail {

class ThreadLocalSlot : private boost::noncopyable {
public:
    static constexpr DWORD noIndex = 0xFFFFFFFF;

    ThreadLocalSlot();
    // Frees the index, if any, ignoring failure.
    ~ThreadLocalSlot();

    // Frees an index already held, then allocates a new one.
    void allocate();
    void setValue(void* value);
    // Null when no index is held.
    void* getValue();
    DWORD getIndex();

private:
    DWORD index;
    CRITICAL_SECTION lock;
};

// The slot, constructed on first use (the entry point's first call) and destroyed
// when the library is unloaded.
ThreadLocalSlot& threadLocalSlot();

} // namespace detail
} // namespace vesk
