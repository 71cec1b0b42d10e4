// Readable names of window messages, for tracing and diagnostics.
//
//   getWMIdentifier(WM_PAINT)     -> "WM_PAINT"
//   getWMIdentifier(WM_USER + 5)  -> "WM_USER+5"
//   getWMIdentifier(0x3FF)        -> "Unknown window message 1023"
#pragma once

#include <vesk/config.h>
#include <vesk/text/string.h>

namespace vesk {

// The name of a system message; numbered names inside the reserved ranges
// ("WM_PENWINFIRST+n", "WM_AFXFIRST+n", "WM_HANDHELDFIRST+n"), "WM_USER+n" from
// WM_USER on (except WM_APP itself), "Unknown window message <n>" otherwise.
VESK_API BasicString<char> getWMIdentifier(unsigned message);

} // namespace vesk
