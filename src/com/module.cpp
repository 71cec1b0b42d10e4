// Factory and COMModule: class objects, the server lock, and local-server start-up.
#include <vesk/com/module.h>

#include "com_internal.h"

#include <cstring>
#include <string>

namespace vesk {

// ---- Factory -----------------------------------------------------------

Factory::Factory(Creator c) : create(c) {}
Factory::~Factory() = default;

void* Factory::queryInterface(const GUID& iid) {
    if (iid == IID_IClassFactory) return static_cast<IClassFactory*>(this);
    if (iid == IID_IUnknown) return static_cast<InternalUnknown*>(this);
    return nullptr;
}

HRESULT STDMETHODCALLTYPE Factory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    return catchToHRESULT([&]() -> HRESULT {
        if (!object) return E_POINTER;
        *object = nullptr;
        // An aggregating object must hold the new one by its own unknown.
        if (outer && iid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
        if (!create) return CLASS_E_CLASSNOTAVAILABLE;
        IUnknownImpl* made = create(outer);
        if (!made) com_internal::throwBadAllocation();
        // Held for the query: when it fails, the release below destroys the object.
        made->internalAddRef();
        const HRESULT hr = outer ? made->internalQueryInterface(IID_IUnknown, object)
                                 : made->getUnknown()->QueryInterface(iid, object);
        if (FAILED(hr)) *object = nullptr;
        made->internalRelease();
        return hr;
    });
}

HRESULT STDMETHODCALLTYPE Factory::LockServer(BOOL lock) {
    return catchToHRESULT([&] {
        COMModule::getModule().lock(lock != FALSE);
        return S_OK;
    });
}

// ---- COMModule::ClassInfo ----------------------------------------------

namespace {

struct Names {
    const char* narrow;
    const wchar_t* wide;
};

const Names serverKinds[] = {
    {"InprocServer32", L"InprocServer32"}, {"InprocServer", L"InprocServer"}, {"InprocHandler32", L"InprocHandler32"},
    {"InprocHandler", L"InprocHandler"},   {"LocalServer32", L"LocalServer32"}, {"LocalServer", L"LocalServer"},
};

const Names threadingModels[] = {{"Apartment", L"Apartment"}, {"Both", L"Both"}, {"Free", L"Free"}, {"Neutral", L"Neutral"}};

const Names& serverKind(const COMModule::ClassInfo& info) {
    const unsigned kind = info.getServerType();
    if (kind >= sizeof(serverKinds) / sizeof(serverKinds[0]))
        throw std::runtime_error("Invalid value " + std::to_string(static_cast<unsigned long>(info.type)) +
                                 " for server_and_threading");
    return serverKinds[kind];
}

const Names* threadingModel(const COMModule::ClassInfo& info) {
    const unsigned long word = info.type;
    return word >= 0x10 && word <= 0x40 && word % 0x10 == 0 ? &threadingModels[word / 0x10 - 1] : nullptr;
}

} // namespace

const char* COMModule::ClassInfo::getServerTypeA() const { return serverKind(*this).narrow; }
const wchar_t* COMModule::ClassInfo::getServerTypeW() const { return serverKind(*this).wide; }
const char* COMModule::ClassInfo::getThreadingModelA() const {
    const Names* model = threadingModel(*this);
    return model ? model->narrow : "";
}
const wchar_t* COMModule::ClassInfo::getThreadingModelW() const {
    const Names* model = threadingModel(*this);
    return model ? model->wide : L"";
}

// ---- COMModule ---------------------------------------------------------

COMModule* COMModule::TheModule = nullptr;

COMModule::COMModule(const ClassInfo* c, unsigned count)
    : classes(c), classCount(c ? count : 0), lockCount(0), previous(TheModule) {
    TheModule = this;
}

COMModule::~COMModule() {
    for (DWORD cookie : registrations) CoRevokeClassObject(cookie);
    registrations.clear();
    if (TheModule == this) TheModule = previous;
}

COMModule& COMModule::getModule() {
    if (!TheModule) throw COMError(static_cast<unsigned long>(E_UNEXPECTED), "Can't find the COM module: none was made");
    return *TheModule;
}

long COMModule::createClassFactory(const GUID& clsid, const GUID& iid, void** object) const {
    return catchToHRESULT([&]() -> HRESULT {
        if (!object) return E_POINTER;
        *object = nullptr;
        for (unsigned i = 0; i < classCount; ++i) {
            if (std::memcmp(classes[i].clsid, &clsid, sizeof(GUID)) != 0) continue;
            if (!classes[i].create) return CLASS_E_CLASSNOTAVAILABLE;
            // Held for the query: a factory asked for an interface it does not
            // have goes again at once.
            const COMInterfacePointer<IUnknown> factory((new Factory(classes[i].create))->getUnknown());
            return factory->QueryInterface(iid, object);
        }
        return CLASS_E_CLASSNOTAVAILABLE;
    });
}

long COMModule::canUnloadNow() const {
    return IUnknownImpl::getInstanceCount() != 0 || getLockCount() > 0 ? S_FALSE : S_OK;
}

void COMModule::lock(bool lock) {
    if (lock) {
        InterlockedIncrement(&lockCount);
        return;
    }
    // Never below 0, even with unlocks on several threads at once.
    for (long n = getLockCount(); n > 0;) {
        const long seen = InterlockedCompareExchange(&lockCount, n - 1, n);
        if (seen == n) return;
        n = seen;
    }
    throw COMError(static_cast<unsigned long>(E_UNEXPECTED), "Can't unlock the server: it is not locked");
}

long COMModule::getLockCount() const {
    return InterlockedCompareExchange(const_cast<long volatile*>(&lockCount), 0, 0);
}

void COMModule::registerClassFactories() {
    for (unsigned i = 0; i < classCount; ++i) {
        const ClassInfo& info = classes[i];
        if (!info.create || (info.getServerType() != inproc_server32 && info.getServerType() != local_server32))
            continue;
        COMInterfacePointer<IUnknown> factory;
        HRESULTHolder::throwOnError(createClassFactory(*info.clsid, IID_IUnknown, factory.putVoid()));
        const auto add = [&](DWORD context, DWORD flags) {
            DWORD cookie = 0;
            HRESULTHolder::throwOnError(CoRegisterClassObject(*info.clsid, factory.get(), context, flags, &cookie),
                                        "Can't register class factory");
            try {
                registrations.push_back(cookie);
            } catch (...) {
                CoRevokeClassObject(cookie);
                throw;
            }
        };
        add(CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE);
        if (static_cast<unsigned long>(info.type) == local_server32)
            add(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED);
    }
    HRESULTHolder::throwOnError(CoResumeClassObjects(), "Can't register class objects");
}

} // namespace vesk
