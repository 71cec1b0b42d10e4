// The library's entry point: records the library's module handle, keeps the
// thread-local slot and gives every thread the structured-exception translator.
#include <vesk/errors/exception.h>
#include <vesk/system/startup.h>

#include "system/seh_translation.h"
#include "system/thread_local_slot.h"

namespace vesk {

namespace {

HINSTANCE libraryInstance = nullptr;

// Holds a CRITICAL_SECTION for the span of one slot operation.
class SlotLock {
public:
    explicit SlotLock(CRITICAL_SECTION& s) : section(s) { EnterCriticalSection(&section); }
    ~SlotLock() { LeaveCriticalSection(&section); }
    SlotLock(const SlotLock&) = delete;
    SlotLock& operator=(const SlotLock&) = delete;

private:
    CRITICAL_SECTION& section;
};

} // namespace

namespace detail {

ThreadLocalSlot::ThreadLocalSlot() : index(noIndex) { InitializeCriticalSection(&lock); }

ThreadLocalSlot::~ThreadLocalSlot() {
    {
        SlotLock held(lock);
        if (index != noIndex) TlsFree(index);
        index = noIndex;
    }
    DeleteCriticalSection(&lock);
}

void ThreadLocalSlot::allocate() {
    SlotLock held(lock);
    if (index != noIndex) {
        if (!TlsFree(index)) throw WindowsError("Can't free TLS index");
        index = noIndex;
    }
    const DWORD allocated = TlsAlloc();
    if (allocated == TLS_OUT_OF_INDEXES) throw WindowsError("Can't allocate TLS index");
    index = allocated;
}

void ThreadLocalSlot::setValue(void* value) {
    SlotLock held(lock);
    if (index == noIndex || !TlsSetValue(index, value))
        throw WindowsError(index == noIndex ? DWORD(ERROR_INVALID_PARAMETER) : GetLastError(), "Can't set TLS value");
}

void* ThreadLocalSlot::getValue() {
    SlotLock held(lock);
    if (index == noIndex) return nullptr;
    // TlsGetValue leaves the last error alone on success: a stored null is only a
    // failure together with a fresh error code.
    const DWORD saved = GetLastError();
    SetLastError(0);
    void* value = TlsGetValue(index);
    if (!value && GetLastError() != 0) throw WindowsError("Can't get TLS value");
    SetLastError(saved);
    return value;
}

DWORD ThreadLocalSlot::getIndex() {
    SlotLock held(lock);
    return index;
}

ThreadLocalSlot& threadLocalSlot() {
    static ThreadLocalSlot slot;
    return slot;
}

} // namespace detail

HINSTANCE getLibraryInstance() { return libraryInstance; }

namespace {

// Steps of the entry point; each throws the slot's errors.
void attachProcess(HINSTANCE instance) {
    libraryInstance = instance;
    detail::threadLocalSlot().allocate();
    detail::startTranslation();
}

void detachProcess() {
    // Runs for the detaching thread first (as for any thread leaving), then drops
    // what other threads still hold: they get no detach call of their own.
    try {
        detail::uninstallTranslator();
    } catch (...) {
        detail::stopTranslation();
        throw;
    }
    detail::stopTranslation();
}

} // namespace

} // namespace vesk

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    using namespace vesk;
    try {
        switch (reason) {
        case DLL_PROCESS_ATTACH:
            attachProcess(instance);
            detail::installTranslator();
            break;
        case DLL_THREAD_ATTACH:
            detail::installTranslator();
            break;
        case DLL_THREAD_DETACH:
            detail::uninstallTranslator();
            break;
        case DLL_PROCESS_DETACH:
            detachProcess();
            break;
        }
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}
