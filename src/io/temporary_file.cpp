// Temporary files and directories that remove themselves.
#include <vesk/io/temporary_file.h>

#include <vesk/errors/exception.h>

#include "io/file_name.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <direct.h>
#include <stdio.h>
#include <utility>

namespace vesk {

// ---- TemporaryFile -----------------------------------------------------

TemporaryFile::TemporaryFile() = default;

TemporaryFile::TemporaryFile(const char* directory) { create(directory); }

TemporaryFile::TemporaryFile(const wchar_t* directory) { create(directory); }

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept : path(std::move(other.path)) { other.path.clear(); }

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) {
    if (this != &other) {
        remove();
        path = std::move(other.path);
        other.path.clear();
    }
    return *this;
}

TemporaryFile::~TemporaryFile() {
    try {
        remove();
    } catch (const std::exception&) {
    }
}

void TemporaryFile::create(const char* directory) {
    remove();
    // The limits count characters, and the wide calls hand back names whose
    // UTF-8 form may be longer than the MAX_PATH bytes the 8-bit ones can return.
    wchar_t dir[MAX_PATH + 1];
    if (directory && *directory) {
        const BasicString<wchar_t> wide = a2w(directory, CP_ACP);
        // GetTempFileName adds a backslash, the prefix, 4 hex digits and ".TMP".
        if (wide.size() > MAX_PATH - 14)
            throw WindowsError(ERROR_FILENAME_EXCED_RANGE, detail::quoted("Can't create temporary file", directory));
        std::wcscpy(dir, wide.c_str());
    } else {
        const DWORD n = GetTempPathW(MAX_PATH + 1, dir);
        if (n == 0) throw WindowsError("Can't retrieve temporary directory");
        // A longer answer is a required size: the buffer holds nothing usable.
        if (n > MAX_PATH) throw WindowsError(ERROR_FILENAME_EXCED_RANGE, "Can't retrieve temporary directory");
    }
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(dir, L"tmp", 0, name) == 0) {
        const DWORD error = GetLastError();
        throw WindowsError(error, detail::quoted("Can't create temporary file", BasicString<char>(dir).c_str()));
    }
    path = BasicString<char>(name);
}

void TemporaryFile::create(const wchar_t* directory) {
    create(directory ? detail::ansiName(directory, "Can't create temporary file").c_str() : nullptr);
}

void TemporaryFile::remove() {
    if (path.empty()) return;
    if (!DeleteFileA(path.c_str())) {
        const DWORD error = GetLastError();
        throw WindowsError(error, detail::quoted("Can't delete temporary file", path.c_str()));
    }
    path.clear();
}

BasicString<wchar_t> TemporaryFile::getPathW() const { return a2w(path.c_str(), CP_ACP); }

// ---- TemporaryDirectory ------------------------------------------------

namespace {

[[noreturn]] void cannotDelete(const std::string& item, const std::string& directory) {
    const DWORD error = GetLastError();
    throw WindowsError(error, detail::quoted("Can't delete", item.c_str()) +
                                  detail::quoted(" in temporary directory", directory.c_str()));
}

// Deletes what lies in dir, then dir itself. Links (junctions, symbolic links) are
// removed as links: what they point to lies outside and stays.
void removeTree(const std::string& dir, const std::string& top) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) cannotDelete(dir, top);
    } else {
        struct Closer {
            HANDLE h;
            ~Closer() { FindClose(h); }
        } closer{find};
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            const std::string item = dir + "\\" + name;
            const DWORD attributes = data.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(item.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                if (!DeleteFileA(item.c_str())) cannotDelete(item, top);
            } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                if (!RemoveDirectoryA(item.c_str())) cannotDelete(item, top);
            } else {
                removeTree(item, top);
            }
        } while (FindNextFileA(find, &data));
    }
    if (!RemoveDirectoryA(dir.c_str())) cannotDelete(dir, top);
}

} // namespace

TemporaryDirectory::TemporaryDirectory(const char* dir, const char* prefix) {
    // A name can be taken by someone else between its choice and _mkdir: choose again.
    for (int attempt = 0;; ++attempt) {
        BasicString<char> name = getTemporaryName(dir, prefix);
        if (_mkdir(name.c_str()) == 0) {
            path = std::move(name);
            return;
        }
        const int error = errno;
        if (error != EEXIST || attempt == 100)
            throw CRTError(error, detail::quoted("Can't create temporary directory", name.c_str()));
    }
}

TemporaryDirectory::TemporaryDirectory(TemporaryDirectory&& other) noexcept : path(std::move(other.path)) {
    other.path.clear();
}

TemporaryDirectory& TemporaryDirectory::operator=(TemporaryDirectory&& other) {
    if (this != &other) {
        remove();
        path = std::move(other.path);
        other.path.clear();
    }
    return *this;
}

TemporaryDirectory::~TemporaryDirectory() {
    try {
        remove();
    } catch (...) {
    }
}

void TemporaryDirectory::remove() {
    if (path.empty()) return;
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND) {
        path.clear(); // already gone
        return;
    }
    removeTree(path, path);
    path.clear();
}

BasicString<char> TemporaryDirectory::getTemporaryName(const char* dir, const char* prefix) {
    if (dir && *dir) {
        // _tempnam prefers the TMP folder to the one it is given, so a name in the
        // caller's folder is made here: the prefix and a number not in use yet.
        static std::atomic<unsigned> counter{0};
        BasicString<char> base(dir);
        if (base.back() != '\\' && base.back() != '/') base += '\\';
        if (prefix) base += prefix;
        for (;;) {
            const unsigned n = GetTickCount() * 31u + GetCurrentProcessId() * 7919u + counter++;
            BasicString<char> name = base + BasicString<char>::fromFormat("%x", n);
            if (GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES) return name;
        }
    }
    char* name = _tempnam(dir, prefix);
    if (!name) throw CRTError(errno, "Can't create temporary name");
    BasicString<char> copy(name);
    std::free(name);
    return copy;
}

} // namespace vesk
