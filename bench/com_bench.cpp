// IUnknown through IUnknownImpl against a hand-written IUnknown, in the same run:
// QueryInterface (with its AddRef) and AddRef/Release pairs, called through the
// interface as a COM client calls them.
#include "harness.h"

#include <algorithm>

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
    // Interleaved rounds, the fastest of each side kept: a busy moment of the
    // machine slows one round, not the comparison.
    double libraryQuery = 1e9, handQuery = 1e9, libraryCount = 1e9, handCount = 1e9;
    for (int round = 0, rounds = bench::repeats(5); round < rounds; ++round) {
        // Each side goes first in every other round.
        const bool libraryFirst = round % 2 == 0;
        const double q1 = queryJob(libraryFirst ? library : hand), q2 = queryJob(libraryFirst ? hand : library);
        const double c1 = addRefJob(libraryFirst ? library : hand), c2 = addRefJob(libraryFirst ? hand : library);
        libraryQuery = std::min(libraryQuery, libraryFirst ? q1 : q2), handQuery = std::min(handQuery, libraryFirst ? q2 : q1);
        libraryCount = std::min(libraryCount, libraryFirst ? c1 : c2), handCount = std::min(handCount, libraryFirst ? c2 : c1);
    }
    bench::report("IUnknownImpl QueryInterface+Release", libraryQuery, "hand-written IUnknown", handQuery,
                  2.0 * operations);
    bench::report("IUnknownImpl AddRef+Release", libraryCount, "hand-written IUnknown", handCount, 2.0 * operations);
    library->Release(), hand->Release();
    return 0;
}
