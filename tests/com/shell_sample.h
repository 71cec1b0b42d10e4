// The shell sample server (shell_sample_server.cpp): a shell extension with a
// context menu, an info tip, file persistence and a property page, and that
// page. Shared by the server and the suite that calls it as the shell would.
#pragma once

#include <windows.h>

namespace shell_sample {

// {5B1C7E42-9A3D-4F26-8E1B-2C47D9A06F13}
const GUID CLSID_Extension = {0x5b1c7e42, 0x9a3d, 0x4f26, {0x8e, 0x1b, 0x2c, 0x47, 0xd9, 0xa0, 0x6f, 0x13}};
// {5B1C7E43-9A3D-4F26-8E1B-2C47D9A06F13}
const GUID CLSID_Page = {0x5b1c7e43, 0x9a3d, 0x4f26, {0x8e, 0x1b, 0x2c, 0x47, 0xd9, 0xa0, 0x6f, 0x13}};

// The menu the extension adds, in order, with the help text of each command.
const char* const commands[] = {"Count files", "Name the window", "Refuse"};
const char* const helpTexts[] = {"Counts the selected files", "Names the window after the files",
                                 "Always fails"};
// Command 0 writes this file beside the first selected file.
const char* const countFile = "count.txt";
const wchar_t* const defaultFile = L"*.vsample";

// The page's template, its edit control, its title; apply writes the edit's
// text to this key and value (HKEY_CURRENT_USER). A text "refuse" is not applied.
const unsigned short pageTemplate = 100;
const unsigned short pageEdit = 1001;
const unsigned short pageTitle = 101;
const char* const pageTitleText = "Sample page";
const char* const appliedKey = "Software\\Vesk++ Tests\\Shell sample";
const char* const appliedValue = "Name";

} // namespace shell_sample
