// Self-registration for real: the sample server registered with the system's
// regsvr32 (the 32-bit one, and the 32-bit registry view, under a 32-bit test),
// every key checked, the sample's classes created and called from a client
// process of its own, then unregistered: the class keys and the filter's
// Instance key go, the file-type keys and "Approved" values stay, and nothing
// else changed.
#include "sample_server.h"

#include <vesk/com/guid.h>

#include <gtest/gtest.h>

#include <uuids.h>

#include <set>
#include <string>
#include <vector>

using namespace vesk;

namespace {

std::string binDirectory() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.rfind('\\'));
}

// Runs a program to its end (at most a minute); its exit code, or -1.
long run(const std::string& commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    const std::string dir = binDirectory();
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup, &process))
        return -1;
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    else TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread), CloseHandle(process.hProcess);
    return long(code);
}

std::string regsvr32() {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH); // syswow64 in a 32-bit process
    return std::string(system) + "\\regsvr32.exe";
}

// The text of a value, or "(absent)".
std::string textOf(HKEY root, const std::string& path, const char* value) {
    char data[1024];
    DWORD size = sizeof data, type = 0;
    if (RegGetValueA(root, path.c_str(), value, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS) return "(absent)";
    if (type != REG_SZ) return "(type " + std::to_string(type) + ")";
    return std::string(data, size && data[size - 1] == 0 ? size - 1 : size);
}

bool keyExists(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The names of a key's subkeys, or of its values.
std::set<std::string> names(HKEY root, const std::string& path, bool values = false) {
    std::set<std::string> found;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return found;
    char name[256];
    for (DWORD i = 0, n = sizeof name;
         (values ? RegEnumValueA(key, i, name, &n, nullptr, nullptr, nullptr, nullptr)
                 : RegEnumKeyExA(key, i, name, &n, nullptr, nullptr, nullptr, nullptr)) == 0;
         ++i, n = sizeof name)
        found.insert(name);
    RegCloseKey(key);
    return found;
}

const std::string classes = "Software\\Classes\\";
const std::string approved = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

std::string text(const GUID& guid) { return toString(guid); }
std::string filterInstances() { return "CLSID\\" + text(CLSID_LegacyAmFilterCategory) + "\\Instance"; }

// What registration leaves behind by design (and a failed earlier run left), gone.
void removeLeftovers() {
    for (const GUID* clsid : {&sample::CLSID_Accumulator, &sample::CLSID_Greeter, &sample::CLSID_IconOnly}) {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (classes + "CLSID\\" + text(*clsid)).c_str());
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, approved.c_str(), text(*clsid).c_str());
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (classes + sample::extension).c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (classes + sample::typeKeyName).c_str());
}

TEST(SampleServer, RegisterCreateCallUnregister) {
    const std::string dll = binDirectory() + "\\test_com_sample.dll";
    run("\"" + regsvr32() + "\" /u /s \"" + dll + "\"");
    removeLeftovers();
    const std::set<std::string> clsidsBefore = names(HKEY_LOCAL_MACHINE, classes + "CLSID");
    const std::set<std::string> instancesBefore = names(HKEY_CLASSES_ROOT, filterInstances());
    const std::set<std::string> approvedBefore = names(HKEY_LOCAL_MACHINE, approved, true);

    ASSERT_EQ(run("\"" + regsvr32() + "\" /s \"" + dll + "\""), 0);

    const std::string accumulator = text(sample::CLSID_Accumulator), greeter = text(sample::CLSID_Greeter),
                      icon = text(sample::CLSID_IconOnly), typeKey = classes + sample::typeKeyName;
    struct Row {
        std::string key;
        const char* value;
        std::string data;
    } rows[] = {
        {classes + "CLSID\\" + accumulator, "", "Vesk Sample Accumulator"},
        {classes + "CLSID\\" + accumulator + "\\InprocServer32", "", dll},
        {classes + "CLSID\\" + accumulator + "\\InprocServer32", "ThreadingModel", "Both"},
        {classes + "CLSID\\" + accumulator + "\\InprocServer32", "InprocServer32", "(absent)"},
        {classes + "CLSID\\" + greeter, "", "Vesk Sample Greeter"},
        {classes + "CLSID\\" + greeter + "\\InprocServer32", "", dll},
        {classes + "CLSID\\" + greeter + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {classes + "CLSID\\" + icon, "", "Vesk Sample Icon"},
        {classes + sample::extension, "", sample::typeKeyName},
        {typeKey, "", sample::typeName},
        {typeKey + "\\DefaultIcon", "", dll + ",-1"},
        {typeKey + "\\ShellEx\\ContextMenuHandlers\\" + greeter, "", greeter},
        {typeKey + "\\ShellEx\\IconHandler", "", icon},
        {approved, greeter.c_str(), "Vesk Sample Greeter"},
        {approved, icon.c_str(), "Vesk Sample Icon"},
    };
    for (const Row& r : rows) EXPECT_EQ(textOf(HKEY_LOCAL_MACHINE, r.key, r.value), r.data) << r.key << " " << r.value;
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, filterInstances() + "\\" + accumulator))
        << "the filter mapper's Instance key under the category";
    EXPECT_EQ(textOf(HKEY_CLASSES_ROOT, "CLSID\\" + accumulator + "\\InprocServer32", ""), dll)
        << "the class is visible to COM";

    EXPECT_EQ(run("\"" + binDirectory() + "\\test_com_sample_client.exe\""), 0) << "see the client's output";

    ASSERT_EQ(run("\"" + regsvr32() + "\" /u /s \"" + dll + "\""), 0);
    for (const std::string& clsid : {accumulator, greeter, icon})
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, classes + "CLSID\\" + clsid)) << clsid;
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, filterInstances() + "\\" + accumulator));
    EXPECT_EQ(names(HKEY_LOCAL_MACHINE, classes + "CLSID"), clsidsBefore);
    EXPECT_EQ(names(HKEY_CLASSES_ROOT, filterInstances()), instancesBefore);
    // Type keys and approvals may be shared with other programs: they stay.
    EXPECT_EQ(textOf(HKEY_LOCAL_MACHINE, typeKey + "\\ShellEx\\IconHandler", ""), icon);
    EXPECT_EQ(textOf(HKEY_LOCAL_MACHINE, approved, greeter.c_str()), "Vesk Sample Greeter");
    removeLeftovers();
    EXPECT_EQ(names(HKEY_LOCAL_MACHINE, approved, true), approvedBefore);
    EXPECT_EQ(run("\"" + regsvr32() + "\" /u /s \"" + dll + "\""), 0) << "unregistering twice is no failure";
}

} // namespace
