// COM errors: the table of exceptions and HRESULTs both ways (throwOnError and
// getHRESULTFromException), COMError's messages, checkPointer, and the guard
// that keeps exceptions out of COM methods.
#include <vesk/com/com_error.h>
#include <vesk/com/guid.h>
#include <vesk/errors/exception.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>

using namespace vesk;

namespace {

enum class Kind { none, badAlloc, windows, com };

Kind thrownBy(long hr, const char* context, std::string& message, long& back, unsigned long& windowsError) {
    try {
        HRESULTHolder::throwOnError(hr, context);
        return Kind::none;
    } catch (const COMError& e) {
        message = e.what(), back = e.getHRESULT();
        return Kind::com;
    } catch (const WindowsError& e) {
        message = e.getDescription(), back = e.getHRESULT(), windowsError = e.getError();
        return Kind::windows;
    } catch (const std::bad_alloc& e) {
        message = e.what(), back = HRESULTHolder::getHRESULTFromException(e);
        return Kind::badAlloc;
    }
}

TEST(COMError, ThrowOnErrorPicksTheExceptionAndItsHRESULTComesBack) {
    struct Row {
        unsigned long hr;
        Kind kind;
        unsigned long windowsError;
    } rows[] = {
        {0, Kind::none, 0},
        {1, Kind::none, 0},                    // S_FALSE
        {0x7FFFFFFF, Kind::none, 0},
        {0x8007000E, Kind::badAlloc, 0},       // E_OUTOFMEMORY
        {0x80070005, Kind::windows, 5},        // E_ACCESSDENIED
        {0x80070002, Kind::windows, 2},
        {0x8007FFFF, Kind::windows, 0xFFFF},
        {0x80004005, Kind::com, 0},            // E_FAIL
        {0x80004002, Kind::com, 0},            // E_NOINTERFACE
        {0x80040111, Kind::com, 0},            // CLASS_E_CLASSNOTAVAILABLE
        {0x80060005, Kind::com, 0},            // facility 6, not Win32
        {0x80080005, Kind::com, 0},
        {0x8000FFFF, Kind::com, 0},            // E_UNEXPECTED
    };
    for (const Row& r : rows) {
        std::string message;
        long back = 0;
        unsigned long error = 0;
        const Kind kind = thrownBy(long(r.hr), "Can't do x", message, back, error);
        SCOPED_TRACE(std::to_string(r.hr));
        ASSERT_EQ(kind, r.kind);
        if (kind == Kind::none) continue;
        EXPECT_EQ(static_cast<unsigned long>(back), r.hr) << "the exception gives its HRESULT back";
        const std::string expected = kind == Kind::windows ? "Can't do x"
                                     : kind == Kind::com   ? "Can't do x: " + getHRESULTIdentifier(long(r.hr))
                                                           : "bad allocation";
        EXPECT_EQ(message, expected);
        EXPECT_EQ(error, r.windowsError);
    }
}

TEST(COMError, EveryLibraryExceptionMapsToAFailureCode) {
    struct Row {
        const char* what;
        std::function<void()> raise;
        unsigned long hr;
    } rows[] = {
        {"COMError", [] { throw COMError(0x80040154); }, 0x80040154},
        {"COMError of a success code", [] { throw COMError(1); }, 0x80004005},
        {"WindowsError 5", [] { throw WindowsError(5, "x"); }, 0x80070005},
        {"WindowsError 0", [] { throw WindowsError(0, "x"); }, 0x80004005},
        {"WindowsError holding an HRESULT", [] { throw WindowsError(0x80004002, "x"); }, 0x80004002},
        {"CRTError", [] { throw CRTError(2, "x"); }, 0x80004005},
        {"EndOfFile", [] { throw EndOfFile("x"); }, 0x80004005},
        {"SEHError", [] { throw SEHError(0xC0000005); }, 0x80004005},
        {"CommonDialogError", [] { throw CommonDialogError("x", 2); }, 0x80004005},
        {"Exception", [] { throw vesk::Exception("x"); }, 0x80004005},
        {"std::bad_alloc", [] { throw std::bad_alloc(); }, 0x8007000E},
        {"std::runtime_error", [] { throw std::runtime_error("x"); }, 0x80004005},
        {"int", [] { throw 7; }, 0x80004005},
    };
    for (const Row& r : rows) {
        const HRESULT hr = catchToHRESULT([&]() -> HRESULT { return r.raise(), S_OK; });
        EXPECT_EQ(static_cast<unsigned long>(hr), r.hr) << r.what;
    }
    EXPECT_EQ(catchToHRESULT([] { return S_FALSE; }), S_FALSE) << "a body's own code goes through";
}

TEST(COMError, MessagesNameContextAndCode) {
    EXPECT_EQ(std::string(COMError(0x80004005, "x").what()), "x: " + getHRESULTIdentifier(long(0x80004005)));
    EXPECT_EQ(std::string(COMError(0x80004005).what()), std::string(getHRESULTIdentifier(long(0x80004005))));
    try {
        HRESULTHolder::throwOnError(long(0x80004001));
        FAIL() << "nothing thrown";
    } catch (const COMError& e) {
        EXPECT_EQ(std::string(e.what()), ": " + getHRESULTIdentifier(long(0x80004001)));
    }
    try {
        COMError::checkPointer(nullptr);
        FAIL() << "nothing thrown";
    } catch (const COMError& e) {
        EXPECT_EQ(e.getHRESULT(), E_POINTER);
    }
    int here = 0;
    EXPECT_NO_THROW(COMError::checkPointer(&here));
}

// Every failure code survives throwOnError and getHRESULTFromException.
TEST(COMError, RandomFailureCodesRoundTrip) {
    std::mt19937 random(13);
    for (int i = 0; i < 20000; ++i) {
        const unsigned long hr = 0x80000000UL | (random() & 0x1FFFFFFFUL);
        const HRESULT back = catchToHRESULT([&]() -> HRESULT { return HRESULTHolder::throwOnError(long(hr)), S_OK; });
        ASSERT_EQ(static_cast<unsigned long>(back), hr);
    }
}

} // namespace
