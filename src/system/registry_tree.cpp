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

// Opens name under parent for the tree operations, in the same registry view.
RegistryKey openSubkey(HKEY parent, const char* name, unsigned long access) {
    RegistryKey local;
    if (!local.open(parent, name, access)) throw WindowsError(ERROR_FILE_NOT_FOUND, "Registry key not found");
    return local;
}

} // namespace

void RegistryKey::deleteKeyRecursive(const char* name) const {
    requireSubkeyName(name, "Can't delete registry key");
    RegistryKey local = openSubkey(key, name, KEY_ALL_ACCESS | view());
    for (const auto& subkey : KeyEnumeration<char>(local)) local.deleteKeyRecursive(subkey.name.c_str());
    local.close();
    deleteKey(name);
}
void RegistryKey::deleteKeyRecursive(const wchar_t* name) const {
    // A null wide name would otherwise become the empty one, and be refused
    // with a message that names nothing.
    deleteKeyRecursive(name ? narrowName(name).c_str() : nullptr);
}

void RegistryKey::cleanEmptyTree(const char* name) const {
    requireSubkeyName(name, "Can't clean registry key");
    RegistryKey local = openSubkey(key, name, KEY_ALL_ACCESS | view());
    for (const auto& subkey : KeyEnumeration<char>(local)) local.cleanEmptyTree(subkey.name.c_str());

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
    deleteKey(name);
}
void RegistryKey::cleanEmptyTree(const wchar_t* name) const {
    cleanEmptyTree(name ? narrowName(name).c_str() : nullptr);
}

void RegistryKey::AddContentFrom(const RegistryKey& source) {
    for (const auto& subkey : KeyEnumeration<char>(source)) {
        RegistryKey target;
        target.create(key, subkey.name.c_str(), subkey.className.c_str(), 0, KEY_ALL_ACCESS | view(), nullptr,
                      nullptr);
        // The source is only read: it may well be a key this process can't write.
        RegistryKey from = openSubkey(source, subkey.name.c_str(), KEY_READ | source.view());
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
