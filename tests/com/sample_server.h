// The sample in-process server of the COM tests, shared by the server DLL and
// the suites: a shell extension (a context menu) registered as the context-menu handler of a file type, its property
// page, and a class that is only registered, as a filter and as an icon handler.
// Each width has its own class identifiers (last byte 0x32 or 0x64), so that
// both runs in one prefix never meet.
#pragma once

#include <windows.h>
#include <objbase.h>

#ifdef _WIN64
#define VESK_SAMPLE_SUFFIX "64"
#define VESK_SAMPLE_GUID(first) {first, 0x0B1C, 0x4D2E, {0x8F, 0x30, 0x41, 0x52, 0x63, 0x74, 0x85, 0x64}}
#else
#define VESK_SAMPLE_SUFFIX "32"
#define VESK_SAMPLE_GUID(first) {first, 0x0B1C, 0x4D2E, {0x8F, 0x30, 0x41, 0x52, 0x63, 0x74, 0x85, 0x32}}
#endif

namespace sample {

const GUID CLSID_Extension = VESK_SAMPLE_GUID(0xD1E2F3A5);
const GUID CLSID_RegisteredOnly = VESK_SAMPLE_GUID(0xD1E2F3A6);
const GUID TYPE_SampleFile = VESK_SAMPLE_GUID(0xD1E2F3A7);
const GUID CLSID_Page = VESK_SAMPLE_GUID(0xD1E2F3A9);

const char extension[] = ".vesksample" VESK_SAMPLE_SUFFIX;
const char typeName[] = "Vesk sample file " VESK_SAMPLE_SUFFIX;
const char typeKeyName[] = "{D1E2F3A7-0B1C-4D2E-8F30-4152637485" VESK_SAMPLE_SUFFIX "}";

// The extension's menu, in order; help texts in the ANSI code page (1252).
const char* const commands[] = {"Name the window", "Find nothing", "Refuse"};
const char* const helpTexts[] = {"\x93Names\x94 the window \x80", "Fails with a Win32 error", "Always fails"};

// The page's template, its edit control (a text "refuse" is not applied) and title.
const unsigned short pageTemplate = 100, pageEdit = 1001, pageTitle = 101;

} // namespace sample
