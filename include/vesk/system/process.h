// Process: a started program, its handle (waits through WindowsHandle) and its
// exit code.
#pragma once

#include <vesk/config.h>
#include <vesk/system/windows_handle.h>

namespace vesk {

class VESK_API Process : public WindowsHandle {
public:
    Process();
    Process(const char* commandLine, DWORD creationFlags);
    ~Process() override;

    // Starts the program of commandLine; the process handle replaces any previous
    // one, the primary thread's handle is closed at once.
    void create(const char* commandLine, DWORD creationFlags);
    // The exit code; STILL_ACTIVE (259) while the process runs.
    DWORD getExitCode() const;

    DWORD getProcessId() const { return processId; }
    DWORD getThreadId() const { return threadId; }

private:
    DWORD processId;
    DWORD threadId;
};

} // namespace vesk
