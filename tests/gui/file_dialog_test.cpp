// The file dialog: set-up kept as given (paths cut to the buffer, filters with
// their inner NULs), and real open and save dialogs driven by a timer that
// finds the dialog, types a name and presses a button as a user would; a
// cancelled dialog is no error; a name too long for the buffer is a
// CommonDialogError with the dialog's code.
#include <vesk/gui/common_dialogs.h>

#include "gui_driver.h"

#include <cderr.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace vesk;

namespace {

vesk_test::Watchdog watchdog(150);

TEST(FileDialogSetUp, PathsAreCutToTheBuffer) {
    FileDialog dialog(static_cast<HWND>(nullptr), false, OFN_EXPLORER);
    const struct { std::size_t length, kept; } cases[] = {{0, 0}, {10, 10}, {511, 511}, {512, 511}, {600, 511}};
    for (const auto& c : cases) {
        std::string text(c.length, 'p');
        for (std::size_t i = 0; i < c.length; ++i)
            text[i] = char('a' + i % 26);
        dialog.setPath(text.c_str());
        EXPECT_EQ(text.substr(0, c.kept), dialog.getPathA()) << c.length;
    }
    dialog.setPath(L"C:\\wide\\name.txt");
    EXPECT_EQ(L"C:\\wide\\name.txt", dialog.getPathW());
    dialog.setMaxPath(4);
    dialog.setPath("abcdef");
    EXPECT_EQ("abc", dialog.getPathA());
    EXPECT_THROW(dialog.setMaxPath(1), std::invalid_argument);
    EXPECT_EQ(4u, dialog.getMaxPath());
}

TEST(FileDialogSetUp, FiltersAndTitlesAreKeptWhole) {
    const char filter[] = "Text files\0*.txt\0All files\0*.*\0";
    EXPECT_EQ(sizeof(filter), FileDialog::getFilterLength(filter)) << "both pairs and the final empty string";
    EXPECT_EQ(sizeof(filter), FileDialog::getFilterLength(L"Text files\0*.txt\0All files\0*.*\0"));
    EXPECT_EQ(0u, FileDialog::getFilterLength(static_cast<const char*>(nullptr)));
    FileDialog dialog(static_cast<HWND>(nullptr), true, 0);
    FileDialog copy(dialog);
    dialog.setFilter(L"Text files\0*.txt\0All files\0*.*\0");
    const OPENFILENAMEA& r = copy.getStructure();  // copies share one set-up
    ASSERT_NE(nullptr, r.lpstrFilter);
    EXPECT_EQ(0, std::memcmp(filter, r.lpstrFilter, sizeof(filter)));
    dialog.setTitle(L"Pick one");
    EXPECT_STREQ("Pick one", r.lpstrTitle);
    dialog.setTitle(static_cast<const char*>(nullptr));
    dialog.setFilter(static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(nullptr, r.lpstrTitle);
    EXPECT_EQ(nullptr, r.lpstrFilter);
    EXPECT_EQ(sizeof(OPENFILENAMEA), r.lStructSize);
    EXPECT_TRUE(copy.isSave());
}

std::string tempFolder() {
    char path[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, path);
    return path;
}

// Once the dialog is up: types the name (when one is given) into the name field
// of the explorer-style dialog or of the older one, and presses the button.
bool pressed = false;
bool run(FileDialog& dialog, const std::string& name, int button) {
    pressed = false;
    vesk_test::TimerScript script{vesk_test::visibleDialog, {[&](HWND h) {
                                      if (!name.empty() && !SetDlgItemTextA(h, cmb13, name.c_str()))
                                          SetDlgItemTextA(h, edt1, name.c_str());
                                      PostMessageA(h, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
                                      pressed = true;
                                  }}};
    return script.run([&] { return dialog.showModal(); });
}

} // namespace

TEST(FileDialogs, CancelledIsNoError) {
    for (bool save : {false, true}) {
        FileDialog dialog(static_cast<HWND>(nullptr), save, OFN_EXPLORER);
        dialog.setTitle("Cancel me");
        EXPECT_FALSE(run(dialog, "", IDCANCEL)) << save;
        EXPECT_TRUE(pressed) << "the dialog was really up";
    }
}

TEST(FileDialogs, ChosenNameIsReadBack) {
    const std::string folder = tempFolder();
    // An existing file for the open dialog, a new name for the save dialog.
    const std::string existing = folder + "vesk-open-me.dat";
    HANDLE file = CreateFileA(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    const struct { bool save; std::string path, name, extension; } cases[] = {
        {false, existing, "vesk-open-me.dat", "dat"},
        {true, folder + "vesk-saved.report.txt", "vesk-saved.report.txt", "txt"},
    };
    for (const auto& c : cases) {
        FileDialog dialog(static_cast<HWND>(nullptr), c.save, OFN_EXPLORER | (c.save ? 0 : OFN_FILEMUSTEXIST));
        dialog.setFilter("All files\0*.*\0");
        EXPECT_TRUE(run(dialog, c.path, IDOK)) << c.path;
        EXPECT_EQ(c.path, dialog.getPathA());
        EXPECT_EQ(c.name, dialog.getFilenameA());
        EXPECT_EQ(c.extension, dialog.getExtensionA());
        EXPECT_EQ(BasicString<wchar_t>(c.name.c_str()), dialog.getFilenameW());
    }
    DeleteFileA(existing.c_str());
}

TEST(FileDialogs, NameLongerThanTheBufferIsAnError) {
    FileDialog dialog(static_cast<HWND>(nullptr), true, OFN_EXPLORER);
    dialog.setMaxPath(16);
    const std::string name = tempFolder() + "a-name-longer-than-sixteen.txt";
    try {
        run(dialog, name, IDOK);
        ADD_FAILURE() << "no error for a name of " << name.size() << " characters in a buffer of 16";
    } catch (const CommonDialogError& e) {
        EXPECT_EQ(static_cast<unsigned long>(FNERR_BUFFERTOOSMALL), e.getError());
        EXPECT_EQ(0, std::strncmp("Error in file dialog", e.what(), 20)) << e.what();
    }
    EXPECT_TRUE(pressed);
}
