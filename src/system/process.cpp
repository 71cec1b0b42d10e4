// Process: starting a program and reading its exit code.
#include <vesk/errors/exception.h>
#include <vesk/system/process.h>
#include <vesk/text/string.h>

#include <vector>

namespace vesk {

Process::Process() : processId(0), threadId(0) {}

Process::Process(const char* commandLine, DWORD creationFlags) : processId(0), threadId(0) {
    create(commandLine, creationFlags);
}

Process::~Process() = default;

void Process::create(const char* commandLine, DWORD creationFlags) {
    // CreateProcessA may write into the command line: hand it a copy.
    const String text(commandLine);
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    // The structure's own size: 68 bytes in 32-bit programs, 104 in 64-bit ones.
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, creationFlags, nullptr, nullptr, &startup, &info))
        throw WindowsError("Can't create process \"" + text + "\"");
    CloseHandle(info.hThread);
    setHandle(info.hProcess);
    processId = info.dwProcessId;
    threadId = info.dwThreadId;
}

DWORD Process::getExitCode() const {
    // An empty object holds INVALID_HANDLE_VALUE, which the system reads as the
    // current process: it would answer STILL_ACTIVE for a process never started.
    if (!isOpen()) throw WindowsError(ERROR_INVALID_HANDLE, "Can't retrieve process exit code");
    DWORD code = 0;
    if (!GetExitCodeProcess(getHandle(), &code)) throw WindowsError("Can't retrieve process exit code");
    return code;
}

} // namespace vesk
