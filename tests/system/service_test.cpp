// Services and drivers for real under the system's service manager: the life cycle of
// the suite's own service (create, start with arguments, run, query, stop, delete) in
// both text widths, the errors of a duplicate create and of a missing service, a stop
// that the service ignores ending after a bounded wait, handles closed once, and
// Driver loading and unloading the suite's kernel driver, new and already running.
#include <vesk/errors/exception.h>
#include <vesk/system/service.h>

#include <test_support.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

using namespace vesk;

namespace {

// Names of their own for every run and width: both widths may use one prefix.
std::string uniqueName(const char* what) {
    static int serial = 0;
    // Process ids come back soon under Wine: the start time tells runs apart.
    static const unsigned long long run = GetTickCount64() % 1000000;
    return std::string("VeskTest") + what + (sizeof(void*) == 8 ? "64_" : "32_") +
           std::to_string(GetCurrentProcessId()) + "_" + std::to_string(run) + "_" + std::to_string(++serial);
}

std::string binFile(const char* name) {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path, n);
    return self.substr(0, self.find_last_of('\\') + 1) + name;
}

// The error a call throws, as WindowsError; code 0 when nothing was thrown.
WindowsError errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const WindowsError& e) {
        return e;
    }
    return WindowsError(0, "(nothing thrown)");
}

bool startsWith(const std::string& text, const std::string& head) { return text.compare(0, head.size(), head) == 0; }

// Expects f to throw WindowsError with the code (0: any code) and a message that
// begins with head.
void expectError(const std::function<void()>& f, unsigned long code, const std::string& head) {
    const WindowsError e = errorOf(f);
    EXPECT_TRUE(code ? e.getError() == code : e.getError() != 0) << e.getError() << " " << e.what();
    EXPECT_TRUE(startsWith(e.what(), head)) << e.what();
}

// A deleted service may still open once right afterwards: poll until it is gone.
bool gone(const ServiceManager& manager, const std::string& name) {
    for (int i = 0; i < 250; ++i) {
        Service probe;
        if (errorOf([&] { probe.open(manager, name.c_str(), SERVICE_QUERY_STATUS); }).getError() ==
            ERROR_SERVICE_DOES_NOT_EXIST)
            return true;
        Sleep(20);
    }
    return false;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits until the service's log holds a line.
bool logged(const std::string& path, const std::string& line) {
    for (int i = 0; i < 250; ++i) {
        if (readFile(path).find(line + "\n") != std::string::npos) return true;
        Sleep(20);
    }
    return false;
}

// Takes away what a failed test left behind: a service still installed or running.
struct Leftover {
    std::string name;
    ~Leftover() {
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE service = manager ? OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS) : nullptr;
        if (service) {
            SERVICE_STATUS_PROCESS status{};
            DWORD needed = 0;
            // Asked first: under Wine a service no longer names its process once asked to stop.
            const bool known = QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                                    sizeof status, &needed);
            SERVICE_STATUS ignored;
            ControlService(service, SERVICE_CONTROL_STOP, &ignored);
            Sleep(100);
            if (known && status.dwProcessId && status.dwServiceType == SERVICE_WIN32_OWN_PROCESS)
                if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, status.dwProcessId)) {
                    TerminateProcess(process, 1);
                    CloseHandle(process);
                }
            DeleteService(service);
            CloseServiceHandle(service);
        }
        if (manager) CloseServiceHandle(manager);
    }
};

struct Probe : Service {
    using Service::getHandle;
};

// What the manager keeps of a service's configuration.
struct Config {
    DWORD type, startType, errorControl;
    std::string binary, display, dependencies;
};

Config configOf(const ServiceManager& manager, const std::string& name) {
    Probe probe;
    probe.open(manager, name.c_str(), SERVICE_QUERY_CONFIG);
    alignas(QUERY_SERVICE_CONFIGA) char buffer[8192];
    DWORD needed = 0;
    const auto* c = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
    if (!QueryServiceConfigA(probe.getHandle(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer), sizeof buffer,
                             &needed))
        throw WindowsError("Can't query service configuration");
    std::string dependencies;
    for (const char* d = c->lpDependencies; d && *d; d += std::strlen(d) + 1) dependencies += std::string(d) + "|";
    return {c->dwServiceType, c->dwStartType, c->dwErrorControl, c->lpBinaryPathName, c->lpDisplayName,
            dependencies};
}

struct ForeignHandle : ServiceHandle {
    explicit ForeignHandle(SC_HANDLE h) { setHandle(h); }
};

const std::string host = "\"" + binFile("test_system_service_host.exe") + "\"";

TEST(Service, LifeCycleAndItsErrors) {
    vesk_test::ScratchDir scratch;
    const std::string name = uniqueName("Svc"), log = scratch.file("service.log");
    Leftover leftover{name};
    ServiceManager manager(nullptr, SC_MANAGER_ALL_ACCESS);
    Service service;
    service.create(manager, name.c_str(), ("Vesk " + name).c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                   SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, host.c_str());
    ASSERT_TRUE(service.isOpen());

    Service duplicate;
    expectError(
        [&] {
            duplicate.create(manager, name.c_str(), "again", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                             SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, host.c_str());
        },
        ERROR_SERVICE_EXISTS, "Can't create service \"" + name + "\"");
    EXPECT_FALSE(duplicate.isOpen());

    EXPECT_EQ(service.queryStatus().dwCurrentState, unsigned(SERVICE_STOPPED));
    const char* arguments[] = {log.c_str(), "plain"};
    service.start(arguments, 2);
    EXPECT_EQ(service.waitForState(SERVICE_RUNNING, 10000).dwCurrentState, unsigned(SERVICE_RUNNING));
    // The arguments arrive after the service's own name.
    EXPECT_TRUE(logged(log, "started " + name + " " + log + " plain")) << readFile(log);
    expectError([&] { service.start(); }, ERROR_SERVICE_ALREADY_RUNNING, "Can't start service");

    EXPECT_EQ(service.stop(10000).dwCurrentState, unsigned(SERVICE_STOPPED));
    EXPECT_TRUE(logged(log, "stopped")) << readFile(log);
    expectError([&] { service.waitForState(SERVICE_RUNNING, 50); }, ERROR_SERVICE_REQUEST_TIMEOUT,
                "Can't wait for service state SERVICE_RUNNING: still SERVICE_STOPPED after 50 ms");
    expectError([&] { service.stop(); }, ERROR_SERVICE_NOT_ACTIVE, "Can't stop service");

    service.remove();
    service.close();
    EXPECT_FALSE(service.isOpen());
    EXPECT_TRUE(gone(manager, name));
    expectError([&] { service.open(manager, name.c_str(), SERVICE_ALL_ACCESS); }, ERROR_SERVICE_DOES_NOT_EXIST,
                "Can't open service \"" + name + "\"");
    EXPECT_FALSE(service.isOpen());
}

TEST(Service, WideNamesAndReopeningCloseTheHandleTheyReplace) {
    const std::string name = uniqueName("Wide");
    Leftover leftover{name};
    const std::string display = "Vesk " + name;
    const std::wstring wideName(name.begin(), name.end()), wideHost(host.begin(), host.end()),
        wideDisplay(display.begin(), display.end());
    ServiceManager manager;
    manager.open(static_cast<const wchar_t*>(nullptr), SC_MANAGER_ALL_ACCESS);
    manager.open(SC_MANAGER_ALL_ACCESS); // reopening closes the first handle
    Service service;
    service.create(manager, wideName.c_str(), wideDisplay.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                   SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, wideHost.c_str(), nullptr, nullptr,
                   L"VeskDepA\0VeskDepB\0");
    const Config config = configOf(manager, name);
    EXPECT_EQ(config.binary, host);
    EXPECT_EQ(config.display, display);
    if (!vesk_test::runningUnderWine()) {
        EXPECT_EQ(config.dependencies, "VeskDepA|VeskDepB|");
    } else {
        // Wine's configuration query leaves dependencies out and its registry copy
        // keeps only the first name: that one at least shows the conversion.
        char first[64] = {};
        DWORD size = sizeof first;
        EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, ("System\\CurrentControlSet\\Services\\" + name).c_str(),
                               "DependOnService", RRF_RT_REG_MULTI_SZ, nullptr, first, &size),
                  ERROR_SUCCESS);
        EXPECT_STREQ(first, "VeskDepA");
    }
    EXPECT_EQ(config.startType, unsigned(SERVICE_DEMAND_START));

    // Each open replaces the handle held before; a handle left open would keep the
    // deleted service alive, and it would never go.
    for (int i = 0; i < 3; ++i) service.open(manager, wideName.c_str(), SERVICE_ALL_ACCESS);
    service.remove();
    expectError([&] { service.remove(); }, ERROR_SERVICE_MARKED_FOR_DELETE, "Can't delete service");
    service.close();
    EXPECT_TRUE(gone(manager, name));
}

// Ends the suite's service that ignores stop requests by its own control 128 and
// answers true. Wine takes no control after a stop request and keeps such a service
// "running" even after its process has gone: there the process is ended and the
// answer is false.
bool stopIgnoringService(Service& service, DWORD processId) {
    const WindowsError refused = errorOf([&] { service.control(128); });
    if (refused.getError() == ERROR_SERVICE_CANNOT_ACCEPT_CTRL && vesk_test::runningUnderWine()) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
        EXPECT_TRUE(process != nullptr) << processId << " " << GetLastError();
        if (process) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        }
        return false;
    }
    EXPECT_EQ(refused.getError(), 0u) << refused.what();
    return true;
}

TEST(Service, StopThatIsIgnoredEndsAfterTheBoundedWait) {
    vesk_test::ScratchDir scratch;
    const std::string name = uniqueName("Deaf"), log = scratch.file("deaf.log");
    Leftover leftover{name};
    ServiceManager manager(nullptr, SC_MANAGER_ALL_ACCESS);
    Service service;
    service.create(manager, name.c_str(), ("Vesk " + name).c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                   SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, host.c_str());
    const char* arguments[] = {log.c_str(), "ignore-stop"};
    service.start(arguments, 2);
    service.waitForState(SERVICE_RUNNING, 10000);
    SERVICE_STATUS_PROCESS process{};
    DWORD needed = 0;
    ASSERT_TRUE(QueryServiceStatusEx(static_cast<Probe&>(service).getHandle(), SC_STATUS_PROCESS_INFO,
                                     reinterpret_cast<BYTE*>(&process), sizeof process, &needed));

    expectError([&] { service.stop(300); }, ERROR_SERVICE_REQUEST_TIMEOUT,
                "Can't stop service: still SERVICE_RUNNING after 300 ms");
    EXPECT_TRUE(logged(log, "stop ignored")) << readFile(log);
    EXPECT_EQ(service.queryStatus().dwCurrentState, unsigned(SERVICE_RUNNING));

    const bool stopped = stopIgnoringService(service, process.dwProcessId);
    if (stopped) {
        EXPECT_EQ(service.waitForState(SERVICE_STOPPED, 10000).dwCurrentState, unsigned(SERVICE_STOPPED));
    }
    service.remove();
    service.close();
    if (stopped) {
        EXPECT_TRUE(gone(manager, name));
    }
}

TEST(Service, HandlesAreClosedOnceAndClosedOnesFailClearly) {
    if (!vesk_test::runningUnderWine()) {
        // A handle the system refuses to close is given up all the same: the second
        // close and the destructor do not try it again. (Wine's CloseServiceHandle
        // reads through any handle it is given and crashes on a bad one.)
        ForeignHandle bogus(reinterpret_cast<SC_HANDLE>(static_cast<UINT_PTR>(0xBAD0)));
        expectError([&] { bogus.close(); }, 0, "Can't close service handle");
        EXPECT_FALSE(bogus.isOpen());
        EXPECT_EQ(errorOf([&] { bogus.close(); }).getError(), 0u);
    }
    Service closed;
    expectError([&] { closed.start(); }, ERROR_INVALID_HANDLE, "Can't start service");
    expectError([&] { closed.queryStatus(); }, ERROR_INVALID_HANDLE, "Can't query service status");
    expectError([&] { closed.remove(); }, ERROR_INVALID_HANDLE, "Can't delete service");
    expectError([&] { closed.control(128); }, ERROR_INVALID_HANDLE, "Can't send control 128 to service");

    ServiceManager manager(nullptr, SC_MANAGER_CONNECT);
    expectError([&] { closed.open(manager, L"VeskNoSuchService", SERVICE_ALL_ACCESS); },
                ERROR_SERVICE_DOES_NOT_EXIST, "Can't open service \"VeskNoSuchService\"");
    const WindowsError machine = errorOf([] {
        ServiceManager remote;
        remote.open(L"\\\\no-such-machine.invalid", SC_MANAGER_CONNECT);
    });
    // Wine opens its own manager whatever machine is named.
    if (!vesk_test::runningUnderWine() || machine.getError() != 0) {
        EXPECT_NE(machine.getError(), 0u);
        EXPECT_TRUE(startsWith(machine.what(), "Can't open service manager")) << machine.what();
    }
}

// ---- Driver ------------------------------------------------------------

bool deviceAnswers(const std::string& name) {
    HANDLE device = CreateFileA(("\\\\.\\" + name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return false;
    CloseHandle(device);
    return true;
}

TEST(Driver, LoadsANewDriverAndTakesItAway) {
    const std::string name = uniqueName("Drv");
    Leftover leftover{name};
    ServiceManager manager(nullptr, SC_MANAGER_ALL_ACCESS);
    Driver driver;
    EXPECT_FALSE(driver.isLoaded());
    // A relative path: the service gets the full one.
    ASSERT_TRUE(SetCurrentDirectoryA(binFile("").c_str()));
    driver.load(name.c_str(), ("Vesk " + name).c_str(), "vesk_test_driver.sys");
    EXPECT_TRUE(driver.isLoaded());
    EXPECT_TRUE(driver.wasCreated());
    EXPECT_TRUE(driver.wasStarted());
    EXPECT_TRUE(deviceAnswers(name));

    const Config config = configOf(manager, name);
    EXPECT_EQ(config.type, unsigned(SERVICE_KERNEL_DRIVER));
    EXPECT_EQ(config.startType, unsigned(SERVICE_DEMAND_START));
    EXPECT_EQ(config.errorControl, unsigned(SERVICE_ERROR_IGNORE));
    EXPECT_EQ(config.binary, binFile("vesk_test_driver.sys"));

    driver.unload();
    EXPECT_FALSE(driver.isLoaded());
    EXPECT_TRUE(gone(manager, name));
    EXPECT_FALSE(deviceAnswers(name));
    driver.unload(); // nothing left to do, nothing thrown
    EXPECT_FALSE(driver.isLoaded());
}

TEST(Driver, LeavesADriverThatRanBeforeAsItWas) {
    const std::string name = uniqueName("Own");
    Leftover leftover{name};
    ServiceManager manager(nullptr, SC_MANAGER_ALL_ACCESS);
    Service installed;
    installed.create(manager, name.c_str(), ("Vesk " + name).c_str(), SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                     SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binFile("vesk_test_driver.sys").c_str());
    installed.start();
    installed.waitForState(SERVICE_RUNNING, 10000);
    {
        Driver driver(name.c_str(), "unused", "no-such-file.sys");
        EXPECT_TRUE(driver.isLoaded());
        EXPECT_FALSE(driver.wasCreated());
        EXPECT_FALSE(driver.wasStarted()); // its start failed with 1056, which is dropped
        // Loading again takes back the first load (nothing here) before the second.
        driver.load(name.c_str(), "unused", "no-such-file.sys");
        EXPECT_FALSE(driver.wasCreated());
    }
    EXPECT_EQ(installed.queryStatus().dwCurrentState, unsigned(SERVICE_RUNNING));
    EXPECT_TRUE(deviceAnswers(name));
    installed.stop(10000);
    EXPECT_FALSE(deviceAnswers(name));
    installed.remove();
    installed.close();
    EXPECT_TRUE(gone(manager, name));
}

TEST(Driver, FailedLoadLeavesWhatItCreatedForUnload) {
    const std::string name = uniqueName("Bad");
    Leftover leftover{name};
    ServiceManager manager(nullptr, SC_MANAGER_ALL_ACCESS);
    Driver driver;
    // Installing works; starting a file that is not there does not.
    expectError([&] { driver.load(name.c_str(), ("Vesk " + name).c_str(), "no-such-file.sys"); }, 0,
                "Can't start service");
    EXPECT_TRUE(driver.wasCreated());
    EXPECT_FALSE(driver.wasStarted());
    driver.unload();
    EXPECT_TRUE(gone(manager, name));
}

} // namespace
