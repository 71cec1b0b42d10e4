/* Minimal kernel driver for the driver suite: makes the device \Device\<service name>
   with the link \DosDevices\<service name>, answers open and close, and goes away
   again on unload. */
#include <ddk/wdm.h>

static WCHAR deviceBuffer[160], linkBuffer[160];
static UNICODE_STRING deviceName = {0, sizeof deviceBuffer, deviceBuffer};
static UNICODE_STRING linkName = {0, sizeof linkBuffer, linkBuffer};

static NTSTATUS NTAPI openClose(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

static void NTAPI unload(PDRIVER_OBJECT driver) {
    IoDeleteSymbolicLink(&linkName);
    if (driver->DeviceObject) IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    USHORT end = registryPath->Length / sizeof(WCHAR), start = end;
    while (start > 0 && registryPath->Buffer[start - 1] != L'\\') --start;
    UNICODE_STRING leaf;
    leaf.Buffer = registryPath->Buffer + start;
    leaf.Length = leaf.MaximumLength = (USHORT)((end - start) * sizeof(WCHAR));
    RtlAppendUnicodeToString(&deviceName, L"\\Device\\");
    RtlAppendUnicodeStringToString(&deviceName, &leaf);
    RtlAppendUnicodeToString(&linkName, L"\\DosDevices\\");
    RtlAppendUnicodeStringToString(&linkName, &leaf);

    PDEVICE_OBJECT device;
    NTSTATUS status = IoCreateDevice(driver, 0, &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) return status;
    status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = openClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = openClose;
    driver->DriverUnload = unload;
    return STATUS_SUCCESS;
}
