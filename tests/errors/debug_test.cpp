// Debug output as the debugger sees it: the suite starts its child program under a
// debugger loop of its own and records every OUTPUT_DEBUG_STRING_EVENT with the
// thread that sent it. Checked: the "[<thread id>] " prefix before each line and only
// there (an empty text ends a line start), text that waits for a flush, wide text
// split into pieces that fit the buffer without losing a character, and whole lines
// from several threads writing pieces of mixed size through dbg and wdbg at once.
#include "debug_lines.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

struct Event {
    DWORD thread;
    std::string text;
};

// Runs the child with the given scenario and returns what it sent to the debugger.
std::vector<Event> debugChild(const std::string& scenario) {
    char path[MAX_PATH];
    std::string command(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    command = "\"" + command.substr(0, command.rfind('\\') + 1) + "test_errors_debug_child.exe\" " + scenario;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::vector<Event> events;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "can't start " << command << ": " << GetLastError();
        return events;
    }
    for (DEBUG_EVENT event{}; event.dwDebugEventCode != EXIT_PROCESS_DEBUG_EVENT;) {
        if (!WaitForDebugEvent(&event, 60000)) {
            ADD_FAILURE() << "child " << scenario << " hangs";
            TerminateProcess(process.hProcess, 99);
            continue;
        }
        DWORD status = DBG_CONTINUE;
        const auto& u = event.u;
        if (event.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
            std::string text(u.DebugString.nDebugStringLength, '\0'); // the length counts the terminating zero
            SIZE_T read = 0;
            ReadProcessMemory(process.hProcess, u.DebugString.lpDebugStringData, &text[0], text.size(), &read);
            text.resize(read ? read - 1 : 0);
            events.push_back({event.dwThreadId, text});
        } else if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT && u.CreateProcessInfo.hFile) {
            CloseHandle(u.CreateProcessInfo.hFile);
        } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && u.LoadDll.hFile) {
            CloseHandle(u.LoadDll.hFile);
        } else if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
                   u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
            status = DBG_EXCEPTION_NOT_HANDLED;
        } else if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            EXPECT_EQ(0u, u.ExitProcess.dwExitCode) << scenario;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return events;
}

std::string prefix(DWORD thread) { return "[" + std::to_string(thread) + "] "; }

TEST(DebugOutput, PrefixesFlushesAndWidePieces) {
    const std::vector<Event> events = debugChild("edges");
    ASSERT_FALSE(events.empty());
    const std::string p = prefix(events.front().thread);
    std::vector<std::string> expected = {
        p, "a\n", p, "b", "c\n", // a prefix only where a line starts
        p, "", "d", "", "\n",    // an empty text goes out and ends the line start
        p, "e\n",                // the same in the wide form: the prefix alone
        "#mark1", "#mark2", p, "x", // 'x' waits for the flush
        "y\n", p, "z7\n",           // a flush with nothing pending sends nothing
        p + "w\n", p + "v42\n",     // the wide form sends prefix and text as one
    };
    // The long wide line: pieces of the largest size that fits, then the rest.
    std::string longLine = p;
    for (wchar_t c : debug_lines::longWide()) longLine += char(c);
    for (std::size_t at = 0; at < longLine.size() + 1; at += 999) expected.push_back((longLine + "\n").substr(at, 999));
    std::vector<std::string> got;
    for (const Event& e : events) {
        EXPECT_EQ(events.front().thread, e.thread);
        got.push_back(e.text);
    }
    EXPECT_EQ(expected, got);
}

TEST(DebugOutput, LinesOfSeveralThreadsStayWhole) {
    // In arrival order, every line is one thread's whole line behind that thread's prefix.
    std::string pending, owner;
    std::set<std::string> seen;
    for (const Event& e : debugChild("threads")) {
        if (pending.empty()) owner = prefix(e.thread);
        EXPECT_EQ(owner, prefix(e.thread)) << "mixed line: " << pending.substr(0, 80);
        pending += e.text;
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            int t = -1, i = -1;
            std::sscanf(pending.c_str() + std::min(end, owner.size()), "t%d i%d", &t, &i);
            EXPECT_EQ(owner + debug_lines::line(t, i), pending.substr(0, end));
            EXPECT_TRUE(seen.insert(std::to_string(t) + " " + std::to_string(i)).second) << t << " " << i;
        }
    }
    EXPECT_EQ("", pending);
    EXPECT_EQ(std::size_t(debug_lines::threadCount * debug_lines::lineCount), seen.size());
}

} // namespace
