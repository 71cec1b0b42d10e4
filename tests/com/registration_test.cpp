// Self-registration on a scratch HKEY_LOCAL_MACHINE (RegOverridePredefKey into a
// key of HKEY_CURRENT_USER): server keys and threading models, file types and
// their icons, shell-extension handler folders, idempotence, what unregistration
// leaves, and failures that end the work with an HRESULT. Filters need the real
// registry: com.server registers one.
#include <vesk/com/module.h>

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

using namespace vesk;

namespace {

GUID testGUID(unsigned char last) {
    return {0x5A6B7C8D, 0x1E2F, 0x4A3B, {0x8C, 0x9D, 0x0E, 0x1F, 0x20, 0x31, 0x42, last}};
}
const GUID clsidA = testGUID(1), clsidB = testGUID(2), clsidC = testGUID(3), typeA = testGUID(4), typeB = testGUID(5),
           unknownInterface = testGUID(6);

const std::string classes = "Software\\Classes\\";
const std::string approved = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

// HKEY_LOCAL_MACHINE of this process is a fresh key of its own for each test.
class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        path = "Software\\Vesk test\\registration-" + std::to_string(GetCurrentProcessId());
        RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scratch, nullptr), 0);
        ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch), 0);
        char name[MAX_PATH];
        file.assign(name, GetModuleFileNameA(nullptr, name, MAX_PATH));
    }
    void TearDown() override {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegCloseKey(scratch);
        RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    }

    static std::string text(const std::string& key, const char* value = "") {
        char data[1024];
        DWORD size = sizeof data;
        if (RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) != 0)
            return "(absent)";
        return data;
    }
    static void setText(const std::string& key, const char* value, const std::string& data) {
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), value, REG_SZ, data.c_str(), DWORD(data.size() + 1));
    }
    // Every key and value below the scratch root, one line each.
    static std::string dump(HKEY root, const std::string& prefix = "") {
        std::string out;
        char name[512];
        BYTE data[1024];
        DWORD n = sizeof name, size = sizeof data, type;
        for (DWORD i = 0; RegEnumValueA(root, i, name, &n, nullptr, &type, data, &size) == 0;
             ++i, n = sizeof name, size = sizeof data)
            out += prefix + "[" + name + "]=" + std::string(reinterpret_cast<char*>(data), size) + "\n";
        for (DWORD i = 0; n = sizeof name, RegEnumKeyExA(root, i, name, &n, nullptr, nullptr, nullptr, nullptr) == 0; ++i) {
            HKEY sub;
            RegOpenKeyExA(root, name, 0, KEY_READ, &sub);
            out += prefix + name + "\n" + dump(sub, prefix + name + "\\");
            RegCloseKey(sub);
        }
        return out;
    }

    std::string path, file;
    HKEY scratch = nullptr;
    const HINSTANCE self = GetModuleHandleA(nullptr);
};

const char* const extensionsA[] = {".vesk-a", ".vesk-b"};
const FileTypeInfo fileTypeA = {&typeA, extensionsA, 2, 7, "Vesk type A"};
const ShellExtensionInfo contextMenuA = {&IID_IContextMenu, &fileTypeA};
const char* const extensionsB[] = {".vesk-c"};
const FileTypeInfo fileTypeB = {&typeB, extensionsB, 1, 0, nullptr};
const ShellExtensionInfo iconB = {&IID_IExtractIconA, &fileTypeB};

TEST_F(Registration, ClassKeysFileTypesAndHandlers) {
    setText(classes + ".vesk-c", "", "existing.type"); // an extension that names its type already
    setText(classes + "CLSID\\" + toString(clsidA) + "\\InprocServer32", "InprocServer32", "stale");
    const COMModule::ClassInfo rows[] = {
        {&clsidA, COMModule::inproc_server32 | COMModule::apartment, L"Handler A", nullptr, nullptr, &contextMenuA},
        {&clsidB, COMModule::local_server32, nullptr, nullptr, nullptr, &iconB},
    };
    const COMModule module(rows, 2);
    ASSERT_EQ(module.registerClasses(self), S_OK);
    const std::string a = toString(clsidA), b = toString(clsidB), tA = toString(typeA);
    struct Row {
        std::string key;
        const char* value;
        std::string data;
    } expected[] = {
        {classes + "CLSID\\" + a, "", "Handler A"},
        {classes + "CLSID\\" + a + "\\InprocServer32", "", file},
        {classes + "CLSID\\" + a + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {classes + "CLSID\\" + a + "\\InprocServer32", "InprocServer32", "(absent)"},
        {classes + "CLSID\\" + b, "", ""},
        {classes + "CLSID\\" + b + "\\LocalServer32", "", file},
        {classes + "CLSID\\" + b + "\\LocalServer32", "ThreadingModel", ""},
        {classes + ".vesk-a", "", tA},
        {classes + ".vesk-b", "", tA},
        {classes + tA, "", "Vesk type A"},
        {classes + tA + "\\DefaultIcon", "", file + ",-7"},
        {classes + tA + "\\ShellEx\\ContextMenuHandlers\\" + a, "", a},
        {classes + ".vesk-c", "", "existing.type"},
        {classes + "existing.type\\ShellEx\\IconHandler", "", b},
        {classes + toString(typeB), "", "(absent)"},
        {approved, a.c_str(), "Handler A"},
        {approved, b.c_str(), ""},
    };
    for (const Row& r : expected) EXPECT_EQ(text(r.key, r.value), r.data) << r.key << " " << r.value;

    const std::string once = dump(HKEY_LOCAL_MACHINE);
    setText(classes + tA + "\\DefaultIcon", "", "kept.dll,3");
    ASSERT_EQ(module.registerClasses(self), S_OK);
    EXPECT_EQ(text(classes + tA + "\\DefaultIcon"), "kept.dll,3") << "an icon already named stays";
    setText(classes + tA + "\\DefaultIcon", "", file + ",-7");
    EXPECT_EQ(dump(HKEY_LOCAL_MACHINE), once) << "registering twice writes what registering once does";

    ASSERT_EQ(module.unregisterClasses(), S_OK);
    EXPECT_EQ(text(classes + "CLSID\\" + a), "(absent)");
    EXPECT_EQ(text(classes + "CLSID\\" + b), "(absent)");
    EXPECT_EQ(text(classes + tA + "\\ShellEx\\ContextMenuHandlers\\" + a), a) << "type keys stay";
    EXPECT_EQ(text(approved, a.c_str()), "Handler A") << "approvals stay";
    EXPECT_EQ(module.unregisterClasses(), S_OK) << "twice";
}

TEST_F(Registration, FailuresEndTheWorkWithTheirHRESULT) {
    const ShellExtensionInfo unknownHandler = {&unknownInterface, &fileTypeA};
    const COMModule::ClassInfo rows[] = {
        {&clsidA, COMModule::inproc_server32, L"A", nullptr, nullptr, nullptr},
        {&clsidB, COMModule::server_and_threading(0x06), L"B", nullptr, nullptr, nullptr},
        {&clsidC, COMModule::inproc_server32, L"C", nullptr, nullptr, nullptr},
    };
    EXPECT_EQ(COMModule(rows, 3).registerClasses(self), E_FAIL);
    EXPECT_EQ(text(classes + "CLSID\\" + toString(clsidA)), "A") << "written before the failure: stays";
    EXPECT_EQ(text(classes + "CLSID\\" + toString(clsidC)), "(absent)") << "the work ended at the failure";

    const COMModule::ClassInfo handler[] = {
        {&clsidC, COMModule::inproc_server32, L"C", nullptr, nullptr, &unknownHandler},
    };
    EXPECT_EQ(COMModule(handler, 1).registerClasses(self), E_FAIL);
    EXPECT_EQ(text(classes + "CLSID\\" + toString(clsidC) + "\\InprocServer32"), file);
    EXPECT_EQ(text(classes + ".vesk-a"), toString(typeA)) << "the first file type's keys are written";
    EXPECT_EQ(text(classes + toString(typeA)), "Vesk type A");

    const FileTypeInfo nameless = {nullptr, nullptr, 0, 0, nullptr};
    const ShellExtensionInfo nowhere = {&IID_IContextMenu, &nameless};
    const COMModule::ClassInfo noType[] = {{&clsidA, COMModule::inproc_server32, L"A", nullptr, nullptr, &nowhere}};
    EXPECT_EQ(COMModule(noType, 1).registerClasses(self), E_FAIL) << "a shell row needs a type key";
}

TEST(ShellExtensionFolder, TheTableOfHandlerFolders) {
    struct Row {
        const char* iid;
        const char* folder;
        bool single;
    } rows[] = {
        {"{E8025004-1C42-11D2-BE2C-00A0C9A83DA1}", "ColumnHandlers", false},
        {"{000214E4-0000-0000-C000-000000000046}", "ContextMenuHandlers", false},
        {"{000214EF-0000-0000-C000-000000000046}", "CopyHookHandlers", false},
        {"{000214FC-0000-0000-C000-000000000046}", "CopyHookHandlers", false},
        {"{000214E9-0000-0000-C000-000000000046}", "PropertySheetHandlers", false},
        {"{0000010E-0000-0000-C000-000000000046}", "DataHandler", true},
        {"{00000122-0000-0000-C000-000000000046}", "DropHandler", true},
        {"{000214EB-0000-0000-C000-000000000046}", "IconHandler", true},
        {"{000214FA-0000-0000-C000-000000000046}", "IconHandler", true},
        {"{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}", "{BB2E617C-0920-11d1-9A0B-00C04FC2D6C1}", true},
        {"{00021500-0000-0000-C000-000000000046}", "{00021500-0000-0000-C000-000000000046}", true},
        {"{000214EE-0000-0000-C000-000000000046}", "{000214EE-0000-0000-C000-000000000046}", true},
        {"{000214F9-0000-0000-C000-000000000046}", "{000214F9-0000-0000-C000-000000000046}", true},
        {"{0000000B-0000-0000-C000-000000000046}", "{0000000B-0000-0000-C000-000000000046}", true},
        {"{0000013A-0000-0000-C000-000000000046}", "{0000013A-0000-0000-C000-000000000046}", true},
    };
    for (const Row& r : rows) {
        const COMModule::ShellExtensionFolder& folder = COMModule::getShellExtensionFolder(toGUID(r.iid));
        EXPECT_EQ(std::string(folder.name), r.folder) << r.iid;
        EXPECT_EQ(folder.single, r.single) << r.iid;
    }
    try {
        COMModule::getShellExtensionFolder(IID_IUnknown);
        FAIL() << "nothing thrown";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "No shell extension folder name found fo " + toAString(IID_IUnknown, true));
    }
}

} // namespace
