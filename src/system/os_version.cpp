// The operating system's version record, read once per process.
#include <vesk/system/os_version.h>

#include <vesk/errors/exception.h>

#include <cstring>
#include <string>

namespace vesk {

namespace {

OSVERSIONINFOEXA readVersion() {
    OSVERSIONINFOEXA version;
    std::memset(&version, 0, sizeof version);
    // Systems older than NT 4 SP6 know only the plain record.
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)))
            throw WindowsError("Can't retrieve OS version");
    }
    return version;
}

OSVERSIONINFOEXW widenVersion(const OSVERSIONINFOEXA& narrow) {
    OSVERSIONINFOEXW wide;
    std::memset(&wide, 0, sizeof wide);
    // The wide record is 128 characters' worth of bytes longer: 284 or 276.
    wide.dwOSVersionInfoSize = narrow.dwOSVersionInfoSize + 128;
    wide.dwMajorVersion = narrow.dwMajorVersion;
    wide.dwMinorVersion = narrow.dwMinorVersion;
    wide.dwBuildNumber = narrow.dwBuildNumber;
    wide.dwPlatformId = narrow.dwPlatformId;
    wide.wServicePackMajor = narrow.wServicePackMajor;
    wide.wServicePackMinor = narrow.wServicePackMinor;
    wide.wSuiteMask = narrow.wSuiteMask;
    wide.wProductType = narrow.wProductType;
    wide.wReserved = narrow.wReserved;
    const std::size_t length = strnlen(narrow.szCSDVersion, sizeof narrow.szCSDVersion);
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, narrow.szCSDVersion, int(length), wide.szCSDVersion,
                            int(sizeof wide.szCSDVersion / sizeof wide.szCSDVersion[0]) - 1);
    return wide;
}

} // namespace

// Function-local statics: filled once, safely even on concurrent first calls;
// a failed first call throws and leaves them unfilled for the next call.
const OSVERSIONINFOEXA& getOSVersionA() {
    static const OSVERSIONINFOEXA version = readVersion();
    return version;
}

const OSVERSIONINFOEXW& getOSVersionW() {
    static const OSVERSIONINFOEXW version = widenVersion(getOSVersionA());
    return version;
}

bool isWindowsXPOrHigher(const OSVERSIONINFOEXA& v) {
    return v.dwMajorVersion >= 6 || (v.dwMajorVersion == 5 && v.dwMinorVersion >= 1);
}
bool isWindowsXPOrHigher() { return isWindowsXPOrHigher(getOSVersionA()); }

bool isWindows95(const OSVERSIONINFOEXA& v) {
    return v.dwMajorVersion == 4 && v.dwMinorVersion == 0 && v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}
bool isWindows95() { return isWindows95(getOSVersionA()); }

} // namespace vesk
