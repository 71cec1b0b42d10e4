// Critical sections, kernel mutexes and events, and the scoped lock holder.
#include <vesk/system/lock.h>

#include <vesk/errors/exception.h>

namespace vesk {

// ---- CriticalSection ---------------------------------------------------

CriticalSection::CriticalSection() { InitializeCriticalSection(&section); }
CriticalSection::~CriticalSection() { DeleteCriticalSection(&section); }

// ---- Mutex -------------------------------------------------------------

namespace {
HANDLE createMutex(bool initiallyOwned) {
    HANDLE h = CreateMutexA(nullptr, initiallyOwned, nullptr);
    if (!h) throw WindowsError("Error in CreateMutex");
    return h;
}

HANDLE createEvent(bool manualReset, bool initiallySet) {
    HANDLE h = CreateEventA(nullptr, manualReset, initiallySet, nullptr);
    if (!h) throw WindowsError("Error in CreateEvent");
    return h;
}
} // namespace

Mutex::Mutex(bool initiallyOwned) : WindowsHandle(createMutex(initiallyOwned)) {}
Mutex::~Mutex() = default;

void Mutex::lock() { wait(INFINITE); }

void Mutex::unlock() {
    if (!ReleaseMutex(getHandle())) throw WindowsError("Error in ReleaseMutex");
}

// ---- Event -------------------------------------------------------------

Event::Event(bool manualReset, bool initiallySet) : WindowsHandle(createEvent(manualReset, initiallySet)) {}
Event::~Event() = default;

void Event::set() const {
    if (!SetEvent(getHandle())) throw WindowsError("Error in SetEvent");
}

void Event::reset() const {
    if (!ResetEvent(getHandle())) throw WindowsError("Error in ResetEvent");
}

void Event::pulse() const {
    if (!PulseEvent(getHandle())) throw WindowsError("Error in PulseEvent");
}

} // namespace vesk
