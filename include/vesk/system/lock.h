// Locks: the abstract Lockable, the in-process CriticalSection, the kernel Mutex,
// the scoped holder AutoLock, and the kernel Event. CriticalSection and Mutex are
// recursive: the owning thread may lock again and unlocks as often.
#pragma once

#include <vesk/config.h>
#include <vesk/system/windows_handle.h>

#include <boost/noncopyable.hpp>

namespace vesk {

// What AutoLock holds. Not deleted through this interface.
class VESK_API Lockable {
public:
    virtual void lock() = 0;
    virtual void unlock() = 0;

protected:
    Lockable() = default;
    Lockable(const Lockable&) = default;
    Lockable& operator=(const Lockable&) = default;
    ~Lockable() = default;
};

// A lock for the threads of one process. Not copyable: a copied CRITICAL_SECTION
// record would be a second lock sharing the first one's internals.
class VESK_API CriticalSection : public Lockable, private boost::noncopyable {
public:
    CriticalSection();
    ~CriticalSection();

    // Inline, so that a holder whose lock is known to be a CriticalSection costs no
    // more than the raw calls.
    void lock() override { EnterCriticalSection(&section); }
    void unlock() override { LeaveCriticalSection(&section); }
    // True when the lock was taken without waiting.
    bool tryLock() { return TryEnterCriticalSection(&section) != 0; }

private:
    CRITICAL_SECTION section;
};

// An unnamed kernel mutex; can be waited on together with other handles.
class VESK_API Mutex : public WindowsHandle, public Lockable {
public:
    explicit Mutex(bool initiallyOwned = false);
    ~Mutex() override;

    // Waits without limit. A mutex abandoned by a thread that ended while owning it
    // is acquired all the same (wait() reports it as abandoned).
    void lock() override;
    // ReleaseMutex; throws WindowsError "Error in ReleaseMutex" when this thread
    // does not own the mutex.
    void unlock() override;
};

// An unnamed kernel event; waits go through the WindowsHandle operations.
class VESK_API Event : public WindowsHandle {
public:
    explicit Event(bool manualReset = false, bool initiallySet = false);
    ~Event() override;

    void set() const;
    void reset() const;
    void pulse() const;
};

// Holds one Lockable for a scope:
//   AutoLock hold(section);
class VESK_API AutoLock : private boost::noncopyable {
public:
    AutoLock() : held(nullptr) {}
    // Locks l; nothing is held if that throws.
    explicit AutoLock(Lockable& l) : held(nullptr) {
        l.lock();
        held = &l;
    }
    // Unlocks what it holds. A failing unlock (a Mutex released on a thread that
    // does not own it) has no caller left to act on it and is dropped.
    virtual ~AutoLock() {
        try {
            unlock();
        } catch (...) {
        }
    }

    // Releases what it holds, then locks l.
    void lock(Lockable& l) {
        unlock();
        l.lock();
        held = &l;
    }
    void unlock() {
        if (!held) return;
        Lockable* l = held;
        held = nullptr;
        l->unlock();
    }

    bool isHolding() const { return held != nullptr; }

private:
    Lockable* held;
};

} // namespace vesk
