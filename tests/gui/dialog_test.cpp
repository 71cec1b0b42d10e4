// Dialogs under the run's Xvfb, from the templates of dialog_resources.rc and
// from the same templates in memory: modal dialogs driven by posted messages and
// ended with each kind of result; a modeless dialog inside the library's
// message loop; the messages a dialog object receives against what a raw
// dialog procedure receives; the procedure's answers (TRUE with the message
// result, direct values, FALSE for default processing and for exceptions); the
// template's size without a window; failures with their messages.
#include <vesk/gui/dialog.h>

#include "dialog_resources.h"
#include "gui_driver.h"

using namespace vesk;
using namespace vesk_test;

namespace {

vesk_test::Watchdog watchdog(120);
const UINT scriptMessage = WM_APP + 1;

// The messages of the dialog's own story, not of painting or the keyboard's
// state, which the display may order differently from run to run.
bool worthComparing(UINT m) {
    return std::set<UINT>{WM_INITDIALOG, WM_COMMAND, scriptMessage, WM_DESTROY, WM_NCDESTROY, WM_SHOWWINDOW, WM_ACTIVATE, WM_CLOSE}.count(m);
}

// Records what it receives and, once started, sets its name and then presses a
// button (or ends with a value).
struct Scripted : Dialog {
    using Dialog::Dialog;
    std::vector<UINT> messages;
    std::string focusName, nameAtEnd;
    unsigned short pressed = IDOK;
    int endWith = -1000;  // pressed when unset

    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (worthComparing(message))
            messages.push_back(message);
        if (message != scriptMessage)
            return Dialog::onMessage(message, wParam, lParam);
        setText(IDC_NAME, "scripted");
        return (endWith == -1000 ? void(postMessageA(WM_COMMAND, MAKEWPARAM(pressed, BN_CLICKED), 0)) : end(endWith)), 0;
    }
    bool onInitDialog(Window& focus) override {
        focusName = focus ? "control " + std::to_string(focus.getID()) : "none";
        return postMessageA(scriptMessage, 0, 0), true;
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
    if (message == WM_INITDIALOG)
        PostMessageA(hwnd, scriptMessage, 0, 0);
    else if (message == scriptMessage)
        SetDlgItemTextA(hwnd, IDC_NAME, "scripted"), PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    else if (message == WM_COMMAND && LOWORD(wParam) == IDOK)
        EndDialog(hwnd, IDOK);
    else
        return FALSE;
    return TRUE;
}

// The resource's template, as a caller would hand it over from memory.
const DLGTEMPLATE* inMemory(unsigned short id) {
    return static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(instance(), FindResourceA(instance(), MAKEINTRESOURCEA(id), RT_DIALOG))));
}

TEST(DialogLifeCycle, ModalDialogsEndWithTheirResults) {
    // An error left behind by an earlier call must not turn 0 into a failure.
    const struct { const char* name; unsigned short pressed; int endWith, expected; DWORD staleError; } cases[] = {
        {"OK", IDOK, -1000, IDOK, 0}, {"Cancel", IDCANCEL, -1000, IDCANCEL, 0}, {"Close", IDCLOSE, -1000, IDCLOSE, 0},
        {"end(42)", 0, 42, 42, 0}, {"end(0) after an old error", 0, 0, 0, ERROR_FILE_NOT_FOUND},
        {"end(-1) after an old error", 0, -1, -1, ERROR_ACCESS_DENIED},
    };
    ASSERT_EQ(DialogBoxParamA(instance(), MAKEINTRESOURCEA(IDD_MODAL), nullptr, &rawProc, 0), IDOK);
    EXPECT_EQ(rawMessages.at(0), UINT(WM_INITDIALOG)) << "the object enters the dispatch there";
    Scripted fromResource(nullptr, IDD_MODAL, instance()), fromMemory(nullptr, inMemory(IDD_MODAL), instance());
    for (Scripted* dialog : {&fromResource, &fromMemory})
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            dialog->pressed = c.pressed, dialog->endWith = c.endWith;
            dialog->nameAtEnd.clear(), dialog->messages.clear();
            SetLastError(c.staleError);
            // The same object is shown again each round: it is empty between showings.
            EXPECT_TEXT((vesk_test::text{c.expected, 0, 0, 0, "control", IDC_NAME}), dialog->showModal(), dialog->isOpen(),
                        dialog->ownsHandle(), Window::getRegisteredCount(), dialog->focusName);
            EXPECT_EQ(dialog->nameAtEnd, c.endWith == -1000 ? "scripted" : "");
            EXPECT_TRUE(c.pressed != IDOK || dialog->messages == rawMessages) << "what a raw dialog procedure receives";
        }
}

// ---- The procedure's answers ------------------------------------------------------------

struct Answering : Dialog {
    using Dialog::Dialog;
    using Dialog::dlgProc;
    bool throwing = false, fallThrough = false;
    std::string focusName;
    bool onInitDialog(Window& focus) override { return focusName = focus ? "control" : (focus.getWindowHandle() ? "?" : "none"), false; }
    LRESULT onNotify(const NMHDR& h) override {
        if (throwing)
            throw std::runtime_error("handler failed");
        return fallThrough ? Dialog::onNotify(h) : LRESULT(h.code) * 7;
    }
    OwnerDrawable::compare_result onCompareItem(unsigned, const COMPAREITEMSTRUCT& i) override {
        return i.itemData1 < i.itemData2 ? OwnerDrawable::precedes : OwnerDrawable::follows;
    }
};

// The template's size without a window is the size the open dialog has; it
// and every failure leave no window behind. One object answers for one window.
TEST(DialogLifeCycle, ModelessTemplateSizeFailuresAndTheProceduresAnswers) {
    Dialog open, missing(nullptr, 999, instance()), fromResource(IDD_MODAL, instance()),
        fromMemory(nullptr, inMemory(IDD_MODAL), instance());
    open.create(nullptr, IDD_MODAL, instance());
    const HWND first = open;
    const SIZE expected = open.getWindowSize();
    const std::vector<HWND> before = vesk_test::threadDialogs(false);
    for (Dialog* closed : {&fromResource, &fromMemory}) {
        const SIZE size = closed->getWindowSize();
        EXPECT_TRUE(size.cx == expected.cx && size.cy == expected.cy && size.cx > 180 && !closed->isOpen())
            << size.cx << "x" << size.cy << ", dialog units laid out in pixels";
    }
    vesk_test::expectFailures({
        {"Can't create dialog", [&] { missing.create(); }},
        {"Can't create modal dialog", [&] { missing.showModal(); }},
        {"Can't create dummy dialog for getSize()", [&] { missing.getWindowSize(); }},
        {"Can't create dialog: the object already has a window", [&] { open.create(); }},
        {"Can't create modal dialog: the object already has a window", [&] { open.showModal(); }},
    });
    EXPECT_EQ(vesk_test::threadDialogs(false), before);
    EXPECT_TEXT("1 1", HWND(open) == first, Window::getRegisteredCount());
    open.destroy(), open.create(nullptr, inMemory(IDD_MODAL), instance());
    EXPECT_EQ(open.getWindowSize().cy, expected.cy);

    // A modeless dialog inside the library's message loop.
    struct Modeless : Scripted {
        using Scripted::Scripted;
        std::vector<std::string> calls;
        void onCommand(Window* control, unsigned short code, unsigned short id) override {
            id == IDOK ? calls.push_back("ok " + getTextA(IDC_NAME)), destroy() : Scripted::onCommand(control, code, id);
        }
        void onDestroy() override { calls.push_back("destroy"), PostQuitMessage(5); }
        void onNCDestroy() override { calls.push_back("ncdestroy"), Dialog::onNCDestroy(); }
    } dialog(nullptr, IDD_MODAL, instance());
    dialog.create(), dialog.show(SW_SHOWNORMAL);
    EXPECT_TRUE(dialog.ownsHandle());
    const HWND h = dialog;
    MSG msg;
    while (Window::getThreadMessage(msg))
        if (!IsDialogMessageA(h, &msg))
            Window::dispatchMessage(msg);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"ok scripted", "destroy", "ncdestroy"}));
    EXPECT_TEXT("5 0 0", msg.wParam, IsWindow(h), dialog.isOpen());
    auto owned = std::make_unique<Dialog>(nullptr, inMemory(IDD_MODAL), instance());
    const HWND second = (owned->create(), *owned);
    owned.reset();
    EXPECT_FALSE(IsWindow(second)) << "an open modeless dialog goes with its object";

    // The procedure's answers: TRUE with the message result, direct values, FALSE for default processing and exceptions.
    Answering answering(nullptr, IDD_NO_FOCUS, instance());
    answering.create();
    EXPECT_EQ(answering.focusName, "none") << "a dialog without a control to focus";
    NMHDR header{answering, 0, 11};
    const struct { const char* name; bool throwing, fallThrough; LRESULT sent; } cases[] = {
        {"handled: the message result", false, false, 77},
        {"default processing: the dialog manager's", false, true, 0},
        {"exception: FALSE, the dialog survives", true, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        answering.throwing = c.throwing, answering.fallThrough = c.fallThrough;
        SetWindowLongPtrA(answering, DWLP_MSGRESULT, 0);
        EXPECT_TEXT((vesk_test::text{c.sent, 1}), answering.sendMessageA(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header)), IsWindow(answering));
    }
    // Values the procedure gives directly, not through the message result.
    answering.fallThrough = false;
    EXPECT_EQ(answering.sendMessageA(WM_QUERYDRAGICON, 0, 0), DefWindowProcA(answering, WM_QUERYDRAGICON, 0, 0))
        << "no icon: the dialog manager answers";
    HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
    answering.setIcon(icon, true);
    COMPAREITEMSTRUCT less{ODT_LISTBOX, 0, nullptr, 0, 1, 0, 2, 0}, more{ODT_LISTBOX, 0, nullptr, 0, 3, 0, 2, 0};
    EXPECT_TEXT("1 -1 1", answering.sendMessageA(WM_QUERYDRAGICON, 0, 0) == LRESULT(icon), answering.sendMessageA(WM_COMPAREITEM, 0, LPARAM(&less)),
                answering.sendMessageA(WM_COMPAREITEM, 0, LPARAM(&more)));

    // A dialog made with the library's procedure but no object runs on the dialog manager alone.
    HWND orphan = CreateDialogParamA(instance(), MAKEINTRESOURCEA(IDD_MODAL), nullptr, &Answering::dlgProc, 0);
    ASSERT_NE(orphan, nullptr);
    EXPECT_TEXT("0 0", SendMessageA(orphan, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header)), bool(Window::getWindowFromHandle(orphan, false)));
    DestroyWindow(orphan);
}

} // namespace
