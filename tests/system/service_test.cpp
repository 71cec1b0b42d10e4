// Services and drivers for real under the system's service manager: the life cycle of
// the suite's own service, which is this program (created from wide texts, started
// with arguments, queried, stopped, deleted) and the errors of each step; Driver
// loading and unloading the suite's kernel driver, new, already running, and failing
// half-way.
#include <vesk/system/module.h>
#include <vesk/system/service.h>

#include <test_support.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

using namespace vesk;

namespace {

std::string binFile(const char* name) {
    const std::string self = WindowsModule(nullptr).getFilenameA();
    return self.substr(0, self.find_last_of('\\') + 1) + name;
}

// The suite's own service is this program, started to run Host.DISABLED_Service. Its
// start arguments: the log file, then anything; it writes what happens there.
const std::string host = "\"" + WindowsModule(nullptr).getFilenameA() + "\" --gtest_also_run_disabled_tests --gtest_filter=Host.DISABLED_Service";
SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, 0, 0, NO_ERROR, 0, 0, 0};
const HANDLE stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);

void report(DWORD state) {
    status.dwCurrentState = state, status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI control(DWORD code, DWORD, void*, void*) {
    if (code == SERVICE_CONTROL_STOP) return report(SERVICE_STOP_PENDING), SetEvent(stopEvent), NO_ERROR;
    return code == SERVICE_CONTROL_INTERROGATE ? report(status.dwCurrentState), NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI serviceMain(DWORD argc, char** argv) {
    statusHandle = RegisterServiceCtrlHandlerExA(argv[0], control, nullptr);
    std::string line = "started", log = argc > 1 ? argv[1] : "nul";
    for (DWORD i = 0; i < argc; ++i) line += std::string(" ") + argv[i];
    std::ofstream(log) << line << std::endl; // before it is seen running
    report(SERVICE_RUNNING);
    WaitForSingleObject(stopEvent, INFINITE), report(SERVICE_STOPPED);
}

TEST(Host, DISABLED_Service) {
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(""), serviceMain}, {nullptr, nullptr}};
    EXPECT_TRUE(StartServiceCtrlDispatcherA(table));
}

using vesk_test::errorOf;

template <class F> bool eventually(F done) {
    for (int i = 0; i < 250 && !done(); ++i) Sleep(20);
    return done();
}

// A manager and a name of its own for each test (process ids come back soon under
// Wine: the start time tells runs apart); what a failed test left is taken away.
class Services : public ::testing::Test {
protected:
    ~Services() override {
        const SC_HANDLE raw = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), service = OpenServiceA(raw, name.c_str(), SERVICE_ALL_ACCESS);
        SERVICE_STATUS_PROCESS status{}; // asked first: Wine forgets the process once asked to stop
        SERVICE_STATUS ignored;
        QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status, &ignored.dwWin32ExitCode);
        ControlService(service, SERVICE_CONTROL_STOP, &ignored);
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, status.dwProcessId)) TerminateProcess(process, 1), CloseHandle(process);
        DeleteService(service), CloseServiceHandle(service), CloseServiceHandle(raw);
    }
    void create(Service& service, const std::string& binary = host, unsigned long type = SERVICE_WIN32_OWN_PROCESS) {
        service.create(manager, name.c_str(), ("Vesk " + name).c_str(), SERVICE_ALL_ACCESS, type, SERVICE_DEMAND_START,
                       SERVICE_ERROR_IGNORE, binary.c_str());
    }
    QUERY_SERVICE_CONFIGA* config() {
        const SC_HANDLE m = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT), s = OpenServiceA(m, name.c_str(), SERVICE_QUERY_CONFIG);
        DWORD needed = 0;
        EXPECT_TRUE(QueryServiceConfigA(s, reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer), sizeof buffer, &needed));
        return CloseServiceHandle(s), CloseServiceHandle(m), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
    }
    bool gone() { // a deleted service may still open once right afterwards
        return eventually([&] { return errorOf([&] { Service().open(manager, name.c_str(), SERVICE_QUERY_STATUS); }).find("1060 ") == 0; });
    }

    vesk_test::ScratchDir scratch;
    const std::string name = std::string("VeskTestSvc") + (sizeof(void*) == 8 ? "64_" : "32_") +
                             std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount64() % 1000000),
                      log = scratch.file("service.log");
    ServiceManager manager{nullptr, SC_MANAGER_ALL_ACCESS};
    alignas(QUERY_SERVICE_CONFIGA) char buffer[8192];
};

TEST_F(Services, LifeCycleAndItsErrors) {
    const std::wstring wide(name.begin(), name.end()), wideHost(host.begin(), host.end());
    ServiceManager reopened;
    reopened.open(static_cast<const wchar_t*>(nullptr), SC_MANAGER_ALL_ACCESS), reopened.open(SC_MANAGER_ALL_ACCESS); // closes the first
    Service service, duplicate;
    service.create(reopened, wide.c_str(), wide.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                   SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, wideHost.c_str(), nullptr, nullptr, L"VeskDepA\0VeskDepB\0");
    const QUERY_SERVICE_CONFIGA* c = config();
    char first[64] = {}; // Wine's registry copy of the dependencies keeps the first name only
    DWORD size = sizeof first;
    EXPECT_TRUE(c->lpBinaryPathName == host && c->lpDisplayName == name &&
                !RegGetValueA(HKEY_LOCAL_MACHINE, ("System\\CurrentControlSet\\Services\\" + name).c_str(), "DependOnService",
                              RRF_RT_REG_MULTI_SZ, nullptr, first, &size) && std::string(first) == "VeskDepA");
    EXPECT_EQ(errorOf([&] { create(duplicate); }) + std::to_string(duplicate.isOpen()), "1073 Can't create service \"" + name + "\"0");
    for (int i = 0; i < 3; ++i) service.open(manager, wide.c_str(), SERVICE_ALL_ACCESS); // each replaces the last
    EXPECT_EQ(service.queryStatus().dwCurrentState, unsigned(SERVICE_STOPPED));
    const char* arguments[] = {log.c_str(), "plain"};
    EXPECT_EQ((service.start(arguments, 2), service.waitForState(SERVICE_RUNNING, 10000).dwCurrentState), unsigned(SERVICE_RUNNING));
    std::stringstream logged;
    EXPECT_EQ((logged << std::ifstream(log).rdbuf(), logged.str()), "started " + name + " " + log + " plain\n") << "arguments arrive after the service's name";
    EXPECT_EQ(errorOf([&] { service.start(); }), "1056 Can't start service");
    EXPECT_EQ(service.stop(10000).dwCurrentState, unsigned(SERVICE_STOPPED));
    EXPECT_EQ(errorOf([&] { service.waitForState(SERVICE_RUNNING, 50); }),
              "1053 Can't wait for service state SERVICE_RUNNING: still SERVICE_STOPPED after 50 ms");
    EXPECT_EQ(errorOf([&] { service.stop(); }), "1062 Can't stop service");
    EXPECT_EQ((service.remove(), errorOf([&] { service.remove(); })), "1072 Can't delete service");
    EXPECT_TRUE((service.close(), !service.isOpen() && gone())) << "a handle left open keeps a deleted service alive";
    EXPECT_EQ(errorOf([&] { service.open(manager, name.c_str(), SERVICE_ALL_ACCESS); }), "1060 Can't open service \"" + name + "\"");
    const std::pair<std::function<void()>, const char*> closed[] = {
        {[&] { service.start(); }, "6 Can't start service"}, {[&] { service.queryStatus(); }, "6 Can't query service status"},
        {[&] { service.remove(); }, "6 Can't delete service"}, {[&] { service.control(128); }, "6 Can't send control 128 to service"}};
    for (const auto& [call, error] : closed) EXPECT_EQ(errorOf(call), error);
}

TEST_F(Services, DriverLoadsANewDriverAndTakesItAway) {
    Driver driver;
    Service probe;
    ASSERT_TRUE(SetCurrentDirectoryA(binFile("").c_str())); // a relative path: the service gets the full one
    driver.load(name.c_str(), ("Vesk " + name).c_str(), "vesk_test_driver.sys");
    EXPECT_TRUE(driver.isLoaded() && driver.wasCreated() && driver.wasStarted() &&
                (probe.open(manager, name.c_str(), SERVICE_QUERY_STATUS), probe.queryStatus().dwCurrentState) == SERVICE_RUNNING);
    probe.close();
    const QUERY_SERVICE_CONFIGA* c = config();
    EXPECT_TRUE(c->dwServiceType == SERVICE_KERNEL_DRIVER && c->dwStartType == SERVICE_DEMAND_START &&
                c->dwErrorControl == SERVICE_ERROR_IGNORE && c->lpBinaryPathName == binFile("vesk_test_driver.sys"));
    EXPECT_TRUE((driver.unload(), driver.unload(), !driver.isLoaded()) && gone()) << "the second time: nothing left to do, nothing thrown";
    // Installing works, starting a file that is not there does not: unload takes back the install.
    EXPECT_NE(errorOf([&] { driver.load(name.c_str(), "Vesk", "no-such-file.sys"); }).find(" Can't start service"), std::string::npos);
    EXPECT_TRUE(driver.wasCreated() && !driver.wasStarted() && (driver.unload(), gone()));
}

TEST_F(Services, DriverLeavesADriverThatRanBeforeAsItWas) {
    Service installed;
    create(installed, binFile("vesk_test_driver.sys"), SERVICE_KERNEL_DRIVER);
    installed.start(), installed.waitForState(SERVICE_RUNNING, 10000);
    {
        Driver driver(name.c_str(), "unused", "no-such-file.sys");
        EXPECT_TRUE(driver.isLoaded() && !driver.wasCreated() && !driver.wasStarted()); // 1056 is dropped
        EXPECT_FALSE((driver.load(name.c_str(), "unused", "no-such-file.sys"), driver.wasCreated())) << "takes back the first load (nothing) first";
    }
    EXPECT_EQ(installed.queryStatus().dwCurrentState, unsigned(SERVICE_RUNNING));
}

} // namespace
