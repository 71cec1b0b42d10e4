// Messages of the exception hierarchy.
#include <vesk/errors/exception.h>

#include <cstring>
#include <thread>

namespace vesk {

// ---- Exception ---------------------------------------------------------

Exception::Exception() : description("Unknown Exception") {}
Exception::Exception(const std::string& d) : description(d) {}
Exception::~Exception() = default;
void Exception::setDescription(const char* d) { description = d ? d : ""; }
const char* Exception::what() const noexcept { return description.c_str(); }

// ---- EndOfFile ---------------------------------------------------------

EndOfFile::EndOfFile(const std::string& message) : std::runtime_error(message) {}
EndOfFile::~EndOfFile() = default;

// ---- CRTError ----------------------------------------------------------

namespace {
std::string crtMessage(const std::string& context, int error) {
    return context + ": " + std::strerror(error);
}
} // namespace

CRTError::CRTError(int e, const std::string& context) : std::runtime_error(crtMessage(context, e)), error(e) {}
CRTError::CRTError(const std::string& context, int e) : std::runtime_error(crtMessage(context, e)), error(e) {}
CRTError::~CRTError() = default;

const char* CRTError::errno2String(int error) {
    switch (error) {
    case 1: return "EPERM: Operation not permitted";
    case 2: return "ENOENT: No such file or directory";
    case 3: return "ESRCH: No process matches the specified process ID";
    case 4: return "EINTR: Interrupted function call; an asynchronous signal occurred and prevented completion of the call";
    case 5: return "EIO: Input/output error; usually used for physical read or write errors";
    case 6: return "ENXIO: No such device or address";
    case 7: return "E2BIG: Argument list too long";
    case 8: return "ENOEXEC: Invalid executable file format";
    case 9: return "EBADF: Bad file descriptor";
    case 10: return "ECHILD: There are no child processes";
    case 11: return "EAGAIN: ";
    case 12: return "ENOMEM:  No memory available";
    case 13: return "EACCES: ";
    case 14: return "EFAULT: Bad address; an invalid pointer was detected";
    case 16: return "EBUSY: Resource busy; a system resource that can't be shared is already in use";
    case 17: return "EEXIST: ";
    case 22: return "EINVAL: ";
    case 33: return "EDOM: ";
    case 36: return "EDEADLOCK: Deadlock avoided; allocating a system resource would have resulted in a deadlock situation";
    default: return "Unbekannter Fehler";
    }
}

// ---- WindowsError ------------------------------------------------------

WindowsError::WindowsError(unsigned long e, const std::string& d)
    : std::runtime_error(d), error(e), description(d), built(0) {}

WindowsError::WindowsError(const std::string& d)
    : std::runtime_error(d), error(GetLastError()), description(d), built(0) {}

WindowsError::WindowsError(const WindowsError& other)
    : std::runtime_error(other), HRESULTHolder(other), error(other.error), description(other.description), built(0) {
    if (other.built.load(std::memory_order_acquire) == 2) {
        fullMessage = other.fullMessage;
        built.store(2, std::memory_order_release);
    }
}

WindowsError& WindowsError::operator=(const WindowsError& other) {
    if (this != &other) {
        std::runtime_error::operator=(other);
        error = other.error;
        description = other.description;
        const bool ready = other.built.load(std::memory_order_acquire) == 2;
        fullMessage = ready ? other.fullMessage : std::string();
        built.store(ready ? 2 : 0, std::memory_order_release);
    }
    return *this;
}

WindowsError::~WindowsError() = default;

const char* WindowsError::what() const noexcept {
    int state = built.load(std::memory_order_acquire);
    if (state != 2) {
        int expected = 0;
        if (built.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
            try {
                const std::string m = getMessage();
                fullMessage = description.empty() ? m : description + ": " + m;
            } catch (...) {
                // A message that cannot be built leaves the description alone.
            }
            built.store(2, std::memory_order_release);
        } else {
            // Another thread is building the text: wait for it.
            while (built.load(std::memory_order_acquire) != 2) std::this_thread::yield();
        }
    }
    return fullMessage.empty() ? description.c_str() : fullMessage.c_str();
}

namespace {

// Owns the buffer FormatMessageA allocates; never copied, so it is freed once.
struct LocalBuffer {
    char* text = nullptr;
    LocalBuffer() = default;
    LocalBuffer(const LocalBuffer&) = delete;
    LocalBuffer& operator=(const LocalBuffer&) = delete;
    ~LocalBuffer() {
        if (text) LocalFree(text);
    }
};

std::string formatNetworkMessage(unsigned long error) {
    HMODULE module = LoadLibraryA("netmsg.dll");
    if (!module) throw WindowsError("Can't load \"netmsg.dll\"");
    LocalBuffer buffer;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_HMODULE,
                             module, error, 0, reinterpret_cast<char*>(&buffer.text), 0, nullptr);
    const DWORD lastError = GetLastError();
    FreeLibrary(module);
    if (n == 0) throw WindowsError(lastError, "Can't format message");
    return std::string(buffer.text, n);
}

std::string formatSystemMessage(unsigned long error) {
    LocalBuffer buffer;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer.text), 0,
                             nullptr);
    if (n == 0) throw WindowsError("Can't format message");
    return BasicString<char>(buffer.text, n).trimRight();
}

} // namespace

std::string WindowsError::getMessage() const {
    try {
        if (error >= 2100 && error < 3000) return formatNetworkMessage(error);
        return formatSystemMessage(error);
    } catch (...) {
        return BasicString<char>::fromFormat("Windows error 0x%lx", error);
    }
}

HRESULT WindowsError::getHRESULT() const {
    const HRESULT asSigned = HRESULT(error);
    if (asSigned <= 0) return asSigned;
    return HRESULT((error & 0xFFFF) | 0x80070000UL);
}

// ---- SEHError ----------------------------------------------------------

SEHError::SEHError(unsigned long c) : std::runtime_error("SEH exception"), code(c) {}
SEHError::~SEHError() = default;
void SEHError::translate(unsigned int c, EXCEPTION_POINTERS*) { throw SEHError(c); }

// ---- CommonDialogError -------------------------------------------------

namespace {
std::string dialogMessage(const std::string& context, unsigned long error) {
    return context + ": " + CommonDialogError::errorToString(error);
}
} // namespace

CommonDialogError::CommonDialogError(const std::string& context, unsigned long e)
    : std::runtime_error(dialogMessage(context, e)), error(e) {}
CommonDialogError::CommonDialogError(unsigned long e, const std::string& context)
    : std::runtime_error(dialogMessage(context, e)), error(e) {}
CommonDialogError::~CommonDialogError() = default;

BasicString<char> CommonDialogError::errorToString(unsigned long error) {
    struct Name {
        unsigned long code;
        const char* text;
    };
    static const Name names[] = {
        {0x0000, "CDERR_GENERALCODES"},     {0x0001, "CDERR_STRUCTSIZE"},       {0x0002, "CDERR_INITIALIZATION"},
        {0x0003, "CDERR_NOTEMPLATE"},       {0x0004, "CDERR_NOHINSTANCE"},      {0x0005, "CDERR_LOADSTRFAILURE"},
        {0x0006, "CDERR_FINDRESFAILURE"},   {0x0007, "CDERR_LOADRESFAILURE"},   {0x0008, "CDERR_LOCKRESFAILURE"},
        {0x0009, "CDERR_MEMALLOCFAILURE"},  {0x000A, "CDERR_MEMLOCKFAILURE"},   {0x000B, "CDERR_NOHOOK"},
        {0x000C, "CDERR_REGISTERMSGFAIL"},  {0xFFFF, "CDERR_DIALOGFAILURE"},    {0x1000, "PDERR_PRINTERCODES"},
        {0x1001, "PDERR_SETUPFAILURE"},     {0x1002, "PDERR_PARSEFAILURE"},     {0x1003, "PDERR_RETDEFFAILURE"},
        {0x1004, "PDERR_LOADDRVFAILURE"},   {0x1005, "PDERR_GETDEVMODEFAIL"},   {0x1006, "PDERR_INITFAILURE"},
        {0x1007, "PDERR_NODEVICES"},        {0x1008, "PDERR_NODEFAULTPRN"},     {0x1009, "PDERR_DNDMMISMATCH"},
        {0x100A, "PDERR_CREATEICFAILURE"},  {0x100B, "PDERR_PRINTERNOTFOUND"},  {0x100C, "PDERR_DEFAULTDIFFERENT"},
        {0x2000, "CFERR_CHOOSEFONTCODES"},  {0x2001, "CFERR_NOFONTS"},          {0x2002, "CFERR_MAXLESSTHANMIN"},
        {0x3000, "FNERR_FILENAMECODES"},    {0x3001, "FNERR_SUBCLASSFAILURE"},  {0x3002, "FNERR_INVALIDFILENAME"},
        {0x3003, "FNERR_BUFFERTOOSMALL"},   {0x4000, "FRERR_FINDREPLACECODES"}, {0x4001, "FRERR_BUFFERLENGTHZERO"},
        {0x5000, "CCERR_CHOOSECOLORCODES"},
    };
    for (const Name& n : names)
        if (n.code == error) return BasicString<char>(n.text);
    return BasicString<char>::fromFormat("Unknown common didlaog error %u", unsigned(error));
}

} // namespace vesk
