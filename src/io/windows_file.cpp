// The Win32 file stream and its static helpers.
#include <vesk/io/windows_file.h>

#include <vesk/errors/exception.h>

#include "io/file_name.h"

#include <cstring>
#include <string>
#include <vector>

namespace vesk {

namespace {

const char* originName(Seekable::whence from) {
    switch (from) {
    case Seekable::begin: return "vesk::Seekable::begin";
    case Seekable::current: return "vesk::Seekable::current";
    case Seekable::end: return "vesk::Seekable::end";
    }
    return "an unknown origin";
}


// The call-twice pattern of GetShortPathNameA and GetFullPathNameA, repeated until
// the answer fits: a name that grew between the calls is never cut short.
template <class Call>
BasicString<char> pathOf(const char* name, Call call, const char* lengthFailure, const char* nameFailure) {
    char probe[1];
    DWORD needed = call(name, probe, 1);
    if (needed == 0) {
        const DWORD error = GetLastError();
        throw WindowsError(error, detail::quoted(lengthFailure, name));
    }
    for (;;) {
        std::vector<char> buffer(std::size_t(needed) + 1);
        const DWORD got = call(name, buffer.data(), needed + 1);
        if (got == 0) {
            const DWORD error = GetLastError();
            throw WindowsError(error, detail::quoted(nameFailure, name));
        }
        if (got <= needed) return BasicString<char>(buffer.data(), got);
        needed = got;
    }
}

} // namespace

WindowsFile::WindowsFile() = default;

WindowsFile::WindowsFile(const char* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security, DWORD creation,
                         DWORD flags, HANDLE templateFile) {
    open(name, access, share, security, creation, flags, templateFile);
}

WindowsFile::WindowsFile(const wchar_t* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                         DWORD creation, DWORD flags, HANDLE templateFile) {
    open(name, access, share, security, creation, flags, templateFile);
}

WindowsFile::~WindowsFile() = default;

void WindowsFile::open(const char* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security, DWORD creation,
                       DWORD flags, HANDLE templateFile) {
    close();
    // MAX_PATH counts characters: a UTF-8 name may have three bytes for each.
    if (name && MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0) > MAX_PATH) throw WindowsError(ERROR_FILENAME_EXCED_RANGE, detail::quoted("Can't open", name));
    HANDLE h = CreateFileA(name, access, share, security, creation, flags, templateFile);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        throw WindowsError(error, detail::quoted("Can't open", name));
    }
    setHandle(h);
}

void WindowsFile::open(const wchar_t* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                       DWORD creation, DWORD flags, HANDLE templateFile) {
    const std::wstring plain = detail::withoutLongPrefix(name);
    const BasicString<char> ansi = detail::ansiName(plain.c_str(), "Can't open");
    open(ansi.c_str(), access, share, security, creation, flags, templateFile);
}

unsigned WindowsFile::write(const void* buffer, unsigned size) {
    const char* bytes = static_cast<const char*>(buffer);
    unsigned done = 0;
    while (done < size) {
        DWORD written = 0;
        if (!WriteFile(getHandle(), bytes + done, size - done, &written, nullptr)) {
            const DWORD error = GetLastError();
            throw WindowsError(error, "Error while writing " + std::to_string(size) + " bytes");
        }
        if (written == 0) break; // a device that takes nothing more: the count tells
        done += written;
    }
    return done;
}

unsigned WindowsFile::read(void* buffer, unsigned size) {
    char* bytes = static_cast<char*>(buffer);
    unsigned done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!ReadFile(getHandle(), bytes + done, size - done, &got, nullptr)) {
            const DWORD error = GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) break; // the writer is gone: the end
            throw WindowsError(error, BasicString<char>::fromFormat("Error while reading %u bytes into %p", size,
                                                                    buffer));
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

unsigned long long WindowsFile::seek(long long offset, whence from) const {
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(getHandle(), static_cast<LONG>(offset & 0xFFFFFFFF), &high, DWORD(from));
    if (low == INVALID_SET_FILE_POINTER) {
        const DWORD error = GetLastError();
        if (error != NO_ERROR)
            throw WindowsError(error, "WindowsFile::seek: Can't seek to " + std::to_string(offset) + " relative to " +
                                          originName(from));
    }
    return (static_cast<unsigned long long>(static_cast<DWORD>(high)) << 32) | low;
}

unsigned long long WindowsFile::seek(long long offset, whence from) {
    return static_cast<const WindowsFile*>(this)->seek(offset, from);
}

void WindowsFile::setFilePointer(long long offset, whence from) { seek(offset, from); }

unsigned long long WindowsFile::getFilePointer() { return seek(0, current); }

unsigned long long WindowsFile::getSize() {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(getHandle(), &high);
    if (low == INVALID_FILE_SIZE) {
        const DWORD error = GetLastError();
        if (error != NO_ERROR) throw WindowsError(error, "Can't retrieve the file size for a windows file");
    }
    return (static_cast<unsigned long long>(high) << 32) | low;
}

void WindowsFile::flush() {
    if (!FlushFileBuffers(getHandle())) throw WindowsError("Can't flush file buffers");
}

void WindowsFile::close() { WindowsHandle::close(); }

unsigned WindowsFile::ioControl(DWORD code, const void* in, unsigned inSize, void* out, unsigned outSize) const {
    DWORD returned = 0;
    if (!DeviceIoControl(getHandle(), code, const_cast<void*>(in), inSize, out, outSize, &returned, nullptr))
        throw WindowsError("Error in DeviceIoControl");
    return returned;
}

DWORD WindowsFile::getAttributes(const char* name) {
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        throw WindowsError(error, detail::quoted("Can't get file attributes for", name));
    }
    return attributes;
}

DWORD WindowsFile::getAttributes(const wchar_t* name) {
    return getAttributes(detail::ansiName(name, "Can't get file attributes for").c_str());
}

void WindowsFile::getAttributes(const char* name, WIN32_FILE_ATTRIBUTE_DATA& data) {
    if (!GetFileAttributesExA(name, GetFileExInfoStandard, &data)) throw WindowsError("Error in GetFileAttributesExA");
}

void WindowsFile::getAttributes(const wchar_t* name, WIN32_FILE_ATTRIBUTE_DATA& data) {
    getAttributes(detail::ansiName(name, "Error in GetFileAttributesExA for").c_str(), data);
}

unsigned long long WindowsFile::getSize(const char* name) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    getAttributes(name, data);
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

unsigned long long WindowsFile::getSize(const wchar_t* name) {
    return getSize(detail::ansiName(name, "Error in GetFileAttributesExA for").c_str());
}

bool WindowsFile::isDirectory(const char* name) { return (getAttributes(name) & FILE_ATTRIBUTE_DIRECTORY) != 0; }

bool WindowsFile::isDirectory(const wchar_t* name) {
    return (getAttributes(name) & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

BasicString<char> WindowsFile::getShortPath(const char* name) {
    return pathOf(
        name, [](const char* n, char* b, DWORD s) { return GetShortPathNameA(n, b, s); },
        "Can't determine the short path name length of", "Can't determine the short path name of");
}

BasicString<char> WindowsFile::getFullPath(const char* name) {
    return pathOf(
        name, [](const char* n, char* b, DWORD s) { return GetFullPathNameA(n, s, b, nullptr); },
        "Can't determine the full path name length of", "Can't determine the full path name of");
}

BasicString<wchar_t> WindowsFile::getShortPath(const wchar_t* name) {
    const std::wstring plain = detail::withoutLongPrefix(name);
    return a2w(getShortPath(detail::ansiName(plain.c_str(), "Can't determine the short path name of").c_str()).c_str(),
               CP_ACP);
}

BasicString<wchar_t> WindowsFile::getFullPath(const wchar_t* name) {
    const std::wstring plain = detail::withoutLongPrefix(name);
    return a2w(getFullPath(detail::ansiName(plain.c_str(), "Can't determine the full path name of").c_str()).c_str(),
               CP_ACP);
}

} // namespace vesk
