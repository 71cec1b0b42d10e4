// The client of the sample server, a program of its own as a real COM client
// is: creates the sample's objects with CoCreateInstance (plain and aggregated
// by an outer object written here by hand), calls them, checks the refusals,
// and watches DllCanUnloadNow of the loaded server. Prints one line per failed
// check and exits with the number of failures.
#include "sample_server.h"

#include <cstdio>

namespace {

int failures = 0;

void check(bool ok, const char* what, long detail = 0) {
    if (!ok) std::printf("FAILED: %s (0x%08lX)\n", what, static_cast<unsigned long>(detail)), ++failures;
}

// An outer object that aggregates the accumulator and exposes its ISampleValue.
class Outer : public IUnknown {
public:
    Outer() {
        hr = CoCreateInstance(sample::CLSID_Accumulator, this, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(&inner));
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown) return *object = static_cast<IUnknown*>(this), AddRef(), S_OK;
        if (inner && iid == sample::IID_ISampleValue) return inner->QueryInterface(iid, object);
        return *object = nullptr, E_NOINTERFACE;
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

} // namespace

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 100;
    {
        ISampleValue* accumulator = nullptr;
        HRESULT hr = CoCreateInstance(sample::CLSID_Accumulator, nullptr, CLSCTX_INPROC_SERVER, sample::IID_ISampleValue,
                                      reinterpret_cast<void**>(&accumulator));
        check(hr == S_OK && accumulator, "create the accumulator", hr);
        if (!accumulator) return CoUninitialize(), 101;

        HMODULE server = GetModuleHandleA("test_com_sample.dll");
        auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(server ? GetProcAddress(server, "DllCanUnloadNow") : nullptr));
        check(canUnloadNow != nullptr, "find DllCanUnloadNow of the loaded server");
        if (!canUnloadNow) return CoUninitialize(), 102;

        long total = 0;
        accumulator->add(5, &total);
        check(accumulator->add(7, &total) == S_OK && total == 12, "the accumulator adds", total);
        check(accumulator->add(1, nullptr) == E_POINTER, "a null result pointer is E_POINTER");

        ISampleValue* greeter = nullptr;
        hr = CoCreateInstance(sample::CLSID_Greeter, nullptr, CLSCTX_INPROC_SERVER, sample::IID_ISampleValue,
                              reinterpret_cast<void**>(&greeter));
        check(hr == S_OK && greeter, "create the greeter", hr);
        if (greeter) {
            check(greeter->add(1, &total) == S_OK && total == 1001, "the greeter answers", total);
            check(greeter->add(-1, &total) == E_INVALIDARG, "an exception in a method comes back as its HRESULT");
        }

        Outer outer;
        check(outer.hr == S_OK && outer.inner, "aggregate the accumulator", outer.hr);
        ISampleValue* aggregated = nullptr;
        if (outer.inner) {
            outer.QueryInterface(sample::IID_ISampleValue, reinterpret_cast<void**>(&aggregated));
            check(aggregated && outer.refs == 2, "the aggregated interface counts on the outer object", outer.refs);
            IUnknown* identity = nullptr;
            if (aggregated) aggregated->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
            check(identity == &outer, "the aggregated object's identity is the outer one");
            if (identity) identity->Release();
            if (aggregated) check(aggregated->add(2, &total) == S_OK && total == 2, "the aggregated accumulator adds", total);
        }
        IUnknown* refused = reinterpret_cast<IUnknown*>(&outer);
        hr = CoCreateInstance(sample::CLSID_Accumulator, &outer, CLSCTX_INPROC_SERVER, sample::IID_ISampleValue,
                              reinterpret_cast<void**>(&refused));
        check(hr == CLASS_E_NOAGGREGATION && !refused, "aggregation asks for IUnknown only", hr);
        refused = reinterpret_cast<IUnknown*>(&outer);
        hr = CoCreateInstance(sample::CLSID_Greeter, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(&refused));
        check(hr == CLASS_E_NOAGGREGATION && !refused, "the greeter refuses aggregation", hr);
        hr = CoCreateInstance(sample::CLSID_IconOnly, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(&refused));
        check(FAILED(hr), "a registered-only class can't be made", hr);

        check(canUnloadNow() == S_FALSE, "S_FALSE while objects live");
        accumulator->Release();
        if (greeter) greeter->Release();
        check(canUnloadNow() == S_FALSE, "S_FALSE while the aggregated object lives");
        if (aggregated) aggregated->Release();
        outer.Release();
        check(canUnloadNow() == S_OK, "S_OK once every object is gone", canUnloadNow());

        IClassFactory* factory = nullptr;
        hr = CoGetClassObject(sample::CLSID_Accumulator, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                              reinterpret_cast<void**>(&factory));
        check(hr == S_OK && factory, "get the class object", hr);
        if (factory) {
            check(factory->LockServer(TRUE) == S_OK, "lock the server");
            factory->Release();
            check(canUnloadNow() == S_FALSE, "S_FALSE while the server is locked");
            CoGetClassObject(sample::CLSID_Accumulator, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory));
            check(factory->LockServer(FALSE) == S_OK, "unlock the server");
            check(factory->LockServer(FALSE) == E_UNEXPECTED, "an unlock too many is E_UNEXPECTED");
            factory->Release();
            check(canUnloadNow() == S_OK, "S_OK once unlocked", canUnloadNow());
        }
    }
    CoUninitialize();
    std::printf("%d failed\n", failures);
    return failures;
}
