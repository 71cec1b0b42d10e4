// Helpers shared by the test suites.
#pragma once

#include <windows.h>

#include <string>

namespace vesk_test {

// True when the tests run under Wine, whose system texts and a few services
// differ from Windows.
bool runningUnderWine();

// Open handles of this process. GetProcessHandleCount where it answers (Wine's
// answers 0); otherwise the handle values that GetHandleInformation accepts are
// counted, which sees every handle the process has below 0x4000.
unsigned long openHandleCount();

// A folder of its own under the temp directory, removed with its files at the end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return dir; }
    std::string file(const std::string& name) const { return dir + "\\" + name; }

private:
    std::string dir;
};

} // namespace vesk_test
