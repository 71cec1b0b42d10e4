// A stream over a Win32 file handle (CreateFileA, ReadFile, WriteFile,
// SetFilePointer), with static helpers for attributes, sizes and path names and
// DeviceIoControl for device handles. Failures throw WindowsError.
#pragma once

#include <vesk/config.h>
#include <vesk/io/stream.h>
#include <vesk/system/windows_handle.h>
#include <vesk/text/string.h>

namespace vesk {

class VESK_API WindowsFile : public SeekableInputStream, public BufferedOutputStream, public WindowsHandle {
public:
    WindowsFile();
    WindowsFile(const char* name, DWORD access, DWORD share = 0, SECURITY_ATTRIBUTES* security = nullptr,
                DWORD creation = OPEN_EXISTING, DWORD flags = FILE_ATTRIBUTE_NORMAL, HANDLE templateFile = nullptr);
    WindowsFile(const wchar_t* name, DWORD access, DWORD share = 0, SECURITY_ATTRIBUTES* security = nullptr,
                DWORD creation = OPEN_EXISTING, DWORD flags = FILE_ATTRIBUTE_NORMAL, HANDLE templateFile = nullptr);
    ~WindowsFile() override;

    // Closes any open file, then CreateFileA with the arguments unchanged; failure
    // throws "Can't open \"<name>\"". Names of MAX_PATH characters or more fail the
    // same way (ERROR_FILENAME_EXCED_RANGE): the 8-bit call cannot take them.
    void open(const char* name, DWORD access, DWORD share = 0, SECURITY_ATTRIBUTES* security = nullptr,
              DWORD creation = OPEN_EXISTING, DWORD flags = FILE_ATTRIBUTE_NORMAL, HANDLE templateFile = nullptr);
    // Converts to the ANSI code page first, dropping a leading \\?\ (\\?\UNC\server
    // becomes \\server). A name with characters the code page cannot hold fails
    // (ERROR_NO_UNICODE_TRANSLATION) rather than open a look-alike file.
    void open(const wchar_t* name, DWORD access, DWORD share = 0, SECURITY_ATTRIBUTES* security = nullptr,
              DWORD creation = OPEN_EXISTING, DWORD flags = FILE_ATTRIBUTE_NORMAL, HANDLE templateFile = nullptr);

    // Both write everything they are given (or throw); read returns less than asked
    // only at the end of the file (0 there).
    unsigned write(const void* buffer, unsigned size) override;
    unsigned read(void* buffer, unsigned size) override;

    // SetFilePointer with the full 64-bit offset; returns the new position.
    unsigned long long seek(long long offset, whence from) const;
    unsigned long long seek(long long offset, whence from) override;
    void setFilePointer(long long offset, whence from) override;
    unsigned long long getFilePointer() override;
    // GetFileSize; the position is not touched.
    unsigned long long getSize() override;

    void flush() override;
    void close() override;

    unsigned ioControl(DWORD code, const void* in, unsigned inSize, void* out, unsigned outSize) const;

    static DWORD getAttributes(const char* name);
    static DWORD getAttributes(const wchar_t* name);
    static void getAttributes(const char* name, WIN32_FILE_ATTRIBUTE_DATA& data);
    static void getAttributes(const wchar_t* name, WIN32_FILE_ATTRIBUTE_DATA& data);
    static unsigned long long getSize(const char* name);
    static unsigned long long getSize(const wchar_t* name);
    // A missing name throws (through getAttributes) rather than answer false.
    static bool isDirectory(const char* name);
    static bool isDirectory(const wchar_t* name);
    static BasicString<char> getShortPath(const char* name);
    static BasicString<wchar_t> getShortPath(const wchar_t* name);
    static BasicString<char> getFullPath(const char* name);
    static BasicString<wchar_t> getFullPath(const wchar_t* name);
};

} // namespace vesk
