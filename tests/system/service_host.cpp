// A tiny own-process service for the service suite. Its start arguments: the log
// file, then anything. Its standard output goes nowhere, so it writes what happens
// to the log file, one line each.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, 0, 0, NO_ERROR, 0, 0, 0};
HANDLE stopEvent = nullptr;
std::string logPath;

void log(const std::string& line) {
    if (FILE* f = std::fopen(logPath.c_str(), "a")) std::fprintf(f, "%s\n", line.c_str()), std::fclose(f);
}

void report(DWORD state) {
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI handler(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_INTERROGATE) return report(status.dwCurrentState), NO_ERROR;
    if (control != SERVICE_CONTROL_STOP) return ERROR_CALL_NOT_IMPLEMENTED;
    report(SERVICE_STOP_PENDING);
    SetEvent(stopEvent);
    return NO_ERROR;
}

void WINAPI serviceMain(DWORD argc, char** argv) {
    if (!(statusHandle = RegisterServiceCtrlHandlerExA(argc > 0 ? argv[0] : "", handler, nullptr))) return;
    logPath = argc > 1 ? argv[1] : "";
    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    report(SERVICE_RUNNING);
    std::string args = "started";
    for (DWORD i = 0; i < argc; ++i) args += std::string(" ") + argv[i];
    log(args);
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
