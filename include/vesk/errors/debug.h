// Diagnostics for the debugger: trace() sends text to OutputDebugStringA and
// starts every line with "[<thread id>] "; the streams dbg and wdbg collect what
// is written to them and hand it to trace() when flushed (std::endl, std::flush).
//
//   vesk::dbg << "opened " << name << std::endl;   // one line: "[1234] opened x\n"
//
// Each thread assembles its own pending line and has its own line start, so
// threads that write whole lines at once never mix their text or lose a prefix.
#pragma once

#include <vesk/config.h>

#include <map>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

namespace vesk {

// Largest text (with its terminating zero) sent in one piece for a wide trace;
// longer text goes out in several pieces, none of it dropped.
constexpr unsigned debugPieceSize = 1000;

VESK_API void trace(const char* text);
VESK_API void trace(const wchar_t* text);

template <class C> class DebugBuf : public std::basic_streambuf<C> {
public:
    using Base = std::basic_streambuf<C>;
    using int_type = typename Base::int_type;
    using traits_type = typename Base::traits_type;

    DebugBuf();
    // Sends what any thread left pending.
    ~DebugBuf() override;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const C* text, std::streamsize count) override;
    // Sends the calling thread's pending text; returns 0.
    int sync() override;

private:
    std::mutex lock;
    // Pending text by thread id.
    std::map<unsigned long, std::basic_string<C>> pending;
};

extern template class VESK_API DebugBuf<char>;
extern template class VESK_API DebugBuf<wchar_t>;

extern VESK_API std::ostream dbg;
extern VESK_API std::wostream wdbg;

} // namespace vesk
