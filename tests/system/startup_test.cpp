// The entry point and structured-exception translation: every thread started after
// the library was loaded has the translator; inside an SEHGuard each kind of
// hardware fault arrives as SEHError with its code, on the main thread and on
// other threads, running the clean-ups between; code that is not prepared (no
// guard, or built without -fnon-call-exceptions) keeps the platform's behaviour,
// checked in child processes; loading and unloading copies of the library leaves
// no TLS index behind.
#include <vesk/errors/exception.h>
#include <vesk/system/module.h>
#include <vesk/system/startup.h>

#include <gtest/gtest.h>
#include <test_support.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using namespace vesk;

namespace plain {
void faultWithCleanup(int* volatile target);
void faultWithoutCleanup(int* volatile target);
} // namespace plain

namespace {

int* volatile nowhere = nullptr;
volatile int zero = 0;
thread_local int cleanups = 0;

struct Counted {
    ~Counted() { ++cleanups; }
};

__attribute__((noinline)) void nullWrite() { Counted c; *nowhere = 1; }
__attribute__((noinline)) void nullRead() { Counted c; volatile int x = *nowhere; (void)x; }
volatile std::uintptr_t wild = 0x20;
__attribute__((noinline)) void wildWrite() { Counted c; *reinterpret_cast<volatile int*>(wild) = 1; }
__attribute__((noinline)) void divideByZero() { Counted c; volatile int r = 10 / zero; (void)r; }
__attribute__((noinline)) void illegalInstruction() { Counted c; asm volatile("ud2"); }
__attribute__((noinline)) void privilegedInstruction() { Counted c; asm volatile("hlt"); }

// The compiler knows memory accesses and divisions can trap and keeps clean-ups
// for them; an inline asm statement it takes for harmless, so the frame holds no
// clean-up and the exception passes it by.
struct Fault {
    const char* name;
    void (*run)();
    unsigned long code;
    int cleanups;
} const faults[] = {
    {"null write", nullWrite, 0xC0000005, 1},
    {"null read", nullRead, 0xC0000005, 1},
    {"wild write", wildWrite, 0xC0000005, 1},
    {"integer division by zero", divideByZero, 0xC0000094, 1},
    {"illegal instruction", illegalInstruction, 0xC000001D, 0},
    {"privileged instruction", privilegedInstruction, 0xC0000096, 0},
};

// The code a guarded fault arrives with, or 0 when nothing was caught.
unsigned long guardedCode(void (*run)()) {
    SEHGuard guard;
    try {
        run();
    } catch (const SEHError& e) {
        return e.getCode();
    }
    return 0;
}

// Runs one DISABLED_ child test of this program in its own process and returns its
// exit code; the child's output is dropped.
DWORD runChild(const char* test) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --gtest_also_run_disabled_tests --gtest_filter=Child." + test;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        CloseHandle(nul);
        ADD_FAILURE() << "can't start " << command;
        return 0;
    }
    CloseHandle(nul);
    CloseHandle(info.hThread);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return code;
}

template <class F> DWORD WINAPI threadMain(void* f) {
    (*static_cast<F*>(f))();
    return 0;
}

template <class F> HANDLE startThread(F* f) { return CreateThread(nullptr, 0, &threadMain<F>, f, 0, nullptr); }

// Procedures compared and called by address.
void* address(FARPROC p) { return reinterpret_cast<void*>(p); }
void* address(SETranslator p) { return reinterpret_cast<void*>(p); }

} // namespace

TEST(SEHTranslation, EveryFaultArrivesWithItsCodeAndRunsCleanups) {
    EXPECT_EQ(getThreadTranslator(), &SEHError::translate);
    for (const Fault& f : faults) {
        cleanups = 0;
        EXPECT_EQ(guardedCode(f.run), f.code) << f.name;
        EXPECT_EQ(cleanups, f.cleanups) << f.name;
    }
    // Nested guards; a guard that the SEHError unwinds through is withdrawn.
    SEHGuard outer;
    try {
        SEHGuard inner;
        nullWrite();
    } catch (const SEHError& e) {
        EXPECT_EQ(e.getCode(), 0xC0000005ul);
    }
    EXPECT_EQ(guardedCode(nullRead), 0xC0000005ul);
    // Frames without clean-ups pass the exception on, whatever their build.
    int* volatile target = nullptr;
    try {
        plain::faultWithoutCleanup(target);
        ADD_FAILURE() << "not reached";
    } catch (const SEHError& e) {
        EXPECT_EQ(e.getCode(), 0xC0000005ul);
    }
    // C++ exceptions inside a guard stay what they are.
    EXPECT_THROW(throw std::runtime_error("plain"), std::runtime_error);
}

TEST(SEHTranslation, ThreadsStartedAfterLoadTranslateTheirOwnFaults) {
    // A fixed-seed sweep over the fault kinds on four threads at once: every fault
    // is caught on its own thread with its own code, and every clean-up runs.
    struct Worker {
        unsigned seed;
        SETranslator translator = nullptr;
        int caught = 0, wrong = 0, cleaned = 0, expectedCleanups = 0;
        void operator()() {
            translator = getThreadTranslator();
            for (int i = 0; i < 100; ++i) {
                seed = seed * 1103515245 + 12345;
                const Fault& f = faults[(seed >> 16) % (sizeof faults / sizeof faults[0])];
                const unsigned long code = guardedCode(f.run);
                (code == f.code ? caught : wrong)++;
                expectedCleanups += f.cleanups;
            }
            cleaned = cleanups;
        }
    } workers[4] = {{1}, {2}, {3}, {4}};
    HANDLE threads[4];
    for (int i = 0; i < 4; ++i) threads[i] = startThread(&workers[i]);
    ASSERT_EQ(WaitForMultipleObjects(4, threads, TRUE, 60000), WAIT_OBJECT_0);
    for (int i = 0; i < 4; ++i) {
        CloseHandle(threads[i]);
        EXPECT_EQ(workers[i].translator, &SEHError::translate);
        EXPECT_EQ(workers[i].caught, 100);
        EXPECT_EQ(workers[i].wrong, 0);
        EXPECT_EQ(workers[i].cleaned, workers[i].expectedCleanups);
    }
}

// Children: each ends the process the way the platform ends a crash.
TEST(Child, DISABLED_Unguarded) { nullWrite(); }
TEST(Child, DISABLED_AfterGuardClosed) {
    { SEHGuard guard; }
    nullWrite();
}
TEST(Child, DISABLED_PlainCodeWithCleanups) {
    SEHGuard guard;
    try {
        plain::faultWithCleanup(nullptr);
    } catch (...) {
        std::exit(99);
    }
}

TEST(SEHTranslation, UnpreparedCodeKeepsThePlatformsBehaviour) {
    for (const char* child : {"DISABLED_Unguarded", "DISABLED_AfterGuardClosed", "DISABLED_PlainCodeWithCleanups"})
        EXPECT_EQ(runChild(child), 0xC0000005ul) << child;
}

// The slot of a loaded copy is found by its content on the loading thread: the
// thread's state, which begins with the thread's translator.
DWORD findSlot(void* translate) {
    for (DWORD i = 0; i < 1088; ++i) {
        void* value = TlsGetValue(i);
        if (value && !IsBadReadPtr(value, sizeof(void*)) && *static_cast<void**>(value) == translate) return i;
    }
    return TLS_OUT_OF_INDEXES;
}

TEST(EntryPoint, ReloadingTheLibraryLeavesNoTLSIndexAndServesNewThreads) {
    vesk_test::ScratchDir dir;
    const std::string copy = dir.file("vesk_reload.dll");
    ASSERT_TRUE(CopyFileA(WindowsModule().getFilenameA().c_str(), copy.c_str(), FALSE));

    // A thread that predates the copy gets no translator from it; one started
    // afterwards does.
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    using Getter = SETranslator (*)();
    struct Probe {
        HANDLE started, go;
        Getter get = nullptr;
        SETranslator seen = nullptr;
        void operator()() {
            SetEvent(started);
            WaitForSingleObject(go, INFINITE);
            seen = get();
        }
    } before{started, go}, after{nullptr, go};
    HANDLE early = startThread(&before);
    ASSERT_EQ(WaitForSingleObject(started, 10000), WAIT_OBJECT_0);
    std::vector<DWORD> slots;
    for (int round = 0; round < 10; ++round) {
        WindowsModule library(copy.c_str(), true);
        const Getter get =
            reinterpret_cast<Getter>(address(library.getProcAddress("_ZN4vesk19getThreadTranslatorEv", false)));
        void* translate = address(library.getProcAddress("_ZN4vesk8SEHError9translateEjP19_EXCEPTION_POINTERS", false));
        EXPECT_EQ(address(get()), translate) << "the loading thread";
        const DWORD slot = findSlot(translate);
        ASSERT_NE(slot, TLS_OUT_OF_INDEXES) << "the loaded copy holds no TLS index";
        slots.push_back(slot);
        if (round == 0) {
            before.get = after.get = get;
            after.started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            HANDLE late = startThread(&after);
            SetEvent(go);
            ASSERT_EQ(WaitForSingleObject(early, 10000), WAIT_OBJECT_0);
            ASSERT_EQ(WaitForSingleObject(late, 10000), WAIT_OBJECT_0);
            CloseHandle(late);
            CloseHandle(after.started);
            EXPECT_EQ(before.seen, nullptr);
            EXPECT_EQ(address(after.seen), translate);
        }
        library.close();
        // Freeing an index that is not allocated fails: the copy gave its index back.
        EXPECT_FALSE(TlsFree(slot)) << "round " << round << ": the unloaded copy left TLS index " << slot << " behind";
    }
    CloseHandle(early);
    CloseHandle(started);
    CloseHandle(go);
    // The library's own translation still works after the copies came and went.
    EXPECT_EQ(guardedCode(nullWrite), 0xC0000005ul);
}
