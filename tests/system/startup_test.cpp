// The entry point and structured-exception translation: inside an SEHGuard every
// kind of hardware fault, in functions with and without a frame of their own,
// arrives as SEHError with its code after exactly one hardware exception, running
// the clean-ups between, on the main thread, on Threads and on plain threads; code
// that is not prepared (no guard, or built without -fnon-call-exceptions) keeps the
// platform's behaviour, checked in child processes; loading and unloading copies of
// the library leaves no TLS index behind. Process, which starts the children: exit
// codes, ids, a second create that follows the new process, its errors.
#include <vesk/system/module.h>
#include <vesk/system/process.h>
#include <vesk/system/startup.h>
#include <vesk/system/thread.h>

#include <gtest/gtest.h>
#include <test_support.h>


using namespace vesk;

namespace plain { // startup_plain.cpp
void faultWithCleanup(int* volatile target), faultWithoutCleanup(int* volatile target);
} // namespace plain

namespace {

using vesk_test::errorOf;
int* volatile nowhere = nullptr;
volatile int zero = 0, sink = 0;
thread_local int cleanups = 0, hardwareExceptions = 0;

struct Counted { ~Counted() { ++cleanups; } };

// Seen before the library's translator, which the library installed first.
LONG CALLBACK countHardwareExceptions(EXCEPTION_POINTERS* pointers) {
    hardwareExceptions += (pointers->ExceptionRecord->ExceptionCode & 0xF0000000u) == 0xC0000000u;
    return EXCEPTION_CONTINUE_SEARCH;
}

// Leaves: no frame of their own, so they fault with the stack 8 bytes off the
// 16-byte alignment of a call on x86_64.
__attribute__((noinline)) int leafDivide(volatile int a, volatile int b) { return a / b; }
__attribute__((noinline)) int leafRead(int* p) { return *p; }
__attribute__((noinline)) void leafWrite(int* p) { *p = 1; }

__attribute__((noinline)) void nullWrite() { Counted c; *nowhere = 1; }
__attribute__((noinline)) void nullRead() { Counted c; sink = *nowhere; }
__attribute__((noinline)) void divideByZero() { Counted c; sink = 10 / zero; }
__attribute__((noinline)) void illegalInstruction() { Counted c; asm volatile("ud2"); }
__attribute__((noinline)) void privilegedInstruction() { Counted c; asm volatile("hlt"); }

// The compiler keeps clean-ups for accesses and divisions that may trap; an inline
// asm statement it takes for harmless, so that frame holds no clean-up.
const struct Fault { const char* name; void (*run)(); unsigned long code; int cleanups; } faults[] = {
    {"leaf division by zero", [] { sink = leafDivide(10, zero); }, 0xC0000094, 0}, {"leaf null read", [] { sink = leafRead(nowhere); }, 0xC0000005, 0},
    {"leaf null write", [] { leafWrite(nowhere); }, 0xC0000005, 0},          {"null write", nullWrite, 0xC0000005, 1},
    {"null read", nullRead, 0xC0000005, 1},                     {"division by zero", divideByZero, 0xC0000094, 1},
    {"illegal instruction", illegalInstruction, 0xC000001D, 0}, {"privileged instruction", privilegedInstruction, 0xC0000096, 0},
};

// The code a guarded fault arrives with, or 0 when nothing was caught.
unsigned long guardedCode(void (*run)()) try {
    SEHGuard guard;
    return run(), 0;
} catch (const SEHError& e) {
    return e.getCode();
}

// Every fault once, then `rounds` in a seeded order: "" when each came as one hardware
// exception and arrived with its code and clean-ups, else what went wrong.
std::string faultSweep(unsigned seed, unsigned rounds) {
    std::string wrong;
    const unsigned n = sizeof faults / sizeof faults[0];
    for (unsigned i = 0; i < n + rounds; ++i) {
        const Fault& f = faults[i < n ? i : ((seed = seed * 1103515245 + 12345) >> 16) % n];
        cleanups = hardwareExceptions = 0;
        if (const unsigned long code = guardedCode(f.run); code != f.code || cleanups != f.cleanups || hardwareExceptions != 1)
            wrong += std::string(f.name) + ": " + std::to_string(code) + " " + std::to_string(cleanups) + " " + std::to_string(hardwareExceptions) + "\n";
    }
    if (getThreadTranslator() != &SEHError::translate) wrong += "not the library's translator\n";
    return wrong;
}

DWORD WINAPI plainThread(void* wrong) { return *static_cast<std::string*>(wrong) = faultSweep(7, 100), 0; }

std::string child(const char* test) {
    return "\"" + std::string(WindowsModule(nullptr).getFilenameA()) + "\" --gtest_also_run_disabled_tests --gtest_filter=Child." + test;
}

} // namespace

TEST(SEHTranslation, EveryFaultArrivesOnceWithItsCodeOnEveryKindOfThread) {
    PVOID counter = AddVectoredExceptionHandler(1, &countHardwareExceptions);
    EXPECT_EQ(faultSweep(1, 40), "") << "main thread";
    struct Worker : Thread { // at the same time as a plain thread
        unsigned long run() override { return wrong = faultSweep(3, 100), 0; }
        std::string wrong;
    } worker;
    std::string plainWrong;
    WindowsHandle other((worker.start(), CreateThread(nullptr, 0, &plainThread, &plainWrong, 0, nullptr)));
    EXPECT_EQ(other.wait(60000), WindowsHandle::signaled);
    EXPECT_EQ((worker.join(), worker.wrong), "") << "Thread";
    EXPECT_EQ(plainWrong, "") << "plain thread";
    RemoveVectoredExceptionHandler(counter);

    // Nested guards, the inner one withdrawn by the unwinding; frames without
    // clean-ups pass the exception on, whatever their build.
    EXPECT_EQ(guardedCode([] { SEHGuard inner; nullWrite(); }), 0xC0000005ul);
    EXPECT_EQ(guardedCode([] { plain::faultWithoutCleanup(nowhere); }), 0xC0000005ul);
}

// Children: each ends the process the way the platform ends a crash.
TEST(Child, DISABLED_Unguarded) { nullWrite(); }
TEST(Child, DISABLED_AfterGuardClosed) { { SEHGuard guard; } nullWrite(); }
TEST(Child, DISABLED_PlainCodeWithCleanups) { // a translation here would be caught
    SEHGuard guard;
    try { plain::faultWithCleanup(nullptr); } catch (...) { std::exit(99); }
}

// One Process for all children: each create() follows the new process.
TEST(SEHTranslation, UnpreparedCodeKeepsThePlatformsBehaviourAndProcessFollowsItsChild) {
    Process process;
    EXPECT_EQ(errorOf([&] { process.getExitCode(); }), "6 Can't retrieve process exit code");
    for (const char* name : {"DISABLED_Unguarded", "DISABLED_AfterGuardClosed", "DISABLED_PlainCodeWithCleanups"}) {
        process.create(child(name).c_str(), CREATE_NO_WINDOW); // a DISABLED_ child test in a process of its own
        EXPECT_TRUE(process.getProcessId() == GetProcessId(process.getHandle()) && process.getThreadId() != 0 &&
                    process.getThreadId() != process.getProcessId() && process.wait(60000) == WindowsHandle::signaled &&
                    process.getExitCode() == 0xC0000005ul) << name;
    }
    const std::string missing = errorOf([] { Process p("C:\\no\\such\\program.exe --flag", 0); });
    EXPECT_TRUE(missing.find(" Can't create process \"C:\\no\\such\\program.exe --flag\"") != std::string::npos && missing.find("0 ") != 0) << missing;
}

TEST(EntryPoint, ReloadingTheLibraryLeavesNoTLSIndex) {
    vesk_test::ScratchDir dir;
    const std::string copy = dir.file("vesk_reload.dll");
    ASSERT_TRUE(CopyFileA(WindowsModule().getFilenameA().c_str(), copy.c_str(), FALSE));
    for (int round = 0; round < 10; ++round) {
        WindowsModule library(copy.c_str(), true);
        void* translate = reinterpret_cast<void*>(library.getProcAddress("_ZN4vesk8SEHError9translateEjP19_EXCEPTION_POINTERS", false));
        EXPECT_EQ(reinterpret_cast<void*>(reinterpret_cast<SETranslator (*)()>(reinterpret_cast<void*>(
                      library.getProcAddress("_ZN4vesk19getThreadTranslatorEv", false)))()), translate) << "the loading thread";
        // The copy's slot holds this thread's state, which begins with its translator.
        DWORD slot = 0;
        while (slot < 1088 && !(TlsGetValue(slot) && !IsBadReadPtr(TlsGetValue(slot), sizeof(void*)) && *static_cast<void**>(TlsGetValue(slot)) == translate)) ++slot;
        ASSERT_LT(slot, 1088u) << "the loaded copy holds no TLS index";
        // Freeing an index that is not allocated fails: the copy gave its index back.
        EXPECT_FALSE((library.close(), TlsFree(slot))) << "round " << round << ": the unloaded copy left TLS index " << slot << " behind";
    }
    EXPECT_EQ(guardedCode(nullWrite), 0xC0000005ul) << "the library's own translation after the copies";
}
