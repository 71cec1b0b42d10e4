// The COM server core: exact interlocked counts under two threads, destruction
// once, stray releases, the object count across copies, aggregation through a
// real outer object, the class factory's refusals, the module's class table,
// server lock and canUnloadNow, local-server class objects, the class source,
// allocators and COMInterfacePointer.
#include <vesk/com/class_source.h>
#include <vesk/com/malloc.h>
#include <vesk/com/module.h>
#include <vesk/com/unknown.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>

using namespace vesk;

// {B3F1C2A0-5D4E-4F6A-8B7C-9D0E1F2A3B4C}
extern const GUID IID_ICounter = {0xB3F1C2A0, 0x5D4E, 0x4F6A, {0x8B, 0x7C, 0x9D, 0x0E, 0x1F, 0x2A, 0x3B, 0x4C}};
// {B3F1C2A1-5D4E-4F6A-8B7C-9D0E1F2A3B4C} .. A4: classes of the test module
extern const GUID CLSID_Counter = {0xB3F1C2A1, 0x5D4E, 0x4F6A, {0x8B, 0x7C, 0x9D, 0x0E, 0x1F, 0x2A, 0x3B, 0x4C}};
extern const GUID CLSID_Lonely = {0xB3F1C2A2, 0x5D4E, 0x4F6A, {0x8B, 0x7C, 0x9D, 0x0E, 0x1F, 0x2A, 0x3B, 0x4C}};
extern const GUID CLSID_RegisteredOnly = {0xB3F1C2A3, 0x5D4E, 0x4F6A, {0x8B, 0x7C, 0x9D, 0x0E, 0x1F, 0x2A, 0x3B, 0x4C}};
extern const GUID CLSID_Handler = {0xB3F1C2A4, 0x5D4E, 0x4F6A, {0x8B, 0x7C, 0x9D, 0x0E, 0x1F, 0x2A, 0x3B, 0x4C}};

struct ICounter : IUnknown {
    virtual long STDMETHODCALLTYPE next() = 0;
};

namespace {

using CounterPointer = COMInterfacePointer<ICounter, &IID_ICounter>;

long destroyed = 0;

class Counter : public ICounter, public IUnknownImpl {
public:
    explicit Counter(IUnknown* outer = nullptr) : IUnknownImpl(outer) {}
    Counter(const Counter& other) = default;
    VESK_FORWARD_IUNKNOWN
    long STDMETHODCALLTYPE next() override { return ++value; }
    long value = 0;
    bool touchItselfWhenDestroyed = false;

    ~Counter() override {
        if (touchItselfWhenDestroyed) {
            AddRef(), Release(), Release(); // one more release than references
            internalRelease();
        }
        ++destroyed;
    }

protected:
    void* queryInterface(const GUID& iid) override {
        return iid == IID_ICounter ? static_cast<ICounter*>(this) : IUnknownImpl::queryInterface(iid);
    }
};

TEST(IUnknownImpl, TwoThreadsCountExactlyAndTheObjectDiesOnce) {
    const long before = IUnknownImpl::getInstanceCount();
    destroyed = 0;
    ICounter* counter = new Counter;
    counter->AddRef();
    auto work = [counter] {
        for (int i = 0; i < 1000000; ++i) counter->AddRef(), counter->Release();
    };
    std::thread a(work), b(work);
    a.join(), b.join();
    EXPECT_EQ(counter->AddRef(), 2u) << "every pair balanced";
    EXPECT_EQ(counter->Release(), 1u);
    EXPECT_EQ(IUnknownImpl::getInstanceCount(), before + 1);
    EXPECT_EQ(counter->Release(), 0u);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(IUnknownImpl::getInstanceCount(), before);
}

TEST(IUnknownImpl, StrayReleasesFreeNothingAndDestructionRunsOnce) {
    destroyed = 0;
    Counter* fresh = new Counter;
    EXPECT_EQ(fresh->Release(), 0u) << "count 0: nothing to release";
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(fresh->AddRef(), 1u) << "the count stayed at 0";
    fresh->touchItselfWhenDestroyed = true;
    EXPECT_EQ(fresh->Release(), 0u);
    EXPECT_EQ(destroyed, 1) << "references taken and dropped by the destructor";
}

TEST(IUnknownImpl, QueryInterfaceAnswersItsInterfacesOnly) {
    const long before = IUnknownImpl::getInstanceCount();
    CounterPointer counter(new Counter);
    void* object = &object;
    EXPECT_EQ(counter->QueryInterface(IID_ICounter, nullptr), E_POINTER);
    EXPECT_EQ(counter->QueryInterface(IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(counter->AddRef(), 2u) << "a refused query adds no reference";
    counter->Release();
    IUnknown* unknown = nullptr;
    ASSERT_EQ(counter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(unknown->AddRef(), 3u) << "one count whatever interface was asked for";
    unknown->Release(), unknown->Release();
    try {
        COMInterfacePointer<IClassFactory> wrong(counter.get());
        FAIL() << "nothing thrown";
    } catch (const COMError& e) {
        EXPECT_EQ(e.getHRESULT(), E_NOINTERFACE);
        EXPECT_EQ(std::string(e.what()).rfind("Can't query interface ", 0), 0u) << e.what();
    }
    counter.reset();
    EXPECT_EQ(IUnknownImpl::getInstanceCount(), before);
}

TEST(IUnknownImpl, CopiesAreObjectsOfTheirOwn) {
    const long before = IUnknownImpl::getInstanceCount();
    {
        Counter original;
        original.AddRef(), original.AddRef();
        Counter copy(original);
        EXPECT_EQ(IUnknownImpl::getInstanceCount(), before + 2);
        EXPECT_EQ(copy.AddRef(), 1u) << "a copy starts with no references";
        copy = original;
        EXPECT_EQ(copy.AddRef(), 2u) << "assignment keeps the object's own count";
    }
    EXPECT_EQ(IUnknownImpl::getInstanceCount(), before);
}

// An outer object, written by hand as any COM client would, that aggregates a
// Counter made by the class factory.
class Outer : public IUnknown {
public:
    explicit Outer(IClassFactory* factory) {
        hr = factory->CreateInstance(this, IID_IUnknown, reinterpret_cast<void**>(&inner));
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown) return *object = static_cast<IUnknown*>(this), AddRef(), S_OK;
        return inner->QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--refs) return ULONG(refs);
        inner->Release();
        alive = false;
        return 0;
    }
    HRESULT hr;
    IUnknown* inner = nullptr;
    long refs = 1;
    bool alive = true;
};

TEST(Aggregation, TheInnerDelegatesToItsOuterObject) {
    const long before = IUnknownImpl::getInstanceCount();
    destroyed = 0;
    COMInterfacePointer<IClassFactory> factory(new Factory(createAggregatable<Counter>));
    Outer outer(factory.get());
    ASSERT_EQ(outer.hr, S_OK);
    ASSERT_NE(outer.inner, nullptr);

    ICounter* counter = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_ICounter, reinterpret_cast<void**>(&counter)), S_OK);
    EXPECT_EQ(outer.refs, 2) << "the reference went to the outer object";
    EXPECT_EQ(counter->next(), 1);
    IUnknown* identity = nullptr;
    ASSERT_EQ(counter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer)) << "the inner's IUnknown is the outer's identity";
    EXPECT_EQ(counter->AddRef(), 4u);
    counter->Release(), identity->Release(), counter->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(outer.Release(), 0u);
    EXPECT_EQ(destroyed, 1) << "the outer's last release destroyed the inner";
    factory.reset();
    EXPECT_EQ(IUnknownImpl::getInstanceCount(), before);
}

TEST(Factory, RefusalsLeaveNoObjectBehind) {
    const long before = IUnknownImpl::getInstanceCount();
    COMInterfacePointer<IClassFactory> aggregatable(new Factory(createAggregatable<Counter>));
    COMInterfacePointer<IClassFactory> standalone(new Factory(createStandalone<Counter>));
    COMInterfacePointer<IClassFactory> broken(new Factory([](IUnknown*) -> IUnknownImpl* { return nullptr; }));
    COMInterfacePointer<IClassFactory> throwing(
        new Factory([](IUnknown*) -> IUnknownImpl* { throw std::runtime_error("no"); }));
    Outer someone(aggregatable.get());
    const long withFactories = IUnknownImpl::getInstanceCount();
    struct Row {
        const char* what;
        IClassFactory* factory;
        IUnknown* outer;
        const GUID* iid;
        HRESULT hr;
    } rows[] = {
        {"aggregated, asked for another interface", aggregatable.get(), &someone, &IID_ICounter, CLASS_E_NOAGGREGATION},
        {"not aggregatable", standalone.get(), &someone, &IID_IUnknown, CLASS_E_NOAGGREGATION},
        {"interface it has not", aggregatable.get(), nullptr, &IID_IDispatch, E_NOINTERFACE},
        {"creator gives nothing", broken.get(), nullptr, &IID_IUnknown, E_OUTOFMEMORY},
        {"creator throws", throwing.get(), nullptr, &IID_IUnknown, E_FAIL},
    };
    for (const Row& r : rows) {
        void* object = &object;
        EXPECT_EQ(r.factory->CreateInstance(r.outer, *r.iid, &object), r.hr) << r.what;
        EXPECT_EQ(object, nullptr) << r.what;
        EXPECT_EQ(IUnknownImpl::getInstanceCount(), withFactories) << r.what;
    }
    EXPECT_EQ(aggregatable->CreateInstance(nullptr, IID_ICounter, nullptr), E_POINTER);
    void* object = nullptr;
    ASSERT_EQ(standalone->CreateInstance(nullptr, IID_ICounter, &object), S_OK);
    EXPECT_EQ(static_cast<ICounter*>(object)->Release(), 0u) << "a new object's count is 1";
    someone.Release();
    aggregatable.reset(), standalone.reset(), broken.reset(), throwing.reset();
    EXPECT_EQ(IUnknownImpl::getInstanceCount(), before);
}

const COMModule::ClassInfo classes[] = {
    {&CLSID_Counter, COMModule::inproc_server32 | COMModule::both, L"Counter", createAggregatable<Counter>, nullptr, nullptr},
    {&CLSID_Lonely, COMModule::local_server32, L"Lonely", createStandalone<Counter>, nullptr, nullptr},
    {&CLSID_RegisteredOnly, COMModule::inproc_server32, nullptr, nullptr, nullptr, nullptr},
    {&CLSID_Handler, COMModule::inproc_handler32, L"Handler", createStandalone<Counter>, nullptr, nullptr},
};

TEST(COMModule, ClassObjectsAndCanUnloadNow) {
    COMModule module(classes, 4);
    ASSERT_EQ(&COMModule::getModule(), &module);
    ASSERT_EQ(module.canUnloadNow(), S_OK);
    void* object = &object;
    EXPECT_EQ(module.createClassFactory(IID_IDispatch, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(module.createClassFactory(CLSID_RegisteredOnly, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(module.createClassFactory(CLSID_Counter, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(module.createClassFactory(CLSID_Counter, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(COMModule(nullptr, 0).createClassFactory(CLSID_Counter, IID_IClassFactory, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(module.canUnloadNow(), S_OK) << "refused factories are gone";

    COMInterfacePointer<IClassFactory> factory;
    ASSERT_EQ(module.createClassFactory(CLSID_Counter, IID_IClassFactory, factory.putVoid()), S_OK);
    EXPECT_EQ(module.canUnloadNow(), S_FALSE) << "a factory is an object";
    CounterPointer counter;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICounter, counter.putVoid()), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.reset();
    EXPECT_EQ(module.canUnloadNow(), S_FALSE) << "an object lives";
    counter.reset();
    EXPECT_EQ(module.canUnloadNow(), S_FALSE) << "the server is locked";
    module.lock(false);
    EXPECT_EQ(module.canUnloadNow(), S_OK);
    try {
        module.lock(false);
        FAIL() << "nothing thrown";
    } catch (const COMError& e) {
        EXPECT_EQ(e.getHRESULT(), E_UNEXPECTED);
    }
    EXPECT_EQ(module.getLockCount(), 0);
    COMInterfacePointer<IClassFactory> again(new Factory(createAggregatable<Counter>));
    EXPECT_EQ(again->LockServer(FALSE), E_UNEXPECTED);
    module.lock(true);
    EXPECT_EQ(module.canUnloadNow(), S_FALSE);
    EXPECT_EQ(again->LockServer(FALSE), S_OK);
}

TEST(COMModule, ServerKindsAndThreadingModels) {
    struct Row {
        unsigned long type;
        const char* server;
        const char* threading;
    } rows[] = {
        {0x00, "InprocServer32", ""},   {0x01, "InprocServer", ""},   {0x02, "InprocHandler32", ""},
        {0x03, "InprocHandler", ""},    {0x04, "LocalServer32", ""},  {0x05, "LocalServer", ""},
        {0x10, "InprocServer32", "Apartment"}, {0x20, "InprocServer32", "Both"}, {0x30, "InprocServer32", "Free"},
        {0x40, "InprocServer32", "Neutral"},   {0x14, "LocalServer32", ""},      {0x50, "InprocServer32", ""},
        {0x06, nullptr, ""}, {0x16, nullptr, ""}, {0x0F, nullptr, ""},
    };
    for (const Row& r : rows) {
        const COMModule::ClassInfo info{&CLSID_Counter, COMModule::server_and_threading(r.type), nullptr, nullptr,
                                        nullptr, nullptr};
        EXPECT_EQ(std::string(info.getThreadingModelA()), r.threading) << r.type;
        EXPECT_EQ(BasicString<char>(info.getThreadingModelW()), r.threading) << r.type;
        if (r.server) {
            EXPECT_EQ(std::string(info.getServerTypeT()), r.server) << r.type;
            EXPECT_EQ(BasicString<char>(info.getServerTypeW()), r.server) << r.type;
            continue;
        }
        try {
            info.getServerTypeA();
            ADD_FAILURE() << "nothing thrown for " << r.type;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Invalid value " + std::to_string(r.type) + " for server_and_threading");
        }
    }
}

TEST(COMModule, LocalServerClassObjectsAreRegisteredAndRevoked) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    {
        COMModule module(classes, 4);
        module.registerClassFactories();
        for (const GUID* clsid : {&CLSID_Counter, &CLSID_Lonely}) {
            COMInterfacePointer<IClassFactory> factory;
            EXPECT_EQ(CoGetClassObject(*clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.putVoid()), S_OK)
                << toString(*clsid);
        }
        COMInterfacePointer<IClassFactory> none;
        EXPECT_NE(CoGetClassObject(CLSID_Handler, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, none.putVoid()), S_OK)
            << "an in-process handler is not registered";
    }
    COMInterfacePointer<IClassFactory> revoked;
    EXPECT_NE(CoGetClassObject(CLSID_Counter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, revoked.putVoid()), S_OK);
    CoUninitialize();
}

TEST(ClassSource, FindsRecordsByType) {
    SimpleClassSource source;
    Class counter{"Counter", createAggregatable<Counter>};
    source.add(typeid(Counter), &counter);
    EXPECT_EQ(source.getClass(typeid(Counter)), &counter);
    EXPECT_EQ(source.getClass(typeid(Outer)), nullptr);
    void* object = nullptr;
    EXPECT_EQ(source.QueryInterface(IID_ClassSource, &object), S_OK);
    EXPECT_EQ(object, static_cast<ClassSource*>(&source));
    EXPECT_EQ(source.QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(source.QueryInterface(IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(source.QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(source.AddRef(), 1u);
    EXPECT_EQ(source.Release(), 1u);
    EXPECT_EQ(toString(IID_ClassSource), "{6E2D4B18-93A7-4C5F-B0E1-2F8A7D3C9E64}");
}

TEST(Allocators, TaskMemoryThroughEveryAllocator) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    {
        IMallocRef com(getCOMMalloc()), shell(getShellMalloc()), copy(com), empty;
        copy = shell;
        for (IMallocRef* m : {&com, &shell, &copy}) {
            char* p = static_cast<char*>(m->alloc(100));
            p[99] = 'x';
            m->free(p);
            m->free(nullptr);
        }
        EXPECT_THROW(empty.alloc(1), COMError);
        IMallocRef emptyCopy(empty);
        EXPECT_EQ(emptyCopy.get(), nullptr);
        void* task = allocTaskMemory(64);
        CoTaskMemFree(task);
        EXPECT_TRUE(bool(createBindContext()));
    }
    CoUninitialize();
}

} // namespace
