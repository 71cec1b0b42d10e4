// BString and Variant: construction, conversion and ownership of every type they
// take (texts of both widths, integers, interfaces), copies and moves that never
// leave one BSTR or interface with two owners, release() hand-overs, and the
// messages of failed conversions.
#include <vesk/com/bstring.h>
#include <vesk/com/com_error.h>
#include <vesk/com/variant.h>

#include <gtest/gtest.h>

#include <string>

using namespace vesk;

namespace {

TEST(BString, HoldsTextOfBothWidthsAndEmbeddedZeros) {
    EXPECT_EQ(BString().data(), nullptr);
    EXPECT_EQ(BString().length(), 0u);
    EXPECT_EQ(BString(L"abc").toWString(), L"abc");
    EXPECT_EQ(BString("a\xFC").toWString(), L"a\u00FC") << "narrow text is ANSI (cp1252)";
    BString s(L"x");
    s = "hello";
    EXPECT_EQ(s.length(), 5u);
    s = static_cast<const wchar_t*>(nullptr);
    EXPECT_EQ(s.data(), nullptr);
    BString zeros;
    *&zeros = SysAllocStringLen(L"a\0b", 3);
    EXPECT_EQ(zeros.length(), 3u);
    EXPECT_EQ(BasicString<wchar_t>(zeros), std::wstring(L"a\0b", 3));
}

TEST(BString, CopiesOwnTheirOwnStringAndReleaseHandsItOver) {
    BString a(L"text");
    BString b(a), c;
    c = a;
    EXPECT_NE(b.data(), a.data());
    EXPECT_NE(c.data(), a.data());
    EXPECT_EQ(c.toWString(), L"text");
    c = c;
    EXPECT_EQ(c.toWString(), L"text");
    BString moved(std::move(a));
    EXPECT_EQ(a.data(), nullptr);
    EXPECT_EQ(moved.toWString(), L"text");
    wchar_t* const owned = moved.release();
    EXPECT_EQ(moved.data(), nullptr);
    EXPECT_EQ(std::wstring(owned), L"text");
    SysFreeString(owned);
    BString out(L"old");
    wchar_t** slot = &out;
    EXPECT_EQ(*slot, nullptr) << "operator& frees the old text";
    EXPECT_EQ(slot, &out);
}

// A COM object that counts its references, to see who owns it.
struct Counted : IUnknown {
    long refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown) return *object = nullptr, E_NOINTERFACE;
        return *object = this, AddRef(), S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--refs); }
};

TEST(Variant, ConstructorsSetTypeAndValue) {
    EXPECT_EQ(Variant().getType(), VT_EMPTY);
    EXPECT_TRUE(Variant().isEmpty());
    Variant seven(7);
    EXPECT_EQ(seven.getType(), 3);
    EXPECT_EQ(seven.lVal, 7);
    Variant narrow("na\xEFve"), wide(L"wide");
    EXPECT_EQ(narrow.getType(), 8);
    EXPECT_EQ(narrow.toWString(), L"na\u00EFve");
    EXPECT_EQ(wide.toWString(), L"wide");
    Variant null;
    null.setType(VT_NULL);
    EXPECT_TRUE(null.isNull());
}

TEST(Variant, ConversionsByTable) {
    struct Row {
        Variant from;
        unsigned short to;
        const wchar_t* text; // the converted value as text
    } rows[] = {
        {Variant(42), VT_BSTR, L"42"},
        {Variant(-5), VT_I2, L"-5"},
        {Variant(L"123"), VT_I4, L"123"},
        {Variant("  77"), VT_I4, L"77"},
        {Variant(3), VT_R8, L"3"},
    };
    for (Row& r : rows) {
        r.from.changeType(r.to);
        EXPECT_EQ(r.from.getType(), r.to);
        EXPECT_EQ(r.from.toWString(), r.text);
    }
    Variant converted(Variant(L"9"), VT_I4);
    EXPECT_EQ(converted.getType(), VT_I4);
    EXPECT_EQ(converted.lVal, 9);
    Variant bad(L"not a number");
    try {
        bad.changeType(VT_I4);
        FAIL() << "nothing thrown";
    } catch (const COMError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Can't change variant type: ", 0), 0u) << e.what();
        EXPECT_EQ(e.getHRESULT(), DISP_E_TYPEMISMATCH);
    }
    EXPECT_EQ(bad.toWString(), L"not a number") << "a failed change leaves the value";
    EXPECT_THROW(Variant(bad, VT_I4), COMError);
    Variant null;
    null.setType(VT_NULL);
    EXPECT_THROW(null.toWString(), COMError) << "VT_NULL has no text";
    EXPECT_EQ(Variant().toWString(), L"");
}

TEST(Variant, CopiesAndMovesKeepOneOwnerPerBSTRAndInterface) {
    Variant a(L"shared?");
    Variant b(a), c;
    c = a;
    EXPECT_NE(b.bstrVal, a.bstrVal);
    EXPECT_NE(c.bstrVal, a.bstrVal);
    c = c;
    EXPECT_EQ(c.toWString(), L"shared?");
    c = "replaced";
    EXPECT_EQ(c.toWString(), L"replaced");
    Variant moved(std::move(a));
    EXPECT_TRUE(a.isEmpty());
    EXPECT_EQ(moved.toWString(), L"shared?");

    Counted object;
    {
        VARIANT raw;
        VariantInit(&raw);
        raw.vt = VT_UNKNOWN;
        raw.punkVal = &object;
        Variant held(raw, VT_UNKNOWN); // a copy: one reference more
        EXPECT_EQ(object.refs, 2);
        Variant copy(held), assigned;
        assigned = held;
        EXPECT_EQ(object.refs, 4);
        assigned = std::move(copy);
        EXPECT_EQ(object.refs, 3) << "the moved-over variant's own reference went";
        VARIANT out = assigned.release();
        EXPECT_TRUE(assigned.isEmpty());
        EXPECT_EQ(object.refs, 3) << "release() hands the reference over";
        VariantClear(&out);
        EXPECT_EQ(object.refs, 2);
    }
    EXPECT_EQ(object.refs, 1) << "every variant released what it held, once";
}

TEST(Variant, ReleaseHandsTheBSTROver) {
    Variant v("owned");
    VARIANT out = v.release();
    EXPECT_TRUE(v.isEmpty());
    EXPECT_EQ(out.vt, VT_BSTR);
    EXPECT_EQ(std::wstring(out.bstrVal), L"owned");
    VariantClear(&out);
}

} // namespace
