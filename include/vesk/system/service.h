// The service control manager and the services it keeps, and Driver, which installs
// and starts a kernel driver for the time a program needs it and takes it away again.
//
//   vesk::ServiceManager manager(nullptr, SC_MANAGER_ALL_ACCESS);
//   vesk::Service service;
//   service.open(manager, "Spooler", SERVICE_ALL_ACCESS);
//   service.stop(10000);   // asks it to stop and waits at most 10 s for it
//
// Every failure is thrown as WindowsError with the system's error code.
#pragma once

#include <vesk/config.h>

#include <boost/noncopyable.hpp>

#include <winsvc.h>

namespace vesk {

// Owner of one handle of the service control manager, closed exactly once.
class VESK_API ServiceHandle : private boost::noncopyable {
public:
    bool isOpen() const { return handle != nullptr; }
    // Closes the handle when open. The handle is given up even when the system
    // refuses to close it ("Can't close service handle"), so it is never closed twice.
    void close();
    // Closes the handle; a failure is dropped.
    ~ServiceHandle();

protected:
    ServiceHandle() = default;
    SC_HANDLE getHandle() const { return handle; }
    // Stores the handle without closing the held one.
    void setHandle(SC_HANDLE h) { handle = h; }
    // Stores the handle and closes the one held before.
    void replaceHandle(SC_HANDLE h);

private:
    friend class Service;
    SC_HANDLE handle = nullptr;
};

class VESK_API ServiceManager : public ServiceHandle {
public:
    ServiceManager();
    // Opens the active services database of the machine (null: this one).
    ServiceManager(const char* machine, unsigned long access);

    void open(const char* machine, unsigned long access);
    void open(const wchar_t* machine, unsigned long access);
    void open(unsigned long access);
};

class VESK_API Service : public ServiceHandle {
public:
    Service();

    void create(const ServiceManager& manager, const char* name, const char* displayName, unsigned long access,
                unsigned long type, unsigned long startType, unsigned long errorControl, const char* binaryPath,
                const char* loadOrderGroup = nullptr, unsigned long* tagId = nullptr,
                const char* dependencies = nullptr, const char* startName = nullptr,
                const char* password = nullptr);
    // dependencies: names each ended by a zero, the list ended by an empty name.
    void create(const ServiceManager& manager, const wchar_t* name, const wchar_t* displayName,
                unsigned long access, unsigned long type, unsigned long startType, unsigned long errorControl,
                const wchar_t* binaryPath, const wchar_t* loadOrderGroup = nullptr, unsigned long* tagId = nullptr,
                const wchar_t* dependencies = nullptr, const wchar_t* startName = nullptr,
                const wchar_t* password = nullptr);
    void open(const ServiceManager& manager, const char* name, unsigned long access);
    void open(const ServiceManager& manager, const wchar_t* name, unsigned long access);

    // Marks the service for deletion; it goes once stopped and every handle is closed.
    void remove() const;
    void start(const char** arguments, unsigned int count) const;
    void start() const;

    // Asks the service to stop and returns the status it reported at once.
    SERVICE_STATUS stop();
    // Asks the service to stop and waits at most timeout milliseconds until it has
    // stopped. A service that ignores the request ends the wait with WindowsError
    // ERROR_SERVICE_REQUEST_TIMEOUT, "Can't stop service: still <state> after <n> ms".
    SERVICE_STATUS stop(unsigned long timeout);
    // Sends any control code (SERVICE_CONTROL_*, or 128 to 255 for the service's own).
    SERVICE_STATUS control(unsigned long code);
    SERVICE_STATUS queryStatus() const;
    // Polls until the service is in state (SERVICE_RUNNING, SERVICE_STOPPED, ...) and
    // returns that status; after timeout milliseconds throws WindowsError
    // ERROR_SERVICE_REQUEST_TIMEOUT naming the state it is still in.
    SERVICE_STATUS waitForState(unsigned long state, unsigned long timeout) const;

    // "SERVICE_RUNNING" and so on; "service state <n>" for others.
    static const char* stateName(unsigned long state);

private:
    SERVICE_STATUS waitForState(unsigned long state, unsigned long timeout, const char* context) const;
};

// A kernel driver loaded on demand: load installs it as a demand-start kernel driver
// service unless it is installed already, and starts it unless it runs already;
// unload takes back exactly what load did.
class VESK_API Driver : private boost::noncopyable {
public:
    Driver();
    Driver(const char* name, const char* displayName, const char* path);
    // unload(); failures are dropped.
    ~Driver();

    // A driver that is loaded already is unloaded first.
    void load(const char* name, const char* displayName, const char* path);
    // Stops the driver if load started it and removes it if load installed it
    // (failures of both are dropped), then closes the handles. Calling it again
    // does nothing.
    void unload();

    bool isLoaded() const { return service.isOpen(); }
    bool wasCreated() const { return created; }
    bool wasStarted() const { return started; }

private:
    ServiceManager manager;
    Service service;
    bool created;
    bool started;
};

} // namespace vesk
