// Window message names: every named message by its literal value (the names
// live in wm_names.rc, one string under each message's value), the numbered
// ranges at both of their ends, and a sweep over every message value below
// 0x10000 (plus the far end of the number range).
#include <vesk/gui/wm_identifier.h>

#include "gui_driver.h"

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
    // The ranges' own ends, written out, and the first value past the sweep.
    EXPECT_TEXT("WM_HANDHELDFIRST+7 WM_AFXFIRST+31 WM_PENWINFIRST+15 Unknown window message 1023 WM_APP WM_USER+64512",
                expectedFor(0x35F), expectedFor(0x37F), expectedFor(0x38F), expectedFor(0x3FF), expectedFor(0x8000), getWMIdentifier(0x10000));
}

} // namespace
