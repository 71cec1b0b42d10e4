#include "test_support.h"

#include <vector>

namespace vesk_test {

unsigned long openHandleCount() {
    unsigned long count = 0;
    for (ULONG_PTR value = 4; value < 0x4000; value += 4) {
        DWORD flags;
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) != 0;
    }
    return count;
}

namespace {
void removeTree(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName, full = dir + "\\" + name;
            if (name != "." && name != "..") data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? removeTree(full) : void(DeleteFileA(full.c_str()));
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}
} // namespace

ScratchDir::ScratchDir() {
    static unsigned counter = 0;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    dir = temp + ("vesk-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter));
    CreateDirectoryA(dir.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { removeTree(dir); }

bool isRegistryLink(HKEY parent, const char* name) {
    HKEY k;
    DWORD type = 0;
    if (RegOpenKeyExA(parent, name, REG_OPTION_OPEN_LINK, KEY_READ, &k)) return false;
    const bool link = !RegQueryValueExA(k, "SymbolicLinkValue", nullptr, &type, nullptr, nullptr) && type == REG_LINK;
    return RegCloseKey(k), link;
}

static void deleteRegistryTree(HKEY parent, const char* name) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(parent, name, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    if (isRegistryLink(parent, name)) {
        using NtDeleteKey = LONG(NTAPI*)(HANDLE);
        reinterpret_cast<NtDeleteKey>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")))(k);
    } else {
        std::vector<std::string> subkeys; // first all names: a subkey that stays must not stop the walk
        char sub[256];
        for (DWORD i = 0, n = sizeof sub; !RegEnumKeyExA(k, i, sub, &n, nullptr, nullptr, nullptr, nullptr); ++i, n = sizeof sub)
            subkeys.emplace_back(sub, n);
        for (const std::string& s : subkeys) deleteRegistryTree(k, s.c_str());
        RegDeleteKeyA(parent, name);
    }
    RegCloseKey(k);
}

ScratchKey::ScratchKey(const char* what, HKEY standsFor)
    : name("Software\\VeskTest-" + std::string(what) + "-" + std::to_string(GetCurrentProcessId())), root(standsFor) {
    deleteRegistryTree(HKEY_CURRENT_USER, name.c_str());
    RegCreateKeyExA(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (root) RegOverridePredefKey(root, key);
}

ScratchKey::~ScratchKey() {
    if (root) RegOverridePredefKey(root, nullptr);
    RegCloseKey(key);
    deleteRegistryTree(HKEY_CURRENT_USER, name.c_str());
}

} // namespace vesk_test
