// The tree operations of RegistryKey: recursive delete, pruning of empty
// subtrees and merging one tree into another. Each works on snapshots of a
// key's subkeys and values, so changing the key while walking it is safe, and
// each stops at the first failure, leaving done what was done.
#include <vesk/system/registry.h>

#include <vesk/errors/exception.h>

#include "system/registry_detail.h"

namespace vesk {

using detail::named;
using detail::narrowName;

namespace {

// An empty name (or one that starts at the root separator) would make the
// operation act on the key it was called on, or on what lies above it.
void requireSubkeyName(const char* name, const char* operation) {
    if (!name || !*name || *name == '\\')
        throw WindowsError(ERROR_INVALID_PARAMETER, named(operation, name) + ": a subkey name is needed");
}

// A symbolic link is removed through a handle to the link itself: deleting it
// by name would follow it to its target, which lies outside the tree.
void deleteLink(HKEY link, const char* name) {
    using NtDeleteKey = LONG(NTAPI*)(HANDLE);
    using RtlNtStatusToDosError = ULONG(NTAPI*)(LONG);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto remove = reinterpret_cast<NtDeleteKey>(
        reinterpret_cast<void (*)()>(ntdll ? GetProcAddress(ntdll, "NtDeleteKey") : nullptr));
    const auto toDos = reinterpret_cast<RtlNtStatusToDosError>(
        reinterpret_cast<void (*)()>(ntdll ? GetProcAddress(ntdll, "RtlNtStatusToDosError") : nullptr));
    if (!remove || !toDos) throw WindowsError(ERROR_PROC_NOT_FOUND, named("Can't delete registry link", name));
    const LONG status = remove(link);
    if (status != 0) throw WindowsError(toDos(status), named("Can't delete registry link", name));
}

} // namespace

bool RegistryKey::isLink() const {
    DWORD type = 0;
    return RegQueryValueExA(key, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// The subkeys below are opened with REG_OPTION_OPEN_LINK: a symbolic link is
// then the link itself (its one value names the target) and never leads the
// walk out of the tree.

void RegistryKey::deleteKeyRecursive(const char* name) const {
    requireSubkeyName(name, "Can't delete registry key");
    deleteTree(name, name);
}
void RegistryKey::deleteKeyRecursive(const wchar_t* name) const {
    // A null wide name would otherwise become the empty one, and be refused
    // with a message that names nothing.
    deleteKeyRecursive(name ? narrowName(name).c_str() : nullptr);
}

void RegistryKey::deleteTree(const char* name, const std::string& path) const {
    RegistryKey local;
    if (!local.openNarrow(key, name, KEY_ALL_ACCESS | view(), REG_OPTION_OPEN_LINK, path.c_str()))
        throw WindowsError(ERROR_FILE_NOT_FOUND, "Registry key not found");
    if (local.isLink()) return deleteLink(local, path.c_str());
    for (const auto& subkey : KeyEnumeration<char>(local))
        local.deleteTree(subkey.name.c_str(), path + "\\" + subkey.name);
    local.close();
    const LONG result = detail::deleteSubkey(key, name, view());
    if (result != ERROR_SUCCESS) throw WindowsError(DWORD(result), named("Can't delete registry key", path.c_str()));
}

void RegistryKey::cleanEmptyTree(const char* name) const {
    requireSubkeyName(name, "Can't clean registry key");
    cleanTree(name, name);
}
void RegistryKey::cleanEmptyTree(const wchar_t* name) const {
    cleanEmptyTree(name ? narrowName(name).c_str() : nullptr);
}

void RegistryKey::cleanTree(const char* name, const std::string& path) const {
    RegistryKey local;
    if (!local.openNarrow(key, name, KEY_ALL_ACCESS | view(), REG_OPTION_OPEN_LINK, path.c_str()))
        throw WindowsError(ERROR_FILE_NOT_FOUND, "Registry key not found");
    if (local.isLink()) return; // a link is content, and what it leads to is not ours
    for (const auto& subkey : KeyEnumeration<char>(local))
        local.cleanTree(subkey.name.c_str(), path + "\\" + subkey.name);

    Info<char> info;
    local.getInfo(info, infoSubKeyCount | infoValueCount);
    if (info.subKeyCount > 0 || info.valueCount > 1) return;
    if (info.valueCount == 1) {
        // The one value keeps the key unless it is a default value without data.
        // A named value is content: removing the key would lose it.
        DWORD size = 0;
        const LONG result = RegQueryValueExA(local, "", nullptr, nullptr, nullptr, &size);
        if (result == ERROR_FILE_NOT_FOUND) return;
        if (result != ERROR_SUCCESS) throw WindowsError(DWORD(result), "Error in checking registry value existance");
        if (size > 0) return;
    }
    local.close();
    const LONG result = detail::deleteSubkey(key, name, view());
    if (result != ERROR_SUCCESS) throw WindowsError(DWORD(result), named("Can't delete registry key", path.c_str()));
}

void RegistryKey::AddContentFrom(const RegistryKey& source) {
    for (const auto& subkey : KeyEnumeration<char>(source)) {
        const char* name = subkey.name.c_str();
        // The source is only read: it may well be a key this process can't write.
        RegistryKey from;
        if (!from.openNarrow(source, name, KEY_READ | source.view(), REG_OPTION_OPEN_LINK))
            throw WindowsError(ERROR_FILE_NOT_FOUND, "Registry key not found");
        // A link here that leads elsewhere is left alone: writing through it
        // would change a key outside this tree.
        RegistryKey existing;
        const bool present = existing.openNarrow(key, name, KEY_READ | view(), REG_OPTION_OPEN_LINK);
        if (present && existing.isLink()) continue;
        existing.close();
        RegistryKey target;
        if (from.isLink()) {
            // A link is copied as a link (following it could walk in circles).
            if (present) continue;
            target.create(key, name, subkey.className.c_str(), REG_OPTION_CREATE_LINK,
                          KEY_ALL_ACCESS | KEY_CREATE_LINK | view(), nullptr, nullptr);
        } else {
            target.create(key, name, subkey.className.c_str(), 0, KEY_ALL_ACCESS | view(), nullptr, nullptr);
        }
        target.AddContentFrom(from);
    }
    std::vector<unsigned char> data;
    for (const auto& value : ValueEnumeration<char>(source)) {
        unsigned long type = 0;
        // Read whole whatever its size now; a value gone since the snapshot is
        // not copied (there is nothing left to copy).
        if (!source.getValue(value.name.c_str(), data, type)) continue;
        setValue(value.name.c_str(), data.empty() ? nullptr : data.data(), static_cast<unsigned long>(data.size()),
                 type);
    }
}

RegistryKey& RegistryKey::operator+=(const RegistryKey& source) {
    AddContentFrom(source);
    return *this;
}

bool isDevelopmentSystem() {
    try {
        RegistryKey key;
        if (!key.open(HKEY_LOCAL_MACHINE, software_key_name_a, KEY_READ)) return false;
        if (!key.existsValue("IsDevelopmentSystem")) return false;
        return key.getDWordValue("IsDevelopmentSystem") != 0;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace vesk
