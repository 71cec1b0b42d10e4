// Handles, waits, locks, events and thread objects, on real threads: waits on empty
// and closed handles fail instead of hanging; events wake their waiters; two threads
// contending a CriticalSection and a Mutex lose no increment; recursion and foreign
// unlocks; a mutex abandoned by a dead thread; a Thread's states from idle through
// suspended, running and ended to a second start; bodies that throw, exit() or
// destroy their own object; Thread objects destroyed while running; handle counts
// flat over many cycles.
#include "test_support.h"

#include <vesk/errors/exception.h>
#include <vesk/system/lock.h>
#include <vesk/system/thread.h>
#include <vesk/system/windows_handle.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace vesk;

namespace {

// "description (error code)" of a WindowsError, or what else happened.
template <class F> std::string failureOf(F f) try {
    return f(), "(nothing thrown)";
} catch (const WindowsError& e) {
    return e.getDescription() + " (" + std::to_string(e.getError()) + ")";
} catch (const std::exception& e) {
    return std::string("other: ") + e.what();
}

// A thread whose body is a function; joins in its own destructor, as a derived
// class with state of its own must.
class Worker : public Thread {
public:
    explicit Worker(std::function<unsigned long(Worker&)> body) : body(std::move(body)) {}
    ~Worker() override {
        if (isOpen()) join();
    }
    using Thread::exit;

private:
    unsigned long run() override { return body(*this); }
    std::function<unsigned long(Worker&)> body;
};

HANDLE duplicate(HANDLE h) {
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return copy;
}

TEST(WindowsHandle, EmptyAndClosedHandlesFailClearlyInsteadOfWaiting) {
    WindowsHandle empty, null(nullptr);
    EXPECT_FALSE(empty.isOpen());
    EXPECT_FALSE(null.isOpen());
    empty.close(), null.close();
    EXPECT_EQ(null.getHandle(), nullptr) << "a null handle is left unchanged";
    // INVALID_HANDLE_VALUE is also the current process: waiting on it must not happen.
    EXPECT_EQ(failureOf([&] { empty.wait(INFINITE); }), "Error while retrieving handle state (6)");
    EXPECT_EQ(failureOf([&] { null.isSignaled(); }), "Error while retrieving handle state (6)");
    Event e;
    EXPECT_EQ(failureOf([&] { WindowsHandle::wait(e, empty, INFINITE, false); }), "Multi wait failed (6)");

    // A handle closed behind the owner's back: the wait and the close both report it.
    Event closedBehind;
    WindowsHandle stale(duplicate(closedBehind.getHandle()));
    const HANDLE raw = stale.getHandle();
    CloseHandle(raw);
    EXPECT_EQ(failureOf([&] { stale.wait(0); }), "Error while retrieving handle state (6)");
    EXPECT_EQ(failureOf([&] { stale.close(); }), "Error while closing handle (6)");
    EXPECT_EQ(stale.getHandle(), raw) << "a failed close keeps the handle";
    EXPECT_EQ(stale.release(), raw);
    EXPECT_FALSE(stale.isOpen());

    WindowsHandle owner;
    owner = duplicate(e.getHandle());
    const unsigned long before = vesk_test::openHandleCount();
    owner.setHandle(duplicate(e.getHandle())); // the first one is closed
    owner = nullptr;
    EXPECT_EQ(vesk_test::openHandleCount(), before - 1);
}

TEST(Event, SignalsConsumedAndWaitsOnTwoHandles) {
    Event manual(true), automatic;
    std::string seen;
    auto look = [&] { seen += manual.isSignaled() ? '1' : '0', seen += automatic.isSignaled() ? '1' : '0'; };
    look();
    manual.set(), automatic.set();
    look(), look(); // the auto-reset event gives its signal once
    manual.reset(), automatic.set(), automatic.reset();
    look();
    EXPECT_EQ(seen, "00111000");

    Event a(true), b(true);
    using R = std::pair<WindowsHandle::wait_result, unsigned>;
    EXPECT_EQ(WindowsHandle::wait(a, b, 0, false), R(WindowsHandle::timeout, 0));
    b.set();
    EXPECT_EQ(WindowsHandle::wait(a, b, 0, false), R(WindowsHandle::signaled, 1));
    EXPECT_EQ(WindowsHandle::wait(a, b, 0, true), R(WindowsHandle::timeout, 0));
    a.set();
    EXPECT_EQ(WindowsHandle::wait(a, b, 0, false), R(WindowsHandle::signaled, 0));
    EXPECT_EQ(a.wait(0), WindowsHandle::signaled);
}

TEST(Event, WakesItsWaiters) {
    for (bool manual : {true, false}) {
        Event go(manual);
        std::atomic<int> woken{0}, waiting{0};
        std::vector<std::unique_ptr<Worker>> waiters;
        for (int i = 0; i < 4; ++i) {
            waiters.emplace_back(new Worker([&](Worker&) -> unsigned long {
                ++waiting;
                const bool ok = go.wait(10000) == WindowsHandle::signaled;
                woken += ok;
                return ok;
            }));
            waiters.back()->start();
        }
        while (waiting < 4) Sleep(1);
        Sleep(20);
        EXPECT_EQ(woken, 0) << "nobody wakes before the event is set";
        if (manual) go.set();
        for (int i = 1; !manual && i <= 4; ++i) { // an auto-reset event wakes one waiter per signal
            go.set();
            for (int wait = 0; woken < i && wait < 5000; ++wait) Sleep(1);
            Sleep(20);
            EXPECT_EQ(woken, i);
        }
        for (auto& w : waiters) EXPECT_EQ(w->join(), 1u) << manual;
        EXPECT_EQ(woken, 4);
    }
}

// Two threads add `rounds` each through a deliberately slow read-modify-write that
// loses updates unless the lock really excludes the other thread.
int contend(Lockable& lock, int rounds) {
    volatile int counter = 0;
    auto body = [&](Worker&) -> unsigned long {
        for (int i = 0; i < rounds; ++i) {
            AutoLock hold(lock);
            const int value = counter;
            if (i % 256 == 0) SwitchToThread();
            counter = value + 1;
        }
        return 0;
    };
    Worker a(body), b(body);
    a.start(), b.start();
    a.join(), b.join();
    return counter;
}

TEST(Locks, ContendingThreadsLoseNoIncrement) {
    CriticalSection section;
    Mutex mutex;
    EXPECT_EQ(contend(section, 100000), 200000);
    EXPECT_EQ(contend(mutex, 50000), 100000);
}

TEST(Locks, RecursionAndForeignUnlocks) {
    CriticalSection section;
    Mutex mutex;
    section.lock(), section.lock(), mutex.lock(), mutex.lock();
    // What another thread sees after each unlock of both locks.
    auto otherSees = [&] {
        std::string seen;
        Worker w([&](Worker&) -> unsigned long {
            if (section.tryLock()) seen += 'S', section.unlock();
            if (mutex.wait(0) != WindowsHandle::timeout) seen += 'M', mutex.unlock();
            return 0;
        });
        w.start(), w.join();
        return seen.empty() ? std::string("-") : seen;
    };
    std::string seen = otherSees();
    section.unlock(), mutex.unlock();
    seen += otherSees();
    section.unlock(), mutex.unlock();
    seen += otherSees();
    EXPECT_EQ(seen, "--SM");

    EXPECT_EQ(failureOf([&] { mutex.unlock(); }), "Error in ReleaseMutex (288)");
    // On a thread that does not own it, unlock() throws and a holder's destructor
    // drops that silently.
    Mutex owned(true);
    auto holder = std::make_unique<AutoLock>(owned);
    std::string inThread;
    Worker foreign([&](Worker&) -> unsigned long {
        inThread = failureOf([&] { owned.unlock(); }) + failureOf([&] { holder.reset(); });
        return 0;
    });
    foreign.start(), foreign.join();
    EXPECT_EQ(inThread, "Error in ReleaseMutex (288)(nothing thrown)");
    EXPECT_EQ(owned.wait(0), WindowsHandle::signaled) << "still owned here, recursively";
    owned.unlock(), owned.unlock(), owned.unlock();

    AutoLock switching(section);
    switching.lock(mutex); // moves from the section to the mutex
    EXPECT_EQ(otherSees(), "S");
    switching.unlock();
    EXPECT_FALSE(switching.isHolding());
}

TEST(Mutex, AbandonedByADeadThread) {
    Mutex mutex;
    Worker owner([&](Worker&) -> unsigned long { return mutex.lock(), 5; });
    owner.start();
    EXPECT_EQ(owner.join(), 5u);
    EXPECT_EQ(mutex.wait(1000), WindowsHandle::abandoned);
    mutex.unlock();
    Worker again([&](Worker&) -> unsigned long { return mutex.lock(), 6; });
    again.start(), again.join();
    mutex.lock(); // abandoned once more: acquired all the same
    mutex.unlock();

    // exit() leaves the thread object's own mutex abandoned; its state stays readable.
    Worker exiting([](Worker& self) -> unsigned long { self.exit(7); }),
        exitingToo([](Worker& self) -> unsigned long { self.exit(8); });
    exiting.start(), exitingToo.start();
    EXPECT_EQ(exiting.join(), 7u);
    EXPECT_FALSE(exiting.isRunning());
    // Seen before anything else takes the mutex (join() would, and so take the abandonment).
    ASSERT_EQ(WaitForSingleObject(exitingToo.getHandle(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(exitingToo.getMutex().wait(0), WindowsHandle::abandoned);
    exitingToo.getMutex().unlock();
    EXPECT_EQ(exitingToo.join(), 8u);
    EXPECT_EQ(failureOf([&] { exiting.exit(1); }), "Can't exit a thread from another thread (1444)");
}

TEST(Thread, StateTransitions) {
    Event release(true);
    std::atomic<int> runs{0};
    std::string inside;
    Worker w([&](Worker& self) -> unsigned long {
        ++runs;
        inside = std::string(self.isCurrent() ? "current " : "not current ") +
                 (self.getID() == Thread::getCurrentID() ? "own id " : "other id ") +
                 failureOf([&] { self.join(); });
        release.wait(10000);
        if (runs == 1) { // by now the main thread waits in join(), which must not hold the object's mutex
            Sleep(100);
            inside += self.getMutex().wait(5000) == WindowsHandle::timeout ? " held" : " free";
            self.getMutex().unlock();
        }
        return 40 + runs;
    });
    std::string states;
    auto note = [&] { states += w.isRunning() ? 'R' : '-', states += w.isCurrent() ? 'C' : '-'; };
    note();
    EXPECT_EQ(failureOf([&] { w.join(); }), "Error waiting for thread exit (6)") << "never started";
    w.start(true);
    note();
    Sleep(50);
    EXPECT_EQ(runs, 0) << "a suspended thread does not run its body";
    EXPECT_NE(w.getID(), 0u);
    EXPECT_EQ(failureOf([&] { w.start(); }), "Can't create thread (170)") << "while the first still runs";
    w.resume();
    while (runs == 0) Sleep(1);
    w.suspend(), w.resume();
    release.set();
    EXPECT_EQ(w.join(), 41u);
    note();
    EXPECT_EQ(inside, "current own id Error waiting for thread exit (1131) free");
    w.start();
    EXPECT_EQ(w.join(), 42u) << "started again on the same object";
    note();
    EXPECT_EQ(states, "--R-----");
    EXPECT_EQ(failureOf([&] { w.resume(); }), "(nothing thrown)") << "an ended thread's handle stays open";

    Worker throwing([](Worker&) -> unsigned long { throw std::runtime_error("out of the body"); });
    Worker throwingOther([](Worker&) -> unsigned long { throw 3; });
    throwing.start(), throwingOther.start();
    EXPECT_EQ(throwing.join(), 0u);
    EXPECT_EQ(throwingOther.join(), 0u);
    EXPECT_FALSE(throwing.isRunning());
}

std::atomic<int> plainBodies{0}, plainEnded{0};

// Touches no state of its own, so that ~Thread alone has to cope with it.
class Plain : public Thread {
    unsigned long run() override {
        ++plainBodies;
        Sleep(30);
        ++plainEnded;
        return 9;
    }
};

HANDLE selfDestroyedHandle = nullptr;

class SelfDestroying : public Thread {
    unsigned long run() override {
        selfDestroyedHandle = duplicate(getHandle());
        delete this;
        return 11;
    }
};

TEST(Thread, DestroyedWhileRunningOrSuspended) {
    {
        Plain running;
        running.start();
        while (plainBodies == 0) Sleep(1);
    }
    EXPECT_EQ(plainEnded, 1) << "the destructor waited for the body's end";
    {
        Plain suspended;
        suspended.start(true);
    }
    EXPECT_EQ(plainBodies, 1) << "a body that had not begun never runs on a destroyed object";
    {
        Plain suspendedTwice;
        suspendedTwice.start(true);
        suspendedTwice.suspend();
    }
    EXPECT_EQ(plainBodies, 1);

    // Destroyed at once, again and again: the body runs whole or not at all, and
    // never on the half-destroyed object's pure run().
    struct Brief : Thread {
        unsigned long run() override { return ++plainEnded, 0; }
    };
    for (int i = 0; i < 100; ++i) Brief().start(i % 3 == 0);
    EXPECT_LE(plainEnded, 101);

    (new SelfDestroying)->start();
    while (!selfDestroyedHandle) Sleep(1);
    WindowsHandle ended(selfDestroyedHandle);
    ASSERT_EQ(ended.wait(10000), WindowsHandle::signaled);
    DWORD code = 0;
    GetExitCodeThread(ended.getHandle(), &code);
    EXPECT_EQ(code, 11u);
}

TEST(Thread, HandleCountFlatOverManyCycles) {
    auto cycle = [] {
        Worker w([](Worker&) -> unsigned long { return 1; });
        w.start();
        w.join();
        Mutex m;
        Event e;
        AutoLock hold(m);
    };
    for (int i = 0; i < 20; ++i) cycle();
    const unsigned long before = vesk_test::openHandleCount();
    for (int i = 0; i < 100; ++i) cycle();
    for (int i = 0; i < 20; ++i) Plain().start(i % 2 == 0);
    EXPECT_EQ(vesk_test::openHandleCount(), before);
}

} // namespace
