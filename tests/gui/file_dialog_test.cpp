// The file dialog: set-up kept as given (paths cut to the buffer, filters with
// their inner NULs), and real open and save dialogs driven by a timer that
// finds the dialog, types a name and presses a button as a user would; a
// cancelled dialog is no error; a name too long for the buffer is a
// CommonDialogError with the dialog's code.
#include <vesk/gui/common_dialogs.h>
#include <vesk/text/string_helper.h>

#include "gui_driver.h"

#include <dlgs.h>

using namespace vesk;
using namespace vesk_test;

namespace {

vesk_test::Watchdog watchdog(150);

// Real open and save dialogs, driven once they are up: the name (when one is
// given) typed into the name field of the explorer-style dialog or of the older
// one, then OK (Cancel without a name). Cancelled is no error; the chosen name is
// read back; a name longer than the buffer is the dialog's own error.
TEST(FileDialogs, SetUpKeptCancelledChosenAndTooLong) {
    char temp[MAX_PATH] = {};
    const std::string folder(temp, GetTempPathA(MAX_PATH, temp)), existing = folder + "vesk-open-me.dat";
    CloseHandle(CreateFileA(existing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    // Bytes of the buffer a character may take: a dialog's buffer holds maxPath characters of the code page.
    const unsigned room = GetACP() == CP_UTF8 ? 4 : 1;
    // A name beyond Latin-1 where the code page is UTF-8 (the suite's second build), one of 1252 elsewhere.
    const std::string named = GetACP() == CP_UTF8 ? "\u0395\u03BB\u03BB\u03AC\u03B4\u03B1 \u041C\u0438\u0440 \u4E2D\u6587 \U0001F600 e\u0301 \u20AC.txt" : "caf\xE9 \x80.txt";
    const struct { bool save; unsigned maxPath; std::string path, result; } cases[] = {
        {false, 512, "", ""}, {true, 512, "", ""}, {false, 512, existing, "vesk-open-me.dat dat"},
        {true, 512, folder + "vesk-saved.report.txt", "vesk-saved.report.txt txt"},
        {true, 16 / room, folder + "a-name-longer-than-sixteen.txt", "error 12291"}, {true, 512, folder + named, named + " txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        FileDialog dialog(static_cast<HWND>(nullptr), c.save, OFN_EXPLORER | (c.save ? 0 : OFN_FILEMUSTEXIST));
        dialog.setFilter("All files\0*.*\0"), dialog.setMaxPath(c.maxPath);
        bool pressed = false;
        vesk_test::TimerScript script{vesk_test::visibleDialog, {[&](HWND h) {
                                          if (!c.path.empty() && !SetDlgItemTextA(h, cmb13, c.path.c_str()))
                                              SetDlgItemTextA(h, edt1, c.path.c_str());
                                          PostMessageA(h, WM_COMMAND, c.path.empty() ? IDCANCEL : IDOK, 0), pressed = true;
                                      }}};
        std::string result;  // the name and extension, or the dialog's error code
        try {
            if (script.run([&] { return dialog.showModal(); })) {
                EXPECT_EQ(c.path, dialog.getPathA());
                EXPECT_EQ(a2w(dialog.getFilenameA().c_str(), CP_ACP), dialog.getFilenameW());
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

    // Set-up kept as given: paths cut to the buffer, filters whole.
    FileDialog dialog(static_cast<HWND>(nullptr), false, OFN_EXPLORER);
    std::string text(600 * room, 'p');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = char('a' + i % 26);
    for (std::size_t length : {0u, 10u, 512 * room - 1, 512 * room, 600 * room}) {
        dialog.setPath(text.substr(0, length).c_str());
        EXPECT_EQ(text.substr(0, std::min<std::size_t>(length, 512 * room - 1)), dialog.getPathA()) << length;
    }
    dialog.setPath(L"C:\\wide\\name.txt");
    EXPECT_EQ(L"C:\\wide\\name.txt", dialog.getPathW());
    dialog.setMaxPath(4), dialog.setPath("abcdef");
    EXPECT_THROW(dialog.setMaxPath(1), std::invalid_argument);
    EXPECT_TEXT(std::string("abcdef").substr(0, 4 * room - 1) + " 4", dialog.getPathA(), dialog.getMaxPath());

    // Filters and titles are kept whole.
    const char filter[] = "Text files\0*.txt\0All files\0*.*\0";
    // Both pairs and the final empty string.
    EXPECT_TEXT((vesk_test::text{sizeof(filter), sizeof(filter), 0}), FileDialog::getFilterLength(filter),
                FileDialog::getFilterLength(L"Text files\0*.txt\0All files\0*.*\0"), FileDialog::getFilterLength(static_cast<const char*>(nullptr)));
    FileDialog save(static_cast<HWND>(nullptr), true, 0), copy(save);
    save.setFilter(L"Text files\0*.txt\0All files\0*.*\0");
    const OPENFILENAMEA& r = copy.getStructure();  // copies share one set-up
    save.setTitle(L"Pick one");
    ASSERT_NE(nullptr, r.lpstrFilter);
    EXPECT_TEXT("0 Pick one", std::memcmp(filter, r.lpstrFilter, sizeof(filter)), r.lpstrTitle);
    save.setTitle(static_cast<const char*>(nullptr)), save.setFilter(static_cast<const wchar_t*>(nullptr));
    EXPECT_TRUE(!r.lpstrTitle && !r.lpstrFilter && r.lStructSize == sizeof(OPENFILENAMEA) && copy.isSave());
}

} // namespace
