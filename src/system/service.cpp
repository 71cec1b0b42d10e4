// Service control manager handles, services and on-demand kernel drivers.
#include <vesk/errors/exception.h>
#include <vesk/system/service.h>
#include <vesk/text/string.h>
#include <vesk/text/string_helper.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vesk {

namespace {

// A text of the ANSI code page made from a wide argument; null stays null.
class Narrow {
public:
    explicit Narrow(const wchar_t* text) : null(text == nullptr) {
        if (text) value = StringHelper<char>::convert(text, ConstString<wchar_t>::unknownLength, CP_ACP);
    }
    const char* get() const { return null ? nullptr : value.c_str(); }

private:
    bool null;
    std::string value;
};

// The same for a list of names each ended by a zero, the list ended by an empty name.
class NarrowList {
public:
    explicit NarrowList(const wchar_t* list) : null(list == nullptr) {
        for (; list && *list; list += std::char_traits<wchar_t>::length(list) + 1) {
            value += StringHelper<char>::convert(list, ConstString<wchar_t>::unknownLength, CP_ACP);
            value += '\0';
        }
        value += '\0';
    }
    const char* get() const { return null ? nullptr : value.c_str(); }

private:
    bool null;
    std::string value;
};

String quoted(const char* context, const char* name) {
    return String::fromFormat("%s \"%s\"", context, name ? name : "");
}

} // namespace

// ---- ServiceHandle -----------------------------------------------------

void ServiceHandle::close() {
    if (!handle) return;
    SC_HANDLE h = handle;
    // Whatever the answer, the handle is spent: closing it again could only close
    // a handle that meanwhile belongs to someone else.
    handle = nullptr;
    if (!CloseServiceHandle(h)) throw WindowsError("Can't close service handle");
}

ServiceHandle::~ServiceHandle() {
    try {
        close();
    } catch (...) {
    }
}

void ServiceHandle::replaceHandle(SC_HANDLE h) {
    SC_HANDLE old = handle;
    handle = h;
    if (old) CloseServiceHandle(old);
}

// ---- ServiceManager ----------------------------------------------------

ServiceManager::ServiceManager() = default;

ServiceManager::ServiceManager(const char* machine, unsigned long access) { open(machine, access); }

void ServiceManager::open(const char* machine, unsigned long access) {
    close();
    SC_HANDLE h = OpenSCManagerA(machine, "ServicesActive", access);
    if (!h) throw WindowsError("Can't open service manager");
    setHandle(h);
}

void ServiceManager::open(const wchar_t* machine, unsigned long access) { open(Narrow(machine).get(), access); }

void ServiceManager::open(unsigned long access) { open(static_cast<const char*>(nullptr), access); }

// ---- Service -----------------------------------------------------------

Service::Service() = default;

void Service::create(const ServiceManager& manager, const char* name, const char* displayName, unsigned long access,
                     unsigned long type, unsigned long startType, unsigned long errorControl, const char* binaryPath,
                     const char* loadOrderGroup, unsigned long* tagId, const char* dependencies,
                     const char* startName, const char* password) {
    SC_HANDLE h = CreateServiceA(manager.handle, name, displayName, access, type, startType, errorControl,
                                 binaryPath, loadOrderGroup, tagId, dependencies, startName, password);
    if (!h) throw WindowsError(quoted("Can't create service", name));
    replaceHandle(h);
}

void Service::create(const ServiceManager& manager, const wchar_t* name, const wchar_t* displayName,
                     unsigned long access, unsigned long type, unsigned long startType, unsigned long errorControl,
                     const wchar_t* binaryPath, const wchar_t* loadOrderGroup, unsigned long* tagId,
                     const wchar_t* dependencies, const wchar_t* startName, const wchar_t* password) {
    create(manager, Narrow(name).get(), Narrow(displayName).get(), access, type, startType, errorControl,
           Narrow(binaryPath).get(), Narrow(loadOrderGroup).get(), tagId, NarrowList(dependencies).get(),
           Narrow(startName).get(), Narrow(password).get());
}

void Service::open(const ServiceManager& manager, const char* name, unsigned long access) {
    SC_HANDLE h = OpenServiceA(manager.handle, name, access);
    if (!h) throw WindowsError(quoted("Can't open service", name));
    replaceHandle(h);
}

void Service::open(const ServiceManager& manager, const wchar_t* name, unsigned long access) {
    open(manager, Narrow(name).get(), access);
}

void Service::remove() const {
    if (!DeleteService(getHandle())) throw WindowsError("Can't delete service");
}

void Service::start(const char** arguments, unsigned int count) const {
    if (!StartServiceA(getHandle(), count, arguments)) throw WindowsError("Can't start service");
}

void Service::start() const { start(nullptr, 0); }

SERVICE_STATUS Service::stop() {
    SERVICE_STATUS status{};
    if (!ControlService(getHandle(), SERVICE_CONTROL_STOP, &status)) throw WindowsError("Can't stop service");
    return status;
}

SERVICE_STATUS Service::stop(unsigned long timeout) {
    const SERVICE_STATUS status = stop();
    if (status.dwCurrentState == SERVICE_STOPPED) return status;
    return waitForState(SERVICE_STOPPED, timeout, "Can't stop service");
}

SERVICE_STATUS Service::control(unsigned long code) {
    SERVICE_STATUS status{};
    if (!ControlService(getHandle(), code, &status))
        throw WindowsError(String::fromFormat("Can't send control %lu to service", code));
    return status;
}

SERVICE_STATUS Service::queryStatus() const {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(getHandle(), &status)) throw WindowsError("Can't query service status");
    return status;
}

SERVICE_STATUS Service::waitForState(unsigned long state, unsigned long timeout) const {
    return waitForState(state, timeout,
                        String::fromFormat("Can't wait for service state %s", stateName(state)).c_str());
}

SERVICE_STATUS Service::waitForState(unsigned long state, unsigned long timeout, const char* context) const {
    const ULONGLONG begin = GetTickCount64();
    for (;;) {
        const SERVICE_STATUS status = queryStatus();
        if (status.dwCurrentState == state) return status;
        const ULONGLONG elapsed = GetTickCount64() - begin;
        if (elapsed >= timeout)
            throw WindowsError(ERROR_SERVICE_REQUEST_TIMEOUT,
                               String::fromFormat("%s: still %s after %lu ms", context,
                                                  stateName(status.dwCurrentState), timeout));
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(20, timeout - elapsed)));
    }
}

const char* Service::stateName(unsigned long state) {
    switch (state) {
    case SERVICE_STOPPED: return "SERVICE_STOPPED";
    case SERVICE_START_PENDING: return "SERVICE_START_PENDING";
    case SERVICE_STOP_PENDING: return "SERVICE_STOP_PENDING";
    case SERVICE_RUNNING: return "SERVICE_RUNNING";
    case SERVICE_CONTINUE_PENDING: return "SERVICE_CONTINUE_PENDING";
    case SERVICE_PAUSE_PENDING: return "SERVICE_PAUSE_PENDING";
    case SERVICE_PAUSED: return "SERVICE_PAUSED";
    default: return "an unknown service state";
    }
}

// ---- Driver ------------------------------------------------------------

namespace {

String fullPath(const char* path) {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetFullPathNameA(path, static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n == 0) throw WindowsError(quoted("Can't get full path of", path));
        if (n < buffer.size()) return String(buffer.data(), n);
        buffer.resize(n);
    }
}

} // namespace

Driver::Driver() : created(false), started(false) {}

Driver::Driver(const char* name, const char* displayName, const char* path) : created(false), started(false) {
    load(name, displayName, path);
}

Driver::~Driver() {
    try {
        unload();
    } catch (...) {
    }
}

void Driver::load(const char* name, const char* displayName, const char* path) {
    // A second load would otherwise forget what the first one has to take back.
    if (manager.isOpen() || service.isOpen()) unload();
    created = started = false;
    if (!manager.isOpen()) manager.open(READ_CONTROL);
    try {
        service.open(manager, name, READ_CONTROL | SERVICE_START | SERVICE_STOP);
    } catch (const WindowsError&) {
        manager.close();
        manager.open(READ_CONTROL | SC_MANAGER_CREATE_SERVICE);
        service.create(manager, name, displayName, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                       SERVICE_ERROR_IGNORE, fullPath(path).c_str());
        created = true;
    }
    try {
        service.start();
        started = true;
    } catch (const WindowsError& e) {
        if (e.getError() != ERROR_SERVICE_ALREADY_RUNNING) throw;
    }
}

void Driver::unload() {
    if (started) {
        try {
            service.stop();
        } catch (const std::exception&) {
        }
    }
    if (created) {
        try {
            service.remove();
        } catch (const WindowsError&) {
        }
    }
    started = created = false;
    service.close();
    manager.close();
}

} // namespace vesk
