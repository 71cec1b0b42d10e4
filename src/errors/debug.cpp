// Debug output: trace() and the stream buffers behind dbg and wdbg.
#include <vesk/errors/debug.h>
#include <vesk/text/string_helper.h>

#include <algorithm>
#include <cstdint>

namespace vesk {

namespace {

// Where each thread stands in its own text: at the start of a line or inside one.
thread_local bool atLineStart = true;

// Keeps the prefix and the pieces of one trace together in the debugger's output.
std::mutex& traceLock() {
    static std::mutex lock;
    return lock;
}

int formatPrefix(char (&buffer)[32]) {
    return wsprintfA(buffer, "[%u] ", static_cast<unsigned>(GetCurrentThreadId()));
}

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// How many of the count characters at text fit into budget bytes of the ANSI code
// page, without splitting a surrogate pair; at least one character.
unsigned fittingCharacters(const wchar_t* text, unsigned count, unsigned budget, std::string& converted) {
    unsigned n = std::min(count, budget);
    for (;;) {
        if (n > 1 && n < count && isHighSurrogate(text[n - 1])) --n;
        converted = StringHelper<char>::convert(text, n, CP_ACP);
        if (converted.size() <= budget || n == 1) return n;
        const unsigned smaller = static_cast<unsigned>(std::uint64_t(n) * budget / converted.size());
        n = std::max(1u, std::min(n - 1, smaller));
    }
}

} // namespace

void trace(const char* text) {
    if (!text) text = "";
    std::lock_guard<std::mutex> hold(traceLock());
    if (atLineStart) {
        char prefix[32];
        formatPrefix(prefix);
        OutputDebugStringA(prefix);
    }
    OutputDebugStringA(text);
    const std::size_t length = std::char_traits<char>::length(text);
    atLineStart = length != 0 && text[length - 1] == '\n';
}

void trace(const wchar_t* text) {
    if (!text) text = L"";
    const unsigned length = static_cast<unsigned>(std::char_traits<wchar_t>::length(text));
    std::lock_guard<std::mutex> hold(traceLock());
    // One piece holds at most debugPieceSize - 1 bytes and its zero; the first one
    // also carries the prefix. A text that does not fit goes on in further pieces
    // instead of being cut, and an empty text still goes out (as the prefix alone
    // or as an empty piece).
    char prefix[32];
    std::string piece = atLineStart ? std::string(prefix, formatPrefix(prefix)) : std::string();
    unsigned done = 0;
    do {
        std::string converted;
        const unsigned budget = debugPieceSize - 1 - static_cast<unsigned>(piece.size());
        if (done < length) done += fittingCharacters(text + done, length - done, budget, converted);
        piece += converted;
        OutputDebugStringA(piece.c_str());
        piece.clear();
    } while (done < length);
    atLineStart = length != 0 && text[length - 1] == L'\n';
}

// ---- DebugBuf ----------------------------------------------------------

template <class C> DebugBuf<C>::DebugBuf() = default;

template <class C> DebugBuf<C>::~DebugBuf() {
    try {
        for (auto& entry : pending)
            if (!entry.second.empty()) trace(entry.second.c_str());
    } catch (...) {
        // Nothing sensible is left to do with diagnostics that cannot be sent.
    }
}

template <class C> typename DebugBuf<C>::int_type DebugBuf<C>::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return sync();
    std::lock_guard<std::mutex> hold(lock);
    pending[GetCurrentThreadId()] += traits_type::to_char_type(c);
    return c;
}

template <class C> std::streamsize DebugBuf<C>::xsputn(const C* text, std::streamsize count) {
    if (count <= 0) return 0;
    std::lock_guard<std::mutex> hold(lock);
    pending[GetCurrentThreadId()].append(text, static_cast<std::size_t>(count));
    return count;
}

template <class C> int DebugBuf<C>::sync() {
    std::basic_string<C> text;
    {
        std::lock_guard<std::mutex> hold(lock);
        auto found = pending.find(GetCurrentThreadId());
        if (found == pending.end()) return 0;
        text.swap(found->second);
        pending.erase(found);
    }
    if (!text.empty()) trace(text.c_str());
    return 0;
}

template class DebugBuf<char>;
template class DebugBuf<wchar_t>;

// The buffers and streams live as long as the library and are made before any
// other static object of it, so that everything else may trace while it starts
// and stops.
namespace {
DebugBuf<char> narrowBuffer __attribute__((init_priority(101)));
DebugBuf<wchar_t> wideBuffer __attribute__((init_priority(101)));
} // namespace

std::ostream dbg __attribute__((init_priority(102)))(&narrowBuffer);
std::wostream wdbg __attribute__((init_priority(102)))(&wideBuffer);

} // namespace vesk
