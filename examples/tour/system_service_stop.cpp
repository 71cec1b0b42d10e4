// Tour stop: a service installed, started, stopped and removed again, and the names
// that traces give to window messages.
#include "tour.h"

#include <vesk/errors/debug.h>
#include <vesk/errors/exception.h>
#include <vesk/gui/wm_identifier.h>
#include <vesk/system/service.h>

#include <string>

namespace {

std::string besideTour(const char* file) {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path, n);
    return self.substr(0, self.find_last_of('\\') + 1) + file;
}

void runSampleService() {
    // Process ids come back soon: the tick count keeps an interrupted run's leftover apart.
    const vesk::String name = vesk::String::fromFormat("VeskTourService%lu_%lu", GetCurrentProcessId(),
                                                       static_cast<unsigned long>(GetTickCount() % 100000));
    const std::string binary = "\"" + besideTour("tour_service.exe") + "\"";
    vesk::ServiceManager manager(nullptr, SC_MANAGER_ALL_ACCESS);
    vesk::Service service;
    service.create(manager, name.c_str(), "Vesk++ tour service", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                   SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, binary.c_str());
    std::printf("installed %s\n", name.c_str());
    try {
        service.start();
        const SERVICE_STATUS running = service.waitForState(SERVICE_RUNNING, 10000);
        std::printf("started: %s\n", vesk::Service::stateName(running.dwCurrentState));
        // Asks it to stop and waits at most 10 s: a service that ignores the request
        // ends the wait with an error instead of a hang.
        std::printf("stopped: %s\n", vesk::Service::stateName(service.stop(10000).dwCurrentState));
    } catch (...) {
        service.remove();
        throw;
    }
    service.remove();
    std::printf("removed %s\n", name.c_str());
}

void serviceStop() {
    try {
        runSampleService();
    } catch (const vesk::WindowsError& e) {
        // Installing services takes an administrator on Windows.
        std::printf("service manager: %s\n", e.what());
    }
    vesk::dbg << "the tour traces this line for a debugger" << std::endl;
    const unsigned messages[] = {WM_PAINT, WM_LBUTTONDOWN, 0x0385, WM_USER + 5, WM_APP, 0x03FF};
    for (unsigned m : messages) std::printf("message 0x%04X is %s\n", m, vesk::getWMIdentifier(m).c_str());
}

} // namespace

TOUR_STOP(64, "Services: a sample service's life, and message names", serviceStop);
