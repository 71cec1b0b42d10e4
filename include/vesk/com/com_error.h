// COMError: a failed HRESULT as an exception, and the guard that turns whatever
// a COM method's body throws back into the HRESULT it returns.
#pragma once

#include <vesk/errors/exception.h>

#include <new>
#include <stdexcept>
#include <string>

namespace vesk {

// A failed COM call. The message names the code through getHRESULTIdentifier
// (vesk/com/guid.h): the context, ": " and the code's name.
class VESK_API COMError : public std::runtime_error, public HRESULTHolder {
public:
    explicit COMError(unsigned long hr);
    COMError(unsigned long hr, const std::string& context);
    COMError(const COMError&) = default;
    COMError& operator=(const COMError&) = default;
    ~COMError() override;

    HRESULT getHRESULT() const override;
    // A null pointer throws COMError(E_POINTER).
    static void checkPointer(const void* pointer);

private:
    HRESULT hr;
};

// The body of a COM method: runs body() (which returns an HRESULT) and turns any
// exception into the failure code HRESULTHolder::getHRESULTFromException gives
// (E_FAIL for anything that is no std::exception). Nothing leaves it.
template <class Body> HRESULT catchToHRESULT(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::exception& e) {
        return HRESULTHolder::getHRESULTFromException(e);
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace vesk
