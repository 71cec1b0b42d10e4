// The folder browser: the real shell browser, opened and dismissed from its
// own initialisation callback, cancelled (no error, no selection) and confirmed
// on a scratch folder given as a narrow or wide path, as a list kept from
// before it opened, with a desktop root; a throwing handler stays inside; bad
// input is refused and keeps what was there.
#include <vesk/gui/folder_dialog.h>
#include <vesk/text/string_helper.h>

#include "gui_driver.h"

#include <test_support.h>

using namespace vesk;
using namespace vesk_test;

namespace {

vesk_test::Watchdog watchdog(150);

std::string lowered(std::string s) { return s.empty() ? s : CharLowerA(&s[0]); }

// The lower-case path of a list, "<none>" for none.
std::string pathOf(const ITEMIDLIST* list) {
    char path[MAX_PATH] = {};
    return list && SHGetPathFromIDListA(list, path) ? lowered(path) : "<none>";
}

enum class How { cancel, narrowPath, widePath, storedList, throwing };

// Wine sometimes drops the first move of a browser that has just opened (its
// tree is still being filled); the move is sent again on a timer until the
// browser reports the folder, and OK is pressed only then (or after 2 s).
struct Browser : FolderDialog {
    Browser(How how, const std::string& target)
        : FolderDialog(static_cast<HWND>(nullptr), L"Pick the scratch folder", BIF_RETURNONLYFSDIRS), how(how),
          target(target) {}
    How how;
    std::string target;
    int initialized = 0, tries = 0, reached = 0;
    HWND seen = nullptr;
    static Browser* running;

    void select() {
        ++tries;
        if (how == How::narrowPath || how == How::widePath)
            return how == How::narrowPath ? setSelection(target.c_str()) : setSelection(a2w(target.c_str(), CP_ACP).c_str());
        FolderDialog::onInitialized();
    }
    static void CALLBACK retry(HWND hwnd, UINT, UINT_PTR id, DWORD) {
        if (!running->reached && running->tries < 40)
            return running->select();
        KillTimer(hwnd, id), running->postMessageA(WM_COMMAND, IDOK, 0);
    }
    void onInitialized() override {
        ++initialized, seen = getWindowHandle();
        if (how == How::cancel || how == How::throwing) {
            postMessageA(WM_COMMAND, IDCANCEL, 0);
            return how == How::throwing ? throw std::runtime_error("handler fault") : void();
        }
        setStatusText(L"chosen by the test"), enableOk(true), select();
        running = this, SetTimer(seen, 1, 50, &Browser::retry);
    }
    void onSelectionChanged(const ItemIDList& list) override {
        EXPECT_FALSE(list.isOwner()) << "the browser's own list is only viewed";
        reached |= pathOf(list) == lowered(target);
    }
};
Browser* Browser::running = nullptr;

TEST(FolderDialog, RealBrowserIsCancelledOrConfirmedBadInputRefused) {
    const vesk_test::ScratchDir scratch;
    // A folder beyond Latin-1 where the code page is UTF-8 (the suite's second build), one of 1252 elsewhere.
    const std::string folder = scratch.path() + (GetACP() == CP_UTF8 ? "\\\u0395\u03BB\u03BB\u03AC\u03B4\u03B1 \u041C\u0438\u0440 \u4E2D\u6587 \U0001F600" : "\\caf\xE9 \x80"),
                      lower = lowered(folder);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const struct { How how; bool chosen; } cases[] = {
        {How::cancel, false}, {How::narrowPath, true}, {How::widePath, true}, {How::storedList, true}, {How::throwing, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.how));
        Browser browser(c.how, folder);
        browser.setRoot(CSIDL_DESKTOP);
        ASSERT_NE(nullptr, browser.getRoot().get());
        if (c.how == How::storedList)
            browser.setSelection(folder.c_str());
        // The object answers for the browser while it runs, and only then.
        EXPECT_TEXT((text{c.chosen, 1, 1, 0, c.chosen ? lower : "<none>"}), browser.showModal(), browser.initialized, browser.seen != nullptr,
                    browser.getWindowHandle() != nullptr, pathOf(browser.getSelection()));
        if (!c.chosen)
            continue;
        EXPECT_TEXT("1 1", browser.getSelection().isOwner(), browser.reached) << "after " << browser.tries << " tries";
        // Windows writes the folder's own name; Wine writes its whole path.
        const std::string name = lowered(browser.getDisplayName());
        EXPECT_TRUE(name == lower.substr(lower.find_last_of('\\') + 1) || name == lower) << name;
    }

    // Bad input is refused and keeps what was there.
    FolderDialog browser(static_cast<HWND>(nullptr), "title", 0);
    browser.setRoot(CSIDL_DESKTOP);
    const ITEMIDLIST* root = browser.getRoot().get();
    EXPECT_THROW(browser.setRoot(0x7FFF), std::exception);
    EXPECT_EQ(root, browser.getRoot().get());
    browser.setSelection(folder.c_str());
    EXPECT_THROW(browser.setSelection("Z:\\no\\such\\folder\\here"), std::exception);
    EXPECT_THROW(browser.setSelection(static_cast<const wchar_t*>(nullptr)), std::exception);
    ItemIDList copy(browser.getSelection());
    EXPECT_EQ(lower, pathOf(copy));
    browser.setSelection(static_cast<const ITEMIDLIST*>(nullptr));
    // A given list is copied, not adopted.
    EXPECT_TEXT("1 0 " + lower, browser.getSelection().get() == nullptr, (browser.setSelection(copy.get()), browser.getSelection().get() == copy.get()),
                pathOf(browser.getSelection()));
}

} // namespace
