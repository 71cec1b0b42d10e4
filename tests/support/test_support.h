// Helpers shared by the test suites.
#pragma once

#include <vesk/errors/exception.h>

#include <windows.h>

#include <string>

namespace vesk_test {

// "<code> <description>" of the WindowsError that f throws; "none" when it throws nothing.
template <class F> std::string errorOf(F f) try {
    return f(), "none";
} catch (const vesk::WindowsError& e) {
    return std::to_string(e.getError()) + " " + e.getDescription();
}

// Open handles of this process: the handle values that GetHandleInformation
// accepts, which sees every handle the process has below 0x4000 (Wine's
// GetProcessHandleCount answers 0).
unsigned long openHandleCount();

// A folder of its own under the temp directory, removed with its files at the end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();

    const std::string& path() const { return dir; }
    std::string file(const std::string& name) const { return dir + "\\" + name; }

private:
    std::string dir;
};

// A registry key of its own under HKEY_CURRENT_USER\Software (per process, so that
// both widths may run at once), emptied first and deleted with everything below it
// at the end, symbolic links included (deleted themselves, never followed). With
// `standsFor`, the key stands in for that predefined root (RegOverridePredefKey)
// for its lifetime.
class ScratchKey {
public:
    explicit ScratchKey(const char* what, HKEY standsFor = nullptr);
    ~ScratchKey();

    operator HKEY() const { return key; }
    // Relative to HKEY_CURRENT_USER.
    const std::string& path() const { return name; }

private:
    std::string name;
    HKEY key = nullptr, root;
};

// True when parent\name is a registry symbolic link (looked at itself, not followed).
bool isRegistryLink(HKEY parent, const char* name);

} // namespace vesk_test
