// Private-profile (INI file) strings.
#include <vesk/system/ini.h>

#include <vesk/errors/exception.h>

#include <vector>

namespace vesk {

BasicString<char> getIniString(const char* file, const char* section, const char* key, const char* defaultValue) {
    std::vector<char> buffer(1000);
    for (;;) {
        const DWORD size = DWORD(buffer.size());
        const DWORD count = GetPrivateProfileStringA(section, key, defaultValue, buffer.data(), size, file);
        // A cut entry comes back with size - 1 characters, a cut list of names
        // (null section or key) with size - 2: only a shorter answer is whole.
        if (count + 2 < size) return BasicString<char>(std::string(buffer.data(), count));
        buffer.resize(buffer.size() * 2);
    }
}

void setIniString(const char* file, const char* section, const char* key, const char* value) {
    if (!WritePrivateProfileStringA(section, key, value, file))
        throw WindowsError("Can't write private profile string");
}

} // namespace vesk
