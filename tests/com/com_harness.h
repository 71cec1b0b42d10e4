// What the COM suites share: a scratch registry root, the system's regsvr32,
// the HRESULT a call throws, and an outer object that aggregates through a
// class factory as any COM client would.
#pragma once

#include "sample_server.h"

#include <vesk/com/unknown.h>

#include <gtest/gtest.h>
#include <test_support.h>

#include <process.h>
#include <string>
#include <vector>

namespace com_test {

inline std::string binFolder() {
    char path[MAX_PATH];
    const std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return self.substr(0, self.rfind('\\'));
}

// The system's regsvr32 (syswow64's in a 32-bit process) run on the sample server: its exit code, or -1.
inline long regsvr32(bool unregister = false) {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string program = std::string(system) + "\\regsvr32.exe", dll = "\"" + binFolder() + "\\test_com_sample.dll\"";
    return long(_spawnl(_P_WAIT, program.c_str(), "regsvr32", "/s", unregister ? "/u" : dll.c_str(), unregister ? dll.c_str() : nullptr, nullptr));
}

// Unregisters the sample server and removes what that leaves by design (file types and approvals).
inline long unregisterSample() {
    const long code = regsvr32(true);
    const std::string classes = "Software\\Classes\\", approved = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
    for (const char* key : {sample::extension, sample::typeKeyName}) RegDeleteTreeA(HKEY_LOCAL_MACHINE, (classes + key).c_str());
    for (const GUID* clsid : {&sample::CLSID_Extension, &sample::CLSID_RegisteredOnly})
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, approved.c_str(), vesk::toString(*clsid).c_str());
    return code;
}

// A predefined root of this process redirected to an empty key of its own while the object lives.
struct ScratchRoot : vesk_test::ScratchKey {
    explicit ScratchRoot(HKEY root) : ScratchKey("com", root) { EXPECT_EQ(RegOverridePredefKey(root, *this), ERROR_SUCCESS); }
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

// The answers of calls made in order (a braced list evaluates left to right), compared with the expected list in one go.
using Answers = std::vector<HRESULT>;

// What a call throws: its message and the HRESULT the library maps it to (S_OK when nothing is thrown).
struct Thrown { std::string what = "nothing thrown"; HRESULT hr = S_OK; };
template <class Call> Thrown thrownBy(Call&& call) {
    try {
        call();
    } catch (const std::exception& e) {
        return {e.what(), vesk::HRESULTHolder::getHRESULTFromException(e)};
    }
    return {};
}

// An outer object, written by hand, that aggregates an object made by a factory
// and hands out the inner object's other interfaces.
struct Outer : IUnknown {
    explicit Outer(IClassFactory* factory) : hr(factory->CreateInstance(this, IID_IUnknown, reinterpret_cast<void**>(&inner))) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown) return *object = static_cast<IUnknown*>(this), AddRef(), S_OK;
        return inner ? inner->QueryInterface(iid, object) : (*object = nullptr, E_NOINTERFACE);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return --refs == 0 && inner ? inner->Release(), inner = nullptr, 0 : ULONG(refs); }
    IUnknown* inner = nullptr;
    long refs = 1;
    HRESULT hr;
};

} // namespace com_test
