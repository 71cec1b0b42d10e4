// AutoLock over a CriticalSection against raw EnterCriticalSection /
// LeaveCriticalSection around the same tiny piece of work, uncontended: the cost
// of the scoped holder and the Lockable interface. Goal: ratio <= 1.1. The second
// line holds the section through a Lockable& the compiler cannot see through, as a
// holder of an unknown lock does: two virtual calls more.
#include "harness.h"

#include <vesk/system/lock.h>

#include <cstdio>

namespace {

volatile unsigned counter = 0;

} // namespace

int main() {
    const unsigned rounds = bench::repeats() == 1 ? 1000000u : 10000000u;
    vesk::CriticalSection section;
    CRITICAL_SECTION raw;
    InitializeCriticalSection(&raw);
    double subject = bench::median([&] {
        for (unsigned i = 0; i < rounds; ++i) {
            vesk::AutoLock hold(section);
            counter = counter + 1;
        }
    });
    double baseline = bench::median([&] {
        for (unsigned i = 0; i < rounds; ++i) {
            EnterCriticalSection(&raw);
            counter = counter + 1;
            LeaveCriticalSection(&raw);
        }
    });
    vesk::Lockable* volatile hidden = &section;
    double opaque = bench::median([&] {
        vesk::Lockable& lock = *hidden;
        for (unsigned i = 0; i < rounds; ++i) {
            vesk::AutoLock hold(lock);
            counter = counter + 1;
        }
    });
    DeleteCriticalSection(&raw);
    bench::keep(static_cast<unsigned>(counter));
    std::printf("Times are per lock and unlock.\n");
    bench::report("AutoLock over CriticalSection", subject, "Enter/LeaveCriticalSection", baseline, rounds);
    bench::report("AutoLock over Lockable& (virtual calls)", opaque, "Enter/LeaveCriticalSection", baseline, rounds);
    return 0;
}
