// Debug output as the debugger sees it: the suite starts itself as a child under a
// debugger loop of its own and records every OUTPUT_DEBUG_STRING_EVENT with the
// thread that sent it. Checked: the "[<thread id>] " prefix before each line and only
// there (an empty text ends a line start), text that waits for a flush, wide text
// split into pieces that fit the buffer without losing a character, and whole lines
// from several threads writing pieces of mixed size through dbg and wdbg at once.
#include <vesk/errors/debug.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace vesk;

namespace {

// What the child writes, step by step, and what the debugger sees of each step
// ("P" stands for the thread's prefix).
const struct { void (*write)(); std::vector<std::string> sent; } edges[] = {
    {[] { trace("a\n"), trace("b"), trace("c\n"); }, {"P", "a\n", "P", "b", "c\n"}},
    {[] { trace(""), trace("d"), trace(""), trace("\n"); }, {"P", "", "d", "", "\n"}}, // "" ends a line start only
    {[] { trace(L""), trace(L"e\n"); }, {"P", "e\n"}},
    {[] { OutputDebugStringA("#1"), dbg << 'x', OutputDebugStringA("#2"), dbg << std::flush; }, {"#1", "#2", "P", "x"}},
    {[] { dbg << "y" << std::endl << std::flush << "z" << 7 << std::endl; }, {"y\n", "P", "z7\n"}}, // nothing pending
    {[] { trace(L"w\n"), wdbg << L"v" << 42 << std::endl; }, {"Pw\n", "Pv42\n"}}, // wide: prefix and text as one
};
// A wide line longer than a piece, ending in a mark so that a cut shows.
const std::wstring longWide = std::wstring(2500, L'A') + L"0123456789<end>";
constexpr int threadCount = 4, lineCount = 40;

// Line i of thread t (without its line feed); every tenth one is longer than a piece.
std::string line(int t, int i) {
    const std::size_t length = i % 10 == 3 ? 2100 + 37 * t : std::size_t(i * 53 + t * 11) % 300;
    return "t" + std::to_string(t) + " i" + std::to_string(i) + " " + std::string(length, char('a' + (i + t) % 26));
}

// Writes one line in pieces of changing size: single characters and blocks.
template <class C> void writeLine(std::basic_ostream<C>& out, const std::string& text) {
    static const std::size_t sizes[] = {1, 5, 1, 17, 64, 2, 300};
    const std::basic_string<C> line(text.begin(), text.end());
    for (std::size_t at = 0, step = 0, n; at < line.size(); at += n) {
        n = std::min(sizes[step++ % 7], line.size() - at);
        n == 1 ? out.put(line[at]) : out.write(line.data() + at, static_cast<std::streamsize>(n));
    }
    out << std::endl;
}

// The child's part, run before the tests when the command line asks for it.
[[maybe_unused]] const bool child = [] {
    const std::string command = GetCommandLineA();
    if (command.find("\" child edges") != std::string::npos) {
        for (const auto& e : edges) e.write();
        wdbg << longWide << std::endl;
    }
    if (command.find("\" child threads") != std::string::npos) {
        std::vector<std::thread> workers;
        for (int t = 0; t < threadCount; ++t)
            workers.emplace_back([t] {
                for (int i = 0; i < lineCount; ++i) i % 2 ? writeLine(dbg, line(t, i)) : writeLine(wdbg, line(t, i));
            });
        for (auto& w : workers) w.join();
    }
    if (command.find("\" child ") != std::string::npos) ExitProcess(0);
    return false;
}();

// A text the child sent to the debugger, with the thread that sent it.
typedef std::pair<DWORD, std::string> Event;

// Runs the child with the given scenario (what) and returns what it sent to the debugger.
std::vector<Event> debugChild(const std::string& what) {
    char path[MAX_PATH];
    std::string command = "\"" + std::string(path, GetModuleFileNameA(nullptr, path, MAX_PATH)) + "\" child " + what;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::vector<Event> events;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr,
                        &startup, &process))
        return ADD_FAILURE() << "can't start " << command << ": " << GetLastError(), events;
    for (DEBUG_EVENT event{}; event.dwDebugEventCode != EXIT_PROCESS_DEBUG_EVENT;) {
        if (!WaitForDebugEvent(&event, 60000) && TerminateProcess(process.hProcess, 99)) ADD_FAILURE() << "hangs";
        const auto& u = event.u;
        const DWORD code = event.dwDebugEventCode;
        if (code == OUTPUT_DEBUG_STRING_EVENT) {
            std::string text(u.DebugString.nDebugStringLength, '\0'); // the length counts the terminating zero
            ReadProcessMemory(process.hProcess, u.DebugString.lpDebugStringData, &text[0], text.size(), nullptr);
            events.push_back({event.dwThreadId, text.c_str()});
        }
        if (code == CREATE_PROCESS_DEBUG_EVENT || code == LOAD_DLL_DEBUG_EVENT)
            CloseHandle(code == LOAD_DLL_DEBUG_EVENT ? u.LoadDll.hFile : u.CreateProcessInfo.hFile);
        EXPECT_TRUE(code != EXIT_PROCESS_DEBUG_EVENT || u.ExitProcess.dwExitCode == 0) << what;
        const bool unhandled =
            code == EXCEPTION_DEBUG_EVENT && u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT;
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, unhandled ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE);
    }
    CloseHandle(process.hThread), CloseHandle(process.hProcess);
    return events;
}

std::string prefix(DWORD thread) { return "[" + std::to_string(thread) + "] "; }

TEST(DebugOutput, PrefixesFlushesAndWidePieces) {
    const std::vector<Event> events = debugChild("edges");
    const DWORD thread = events.empty() ? 0 : events.front().first;
    std::vector<Event> expected;
    for (const auto& e : edges)
        for (const std::string& s : e.sent) expected.push_back({thread, s[0] == 'P' ? prefix(thread) + &s[1] : s});
    // The long wide line: pieces of the largest size that fits, then the rest.
    const std::string longLine = prefix(thread) + std::string(longWide.begin(), longWide.end()) + "\n";
    for (std::size_t at = 0; at < longLine.size(); at += 999) expected.push_back({thread, longLine.substr(at, 999)});
    EXPECT_EQ(expected, events);
}

TEST(DebugOutput, LinesOfSeveralThreadsStayWhole) {
    // In arrival order, every line is one thread's whole line behind that thread's prefix.
    std::string pending, owner;
    std::multiset<std::string> expected, got;
    for (int t = 0; t < threadCount; ++t)
        for (int i = 0; i < lineCount; ++i) expected.insert(line(t, i));
    for (const Event& e : debugChild("threads")) {
        if (pending.empty()) owner = prefix(e.first);
        EXPECT_EQ(owner, prefix(e.first)) << "mixed line: " << pending.substr(0, 80);
        for (pending += e.second; pending.find('\n') != std::string::npos; pending.erase(0, pending.find('\n') + 1)) {
            EXPECT_EQ(owner, pending.substr(0, owner.size())) << pending.substr(0, 80);
            got.insert(pending.substr(owner.size(), pending.find('\n') - owner.size()));
        }
    }
    EXPECT_TRUE(expected == got) << got.size() << " lines, not all whole or some twice";
}

} // namespace
