// What the COM suites share: a scratch registry root, the system's regsvr32,
// class objects of a loaded server, and an outer object that aggregates
// through a class factory as any COM client would.
#pragma once

#include "sample_server.h"

#include <vesk/com/unknown.h>
#include <vesk/system/registry.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace com_test {

inline std::string binFolder() {
    char path[MAX_PATH];
    const std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return self.substr(0, self.rfind('\\'));
}

// Runs a command line to its end (at most a minute); its exit code, or -1.
inline long run(std::string line) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, binFolder().c_str(), &startup, &process)) return -1;
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread), CloseHandle(process.hProcess);
    return long(code);
}

// The system's regsvr32 (syswow64's in a 32-bit process) on a server of this build.
inline long regsvr32(const std::string& dll, bool unregister = false) {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    return run("\"" + std::string(system) + "\\regsvr32.exe\" /s " + (unregister ? "/u \"" : "\"") + binFolder() + "\\" + dll + "\"");
}

// What unregistering the sample server leaves by design (file types and approvals), removed.
inline void removeSampleLeftovers() {
    const std::string classes = "Software\\Classes\\", approved = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
    for (const char* key : {sample::extension, sample::typeKeyName}) RegDeleteTreeA(HKEY_LOCAL_MACHINE, (classes + key).c_str());
    for (const GUID* clsid : {&sample::CLSID_Extension, &sample::CLSID_RegisteredOnly})
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, approved.c_str(), vesk::toString(*clsid).c_str());
}

// A predefined root of this process redirected to an empty key of its own while the object lives.
class ScratchRoot {
public:
    explicit ScratchRoot(HKEY root) : root(root) {
        RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
        key.create(HKEY_CURRENT_USER, path.c_str());
        EXPECT_EQ(RegOverridePredefKey(root, key), ERROR_SUCCESS);
    }
    ~ScratchRoot() {
        RegOverridePredefKey(root, nullptr);
        key.close();
        RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    }

private:
    HKEY root;
    const std::string path = "Software\\Vesk test\\com-" + std::to_string(GetCurrentProcessId());
    vesk::RegistryKey key;
};

// The text of a value (HKEY_LOCAL_MACHINE unless root says otherwise), "(absent)" when there is none.
inline std::string textOf(const std::string& key, const char* value = "", HKEY root = HKEY_LOCAL_MACHINE) {
    char data[1024];
    DWORD size = sizeof data;
    return RegGetValueA(root, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) ? "(absent)" : data;
}
inline void setText(const std::string& key, const char* value, const std::string& data, HKEY root = HKEY_LOCAL_MACHINE) {
    RegSetKeyValueA(root, key.c_str(), value, REG_SZ, data.c_str(), DWORD(data.size() + 1));
}

// An outer object, written by hand, that aggregates an object made by a factory
// and hands out the inner object's other interfaces.
struct Outer : IUnknown {
    explicit Outer(IClassFactory* factory, const GUID& iid = IID_IUnknown) {
        hr = factory->CreateInstance(this, iid, reinterpret_cast<void**>(&inner));
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown) return *object = static_cast<IUnknown*>(this), AddRef(), S_OK;
        return inner ? inner->QueryInterface(iid, object) : (*object = nullptr, E_NOINTERFACE);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--refs == 0 && inner) inner->Release(), inner = nullptr;
        return ULONG(refs);
    }
    HRESULT hr;
    IUnknown* inner = nullptr;
    long refs = 1;
};

} // namespace com_test
