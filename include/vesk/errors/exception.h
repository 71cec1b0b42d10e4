// The library's one way of failing: every failed C runtime, Win32, COM or
// common-dialog call is thrown as one of these. Catch std::exception to catch
// every failure of the library.
#pragma once

#include <vesk/config.h>
#include <vesk/text/string.h>

#include <atomic>
#include <exception>
#include <stdexcept>
#include <string>

namespace vesk {

// Base of the library's own logical errors (serialisation and the like).
class VESK_API Exception : public std::exception {
public:
    Exception();
    explicit Exception(const std::string& description);
    ~Exception() override;

    void setDescription(const char* description);
    const char* what() const noexcept override;

private:
    std::string description;
};

// A stream ended before the requested data.
class VESK_API EndOfFile : public std::runtime_error {
public:
    explicit EndOfFile(const std::string& message);
    ~EndOfFile() override;
};

// A failed C runtime call: the context, ": " and strerror of errno.
class VESK_API CRTError : public std::runtime_error {
public:
    CRTError(int error, const std::string& context);
    CRTError(const std::string& context, int error);
    ~CRTError() override;

    int getError() const { return error; }
    operator int() const { return error; }

    // The library's own description of an errno value ("Unbekannter Fehler"
    // for values it does not know).
    static const char* errno2String(int error);

private:
    int error;
};

// Anything that can answer with a COM result code. The statics turn failed
// HRESULTs into exceptions and exceptions back into failed HRESULTs; they are
// defined with COMError (vesk/com/com_error.h).
class VESK_API HRESULTHolder {
public:
    virtual HRESULT getHRESULT() const = 0;

    // A code that is not negative returns; E_OUTOFMEMORY throws std::bad_alloc, a
    // Win32-facility code a WindowsError with the context, any other a COMError.
    static void throwOnError(long hr, const char* context);
    static void throwOnError(long hr);
    // Always a failure code: an HRESULTHolder's own code when it is one,
    // E_OUTOFMEMORY for std::bad_alloc, E_FAIL for anything else.
    static HRESULT getHRESULTFromException(const std::exception& e) noexcept;

protected:
    HRESULTHolder() = default;
    HRESULTHolder(const HRESULTHolder&) = default;
    HRESULTHolder& operator=(const HRESULTHolder&) = default;
    ~HRESULTHolder() = default;
};

// A failed Win32 call. Build it right after the failed call from a message
// beginning with "Can't": the error defaults to the thread's last error.
// what() appends ": " and the system's text, built once, on first use.
class VESK_API WindowsError : public std::runtime_error, public HRESULTHolder {
public:
    WindowsError(unsigned long error = GetLastError(), const std::string& description = std::string());
    explicit WindowsError(const std::string& description);
    WindowsError(const WindowsError& other);
    WindowsError& operator=(const WindowsError& other);
    ~WindowsError() override;

    const char* what() const noexcept override;
    // The system's text for the error; a subclass may supply another.
    virtual std::string getMessage() const;
    HRESULT getHRESULT() const override;

    unsigned long getError() const { return error; }
    const std::string& getDescription() const { return description; }

private:
    unsigned long error;
    std::string description;
    mutable std::string fullMessage;
    // 0: not built, 1: being built by one thread, 2: built. Lets what() be
    // called from several threads at once.
    mutable std::atomic<int> built;
};

// A structured (hardware) exception turned into a C++ exception.
class VESK_API SEHError : public std::runtime_error {
public:
    explicit SEHError(unsigned long code);
    ~SEHError() override;

    unsigned long getCode() const { return code; }
    [[noreturn]] static void translate(unsigned int code, EXCEPTION_POINTERS* pointers);

private:
    unsigned long code;
};

// A failed common dialog: the context, ": " and the name of the CommDlgExtendedError code.
class VESK_API CommonDialogError : public std::runtime_error {
public:
    CommonDialogError(const std::string& context, unsigned long error);
    CommonDialogError(unsigned long error, const std::string& context);
    ~CommonDialogError() override;

    unsigned long getError() const { return error; }
    static BasicString<char> errorToString(unsigned long error);

private:
    unsigned long error;
};

} // namespace vesk
