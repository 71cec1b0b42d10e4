// An owned Win32 kernel-object handle and the waits on it. Every object in the
// library that holds a waitable or closable handle (mutexes, events, threads,
// files) is built on this one owner.
#pragma once

#include <vesk/config.h>

#include <boost/noncopyable.hpp>

#include <utility>

namespace vesk {

class VESK_API WindowsHandle : private boost::noncopyable {
public:
    // Outcome of a wait.
    enum wait_result { timeout = 0, abandoned = 1, signaled = 2 };

    WindowsHandle();
    // Takes ownership of h.
    explicit WindowsHandle(HANDLE h);
    // Closes the handle; a failing CloseHandle is reported to the debugger and
    // otherwise dropped.
    virtual ~WindowsHandle();

    // Neither INVALID_HANDLE_VALUE nor null.
    bool isOpen() const { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }

    // CloseHandle; on failure throws WindowsError and keeps the handle. A null
    // handle is left as it is.
    void close();
    // close(), then owns h.
    void setHandle(HANDLE h);
    WindowsHandle& operator=(HANDLE h);
    // Gives up ownership: the caller closes the returned handle; this object is empty.
    HANDLE release();

    HANDLE getHandle() const { return handle; }
    operator void*() const { return handle; }

    // WaitForSingleObject. A handle that is not open throws (INVALID_HANDLE_VALUE
    // would otherwise name the current process and an infinite wait would never end).
    wait_result wait(unsigned int timeoutMs) const;
    // A wait of 0 ms; on an auto-reset event or a mutex this is itself a successful
    // wait that consumes the signal or takes ownership.
    bool isSignaled() const;

    // Waits for a (index 0) or b (index 1), or for both when waitAll; the index is
    // that of the handle that ended the wait, 0 on a timeout.
    static std::pair<wait_result, unsigned int> wait(const WindowsHandle& a, const WindowsHandle& b,
                                                     unsigned long timeoutMs, bool waitAll);

private:
    static std::pair<wait_result, unsigned int> wait(unsigned int count, const HANDLE* handles, bool waitAll,
                                                     unsigned long timeoutMs);

    HANDLE handle;
};

} // namespace vesk
