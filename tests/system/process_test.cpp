// Process: a started program's exit code while it runs and after it ended, waits on
// its handle, ids, a second create, and the errors that name the program.
#include <vesk/errors/exception.h>
#include <vesk/system/module.h>
#include <vesk/system/process.h>

#include <gtest/gtest.h>

#include <string>

using namespace vesk;

std::string child(const char* test) {
    return "\"" + std::string(WindowsModule(nullptr).getFilenameA()) + "\" --gtest_also_run_disabled_tests --gtest_filter=Child." + test;
}

TEST(Child, DISABLED_ExitThree) { ExitProcess(3); }
TEST(Child, DISABLED_WaitForEvent) { ExitProcess(WaitForSingleObject(OpenEventA(SYNCHRONIZE, FALSE, "vesk_process_test_go"), 60000) ? 1 : 7); }

TEST(Process, ExitCodesWhileRunningAndAfterwards) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "vesk_process_test_go");
    Process running(child("DISABLED_WaitForEvent").c_str(), CREATE_NO_WINDOW);
    EXPECT_TRUE(running.getProcessId() != 0 && running.getThreadId() != 0 && running.getThreadId() != running.getProcessId());
    EXPECT_EQ(running.getExitCode(), DWORD(STILL_ACTIVE));
    EXPECT_EQ(running.wait(50), WindowsHandle::timeout);
    SetEvent(go);
    EXPECT_EQ(running.wait(60000), WindowsHandle::signaled);
    EXPECT_EQ(running.getExitCode(), 7u);
    CloseHandle(go);
    const DWORD firstId = running.getProcessId(); // create() again follows the new process
    running.create(child("DISABLED_ExitThree").c_str(), CREATE_NO_WINDOW);
    EXPECT_TRUE(running.getProcessId() != firstId && running.wait(60000) == WindowsHandle::signaled && running.getExitCode() == 3);
    for (const auto& [call, message, code] : {std::tuple<void (*)(), const char*, DWORD>(
                                                  [] { Process p("C:\\no\\such\\program.exe --flag", 0); },
                                                  "Can't create process \"C:\\no\\such\\program.exe --flag\"", 0),
                                              {[] { Process().getExitCode(); }, "Can't retrieve process exit code", 6}}) try {
            call();
            ADD_FAILURE() << message;
        } catch (const WindowsError& e) {
            EXPECT_TRUE(e.getDescription() == message && (code ? e.getError() == code : e.getError() != 0)) << e.what();
        }
}
