// WindowsModule and string-table resources.
#include <vesk/errors/exception.h>
#include <vesk/system/local_memory.h>
#include <vesk/system/module.h>

#include <algorithm>

namespace vesk {

namespace {

String quoted(const char* name) { return String("\"") + (name ? name : "") + "\""; }

// Whether [data, data + size) is committed, readable memory of one allocation.
bool readableSpan(const void* data, SIZE_T size) {
    const char* at = static_cast<const char*>(data);
    MEMORY_BASIC_INFORMATION first;
    if (!VirtualQuery(at, &first, sizeof first)) return false;
    SIZE_T left = size;
    while (true) {
        MEMORY_BASIC_INFORMATION info;
        if (!VirtualQuery(at, &info, sizeof info) || info.AllocationBase != first.AllocationBase ||
            info.State != MEM_COMMIT || (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) || info.Protect == 0)
            return false;
        const SIZE_T available = SIZE_T(static_cast<const char*>(info.BaseAddress) + info.RegionSize - at);
        if (available >= left) return true;
        left -= available;
        at += available;
    }
}

} // namespace

// ---- WindowsModule -----------------------------------------------------------

WindowsModule::WindowsModule(HINSTANCE h) : module(h), owned(false) {}

WindowsModule::WindowsModule(const char* name, bool loadIt) : module(nullptr), owned(false) {
    if (loadIt) load(name);
    else query(name);
}

WindowsModule::WindowsModule(const char* name, DWORD flags) : module(nullptr), owned(false) { load(name, flags); }

WindowsModule::~WindowsModule() {
    try {
        close();
    } catch (...) {
    }
}

void WindowsModule::load(const char* name) {
    close();
    module = LoadLibraryA(name);
    if (!module) throw WindowsError("Can't load library " + quoted(name));
    owned = true;
}

void WindowsModule::load(const char* name, DWORD flags) {
    close();
    module = LoadLibraryExA(name, nullptr, flags);
    if (!module) throw WindowsError("Can't load library " + quoted(name) + String::fromFormat(" with flags 0x%lx", flags));
    owned = true;
}

void WindowsModule::query(const char* name) {
    close();
    module = GetModuleHandleA(name);
    if (!module) throw WindowsError("Can't get module handle for " + quoted(name));
    owned = false;
}

void WindowsModule::close() {
    if (module && owned) {
        if (!FreeLibrary(module)) throw WindowsError("Can't free library");
    }
    module = nullptr;
    owned = false;
}

void WindowsModule::disableThreadCalls() const {
    if (!DisableThreadLibraryCalls(module)) throw WindowsError("Can't disable thread calls for library");
}

FARPROC WindowsModule::getProcAddress(const char* name, bool mayBeMissing) const {
    FARPROC procedure = GetProcAddress(module, name);
    if (!procedure) {
        const DWORD code = GetLastError();
        if (code == ERROR_PROC_NOT_FOUND && mayBeMissing) return nullptr;
        // An ordinal (a "name" below 0x10000) is named by its number.
        const String what = IS_INTRESOURCE(name) ? String::fromFormat("#%u", unsigned(ULONG_PTR(name))) : String(name);
        throw WindowsError(code, "Can't get proc address for \"" + what + "\"");
    }
    return procedure;
}

BasicString<char> WindowsModule::getFilenameA() const {
    // The path may be longer than MAX_PATH; a result that fills the buffer was cut.
    std::vector<char> buffer(261);
    for (;;) {
        const DWORD n = GetModuleFileNameA(module, buffer.data(), DWORD(buffer.size()));
        if (n == 0) throw WindowsError("Error in retrieving module file name");
        if (n < buffer.size() - 1) return BasicString<char>(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

BasicString<wchar_t> WindowsModule::getFilenameW() const {
    // Read wide: a path outside the ANSI code page would not survive the 8-bit form.
    std::vector<wchar_t> buffer(261);
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, buffer.data(), DWORD(buffer.size()));
        if (n == 0) throw WindowsError("Error in retrieving module file name");
        if (n < buffer.size() - 1) return BasicString<wchar_t>(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

HRSRC WindowsModule::findResource(const char* type, int id) const {
    // Integer types are named as a resource script names them: "#6".
    const String typeName = IS_INTRESOURCE(type) ? String::fromFormat("#%u", unsigned(ULONG_PTR(type))) : String(type);
    const String message = "Unable to find resource with type " + typeName + " and id " + String::fromInt(id, 10);
    // Resource ids are 16-bit: a larger one would silently name another resource.
    if (id < 0 || id > 0xFFFF) throw WindowsError(ERROR_RESOURCE_NAME_NOT_FOUND, message);
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!resource) throw WindowsError(message);
    return resource;
}

void* WindowsModule::getResourcePointer(HRSRC resource) const {
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded) throw WindowsError("Can't load resource");
    void* data = LockResource(loaded);
    if (!data) throw WindowsError("Can't lock resource");
    return data;
}

unsigned WindowsModule::getResourceSize(HRSRC resource) const {
    const DWORD size = SizeofResource(module, resource);
    if (size == 0) throw WindowsError("Can't retrieve resource size");
    if (!readableSpan(getResourcePointer(resource), size))
        throw WindowsError(ERROR_INVALID_DATA,
                           String::fromFormat("Resource size %lu reaches beyond its module", static_cast<unsigned long>(size)));
    return size;
}

BasicString<char> WindowsModule::getMessageA(DWORD id, DWORD languageId) const {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_HMODULE,
                                   module, id, languageId, reinterpret_cast<char*>(&text), 0, nullptr);
    if (n == 0)
        throw WindowsError(String::fromFormat("Can't format message id %lu with languag %lu", static_cast<unsigned long>(id),
                                              static_cast<unsigned long>(languageId)));
    LocalMemory owner(text);
    return BasicString<char>(text, n);
}

// ---- String resources --------------------------------------------------------

unsigned loadStringResource(std::vector<char>& buffer, unsigned id, HINSTANCE instance) {
    if (buffer.size() < 256) buffer.resize(256);
    for (;;) {
        SetLastError(0);
        const int n = LoadStringA(instance, id, buffer.data(), int(std::min<std::size_t>(buffer.size(), 0x7FFFFFFF)));
        if (n == 0 && GetLastError() != 0) throw WindowsError("Can't load ASCII resource string " + String::fromInt(int(id), 10));
        // A text that fills the buffer may have been cut: load it again into twice the room.
        if (unsigned(n) + 2 < buffer.size()) return unsigned(n);
        buffer.resize(buffer.size() * 2);
    }
}

unsigned loadStringResource(std::vector<wchar_t>& buffer, unsigned id, HINSTANCE instance) {
    // Read the stored UTF-16 text directly: the 8-bit form would lose every
    // character outside the ANSI code page. With a zero size LoadStringW hands out
    // the text in place together with its stored length.
    const wchar_t* text = nullptr;
    SetLastError(0);
    const int n = LoadStringW(instance, id, reinterpret_cast<wchar_t*>(&text), 0);
    if (n == 0 && GetLastError() != 0) throw WindowsError("Can't load wide resource string " + String::fromInt(int(id), 10));
    buffer.assign(text ? text : L"", (text ? text : L"") + n);
    buffer.push_back(L'\0');
    return unsigned(n);
}

} // namespace vesk
