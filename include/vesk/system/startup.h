// The library's own start-up: its module handle, and the structured-exception
// translation that the entry point gives every thread of the process.
//
// With the Microsoft runtime the entry point installs SEHError::translate through
// _set_se_translator on every thread, and hardware exceptions (an access violation,
// a division by zero) arrive in any C++ handler as SEHError.
//
// With MinGW there is no such hook: g++ unwinds with its own tables and can leave a
// faulting instruction only in code compiled with -fnon-call-exceptions. There the
// translation is opt-in through SEHGuard: while a guard lives on a thread, a hardware
// exception on that thread is thrown as SEHError from the faulting instruction,
// provided the faulting function can be unwound (see SEHGuard). Everywhere else the
// platform's ordinary behaviour stays: outer SEH handlers, unhandled-exception
// filters, the debugger, the end of the process.
#pragma once

#include <vesk/config.h>

#include <boost/noncopyable.hpp>

namespace vesk {

// A thread's translator: called with the exception code and the exception's
// pointers; it is expected to throw.
using SETranslator = void (*)(unsigned int code, EXCEPTION_POINTERS* pointers);

// The library's own module handle, recorded when the library was attached to the
// process; the default module of WindowsModule and of every operation that takes an
// optional instance.
VESK_API HINSTANCE getLibraryInstance();

// The translator in force on the calling thread: SEHError::translate on every thread
// that started after the library was loaded, null on a thread that predates it (and
// has not opened an SEHGuard) or has been detached.
VESK_API SETranslator getThreadTranslator();

// Marks the calling thread's code as prepared for hardware exceptions arriving as
// C++ exceptions, for as long as the guard lives. Guards nest.
//
// Why an explicit scope: the platform (MinGW) has no per-thread translator that C++
// unwinding honours, so the library redirects the faulting thread to a function that
// throws. That is only sound where the caller knows the code below it was compiled
// with -fnon-call-exceptions; nobody but the caller knows that. A scope object keeps
// the promise visible at the place that makes it, nests, and is withdrawn on every
// way out of the scope, including the SEHError itself unwinding through it.
//
// Even inside a guard, a fault is left to the platform when the faulting function
// cannot be unwound safely: no unwind information (i686), a frame handler that is not
// g++'s, or an instruction that g++ did not mark as able to throw (the function was
// compiled without -fnon-call-exceptions and has clean-ups). Stack overflows and
// breakpoints are never translated.
//
// With the Microsoft runtime every thread translates anyway; a guard costs nothing.
// A guard on a thread that predates the library installs the translator on it.
class VESK_API SEHGuard : private boost::noncopyable {
public:
    SEHGuard();
    ~SEHGuard();
};

} // namespace vesk
