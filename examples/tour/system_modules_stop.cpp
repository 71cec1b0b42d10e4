// Tour stop: the program's own version block and string table, a procedure looked
// up by name, and an access violation caught as SEHError.
#include "tour.h"

#include <vesk/errors/exception.h>
#include <vesk/system/module.h>
#include <vesk/system/startup.h>
#include <vesk/system/version_info.h>

// A pointer the compiler cannot see through; at run time it is null.
static int* volatile target = nullptr;

// Writes through target, faulting right here. This file is built with
// -fnon-call-exceptions, so the fault can leave the function as an exception.
__attribute__((noinline)) static void store(int value) { *target = value; }

static void systemModulesStop() {
    vesk::WindowsModule self(nullptr); // the program itself, not owned
    const vesk::String path = self.getFilenameA();
    vesk::VersionInfo version(path.c_str());
    std::printf("%s, file version %s, product version %s\n", version.getString("FileDescription").c_str(),
                version.FileVersion().toString().c_str(), version.ProductVersion().toString().c_str());
    std::printf("%s\n", vesk::String::fromResource(1, self.getHandle()).c_str());

    vesk::WindowsModule kernel("kernel32.dll", false);
    std::printf("GetTickCount found: %s; NoSuchFunction found: %s\n",
                kernel.getProcAddress("GetTickCount", true) ? "yes" : "no",
                kernel.getProcAddress("NoSuchFunction", true) ? "yes" : "no");
    try {
        vesk::WindowsModule("no_such_library.dll", true);
    } catch (const vesk::WindowsError& e) {
        std::printf("caught: %s\n", e.getDescription().c_str());
    }

    try {
        vesk::SEHGuard guard; // this thread's code is ready for faults as exceptions
        store(42);
        std::printf("not reached\n");
    } catch (const vesk::SEHError& e) {
        std::printf("caught SEHError with code 0x%08lX (access violation)\n", e.getCode());
    }
}

TOUR_STOP(62, "System: own version block, modules, a fault as SEHError", systemModulesStop);
