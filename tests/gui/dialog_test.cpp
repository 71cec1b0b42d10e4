// Dialogs under the run's Xvfb, from the templates the test build compiles
// (dialog_resources.rc) and from memory: modal dialogs driven by posted
// messages and ended with each kind of result; a modeless dialog inside the
// library's message loop; the sequence of messages a dialog object receives
// against what a raw dialog procedure receives under the same system; the
// procedure's answers (TRUE with the message result, direct values, FALSE for
// default processing and for exceptions); the template's size without a
// window; failures with their messages.
#include <vesk/gui/dialog.h>

#include "dialog_resources.h"
#include "gui_driver.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace vesk;

namespace {

vesk_test::Watchdog watchdog(120);
using vesk_test::instance;

const UINT scriptMessage = WM_APP + 1;

// The messages a dialog's procedure sees that belong to the dialog's own
// story rather than to painting or the keyboard's state, which the display
// may order differently from run to run.
bool worthComparing(UINT m) {
    return m == WM_INITDIALOG || m == WM_COMMAND || m == scriptMessage || m == WM_DESTROY || m == WM_NCDESTROY ||
           m == WM_SHOWWINDOW || m == WM_ACTIVATE || m == WM_CLOSE;
}

// A dialog that records what it receives and, once started, runs a script of
// posted messages: sets its name, then presses a button (or ends with a value).
class Scripted : public Dialog {
public:
    using Dialog::Dialog;
    std::vector<UINT> messages;
    std::string focusName, nameAtEnd;
    unsigned short pressed = IDOK;
    int endWith = -1000;  // pressed when unset
    std::function<void()> atInit;

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (worthComparing(message))
            messages.push_back(message);
        if (message == scriptMessage) {
            setText(IDC_NAME, "scripted");
            if (endWith != -1000)
                end(endWith);
            else
                postMessageA(WM_COMMAND, MAKEWPARAM(pressed, BN_CLICKED), 0);
            return 0;
        }
        return Dialog::onMessage(message, wParam, lParam);
    }
    bool onInitDialog(Window& focus) override {
        focusName = focus ? "control " + std::to_string(focus.getID()) : "none";
        if (atInit)
            atInit();
        postMessageA(scriptMessage, 0, 0);
        return true;
    }
    void onCommand(Window* control, unsigned short code, unsigned short id) override {
        if (code == BN_CLICKED && (id == IDOK || id == IDCANCEL || id == IDCLOSE))
            nameAtEnd = getTextA(IDC_NAME);
        Dialog::onCommand(control, code, id);
    }
};

// The same script run by a raw dialog procedure.
std::vector<UINT> rawMessages;
INT_PTR CALLBACK rawProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    if (worthComparing(message))
        rawMessages.push_back(message);
    switch (message) {
    case WM_INITDIALOG: PostMessageA(hwnd, scriptMessage, 0, 0); return TRUE;
    case scriptMessage:
        SetDlgItemTextA(hwnd, IDC_NAME, "scripted");
        PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(hwnd, IDOK);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

// A template in memory: a caption, one edit control and an OK button.
struct MemoryTemplate {
    std::vector<WORD> words;
    void align() {
        if (words.size() % 2)
            words.push_back(0);
    }
    void text(const wchar_t* s) {
        do
            words.push_back(WORD(*s));
        while (*s++);
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom, const wchar_t* title) {
        align();
        const DLGITEMTEMPLATE item{style | WS_CHILD | WS_VISIBLE, 0, x, y, cx, cy, id};
        const WORD* raw = reinterpret_cast<const WORD*>(&item);
        words.insert(words.end(), raw, raw + sizeof(item) / 2);
        words.push_back(0xFFFF);
        words.push_back(classAtom);
        text(title);
        words.push_back(0);
    }
    MemoryTemplate() {
        const DLGTEMPLATE head{WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 2, 0, 0, 160, 60};
        const WORD* raw = reinterpret_cast<const WORD*>(&head);
        words.assign(raw, raw + sizeof(head) / 2);
        words.push_back(0);  // no menu
        words.push_back(0);  // the dialog class
        text(L"From memory");
        item(WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, 7, 7, 100, 14, IDC_NAME, 0x0081, L"");
        item(WS_TABSTOP | BS_DEFPUSHBUTTON, 100, 40, 50, 14, IDOK, 0x0080, L"OK");
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words.data()); }
};

} // namespace

// ---- Life cycle and results ---------------------------------------------------------

TEST(DialogLifeCycle, ModalDialogsEndWithTheirResults) {
    struct Case {
        const char* name;
        unsigned short pressed;
        int endWith;
        int expected;
        DWORD staleError;  // left behind by an earlier call; must not turn 0 into a failure
    } cases[] = {
        {"OK", IDOK, -1000, IDOK, 0},
        {"Cancel", IDCANCEL, -1000, IDCANCEL, 0},
        {"Close", IDCLOSE, -1000, IDCLOSE, 0},
        {"end(42)", 0, 42, 42, 0},
        {"end(0) after an old error", 0, 0, 0, ERROR_FILE_NOT_FOUND},
        {"end(-1) after an old error", 0, -1, -1, ERROR_ACCESS_DENIED},
    };
    const std::size_t windowsBefore = Window::getRegisteredCount();
    Scripted dialog(nullptr, IDD_MODAL, instance());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialog.pressed = c.pressed;
        dialog.endWith = c.endWith;
        dialog.nameAtEnd.clear();
        SetLastError(c.staleError);
        EXPECT_EQ(dialog.showModal(), c.expected);
        // The same object is shown again each round: it is empty between showings.
        EXPECT_FALSE(dialog.isOpen());
        EXPECT_FALSE(dialog.ownsHandle());
        EXPECT_EQ(Window::getRegisteredCount(), windowsBefore);
        EXPECT_EQ(dialog.nameAtEnd, c.endWith == -1000 ? "scripted" : "");
        EXPECT_EQ(dialog.focusName, "control " + std::to_string(IDC_NAME));
    }
}

TEST(DialogLifeCycle, MessagesMatchARawDialogProcedure) {
    rawMessages.clear();
    ASSERT_EQ(DialogBoxParamA(instance(), MAKEINTRESOURCEA(IDD_MODAL), nullptr, &rawProc, 0), IDOK);
    Scripted dialog(nullptr, IDD_MODAL, instance());
    ASSERT_EQ(dialog.showModal(), IDOK);
    // WM_INITDIALOG is the object's first message: it enters the dispatch there.
    ASSERT_FALSE(rawMessages.empty());
    EXPECT_EQ(rawMessages.front(), UINT(WM_INITDIALOG));
    EXPECT_EQ(dialog.messages, rawMessages);
}

TEST(DialogLifeCycle, ModelessDialogInsideTheMessageLoop) {
    struct Modeless : Scripted {
        using Scripted::Scripted;
        std::vector<std::string> calls;

    protected:
        void onCommand(Window* control, unsigned short code, unsigned short id) override {
            if (id == IDOK) {
                calls.push_back("ok " + getTextA(IDC_NAME));
                destroy();
                return;
            }
            Scripted::onCommand(control, code, id);
        }
        void onDestroy() override {
            calls.push_back("destroy");
            PostQuitMessage(5);
        }
        void onNCDestroy() override {
            calls.push_back("ncdestroy");
            Dialog::onNCDestroy();
        }
    };
    Modeless dialog(nullptr, IDD_MODAL, instance());
    dialog.create();
    ASSERT_TRUE(dialog.isOpen());
    EXPECT_TRUE(dialog.ownsHandle());
    const HWND h = dialog;
    dialog.show(SW_SHOWNORMAL);
    MSG msg;
    while (Window::getThreadMessage(msg))
        if (!IsDialogMessageA(h, &msg))
            Window::dispatchMessage(msg);
    EXPECT_EQ(msg.wParam, WPARAM(5));
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"ok scripted", "destroy", "ncdestroy"}));
    EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(dialog.isOpen());

    // An open modeless dialog goes with its object.
    auto* owned = new Dialog(nullptr, IDD_MODAL, instance());
    owned->create();
    const HWND second = *owned;
    EXPECT_TRUE(IsWindow(second));
    delete owned;
    EXPECT_FALSE(IsWindow(second));
    EXPECT_EQ(Window::getWindowFromHandle(second, false).get(), nullptr);
}

// The template's size without a window is the size the open dialog has, and
// leaves no window behind; templates in memory work as resources do.
TEST(DialogLifeCycle, TemplatesFromMemoryAndTheirSize) {
    MemoryTemplate memory;
    Scripted modal(nullptr, memory.get(), instance());
    EXPECT_EQ(modal.showModal(), IDOK);
    EXPECT_EQ(modal.nameAtEnd, "scripted");
    EXPECT_EQ(modal.focusName, "control " + std::to_string(IDC_NAME));
    Dialog fromMemory(nullptr, memory.get(), instance()), fromResource(IDD_MODAL, instance());
    const std::pair<Dialog*, std::function<void(Dialog&)>> cases[] = {
        {&fromMemory, [&](Dialog& d) { d.create(nullptr, memory.get(), instance()); }},
        {&fromResource, [](Dialog& d) { d.create(nullptr, IDD_MODAL, instance()); }}};
    for (const auto& c : cases) {
        Dialog open;
        c.second(open);
        const SIZE expected = open.getWindowSize();
        open.destroy();
        const std::vector<HWND> before = vesk_test::threadDialogs(false);
        const SIZE size = c.first->getWindowSize();
        EXPECT_EQ(size.cx, expected.cx);
        EXPECT_EQ(size.cy, expected.cy);
        EXPECT_GT(size.cx, 180) << "dialog units are laid out in pixels";
        EXPECT_FALSE(c.first->isOpen());
        EXPECT_EQ(vesk_test::threadDialogs(false), before);
    }
}

TEST(DialogLifeCycle, FailuresNameWhatFailed) {
    Dialog missing(nullptr, 999, instance()), twice(nullptr, IDD_MODAL, instance());
    twice.create();
    const HWND first = twice;
    const std::size_t windowsBefore = vesk_test::threadDialogs(false).size();
    const std::pair<const char*, std::function<void()>> failures[] = {
        {"Can't create dialog", [&] { missing.create(); }},
        {"Can't create modal dialog", [&] { missing.showModal(); }},
        {"Can't create dummy dialog for getSize()", [&] { missing.getWindowSize(); }},
        // One object answers for one window.
        {"Can't create dialog: the object already has a window", [&] { twice.create(); }},
        {"Can't create modal dialog: the object already has a window", [&] { twice.showModal(); }},
    };
    for (const auto& f : failures)
        EXPECT_EQ(f.first, vesk_test::failureOf(f.second));
    EXPECT_EQ(HWND(twice), first);
    EXPECT_EQ(vesk_test::threadDialogs(false).size(), windowsBefore);
    EXPECT_EQ(Window::getRegisteredCount(), 1u);
}

// ---- The procedure's answers ------------------------------------------------------------

namespace {

class Answering : public Dialog {
public:
    using Dialog::Dialog;
    bool throwing = false;
    bool fallThrough = false;
    std::string focusName;

protected:
    bool onInitDialog(Window& focus) override {
        focusName = focus ? "control" : (focus.getWindowHandle() ? "?" : "none");
        return false;
    }
    LRESULT onNotify(const NMHDR& h) override {
        if (throwing)
            throw std::runtime_error("handler failed");
        if (fallThrough)
            return Dialog::onNotify(h);
        return LRESULT(h.code) * 7;
    }
    OwnerDrawable::compare_result onCompareItem(unsigned int, const COMPAREITEMSTRUCT& item) override {
        return item.itemData1 < item.itemData2 ? OwnerDrawable::precedes : OwnerDrawable::follows;
    }
};

} // namespace

TEST(DialogProcedure, AnswersOfHandledUnhandledAndFailingMessages) {
    Answering dialog(nullptr, IDD_NO_FOCUS, instance());
    dialog.create();
    EXPECT_EQ(dialog.focusName, "none") << "a dialog without a control to focus";
    NMHDR h{dialog, 0, 11};
    struct Case {
        const char* name;
        bool throwing, fallThrough;
        LRESULT sent;
    } cases[] = {
        {"handled: the message result", false, false, 77},
        {"default processing: the dialog manager's", false, true, 0},
        {"exception: FALSE, the dialog survives", true, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialog.throwing = c.throwing;
        dialog.fallThrough = c.fallThrough;
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
        EXPECT_EQ(dialog.sendMessageA(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&h)), c.sent);
        EXPECT_TRUE(dialog.isOpen());
    }

    // Values the dialog procedure gives directly, not through the message result.
    dialog.fallThrough = false;
    EXPECT_EQ(dialog.sendMessageA(WM_QUERYDRAGICON, 0, 0), DefWindowProcA(dialog, WM_QUERYDRAGICON, 0, 0))
        << "no icon: the dialog manager answers";
    HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
    dialog.setIcon(icon, true);
    EXPECT_EQ(dialog.sendMessageA(WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(icon));
    COMPAREITEMSTRUCT compare{};
    compare.CtlType = ODT_LISTBOX;
    compare.itemData1 = 1;
    compare.itemData2 = 2;
    EXPECT_EQ(dialog.sendMessageA(WM_COMPAREITEM, 0, reinterpret_cast<LPARAM>(&compare)), -1);
    compare.itemData1 = 3;
    EXPECT_EQ(dialog.sendMessageA(WM_COMPAREITEM, 0, reinterpret_cast<LPARAM>(&compare)), 1);

    // A dialog made with the library's procedure but no object runs on the
    // dialog manager alone.
    struct Exposed : Dialog {
        using Dialog::dlgProc;
    };
    HWND orphan = CreateDialogParamA(instance(), MAKEINTRESOURCEA(IDD_MODAL), nullptr, &Exposed::dlgProc, 0);
    ASSERT_NE(orphan, nullptr);
    EXPECT_EQ(SendMessageA(orphan, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&h)), 0);
    EXPECT_EQ(Window::getWindowFromHandle(orphan, false).get(), nullptr);
    DestroyWindow(orphan);
}
