// What the COM suites share: a scratch registry root, the system's regsvr32,
// class objects of a loaded server, a counted COM object, and an outer object
// that aggregates through a class factory as any COM client would.
#pragma once

#include <vesk/com/unknown.h>

#include <gtest/gtest.h>

#include <objidl.h>

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
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, binFolder().c_str(), &startup, &process))
        return -1;
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread), CloseHandle(process.hProcess);
    return long(code);
}

// The system's regsvr32 (syswow64's in a 32-bit process) on a server of this build.
inline long regsvr32(const std::string& dll, bool unregister = false) {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    return run("\"" + std::string(system) + "\\regsvr32.exe\" /s " + (unregister ? "/u " : "") + "\"" + binFolder() +
               "\\" + dll + "\"");
}

// A predefined root of this process (HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT)
// redirected to an empty key of its own while the object lives.
class ScratchRoot {
public:
    explicit ScratchRoot(HKEY root) : root(root), path("Software\\Vesk test\\com-" + std::to_string(GetCurrentProcessId())) {
        RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
        RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        EXPECT_EQ(RegOverridePredefKey(root, key), ERROR_SUCCESS);
    }
    ~ScratchRoot() {
        RegOverridePredefKey(root, nullptr);
        RegCloseKey(key);
        RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    }

private:
    HKEY root, key = nullptr;
    std::string path;
};

// The text of a value under HKEY_LOCAL_MACHINE (or root), "(absent)" when there is none.
inline std::string textOf(const std::string& key, const char* value = "", HKEY root = HKEY_LOCAL_MACHINE) {
    char data[1024];
    DWORD size = sizeof data;
    if (RegGetValueA(root, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return "(absent)";
    return data;
}

// The class objects of a server DLL registered with COM for this process.
class ClassObjects {
public:
    ClassObjects(const char* dll, std::vector<const GUID*> clsids) {
        const HMODULE library = LoadLibraryA(dll);
        const auto get = reinterpret_cast<HRESULT(__stdcall*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
        for (const GUID* clsid : clsids) {
            vesk::COMInterfacePointer<IUnknown> factory;
            EXPECT_EQ(get ? get(*clsid, IID_IClassFactory, factory.putVoid()) : E_FAIL, S_OK);
            cookies.push_back(0);
            EXPECT_EQ(CoRegisterClassObject(*clsid, factory.get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookies.back()), S_OK);
        }
    }
    ~ClassObjects() {
        for (DWORD cookie : cookies) CoRevokeClassObject(cookie);
    }

private:
    std::vector<DWORD> cookies;
};

// A COM object that counts its references (and an allocator that allocates
// nothing), to see who owns it: refs is 1 while only its maker holds it.
struct Counted : IMalloc {
    long refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IMalloc) return *object = nullptr, E_NOINTERFACE;
        return *object = this, AddRef(), S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--refs); }
    void* STDMETHODCALLTYPE Alloc(SIZE_T) override { return nullptr; }
    void* STDMETHODCALLTYPE Realloc(void*, SIZE_T) override { return nullptr; }
    void STDMETHODCALLTYPE Free(void*) override {}
    SIZE_T STDMETHODCALLTYPE GetSize(void*) override { return 0; }
    int STDMETHODCALLTYPE DidAlloc(void*) override { return 0; }
    void STDMETHODCALLTYPE HeapMinimize() override {}
};

// An outer object, written by hand, that aggregates an object made by a factory
// and hands out the inner object's other interfaces.
class Outer : public IUnknown {
public:
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
