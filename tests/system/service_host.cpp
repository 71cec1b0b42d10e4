// A tiny own-process service for the service suite. Start arguments: the log file
// and, optionally, "ignore-stop" (the service then answers a stop request by going
// on running; the private control 128 stops it in any case). Its standard output
// goes nowhere, so it writes what happens to the log file, one line each.
#include <vesk/errors/debug.h>
#include <vesk/text/string.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status{};
HANDLE stopEvent = nullptr;
bool ignoreStop = false;
std::string logPath;

void log(const vesk::String& line) {
    vesk::dbg << line << std::endl;
    if (FILE* f = std::fopen(logPath.c_str(), "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

void report(DWORD state) {
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = NO_ERROR;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI handler(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        if (ignoreStop) {
            log("stop ignored");
            report(SERVICE_RUNNING);
            return NO_ERROR;
        }
        report(SERVICE_STOP_PENDING);
        SetEvent(stopEvent);
        return NO_ERROR;
    case 128:
        report(SERVICE_STOP_PENDING);
        SetEvent(stopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        report(status.dwCurrentState);
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI serviceMain(DWORD argc, char** argv) {
    statusHandle = RegisterServiceCtrlHandlerExA(argc > 0 ? argv[0] : "", handler, nullptr);
    if (!statusHandle) return;
    if (argc > 1) logPath = argv[1];
    ignoreStop = argc > 2 && std::strcmp(argv[2], "ignore-stop") == 0;
    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    report(SERVICE_RUNNING);
    vesk::String args;
    for (DWORD i = 0; i < argc; ++i) args += vesk::String(" ") + argv[i];
    log("started" + args);
    WaitForSingleObject(stopEvent, INFINITE);
    log("stopped");
    report(SERVICE_STOPPED);
}

} // namespace

int main() {
    char empty[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{empty, serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
