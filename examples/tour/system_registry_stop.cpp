// Tour stop: a registry key under HKEY_CURRENT_USER written, read back through
// its snapshots and removed again; the operating system's version.
#include "tour.h"

#include <vesk/errors/exception.h>
#include <vesk/system/registry.h>

static void registryStop() {
    const char* name = "Software\\Vesk Tour";
    try {
        {
            vesk::RegistryKey key;
            key.create(HKEY_CURRENT_USER, name);
            key.setValue("Greeting", "Hello from the tour");
            key.setValue("Visits", 3ul);
            vesk::RegistryKey colours;
            colours.create(key, "Colours");
            colours.setValue("Background", "navy");
        }
        vesk::RegistryKey key(HKEY_CURRENT_USER, name);
        std::printf("HKCU\\%s\n", name);
        std::printf("  Greeting = \"%s\", Visits = %lu\n", key.getStringValue("Greeting").c_str(),
                    key.getDWordValue("Visits"));
        for (const auto& value : vesk::RegistryKey::ValueEnumeration<char>(key))
            std::printf("  value %-10s type %lu, %lu bytes\n", value.name.c_str(), value.type, value.dataSize);
        for (const auto& subkey : vesk::RegistryKey::KeyEnumeration<char>(key))
            std::printf("  subkey %s\n", subkey.name.c_str());
        key.close();
        vesk::RegistryKey(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS).deleteKeyRecursive("Vesk Tour");
        std::printf("  removed again: %s\n", vesk::RegistryKey::existsKey(HKEY_CURRENT_USER, name) ? "no" : "yes");
    } catch (const std::exception& e) {
        std::printf("registry failure: %s\n", e.what());
    }
    const OSVERSIONINFOEXA& version = vesk::getOSVersionA();
    std::printf("Windows %lu.%lu build %lu%s%s (XP or higher: %s)\n", version.dwMajorVersion,
                version.dwMinorVersion, version.dwBuildNumber, version.szCSDVersion[0] ? ", " : "",
                version.szCSDVersion, vesk::isWindowsXPOrHigher() ? "yes" : "no");
}

TOUR_STOP(62, "System: the registry and the OS version", registryStop);
