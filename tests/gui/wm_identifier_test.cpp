// Window message names: every named message by its literal value (the names
// live in wm_names.rc, one string under each message's value), the numbered
// ranges at both of their ends, and a sweep over every message value below
// 0x10000 (plus the far end of the number range).
#include <vesk/gui/wm_identifier.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using vesk::getWMIdentifier;

namespace {

// The name the suite's own table gives a value, or what the ranges give it.
std::string expectedFor(unsigned m) {
    char name[64];
    if (m <= 0xFFFF && LoadStringA(GetModuleHandleA(nullptr), m, name, sizeof(name)) > 0)
        return name;
    if (m >= 0x400) return "WM_USER+" + std::to_string(m - 0x400);
    if (m >= 0x380 && m <= 0x38F) return "WM_PENWINFIRST+" + std::to_string(m - 0x380);
    if (m >= 0x360 && m <= 0x37F) return "WM_AFXFIRST+" + std::to_string(m - 0x360);
    if (m >= 0x358 && m <= 0x35F) return "WM_HANDHELDFIRST+" + std::to_string(m - 0x358);
    return "Unknown window message " + std::to_string(m);
}

// The ends of the ranges, written out: they check the table above as much as the library.
TEST(WMIdentifier, RangeEndsAndFallback) {
    const std::pair<unsigned, const char*> rows[] = {
        {0x0004, "Unknown window message 4"}, {0x0108, "Unknown window message 264"}, {0x0357, "Unknown window message 855"},
        {0x0358, "WM_HANDHELDFIRST+0"}, {0x035F, "WM_HANDHELDFIRST+7"}, {0x0360, "WM_AFXFIRST+0"}, {0x037F, "WM_AFXFIRST+31"},
        {0x0380, "WM_PENWINFIRST+0"}, {0x038F, "WM_PENWINFIRST+15"}, {0x0390, "Unknown window message 912"},
        {0x03FF, "Unknown window message 1023"}, {0x0400, "WM_USER+0"}, {0x7FFF, "WM_USER+31743"}, {0x8000, "WM_APP"},
        {0x8001, "WM_USER+31745"}, {0xC000, "WM_USER+48128"}, {0xFFFF, "WM_USER+64511"}, {0x10000, "WM_USER+64512"},
        {0xFFFFFFFFu, "WM_USER+4294966271"}, {0x0109, "WM_KEYLAST"}, {0x001A, "WM_SETTINGCHANGE"},
    };
    for (const auto& row : rows)
        EXPECT_TRUE(getWMIdentifier(row.first) == row.second && expectedFor(row.first) == row.second) << std::hex << row.first;
}

TEST(WMIdentifier, SweepOfEveryMessageValue) {
    unsigned wrong = 0, named = 0;
    for (unsigned m = 0; m < 0x10000; ++m) {
        named += expectedFor(m).find_first_of("+ ") == std::string::npos;
        if (getWMIdentifier(m) != expectedFor(m) && ++wrong < 10) ADD_FAILURE() << std::hex << m;
    }
    for (unsigned m = 0xFFFFFF00u; m != 0; ++m)
        if (getWMIdentifier(m) != expectedFor(m) && ++wrong < 10) ADD_FAILURE() << std::hex << m;
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(named, 202u) << "the names the table holds";
}

} // namespace
