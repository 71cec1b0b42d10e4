// AutoLock over a CriticalSection against raw EnterCriticalSection /
// LeaveCriticalSection around the same tiny piece of work, uncontended: the cost
// of the scoped holder and the Lockable interface. Goal: ratio <= 1.1. The second
// line holds the section through a Lockable& the compiler cannot see through, as a
// holder of an unknown lock does: two virtual calls more. The three jobs take turns
// in every repeat, so that a change in the machine's load hits them alike.
#include "harness.h"

#include <vesk/system/lock.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

volatile unsigned counter = 0;


} // namespace

int main() {
    const unsigned rounds = bench::repeats() == 1 ? 1000000u : 10000000u;
    vesk::CriticalSection section;
    vesk::Lockable* volatile hidden = &section;
    CRITICAL_SECTION raw;
    InitializeCriticalSection(&raw);
    auto holder = [&] {
        for (unsigned i = 0; i < rounds; ++i) {
            vesk::AutoLock hold(section);
            counter = counter + 1;
        }
    };
    auto opaque = [&] {
        vesk::Lockable& lock = *hidden;
        for (unsigned i = 0; i < rounds; ++i) {
            vesk::AutoLock hold(lock);
            counter = counter + 1;
        }
    };
    auto baseline = [&] {
        for (unsigned i = 0; i < rounds; ++i) {
            EnterCriticalSection(&raw);
            counter = counter + 1;
            LeaveCriticalSection(&raw);
        }
    };
    holder(), opaque(), baseline(); // warm-up
    std::vector<double> h, o, b;
    for (int i = 0, n = bench::repeats(9); i < n; ++i)
        h.push_back(bench::timed(holder)), o.push_back(bench::timed(opaque)), b.push_back(bench::timed(baseline));
    DeleteCriticalSection(&raw);
    bench::keep(static_cast<unsigned>(counter));
    std::printf("Times are per lock and unlock.\n");
    bench::report("AutoLock over CriticalSection", bench::medianOf(h), "Enter/LeaveCriticalSection", bench::medianOf(b), rounds);
    bench::report("AutoLock over Lockable& (virtual calls)", bench::medianOf(o), "Enter/LeaveCriticalSection", bench::medianOf(b),
                  rounds);
    return 0;
}
