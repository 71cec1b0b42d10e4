// Private-profile (INI file) strings.
#pragma once

#include <vesk/config.h>
#include <vesk/text/string.h>

namespace vesk {

// The entry's text, whatever its length, or defaultValue when the file,
// section or entry is absent (nothing is thrown for that). With a null key the
// result lists the section's entries, with a null section the file's sections:
// each name followed by a zero.
VESK_API BasicString<char> getIniString(const char* file, const char* section, const char* key,
                                        const char* defaultValue);
// Writes the entry; a null value deletes it, a null key the whole section.
VESK_API void setIniString(const char* file, const char* section, const char* key, const char* value);

} // namespace vesk
