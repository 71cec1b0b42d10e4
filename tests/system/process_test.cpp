// Process: a started program's exit code while it runs and after it ended, waits
// on its handle, ids, and the error that names the program that could not start.
#include <vesk/errors/exception.h>
#include <vesk/system/process.h>

#include <gtest/gtest.h>

#include <string>

using namespace vesk;

namespace {

std::string self() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string child(const char* test) {
    return "\"" + self() + "\" --gtest_also_run_disabled_tests --gtest_filter=Child." + test;
}

} // namespace

// Children started by the tests below.
TEST(Child, DISABLED_ExitThree) { ExitProcess(3); }
TEST(Child, DISABLED_WaitForEvent) {
    HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, "vesk_process_test_go");
    ASSERT_NE(go, nullptr);
    WaitForSingleObject(go, 60000);
    ExitProcess(7);
}

TEST(Process, ExitCodesWhileRunningAndAfterwards) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "vesk_process_test_go");
    ASSERT_NE(go, nullptr);
    Process running(child("DISABLED_WaitForEvent").c_str(), CREATE_NO_WINDOW);
    EXPECT_NE(running.getProcessId(), 0u);
    EXPECT_NE(running.getThreadId(), 0u);
    EXPECT_EQ(running.getExitCode(), DWORD(STILL_ACTIVE));
    EXPECT_EQ(running.wait(50), WindowsHandle::timeout);
    SetEvent(go);
    EXPECT_EQ(running.wait(60000), WindowsHandle::signaled);
    EXPECT_EQ(running.getExitCode(), 7u);
    CloseHandle(go);

    // create() again replaces the handle: the object now follows the new process.
    const HANDLE first = running.getHandle();
    const DWORD firstId = running.getProcessId();
    running.create(child("DISABLED_ExitThree").c_str(), CREATE_NO_WINDOW);
    EXPECT_NE(running.getHandle(), first);
    EXPECT_NE(running.getProcessId(), firstId);
    EXPECT_EQ(running.wait(60000), WindowsHandle::signaled);
    EXPECT_EQ(running.getExitCode(), 3u);
}

TEST(Process, ErrorsNameTheProgram) {
    try {
        Process p("C:\\no\\such\\program.exe --flag", 0);
        FAIL() << "started a missing program";
    } catch (const WindowsError& e) {
        EXPECT_EQ(e.getDescription(), "Can't create process \"C:\\no\\such\\program.exe --flag\"");
        EXPECT_NE(e.getError(), 0u);
    }
    Process empty;
    EXPECT_FALSE(empty.isOpen());
    try {
        empty.getExitCode();
        FAIL() << "an empty process has an exit code";
    } catch (const WindowsError& e) {
        EXPECT_EQ(e.getDescription(), "Can't retrieve process exit code");
        EXPECT_EQ(e.getError(), DWORD(ERROR_INVALID_HANDLE));
    }
}
