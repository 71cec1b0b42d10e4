// IUnknown through IUnknownImpl against a hand-written IUnknown, in the same run:
// QueryInterface (with its AddRef) and AddRef/Release pairs, called through the
// interface as a COM client calls them.
#include "harness.h"

#include <vesk/com/unknown.h>

using namespace vesk;

// {0C4B2F1E-7A3D-4E59-9B68-1D2C3E4F5A6B}
extern const GUID IID_IBenchValue = {0x0C4B2F1E, 0x7A3D, 0x4E59, {0x9B, 0x68, 0x1D, 0x2C, 0x3E, 0x4F, 0x5A, 0x6B}};

struct IBenchValue : IUnknown {
    virtual long STDMETHODCALLTYPE value() = 0;
};

namespace {

class LibraryObject : public IBenchValue, public IUnknownImpl {
public:
    VESK_FORWARD_IUNKNOWN
    long STDMETHODCALLTYPE value() override { return 1; }

protected:
    void* queryInterface(const GUID& iid) override {
        return iid == IID_IBenchValue ? static_cast<IBenchValue*>(this) : IUnknownImpl::queryInterface(iid);
    }
};

class HandWritten : public IBenchValue {
public:
    virtual ~HandWritten() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IBenchValue || iid == IID_IUnknown) {
            *object = static_cast<IBenchValue*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&count)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const long n = InterlockedDecrement(&count);
        if (n == 0) delete this;
        return ULONG(n);
    }
    long STDMETHODCALLTYPE value() override { return 1; }

private:
    long volatile count = 0;
};

const int operations = 2000000;

double queryJob(IBenchValue* object) {
    return bench::median([object] {
        for (int i = 0; i < operations; ++i) {
            void* p = nullptr;
            object->QueryInterface(IID_IBenchValue, &p);
            static_cast<IBenchValue*>(p)->Release();
        }
    });
}

double addRefJob(IBenchValue* object) {
    return bench::median([object] {
        unsigned long sum = 0;
        for (int i = 0; i < operations; ++i) sum += object->AddRef(), sum += object->Release();
        bench::keep(sum);
    });
}

} // namespace

// Read back through volatile, so that the compiler cannot see which class it calls.
IBenchValue* volatile objects[2];

int main() {
    objects[0] = new LibraryObject;
    objects[1] = new HandWritten;
    IBenchValue* library = objects[0];
    IBenchValue* hand = objects[1];
    library->AddRef(), hand->AddRef();
    // Interleaved, so that a slow moment of the machine hits both sides.
    double libraryQuery = 0, handQuery = 0, libraryCount = 0, handCount = 0;
    for (int round = 0; round < 3; ++round) {
        libraryQuery += queryJob(library), handQuery += queryJob(hand);
        libraryCount += addRefJob(library), handCount += addRefJob(hand);
    }
    bench::report("IUnknownImpl QueryInterface+Release", libraryQuery, "hand-written IUnknown", handQuery,
                  2.0 * operations);
    bench::report("IUnknownImpl AddRef+Release", libraryCount, "hand-written IUnknown", handCount, 2.0 * operations);
    library->Release(), hand->Release();
    return 0;
}
