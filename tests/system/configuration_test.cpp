// INI strings in a temporary file (entries around and far beyond the first buffer,
// lists of names longer than it, the write failure) and the operating-system
// version records and their tests.
#include <vesk/errors/exception.h>
#include <vesk/system/ini.h>
#include <vesk/system/os_version.h>

#include <gtest/gtest.h>
#include <test_support.h>

#include <random>
#include <string>

using namespace vesk;

TEST(IniString, EntriesAndListsOfEveryLengthComeBackWhole) {
    vesk_test::ScratchDir dir;
    const std::string file = dir.file("settings.ini");
    // 998 characters fill the first buffer of 1000 but for its zero; the rest need
    // one or more larger buffers.
    std::mt19937 random(1234);
    for (std::size_t length : {0, 1, 997, 998, 999, 1000, 1999, 2000, 20000}) {
        std::string value(length, 'x');
        for (char& c : value) c = char(random() % 3 ? 'a' + random() % 26 : " _.,-0"[random() % 6]);
        if (length) value.front() = value.back() = 'k'; // the profile trims spaces at either end
        setIniString(file.c_str(), "Section", "Entry", value.c_str());
        EXPECT_TRUE(getIniString(file.c_str(), "Section", "Entry", "default") == value) << length;
    }
    for (const auto& [path, section, key] : {std::tuple(file, "Section", "Missing"), std::tuple(file, "Missing", "Entry"),
                                             std::tuple(dir.file("absent.ini"), "Section", "Entry")})
        EXPECT_EQ(getIniString(path.c_str(), section, key, "dflt"), "dflt") << section << " " << key;
    std::string names; // a list of names is cut with one character less than an entry
    for (int i = 0; i < 300; ++i) {
        const std::string key = "key" + std::to_string(1000 + i);
        setIniString(file.c_str(), "Many", key.c_str(), "1");
        names += key + '\0';
    }
    EXPECT_EQ(getIniString(file.c_str(), "Many", nullptr, ""), names);
    setIniString(file.c_str(), "Section", "Entry", nullptr);
    EXPECT_EQ(getIniString(file.c_str(), "Section", "Entry", "gone"), "gone");
    try {
        setIniString("Q:\\no\\such\\folder\\x.ini", "S", "K", "V");
        ADD_FAILURE() << "nothing thrown";
    } catch (const WindowsError& e) {
        EXPECT_TRUE(e.getDescription() == "Can't write private profile string" && e.getError() != 0);
    }
}

TEST(OSVersion, RecordsMatchTheSystemAndTheTestsTheirTable) {
    OSVERSIONINFOEXA raw{};
    raw.dwOSVersionInfoSize = sizeof raw;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&raw)));
    const OSVERSIONINFOEXA& a = getOSVersionA();
    const OSVERSIONINFOEXW& w = getOSVersionW();
    EXPECT_TRUE(&a == &getOSVersionA() && &w == &getOSVersionW() && a.dwOSVersionInfoSize == 156 && w.dwOSVersionInfoSize == 284);
    for (const auto& [mine, wide, system] : {std::tuple(a.dwMajorVersion, w.dwMajorVersion, raw.dwMajorVersion),
                                             {a.dwMinorVersion, w.dwMinorVersion, raw.dwMinorVersion},
                                             {a.dwBuildNumber, w.dwBuildNumber, raw.dwBuildNumber},
                                             {a.dwPlatformId, w.dwPlatformId, raw.dwPlatformId},
                                             {DWORD(a.wProductType), DWORD(w.wProductType), DWORD(raw.wProductType)}})
        EXPECT_TRUE(mine == system && wide == system);
    EXPECT_EQ(std::string(a.szCSDVersion), raw.szCSDVersion);
    EXPECT_EQ(std::wstring(w.szCSDVersion), std::wstring(a.szCSDVersion, a.szCSDVersion + std::string(a.szCSDVersion).size()));
    EXPECT_TRUE(isWindowsXPOrHigher() == isWindowsXPOrHigher(a) && isWindows95() == isWindows95(a));
    const struct {
        DWORD major, minor, platform;
        bool xpOrHigher, windows95;
    } rows[] = {{4, 0, VER_PLATFORM_WIN32_WINDOWS, false, true}, {4, 0, VER_PLATFORM_WIN32_NT, false, false},
                {4, 10, VER_PLATFORM_WIN32_WINDOWS, false, false}, {5, 0, VER_PLATFORM_WIN32_NT, false, false},
                {5, 1, VER_PLATFORM_WIN32_NT, true, false}, {6, 0, VER_PLATFORM_WIN32_NT, true, false}};
    for (const auto& row : rows) {
        OSVERSIONINFOEXA v{};
        v.dwMajorVersion = row.major, v.dwMinorVersion = row.minor, v.dwPlatformId = row.platform;
        EXPECT_TRUE(isWindowsXPOrHigher(v) == row.xpOrHigher && isWindows95(v) == row.windows95) << row.major << "." << row.minor;
    }
}
