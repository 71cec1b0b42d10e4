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

using namespace vesk;

namespace {

TEST(IniString, EntriesOfEveryLengthComeBackWhole) {
    vesk_test::ScratchDir dir;
    const std::string file = dir.file("settings.ini");
    // 998 characters fill the first buffer of 1000 but for its zero; the rest
    // need one or more larger buffers.
    for (std::size_t length : {0, 1, 997, 998, 999, 1000, 1001, 1999, 2000, 5000, 20000}) {
        SCOPED_TRACE(length);
        std::string value(length, 'x');
        for (std::size_t i = 0; i < length; i += 7) value[i] = char('a' + i % 26);
        setIniString(file.c_str(), "Section", "Entry", value.c_str());
        const std::string back = getIniString(file.c_str(), "Section", "Entry", "default");
        EXPECT_EQ(back.size(), value.size());
        EXPECT_TRUE(back == value);
    }
    EXPECT_EQ(getIniString(file.c_str(), "Section", "Missing", "default"), "default");
    EXPECT_EQ(getIniString(file.c_str(), "Missing", "Entry", "default"), "default");
    EXPECT_EQ(getIniString(dir.file("absent.ini").c_str(), "Section", "Entry", "dflt"), "dflt");
    setIniString(file.c_str(), "Section", "Entry", nullptr);
    EXPECT_EQ(getIniString(file.c_str(), "Section", "Entry", "gone"), "gone");
}

TEST(IniString, ListsOfNamesLongerThanTheFirstBufferComeBackWhole) {
    vesk_test::ScratchDir dir;
    const std::string file = dir.file("list.ini");
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "key%03d", i);
        setIniString(file.c_str(), "Many", key, "1");
        expected += key;
        expected += '\0';
    }
    EXPECT_EQ(getIniString(file.c_str(), "Many", nullptr, ""), expected);
}

TEST(IniString, RandomValuesRoundTripInASweep) {
    vesk_test::ScratchDir dir;
    const std::string file = dir.file("sweep.ini");
    std::mt19937 random(1234);
    const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.,-";
    for (int round = 0; round < 40; ++round) {
        std::string value(random() % 3000, ' ');
        for (char& c : value) c = alphabet[random() % (sizeof alphabet - 1)];
        const std::string key = "k" + std::to_string(round % 5);
        setIniString(file.c_str(), "Sweep", key.c_str(), value.c_str());
        ASSERT_TRUE(getIniString(file.c_str(), "Sweep", key.c_str(), "?") == value) << round;
    }
}

TEST(IniString, AFailedWriteSaysSo) {
    try {
        setIniString("Q:\\no\\such\\folder\\x.ini", "S", "K", "V");
        FAIL() << "nothing thrown";
    } catch (const WindowsError& e) {
        EXPECT_EQ(e.getDescription(), "Can't write private profile string");
        EXPECT_NE(e.getError(), 0u);
    }
}

TEST(OSVersion, RecordsMatchTheSystemAndAreFilledOnce) {
    OSVERSIONINFOEXA raw;
    std::memset(&raw, 0, sizeof raw);
    raw.dwOSVersionInfoSize = sizeof raw;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&raw)));
    const OSVERSIONINFOEXA& a = getOSVersionA();
    EXPECT_EQ(&a, &getOSVersionA());
    EXPECT_EQ(a.dwOSVersionInfoSize, 156u);
    EXPECT_EQ(a.dwMajorVersion, raw.dwMajorVersion);
    EXPECT_EQ(a.dwMinorVersion, raw.dwMinorVersion);
    EXPECT_EQ(a.dwBuildNumber, raw.dwBuildNumber);
    EXPECT_EQ(a.dwPlatformId, raw.dwPlatformId);
    EXPECT_STREQ(a.szCSDVersion, raw.szCSDVersion);
    const OSVERSIONINFOEXW& w = getOSVersionW();
    EXPECT_EQ(&w, &getOSVersionW());
    EXPECT_EQ(w.dwOSVersionInfoSize, 284u);
    EXPECT_EQ(w.dwMajorVersion, a.dwMajorVersion);
    EXPECT_EQ(w.dwMinorVersion, a.dwMinorVersion);
    EXPECT_EQ(w.dwBuildNumber, a.dwBuildNumber);
    EXPECT_EQ(w.dwPlatformId, a.dwPlatformId);
    EXPECT_EQ(w.wServicePackMajor, a.wServicePackMajor);
    EXPECT_EQ(w.wProductType, a.wProductType);
    const std::string csd = a.szCSDVersion;
    EXPECT_EQ(std::wstring(w.szCSDVersion), std::wstring(csd.begin(), csd.end()));
    EXPECT_EQ(isWindowsXPOrHigher(), isWindowsXPOrHigher(a));
    EXPECT_EQ(isWindows95(), isWindows95(a));
}

TEST(OSVersion, VersionTestsByTable) {
    const struct {
        DWORD major, minor, platform;
        bool xpOrHigher, windows95;
    } rows[] = {
        {4, 0, VER_PLATFORM_WIN32_WINDOWS, false, true},  // Windows 95
        {4, 0, VER_PLATFORM_WIN32_NT, false, false},      // NT 4.0
        {4, 0, VER_PLATFORM_WIN32s, false, false},
        {4, 10, VER_PLATFORM_WIN32_WINDOWS, false, false}, // Windows 98
        {5, 0, VER_PLATFORM_WIN32_NT, false, false},      // 2000
        {5, 1, VER_PLATFORM_WIN32_NT, true, false},       // XP
        {5, 2, VER_PLATFORM_WIN32_NT, true, false},
        {6, 0, VER_PLATFORM_WIN32_NT, true, false},
        {10, 0, VER_PLATFORM_WIN32_NT, true, false},
    };
    for (const auto& row : rows) {
        OSVERSIONINFOEXA v;
        std::memset(&v, 0, sizeof v);
        v.dwMajorVersion = row.major, v.dwMinorVersion = row.minor, v.dwPlatformId = row.platform;
        EXPECT_EQ(isWindowsXPOrHigher(v), row.xpOrHigher) << row.major << "." << row.minor;
        EXPECT_EQ(isWindows95(v), row.windows95) << row.major << "." << row.minor << " " << row.platform;
    }
}

} // namespace
