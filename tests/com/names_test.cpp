// Name look-ups through the look-up files the library's key names: the files
// are read on the first look-up of their kind, once per process, and win over
// the fixed rules. HKEY_LOCAL_MACHINE is redirected to a scratch key for the
// whole process, so the real machine key is never touched.
#include <vesk/com/com_error.h>
#include <vesk/com/guid.h>

#include <test_support.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace vesk;

namespace {

// Its own key per process: both widths share HKEY_CURRENT_USER.
const std::string scratchPath = "Software\\Vesk test\\names-" + std::to_string(GetCurrentProcessId());

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

TEST(NameLookUp, FilesNamedUnderTheLibraryKeyAreReadOnce) {
    vesk_test::ScratchDir dir;
    writeFile(dir.file("GUIDs.txt"),
              "{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B14} IID_ITestOne\n"
              "{32595559-0000-0010-8000-00AA00389B71} MEDIASUBTYPE_YUY2\n"
              "{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B15 IID_Broken\n"
              "{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B16} IID_AfterTheBrokenLine\n");
    writeFile(dir.file("HRESULTs.txt"),
              "80004005 E_FAIL \"Unspecified error\"\n"
              "8000FFFF E_UNEXPECTED \"Catastrophic\n failure\"\n"
              "80040154 REGDB_E_CLASSNOTREG");

    HKEY scratch = nullptr, files = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, scratchPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scratch, nullptr), 0);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch), 0);
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\{3C5E91A7-2B48-4F0D-9D61-85E2A7C04B19}\\Files", 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &files, nullptr),
              0);
    for (const char* name : {"GUIDs.txt", "HRESULTs.txt"}) {
        const std::string path = dir.file(name);
        RegSetValueExA(files, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()), DWORD(path.size() + 1));
    }
    RegCloseKey(files);

    EXPECT_EQ(toAString(toGUID("{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B14}"), true), "IID_ITestOne");
    EXPECT_EQ(toAString(toGUID("{32595559-0000-0010-8000-00AA00389B71}"), true), "MEDIASUBTYPE_YUY2")
        << "the file wins over the FOURCC rule";
    EXPECT_EQ(toAString(toGUID("{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B16}"), true),
              "{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B16}")
        << "loading ends at the broken line";
    EXPECT_EQ(getHRESULTIdentifier(long(0x80004005)), "E_FAIL");
    EXPECT_EQ(getHRESULTIdentifier(long(0x8000FFFF)), "E_UNEXPECTED");
    EXPECT_EQ(getHRESULTIdentifier(long(0x80040154)), "REGDB_E_CLASSNOTREG") << "the last entry keeps its name";
    EXPECT_EQ(getHRESULTIdentifier(long(0x80004001)), "HRESULT value 80004001");
    EXPECT_EQ(std::string(COMError(0x80004005, "Can't go on").what()), "Can't go on: E_FAIL");

    // Read once: a changed file is not read again.
    writeFile(dir.file("HRESULTs.txt"), "80004005 CHANGED\n");
    writeFile(dir.file("GUIDs.txt"), "{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B14} IID_Changed\n");
    EXPECT_EQ(getHRESULTIdentifier(long(0x80004005)), "E_FAIL");
    EXPECT_EQ(toAString(toGUID("{6B1A4D9E-0F3C-4B2A-9E71-3C5D8A0F2B14}"), true), "IID_ITestOne");

    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(scratch);
    RegDeleteTreeA(HKEY_CURRENT_USER, scratchPath.c_str());
}

} // namespace
