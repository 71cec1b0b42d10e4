// The handle owner and its waits.
#include <vesk/system/windows_handle.h>

#include <vesk/errors/exception.h>

namespace vesk {

WindowsHandle::WindowsHandle() : handle(INVALID_HANDLE_VALUE) {}

WindowsHandle::WindowsHandle(HANDLE h) : handle(h) {}

WindowsHandle::~WindowsHandle() {
    try {
        close();
    } catch (const std::exception& e) {
        // A destructor cannot throw; the debugger at least hears of the stale handle,
        // told without building a text (an allocation here could throw in turn).
        OutputDebugStringA("vesk::WindowsHandle::~WindowsHandle: ");
        OutputDebugStringA(e.what());
        OutputDebugStringA("\n");
    } catch (...) {
    }
}

void WindowsHandle::close() {
    if (!isOpen()) return;
    if (!CloseHandle(handle)) throw WindowsError("Error while closing handle");
    handle = INVALID_HANDLE_VALUE;
}

void WindowsHandle::setHandle(HANDLE h) {
    if (h == handle) return; // its own handle: closing it would leave the object a dead one
    close();
    handle = h;
}

WindowsHandle& WindowsHandle::operator=(HANDLE h) {
    setHandle(h);
    return *this;
}

HANDLE WindowsHandle::release() {
    HANDLE h = handle;
    handle = INVALID_HANDLE_VALUE;
    return h;
}

WindowsHandle::wait_result WindowsHandle::wait(unsigned int timeoutMs) const {
    if (!isOpen()) throw WindowsError(ERROR_INVALID_HANDLE, "Error while retrieving handle state");
    switch (WaitForSingleObject(handle, timeoutMs)) {
    case WAIT_OBJECT_0: return signaled;
    case WAIT_ABANDONED: return abandoned;
    case WAIT_TIMEOUT: return timeout;
    default: throw WindowsError("Error while retrieving handle state");
    }
}

bool WindowsHandle::isSignaled() const { return wait(0) == signaled; }

std::pair<WindowsHandle::wait_result, unsigned int> WindowsHandle::wait(const WindowsHandle& a,
                                                                        const WindowsHandle& b,
                                                                        unsigned long timeoutMs, bool waitAll) {
    const HANDLE handles[2] = {a.handle, b.handle};
    if (!a.isOpen() || !b.isOpen()) throw WindowsError(ERROR_INVALID_HANDLE, "Multi wait failed");
    return wait(2, handles, waitAll, timeoutMs);
}

std::pair<WindowsHandle::wait_result, unsigned int> WindowsHandle::wait(unsigned int count, const HANDLE* handles,
                                                                        bool waitAll, unsigned long timeoutMs) {
    const DWORD r = WaitForMultipleObjects(count, handles, waitAll, timeoutMs);
    if (r < WAIT_OBJECT_0 + count) return {signaled, r - WAIT_OBJECT_0};
    if (r >= WAIT_ABANDONED_0 && r < WAIT_ABANDONED_0 + count) return {abandoned, r - WAIT_ABANDONED_0};
    if (r == WAIT_TIMEOUT) return {timeout, 0};
    throw WindowsError("Multi wait failed");
}

} // namespace vesk
