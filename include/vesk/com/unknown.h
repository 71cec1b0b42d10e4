// The base of the library's COM objects: reference counting with aggregation,
// the process-wide object count, and COMInterfacePointer, the smart pointer to
// a COM interface.
//
// A class derives from its interfaces and IUnknownImpl, answers its interface
// identifiers in queryInterface, and forwards IUnknown with VESK_FORWARD_IUNKNOWN:
//
//   class Counter : public ICounter, public vesk::IUnknownImpl {
//   public:
//       explicit Counter(IUnknown* outer = nullptr) : IUnknownImpl(outer) {}
//       VESK_FORWARD_IUNKNOWN
//       HRESULT STDMETHODCALLTYPE next(long* value) override;
//   protected:
//       void* queryInterface(const GUID& iid) override {
//           return iid == IID_ICounter ? static_cast<ICounter*>(this) : IUnknownImpl::queryInterface(iid);
//       }
//   };
//
// Aggregated (made with an outer unknown), the object's IUnknown calls go to the
// outer object, which holds the object through its non-delegating face
// (InternalUnknown, handed out by the class factory) and releases it last.
#pragma once

#include <vesk/com/com_error.h>
#include <vesk/com/guid.h>

#include <unknwn.h>

#include <type_traits>
#include <utility>

namespace vesk {

// The non-delegating IUnknown of an aggregatable object: its three slots stand
// where IUnknown's do, with the same calling convention.
class InternalUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE internalQueryInterface(const GUID& iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE internalAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE internalRelease() = 0;

protected:
    InternalUnknown() = default;
    InternalUnknown(const InternalUnknown&) = default;
    InternalUnknown& operator=(const InternalUnknown&) = default;
    ~InternalUnknown() = default;
};

// One counted reference to interface I (Iid: its identifier, by default
// __uuidof(I)). Copying adds a reference, destruction releases.
template <class I, const GUID* Iid = nullptr> class COMInterfacePointer {
public:
    static const GUID& iid() {
        if constexpr (Iid != nullptr)
            return *Iid;
        else
            return __uuidof(I);
    }

    COMInterfacePointer() noexcept : pointer(nullptr) {}
    // addRef false takes over a reference the caller already owns.
    explicit COMInterfacePointer(I* p, bool addRef = true) noexcept : pointer(p) {
        if (pointer && addRef) pointer->AddRef();
    }
    // Asks another interface of an object for I; a failure throws COMError
    // "Can't query interface " and the name of I's identifier.
    template <class J, class = std::enable_if_t<!std::is_same<I, J>::value>>
    explicit COMInterfacePointer(J* other) : pointer(nullptr) {
        if (!other) return;
        const HRESULT hr = other->QueryInterface(iid(), reinterpret_cast<void**>(&pointer));
        if (FAILED(hr)) {
            pointer = nullptr;
            throw COMError(static_cast<unsigned long>(hr), "Can't query interface " + toAString(iid(), true));
        }
    }
    COMInterfacePointer(const COMInterfacePointer& other) noexcept : COMInterfacePointer(other.pointer) {}
    COMInterfacePointer(COMInterfacePointer&& other) noexcept : pointer(other.pointer) { other.pointer = nullptr; }
    ~COMInterfacePointer() { reset(); }

    COMInterfacePointer& operator=(COMInterfacePointer other) noexcept {
        std::swap(pointer, other.pointer);
        return *this;
    }

    I* get() const noexcept { return pointer; }
    I* operator->() const noexcept { return pointer; }
    explicit operator bool() const noexcept { return pointer != nullptr; }

    // Releases what is held and gives the address of the (now null) pointer,
    // for a call that returns an interface through it.
    I** put() noexcept {
        reset();
        return &pointer;
    }
    void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }
    // Hands the reference to the caller.
    I* detach() noexcept { return std::exchange(pointer, nullptr); }
    void reset() noexcept {
        if (I* p = std::exchange(pointer, nullptr)) p->Release();
    }

private:
    I* pointer;
};

class VESK_API IUnknownImpl : public InternalUnknown {
public:
    // A null object gives E_POINTER, an interface queryInterface does not answer
    // E_NOINTERFACE (count unchanged); else the interface, with a reference
    // added where its Release goes: the object's own count, or for an
    // aggregated object's other interfaces the outer object's.
    HRESULT STDMETHODCALLTYPE internalQueryInterface(const GUID& iid, void** object) final {
        if (!object) return E_POINTER;
        void* face = nullptr;
        try {
            face = queryInterface(iid);
        } catch (...) {
            // A derived queryInterface that throws answers nothing.
        }
        *object = face;
        if (!face) return E_NOINTERFACE;
        // The reference goes where the interface's Release will go: an
        // aggregated object's interfaces release through the outer object,
        // only its non-delegating face through its own count.
        if (outer && face != static_cast<InternalUnknown*>(this))
            outer->AddRef();
        else
            internalAddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE internalAddRef() final { return ULONG(InterlockedIncrement(&count)); }
    // At 0 the object deletes itself. A release of an object whose count is
    // already 0 changes nothing and frees nothing; releases made while the
    // object is being destroyed never bring it back to 0.
    ULONG STDMETHODCALLTYPE internalRelease() final {
        const long n = InterlockedDecrement(&count);
        return n > 0 ? ULONG(n) : releasedToZero(n);
    }

    // The controlling unknown: the outer object when aggregated, else this
    // object's non-delegating face.
    IUnknown* getUnknown() noexcept {
        return outer ? outer : reinterpret_cast<IUnknown*>(static_cast<InternalUnknown*>(this));
    }
    // The outer object with a reference added; empty when not aggregated.
    COMInterfacePointer<IUnknown> getOuter() const;
    // Live IUnknownImpl objects in the process (factories included).
    static long getInstanceCount();

protected:
    explicit IUnknownImpl(IUnknown* outer = nullptr);
    // A copy is a new object of its own: not aggregated, count 0, counted live.
    IUnknownImpl(const IUnknownImpl& other);
    // Assignment keeps the object's own identity: its outer and count stay.
    IUnknownImpl& operator=(const IUnknownImpl&) { return *this; }

    // The interface of this object for iid, or null. The base answers
    // IID_IUnknown with the non-delegating face; derived classes answer theirs
    // and defer to their base for the rest.
    virtual void* queryInterface(const GUID& iid);
    virtual ~IUnknownImpl();

    // The bodies of a derived class's IUnknown methods (VESK_FORWARD_IUNKNOWN).
    HRESULT forwardQueryInterface(REFIID iid, void** object) {
        return outer ? outer->QueryInterface(iid, object) : internalQueryInterface(iid, object);
    }
    ULONG forwardAddRef() { return outer ? outer->AddRef() : internalAddRef(); }
    ULONG forwardRelease() { return outer ? outer->Release() : internalRelease(); }

private:
    ULONG releasedToZero(long n);

    IUnknown* outer;
    long volatile count;
    static long volatile Objects;
};

// A class's creators for COMModule::ClassInfo and Factory.
// One that may be aggregated: T(IUnknown* outer).
template <class T> IUnknownImpl* createAggregatable(IUnknown* outer) { return new T(outer); }
// One that may not: an outer object is refused with CLASS_E_NOAGGREGATION.
template <class T> IUnknownImpl* createStandalone(IUnknown* outer) {
    if (outer) throw COMError(static_cast<unsigned long>(CLASS_E_NOAGGREGATION), "Can't aggregate this class");
    return new T();
}

} // namespace vesk

// IUnknown of a class derived from IUnknownImpl: forwarded to the controlling unknown.
#define VESK_FORWARD_IUNKNOWN                                                                                          \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid_, void** object_) override {                                   \
        return forwardQueryInterface(iid_, object_);                                                                   \
    }                                                                                                                  \
    ULONG STDMETHODCALLTYPE AddRef() override { return forwardAddRef(); }                                              \
    ULONG STDMETHODCALLTYPE Release() override { return forwardRelease(); }
