// The generated look-up files of this build and vesknames.exe, which records
// their paths under the library's key in HKEY_LOCAL_MACHINE and removes them.
// The suite writes that real key (ctest runs it alone) and removes it again;
// HKEY_CLASSES_ROOT is a scratch key, so a GUID name can only come from the file.
#include "com_harness.h"

#include <vesk/com/guid.h>

#include <fstream>
#include <sstream>

using namespace vesk;

namespace {

const std::string filesKey = std::string(software_key_name_a) + "\\Files";

std::string generated(const char* name) {
    char full[MAX_PATH];
    const std::string path = com_test::binFolder() + "\\..\\share\\vesk\\" + name;
    return std::string(full, GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr));
}

std::vector<std::string> lines(const char* name) {
    std::ifstream in(generated(name));
    std::vector<std::string> result;
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

long vesknames(const std::string& arguments) { return com_test::run("\"" + com_test::binFolder() + "\\vesknames.exe\" " + arguments); }

// Comes first: the look-ups load the registered files at the first look-up of their kind.
TEST(NameFiles, EveryEntryNamedThroughTheRegisteredFiles) {
    ASSERT_EQ(vesknames("/register"), 0);
    for (const char* value : {"GUIDs.txt", "HRESULTs.txt"}) EXPECT_EQ(com_test::textOf(filesKey, value), generated(value));
    com_test::ScratchRoot classes(HKEY_CLASSES_ROOT);
    const struct {
        unsigned long value;
        const char* name;
    } codes[] = {
        // Where several names share a value the best known one wins.
        {0x80004005, "E_FAIL"}, {0x80070005, "E_ACCESSDENIED"}, {0x00000000, "S_OK"}, {0x8007007A, "E_NOT_SUFFICIENT_BUFFER"},
        {0x80040000, "OLE_E_OLEVERB"}, {0x80070002, "ERROR_FILE_NOT_FOUND"}, {0x800705B4, "ERROR_TIMEOUT"},
    };
    for (const auto& code : codes) EXPECT_EQ(getHRESULTIdentifier(long(code.value)), code.name) << std::hex << code.value;
    EXPECT_EQ(getHRESULTIdentifier(long(0x8BADF00D)), "HRESULT value 8badf00d");
    EXPECT_EQ(toAString(IID_IShellExtInit, true), "IID_IShellExtInit");
    EXPECT_EQ(toAString(CLSID_ShellLink, true), "CLSID_ShellLink");
    EXPECT_EQ(toAString(toGUID("{CACAF262-9370-4615-A13B-9F5539DA4C0A}"), true), "CLSID_WICImagingFactory")
        << "two names in the headers: the shorter wins";
    EXPECT_EQ(toAString(GUID_NULL, true), "{00000000-0000-0000-0000-000000000000}") << "placeholders are left out";

    // Every line of each file, one entry per line, named as written.
    const std::vector<std::string> hresults = lines("HRESULTs.txt"), guids = lines("GUIDs.txt");
    EXPECT_GT(hresults.size(), 3000u);
    EXPECT_GT(guids.size(), 4000u);
    for (const std::string& line : hresults) {
        std::istringstream in(line);
        unsigned long value = 0;
        std::string name;
        in >> std::hex >> value >> name;
        ASSERT_EQ(getHRESULTIdentifier(long(value)), name) << line;
    }
    for (const std::string& line : guids) ASSERT_EQ(toAString(toGUID(line.substr(0, 38).c_str()), true), line.substr(39)) << line;
}

TEST(NameFiles, UnregisterRemovesTheTwoValuesAndBadCommandLinesAreRefused) {
    ASSERT_EQ(vesknames("/register"), 0);
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, filesKey.c_str(), "Other tool.txt", REG_SZ, "C:\\kept.txt", 13);
    EXPECT_EQ(vesknames("/unregister"), 0);
    for (const char* value : {"GUIDs.txt", "HRESULTs.txt"}) EXPECT_EQ(com_test::textOf(filesKey, value), "(absent)");
    EXPECT_EQ(com_test::textOf(filesKey, "Other tool.txt"), "C:\\kept.txt");
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, filesKey.c_str(), "Other tool.txt");
    EXPECT_EQ(vesknames("/unregister"), 0) << "nothing left to remove is no failure";
    const struct {
        const char* arguments;
        long code;
    } cases[] = {{"", 2}, {"/install", 2}, {"/unregister extra", 2}, {"/?", 0}, {"/register C:\\no\\such\\folder", 1}};
    for (const auto& c : cases) EXPECT_EQ(vesknames(c.arguments), c.code) << c.arguments;
    EXPECT_EQ(com_test::textOf(filesKey, "GUIDs.txt"), "(absent)") << "a refused /register writes nothing";
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, filesKey.c_str());
}

} // namespace
