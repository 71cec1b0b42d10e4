// INI strings in a temporary file (entries around and far beyond the first
// buffer, lists of names longer than it, a fixed-seed round-trip sweep, the
// write failure) and the operating-system version records and their tests.
#include <vesk/errors/exception.h>
#include <vesk/system/ini.h>
#include <vesk/system/os_version.h>

#include <gtest/gtest.h>

#include "test_support.h"

#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace vesk;

namespace {

TEST(IniString, EntriesAndListsOfEveryLengthComeBackWhole) {
    vesk_test::ScratchDir dir;
    const std::string file = dir.file("settings.ini");
    // 998 characters fill the first buffer of 1000 but for its zero; the rest
    // need one or more larger buffers. Then a fixed-seed sweep of random lengths.
    std::mt19937 random(1234);
    std::vector<std::size_t> lengths = {0, 1, 997, 998, 999, 1000, 1001, 1999, 2000, 5000, 20000};
    for (int round = 0; round < 40; ++round) lengths.push_back(random() % 3000);
    for (std::size_t length : lengths) {
        SCOPED_TRACE(length);
        std::string value(length, 'x');
        for (char& c : value) c = char(random() % 3 ? 'a' + random() % 26 : " _.,-0"[random() % 6]);
        if (length) value.front() = value.back() = 'k'; // the profile trims spaces at either end
        setIniString(file.c_str(), "Section", "Entry", value.c_str());
        const std::string back = getIniString(file.c_str(), "Section", "Entry", "default");
        EXPECT_EQ(back.size(), value.size());
        EXPECT_TRUE(back == value);
    }
    for (const auto& [path, section, key] : {std::tuple(file, "Section", "Missing"), std::tuple(file, "Missing", "Entry"),
                                             std::tuple(dir.file("absent.ini"), "Section", "Entry")})
        EXPECT_EQ(getIniString(path.c_str(), section, key, "dflt"), "dflt") << section << " " << key;
    setIniString(file.c_str(), "Section", "Entry", nullptr);
    EXPECT_EQ(getIniString(file.c_str(), "Section", "Entry", "gone"), "gone");

    std::string names;
    for (int i = 0; i < 300; ++i) {
        const std::string key = "key" + std::to_string(1000 + i);
        setIniString(file.c_str(), "Many", key.c_str(), "1");
        names += key + '\0';
    }
    EXPECT_EQ(getIniString(file.c_str(), "Many", nullptr, ""), names);

    try {
        setIniString("Q:\\no\\such\\folder\\x.ini", "S", "K", "V");
        ADD_FAILURE() << "nothing thrown";
    } catch (const WindowsError& e) {
        EXPECT_EQ(e.getDescription(), "Can't write private profile string");
        EXPECT_NE(e.getError(), 0u);
    }
}

TEST(OSVersion, RecordsMatchTheSystemAndAreFilledOnce) {
    OSVERSIONINFOEXA raw{};
    raw.dwOSVersionInfoSize = sizeof raw;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&raw)));
    const OSVERSIONINFOEXA& a = getOSVersionA();
    const OSVERSIONINFOEXW& w = getOSVersionW();
    EXPECT_TRUE(&a == &getOSVersionA() && &w == &getOSVersionW());
    EXPECT_EQ(a.dwOSVersionInfoSize, 156u);
    EXPECT_EQ(w.dwOSVersionInfoSize, 284u);
    for (const auto& [mine, wide, system] :
         {std::tuple(a.dwMajorVersion, w.dwMajorVersion, raw.dwMajorVersion),
          std::tuple(a.dwMinorVersion, w.dwMinorVersion, raw.dwMinorVersion),
          std::tuple(a.dwBuildNumber, w.dwBuildNumber, raw.dwBuildNumber),
          std::tuple(a.dwPlatformId, w.dwPlatformId, raw.dwPlatformId),
          std::tuple(DWORD(a.wServicePackMajor), DWORD(w.wServicePackMajor), DWORD(raw.wServicePackMajor)),
          std::tuple(DWORD(a.wProductType), DWORD(w.wProductType), DWORD(raw.wProductType))}) {
        EXPECT_EQ(mine, system);
        EXPECT_EQ(wide, system);
    }
    const std::string csd = a.szCSDVersion;
    EXPECT_EQ(csd, raw.szCSDVersion);
    EXPECT_EQ(std::wstring(w.szCSDVersion), std::wstring(csd.begin(), csd.end()));
    EXPECT_EQ(isWindowsXPOrHigher(), isWindowsXPOrHigher(a));
    EXPECT_EQ(isWindows95(), isWindows95(a));
}

TEST(OSVersion, VersionTestsByTable) {
    const struct {
        DWORD major, minor, platform;
        bool xpOrHigher, windows95;
    } rows[] = {
        {4, 0, VER_PLATFORM_WIN32_WINDOWS, false, true}, {4, 0, VER_PLATFORM_WIN32_NT, false, false},
        {4, 0, VER_PLATFORM_WIN32s, false, false},       {4, 10, VER_PLATFORM_WIN32_WINDOWS, false, false},
        {5, 0, VER_PLATFORM_WIN32_NT, false, false},     {5, 1, VER_PLATFORM_WIN32_NT, true, false},
        {5, 2, VER_PLATFORM_WIN32_NT, true, false},      {6, 0, VER_PLATFORM_WIN32_NT, true, false},
        {10, 0, VER_PLATFORM_WIN32_NT, true, false},
    };
    for (const auto& row : rows) {
        OSVERSIONINFOEXA v{};
        v.dwMajorVersion = row.major, v.dwMinorVersion = row.minor, v.dwPlatformId = row.platform;
        EXPECT_EQ(isWindowsXPOrHigher(v), row.xpOrHigher) << row.major << "." << row.minor;
        EXPECT_EQ(isWindows95(v), row.windows95) << row.major << "." << row.minor << " " << row.platform;
    }
}

} // namespace
