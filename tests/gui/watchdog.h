// A watchdog for the GUI suites: if the suite still runs after the given time
// (a modal loop that never ends, a message that never comes), it says so and
// ends the process, so that the run fails instead of hanging.
#pragma once

#include <windows.h>

#include <cstdio>

namespace vesk_test {

inline DWORD WINAPI watchdogBody(LPVOID seconds) {
    Sleep(DWORD(reinterpret_cast<ULONG_PTR>(seconds)) * 1000);
    std::fprintf(stderr, "watchdog: the suite ran longer than %lu s\n",
                 static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(seconds)));
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return 0;
}

struct Watchdog {
    explicit Watchdog(unsigned seconds) {
        HANDLE thread = CreateThread(nullptr, 0, watchdogBody, reinterpret_cast<LPVOID>(ULONG_PTR(seconds)), 0,
                                     nullptr);
        if (thread)
            CloseHandle(thread);
    }
};

} // namespace vesk_test
