// Handles, waits, locks, events and thread objects, on real threads: waits on empty
// and closed handles fail instead of hanging; waits on two events; recursion and foreign unlocks; abandoned mutexes; a Thread's states through a
// second start; bodies that throw, exit() or destroy their own object; Threads
// destroyed while running or suspended; handle counts flat.
#include "test_support.h"

#include <vesk/system/lock.h>
#include <vesk/system/thread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

using namespace vesk;

namespace {

using vesk_test::errorOf;

// A thread whose body is a function; joins in its own destructor, as a derived
// class with state of its own must.
struct Worker : Thread {
    explicit Worker(std::function<unsigned long(Worker&)> b) : body(std::move(b)) {}
    ~Worker() override { if (isOpen()) join(); }
    using Thread::exit;
    unsigned long runToEnd() { return start(), join(); }
    unsigned long run() override { return body(*this); }
    std::function<unsigned long(Worker&)> body;
};


TEST(WindowsHandle, EmptyAndClosedHandlesFailClearlyAndWaitsOnTwoEvents) {
    WindowsHandle empty, null(nullptr);
    Event e;
    EXPECT_TRUE((empty.close(), null.close(), !empty.isOpen()) && !null.isOpen() && null.getHandle() == nullptr);
    // INVALID_HANDLE_VALUE is also the current process: waiting on it must not happen.
    EXPECT_EQ(errorOf([&] { empty.wait(INFINITE); }) + errorOf([&] { null.isSignaled(); }) +
                  errorOf([&] { WindowsHandle::wait(e, empty, INFINITE, false); }),
              "6 Error while retrieving handle state6 Error while retrieving handle state6 Multi wait failed");
    WindowsHandle stale(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    const HANDLE raw = stale.getHandle();
    CloseHandle(raw); // behind the owner's back (nothing may open a handle now): the wait and the close report it
    EXPECT_EQ(errorOf([&] { stale.wait(0); }) + errorOf([&] { stale.close(); }), "6 Error while retrieving handle state6 Error while closing handle");
    EXPECT_TRUE(stale.getHandle() == raw && stale.release() == raw && !stale.isOpen()) << "a failed close keeps the handle";
    WindowsHandle owner(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    const unsigned long before = vesk_test::openHandleCount();
    EXPECT_EQ((owner.setHandle(CreateEventA(nullptr, FALSE, FALSE, nullptr)), owner = nullptr, vesk_test::openHandleCount()), before - 1) << "the first closed, then the second";
    Event manual(true), automatic;
    EXPECT_FALSE((manual.set(), manual.reset(), automatic.set(), automatic.reset(), manual.isSignaled()) || automatic.isSignaled());
    using R = std::pair<WindowsHandle::wait_result, unsigned>;
    EXPECT_EQ(WindowsHandle::wait(manual, automatic, 0, false), R(WindowsHandle::timeout, 0));
    EXPECT_EQ((automatic.set(), WindowsHandle::wait(manual, automatic, 0, true)), R(WindowsHandle::timeout, 0));
    EXPECT_EQ(WindowsHandle::wait(manual, automatic, 0, false), R(WindowsHandle::signaled, 1));
    EXPECT_EQ((manual.set(), WindowsHandle::wait(manual, automatic, 0, false)), R(WindowsHandle::signaled, 0));
}

TEST(Locks, RecursionForeignUnlocksAndAbandonment) {
    CriticalSection section;
    Mutex mutex;
    section.lock(), section.lock(), mutex.lock(), mutex.lock();
    auto otherSees = [&] { // what another thread sees of both locks
        std::string seen = "-";
        return Worker([&](Worker&) -> unsigned long {
            if (section.tryLock()) seen += 'S', section.unlock();
            return mutex.wait(0) != WindowsHandle::timeout ? (seen += 'M', mutex.unlock(), 0) : 0;
        }).runToEnd(), seen;
    };
    std::string seen;
    for (int i = 0; i < 3; ++i) seen += otherSees(), i < 2 ? (section.unlock(), mutex.unlock()) : void();
    EXPECT_EQ(seen, "---SM");
    EXPECT_EQ(errorOf([&] { mutex.unlock(); }), "288 Error in ReleaseMutex");
    // On a thread that does not own it, unlock() throws and a holder's destructor drops that.
    auto holder = std::make_unique<AutoLock>(mutex);
    EXPECT_EQ((Worker([&](Worker&) -> unsigned long {
                   return seen = errorOf([&] { mutex.unlock(); }) + ", " + errorOf([&] { holder.reset(); }), 0;
               }).runToEnd(), seen), "288 Error in ReleaseMutex, none");
    AutoLock switching((mutex.unlock(), section));
    EXPECT_EQ((switching.lock(mutex), otherSees()), "-S") << "moves from the section to the mutex";
    EXPECT_FALSE((switching.unlock(), switching.isHolding()));
    // A mutex left by a dead thread is acquired all the same, reported abandoned.
    EXPECT_EQ(Worker([&](Worker&) -> unsigned long { return mutex.lock(), 5; }).runToEnd(), 5u);
    EXPECT_EQ(mutex.wait(1000), WindowsHandle::abandoned);
    mutex.unlock();
    // exit() leaves the thread object's own mutex abandoned; its state stays readable.
    Worker exiting([](Worker& self) -> unsigned long { self.exit(7); });
    ASSERT_EQ((exiting.start(), WaitForSingleObject(exiting.getHandle(), 10000)), WAIT_OBJECT_0);
    EXPECT_EQ(exiting.getMutex().wait(0), WindowsHandle::abandoned);
    EXPECT_TRUE((exiting.getMutex().unlock(), exiting.join()) == 7 && !exiting.isRunning());
    EXPECT_EQ(errorOf([&] { exiting.exit(1); }), "1444 Can't exit a thread from another thread");
}

TEST(Thread, StateTransitions) {
    Event release(true);
    std::atomic<int> runs{0};
    std::string inside;
    Worker w([&](Worker& self) -> unsigned long {
        inside = std::string(self.isCurrent() ? "current " : "not current ") + errorOf([&] { self.join(); });
        release.wait(10000);
        if (++runs == 1) { // meanwhile the main thread waits in join(), which must not hold the mutex
            Sleep(100);
            inside += self.getMutex().wait(5000) == WindowsHandle::timeout ? " held" : " free";
            self.getMutex().unlock();
        }
        return 40 + runs;
    });
    std::string states;
    auto note = [&] { states += w.isRunning() ? 'R' : '-', states += w.isCurrent() ? 'C' : '-'; };
    EXPECT_EQ(errorOf([&] { w.join(); }), "6 Error waiting for thread exit") << "never started";
    EXPECT_TRUE((note(), w.start(true), note(), Sleep(50), inside.empty()) && w.getID() != 0) << "a suspended thread does not run its body";
    EXPECT_EQ(errorOf([&] { w.start(); }), "170 Can't create thread") << "while the first still runs";
    w.resume(), w.suspend(), w.resume(), release.set();
    EXPECT_EQ((w.join(), note(), inside), "current 1131 Error waiting for thread exit free");
    EXPECT_EQ(w.runToEnd(), 42u) << "started again on the same object";
    EXPECT_EQ(states, "--R---");
    EXPECT_TRUE(Worker([](Worker&) -> unsigned long { throw std::runtime_error("out of the body"); }).runToEnd() == 0u &&
                Worker([](Worker&) -> unsigned long { throw 3; }).runToEnd() == 0u);
}

std::atomic<int> plainBodies{0}, plainEnded{0};

// Touches no state of its own, so that ~Thread alone has to cope with it.
struct Plain : Thread { unsigned long run() override { return ++plainBodies, Sleep(30), ++plainEnded, 9; } };

HANDLE selfDestroyed = nullptr;
struct SelfDestroying : Thread { unsigned long run() override { return selfDestroyed = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId()), delete this, 11; } };

TEST(Thread, DestroyedWhileRunningOrSuspendedAndHandleCountFlat) {
    { Plain running; for (running.start(); plainBodies == 0;) Sleep(1); } // destroyed while its body runs
    EXPECT_EQ(plainEnded, 1) << "the destructor waited for the body's end";
    for (int times : {1, 2}) // suspended once or twice, then destroyed
        if (Plain suspended; suspended.start(true), times == 2) suspended.suspend();
    EXPECT_EQ(plainBodies, 1) << "a body that had not begun never runs on a destroyed object";
    for ((new SelfDestroying)->start(); !selfDestroyed;) Sleep(1);
    WindowsHandle ended(selfDestroyed);
    DWORD code = 0;
    EXPECT_TRUE(ended.wait(10000) == WindowsHandle::signaled && GetExitCodeThread(ended, &code) && code == 11);
    auto cycle = [](int i) {
        Mutex m;
        AutoLock hold((Worker([](Worker&) -> unsigned long { return 1; }).runToEnd(), m));
        Plain().start(i % 2 == 0);
    };
    for (int i = 0; i < 10; ++i) cycle(i);
    const unsigned long before = vesk_test::openHandleCount();
    for (int i = 0; i < 60; ++i) cycle(i);
    EXPECT_EQ(vesk_test::openHandleCount(), before);
}

} // namespace
