// The call-twice-for-the-size dance, written once: a buffer that a Win32 call
// fills, grown and the call repeated for as long as the call answers
// ERROR_MORE_DATA. Every registry read of data, names and classes goes through
// it, so nothing is ever truncated or read past its end, even when what is
// read grows between two calls.
#pragma once

#include <vesk/config.h>
#include <vesk/errors/exception.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace vesk {
namespace detail {

// Grows to at least `wanted` elements and at least doubles: no limit but memory (a
// call that keeps asking for more ends in std::bad_alloc, not in a cut value).
template <class T> void growBuffer(std::vector<T>& buffer, std::size_t wanted) {
    buffer.resize(std::max<std::size_t>(wanted, buffer.size() * 2));
}

// Calls call(data, count) with count set to the buffer's size (never 0, so the
// data pointer is never null) until it answers something other than
// ERROR_MORE_DATA; on ERROR_MORE_DATA the count it left is taken as the size it
// needs. Answers the last result; `count` holds what the call left in it.
template <class T, class Call> LONG fillGrowing(std::vector<T>& buffer, DWORD& count, Call call) {
    if (buffer.empty()) buffer.resize(1);
    for (;;) {
        DWORD n = DWORD(buffer.size());
        const LONG result = call(buffer.data(), n);
        if (result != ERROR_MORE_DATA) {
            count = n;
            return result;
        }
        growBuffer(buffer, n > buffer.size() ? std::size_t(n) : 0);
    }
}

} // namespace detail
} // namespace vesk
