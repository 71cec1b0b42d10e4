// Build configuration shared by every public header: the export macro and the
// platform headers the interfaces are written against.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#if defined(VESK_BUILDING_DLL)
#define VESK_API __declspec(dllexport)
#else
#define VESK_API __declspec(dllimport)
#endif

// Templates over the character type are instantiated once, inside the DLL, for
// char and wchar_t; headers declare those instantiations extern, e.g.
//   extern template class VESK_API BasicString<char>;
