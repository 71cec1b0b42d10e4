// The generated name files: loading each whole file (the reader alone, and the
// first look-up of a process, which also reads the registry) against reading the
// bare file, and look-ups afterwards against a std::map find with a copy of the name.
// A one-off load must stay well below what a user notices: under 50 ms.
#include "harness.h"

#include <vesk/com/guid.h>
#include <vesk/system/registry.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string nameFile(const char* name) {
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string folder(self, n);
    folder.erase(folder.find_last_of('\\') + 1);
    char full[MAX_PATH];
    const DWORD m = GetFullPathNameA((folder + "..\\share\\vesk\\" + name).c_str(), MAX_PATH, full, nullptr);
    return std::string(full, m);
}

std::string readBare(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The same files parsed with the standard library alone: the floor a reader can reach.
std::size_t plainHRESULTs(const std::string& path) {
    std::map<long, std::string> names;
    std::ifstream in(path);
    unsigned long code;
    std::string name;
    while (in >> std::hex >> code >> name) {
        names[long(code)] = name;
        in >> std::ws;
        if (in.peek() == '"') {
            in.get();
            in.ignore(1 << 30, '"');
        }
    }
    return names.size();
}
std::size_t plainGUIDs(const std::string& path) {
    std::map<GUID, std::string, vesk::GUIDLess> names;
    std::ifstream in(path);
    std::string text, name;
    while (in >> text >> name && text.size() == 38) {
        // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: the 32 digits as 16 bytes in text order.
        unsigned char bytes[16];
        unsigned count = 0;
        bool good = true;
        for (std::size_t i = 1; i < 37 && good; ++i) {
            if (i == 9 || i == 14 || i == 19 || i == 24) {
                good = text[i] == '-';
                continue;
            }
            const char c = text[i];
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                            : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            good = digit >= 0;
            bytes[count / 2] = static_cast<unsigned char>(count % 2 ? bytes[count / 2] * 16 + digit : digit);
            ++count;
        }
        if (!good) break;
        GUID guid{(unsigned long)bytes[0] << 24 | (unsigned long)bytes[1] << 16 | (unsigned long)bytes[2] << 8 | bytes[3],
                  static_cast<unsigned short>(bytes[4] << 8 | bytes[5]), static_cast<unsigned short>(bytes[6] << 8 | bytes[7]),
                  {}};
        for (int i = 0; i < 8; ++i) guid.Data4[i] = bytes[8 + i];
        names[guid] = name;
    }
    return names.size();
}

const char* verdict(double seconds) { return seconds < 0.050 ? "under 50 ms" : "OVER 50 ms"; }

// Subject and baseline in turns, so that a change of the machine's load falls on
// both; the medians per operation, their ratio and the goal for it.
template <class Subject, class Baseline>
void compare(const char* subject, Subject&& runSubject, const char* baseline, Baseline&& runBaseline, double operations,
             double goal) {
    std::vector<double> s, b;
    runSubject(), runBaseline();
    for (int i = 0, n = bench::repeats(15); i < n; ++i) {
        s.push_back(bench::timed(runSubject));
        b.push_back(bench::timed(runBaseline));
    }
    const double ss = bench::medianOf(s), bb = bench::medianOf(b);
    std::printf("%-44s %10.1f ns/op   %-28s %10.1f ns/op   ratio %.2f   goal <= %.1f %s\n", subject, ss * 1e9 / operations,
                baseline, bb * 1e9 / operations, ss / bb, goal, ss / bb <= goal ? "met" : "MISSED");
}

} // namespace

int main() {
    const std::string hresultPath = nameFile("HRESULTs.txt");
    const std::string guidPath = nameFile("GUIDs.txt");

    vesk::HRESULTNames hresults;
    vesk::GUIDNames guids;
    const double hresultLoad = bench::median([&] {
        hresults.clear();
        std::ifstream in(hresultPath);
        vesk::readHRESULTNames(in, hresults);
    });
    const auto loadGuids = [&] {
        guids.clear();
        std::ifstream in(guidPath);
        vesk::readGUIDNames(in, guids);
    };
    const double guidLoad = bench::median(loadGuids);
    const double hresultBare = bench::median([&] { bench::keep(readBare(hresultPath).size()); });
    const double guidBare = bench::median([&] { bench::keep(readBare(guidPath).size()); });
    const double hresultPlain = bench::median([&] { bench::keep(plainHRESULTs(hresultPath)); });
    if (hresults.empty() || guids.empty()) {
        std::printf("no generated name files beside this program (%s)\n", hresultPath.c_str());
        return 1;
    }
    std::printf("name files: %u HRESULTs, %u GUIDs\n", unsigned(hresults.size()), unsigned(guids.size()));
    std::printf("%-44s %10.2f ms   %s\n", "load HRESULTs.txt (reader)", hresultLoad * 1e3, verdict(hresultLoad));
    std::printf("%-44s %10.2f ms   %s\n", "load GUIDs.txt (reader)", guidLoad * 1e3, verdict(guidLoad));
    bench::report("load HRESULTs.txt", hresultLoad, "read the bare file", hresultBare, 1);
    bench::report("load GUIDs.txt", guidLoad, "read the bare file", guidBare, 1);
    bench::report("load HRESULTs.txt", hresultLoad, "std::ifstream >> into std::map", hresultPlain, 1);
    compare("load GUIDs.txt", loadGuids, "std::ifstream >> into std::map", [&] { bench::keep(plainGUIDs(guidPath)); },
            1, 1.5);

    // The look-ups' own first load: the files named under the library's key of a
    // scratch HKEY_LOCAL_MACHINE (this process only; the machine's key is untouched).
    const std::string scratchPath = "Software\\Vesk bench\\names-" + std::to_string(GetCurrentProcessId());
    vesk::RegistryKey scratch;
    scratch.create(HKEY_CURRENT_USER, scratchPath.c_str());
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch);
    {
        vesk::RegistryKey files;
        files.create(HKEY_LOCAL_MACHINE, (std::string(vesk::software_key_name_a) + "\\Files").c_str());
        files.setValue("HRESULTs.txt", hresultPath.c_str());
        files.setValue("GUIDs.txt", guidPath.c_str());
    }
    double start = bench::seconds();
    bench::keep(vesk::getHRESULTIdentifier(long(0x80004005)).size());
    const double firstHresult = bench::seconds() - start;
    start = bench::seconds();
    bench::keep(vesk::toAString(guids.begin()->first, true).size());
    const double firstGuid = bench::seconds() - start;
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    scratch.close();
    vesk::RegistryKey(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS).deleteKeyRecursive("Vesk bench");
    std::printf("%-44s %10.2f ms   %s\n", "first getHRESULTIdentifier (one-off)", firstHresult * 1e3,
                verdict(firstHresult));
    std::printf("%-44s %10.2f ms   %s\n", "first toAString(guid, true) (one-off)", firstGuid * 1e3, verdict(firstGuid));
    if (vesk::getHRESULTIdentifier(long(0x80004005)) != hresults[long(0x80004005)]) {
        std::printf("the look-up did not load the file\n");
        return 1;
    }

    // Look-ups after the load, every entry of each file.
    std::vector<long> codes;
    std::map<long, std::string> plainCodes;
    for (const auto& entry : hresults) {
        codes.push_back(entry.first);
        plainCodes[entry.first] = entry.second;
    }
    std::vector<GUID> ids;
    std::map<GUID, std::string, vesk::GUIDLess> plainIds;
    for (const auto& entry : guids) {
        ids.push_back(entry.first);
        plainIds[entry.first] = entry.second;
    }
    const int rounds = 20;
    const double hresultLookUp = bench::median([&] {
        for (int r = 0; r < rounds; ++r)
            for (long code : codes) bench::keep(vesk::getHRESULTIdentifier(code).size());
    });
    const double hresultMap = bench::median([&] {
        for (int r = 0; r < rounds; ++r)
            for (long code : codes) bench::keep(std::string(plainCodes.find(code)->second).size());
    });
    bench::report("getHRESULTIdentifier (in the file)", hresultLookUp, "std::map find + copy", hresultMap,
                  double(rounds) * double(codes.size()));
    compare(
        "toAString(guid, true) (in the file)",
        [&] {
            for (int r = 0; r < rounds; ++r)
                for (const GUID& id : ids) bench::keep(vesk::toAString(id, true).size());
        },
        "std::map find + copy",
        [&] {
            for (int r = 0; r < rounds; ++r)
                for (const GUID& id : ids) bench::keep(std::string(plainIds.find(id)->second).size());
        },
        double(rounds) * double(ids.size()), 1.5);

    // Numbers in no file: the fallback texts (GUIDs also ask HKEY_CLASSES_ROOT twice).
    const int n = 2000;
    GUID unknown = vesk::toGUID("{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B14}");
    const double unknownCode = bench::median([&] {
        for (int i = 0; i < n; ++i) bench::keep(vesk::getHRESULTIdentifier(long(0x8BAD0000UL + unsigned(i))).size());
    });
    const double unknownGuid = bench::median([&] {
        for (int i = 0; i < n; ++i) bench::keep(vesk::toAString(unknown, true).size());
    });
    const double bracedGuid = bench::median([&] {
        for (int i = 0; i < n; ++i) bench::keep(vesk::toAString(unknown, false).size());
    });
    const double formatted = bench::median([&] {
        for (int i = 0; i < n; ++i) {
            char text[40];
            const int length = std::snprintf(text, sizeof text, "HRESULT value %lx", 0x8BAD0000UL + unsigned(i));
            bench::keep(std::string(text, std::size_t(length)).size());
        }
    });
    bench::report("getHRESULTIdentifier (in no file)", unknownCode, "snprintf + std::string", formatted, n);
    bench::report("toAString(guid, true) (in no file)", unknownGuid, "toAString(guid, false)", bracedGuid, n);
    return 0;
}
