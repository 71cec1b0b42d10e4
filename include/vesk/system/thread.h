// A thread object: derive from Thread, put the thread's body into run() and call
// start(). The object's id, state and handle are guarded by its own recursive Mutex.
//
//   class Worker : public Thread {
//       unsigned long run() override { ...; return 0; }
//   public:
//       ~Worker() override { if (isOpen()) join(); }
//   };
//
// A derived class that has state of its own joins in its own destructor: by the
// time ~Thread runs, the derived part no longer exists. ~Thread still waits for a
// running body to end, and a body that has not begun yet (a thread started
// suspended, or not yet scheduled) is never run on a destroyed object.
#pragma once

#include <vesk/config.h>
#include <vesk/system/lock.h>
#include <vesk/system/windows_handle.h>

#include <atomic>

namespace vesk {

class VESK_API Thread : public WindowsHandle {
public:
    Thread();
    // Waits for the thread to end (resuming it if it is suspended); closes the
    // mutex and the thread handle. Never throws.
    ~Thread() override;

    // Starts the thread (suspended until resume() if asked). Throws WindowsError
    // "Can't create thread" when the system refuses, or when the thread of an
    // earlier start() is still running (ERROR_BUSY).
    void start(bool suspended = false);
    // Waits for the thread's end and returns its exit code. The mutex is not held
    // during the wait, so the thread may use its own object meanwhile. Joining a
    // thread that was never started, or joining from the thread itself, throws
    // WindowsError "Error waiting for thread exit" instead of waiting for ever.
    unsigned long join();

    void resume() const;
    void suspend() const;

    unsigned long getID() const;
    static unsigned long getCurrentID();
    bool isRunning() const;
    // True while running, when called on the thread itself.
    bool isCurrent() const;
    Mutex& getMutex() const { return mutex; }

protected:
    // The thread's body; its result is the exit code. Exceptions never leave the
    // thread: one thrown from here ends it with exit code 0.
    virtual unsigned long run() = 0;

    // Ends the calling thread, which must be this object's thread, with code. The
    // object's mutex stays owned by the ended thread, so the next lock of it
    // acquires it as abandoned.
    [[noreturn]] void exit(unsigned long code);

private:
    static unsigned long __stdcall proc(void* thread);

    DWORD threadId;
    std::atomic<bool> running;
    mutable Mutex mutex;
    // Guarded by mutex: set by the destructor when the body must not begin any more,
    // and by the thread once it has begun the body.
    bool cancelled;
    bool bodyStarted;
};

} // namespace vesk
