// The sample in-process server: an aggregatable accumulator registered as a
// DirectShow filter, a non-aggregatable greeter registered as a context-menu
// handler for a file type, and an icon handler that is only registered. Its
// entry points forward to the module.
#include "sample_server.h"

#include <vesk/com/module.h>

#include <shlobj.h>
#include <uuids.h>

namespace {

class Accumulator : public ISampleValue, public vesk::IUnknownImpl {
public:
    explicit Accumulator(IUnknown* outer) : IUnknownImpl(outer) {}
    VESK_FORWARD_IUNKNOWN
    HRESULT STDMETHODCALLTYPE add(long amount, long* result) override {
        return vesk::catchToHRESULT([&] {
            vesk::COMError::checkPointer(result);
            *result = total += amount;
            return S_OK;
        });
    }

protected:
    void* queryInterface(const GUID& iid) override {
        return iid == sample::IID_ISampleValue ? static_cast<ISampleValue*>(this) : IUnknownImpl::queryInterface(iid);
    }

private:
    long total = 0;
};

// Refuses amounts below 0 with E_INVALIDARG, thrown as an exception: the
// exception must come back as the method's HRESULT.
class Greeter : public ISampleValue, public vesk::IUnknownImpl {
public:
    VESK_FORWARD_IUNKNOWN
    HRESULT STDMETHODCALLTYPE add(long amount, long* result) override {
        return vesk::catchToHRESULT([&] {
            vesk::COMError::checkPointer(result);
            if (amount < 0) throw vesk::COMError(static_cast<unsigned long>(E_INVALIDARG), "Can't greet backwards");
            *result = 1000 + amount;
            return S_OK;
        });
    }

protected:
    void* queryInterface(const GUID& iid) override {
        return iid == sample::IID_ISampleValue ? static_cast<ISampleValue*>(this) : IUnknownImpl::queryInterface(iid);
    }
};

const REGPINTYPES pinTypes[] = {{&MEDIATYPE_Stream, &MEDIASUBTYPE_NULL}};
const REGFILTERPINS2 pins[] = {{REG_PINFLAG_B_OUTPUT, 1, 1, pinTypes, 0, nullptr, &GUID_NULL}};
const vesk::FilterInfo filter = {MERIT_DO_NOT_USE, pins, 1, &CLSID_LegacyAmFilterCategory};

const char* const extensions[] = {sample::extension};
const vesk::FileTypeInfo fileType = {&sample::TYPE_SampleFile, extensions, 1, 1, sample::typeName};
const vesk::ShellExtensionInfo contextMenu = {&IID_IContextMenu, &fileType};
// Registered on the type key the greeter's file type makes (its identifier's text).
const vesk::FileTypeInfo existingType = {nullptr, nullptr, 0, 0, sample::typeKeyName};
const vesk::ShellExtensionInfo iconHandler = {&IID_IExtractIconW, &existingType};

const vesk::COMModule::ClassInfo classes[] = {
    {&sample::CLSID_Accumulator, vesk::COMModule::inproc_server32 | vesk::COMModule::both, sample::accumulatorName,
     vesk::createAggregatable<Accumulator>, &filter, nullptr},
    {&sample::CLSID_Greeter, vesk::COMModule::inproc_server32 | vesk::COMModule::apartment, sample::greeterName,
     vesk::createStandalone<Greeter>, nullptr, &contextMenu},
    {&sample::CLSID_IconOnly, vesk::COMModule::inproc_server32 | vesk::COMModule::apartment, sample::iconOnlyName,
     nullptr, nullptr, &iconHandler},
};

vesk::COMModule module(classes, 3);

} // namespace

extern "C" IMAGE_DOS_HEADER __ImageBase;

extern "C" HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return module.createClassFactory(clsid, iid, object);
}
extern "C" HRESULT STDMETHODCALLTYPE DllCanUnloadNow() { return module.canUnloadNow(); }
extern "C" HRESULT STDMETHODCALLTYPE DllRegisterServer() {
    return module.registerClasses(reinterpret_cast<HINSTANCE>(&__ImageBase));
}
extern "C" HRESULT STDMETHODCALLTYPE DllUnregisterServer() { return module.unregisterClasses(); }
