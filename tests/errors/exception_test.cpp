// Exception hierarchy: message composition, error codes, HRESULT mapping and
// the fallbacks of WindowsError::getMessage.
#include <vesk/errors/exception.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

using namespace vesk;

namespace {

std::string systemText(unsigned long error) {
    char* buffer = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = n ? std::string(buffer, n) : std::string();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

} // namespace

TEST(WindowsError, FailedWin32CallKeepsCodeAndAppendsSystemText) {
    HANDLE h = CreateFileA("C:\\definitely\\not\\here.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_EQ(h, INVALID_HANDLE_VALUE);
    WindowsError e("Can't open \"C:\\definitely\\not\\here.txt\"");
    const unsigned long code = e.getError();
    EXPECT_TRUE(code == ERROR_PATH_NOT_FOUND || code == ERROR_FILE_NOT_FOUND) << code;
    const std::string expected = "Can't open \"C:\\definitely\\not\\here.txt\": " + systemText(code);
    EXPECT_EQ(std::string(e.what()), expected);
    EXPECT_FALSE(systemText(code).empty());
    EXPECT_EQ(e.getDescription(), "Can't open \"C:\\definitely\\not\\here.txt\"");
}

TEST(WindowsError, MessageIsBuiltOnceAndHasNoTrailingLineBreak) {
    WindowsError e(ERROR_FILE_NOT_FOUND, "D");
    const char* first = e.what();
    const std::string text = first;
    EXPECT_EQ(text.rfind("D: ", 0), 0u);
    EXPECT_GT(text.size(), 3u);
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    EXPECT_EQ(e.what(), first) << "the message must be cached, not rebuilt";
}

TEST(WindowsError, EmptyDescriptionGivesSystemTextAlone) {
    WindowsError e(ERROR_ACCESS_DENIED, "");
    EXPECT_EQ(std::string(e.what()), systemText(ERROR_ACCESS_DENIED));
}

TEST(WindowsError, DefaultErrorIsLastErrorAtConstruction) {
    SetLastError(ERROR_INVALID_HANDLE);
    WindowsError e;
    SetLastError(0);
    EXPECT_EQ(e.getError(), unsigned(ERROR_INVALID_HANDLE));
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    WindowsError f("Can't allocate");
    EXPECT_EQ(f.getError(), unsigned(ERROR_NOT_ENOUGH_MEMORY));
}

TEST(WindowsError, HResultMapping) {
    struct Row {
        unsigned long error;
        HRESULT expected;
    } rows[] = {
        {0, 0},
        {2, HRESULT(0x80070002)},
        {5, HRESULT(0x80070005)},
        {0x12345, HRESULT(0x80072345)},
        {0x80004005, HRESULT(0x80004005)},
        {0x8007000E, HRESULT(0x8007000E)},
    };
    for (const Row& r : rows) EXPECT_EQ(WindowsError(r.error, "x").getHRESULT(), r.expected) << r.error;
    const HRESULTHolder& holder = WindowsError(3, "x");
    EXPECT_EQ(holder.getHRESULT(), HRESULT(0x80070003));
}

TEST(WindowsError, UnknownCodeFallsBackToHexText) {
    EXPECT_EQ(WindowsError(57005, "").getMessage(), "Windows error 0xdead");
    EXPECT_EQ(std::string(WindowsError(57005, "Can't frob").what()), "Can't frob: Windows error 0xdead");
}

TEST(WindowsError, NetworkRangeUsesMessageModule) {
    // netmsg.dll holds the texts of 2100..2999; where it is missing (Wine) the
    // hex fallback must be used, never the system table.
    WindowsError e(2102, "Can't start");
    const std::string message = e.getMessage();
    if (GetFileAttributesA("C:\\windows\\system32\\netmsg.dll") == INVALID_FILE_ATTRIBUTES)
        EXPECT_EQ(message, "Windows error 0x836");
    else
        EXPECT_FALSE(message.empty());
}

TEST(WindowsError, CopiesKeepCodeAndMessage) {
    WindowsError e(ERROR_FILE_NOT_FOUND, "Can't read");
    const std::string text = e.what();
    WindowsError copy(e);
    EXPECT_EQ(copy.getError(), unsigned(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(std::string(copy.what()), text);
    WindowsError assigned(1, "other");
    assigned = e;
    EXPECT_EQ(std::string(assigned.what()), text);
}

namespace {
struct CustomError : WindowsError {
    CustomError() : WindowsError(42, "Can't do it") {}
    std::string getMessage() const override { return "custom words"; }
};
struct ThrowingError : WindowsError {
    ThrowingError() : WindowsError(42, "Can't do it") {}
    std::string getMessage() const override { throw std::runtime_error("boom"); }
};
} // namespace

TEST(WindowsError, SubclassSuppliesMessageAndFailuresNeverEscapeWhat) {
    EXPECT_STREQ(CustomError().what(), "Can't do it: custom words");
    ThrowingError t;
    EXPECT_STREQ(t.what(), "Can't do it");
}

TEST(WindowsError, WhatFromSeveralThreadsAtOnce) {
    for (int round = 0; round < 20; ++round) {
        WindowsError e(ERROR_FILE_NOT_FOUND, "Can't open \"x\"");
        std::vector<std::string> seen(4);
        std::vector<std::thread> threads;
        for (int i = 0; i < 4; ++i) threads.emplace_back([&, i] { seen[i] = e.what(); });
        for (auto& t : threads) t.join();
        for (const auto& s : seen) EXPECT_EQ(s, seen[0]);
        EXPECT_EQ(seen[0].rfind("Can't open \"x\": ", 0), 0u);
    }
}

TEST(WindowsError, CaughtAsStdException) {
    try {
        throw WindowsError(5, "Can't write");
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Can't write: ", 0), 0u);
        return;
    }
    FAIL();
}

TEST(CRTError, MessageAndErrorInEitherOrder) {
    const std::string text = std::strerror(ENOENT);
    CRTError a(ENOENT, "Can't open \"f\"");
    CRTError b("Can't open \"f\"", ENOENT);
    for (const CRTError* e : {&a, &b}) {
        EXPECT_EQ(std::string(e->what()), "Can't open \"f\": " + text);
        EXPECT_EQ(e->getError(), ENOENT);
        EXPECT_EQ(int(*e), ENOENT);
    }
}

TEST(CRTError, Errno2StringTable) {
    EXPECT_STREQ(CRTError::errno2String(1), "EPERM: Operation not permitted");
    EXPECT_STREQ(CRTError::errno2String(2), "ENOENT: No such file or directory");
    EXPECT_STREQ(CRTError::errno2String(11), "EAGAIN: ");
    EXPECT_STREQ(CRTError::errno2String(12), "ENOMEM:  No memory available");
    EXPECT_STREQ(CRTError::errno2String(36),
                 "EDEADLOCK: Deadlock avoided; allocating a system resource would have resulted in a deadlock situation");
    for (int unknown : {0, 15, 18, 37, -1, 1000}) EXPECT_STREQ(CRTError::errno2String(unknown), "Unbekannter Fehler");
    int known = 0;
    for (int e = 0; e < 64; ++e)
        if (std::strcmp(CRTError::errno2String(e), "Unbekannter Fehler") != 0) ++known;
    EXPECT_EQ(known, 19);
}

TEST(Exception, Descriptions) {
    EXPECT_STREQ(Exception().what(), "Unknown Exception");
    Exception e("first");
    EXPECT_STREQ(e.what(), "first");
    e.setDescription("second");
    EXPECT_STREQ(e.what(), "second");
    EXPECT_STREQ(EndOfFile("EOF in readFully").what(), "EOF in readFully");
}

TEST(SEHError, CodeAndTranslator) {
    SEHError e(EXCEPTION_ACCESS_VIOLATION);
    EXPECT_STREQ(e.what(), "SEH exception");
    EXPECT_EQ(e.getCode(), unsigned(EXCEPTION_ACCESS_VIOLATION));
    try {
        SEHError::translate(EXCEPTION_INT_DIVIDE_BY_ZERO, nullptr);
    } catch (const SEHError& t) {
        EXPECT_EQ(t.getCode(), unsigned(EXCEPTION_INT_DIVIDE_BY_ZERO));
        return;
    }
    FAIL();
}

TEST(CommonDialogError, NamesOfEveryCode) {
    struct Row {
        unsigned long code;
        const char* name;
    } rows[] = {
        {0x0000, "CDERR_GENERALCODES"},    {0x000C, "CDERR_REGISTERMSGFAIL"}, {0xFFFF, "CDERR_DIALOGFAILURE"},
        {0x1000, "PDERR_PRINTERCODES"},    {0x100C, "PDERR_DEFAULTDIFFERENT"}, {0x2002, "CFERR_MAXLESSTHANMIN"},
        {0x3003, "FNERR_BUFFERTOOSMALL"},  {0x4001, "FRERR_BUFFERLENGTHZERO"}, {0x5000, "CCERR_CHOOSECOLORCODES"},
    };
    for (const Row& r : rows) EXPECT_EQ(CommonDialogError::errorToString(r.code), r.name) << r.code;
    int named = 0;
    for (unsigned long c = 0; c <= 0xFFFF; ++c)
        if (CommonDialogError::errorToString(c).rfind("Unknown", 0) != 0) ++named;
    EXPECT_EQ(named, 37);
    EXPECT_EQ(CommonDialogError::errorToString(7777), "Unknown common didlaog error 7777");
}

TEST(CommonDialogError, MessageInEitherOrder) {
    CommonDialogError a("Can't open file dialog", 0x3003);
    CommonDialogError b(0x3003ul, "Can't open file dialog");
    EXPECT_STREQ(a.what(), "Can't open file dialog: FNERR_BUFFERTOOSMALL");
    EXPECT_STREQ(b.what(), a.what());
    EXPECT_EQ(b.getError(), 0x3003u);
}
