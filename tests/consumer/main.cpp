// Uses the installed headers, import library and DLL; exits non-zero if anything is off.
#include <vesk/errors/exception.h>
#include <vesk/text/string.h>

#include <cstdio>

int main() {
    vesk::BasicString<char> merged = vesk::BasicString<char>::mergePath("C:\\a\\b", "..\\c");
    if (merged != "C:\\a\\c") {
        std::printf("mergePath gave %s\n", merged.c_str());
        return 1;
    }
    try {
        SetLastError(ERROR_FILE_NOT_FOUND);
        throw vesk::WindowsError("Can't open \"missing.txt\"");
    } catch (const vesk::WindowsError& e) {
        if (e.getError() != ERROR_FILE_NOT_FOUND) return 2;
        std::printf("consumer ok: %s\n", e.what());
    }
    return 0;
}
