// Structured exceptions as SEHError, per thread.
//
// Microsoft runtime: _set_se_translator on every thread; the slot keeps the
// translator each thread had before.
//
// MinGW: g++ never calls a translator, so the library keeps one vectored exception
// handler for the process. When a hardware exception hits a thread that holds an
// SEHGuard, and the faulting function can be unwound by g++ from the faulting
// instruction, the handler records the exception and resumes the thread in a small
// trampoline that pushes (faulting address + 1) as a return address and jumps to a
// function that calls the thread's translator. To the unwinder the faulting
// function then looks like a caller whose call ended at the faulting instruction.
// The slot holds the thread's ThreadState.
#include <vesk/errors/exception.h>
#include <vesk/system/lock.h>
#include <vesk/system/startup.h>

#include "system/seh_translation.h"
#include "system/thread_local_slot.h"

#include <cstdint>
#include <new>
#include <set>

#ifdef _MSC_VER
#include <eh.h>
#endif

namespace vesk {

#ifdef _MSC_VER

namespace detail {

void startTranslation() {}
void stopTranslation() noexcept {}

void installTranslator() {
    const _se_translator_function previous = _set_se_translator(&SEHError::translate);
    try {
        threadLocalSlot().setValue(reinterpret_cast<void*>(previous));
    } catch (...) {
        _set_se_translator(previous);
        throw;
    }
}

void uninstallTranslator() {
    _se_translator_function previous;
    try {
        previous = reinterpret_cast<_se_translator_function>(threadLocalSlot().getValue());
    } catch (...) {
        _set_se_translator(nullptr);
        throw;
    }
    _set_se_translator(previous);
}

} // namespace detail

SETranslator getThreadTranslator() {
    const _se_translator_function current = _set_se_translator(nullptr);
    _set_se_translator(current);
    return current;
}

SEHGuard::SEHGuard() {}
SEHGuard::~SEHGuard() {}

#else // MinGW

namespace {

struct ThreadState {
    SETranslator translator = &SEHError::translate;
    unsigned guards = 0;
    EXCEPTION_RECORD record{};
    CONTEXT context{};
    EXCEPTION_POINTERS pointers{};
};

// Every live ThreadState, so that unloading the library frees those of threads that
// are still running (they get no detach call). Guarded by its own lock: the slot's
// lock is held only for slot operations.
struct StateRegistry {
    CriticalSection lock;
    std::set<ThreadState*> states;
    PVOID handler = nullptr;
};

StateRegistry& registry() {
    static StateRegistry r;
    return r;
}

ThreadState* currentState() { return static_cast<ThreadState*>(detail::threadLocalSlot().getValue()); }

void destroyState(ThreadState* state) noexcept {
    StateRegistry& r = registry();
    {
        AutoLock held(r.lock);
        r.states.erase(state);
    }
    delete state;
}

ThreadState* createState() {
    ThreadState* state = new ThreadState;
    StateRegistry& r = registry();
    try {
        AutoLock held(r.lock);
        r.states.insert(state);
    } catch (...) {
        delete state;
        throw;
    }
    try {
        detail::threadLocalSlot().setValue(state);
    } catch (...) {
        destroyState(state);
        throw;
    }
    return state;
}


bool isHardwareFault(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
        return true;
    default: // stack overflow, breakpoints, guard pages, software exceptions
        return false;
    }
}

// ---- Reading unwind tables ---------------------------------------------------

class Reader {
public:
    explicit Reader(const unsigned char* p) : at(p) {}
    const unsigned char* position() const { return at; }
    unsigned char byte() { return *at++; }
    std::uintptr_t uleb() {
        unsigned shift;
        unsigned char last;
        return leb(shift, last);
    }
    std::intptr_t sleb() {
        unsigned shift;
        unsigned char last;
        std::uintptr_t value = leb(shift, last);
        if (shift < 8 * sizeof value && (last & 0x40)) value |= ~std::uintptr_t(0) << shift;
        return std::intptr_t(value);
    }
    // The 7-bit groups of a LEB128 number; shift and the last byte tell sleb() where
    // the sign bit stands.
    std::uintptr_t leb(unsigned& shift, unsigned char& last) {
        std::uintptr_t value = 0;
        shift = 0;
        do {
            last = *at++;
            if (shift < 8 * sizeof value) value |= std::uintptr_t(last & 0x7F) << shift;
            shift += 7;
        } while (last & 0x80);
        return value;
    }
    template <class T> T fixed() {
        T value;
        __builtin_memcpy(&value, at, sizeof value);
        at += sizeof value;
        return value;
    }
    // A DWARF-encoded pointer; false for encodings that are not understood.
    bool encoded(unsigned char encoding, std::uintptr_t textBase, std::uintptr_t dataBase, std::uintptr_t& out) {
        if (encoding == 0xFF) return out = 0, true; // omitted
        const unsigned char* field = at;
        std::uintptr_t value;
        switch (encoding & 0x0F) {
        case 0x00: value = fixed<std::uintptr_t>(); break;
        case 0x01: value = uleb(); break;
        case 0x02: value = fixed<std::uint16_t>(); break;
        case 0x03: value = fixed<std::uint32_t>(); break;
        case 0x04: value = std::uintptr_t(fixed<std::uint64_t>()); break;
        case 0x09: value = std::uintptr_t(sleb()); break;
        case 0x0A: value = std::uintptr_t(std::intptr_t(fixed<std::int16_t>())); break;
        case 0x0B: value = std::uintptr_t(std::intptr_t(fixed<std::int32_t>())); break;
        case 0x0C: value = std::uintptr_t(fixed<std::int64_t>()); break;
        default: return false;
        }
        if (value != 0) {
            switch (encoding & 0x70) {
            case 0x00: break;
            case 0x10: value += std::uintptr_t(field); break;
            case 0x20: value += textBase; break;
            case 0x30: value += dataBase; break;
            default: return false;
            }
            if (encoding & 0x80) value = *reinterpret_cast<const std::uintptr_t*>(value);
        }
        out = value;
        return true;
    }

private:
    const unsigned char* at;
};

// Whether the call-site table of a g++ LSDA covers the instruction at ip. Only the
// layout g++ writes is accepted: no landing-pad base, call sites in ULEB128.
bool callSiteCovers(const unsigned char* lsda, std::uintptr_t regionStart, std::uintptr_t ip) {
    Reader in(lsda);
    if (in.byte() != 0xFF) return false;
    const unsigned char typeEncoding = in.byte();
    if (typeEncoding != 0xFF) {
        if ((typeEncoding & 0x0F) > 0x0C || (typeEncoding & 0x70) > 0x30) return false;
        in.uleb();
    }
    if (in.byte() != 0x01) return false;
    const std::uintptr_t tableLength = in.uleb();
    if (tableLength > 0x100000) return false;
    const unsigned char* end = in.position() + tableLength;
    while (in.position() < end) {
        const std::uintptr_t start = in.uleb(), length = in.uleb();
        in.uleb(); // landing pad
        in.uleb(); // action
        if (ip < regionStart + start) return false;
        if (ip < regionStart + start + length) return true;
    }
    return false;
}

bool insideImage(std::uintptr_t ip) {
    HMODULE module = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<const char*>(ip), &module) &&
           module;
}

#ifdef _WIN64

// x86_64 unwinds through the system's tables (.pdata/.xdata); g++ frames carry its
// LSDA as the handler data of the personality routine.
bool canUnwindFrom(const CONTEXT& context) {
    const DWORD64 ip = context.Rip;
    if (!insideImage(ip)) return false;
    DWORD64 imageBase = 0;
    PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(ip, &imageBase, nullptr);
    if (!function) return true; // a leaf: the return address is at the stack pointer
    CONTEXT scratch = context;
    PVOID handlerData = nullptr;
    DWORD64 establisher = 0;
    PEXCEPTION_ROUTINE handler =
        RtlVirtualUnwind(UNW_FLAG_EHANDLER, imageBase, ip, function, &scratch, &handlerData, &establisher, nullptr);
    if (!handler) return true;
    return handlerData &&
           callSiteCovers(static_cast<const unsigned char*>(handlerData), imageBase + function->BeginAddress, ip);
}

#else

// i686 unwinds with DWARF tables registered with the shared libgcc.
struct DwarfBases {
    void* textBase;
    void* dataBase;
    void* function;
};

extern "C" const void* _Unwind_Find_FDE(void* pc, DwarfBases* bases);

bool canUnwindFrom(const CONTEXT& context) {
    const std::uintptr_t ip = context.Eip;
    if (!insideImage(ip)) return false;
    DwarfBases bases{};
    const unsigned char* fde =
        static_cast<const unsigned char*>(_Unwind_Find_FDE(reinterpret_cast<void*>(ip), &bases));
    if (!fde) return false;
    const std::uintptr_t text = std::uintptr_t(bases.textBase), data = std::uintptr_t(bases.dataBase);

    // The CIE: version, augmentation, alignment factors, return register, then the
    // augmentation data that names the encodings of the FDE's fields.
    Reader fdeIn(fde);
    if (fdeIn.fixed<std::uint32_t>() == 0xFFFFFFFF) return false;
    const unsigned char* cieField = fdeIn.position();
    const std::uint32_t cieOffset = fdeIn.fixed<std::uint32_t>();
    Reader cie(cieField - cieOffset);
    cie.fixed<std::uint32_t>(); // length
    cie.fixed<std::uint32_t>(); // id
    const unsigned char version = cie.byte();
    const char* augmentation = reinterpret_cast<const char*>(cie.position());
    while (cie.byte() != 0) {}
    cie.uleb();
    cie.sleb();
    if (version == 1) cie.byte();
    else cie.uleb();
    if (augmentation[0] != 'z') return true; // no LSDA: nothing to land on, nothing to refuse
    cie.uleb();
    unsigned char fdeEncoding = 0x00, lsdaEncoding = 0xFF;
    for (const char* a = augmentation + 1; *a; ++a) {
        std::uintptr_t ignored;
        switch (*a) {
        case 'P':
            if (!cie.encoded(cie.byte(), text, data, ignored)) return false;
            break;
        case 'L': lsdaEncoding = cie.byte(); break;
        case 'R': fdeEncoding = cie.byte(); break;
        case 'S':
        case 'B': break;
        default: return false;
        }
    }

    std::uintptr_t ignored;
    if (!fdeIn.encoded(fdeEncoding, text, data, ignored)) return false;              // start
    if (!fdeIn.encoded(fdeEncoding & 0x0F, text, data, ignored)) return false;       // range
    fdeIn.uleb();                                                                   // augmentation length
    std::uintptr_t lsda = 0;
    if (lsdaEncoding != 0xFF && !fdeIn.encoded(lsdaEncoding, text, data, lsda)) return false;
    if (!lsda) return true;
    return callSiteCovers(reinterpret_cast<const unsigned char*>(lsda), std::uintptr_t(bases.function), ip);
}

#endif

} // namespace

extern "C" void vesk_seh_trampoline();
extern "C" [[noreturn]] void vesk_seh_throw();

// push the accumulator as a return address, then "call" vesk_seh_throw.
//
// x86_64 calls with the stack 16-byte aligned, and a function without a frame of its
// own faults with the stack as its caller's call left it, 8 bytes off; pushed once
// more, vesk_seh_throw would begin misaligned (and the system's context capture
// faults on that). The second trampoline is then a frame of its own, with unwind
// data and no prologue, that really calls: the stack arrives aligned, and unwinding
// it pops the pushed address as its return address.
#ifdef _WIN64
extern "C" void vesk_seh_trampoline_call();
#endif
asm(".text\n"
#ifdef _WIN64
    "vesk_seh_trampoline:\n"
    "  pushq %rax\n"
    "  jmp vesk_seh_throw\n"
    ".seh_proc vesk_seh_trampoline_call\n"
    "vesk_seh_trampoline_call:\n"
    ".seh_endprologue\n"
    "  pushq %rax\n"
    "  call vesk_seh_throw\n"
    "  int3\n"
    ".seh_endproc\n"
#else
    "_vesk_seh_trampoline:\n"
    "  pushl %eax\n"
    "  jmp _vesk_seh_throw\n"
#endif
);

namespace {

LONG CALLBACK translateHandler(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (!isHardwareFault(record.ExceptionCode) || (record.ExceptionFlags & EXCEPTION_NONCONTINUABLE))
        return EXCEPTION_CONTINUE_SEARCH;
    ThreadState* state;
    try {
        state = currentState();
    } catch (...) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    if (!state || state->guards == 0 || !state->translator) return EXCEPTION_CONTINUE_SEARCH;
    CONTEXT& context = *pointers->ContextRecord;
    if (!canUnwindFrom(context)) return EXCEPTION_CONTINUE_SEARCH;

    state->record = record;
    state->record.ExceptionRecord = nullptr;
    state->context = context;
    state->pointers.ExceptionRecord = &state->record;
    state->pointers.ContextRecord = &state->context;
    // The trampoline pushes the accumulator: the faulting address plus one, so that
    // the unwinder, which looks up (return address - 1), finds the faulting
    // instruction itself. The accumulator is not live across a landing pad.
#ifdef _WIN64
    context.Rax = context.Rip + 1;
    context.Rip = reinterpret_cast<DWORD64>((context.Rsp & 15) == 8 ? &vesk_seh_trampoline_call : &vesk_seh_trampoline);
#else
    context.Eax = context.Eip + 1;
    context.Eip = reinterpret_cast<DWORD>(&vesk_seh_trampoline);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

} // namespace

// Called from the trampoline as if from the faulting instruction.
extern "C" [[noreturn]]
#ifndef _WIN64
__attribute__((force_align_arg_pointer))
#endif
void vesk_seh_throw() {
    ThreadState* state = currentState();
    state->translator(state->record.ExceptionCode, &state->pointers);
    // A translator that returns cannot resume the faulting code.
    throw SEHError(state->record.ExceptionCode);
}

namespace detail {

void startTranslation() {
    StateRegistry& r = registry();
    if (!r.handler) r.handler = AddVectoredExceptionHandler(1, &translateHandler);
    if (!r.handler) throw WindowsError("Can't add vectored exception handler");
}

void stopTranslation() noexcept {
    StateRegistry& r = registry();
    if (r.handler) RemoveVectoredExceptionHandler(r.handler);
    r.handler = nullptr;
    AutoLock held(r.lock);
    for (ThreadState* state : r.states) delete state;
    r.states.clear();
}

void installTranslator() {
    if (!currentState()) createState();
}

void uninstallTranslator() {
    ThreadState* state = currentState();
    if (!state) return;
    threadLocalSlot().setValue(nullptr);
    destroyState(state);
}

} // namespace detail

SETranslator getThreadTranslator() {
    const ThreadState* state = currentState();
    return state ? state->translator : nullptr;
}

SEHGuard::SEHGuard() {
    ThreadState* state = currentState();
    if (!state) state = createState();
    ++state->guards;
}

SEHGuard::~SEHGuard() {
    try {
        if (ThreadState* state = currentState()) --state->guards;
    } catch (...) {
    }
}

#endif

} // namespace vesk
