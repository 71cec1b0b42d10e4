// Thread objects: start, join, state, and the entry point that runs the body.
#include <vesk/system/thread.h>

#include <vesk/errors/exception.h>

#include <typeinfo>

namespace vesk {

namespace {
// Set when a thread's body destroys its own Thread object, so that the entry point
// no longer touches the object after run() returns.
thread_local bool destroyedByItsBody = false;
} // namespace

Thread::Thread() : threadId(0), running(false), mutex(false), cancelled(false), bodyStarted(false) {}

Thread::~Thread() {
    try {
        if (running && threadId == GetCurrentThreadId()) destroyedByItsBody = true;
        if (isOpen()) {
            {
                AutoLock hold(mutex);
                // A body that has not begun must not begin on an object being destroyed,
                // and a suspended thread would never end: let it run to its end.
                cancelled = !bodyStarted;
                for (DWORD previous = 2; previous > 1 && previous != 0xFFFFFFFF;)
                    previous = ResumeThread(getHandle());
            }
            join();
        }
    } catch (...) {
    }
}

void Thread::start(bool suspended) {
    AutoLock hold(mutex);
    if (running) throw WindowsError(ERROR_BUSY, "Can't create thread");
    close();
    cancelled = false;
    bodyStarted = false;
    // Marked before the thread exists: a short body could otherwise end before the
    // mark and leave the object running for ever.
    running = true;
    DWORD id = 0;
    HANDLE h = CreateThread(nullptr, 0, proc, this, suspended ? CREATE_SUSPENDED : 0, &id);
    if (!h) {
        const DWORD error = GetLastError();
        running = false;
        throw WindowsError(error, "Can't create thread");
    }
    threadId = id;
    setHandle(h);
}

// The body as it stands in the object's virtual table at one moment. Taken under the
// mutex, it stays valid even if the object's destruction begins right afterwards
// and the table is switched to Thread's own (whose run() is pure). This is g++'s
// bound-member-function extension; on i686 member functions use thiscall.
#if defined(__i386__)
using Body = unsigned long(__attribute__((thiscall)) *)(Thread*);
#else
using Body = unsigned long (*)(Thread*);
#endif

unsigned long __stdcall Thread::proc(void* thread) {
    Thread* self = static_cast<Thread*>(thread);
    unsigned long result = 0;
    try {
        Body body = nullptr;
        {
            AutoLock hold(self->mutex);
            // Once ~Thread has begun, the derived part is gone: the body never starts.
            if (!self->cancelled && typeid(*self) != typeid(Thread)) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpmf-conversions"
                body = reinterpret_cast<Body>(self->*(&Thread::run));
#pragma GCC diagnostic pop
                self->bodyStarted = true;
            }
        }
        destroyedByItsBody = false;
        if (body) result = body(self);
    } catch (...) {
        result = 0;
    }
    if (destroyedByItsBody) return result;
    self->running = false;
    return result;
}

void Thread::exit(unsigned long code) {
    if (GetCurrentThreadId() != getID() || !isRunning())
        throw WindowsError(ERROR_INVALID_THREAD_ID, "Can't exit a thread from another thread");
    // Never released: the mutex is left abandoned by the ended thread.
    mutex.lock();
    running = false;
    ExitThread(code);
}

unsigned long Thread::join() {
    HANDLE copy = nullptr;
    {
        AutoLock hold(mutex);
        if (!isOpen()) throw WindowsError(ERROR_INVALID_HANDLE, "Error waiting for thread exit");
        if (threadId == GetCurrentThreadId() && WaitForSingleObject(getHandle(), 0) == WAIT_TIMEOUT)
            throw WindowsError(ERROR_POSSIBLE_DEADLOCK, "Error waiting for thread exit");
        // The wait runs on a handle of its own, so that a start() meanwhile cannot
        // close the handle under it.
        if (!DuplicateHandle(GetCurrentProcess(), getHandle(), GetCurrentProcess(), &copy, 0, FALSE,
                             DUPLICATE_SAME_ACCESS))
            throw WindowsError("Error waiting for thread exit");
    }
    WindowsHandle owner(copy);
    if (WaitForSingleObject(copy, INFINITE) == WAIT_FAILED) throw WindowsError("Error waiting for thread exit");
    DWORD code = 0;
    if (!GetExitCodeThread(copy, &code)) throw WindowsError("Can't retrieve the thread's exit code");
    return code;
}

void Thread::resume() const {
    AutoLock hold(mutex);
    if (ResumeThread(getHandle()) == 0xFFFFFFFF) throw WindowsError("Can't resume thread");
}

void Thread::suspend() const {
    AutoLock hold(mutex);
    if (SuspendThread(getHandle()) == 0xFFFFFFFF) throw WindowsError("Can't suspend thread");
}

unsigned long Thread::getID() const {
    AutoLock hold(mutex);
    return threadId;
}

unsigned long Thread::getCurrentID() { return GetCurrentThreadId(); }

bool Thread::isRunning() const {
    AutoLock hold(mutex);
    return running;
}

bool Thread::isCurrent() const {
    AutoLock hold(mutex);
    return isRunning() && GetCurrentThreadId() == threadId;
}

} // namespace vesk
