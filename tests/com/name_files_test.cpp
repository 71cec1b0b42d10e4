// The generated look-up files (share/vesk/HRESULTs.txt and GUIDs.txt of this build)
// and vesknames.exe, which records their paths under the library's key in
// HKEY_LOCAL_MACHINE and removes them. The suite writes that real key (ctest runs
// it alone) and puts back whatever was there before. HKEY_CLASSES_ROOT is
// redirected to an empty scratch key, so a GUID name can only come from the file.
#include <vesk/com/guid.h>
#include <vesk/system/registry.h>

#include <test_support.h>

#include <gtest/gtest.h>

#include <aclapi.h>
#include <shlobj.h>
#include <sddl.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace vesk;

namespace {

const std::string filesKey = std::string(software_key_name_a) + "\\Files";
const char* const fileValues[] = {"GUIDs.txt", "HRESULTs.txt"};

std::string binFolder() {
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string folder(self, n);
    return folder.substr(0, folder.find_last_of('\\'));
}

std::string fullPath(const std::string& path) {
    char buffer[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
    return std::string(buffer, n);
}

std::string generated(const char* name) { return fullPath(binFolder() + "\\..\\share\\vesk\\" + name); }

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

struct ToolRun {
    DWORD code;
    std::string output;
};

// vesknames.exe with the given arguments; its exit code and what it wrote.
ToolRun vesknames(const std::string& arguments) {
    vesk_test::ScratchDir dir;
    const std::string log = dir.file("output.txt");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                             0, nullptr);
    std::string command = "\"" + binFolder() + "\\vesknames.exe\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION info{};
    ToolRun run{0xFFFFFFFF, std::string()};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        CloseHandle(out);
        ADD_FAILURE() << "can't start " << command;
        return run;
    }
    CloseHandle(out);
    CloseHandle(info.hThread);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 60000), WAIT_OBJECT_0) << command;
    GetExitCodeProcess(info.hProcess, &run.code);
    CloseHandle(info.hProcess);
    run.output = readAll(log);
    return run;
}

// The registered path of a file, empty when the value is absent.
std::string registered(const char* value) {
    RegistryKey key;
    if (!key.open(HKEY_LOCAL_MACHINE, filesKey.c_str(), KEY_QUERY_VALUE) || !key.existsValue(value)) return "";
    return key.getStringValue(value);
}

// Puts the two values back as they were when the suite started.
class SavedRegistration : public ::testing::Environment {
public:
    void SetUp() override {
        existed = RegistryKey::existsKey(HKEY_LOCAL_MACHINE, filesKey.c_str());
        for (int i = 0; i < 2; ++i) saved[i] = registered(fileValues[i]);
    }
    void TearDown() override {
        RegistryKey key;
        key.create(HKEY_LOCAL_MACHINE, filesKey.c_str(), KEY_SET_VALUE | KEY_QUERY_VALUE);
        for (int i = 0; i < 2; ++i) {
            if (!saved[i].empty()) key.setValue(fileValues[i], saved[i].c_str());
            else if (key.existsValue(fileValues[i])) key.deleteValue(fileValues[i]);
        }
        DWORD subkeys = 0, values = 0;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                         nullptr);
        key.close();
        if (!existed && subkeys == 0 && values == 0) RegDeleteKeyA(HKEY_LOCAL_MACHINE, filesKey.c_str());
    }

private:
    bool existed = false;
    std::string saved[2];
};
::testing::Environment* const savedRegistration = ::testing::AddGlobalTestEnvironment(new SavedRegistration);

// HKEY_CLASSES_ROOT of this process redirected to an empty key while it lives.
class EmptyClassesRoot {
public:
    EmptyClassesRoot() : path("Software\\Vesk test\\name-files-" + std::to_string(GetCurrentProcessId())) {
        scratch.create(HKEY_CURRENT_USER, path.c_str());
        ok = RegOverridePredefKey(HKEY_CLASSES_ROOT, scratch) == ERROR_SUCCESS;
    }
    ~EmptyClassesRoot() {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        scratch.close();
        RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    }
    bool ok = false;

private:
    std::string path;
    RegistryKey scratch;
};

// The generated files' entries, read with the reader behind the look-ups.
HRESULTNames hresultTable() {
    HRESULTNames names;
    std::ifstream in(generated("HRESULTs.txt"));
    readHRESULTNames(in, names);
    return names;
}
GUIDNames guidTable() {
    GUIDNames names;
    std::ifstream in(generated("GUIDs.txt"));
    readGUIDNames(in, names);
    return names;
}

// The look-ups of this process load the registered files once, at the first
// look-up of their kind: this test comes first (a COMError made anywhere earlier,
// even by a rejected GUID text, would load the HRESULT names before /register).
TEST(NameFiles, RegisteredFilesNameCodesAndInterfaces) {
    const ToolRun run = vesknames("/register");
    ASSERT_EQ(run.code, 0u) << run.output;
    for (const char* value : fileValues) {
        EXPECT_EQ(registered(value), generated(value)) << value;
        EXPECT_NE(run.output.find(generated(value)), std::string::npos) << run.output;
    }

    EmptyClassesRoot classes;
    ASSERT_TRUE(classes.ok);
    ASSERT_FALSE(RegistryKey::existsKey(HKEY_CLASSES_ROOT, "Interface\\{000214E8-0000-0000-C000-000000000046}"));

    struct Code {
        unsigned long value;
        const char* name;
    };
    // Where several names share a value the best known one wins.
    const Code codes[] = {
        {0x80004005, "E_FAIL"},
        {0x80040154, "REGDB_E_CLASSNOTREG"},
        {0x80070005, "E_ACCESSDENIED"},          // not ERROR_ACCESS_DENIED
        {0x80010106, "RPC_E_CHANGED_MODE"},
        {0x00000000, "S_OK"},                    // not SEC_E_OK, ERROR_SUCCESS
        {0x00000001, "S_FALSE"},
        {0x8007007A, "E_NOT_SUFFICIENT_BUFFER"}, // not ERROR_INSUFFICIENT_BUFFER
        {0x80040000, "OLE_E_OLEVERB"},           // not the range marker OLE_E_FIRST
        {0x80070002, "ERROR_FILE_NOT_FOUND"},    // a Win32 code with no HRESULT name
        {0x80072746, "WSAECONNRESET"},           // 10054
        {0x800705B4, "ERROR_TIMEOUT"},           // 1460
        {0x8007000E, "E_OUTOFMEMORY"},
        {0x80070057, "E_INVALIDARG"},
    };
    for (const Code& code : codes) EXPECT_EQ(std::string(getHRESULTIdentifier(long(code.value))), code.name) << std::hex << code.value;

    const HRESULTNames hresults = hresultTable();
    ASSERT_TRUE(hresults.find(long(0x8BADF00D)) == hresults.end());
    EXPECT_EQ(getHRESULTIdentifier(long(0x8BADF00D)), "HRESULT value 8badf00d");

    EXPECT_EQ(toAString(IID_IShellExtInit, true), "IID_IShellExtInit");
    EXPECT_EQ(toAString(IID_IUnknown, true), "IID_IUnknown");
    EXPECT_EQ(toAString(IID_IClassFactory, true), "IID_IClassFactory");
    EXPECT_EQ(toAString(CLSID_ShellLink, true), "CLSID_ShellLink");
    // Two names in the headers: the shorter wins.
    EXPECT_EQ(toAString(toGUID("{CACAF262-9370-4615-A13B-9F5539DA4C0A}"), true), "CLSID_WICImagingFactory");
    // Placeholder null GUIDs of the headers are left out: GUID_NULL keeps its braces.
    EXPECT_EQ(toAString(GUID_NULL, true), "{00000000-0000-0000-0000-000000000000}");
    const char* unknown = "{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B14}";
    EXPECT_EQ(toAString(toGUID(unknown), true), unknown);

    // Every entry of both files through the look-ups themselves.
    for (const auto& entry : hresults) ASSERT_EQ(std::string(getHRESULTIdentifier(entry.first)), std::string(entry.second));
    for (const auto& entry : guidTable()) ASSERT_EQ(std::string(toAString(entry.first, true)), std::string(entry.second));
}

TEST(NameFiles, EveryGeneratedEntryIsReadAndNamedAsWritten) {
    // One entry per line and per value, so the count written is the count of lines;
    // each line's own first two tokens must be what the reader stored.
    const HRESULTNames hresults = hresultTable();
    const std::vector<std::string> hresultLines = lines(readAll(generated("HRESULTs.txt")));
    EXPECT_GT(hresultLines.size(), 3000u);
    EXPECT_EQ(hresults.size(), hresultLines.size());
    for (const std::string& line : hresultLines) {
        std::istringstream in(line);
        unsigned long value = 0;
        std::string name;
        in >> std::hex >> value >> name;
        const auto found = hresults.find(long(value));
        ASSERT_TRUE(found != hresults.end()) << line;
        EXPECT_EQ(found->second, name) << line;
    }
    const GUIDNames guids = guidTable();
    const std::vector<std::string> guidLines = lines(readAll(generated("GUIDs.txt")));
    EXPECT_GT(guidLines.size(), 4000u);
    EXPECT_EQ(guids.size(), guidLines.size());
    for (const std::string& line : guidLines) {
        const auto found = guids.find(toGUID(line.substr(0, 38).c_str()));
        ASSERT_TRUE(found != guids.end()) << line;
        EXPECT_EQ(found->second, line.substr(39)) << line;
    }
}

TEST(NameFiles, ABrokenLineEndsLoadingThere) {
    // A damaged line in the middle of each file: the entries before it stay, the
    // broken one and all after it are not stored.
    const std::vector<std::string> hresultLines = lines(readAll(generated("HRESULTs.txt")));
    const std::vector<std::string> guidLines = lines(readAll(generated("GUIDs.txt")));
    ASSERT_GT(hresultLines.size(), 100u);
    ASSERT_GT(guidLines.size(), 100u);
    struct Case {
        const char* broken;
        std::size_t before;
    };
    for (const Case& c : {Case{"8000ZZZZ E_NOT_A_NUMBER", hresultLines.size() / 2}, Case{"ONLY_A_NAME", 0},
                          Case{"123456789 E_NINE_DIGITS", 17}}) {
        std::string text;
        for (std::size_t i = 0; i < hresultLines.size(); ++i) {
            if (i == c.before) text += std::string(c.broken) + "\n";
            text += hresultLines[i] + "\n";
        }
        std::istringstream in(text);
        HRESULTNames names;
        readHRESULTNames(in, names);
        EXPECT_EQ(names.size(), c.before) << c.broken;
    }
    for (const Case& c : {Case{"{000214E8-0000-0000-C000-00000000004} IID_Short", guidLines.size() / 3},
                          Case{"000214E8-0000-0000-C000-000000000046 IID_NoBraces", 5},
                          Case{"{000214E8-0000-0000-C000-0000000000G6} IID_NotHex", guidLines.size() - 1}}) {
        std::string text;
        for (std::size_t i = 0; i < guidLines.size(); ++i) {
            if (i == c.before) text += std::string(c.broken) + "\n";
            text += guidLines[i] + "\n";
        }
        std::istringstream in(text);
        GUIDNames names;
        readGUIDNames(in, names);
        EXPECT_EQ(names.size(), c.before) << c.broken;
    }
}

TEST(NameFiles, UnregisterRemovesTheTwoValuesAndNothingElse) {
    ASSERT_EQ(vesknames("/register").code, 0u);
    {
        RegistryKey files;
        files.create(HKEY_LOCAL_MACHINE, filesKey.c_str());
        files.setValue("Other tool.txt", "C:\\kept.txt");
        RegistryKey child;
        child.create(files, "Kept");
    }
    const ToolRun run = vesknames("/unregister");
    EXPECT_EQ(run.code, 0u) << run.output;
    for (const char* value : fileValues) EXPECT_EQ(registered(value), "") << value;
    {
        RegistryKey files(HKEY_LOCAL_MACHINE, filesKey.c_str(), KEY_ALL_ACCESS);
        EXPECT_EQ(files.getStringValue("Other tool.txt"), "C:\\kept.txt");
        EXPECT_TRUE(RegistryKey::existsKey(files, "Kept"));
        files.deleteValue("Other tool.txt");
        files.deleteKey("Kept");
    }
    // Nothing left to remove is no failure.
    const ToolRun again = vesknames("/unregister");
    EXPECT_EQ(again.code, 0u) << again.output;
    EXPECT_NE(again.output.find("nothing registered"), std::string::npos) << again.output;
}

TEST(NameFiles, CommandLineAndMissingFilesAreRefusedClearly) {
    struct Case {
        const char* arguments;
        DWORD code;
        const char* says;
    };
    vesk_test::ScratchDir empty;
    const std::string missing = "/register \"" + empty.path() + "\"";
    const Case cases[] = {
        {"", 2, "usage: vesknames /register"},
        {"/install", 2, "usage: vesknames /register"},
        {"/unregister extra", 2, "usage"},
        {"/?", 0, "usage"},
        {missing.c_str(), 1, "there is no such file"},
    };
    for (const Case& c : cases) {
        const ToolRun run = vesknames(c.arguments);
        EXPECT_EQ(run.code, c.code) << c.arguments;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << c.arguments << ": " << run.output;
    }
    EXPECT_NE(vesknames(missing).output.find(empty.file("GUIDs.txt")), std::string::npos)
        << "the message names the missing file";
    for (const char* value : fileValues) EXPECT_EQ(registered(value), "") << "a refused /register writes nothing";
}

TEST(NameFiles, AKeyThatCannotBeWrittenIsReportedByName) {
    // The Files key readable by everyone but not writable: /register must fail
    // with the key's name and the system's reason, and exit 1.
    RegistryKey files;
    files.create(HKEY_LOCAL_MACHINE, filesKey.c_str());
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KRRCWD;;;WD)", SDDL_REVISION_1,
                                                                     &readOnly, nullptr));
    ASSERT_EQ(RegSetKeySecurity(files, DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
    LocalFree(readOnly);
    const ToolRun run = vesknames("/register");

    PSECURITY_DESCRIPTOR open = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;KA;;;WD)", SDDL_REVISION_1, &open, nullptr));
    RegistryKey again(HKEY_LOCAL_MACHINE, filesKey.c_str(), WRITE_DAC);
    EXPECT_EQ(RegSetKeySecurity(again, DACL_SECURITY_INFORMATION, open), ERROR_SUCCESS);
    LocalFree(open);

    if (run.code == 0 && vesk_test::runningUnderWine()) {
        // Wine grants its administrator every registry right, whatever the DACL.
        vesknames("/unregister");
        GTEST_SKIP() << "Wine does not enforce registry DACLs";
    }
    EXPECT_EQ(run.code, 1u) << run.output;
    EXPECT_NE(run.output.find("Can't register the name files under HKEY_LOCAL_MACHINE\\" + filesKey),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Can't "), run.output.rfind("Can't ")) << "the failed step is named too: " << run.output;
    for (const char* value : fileValues) EXPECT_EQ(registered(value), "") << value;
}

} // namespace
