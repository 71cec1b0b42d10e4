// WindowsModule: a loaded or merely referenced DLL or EXE, its procedures, file
// name, resources and message table; loadStringResource: string-table entries.
#pragma once

#include <vesk/config.h>
#include <vesk/system/startup.h>
#include <vesk/text/string.h>

#include <boost/noncopyable.hpp>

#include <vector>

namespace vesk {

class VESK_API WindowsModule : private boost::noncopyable {
public:
    // Refers to h without owning it; by default the library's own module.
    WindowsModule(HINSTANCE h = getLibraryInstance());
    // load true: LoadLibraryA, owned; load false: GetModuleHandleA, not owned.
    WindowsModule(const char* name, bool load);
    WindowsModule(const char* name, DWORD flags);
    ~WindowsModule();

    void load(const char* name);
    void load(const char* name, DWORD flags);
    void query(const char* name);
    void close();

    bool isLoaded() const { return module != nullptr; }
    explicit operator bool() const { return module != nullptr; }
    bool operator!() const { return module == nullptr; }
    HMODULE getHandle() const { return module; }
    bool isOwned() const { return owned; }

    void disableThreadCalls() const;
    // Null for a name the module does not export when mayBeMissing; otherwise a
    // missing name throws WindowsError carrying ERROR_PROC_NOT_FOUND.
    FARPROC getProcAddress(const char* name, bool mayBeMissing) const;

    // The module's full path; never cut short, however long.
    BasicString<char> getFilenameA() const;
    BasicString<char> getFilenameT() const { return getFilenameA(); }
    BasicString<wchar_t> getFilenameW() const;

    // type: a resource-type name or MAKEINTRESOURCE number; id: 0 to 65535.
    HRSRC findResource(const char* type, int id) const;
    void* getResourcePointer(HRSRC resource) const;
    // The resource's size, checked against the module's memory: a size that a
    // damaged file states beyond the module's end throws.
    unsigned getResourceSize(HRSRC resource) const;

    // The text of message id of the module's message table.
    BasicString<char> getMessageA(DWORD id, DWORD languageId) const;

private:
    HMODULE module;
    bool owned;
};

// Loads string id of instance into buffer (grown as needed, at least 256 elements);
// returns its length. The text is zero-terminated inside the buffer.
VESK_API unsigned loadStringResource(std::vector<char>& buffer, unsigned id, HINSTANCE instance);
VESK_API unsigned loadStringResource(std::vector<wchar_t>& buffer, unsigned id, HINSTANCE instance);

} // namespace vesk
