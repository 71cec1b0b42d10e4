// COMError and the two conversions between HRESULTs and exceptions.
#include <vesk/com/com_error.h>
#include <vesk/com/guid.h>

#include "com_internal.h"

namespace vesk {

namespace {
std::string comMessage(unsigned long hr) { return getHRESULTIdentifier(long(hr)); }
} // namespace

COMError::COMError(unsigned long code) : std::runtime_error(comMessage(code)), hr(HRESULT(code)) {}
COMError::COMError(unsigned long code, const std::string& context)
    : std::runtime_error(context + ": " + comMessage(code)), hr(HRESULT(code)) {}
COMError::~COMError() = default;

HRESULT COMError::getHRESULT() const { return hr; }

void COMError::checkPointer(const void* pointer) {
    if (!pointer) throw COMError(static_cast<unsigned long>(E_POINTER));
}

void HRESULTHolder::throwOnError(long hr, const char* context) {
    if (hr >= 0) return;
    if (static_cast<unsigned long>(hr) == 0x8007000EUL) com_internal::throwBadAllocation();
    const std::string text = context ? context : "";
    if ((static_cast<unsigned long>(hr) & 0x1FFF0000UL) == 0x00070000UL)
        throw WindowsError(static_cast<unsigned long>(hr) & 0xFFFFUL, text);
    throw COMError(static_cast<unsigned long>(hr), text);
}

void HRESULTHolder::throwOnError(long hr) { throwOnError(hr, ""); }

HRESULT HRESULTHolder::getHRESULTFromException(const std::exception& e) noexcept {
    if (const HRESULTHolder* holder = dynamic_cast<const HRESULTHolder*>(&e)) {
        // An exception reports a failure: a holder whose code would read as
        // success (a WindowsError of error 0, a COMError of S_FALSE) is E_FAIL.
        // getHRESULT is virtual: a holder of the caller's own may throw, which must not end the process here.
        try {
            const HRESULT hr = holder->getHRESULT();
            return hr < 0 ? hr : E_FAIL;
        } catch (...) {
            return E_FAIL;
        }
    }
    if (dynamic_cast<const std::bad_alloc*>(&e)) return E_OUTOFMEMORY;
    return E_FAIL;
}

} // namespace vesk
