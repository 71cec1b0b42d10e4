// The sample in-process server of the COM tests: its identifiers and its one
// interface, shared by the server DLL, the client program and the suite.
// Each width has its own class identifiers (the last byte: 0x32 or 0x64), so
// that the i686 and x86_64 runs in one Wine prefix never meet.
#pragma once

#include <windows.h>
#include <objbase.h>

#ifdef _WIN64
#define VESK_SAMPLE_WIDTH 0x64
#define VESK_SAMPLE_SUFFIX "64"
#else
#define VESK_SAMPLE_WIDTH 0x32
#define VESK_SAMPLE_SUFFIX "32"
#endif

namespace sample {

// {D1E2F3A4-0B1C-4D2E-8F30-4152637485xx}: the aggregatable filter class
const GUID CLSID_Accumulator = {0xD1E2F3A4, 0x0B1C, 0x4D2E, {0x8F, 0x30, 0x41, 0x52, 0x63, 0x74, 0x85, VESK_SAMPLE_WIDTH}};
// {D1E2F3A5-...}: the shell extension (a context-menu handler), not aggregatable
const GUID CLSID_Greeter = {0xD1E2F3A5, 0x0B1C, 0x4D2E, {0x8F, 0x30, 0x41, 0x52, 0x63, 0x74, 0x85, VESK_SAMPLE_WIDTH}};
// {D1E2F3A6-...}: an icon handler that is only registered (no creator)
const GUID CLSID_IconOnly = {0xD1E2F3A6, 0x0B1C, 0x4D2E, {0x8F, 0x30, 0x41, 0x52, 0x63, 0x74, 0x85, VESK_SAMPLE_WIDTH}};
// {D1E2F3A7-...}: the file type of the shell extension
const GUID TYPE_SampleFile = {0xD1E2F3A7, 0x0B1C, 0x4D2E, {0x8F, 0x30, 0x41, 0x52, 0x63, 0x74, 0x85, VESK_SAMPLE_WIDTH}};
// {D1E2F3A8-0B1C-4D2E-8F30-415263748500}: ISampleValue (the same in both widths)
const GUID IID_ISampleValue = {0xD1E2F3A8, 0x0B1C, 0x4D2E, {0x8F, 0x30, 0x41, 0x52, 0x63, 0x74, 0x85, 0x00}};

const char extension[] = ".vesksample" VESK_SAMPLE_SUFFIX;
const char typeName[] = "Vesk sample file " VESK_SAMPLE_SUFFIX;
// The type key the file type's identifier names.
const char typeKeyName[] = "{D1E2F3A7-0B1C-4D2E-8F30-4152637485" VESK_SAMPLE_SUFFIX "}";
const wchar_t accumulatorName[] = L"Vesk Sample Accumulator";
const wchar_t greeterName[] = L"Vesk Sample Greeter";
const wchar_t iconOnlyName[] = L"Vesk Sample Icon";

} // namespace sample

struct ISampleValue : IUnknown {
    // Adds amount to the object's total and returns the new total.
    virtual HRESULT STDMETHODCALLTYPE add(long amount, long* total) = 0;
};
