// Self-registration: on a scratch HKEY_LOCAL_MACHINE, server keys, threading
// models, file types, icons, handler folders, idempotence, what unregistration
// leaves and failures that end the work; for real, the sample server through
// the system's regsvr32 (the 32-bit one and view under a 32-bit test), its
// filter, its classes made with CoCreateInstance, then unregistered.
#include "com_harness.h"

#include <vesk/com/module.h>

#include <shlobj.h>
#include <uuids.h>

using namespace vesk;
using com_test::setText;
using com_test::textOf;

namespace {

GUID testGUID(unsigned char last) { return {0x5A6B7C8D, 0x1E2F, 0x4A3B, {0x8C, 0x9D, 0x0E, 0x1F, 0x20, 0x31, 0x42, last}}; }
const GUID clsidA = testGUID(1), clsidB = testGUID(2), clsidC = testGUID(3), typeA = testGUID(4), typeB = testGUID(5);
const std::string classes = "Software\\Classes\\", approved = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

const char* const extensionsA[] = {".vesk-a", ".vesk-b"};
const FileTypeInfo fileTypeA = {&typeA, extensionsA, 2, 7, "Vesk type A"};
const ShellExtensionInfo contextMenuA = {&IID_IContextMenu, &fileTypeA};
const char* const extensionsB[] = {".vesk-c"};
const FileTypeInfo fileTypeB = {&typeB, extensionsB, 1, 0, nullptr};
const ShellExtensionInfo iconB = {&IID_IExtractIconA, &fileTypeB};

TEST(Registration, KeysOnAScratchMachineKey) {
    com_test::ScratchRoot machine(HKEY_LOCAL_MACHINE);
    char file[MAX_PATH];
    GetModuleFileNameA(nullptr, file, MAX_PATH);
    const HINSTANCE self = GetModuleHandleA(nullptr);
    setText(classes + ".vesk-c", "", "existing.type");
    setText(classes + "CLSID\\" + toString(clsidA) + "\\InprocServer32", "InprocServer32", "stale");
    const COMModule::ClassInfo rows[] = {
        {&clsidA, COMModule::inproc_server32 | COMModule::apartment, L"Handler \u20AC", nullptr, nullptr, &contextMenuA},
        {&clsidB, COMModule::local_server32, nullptr, nullptr, nullptr, &iconB},
    };
    const COMModule module(rows, 2);
    ASSERT_EQ(module.registerClasses(self), S_OK);
    const std::string a = toString(clsidA), b = toString(clsidB), tA = toString(typeA), icon = std::string(file) + ",-7";
    const struct { std::string key; const char* value; std::string data; } expected[] = {
        {classes + "CLSID\\" + a, "", "Handler \x80"},        {classes + "CLSID\\" + a + "\\InprocServer32", "", file},
        {classes + "CLSID\\" + a + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {classes + "CLSID\\" + a + "\\InprocServer32", "InprocServer32", "(absent)"},
        {classes + "CLSID\\" + b, "", ""},                    {classes + "CLSID\\" + b + "\\LocalServer32", "", file},
        {classes + "CLSID\\" + b + "\\LocalServer32", "ThreadingModel", ""},
        {classes + ".vesk-a", "", tA},                        {classes + ".vesk-b", "", tA},
        {classes + tA, "", "Vesk type A"},                    {classes + tA + "\\DefaultIcon", "", icon},
        {classes + tA + "\\ShellEx\\ContextMenuHandlers\\" + a, "", a},
        {classes + ".vesk-c", "", "existing.type"},           {classes + "existing.type\\ShellEx\\IconHandler", "", b},
        {classes + toString(typeB), "", "(absent)"},          {approved, a.c_str(), "Handler \x80"},
        {approved, b.c_str(), ""},
    };
    for (const auto& r : expected) EXPECT_EQ(textOf(r.key, r.value), r.data) << r.key << " " << r.value;

    setText(classes + tA + "\\DefaultIcon", "", "kept.dll,3");
    ASSERT_EQ(module.registerClasses(self), S_OK);
    for (const auto& r : expected) EXPECT_EQ(textOf(r.key, r.value), r.data == icon ? "kept.dll,3" : r.data) << "again: " << r.key;

    ASSERT_EQ(module.unregisterClasses(), S_OK);
    EXPECT_EQ(textOf(classes + "CLSID\\" + a) + textOf(classes + "CLSID\\" + b), "(absent)(absent)");
    EXPECT_EQ(textOf(classes + tA + "\\ShellEx\\ContextMenuHandlers\\" + a), a) << "type keys stay";
    EXPECT_EQ(textOf(approved, a.c_str()), "Handler \x80") << "approvals stay";
    EXPECT_EQ(module.unregisterClasses(), S_OK) << "twice";

    // Failures end the work with their HRESULT; what was written stays.
    const FileTypeInfo nameless = {nullptr, nullptr, 0, 0, nullptr};
    const ShellExtensionInfo nowhere = {&IID_IContextMenu, &nameless};
    const COMModule::ClassInfo badKind[] = {
        {&clsidA, COMModule::inproc_server32, L"A", nullptr, nullptr, nullptr},
        {&clsidB, COMModule::server_and_threading(0x06), L"B", nullptr, nullptr, nullptr},
        {&clsidC, COMModule::inproc_server32, L"C", nullptr, nullptr, nullptr},
    };
    EXPECT_EQ(COMModule(badKind, 3).registerClasses(self), E_FAIL);
    EXPECT_EQ(textOf(classes + "CLSID\\" + a), "A");
    EXPECT_EQ(textOf(classes + "CLSID\\" + toString(clsidC)), "(absent)") << "the work ended at the failure";
    const COMModule::ClassInfo noType[] = {{&clsidA, COMModule::inproc_server32, L"A", nullptr, nullptr, &nowhere}};
    EXPECT_EQ(COMModule(noType, 1).registerClasses(self), E_FAIL) << "a shell row needs a type key";
    EXPECT_EQ(com_test::thrownBy([] { COMModule::getShellExtensionFolder(IID_IUnknown); }).what,
              "No shell extension folder name found fo " + toAString(IID_IUnknown, true));
}

// Handler interfaces {xxxxxxxx-0000-0000-C000-000000000046} by their first field, then the two others;
// "!" marks a folder that holds one handler.
TEST(Registration, HandlerFolders) {
    std::vector<GUID> handlers = {toGUID("{E8025004-1C42-11D2-BE2C-00A0C9A83DA1}"), toGUID("{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}")};
    for (unsigned long first : {0x000214E4, 0x000214EF, 0x000214FC, 0x000214E9, 0x0000010E, 0x00000122, 0x000214EB, 0x000214FA,
                                0x00021500, 0x000214EE, 0x000214F9, 0x0000000B, 0x0000013A})
        handlers.push_back({first, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}});
    std::string folders;
    for (const GUID& handler : handlers) {
        const auto& folder = COMModule::getShellExtensionFolder(handler);
        folders += folder.name + std::string(folder.single ? "! " : " ");
    }
    EXPECT_EQ(folders, "ColumnHandlers {BB2E617C-0920-11d1-9A0B-00C04FC2D6C1}! ContextMenuHandlers CopyHookHandlers CopyHookHandlers "
                       "PropertySheetHandlers DataHandler! DropHandler! IconHandler! IconHandler! {00021500-0000-0000-C000-000000000046}! "
                       "{000214EE-0000-0000-C000-000000000046}! {000214F9-0000-0000-C000-000000000046}! "
                       "{0000000B-0000-0000-C000-000000000046}! {0000013A-0000-0000-C000-000000000046}! ");
}

TEST(Registration, TheSampleServerThroughRegsvr32) {
    const std::string dll = com_test::binFolder() + "\\test_com_sample.dll", only = toString(sample::CLSID_RegisteredOnly),
                      extension = toString(sample::CLSID_Extension), typeKey = classes + sample::typeKeyName,
                      filter = "CLSID\\" + toString(CLSID_LegacyAmFilterCategory) + "\\Instance\\" + only;
    ASSERT_EQ(com_test::regsvr32(), 0);
    EXPECT_EQ(textOf(classes + "CLSID\\" + only + "\\InprocServer32", "ThreadingModel"), "Both");
    EXPECT_EQ(textOf(typeKey + "\\DefaultIcon") + " " + textOf(typeKey + "\\ShellEx\\ContextMenuHandlers\\" + extension), dll + ",-1 " + extension);
    EXPECT_EQ(textOf(typeKey + "\\ShellEx\\IconHandler"), only);
    EXPECT_EQ(textOf(approved, only.c_str()), "Vesk Sample \x80");
    EXPECT_EQ(textOf(filter, "CLSID", HKEY_CLASSES_ROOT), only) << "the filter mapper's Instance key";
    EXPECT_EQ(textOf("CLSID\\" + extension + "\\InprocServer32", "", HKEY_CLASSES_ROOT), dll) << "visible to COM";
    ASSERT_EQ(com_test::regsvr32(true), 0);
    for (const std::string& clsid : {only, extension, std::string(toString(sample::CLSID_Page))})
        EXPECT_EQ(textOf(classes + "CLSID\\" + clsid), "(absent)") << clsid;
    EXPECT_EQ(textOf(filter, "CLSID", HKEY_CLASSES_ROOT), "(absent)");
    EXPECT_EQ(textOf(typeKey + "\\ShellEx\\IconHandler"), only) << "type keys may be shared with other programs: they stay";
    EXPECT_EQ(com_test::unregisterSample(), 0) << "unregistering twice is no failure";
}

} // namespace
