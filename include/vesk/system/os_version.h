// The operating system's version, read once per process.
#pragma once

#include <vesk/config.h>

namespace vesk {

// Filled on the first call; a failure throws WindowsError "Can't retrieve OS
// version" and the next call tries again.
VESK_API const OSVERSIONINFOEXA& getOSVersionA();
// The same numbers with the service-pack text in UTF-16.
VESK_API const OSVERSIONINFOEXW& getOSVersionW();

// Windows XP (5.1) or any later version.
VESK_API bool isWindowsXPOrHigher();
VESK_API bool isWindowsXPOrHigher(const OSVERSIONINFOEXA& version);
// Windows 95: version 4.0 on the Windows 9x platform (VER_PLATFORM_WIN32_WINDOWS).
VESK_API bool isWindows95();
VESK_API bool isWindows95(const OSVERSIONINFOEXA& version);

} // namespace vesk
