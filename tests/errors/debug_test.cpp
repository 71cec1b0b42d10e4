// Debug output as the debugger sees it: the suite starts its child program under a
// debugger loop of its own and records every OUTPUT_DEBUG_STRING_EVENT with the
// thread that sent it. Checked: the "[<thread id>] " prefix before each line and only
// there, text that waits for a flush, wide text split into pieces that fit the
// buffer without losing a character, and clean lines from several threads writing
// pieces of mixed size through dbg and wdbg at once.
#include "debug_lines.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Event {
    DWORD thread;
    std::string text;
};

std::string childPath() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path, n);
    return self.substr(0, self.find_last_of('\\') + 1) + "test_errors_debug_child.exe";
}

// Runs the child with the given scenario and returns what it sent to the debugger.
std::vector<Event> debugChild(const std::string& scenario) {
    std::string command = "\"" + childPath() + "\" " + scenario;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "can't start " << command << ": " << GetLastError();
        return {};
    }
    std::vector<Event> events;
    const DWORD deadline = GetTickCount() + 60000;
    for (DEBUG_EVENT event{}; event.dwDebugEventCode != EXIT_PROCESS_DEBUG_EVENT;) {
        if (!WaitForDebugEvent(&event, 5000)) {
            if (GetTickCount() - deadline < 0x80000000u) {
                ADD_FAILURE() << "child " << scenario << " hangs";
                TerminateProcess(process.hProcess, 99);
            }
            continue;
        }
        DWORD status = DBG_CONTINUE;
        const auto& u = event.u;
        if (event.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
            std::string text(u.DebugString.nDebugStringLength, '\0');
            SIZE_T read = 0;
            ReadProcessMemory(process.hProcess, u.DebugString.lpDebugStringData, &text[0], text.size(), &read);
            text.resize(read);
            if (!text.empty() && text.back() == '\0') text.pop_back();  // the length counts the terminating zero
            events.push_back({event.dwThreadId, text});
        } else if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT && u.CreateProcessInfo.hFile) {
            CloseHandle(u.CreateProcessInfo.hFile);
        } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && u.LoadDll.hFile) {
            CloseHandle(u.LoadDll.hFile);
        } else if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
                   u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
            status = DBG_EXCEPTION_NOT_HANDLED;
        } else if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            EXPECT_EQ(u.ExitProcess.dwExitCode, 0u) << scenario;
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
    const DWORD main = events.front().thread;
    const std::string p = prefix(main);
    std::string wide;
    for (wchar_t c : debug_lines::longWide()) wide += char(c);
    const std::string longLine = p + wide + "\n";

    std::vector<std::string> expected = {
        p, "a\n", p, "b", "c\n",   // a prefix only where a line starts
        p, "", "d\n",              // an empty text goes out and ends the line start
        "#mark1", "#mark2", p, "x", // 'x' waits for the flush
        "y\n", p, "z7\n",          // a flush with nothing pending sends nothing
        p + "w\n", p + "v42\n",    // the wide form sends prefix and text as one
    };
    // The long wide line: pieces of the largest size that fits, then the rest.
    for (std::size_t at = 0; at < longLine.size(); at += 999) expected.push_back(longLine.substr(at, 999));
    expected.insert(expected.end(), {p, "e\n"});

    std::vector<std::string> got;
    for (const Event& e : events) {
        EXPECT_EQ(e.thread, main);
        got.push_back(e.text);
    }
    EXPECT_EQ(got, expected);
}

TEST(DebugOutput, LinesOfSeveralThreadsStayWhole) {
    const std::vector<Event> events = debugChild("threads");
    // Assemble lines in arrival order: a line is everything up to its line feed and
    // every piece of it must come from the thread its prefix names.
    std::vector<std::vector<bool>> seen(debug_lines::threadCount, std::vector<bool>(debug_lines::lineCount));
    std::string pending;
    DWORD owner = 0;
    unsigned bad = 0;
    for (const Event& e : events) {
        if (!pending.empty() && e.thread != owner && ++bad < 5) ADD_FAILURE() << "mixed line: " << pending;
        if (pending.empty()) owner = e.thread;
        pending += e.text;
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            const std::string p = prefix(owner);
            int t = -1, i = -1;
            if (line.compare(0, p.size(), p) == 0) std::sscanf(line.c_str() + p.size(), "t%d i%d", &t, &i);
            if (t < 0 || t >= debug_lines::threadCount || i < 0 || i >= debug_lines::lineCount ||
                line != p + debug_lines::line(t, i) || seen[t][i]) {
                if (++bad < 5) ADD_FAILURE() << "unexpected line: " << line.substr(0, 80);
                continue;
            }
            seen[t][i] = true;
        }
    }
    EXPECT_EQ(pending, "");
    EXPECT_EQ(bad, 0u);
    for (int t = 0; t < debug_lines::threadCount; ++t)
        for (int i = 0; i < debug_lines::lineCount; ++i) EXPECT_TRUE(seen[t][i]) << "missing t" << t << " i" << i;
}

} // namespace
