// BString, Variant and the other owners of COM resources: narrow text in the
// ANSI code page, texts assigned from themselves, conversions and their
// failures, and one sweep of copies, self-assignments and moves per owner that
// counts every resource released exactly once (a task-allocator spy for BSTRs
// and item lists, a counted object for interfaces).
#include "com_harness.h"

#include <vesk/com/bstring.h>
#include <vesk/com/item_id_list.h>
#include <vesk/com/malloc.h>
#include <vesk/com/variant.h>

#include <functional>
#include <set>

using namespace vesk;

namespace {

TEST(BString, NarrowTextIsInTheANSICodePageAndSelfAssignmentKeepsIt) {
    ASSERT_EQ(GetACP(), 1252u) << "the expected texts are those of code page 1252";
    BString s("\x80");
    Variant v("\x80");
    EXPECT_EQ(s.toWString() + v.toWString(), L"\u20AC\u20AC") << "made from narrow text";
    s = "\x93quoted\x94", v = "\x93";
    EXPECT_EQ(s.toWString() + v.toWString(), L"\u201Cquoted\u201D\u201C") << "assigned narrow text";

    const std::wstring text(3000, L'x');
    s = (text + L"abc").c_str();
    s = s.data();
    EXPECT_EQ(s.toWString(), text + L"abc");
    s = s.data() + 2;
    EXPECT_EQ(s.toWString(), text.substr(2) + L"abc");
    v = s.data();
    v = v.bstrVal + 3000;
    EXPECT_EQ(v.toWString(), L"c");

    s = static_cast<const wchar_t*>(nullptr);
    EXPECT_TRUE(s.data() == nullptr && s.length() == 0);
    *&s = SysAllocStringLen(L"a\0b", 3);
    EXPECT_EQ(BasicString<wchar_t>(s), std::wstring(L"a\0b", 3)) << "embedded zeros kept";
    EXPECT_EQ(*&s, nullptr) << "operator& frees the old text";
    s = L"owned";
    wchar_t* const owned = s.release();
    EXPECT_TRUE(s.data() == nullptr && std::wstring(owned) == L"owned");
    SysFreeString(owned);
}

TEST(Variant, TypesConversionsAndTheirFailures) {
    Variant number(42), bad(L"not a number");
    number.changeType(VT_BSTR);
    EXPECT_EQ(number.toWString(), L"42");
    EXPECT_EQ(Variant(Variant(L" 9"), VT_I4).lVal, 9);
    const auto failure = com_test::thrownBy([&] { bad.changeType(VT_I4); });
    EXPECT_EQ(failure.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(failure.what.rfind("Can't change variant type: ", 0), 0u) << failure.what;
    EXPECT_EQ(bad.toWString(), L"not a number") << "a failed change leaves the value";
}

// The task allocator's spy: which blocks are live, and frees of blocks it does not
// know. It is also a COM object that counts its references, an allocator that
// allocates nothing, for the owners of interfaces.
struct Spy : IMallocSpy, IMalloc {
    std::set<void*> live;
    int strangeFrees = 0;
    long refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** o) override {
        *o = iid == IID_IMallocSpy ? static_cast<void*>(static_cast<IMallocSpy*>(this)) : iid == IID_IUnknown || iid == IID_IMalloc ? static_cast<IMalloc*>(this) : nullptr;
        return *o ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--refs); }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cb) override { return cb; }
    void* STDMETHODCALLTYPE PostAlloc(void* p) override { return p ? *live.insert(p).first : p; }
    void* STDMETHODCALLTYPE PreFree(void* p, BOOL spyed) override { return strangeFrees += p && spyed && !live.erase(p), p; }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* p, SIZE_T cb, void** out, BOOL spyed) override { return *out = PreFree(p, spyed), cb; }
    void* STDMETHODCALLTYPE PostRealloc(void* p, BOOL) override { return p ? *live.insert(p).first : p; }
    void* STDMETHODCALLTYPE PreGetSize(void* p, BOOL) override { return p; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cb, BOOL) override { return cb; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* p, BOOL) override { return p; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}
    void* STDMETHODCALLTYPE Alloc(SIZE_T) override { return nullptr; }
    void* STDMETHODCALLTYPE Realloc(void*, SIZE_T) override { return nullptr; }
    void STDMETHODCALLTYPE Free(void*) override {}
    SIZE_T STDMETHODCALLTYPE GetSize(void*) override { return 0; }
    int STDMETHODCALLTYPE DidAlloc(void*) override { return 0; }
    void STDMETHODCALLTYPE HeapMinimize() override {}
};

// Self-assignment, assignment of one's own copy, chains of copies and moves:
// every holder keeps its resource while it lives, and at the end live() is
// back where it was.
template <class T>
void sweep(const char* name, std::function<T()> make, std::function<bool(const T&)> holds, std::function<long()> live) {
    SCOPED_TRACE(name);
    const long before = live();
    {
        T a = make();
        T& same = a;
        a = same;
        T b(a);
        a = b;
        b = a;
        T c(b), d(c);
        d = a, c = d;
        T m(std::move(c));
        c = std::move(m);
        T& also = c;
        c = std::move(also);
        EXPECT_TRUE(holds(a) && holds(b) && holds(c) && holds(d));
        EXPECT_GT(live(), before);
    }
    EXPECT_EQ(live(), before);
}

TEST(Owners, EveryResourceReleasedExactlyOnce) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    Spy spy;
    ASSERT_EQ(CoRegisterMallocSpy(&spy), S_OK);
    IMalloc* const object = &spy;
    const std::function<long()> blocks = [&] { return long(spy.live.size()); }, refs = [&] { return spy.refs; };
    // The text is put in through operator&, which frees the text it replaces.
    sweep<BString>("BString", [] {
        BString b(L"old");
        *&b = SysAllocString(L"text");
        return b;
    }, [](const BString& b) { return b.toWString() == L"text"; }, blocks);
    sweep<Variant>("Variant of a BSTR", [] { return Variant("text"); },
                   [](const Variant& v) { return v.vt == VT_BSTR && v.toWString() == L"text"; }, blocks);
    SHITEMID item[11] = {{20, {1}}};
    sweep<ItemIDList>("ItemIDList", [&] { return ItemIDList(*item); },
                      [](const ItemIDList& l) { return l.getSize() == 22 && l.isOwner(); }, blocks);
    sweep<Variant>("Variant of an interface", [&] {
        VARIANT raw{};
        raw.vt = VT_UNKNOWN, raw.punkVal = object;
        return Variant(raw, VT_UNKNOWN);
    }, [&](const Variant& v) { return v.vt == VT_UNKNOWN && v.punkVal == object; }, refs);
    sweep<COMInterfacePointer<IUnknown>>("COMInterfacePointer", [&] { return COMInterfacePointer<IUnknown>(object); },
                                         [&](const COMInterfacePointer<IUnknown>& p) { return p.get() == object; }, refs);
    sweep<IMallocRef>("IMallocRef", [&] { return IMallocRef(COMInterfacePointer<IMalloc>(object)); },
                      [&](const IMallocRef& m) { return m.get() == object; }, refs);
    EXPECT_EQ(spy.strangeFrees, 0) << "a block was freed twice";
    EXPECT_EQ(CoRevokeMallocSpy(), S_OK);
    CoUninitialize();
}

} // namespace
