// Tour stop: a COM class of the tour itself, registered in the registry,
// created through CoCreateInstance, unregistered again; and readable names
// of a GUID and an HRESULT.
#include "tour.h"

#include <vesk/com/guid.h>
#include <vesk/com/module.h>

// {7E1B5C3A-2D4F-4A6B-9C8D-0E1F2A3B4C5D}
extern const GUID IID_IGreeting = {0x7E1B5C3A, 0x2D4F, 0x4A6B, {0x9C, 0x8D, 0x0E, 0x1F, 0x2A, 0x3B, 0x4C, 0x5D}};

struct IGreeting : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE greet(wchar_t* buffer, unsigned size) = 0;
};

namespace {

#ifdef _WIN64
const GUID CLSID_TourGreeting = {0x7E1B5C3B, 0x2D4F, 0x4A6B, {0x9C, 0x8D, 0x0E, 0x1F, 0x2A, 0x3B, 0x4C, 0x64}};
#else
const GUID CLSID_TourGreeting = {0x7E1B5C3B, 0x2D4F, 0x4A6B, {0x9C, 0x8D, 0x0E, 0x1F, 0x2A, 0x3B, 0x4C, 0x32}};
#endif

class Greeting : public IGreeting, public vesk::IUnknownImpl {
public:
    VESK_FORWARD_IUNKNOWN
    HRESULT STDMETHODCALLTYPE greet(wchar_t* buffer, unsigned size) override {
        return vesk::catchToHRESULT([&] {
            vesk::COMError::checkPointer(buffer);
            if (size < 32) throw vesk::COMError(static_cast<unsigned long>(E_INVALIDARG), "Can't greet in so little room");
            lstrcpynW(buffer, L"Hello from a Vesk++ COM object", int(size));
            return S_OK;
        });
    }

protected:
    void* queryInterface(const GUID& iid) override {
        return iid == IID_IGreeting ? static_cast<IGreeting*>(this) : IUnknownImpl::queryInterface(iid);
    }
};

const vesk::COMModule::ClassInfo classes[] = {
    {&CLSID_TourGreeting, vesk::COMModule::local_server32, L"Vesk tour greeting",
     vesk::createStandalone<Greeting>, nullptr, nullptr},
};

void comStop() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        // The tour is a local server of its own class: registered in the
        // registry (LocalServer32) and, while it runs, with COM.
        vesk::COMModule module(classes, 1);
        std::printf("registerClasses: 0x%08lX\n", static_cast<unsigned long>(module.registerClasses(nullptr)));
        module.registerClassFactories();
        vesk::COMInterfacePointer<IGreeting, &IID_IGreeting> greeting;
        const HRESULT hr = CoCreateInstance(CLSID_TourGreeting, nullptr, CLSCTX_ALL, IID_IGreeting, greeting.putVoid());
        if (SUCCEEDED(hr)) {
            wchar_t text[64];
            greeting->greet(text, 64);
            std::printf("CoCreateInstance made %s; it says \"%ls\"\n", vesk::toString(CLSID_TourGreeting).c_str(), text);
            std::printf("asked with too little room: %s\n",
                        vesk::getHRESULTIdentifier(greeting->greet(text, 4)).c_str());
        } else {
            std::printf("CoCreateInstance failed: %s\n", vesk::getHRESULTIdentifier(hr).c_str());
        }
        greeting.reset();
        std::printf("canUnloadNow while the class object is registered: %s\n",
                    module.canUnloadNow() == S_OK ? "S_OK" : "S_FALSE");
        std::printf("unregisterClasses: 0x%08lX\n", static_cast<unsigned long>(module.unregisterClasses()));
    }
    std::printf("IID_IUnknown reads as %s\n", vesk::toAString(IID_IUnknown, true).c_str());
    const GUID yuy2 = {0x32595559, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    std::printf("%s reads as %s\n", vesk::toString(yuy2).c_str(), vesk::toAString(yuy2, true).c_str());
    std::printf("E_NOINTERFACE reads as %s\n", vesk::getHRESULTIdentifier(E_NOINTERFACE).c_str());
    CoUninitialize();
}

} // namespace

TOUR_STOP(70, "COM: a class registered, created through COM and unregistered", comStop);
