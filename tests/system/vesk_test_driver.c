/* Minimal kernel driver for the driver suite: it loads, runs and unloads; the
   service manager's state shows which. */
#include <ddk/wdm.h>

static void NTAPI unload(PDRIVER_OBJECT driver) { (void)driver; }

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    return (void)registryPath, driver->DriverUnload = unload, STATUS_SUCCESS;
}
