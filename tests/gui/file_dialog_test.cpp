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

// Once the dialog is up: types the name (when one is given) into the name field
// of the explorer-style dialog or of the older one, and presses the button.
bool run(FileDialog& dialog, const std::string& name, int button, bool& pressed) {
    vesk_test::TimerScript script{vesk_test::visibleDialog, {[&](HWND h) {
                                      if (!name.empty() && !SetDlgItemTextA(h, cmb13, name.c_str()))
                                          SetDlgItemTextA(h, edt1, name.c_str());
                                      PostMessageA(h, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
                                      pressed = true;
                                  }}};
    return script.run([&] { return dialog.showModal(); });
}

} // namespace

// Real open and save dialogs: cancelled is no error; the chosen name is read
// back; a name longer than the buffer is the dialog's own error.
TEST(FileDialogs, CancelledChosenAndTooLong) {
    char temp[MAX_PATH] = {};
    const std::string folder(temp, GetTempPathA(MAX_PATH, temp)), existing = folder + "vesk-open-me.dat";
    CloseHandle(CreateFileA(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const struct {
        bool save;
        unsigned maxPath;
        int button;
        std::string path, result;  // the name, extension, or the error code
    } cases[] = {
        {false, 512, IDCANCEL, "", ""},
        {true, 512, IDCANCEL, "", ""},
        {false, 512, IDOK, existing, "vesk-open-me.dat dat"},
        {true, 512, IDOK, folder + "vesk-saved.report.txt", "vesk-saved.report.txt txt"},
        {true, 16, IDOK, folder + "a-name-longer-than-sixteen.txt", "error 12291"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        FileDialog dialog(static_cast<HWND>(nullptr), c.save, OFN_EXPLORER | (c.save ? 0 : OFN_FILEMUSTEXIST));
        dialog.setFilter("All files\0*.*\0");
        dialog.setMaxPath(c.maxPath);
        bool pressed = false;
        std::string result;
        try {
            if (run(dialog, c.path, c.button, pressed)) {
                EXPECT_EQ(c.path, dialog.getPathA());
                EXPECT_EQ(BasicString<wchar_t>(dialog.getFilenameA().c_str()), dialog.getFilenameW());
                result = dialog.getFilenameA() + " " + dialog.getExtensionA();
            }
        } catch (const CommonDialogError& e) {
            EXPECT_EQ(0, std::strncmp("Error in file dialog", e.what(), 20)) << e.what();
            result = "error " + std::to_string(e.getError());
        }
        EXPECT_EQ(c.result, result);
        EXPECT_TRUE(pressed) << "the dialog was really up";
    }
    DeleteFileA(existing.c_str());
}
