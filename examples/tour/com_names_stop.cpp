// Tour stop: readable names out of the box. vesknames.exe (beside the tour) records
// the generated ..\share\vesk\HRESULTs.txt and GUIDs.txt under the library's key;
// the look-ups then name the HRESULT of a failed call and an interface the system
// has not registered. The files are unregistered again at the end. (The look-ups
// read the files once per process, so this stop comes before the other COM stop.)
#include "tour.h"

#include <vesk/com/com_error.h>
#include <vesk/com/guid.h>

#include <objbase.h>

#include <string>

namespace {

// Runs vesknames.exe from the tour's folder; its exit code, or -1.
long vesknames(const char* arguments) {
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command(self, n);
    command = "\"" + command.substr(0, command.find_last_of('\\')) + "\\vesknames.exe\" " + arguments;
    std::fflush(stdout);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    WaitForSingleObject(info.hProcess, 60000);
    DWORD code = DWORD(-1);
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return long(code);
}

void namesStop() {
    std::printf("vesknames /register:\n");
    if (vesknames("/register") != 0) {
        std::printf("  the name files could not be registered; names stay numbers\n");
        return;
    }

    // A thread already in the multithreaded apartment asks for a single-threaded one.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const HRESULT changed = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::printf("CoInitializeEx(apartment-threaded) on a multithreaded thread: %s\n",
                vesk::getHRESULTIdentifier(changed).c_str());
    if (SUCCEEDED(changed)) CoUninitialize();

    const GUID nowhere = vesk::toGUID("{7D3F0A52-91C4-4E8B-B6A1-2F5C9E0D7B63}");
    IUnknown* object = nullptr;
    const HRESULT missing = CoCreateInstance(nowhere, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object));
    try {
        vesk::HRESULTHolder::throwOnError(missing, "Can't create the tour's unknown class");
        if (object) object->Release();
    } catch (const vesk::COMError& e) {
        std::printf("CoCreateInstance of a class nobody registered: %s\n", e.what());
    }
    CoUninitialize();

    std::printf("the IID of IShellExtInit: %s\n",
                vesk::toAString(vesk::toGUID("{000214E8-0000-0000-C000-000000000046}"), true).c_str());
    std::printf("a number no file names: %s\n", vesk::getHRESULTIdentifier(long(0x8BADF00D)).c_str());

    std::printf("vesknames /unregister:\n");
    vesknames("/unregister");
}

} // namespace

TOUR_STOP(68, "COM: readable names from the generated name files", namesStop);
