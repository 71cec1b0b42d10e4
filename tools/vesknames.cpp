// vesknames: records the paths of the library's name look-up files, GUIDs.txt and
// HRESULTs.txt, under HKEY_LOCAL_MACHINE\Software\{3C5E91A7-...}\Files, or removes
// them again.
//
//   vesknames /register [folder]   the files in folder (by default ..\share\vesk
//                                  beside this program, as the package installs them)
//   vesknames /unregister          removes the two values, nothing else
//
// A 32-bit vesknames writes the 32-bit view of the registry, which is the one a
// 32-bit vesk.dll reads; each width registers its own files.
// Exit codes: 0 done, 1 failed (the reason on stderr), 2 wrong command line.
#include <vesk/errors/exception.h>
#include <vesk/system/registry.h>

#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>

namespace {

const char* const fileNames[] = {"GUIDs.txt", "HRESULTs.txt"};

std::string filesKeyName() { return std::string(vesk::software_key_name_a) + "\\Files"; }

std::string fullPath(const std::string& path) {
    char buffer[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer) throw vesk::WindowsError("Can't make a full path of \"" + path + "\"");
    return std::string(buffer, length);
}

// ..\share\vesk from the folder of this program.
std::string defaultFolder() {
    char buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) throw vesk::WindowsError("Can't read the program's file name");
    std::string folder(buffer, length);
    folder.erase(folder.find_last_of("\\/") + 1);
    return folder + "..\\share\\vesk";
}

int registerFiles(const std::string& folder) {
    std::string paths[2];
    for (int i = 0; i < 2; ++i) {
        paths[i] = fullPath(folder + "\\" + fileNames[i]);
        const DWORD attributes = GetFileAttributesA(paths[i].c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            std::fprintf(stderr, "vesknames: Can't register \"%s\": there is no such file\n", paths[i].c_str());
            return 1;
        }
    }
    vesk::RegistryKey key;
    key.create(HKEY_LOCAL_MACHINE, filesKeyName().c_str(), KEY_SET_VALUE);
    for (int i = 0; i < 2; ++i) {
        key.setValue(fileNames[i], paths[i].c_str());
        std::printf("%s = %s\n", fileNames[i], paths[i].c_str());
    }
    return 0;
}

int unregisterFiles() {
    vesk::RegistryKey key;
    if (!key.open(HKEY_LOCAL_MACHINE, filesKeyName().c_str(), KEY_QUERY_VALUE | KEY_SET_VALUE)) {
        std::printf("nothing registered\n");
        return 0;
    }
    bool removed = false;
    for (const char* name : fileNames) {
        if (!key.existsValue(name)) continue;
        key.deleteValue(name);
        std::printf("%s removed\n", name);
        removed = true;
    }
    if (!removed) std::printf("nothing registered\n");
    return 0;
}

void usage(std::FILE* out) {
    std::fprintf(out, "usage: vesknames /register [folder]   record the paths of GUIDs.txt and HRESULTs.txt\n"
                      "       vesknames /unregister          remove them again\n"
                      "The paths go to HKEY_LOCAL_MACHINE\\%s; the folder is by default\n"
                      "..\\share\\vesk beside this program.\n",
                 filesKeyName().c_str());
}

bool isSwitch(const char* argument, const char* name) {
    return (argument[0] == '/' || argument[0] == '-') && lstrcmpiA(argument + 1, name) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && isSwitch(argv[1], "?")) {
        usage(stdout);
        return 0;
    }
    const bool doRegister = argc >= 2 && argc <= 3 && isSwitch(argv[1], "register");
    const bool doUnregister = argc == 2 && isSwitch(argv[1], "unregister");
    if (!doRegister && !doUnregister) {
        usage(stderr);
        return 2;
    }
    try {
        return doRegister ? registerFiles(argc == 3 ? argv[2] : defaultFolder()) : unregisterFiles();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vesknames: Can't %s the name files under HKEY_LOCAL_MACHINE\\%s: %s\n",
                     doRegister ? "register" : "unregister", filesKeyName().c_str(), e.what());
        return 1;
    }
}
