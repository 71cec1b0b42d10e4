// Dialogs: creation from a resource or an in-memory template, the dialog
// procedure that enters the window dispatch, and the defaults of a dialog's
// handlers.
#include <vesk/gui/dialog.h>

#include <vesk/errors/exception.h>
#include <vesk/gdi/device_context.h>

namespace vesk {

namespace {

// The messages whose dialog-procedure value is the answer itself; for every
// other message the answer goes to the dialog's message result and the
// procedure says TRUE.
bool answersDirectly(UINT message) {
    switch (message) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return true;
    default: return false;
    }
}

INT_PTR CALLBACK scratchProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

} // namespace

Dialog::Dialog() : templateId(0), instance(nullptr), parent(nullptr), dialogTemplate(nullptr) {}

Dialog::Dialog(HWND p, unsigned short id, HINSTANCE i)
    : templateId(id), instance(i), parent(p), dialogTemplate(nullptr) {}

Dialog::Dialog(unsigned short id, HINSTANCE i) : templateId(id), instance(i), parent(nullptr), dialogTemplate(nullptr) {}

Dialog::Dialog(HWND p, const DLGTEMPLATE* t, HINSTANCE i) : templateId(0), instance(i), parent(p), dialogTemplate(t) {}

Dialog::~Dialog() = default;

namespace {
// One object answers for one dialog: a second window would leave the first
// without its object and never destroyed.
void checkNoWindow(HWND handle, const char* what) {
    if (handle)
        throw WindowsError(ERROR_ALREADY_EXISTS, std::string("Can't ") + what + ": the object already has a window");
}
} // namespace

void Dialog::create(HWND p, unsigned short id, HINSTANCE i) {
    checkNoWindow(handle, "create dialog");
    HWND dialog = CreateDialogParamA(i, MAKEINTRESOURCEA(id), p, &Dialog::dlgProc, reinterpret_cast<LPARAM>(this));
    if (!dialog)
        throw WindowsError("Can't create dialog");
    setWindowHandle(dialog, true);
}

void Dialog::create(HWND p, const DLGTEMPLATE* t, HINSTANCE i) {
    checkNoWindow(handle, "create dialog");
    if (!t)
        throw WindowsError(ERROR_INVALID_PARAMETER, "Can't create dialog: no template");
    HWND dialog = CreateDialogIndirectParamA(i, t, p, &Dialog::dlgProc, reinterpret_cast<LPARAM>(this));
    if (!dialog)
        throw WindowsError("Can't create dialog");
    setWindowHandle(dialog, true);
}

void Dialog::create(HWND p) {
    if (dialogTemplate)
        create(p, dialogTemplate, instance);
    else
        create(p, templateId, instance);
}

void Dialog::create() { create(parent); }

int Dialog::showModal() const {
    checkNoWindow(handle, "create modal dialog");
    const LPARAM self = reinterpret_cast<LPARAM>(const_cast<Dialog*>(this));
    // A dialog ended with 0 would otherwise be taken for a failure whenever an
    // earlier call had left an error behind.
    SetLastError(0);
    const INT_PTR result = dialogTemplate
                               ? DialogBoxIndirectParamA(instance, dialogTemplate, parent, &Dialog::dlgProc, self)
                               : DialogBoxParamA(instance, templateName(), parent, &Dialog::dlgProc, self);
    if ((result == 0 || result == -1) && GetLastError() != 0)
        throw WindowsError("Can't create modal dialog");
    return int(result);
}

void Dialog::end(int result) const {
    if (!EndDialog(handle, result))
        throw WindowsError("Can't end modal dialog");
}

SIZE Dialog::getWindowSize() {
    if (handle) {
        const Size size = Window::getWindowSize();
        return SIZE{size.cx, size.cy};
    }
    HWND scratch = dialogTemplate ? CreateDialogIndirectParamA(instance, dialogTemplate, GetDesktopWindow(),
                                                               &scratchProc, 0)
                                  : CreateDialogParamA(instance, templateName(), GetDesktopWindow(), &scratchProc, 0);
    if (!scratch)
        throw WindowsError("Can't create dummy dialog for getSize()");
    RECT rect{};
    if (!GetWindowRect(scratch, &rect)) {
        const DWORD error = GetLastError();
        DestroyWindow(scratch);
        throw WindowsError(error, "Can't get window rect for dummy dialog in getSize()");
    }
    DestroyWindow(scratch);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// ---- The dialog procedure ------------------------------------------------------

INT_PTR CALLBACK Dialog::dlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_INITDIALOG) {
            Dialog* dialog = reinterpret_cast<Dialog*>(lParam);
            return dialog ? initialize(*dialog, hwnd, wParam) : FALSE;
        }
        Pointer<Dialog> dialog = getWindowFromHandle(hwnd, false);
        if (!dialog)
            return FALSE;
        return answer(*dialog, hwnd, message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

INT_PTR Dialog::initialize(Dialog& dialog, HWND hwnd, WPARAM focus) {
    dialog.setWindowHandle(hwnd, false);
    return answer(dialog, hwnd, WM_INITDIALOG, focus, 0);
}

INT_PTR Dialog::answer(Dialog& dialog, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const message_result r = dialog.processMessage(message, wParam, lParam);
    if (!r.handled)
        return FALSE;
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, r.result);
    return answersDirectly(message) ? INT_PTR(r.result) : TRUE;
}

LRESULT Dialog::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG)
        return Window::onMessage(message, wParam, lParam);
    // A dialog without a control that can take the focus gets none: its
    // handler still receives a (empty) window.
    Pointer<Window> focus = getWindowFromHandle(reinterpret_cast<HWND>(wParam), true);
    Window none;
    return onInitDialog(focus ? *focus : none) ? TRUE : FALSE;
}

// ---- Defaults ---------------------------------------------------------------------

void Dialog::defaultWindowProc() { markLastMessageUnhandled(); }

bool Dialog::onInitDialog(Window&) { return true; }

void Dialog::onCommand(Window* control, unsigned short code, unsigned short id) {
    if (code == 0 && (id == IDOK || id == IDCANCEL || id == IDCLOSE))
        end(id);
    else
        Window::onCommand(control, code, id);
}

void Dialog::onPaint() {
    if (!isIconic()) {
        defaultWindowProc();
        return;
    }
    HICON icon = getIcon(big_icon);
    if (!icon)
        icon = getIcon(small_icon);
    // Without an icon the dialog manager paints the minimised dialog.
    if (!icon) {
        defaultWindowProc();
        return;
    }
    PaintDeviceContext dc(handle);
    sendMessageA(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.getHandle()), 0);
    const Rect client = getClientRectangle();
    const int x = int(client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = int(client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.drawIcon(x, y, icon);
    dc.close();
}

HICON Dialog::onQueryDragIcon() {
    if (HICON icon = getIcon(big_icon))
        return icon;
    if (HICON icon = getIcon(small_icon))
        return icon;
    defaultWindowProc();
    return nullptr;
}

} // namespace vesk
