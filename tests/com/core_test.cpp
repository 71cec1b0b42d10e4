// The COM server core and COM errors: exact interlocked counts, destruction
// once, aggregation through an outer object, the factory's refusals, the
// module's class table, lock and canUnloadNow, local-server class objects,
// the class source, allocators, and HRESULTs and exceptions both ways.
#include "com_harness.h"

#include <vesk/com/class_source.h>
#include <vesk/com/malloc.h>
#include <vesk/com/module.h>

#include <thread>

using namespace vesk;

// {B3F1C2A0-5D4E-4F6A-8B7C-9D0E1F2A3B4C}, A1.. A4: the counter's interface and the module's classes
#define TEST_GUID(first) {first, 0x5D4E, 0x4F6A, {0x8B, 0x7C, 0x9D, 0x0E, 0x1F, 0x2A, 0x3B, 0x4C}}
extern const GUID IID_ICounter = TEST_GUID(0xB3F1C2A0);
const GUID CLSID_Counter = TEST_GUID(0xB3F1C2A1), CLSID_Lonely = TEST_GUID(0xB3F1C2A2),
           CLSID_RegisteredOnly = TEST_GUID(0xB3F1C2A3), CLSID_Handler = TEST_GUID(0xB3F1C2A4);

struct ICounter : IUnknown {
    virtual long STDMETHODCALLTYPE next() = 0;
};

namespace {

long destroyed = 0;

class Counter : public ICounter, public IUnknownImpl {
public:
    explicit Counter(IUnknown* outer = nullptr) : IUnknownImpl(outer) {}
    VESK_FORWARD_IUNKNOWN
    long STDMETHODCALLTYPE next() override { return ++value; }
    long value = 0;
    bool touchItselfWhenDestroyed = false;
    ~Counter() override {
        if (touchItselfWhenDestroyed) AddRef(), Release(), Release(), internalRelease();
        ++destroyed;
    }

protected:
    void* queryInterface(const GUID& iid) override {
        return iid == IID_ICounter ? static_cast<ICounter*>(this) : IUnknownImpl::queryInterface(iid);
    }
};

using FactoryPointer = COMInterfacePointer<IClassFactory>;

TEST(IUnknownImpl, CountsExactlyOnTwoThreadsAndDiesOnce) {
    const long before = IUnknownImpl::getInstanceCount();
    destroyed = 0;
    ICounter* counter = new Counter;
    counter->AddRef();
    const auto work = [counter] {
        for (int i = 0; i < 500000; ++i) counter->AddRef(), counter->Release();
    };
    std::thread a(work), b(work);
    a.join(), b.join();
    EXPECT_EQ(counter->AddRef(), 2u);
    EXPECT_EQ(counter->Release(), 1u);
    EXPECT_EQ(IUnknownImpl::getInstanceCount(), before + 1);
    EXPECT_EQ(counter->Release(), 0u);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(IUnknownImpl::getInstanceCount(), before);
    Counter* fresh = new Counter;
    EXPECT_EQ(fresh->Release(), 0u) << "count 0: nothing to release";
    EXPECT_EQ(fresh->AddRef(), 1u) << "and nothing destroyed";
    fresh->touchItselfWhenDestroyed = true;
    EXPECT_EQ(fresh->Release(), 0u);
    EXPECT_EQ(destroyed, 2) << "references taken and dropped by the destructor";
    {
        Counter original, copy(original);
        original.AddRef();
        EXPECT_EQ(IUnknownImpl::getInstanceCount(), before + 2) << "a copy is an object of its own";
        EXPECT_EQ(copy.AddRef(), 1u);
        copy = original;
        EXPECT_EQ(copy.AddRef(), 2u) << "assignment keeps the object's own count";
    }
    EXPECT_EQ(IUnknownImpl::getInstanceCount(), before);
}

TEST(IUnknownImpl, QueryInterfaceAndAggregation) {
    const long before = IUnknownImpl::getInstanceCount();
    COMInterfacePointer<ICounter, &IID_ICounter> counter(new Counter);
    void* object = &object;
    EXPECT_EQ(counter->QueryInterface(IID_ICounter, nullptr), E_POINTER);
    EXPECT_EQ(counter->QueryInterface(IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(counter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(unknown->AddRef(), 3u) << "one count, whatever interface was asked for; none for a refusal";
    unknown->Release(), unknown->Release();
    try {
        COMInterfacePointer<IClassFactory> wrong(counter.get());
        ADD_FAILURE() << "nothing thrown";
    } catch (const COMError& e) {
        EXPECT_EQ(e.getHRESULT(), E_NOINTERFACE);
        EXPECT_EQ(std::string(e.what()).rfind("Can't query interface ", 0), 0u) << e.what();
    }
    counter.reset();
    destroyed = 0;
    FactoryPointer factory(new Factory(createAggregatable<Counter>));
    com_test::Outer outer(factory.get());
    ASSERT_EQ(outer.hr, S_OK);
    ICounter* inner = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_ICounter, reinterpret_cast<void**>(&inner)), S_OK);
    EXPECT_EQ(outer.refs, 2) << "the reference went to the outer object";
    EXPECT_EQ(inner->next(), 1);
    IUnknown* identity = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer)) << "the inner's identity is the outer's";
    EXPECT_EQ(inner->AddRef(), 4u);
    inner->Release(), identity->Release(), inner->Release();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(outer.Release(), 0u);
    EXPECT_EQ(destroyed, 1) << "the outer's last release destroyed the inner";
    factory.reset();
    EXPECT_EQ(IUnknownImpl::getInstanceCount(), before);
}

TEST(Factory, RefusalsLeaveNoObjectBehind) {
    const long before = IUnknownImpl::getInstanceCount();
    FactoryPointer aggregatable(new Factory(createAggregatable<Counter>)), standalone(new Factory(createStandalone<Counter>)),
        none(new Factory([](IUnknown*) -> IUnknownImpl* { return nullptr; })),
        throwing(new Factory([](IUnknown*) -> IUnknownImpl* { throw std::runtime_error("no"); }));
    com_test::Outer someone(aggregatable.get());
    const long live = IUnknownImpl::getInstanceCount();
    const struct {
        IClassFactory* factory;
        IUnknown* outer;
        const GUID& iid;
        HRESULT hr;
    } rows[] = {
        {aggregatable.get(), &someone, IID_ICounter, CLASS_E_NOAGGREGATION}, {standalone.get(), &someone, IID_IUnknown, CLASS_E_NOAGGREGATION},
        {aggregatable.get(), nullptr, IID_IDispatch, E_NOINTERFACE},        {none.get(), nullptr, IID_IUnknown, E_OUTOFMEMORY},
        {throwing.get(), nullptr, IID_IUnknown, E_FAIL},
    };
    for (const auto& r : rows) {
        void* object = &object;
        EXPECT_EQ(r.factory->CreateInstance(r.outer, r.iid, &object), r.hr) << &r - rows;
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(IUnknownImpl::getInstanceCount(), live) << &r - rows;
    }
    EXPECT_EQ(aggregatable->CreateInstance(nullptr, IID_ICounter, nullptr), E_POINTER);
    void* object = nullptr;
    ASSERT_EQ(standalone->CreateInstance(nullptr, IID_ICounter, &object), S_OK);
    EXPECT_EQ(static_cast<ICounter*>(object)->Release(), 0u) << "a new object's count is 1";
    someone.Release();
    aggregatable.reset(), standalone.reset(), none.reset(), throwing.reset();
    EXPECT_EQ(IUnknownImpl::getInstanceCount(), before);
}

const COMModule::ClassInfo classes[] = {
    {&CLSID_Counter, COMModule::inproc_server32 | COMModule::both, L"Counter", createAggregatable<Counter>, nullptr, nullptr},
    {&CLSID_Lonely, COMModule::local_server32, L"Lonely", createStandalone<Counter>, nullptr, nullptr},
    {&CLSID_RegisteredOnly, COMModule::inproc_server32, nullptr, nullptr, nullptr, nullptr},
    {&CLSID_Handler, COMModule::inproc_handler32, L"Handler", createStandalone<Counter>, nullptr, nullptr},
};

TEST(COMModule, ClassObjectsLockAndCanUnloadNow) {
    COMModule module(classes, 4);
    ASSERT_EQ(&COMModule::getModule(), &module);
    ASSERT_EQ(module.canUnloadNow(), S_OK);
    void* object = &object;
    EXPECT_EQ(module.createClassFactory(IID_IDispatch, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(module.createClassFactory(CLSID_RegisteredOnly, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(module.createClassFactory(CLSID_Counter, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(module.createClassFactory(CLSID_Counter, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(module.canUnloadNow(), S_OK) << "refused factories are gone";
    FactoryPointer factory;
    ASSERT_EQ(module.createClassFactory(CLSID_Counter, IID_IClassFactory, factory.putVoid()), S_OK);
    EXPECT_EQ(module.canUnloadNow(), S_FALSE) << "a factory is an object";
    COMInterfacePointer<IUnknown> counter;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICounter, counter.putVoid()), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.reset(), counter.reset();
    EXPECT_EQ(module.canUnloadNow(), S_FALSE) << "the server is locked";
    module.lock(false);
    EXPECT_EQ(module.canUnloadNow(), S_OK);
    try {
        module.lock(false);
        ADD_FAILURE() << "nothing thrown";
    } catch (const COMError& e) {
        EXPECT_EQ(e.getHRESULT(), E_UNEXPECTED);
    }
    FactoryPointer again(new Factory(createAggregatable<Counter>));
    EXPECT_EQ(again->LockServer(FALSE), E_UNEXPECTED);
    module.lock(true);
    EXPECT_EQ(again->LockServer(FALSE), S_OK);
    EXPECT_EQ(module.getLockCount(), 0);
}

TEST(COMModule, ServerKindsAndThreadingModels) {
    const struct {
        unsigned long type;
        const char *server, *threading;
    } rows[] = {
        {0x00, "InprocServer32", ""}, {0x01, "InprocServer", ""}, {0x02, "InprocHandler32", ""}, {0x03, "InprocHandler", ""},
        {0x04, "LocalServer32", ""}, {0x05, "LocalServer", ""}, {0x10, "InprocServer32", "Apartment"},
        {0x20, "InprocServer32", "Both"}, {0x30, "InprocServer32", "Free"}, {0x40, "InprocServer32", "Neutral"},
        {0x14, "LocalServer32", ""}, {0x50, "InprocServer32", ""}, {0x06, nullptr, ""}, {0x16, nullptr, ""},
    };
    for (const auto& r : rows) {
        const COMModule::ClassInfo info{&CLSID_Counter, COMModule::server_and_threading(r.type), nullptr, nullptr, nullptr, nullptr};
        EXPECT_EQ(std::string(info.getThreadingModelA()) + "/" + BasicString<char>(info.getThreadingModelW()),
                  std::string(r.threading) + "/" + r.threading) << r.type;
        try {
            EXPECT_EQ(std::string(info.getServerTypeT()) + "/" + BasicString<char>(info.getServerTypeW()),
                      std::string(r.server ? r.server : "(throws)") + "/" + (r.server ? r.server : "")) << r.type;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(r.server, nullptr) << r.type;
            EXPECT_EQ(std::string(e.what()), "Invalid value " + std::to_string(r.type) + " for server_and_threading");
        }
    }
}

TEST(COMModule, LocalServerClassObjectsAreRegisteredAndRevoked) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    const auto registered = [](const GUID& clsid) {
        FactoryPointer factory;
        return CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.putVoid()) == S_OK;
    };
    {
        COMModule module(classes, 4);
        module.registerClassFactories();
        EXPECT_TRUE(registered(CLSID_Counter) && registered(CLSID_Lonely));
        EXPECT_FALSE(registered(CLSID_Handler)) << "an in-process handler is not registered";
    }
    EXPECT_FALSE(registered(CLSID_Counter)) << "revoked with the module";
    CoUninitialize();
}

TEST(ClassSourceAndAllocators, AnswerTheirInterfaces) {
    SimpleClassSource source;
    Class counter{"Counter", createAggregatable<Counter>};
    source.add(typeid(Counter), &counter);
    EXPECT_TRUE(source.getClass(typeid(Counter)) == &counter && !source.getClass(typeid(int)));
    void* object = nullptr;
    EXPECT_EQ(source.QueryInterface(IID_ClassSource, &object), S_OK);
    EXPECT_EQ(object, static_cast<ClassSource*>(&source));
    EXPECT_EQ(source.QueryInterface(IID_IDispatch, &object), E_NOINTERFACE);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    {
        IMallocRef com(getCOMMalloc()), shell(getShellMalloc()), empty;
        com.free(shell.alloc(100));
        EXPECT_THROW(empty.alloc(1), COMError);
        CoTaskMemFree(allocTaskMemory(64));
        EXPECT_TRUE(bool(createBindContext()));
    }
    CoUninitialize();
}

TEST(COMError, HRESULTsToExceptionsAndBack) {
    const unsigned long codes[] = {0, 1, 0x7FFFFFFF, 0x8007000E, 0x80070005, 0x8007FFFF, 0x80004005, 0x80060005, 0x8000FFFF};
    const char* const kinds[] = {"", "", "", "bad_alloc", "Win32", "Win32", "COM", "COM", "COM"};
    for (std::size_t i = 0; i < 9; ++i) {
        std::string kind;
        HRESULT back = 0;
        try {
            HRESULTHolder::throwOnError(long(codes[i]), "Can't do x");
        } catch (const COMError& e) {
            kind = e.what() == "Can't do x: " + getHRESULTIdentifier(long(codes[i])) ? "COM" : e.what();
            back = HRESULTHolder::getHRESULTFromException(e);
        } catch (const WindowsError& e) {
            kind = e.getDescription() == "Can't do x" && e.getError() == (codes[i] & 0xFFFF) ? "Win32" : e.what();
            back = HRESULTHolder::getHRESULTFromException(e);
        } catch (const std::bad_alloc& e) {
            kind = std::string(e.what()) == "bad allocation" ? "bad_alloc" : e.what();
            back = HRESULTHolder::getHRESULTFromException(e);
        }
        EXPECT_EQ(kind, kinds[i]) << std::hex << codes[i];
        EXPECT_EQ(static_cast<unsigned long>(back), *kinds[i] ? codes[i] : 0) << std::hex << codes[i];
    }
    EXPECT_EQ(catchToHRESULT([]() -> HRESULT { throw COMError(1); }), E_FAIL) << "an exception is a failure";
    EXPECT_EQ(catchToHRESULT([]() -> HRESULT { throw 7; }), E_FAIL);
    struct Odd : std::runtime_error, HRESULTHolder {
        Odd() : std::runtime_error("odd") {}
        HRESULT getHRESULT() const override { throw std::logic_error("no code"); }
    };
    EXPECT_EQ(catchToHRESULT([]() -> HRESULT { throw Odd(); }), E_FAIL) << "a holder that throws for its code";
    EXPECT_EQ(std::string(COMError(0x80004005).what()), std::string(getHRESULTIdentifier(long(0x80004005))));
    try {
        COMError::checkPointer(nullptr);
        ADD_FAILURE() << "nothing thrown";
    } catch (const COMError& e) {
        EXPECT_EQ(e.getHRESULT(), E_POINTER);
    }
}

} // namespace
