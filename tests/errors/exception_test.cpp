// Exception hierarchy: message composition, error codes, HRESULT mapping, the
// fallbacks of WindowsError::getMessage and the tables of errno and common-dialog names.
#include <vesk/errors/exception.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

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

struct CustomError : WindowsError {
    explicit CustomError(bool fails) : WindowsError(42, "Can't do it"), fails(fails) {}
    std::string getMessage() const override {
        if (fails) throw std::runtime_error("boom");
        return "custom words";
    }
    bool fails;
};

} // namespace

TEST(WindowsError, MessagesCodesAndHResults) {
    // netmsg.dll holds the texts of 2100..2999; where it is missing (Wine) the hex
    // fallback must be used, never the system table.
    const bool netmsg = GetFileAttributesA("C:\\windows\\system32\\netmsg.dll") != INVALID_FILE_ATTRIBUTES;
    const struct { unsigned long error; const char* description; std::string what; HRESULT hr; } rows[] = {
        {ERROR_FILE_NOT_FOUND, "Can't open \"f\"", "Can't open \"f\": " + systemText(2), HRESULT(0x80070002)},
        {ERROR_ACCESS_DENIED, "", systemText(5), HRESULT(0x80070005)},
        {57005, "Can't frob", "Can't frob: Windows error 0xdead", HRESULT(0x8007DEAD)},
        {2102, "", netmsg ? "" : "Windows error 0x836", HRESULT(0x80070836)},
        {0, "x", "x: " + systemText(0), 0},
        {0x12345, "x", "x: Windows error 0x12345", HRESULT(0x80072345)},
        {0x80004005, "x", "x: " + systemText(0x80004005), HRESULT(0x80004005)},
    };
    for (const auto& r : rows) {
        WindowsError e(r.error, r.description);
        EXPECT_EQ(r.what.empty() ? e.what() : r.what, e.what()) << r.error;
        EXPECT_EQ(e.what(), e.what()) << "built once and kept";
        EXPECT_EQ(r.hr, static_cast<const HRESULTHolder&>(e).getHRESULT()) << r.error;
        EXPECT_EQ(r.description, e.getDescription());
        EXPECT_EQ(r.error, e.getError());
    }
    EXPECT_NE("", systemText(2));
    EXPECT_STREQ(CustomError(false).what(), "Can't do it: custom words"); // a subclass supplies its text
    EXPECT_STREQ(CustomError(true).what(), "Can't do it");                // a failure never escapes what()
}

TEST(WindowsError, ErrorIsLastErrorAtConstructionAndCopiesKeepIt) {
    SetLastError(ERROR_INVALID_HANDLE);
    WindowsError e;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    WindowsError f("Can't allocate");
    SetLastError(0);
    EXPECT_EQ(unsigned(ERROR_INVALID_HANDLE), e.getError());
    EXPECT_EQ(unsigned(ERROR_NOT_ENOUGH_MEMORY), f.getError());
    const std::string text = f.what();
    WindowsError copy(f), assigned(1, "other"), unbuilt(e);
    assigned.what();
    assigned = e; // a text built before is dropped with the rest of the old value
    EXPECT_EQ(text, copy.what());
    EXPECT_EQ(std::string(e.what()) + e.what(), std::string(assigned.what()) + unbuilt.what());
    EXPECT_EQ(unsigned(ERROR_INVALID_HANDLE), assigned.getError());
    EXPECT_EQ(unsigned(ERROR_NOT_ENOUGH_MEMORY), copy.getError());
}

TEST(CRTError, MessageAndErrorInEitherOrderAndTheErrnoTable) {
    CRTError a(ENOENT, "Can't open \"f\""), b("Can't open \"f\"", ENOENT);
    for (const CRTError* e : {&a, &b}) {
        EXPECT_EQ("Can't open \"f\": " + std::string(std::strerror(ENOENT)), e->what());
        EXPECT_EQ(ENOENT, e->getError());
        EXPECT_EQ(ENOENT, int(*e));
    }
    EXPECT_STREQ("ENOMEM:  No memory available", CRTError::errno2String(12));
    std::string known;
    for (int e = -1; e < 64; ++e)
        if (std::strcmp(CRTError::errno2String(e), "Unbekannter Fehler") != 0)
            known += std::to_string(e) + std::string(CRTError::errno2String(e)).substr(0, 2) + " ";
    EXPECT_EQ("1EP 2EN 3ES 4EI 5EI 6EN 7E2 8EN 9EB 10EC 11EA 12EN 13EA 14EF 16EB 17EE 22EI 33ED 36ED ", known);
}

TEST(Exceptions, DescriptionsAndCodes) {
    Exception e("first");
    EXPECT_STREQ("Unknown Exception", Exception().what());
    EXPECT_STREQ("first", e.what());
    e.setDescription("second");
    EXPECT_STREQ("second", e.what());
    EXPECT_STREQ("EOF in readFully", EndOfFile("EOF in readFully").what());
    EXPECT_STREQ("SEH exception", SEHError(EXCEPTION_ACCESS_VIOLATION).what());
    EXPECT_EQ(unsigned(EXCEPTION_ACCESS_VIOLATION), SEHError(EXCEPTION_ACCESS_VIOLATION).getCode());
    try {
        SEHError::translate(EXCEPTION_INT_DIVIDE_BY_ZERO, nullptr);
        ADD_FAILURE() << "translate returned";
    } catch (const SEHError& t) {
        EXPECT_EQ(unsigned(EXCEPTION_INT_DIVIDE_BY_ZERO), t.getCode());
    }
}

TEST(CommonDialogError, NamesOfEveryCodeAndMessages) {
    std::string named;
    for (unsigned long c = 0; c <= 0xFFFF; ++c)
        if (CommonDialogError::errorToString(c).rfind("Unknown", 0) != 0) named += std::to_string(c) + " ";
    EXPECT_EQ("0 1 2 3 4 5 6 7 8 9 10 11 12 4096 4097 4098 4099 4100 4101 4102 4103 4104 4105 4106 4107 4108 8192 8193 "
              "8194 12288 12289 12290 12291 16384 16385 20480 65535 ",
              named);
    const std::pair<unsigned long, const char*> rows[] = {
        {0x0000, "CDERR_GENERALCODES"},   {0x000C, "CDERR_REGISTERMSGFAIL"},  {0xFFFF, "CDERR_DIALOGFAILURE"},
        {0x100A, "PDERR_CREATEICFAILURE"}, {0x100C, "PDERR_DEFAULTDIFFERENT"}, {0x2002, "CFERR_MAXLESSTHANMIN"},
        {0x4001, "FRERR_BUFFERLENGTHZERO"}, {0x5000, "CCERR_CHOOSECOLORCODES"},
        {7777, "Unknown common didlaog error 7777"}};
    for (const auto& r : rows) EXPECT_EQ(r.second, CommonDialogError::errorToString(r.first)) << r.first;
    CommonDialogError a("Can't open file dialog", 0x3003), b(0x3003ul, "Can't open file dialog");
    EXPECT_STREQ("Can't open file dialog: FNERR_BUFFERTOOSMALL", a.what());
    EXPECT_STREQ(a.what(), b.what());
    EXPECT_EQ(0x3003u, b.getError());
}
