// IUnknownImpl: interlocked reference counts, the process-wide object count.
#include <vesk/com/unknown.h>

namespace vesk {

namespace {
// The count of an object being destroyed: references taken and dropped by its
// destructor move around this value and never reach 0 again.
constexpr long destroying = 0x40000000L;
} // namespace

long volatile IUnknownImpl::Objects = 0;

IUnknownImpl::IUnknownImpl(IUnknown* o) : outer(o), count(0) { InterlockedIncrement(&Objects); }

IUnknownImpl::IUnknownImpl(const IUnknownImpl&) : InternalUnknown(), outer(nullptr), count(0) {
    InterlockedIncrement(&Objects);
}

IUnknownImpl::~IUnknownImpl() { InterlockedDecrement(&Objects); }

ULONG IUnknownImpl::releasedToZero(long n) {
    if (n < 0) {
        // A release more than there were references: undone, nothing freed.
        InterlockedIncrement(&count);
        return 0;
    }
    InterlockedExchange(&count, destroying);
    delete this;
    return 0;
}

void* IUnknownImpl::queryInterface(const GUID& iid) {
    return iid == IID_IUnknown ? static_cast<InternalUnknown*>(this) : nullptr;
}

COMInterfacePointer<IUnknown> IUnknownImpl::getOuter() const { return COMInterfacePointer<IUnknown>(outer); }

long IUnknownImpl::getInstanceCount() { return InterlockedCompareExchange(const_cast<long volatile*>(&Objects), 0, 0); }

} // namespace vesk
