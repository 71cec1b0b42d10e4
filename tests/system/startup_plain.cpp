// Code built without -fnon-call-exceptions (see modules.cmake): a fault in it may
// not be turned into a C++ exception where it has clean-ups to run.
#include <cstdio>
#include <stdexcept>

namespace plain {

struct Noisy { ~Noisy() { std::puts("clean-up"); } };

__attribute__((noinline)) void mayThrow(int value) { if (value < 0) throw std::invalid_argument("negative"); }

// Noisy gives the function clean-ups, hence a call-site table; it covers the calls
// only, not the store before them.
__attribute__((noinline)) void faultWithCleanup(int* volatile target) {
    *target = 1;
    Noisy n;
    mayThrow(2), mayThrow(3);
}

// No clean-ups: the unwinder passes through this frame as through any other.
__attribute__((noinline)) void faultWithoutCleanup(int* volatile target) { *target = 7; }

} // namespace plain
