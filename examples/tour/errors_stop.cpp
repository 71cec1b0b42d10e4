// Tour stop: a failed Win32 call thrown and caught as WindowsError.
#include "tour.h"

#include <vesk/errors/exception.h>

static void errorsStop() {
    const char* name = "C:\\no\\such\\folder\\settings.ini";
    try {
        HANDLE file = CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            throw vesk::WindowsError(vesk::String::fromFormat("Can't open \"%s\"", name));
        CloseHandle(file);
    } catch (const vesk::WindowsError& e) {
        std::printf("caught WindowsError %lu (HRESULT 0x%08lX):\n  %s\n", e.getError(),
                    static_cast<unsigned long>(e.getHRESULT()), e.what());
    }
    try {
        throw vesk::CRTError(2, "Can't remove \"old.log\"");
    } catch (const std::exception& e) {
        std::printf("caught as std::exception: %s\n", e.what());
    }
}

TOUR_STOP(20, "Errors: one hierarchy for every failure", errorsStop);
