// Helpers shared by the test suites.
#pragma once

#include <windows.h>

#include <string>

namespace vesk_test {

// True when the tests run under Wine, whose system texts and a few services
// differ from Windows.
bool runningUnderWine();

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
