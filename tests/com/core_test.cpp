// The COM server core and COM errors: exact interlocked counts, destruction
// once, aggregation through an outer object, the factory's refusals, the
// module's class table, lock and canUnloadNow, the class source, and HRESULTs and exceptions both ways.
#include "com_harness.h"

#include <vesk/com/class_source.h>
#include <vesk/com/module.h>

#include <thread>

using namespace vesk;
using com_test::Answers;
using com_test::thrownBy;

// {B3F1C2A0-5D4E-4F6A-8B7C-9D0E1F2A3B4C}, A1 and A3: the counter's interface and the module's classes
#define TEST_GUID(first) {first, 0x5D4E, 0x4F6A, {0x8B, 0x7C, 0x9D, 0x0E, 0x1F, 0x2A, 0x3B, 0x4C}}
extern const GUID IID_ICounter = TEST_GUID(0xB3F1C2A0);
const GUID CLSID_Counter = TEST_GUID(0xB3F1C2A1), CLSID_RegisteredOnly = TEST_GUID(0xB3F1C2A3);

struct ICounter : IUnknown { virtual long STDMETHODCALLTYPE next() = 0; };

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
    const auto work = [counter] { for (int i = 0; i < 500000; ++i) counter->AddRef(), counter->Release(); };
    std::thread a(work), b(work);
    a.join(), b.join();
    EXPECT_EQ(IUnknownImpl::getInstanceCount(), before + 1);
    EXPECT_EQ(counter->Release(), 0u) << "both threads' counts were exact";
    EXPECT_EQ(destroyed, 1);
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
    ASSERT_EQ(counter->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(object)->Release(), 1u) << "one count, whatever interface was asked for; none for a refusal";
    const auto wrong = thrownBy([&] { COMInterfacePointer<IClassFactory> factory(counter.get()); });
    EXPECT_EQ(wrong.hr, E_NOINTERFACE);
    EXPECT_EQ(wrong.what.rfind("Can't query interface ", 0), 0u) << wrong.what;
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
    const auto refused = [&](IClassFactory* factory, IUnknown* outer, const GUID& iid) {
        void* object = &object;
        const HRESULT hr = factory->CreateInstance(outer, iid, &object);
        EXPECT_TRUE(object == nullptr && IUnknownImpl::getInstanceCount() == live) << "left behind";
        return hr;
    };
    EXPECT_EQ((Answers{refused(aggregatable.get(), &someone, IID_ICounter), refused(standalone.get(), &someone, IID_IUnknown),
                       refused(aggregatable.get(), nullptr, IID_IDispatch), refused(none.get(), nullptr, IID_IUnknown),
                       refused(throwing.get(), nullptr, IID_IUnknown)}),
              (Answers{CLASS_E_NOAGGREGATION, CLASS_E_NOAGGREGATION, E_NOINTERFACE, E_OUTOFMEMORY, E_FAIL}));
    someone.Release();
    aggregatable.reset(), standalone.reset(), none.reset(), throwing.reset();
    EXPECT_EQ(IUnknownImpl::getInstanceCount(), before);
}

const COMModule::ClassInfo classes[] = {
    {&CLSID_Counter, COMModule::inproc_server32 | COMModule::both, L"Counter", createAggregatable<Counter>, nullptr, nullptr},
    {&CLSID_RegisteredOnly, COMModule::inproc_server32, nullptr, nullptr, nullptr, nullptr},
};

TEST(COMModule, ClassObjectsLockAndCanUnloadNow) {
    EXPECT_EQ(thrownBy([] { COMModule::getModule(); }).hr, E_UNEXPECTED) << "no module yet";
    COMModule module(classes, 2);
    ASSERT_TRUE(&COMModule::getModule() == &module && module.canUnloadNow() == S_OK);
    void* object = &object;
    EXPECT_EQ((Answers{module.createClassFactory(IID_IDispatch, IID_IClassFactory, &object),
                       module.createClassFactory(CLSID_RegisteredOnly, IID_IClassFactory, &object),
                       module.createClassFactory(CLSID_Counter, IID_IDispatch, &object),
                       module.createClassFactory(CLSID_Counter, IID_IClassFactory, nullptr), module.canUnloadNow()}),
              (Answers{CLASS_E_CLASSNOTAVAILABLE, CLASS_E_CLASSNOTAVAILABLE, E_NOINTERFACE, E_POINTER, S_OK})) << "refused factories are gone";
    EXPECT_EQ(object, nullptr);
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
    EXPECT_EQ(thrownBy([&] { module.lock(false); }).hr, E_UNEXPECTED) << "never below 0";
    FactoryPointer again(new Factory(createAggregatable<Counter>));
    EXPECT_EQ((Answers{again->LockServer(FALSE), (module.lock(true), again->LockServer(FALSE)), module.getLockCount()}),
              (Answers{E_UNEXPECTED, S_OK, 0}));
}

TEST(ClassSource, AnswersItsInterface) {
    SimpleClassSource source;
    Class counter{"Counter", createAggregatable<Counter>};
    source.add(typeid(Counter), &counter);
    EXPECT_TRUE(source.getClass(typeid(Counter)) == &counter && !source.getClass(typeid(int)));
    void* object = nullptr;
    EXPECT_EQ(source.QueryInterface(IID_ClassSource, &object), S_OK);
    EXPECT_EQ(object, static_cast<ClassSource*>(&source));
    EXPECT_EQ(source.QueryInterface(IID_IDispatch, &object), E_NOINTERFACE);
}

// Failures become the library's exceptions with their text and code, and those
// exceptions map back to the same HRESULT; success codes throw nothing.
TEST(COMError, HRESULTsToExceptionsAndBack) {
    std::string kinds;
    for (unsigned long code : {0x0ul, 0x1ul, 0x7FFFFFFFul, 0x8007000Eul, 0x80070005ul, 0x8007FFFFul, 0x80004005ul, 0x80060005ul, 0x8000FFFFul}) {
        try {
            HRESULTHolder::throwOnError(long(code), "Can't do x");
            kinds += "none ";
        } catch (const std::exception& e) {
            const auto* win32 = dynamic_cast<const WindowsError*>(&e);
            kinds += dynamic_cast<const COMError*>(&e) && e.what() == "Can't do x: " + getHRESULTIdentifier(long(code)) ? "COM "
                     : win32 && win32->getDescription() == "Can't do x" && win32->getError() == (code & 0xFFFF)    ? "Win32 "
                     : dynamic_cast<const std::bad_alloc*>(&e) && e.what() == std::string("bad allocation")       ? "bad_alloc "
                                                                                                                    : e.what();
            EXPECT_EQ(static_cast<unsigned long>(HRESULTHolder::getHRESULTFromException(e)), code) << std::hex << code;
        }
    }
    EXPECT_EQ(kinds, "none none none bad_alloc Win32 Win32 COM COM COM ");
    EXPECT_EQ(catchToHRESULT([]() -> HRESULT { throw COMError(1); }), E_FAIL) << "an exception is a failure";
    EXPECT_EQ(catchToHRESULT([]() -> HRESULT { throw 7; }), E_FAIL);
    struct Odd : std::runtime_error, HRESULTHolder {
        Odd() : std::runtime_error("odd") {}
        HRESULT getHRESULT() const override { throw std::logic_error("no code"); }
    };
    EXPECT_EQ(catchToHRESULT([]() -> HRESULT { throw Odd(); }), E_FAIL) << "a holder that throws for its code";
    EXPECT_EQ(std::string(COMError(0x80004005).what()), std::string(getHRESULTIdentifier(long(0x80004005))));
    EXPECT_EQ(thrownBy([] { COMError::checkPointer(nullptr); }).hr, E_POINTER);
}

} // namespace
