// RegistryKey: the handle and its ownership, typed values, key information and
// the snapshots of subkeys and values.
#include <vesk/system/registry.h>

#include <vesk/errors/exception.h>

#include "system/growing_buffer.h"
#include "system/registry_detail.h"

#include <utility>

namespace vesk {

const char* const software_key_name_a = "Software\\{3C5E91A7-2B48-4F0D-9D61-85E2A7C04B19}";
const wchar_t* const software_key_name_w = L"Software\\{3C5E91A7-2B48-4F0D-9D61-85E2A7C04B19}";

namespace detail {

std::string narrowName(const wchar_t* name) {
    return StringHelper<char>::convert(name, ConstString<wchar_t>::unknownLength, CP_ACP);
}

std::wstring widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    if (text.size() > 0x7FFFFFFF) throw std::length_error("Can't convert a text of more than 2147483647 characters");
    const int count = int(text.size());
    const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), count, nullptr, 0);
    if (needed == 0) throw WindowsError("Can't convert multi byte string to unicode");
    std::wstring wide(std::size_t(needed), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, text.data(), count, &wide[0], needed) == 0)
        throw WindowsError("Can't convert multi byte string to unicode");
    return wide;
}

LONG readValue(HKEY key, const char* name, std::vector<unsigned char>& data, DWORD& type) {
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    // The size may change before the data is read: the read grows the buffer.
    data.assign(size ? size : 1, 0);
    DWORD count = 0;
    result = fillGrowing(data, count, [&](unsigned char* p, DWORD& n) {
        return RegQueryValueExA(key, name, nullptr, &type, p, &n);
    });
    if (result == ERROR_SUCCESS) data.resize(count);
    return result;
}

std::string named(const char* text, const char* name) {
    return std::string(text) + " \"" + (name ? name : "") + "\"";
}

LONG deleteSubkey(HKEY parent, const char* name, unsigned long view) {
    if (!view) return RegDeleteKeyA(parent, name);
    // RegDeleteKeyExA is missing from 32-bit systems before Vista, which have
    // no second registry view either.
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    static const DeleteKeyEx deleteKeyEx = [] {
        HMODULE advapi = GetModuleHandleA("advapi32.dll");
        FARPROC p = advapi ? GetProcAddress(advapi, "RegDeleteKeyExA") : nullptr;
        return reinterpret_cast<DeleteKeyEx>(reinterpret_cast<void (*)()>(p));
    }();
    return deleteKeyEx ? deleteKeyEx(parent, name, REGSAM(view), 0) : RegDeleteKeyA(parent, name);
}

} // namespace detail

using detail::named;
using detail::narrowName;

namespace {

constexpr unsigned long viewMask = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

// HKEY_CLASSES_ROOT (0x80000000) up to HKEY_PERFORMANCE_NLSTEXT (0x80000060),
// sign-extended on 64-bit: not handles of this process, never duplicated or closed.
bool isPredefinedRoot(HKEY key) {
    const LONG_PTR value = reinterpret_cast<LONG_PTR>(key);
    return value >= LONG_PTR(LONG(0x80000000u)) && value <= LONG_PTR(LONG(0x80000060u));
}

[[noreturn]] void throwQueryError(LONG result, const char* name) {
    throw WindowsError(DWORD(result), named("Can't query registry value", name));
}

} // namespace

// ---- construction, ownership, lifetime -----------------------------------

RegistryKey::RegistryKey() : owns(false), key(nullptr), viewFlags(0) {}

RegistryKey::RegistryKey(HKEY k, bool o) : owns(o), key(k), viewFlags(0) {}

RegistryKey::RegistryKey(HKEY parent, const char* name, unsigned long access) : RegistryKey() {
    if (!openNarrow(parent, name, access)) throw WindowsError(ERROR_FILE_NOT_FOUND, "Registry key not found");
}

RegistryKey::RegistryKey(HKEY parent, const wchar_t* name, unsigned long access)
    : RegistryKey(parent, narrowName(name).c_str(), access) {}

RegistryKey::RegistryKey(const RegistryKey& other) : owns(false), key(nullptr), viewFlags(other.viewFlags) {
    if (!other.key) return;
    if (isPredefinedRoot(other.key)) {
        key = other.key;
        return;
    }
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), other.key, GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        throw WindowsError(GetLastError(), "Can't duplicate registry key handle");
    key = static_cast<HKEY>(copy);
    owns = true;
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : owns(other.owns), key(other.key), viewFlags(other.viewFlags) {
    other.owns = false;
    other.key = nullptr;
    other.viewFlags = 0;
}

RegistryKey& RegistryKey::operator=(const RegistryKey& other) {
    if (this != &other) {
        RegistryKey copy(other); // may throw: this key stays as it was
        std::swap(owns, copy.owns);
        std::swap(key, copy.key);
        std::swap(viewFlags, copy.viewFlags);
    } // copy now holds the old handle and closes it when it was owned
    return *this;
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        RegistryKey old(std::move(*this));
        std::swap(owns, other.owns);
        std::swap(key, other.key);
        std::swap(viewFlags, other.viewFlags);
    }
    return *this;
}

RegistryKey::~RegistryKey() {
    if (owns && key) RegCloseKey(key);
}

bool RegistryKey::openNarrow(HKEY parent, const char* name, unsigned long access, unsigned long options,
                             const char* shownName) {
    close();
    key = nullptr;
    owns = false;
    viewFlags = 0;
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(parent, name, options, REGSAM(access), &opened);
    if (result == ERROR_FILE_NOT_FOUND) return false;
    if (result != ERROR_SUCCESS)
        throw WindowsError(DWORD(result), named("Can't open registry key", shownName ? shownName : name));
    key = opened;
    owns = true;
    viewFlags = access & viewMask;
    return true;
}

bool RegistryKey::open(HKEY parent, const char* name, unsigned long access) {
    return openNarrow(parent, name, access);
}
bool RegistryKey::open(HKEY parent, const wchar_t* name, unsigned long access) {
    return openNarrow(parent, narrowName(name).c_str(), access);
}

void RegistryKey::createNarrow(HKEY parent, const char* name, const char* className, unsigned long options,
                               unsigned long access, SECURITY_ATTRIBUTES* security, unsigned long* disposition) {
    close();
    key = nullptr;
    owns = false;
    viewFlags = 0;
    HKEY created = nullptr;
    const LONG result = RegCreateKeyExA(parent, name, 0, const_cast<char*>(className), options, REGSAM(access),
                                        security, &created, disposition);
    if (result != ERROR_SUCCESS) throw WindowsError(DWORD(result), named("Can't create registry key", name));
    key = created;
    owns = true;
    viewFlags = access & viewMask;
}

void RegistryKey::create(HKEY parent, const char* name, unsigned long access) {
    createNarrow(parent, name, nullptr, 0, access, nullptr, nullptr);
}
void RegistryKey::create(HKEY parent, const wchar_t* name, unsigned long access) {
    createNarrow(parent, narrowName(name).c_str(), nullptr, 0, access, nullptr, nullptr);
}
void RegistryKey::create(HKEY parent, const char* name, const char* className, unsigned long options,
                         unsigned long access, SECURITY_ATTRIBUTES* security, unsigned long* disposition) {
    createNarrow(parent, name, className, options, access, security, disposition);
}
void RegistryKey::create(HKEY parent, const wchar_t* name, const wchar_t* className, unsigned long options,
                         unsigned long access, SECURITY_ATTRIBUTES* security, unsigned long* disposition) {
    const std::string narrowClass = narrowName(className);
    createNarrow(parent, narrowName(name).c_str(), className ? narrowClass.c_str() : nullptr, options, access,
                 security, disposition);
}

void RegistryKey::close() {
    if (!owns) return;
    if (key) {
        const LONG result = RegCloseKey(key);
        if (result != ERROR_SUCCESS) throw WindowsError(DWORD(result), "Can't close registry key");
    }
    key = nullptr;
    owns = false;
    viewFlags = 0;
}

void RegistryKey::attach(HKEY k, bool o) {
    if (k && k == key) return void(owns = o); // its own handle: closing it would leave a dead one
    close();
    key = k;
    owns = o;
    viewFlags = 0;
}

HKEY RegistryKey::detach() {
    HKEY k = key;
    key = nullptr;
    owns = false;
    viewFlags = 0;
    return k;
}

void RegistryKey::flush() const {
    const LONG result = RegFlushKey(key);
    if (result != ERROR_SUCCESS) throw WindowsError(DWORD(result), "Can't flush registry key");
}

// ---- values ----------------------------------------------------------------

bool RegistryKey::getValue(const char* name, unsigned char* data, unsigned long& size, unsigned long& type) const {
    const LONG result = RegQueryValueExA(key, name, nullptr, &type, data, &size);
    if (result == ERROR_SUCCESS) return true;
    if (result == ERROR_FILE_NOT_FOUND) return false;
    throwQueryError(result, name);
}
bool RegistryKey::getValue(const wchar_t* name, unsigned char* data, unsigned long& size,
                           unsigned long& type) const {
    return getValue(narrowName(name).c_str(), data, size, type);
}

bool RegistryKey::getValue(const char* name, unsigned char* data, unsigned long size) const {
    unsigned long type = 0;
    return getValue(name, data, size, type);
}
bool RegistryKey::getValue(const wchar_t* name, unsigned char* data, unsigned long size) const {
    return getValue(narrowName(name).c_str(), data, size);
}

bool RegistryKey::getValue(const char* name, unsigned long& value) const {
    unsigned char bytes[4] = {0, 0, 0, 0};
    DWORD size = sizeof bytes;
    const LONG result = RegQueryValueExA(key, name, nullptr, nullptr, bytes, &size);
    if (result == ERROR_FILE_NOT_FOUND) return false;
    if (result != ERROR_SUCCESS) throw WindowsError(DWORD(result), "Can't query DWORD registry value");
    value = static_cast<unsigned long>(bytes[0]) | static_cast<unsigned long>(bytes[1]) << 8 |
            static_cast<unsigned long>(bytes[2]) << 16 | static_cast<unsigned long>(bytes[3]) << 24;
    return true;
}
bool RegistryKey::getValue(const wchar_t* name, unsigned long& value) const {
    return getValue(narrowName(name).c_str(), value);
}

namespace {
// The zero-terminated strings of a multi-string, up to the first empty one; a
// last string without its zero ends at the end of the data.
template <class S, class Convert>
void appendStrings(const std::vector<unsigned char>& data, std::list<S>& strings, Convert convert) {
    const char* p = reinterpret_cast<const char*>(data.data());
    const char* end = p + data.size();
    while (p < end && *p) {
        const char* stop = p;
        while (stop < end && *stop) ++stop;
        strings.push_back(convert(std::string(p, stop)));
        p = stop < end ? stop + 1 : end;
    }
}
} // namespace

bool RegistryKey::getValue(const char* name, std::list<BasicString<char>>& strings) const {
    std::vector<unsigned char> data;
    DWORD type = 0;
    const LONG result = detail::readValue(key, name, data, type);
    if (result == ERROR_FILE_NOT_FOUND) return false;
    if (result != ERROR_SUCCESS) throwQueryError(result, name);
    appendStrings(data, strings, [](std::string s) { return BasicString<char>(std::move(s)); });
    return true;
}
bool RegistryKey::getValue(const wchar_t* name, std::list<BasicString<wchar_t>>& strings) const {
    const std::string narrow = narrowName(name);
    std::vector<unsigned char> data;
    DWORD type = 0;
    const LONG result = detail::readValue(key, narrow.c_str(), data, type);
    if (result == ERROR_FILE_NOT_FOUND) return false;
    if (result != ERROR_SUCCESS) throwQueryError(result, narrow.c_str());
    appendStrings(data, strings, [](const std::string& s) { return BasicString<wchar_t>(detail::widen(s)); });
    return true;
}

bool RegistryKey::getValue(const char* name, std::vector<unsigned char>& data, unsigned long& type) const {
    DWORD t = 0;
    const LONG result = detail::readValue(key, name, data, t);
    if (result == ERROR_FILE_NOT_FOUND) return false;
    if (result != ERROR_SUCCESS) throwQueryError(result, name);
    type = t;
    return true;
}
bool RegistryKey::getValue(const wchar_t* name, std::vector<unsigned char>& data, unsigned long& type) const {
    return getValue(narrowName(name).c_str(), data, type);
}

unsigned long RegistryKey::getDWordValue(const char* name) const {
    unsigned long value = 0;
    if (!getValue(name, value)) throw WindowsError(ERROR_FILE_NOT_FOUND);
    return value;
}
unsigned long RegistryKey::getDWordValue(const wchar_t* name) const {
    return getDWordValue(narrowName(name).c_str());
}

BasicString<char> RegistryKey::getStringValue(const char* name) const {
    std::vector<unsigned char> data;
    DWORD type = REG_SZ;
    const LONG result = detail::readValue(key, name, data, type);
    if (result == ERROR_FILE_NOT_FOUND) throw WindowsError(ERROR_FILE_NOT_FOUND, "Registry value not found");
    if (result != ERROR_SUCCESS) throwQueryError(result, name);
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw WindowsError(ERROR_INVALID_DATATYPE, "Wrong value type. Expected REG_SZ or REG_EXPAND_SZ");
    // Stored text may carry several zeros or none at all: the size is the truth.
    std::size_t length = data.size();
    while (length > 0 && data[length - 1] == 0) --length;
    return BasicString<char>(std::string(reinterpret_cast<const char*>(data.data()), length));
}
BasicString<wchar_t> RegistryKey::getStringValue(const wchar_t* name) const {
    return BasicString<wchar_t>(detail::widen(getStringValue(narrowName(name).c_str())));
}

unsigned long RegistryKey::getValueSize(const char* name) const {
    DWORD size = 0;
    const LONG result = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size);
    if (result != ERROR_SUCCESS) throwQueryError(result, name);
    return size;
}
unsigned long RegistryKey::getValueSize(const wchar_t* name) const {
    return getValueSize(narrowName(name).c_str());
}

unsigned long RegistryKey::GetValueType(const char* name) const {
    DWORD type = 0;
    const LONG result = RegQueryValueExA(key, name, nullptr, &type, nullptr, nullptr);
    if (result != ERROR_SUCCESS) throwQueryError(result, name);
    return type;
}
unsigned long RegistryKey::GetValueType(const wchar_t* name) const {
    return GetValueType(narrowName(name).c_str());
}

bool RegistryKey::existsValue(const char* name) const {
    const LONG result = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_SUCCESS) return true;
    if (result == ERROR_FILE_NOT_FOUND) return false;
    throw WindowsError(DWORD(result), "Error in checking registry value existance");
}
bool RegistryKey::existsValue(const wchar_t* name) const { return existsValue(narrowName(name).c_str()); }

void RegistryKey::setValue(const char* name, const unsigned char* data, unsigned long size,
                           unsigned long type) const {
    const LONG result = RegSetValueExA(key, name, 0, type, data, size);
    if (result != ERROR_SUCCESS) throw WindowsError(DWORD(result), named("Can't set registry value", name));
}
void RegistryKey::setValue(const wchar_t* name, const unsigned char* data, unsigned long size,
                           unsigned long type) const {
    setValue(narrowName(name).c_str(), data, size, type);
}

void RegistryKey::setValue(const char* name, unsigned long value) const {
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    setValue(name, bytes, 4, REG_DWORD);
}
void RegistryKey::setValue(const wchar_t* name, unsigned long value) const {
    setValue(narrowName(name).c_str(), value);
}

void RegistryKey::setValue(const char* name, const char* text) const {
    const std::string s = text ? text : "";
    if (s.size() >= 0xFFFFFFFFu) throw std::length_error("Can't store a registry text of 4 GiB or more");
    setValue(name, reinterpret_cast<const unsigned char*>(s.c_str()), static_cast<unsigned long>(s.size() + 1), REG_SZ);
}
void RegistryKey::setValue(const wchar_t* name, const wchar_t* text) const {
    setValue(narrowName(name).c_str(), narrowName(text).c_str());
}

void RegistryKey::deleteValue(const char* name) const {
    const LONG result = RegDeleteValueA(key, name);
    if (result != ERROR_SUCCESS) throw WindowsError(DWORD(result), "Can't delete registry value");
}
void RegistryKey::deleteValue(const wchar_t* name) const { deleteValue(narrowName(name).c_str()); }

void RegistryKey::deleteAllValues() const {
    for (const auto& value : ValueEnumeration<char>(key)) deleteValue(value.name.c_str());
}

// ---- keys and information --------------------------------------------------

void RegistryKey::getInfo(Info<char>& info, unsigned short mask) const {
    DWORD subKeys = 0, maxSubKey = 0, maxClass = 0, values = 0, maxValueName = 0, maxValueData = 0, security = 0;
    FILETIME written = {0, 0};
    std::vector<char> className(300);
    DWORD classLength = 0;
    const bool wantClass = (mask & infoClassName) != 0;
    const LONG result = detail::fillGrowing(className, classLength, [&](char* p, DWORD& n) {
        return RegQueryInfoKeyA(key, wantClass ? p : nullptr, wantClass ? &n : nullptr, nullptr,
                                mask & infoSubKeyCount ? &subKeys : nullptr,
                                mask & infoMaxSubKeyLength ? &maxSubKey : nullptr,
                                mask & infoMaxClassLength ? &maxClass : nullptr,
                                mask & infoValueCount ? &values : nullptr,
                                mask & infoMaxValueNameLength ? &maxValueName : nullptr,
                                mask & infoMaxValueDataSize ? &maxValueData : nullptr,
                                mask & infoSecurityDescriptorSize ? &security : nullptr,
                                mask & infoLastWriteTime ? &written : nullptr);
    });
    if (result != ERROR_SUCCESS) throw WindowsError(DWORD(result), "Can't query registry key information");
    if (wantClass) info.className.assign(className.data(), std::min<std::size_t>(classLength, className.size()));
    if (mask & infoSubKeyCount) info.subKeyCount = subKeys;
    if (mask & infoMaxSubKeyLength) info.maxSubKeyLength = maxSubKey;
    if (mask & infoMaxClassLength) info.maxClassLength = maxClass;
    if (mask & infoValueCount) info.valueCount = values;
    if (mask & infoMaxValueNameLength) info.maxValueNameLength = maxValueName;
    if (mask & infoSecurityDescriptorSize) info.securityDescriptorSize = security;
    if (mask & infoMaxValueDataSize) info.maxValueDataSize = maxValueData;
    if (mask & infoLastWriteTime) info.lastWriteTime = written;
}

void RegistryKey::getInfo(Info<wchar_t>& info, unsigned short mask) const {
    Info<char> narrow;
    getInfo(narrow, mask);
    if (mask & infoClassName) info.className = detail::widen(narrow.className);
    if (mask & infoSubKeyCount) info.subKeyCount = narrow.subKeyCount;
    if (mask & infoMaxSubKeyLength) info.maxSubKeyLength = narrow.maxSubKeyLength;
    if (mask & infoMaxClassLength) info.maxClassLength = narrow.maxClassLength;
    if (mask & infoValueCount) info.valueCount = narrow.valueCount;
    if (mask & infoMaxValueNameLength) info.maxValueNameLength = narrow.maxValueNameLength;
    if (mask & infoSecurityDescriptorSize) info.securityDescriptorSize = narrow.securityDescriptorSize;
    if (mask & infoMaxValueDataSize) info.maxValueDataSize = narrow.maxValueDataSize;
    if (mask & infoLastWriteTime) info.lastWriteTime = narrow.lastWriteTime;
}

unsigned int RegistryKey::getSubkeyCount() const {
    Info<char> info;
    getInfo(info, infoSubKeyCount);
    return info.subKeyCount;
}
bool RegistryKey::hasSubkeys() const { return getSubkeyCount() != 0; }
unsigned int RegistryKey::getValueCount() const {
    Info<char> info;
    getInfo(info, infoValueCount);
    return info.valueCount;
}
FILETIME RegistryKey::GetLastWriteTime() const {
    Info<char> info;
    getInfo(info, infoLastWriteTime);
    return info.lastWriteTime;
}

namespace {
bool keyExists(HKEY parent, const char* name, unsigned long view) {
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS | view, &opened);
    if (result == ERROR_SUCCESS) {
        RegCloseKey(opened);
        return true;
    }
    if (result == ERROR_FILE_NOT_FOUND) return false;
    throw WindowsError(DWORD(result), named("Can't open registry key", name));
}
} // namespace

bool RegistryKey::existsKey(HKEY parent, const char* name) { return keyExists(parent, name, 0); }
bool RegistryKey::existsKey(HKEY parent, const wchar_t* name) {
    return keyExists(parent, narrowName(name).c_str(), 0);
}
bool RegistryKey::existsKey(const char* name) const { return keyExists(key, name, viewFlags); }
bool RegistryKey::existsKey(const wchar_t* name) const {
    return keyExists(key, narrowName(name).c_str(), viewFlags);
}

void RegistryKey::deleteKey(const char* name) const {
    const LONG result = detail::deleteSubkey(key, name, viewFlags);
    if (result != ERROR_SUCCESS) throw WindowsError(DWORD(result), named("Can't delete registry key", name));
}
void RegistryKey::deleteKey(const wchar_t* name) const { deleteKey(narrowName(name).c_str()); }

// ---- snapshots ---------------------------------------------------------------

namespace {

template <class Add> void enumerateKeys(HKEY key, Add add) {
    std::vector<char> name(300), className(300);
    for (DWORD index = 0;; ++index) {
        FILETIME written = {0, 0};
        DWORD nameLength = 0, classLength = 0;
        const LONG result = detail::fillGrowing(name, nameLength, [&](char* p, DWORD& n) {
            classLength = DWORD(className.size());
            const LONG r = RegEnumKeyExA(key, index, p, &n, nullptr, className.data(), &classLength, &written);
            // Either buffer may be the short one.
            if (r == ERROR_MORE_DATA) detail::growBuffer(className, classLength + 1);
            return r;
        });
        if (result == ERROR_NO_MORE_ITEMS) return;
        if (result != ERROR_SUCCESS) throw WindowsError(DWORD(result), "Can't enumerate registry subkeys");
        add(std::string(name.data(), std::min<std::size_t>(nameLength, name.size())),
            std::string(className.data(), std::min<std::size_t>(classLength, className.size())), written);
    }
}

template <class Add> void enumerateValues(HKEY key, Add add) {
    RegistryKey::Info<char> info;
    RegistryKey(key, false).getInfo(info, RegistryKey::infoMaxValueNameLength);
    std::vector<char> name(std::size_t(info.maxValueNameLength) + 1);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 0, type = 0, dataSize = 0;
        const LONG result = detail::fillGrowing(name, nameLength, [&](char* p, DWORD& n) {
            return RegEnumValueA(key, index, p, &n, nullptr, &type, nullptr, &dataSize);
        });
        if (result == ERROR_NO_MORE_ITEMS) return;
        if (result != ERROR_SUCCESS) throw WindowsError(DWORD(result), "Can't enumerate registry values");
        add(std::string(name.data(), std::min<std::size_t>(nameLength, name.size())), type, dataSize);
    }
}

} // namespace

template <class C> RegistryKey::KeyEnumeration<C>::KeyEnumeration(HKEY key) {
    enumerateKeys(key, [this](const std::string& name, const std::string& className, FILETIME written) {
        Info entry;
        detail::toWidth(name, entry.name);
        detail::toWidth(className, entry.className);
        entry.lastWriteTime = written;
        entries.push_back(std::move(entry));
    });
}
template <class C> const typename RegistryKey::KeyEnumeration<C>::Info* RegistryKey::KeyEnumeration<C>::begin() const {
    return entries.data();
}
template <class C> const typename RegistryKey::KeyEnumeration<C>::Info* RegistryKey::KeyEnumeration<C>::end() const {
    return entries.data() + entries.size();
}
template <class C> std::size_t RegistryKey::KeyEnumeration<C>::size() const { return entries.size(); }

template <class C> RegistryKey::ValueEnumeration<C>::ValueEnumeration(HKEY key) {
    enumerateValues(key, [this](const std::string& name, DWORD type, DWORD dataSize) {
        Info entry;
        detail::toWidth(name, entry.name);
        entry.type = type;
        entry.dataSize = dataSize;
        entries.push_back(std::move(entry));
    });
}
template <class C>
const typename RegistryKey::ValueEnumeration<C>::Info* RegistryKey::ValueEnumeration<C>::begin() const {
    return entries.data();
}
template <class C>
const typename RegistryKey::ValueEnumeration<C>::Info* RegistryKey::ValueEnumeration<C>::end() const {
    return entries.data() + entries.size();
}
template <class C> std::size_t RegistryKey::ValueEnumeration<C>::size() const { return entries.size(); }

template class RegistryKey::KeyEnumeration<char>;
template class RegistryKey::KeyEnumeration<wchar_t>;
template class RegistryKey::ValueEnumeration<char>;
template class RegistryKey::ValueEnumeration<wchar_t>;

} // namespace vesk
