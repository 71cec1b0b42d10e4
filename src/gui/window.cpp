// The window core: which object answers for which window, the one window
// procedure, the decoding of messages into handler calls and the defaults of
// the handlers.
#include <vesk/gui/window.h>

#include <vesk/errors/exception.h>
#include <vesk/gui/window_class.h>

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <unordered_map>

namespace vesk {

// ---- The map of windows to objects --------------------------------------------
//
// A hash map, so that finding the object of a window costs the same with one
// window or ten thousand. Windows belong to their threads, but two threads may
// each run windows of the library: a slim reader/writer lock keeps the map whole.
// Procedures of subclassed windows whose object went away while another
// subclass sat on top of the library's procedure wait here too, so that their
// messages still reach the procedure the object replaced.

namespace {

class WindowMap {
public:
    Window* find(HWND h) {
        AcquireSRWLockShared(&lock);
        auto found = objects.find(h);
        Window* object = found != objects.end() ? found->second : nullptr;
        ReleaseSRWLockShared(&lock);
        return object;
    }
    void set(HWND h, Window* object) {
        AcquireSRWLockExclusive(&lock);
        try {
            objects[h] = object;
        } catch (...) {
            ReleaseSRWLockExclusive(&lock);
            throw;
        }
        ReleaseSRWLockExclusive(&lock);
    }
    // Removes the entry of h only if it still names this object.
    void remove(HWND h, const Window* object) noexcept {
        AcquireSRWLockExclusive(&lock);
        auto found = objects.find(h);
        if (found != objects.end() && found->second == object)
            objects.erase(found);
        ReleaseSRWLockExclusive(&lock);
    }
    std::size_t size() {
        AcquireSRWLockShared(&lock);
        const std::size_t n = objects.size();
        ReleaseSRWLockShared(&lock);
        return n;
    }
    void setOrphan(HWND h, WNDPROC procedure) noexcept {
        AcquireSRWLockExclusive(&lock);
        try {
            orphans[h] = procedure;
        } catch (...) {
        }
        ReleaseSRWLockExclusive(&lock);
    }
    WNDPROC findOrphan(HWND h, bool remove) {
        AcquireSRWLockExclusive(&lock);
        WNDPROC procedure = nullptr;
        auto found = orphans.find(h);
        if (found != orphans.end()) {
            procedure = found->second;
            if (remove)
                orphans.erase(found);
        }
        ReleaseSRWLockExclusive(&lock);
        return procedure;
    }

private:
    SRWLOCK lock = SRWLOCK_INIT;
    std::unordered_map<HWND, Window*> objects;
    std::unordered_map<HWND, WNDPROC> orphans;
};

WindowMap& windowMap() {
    static WindowMap map;
    return map;
}

// The messages whose procedure result TRUE says "done" when the handler did not
// ask for default processing.
bool answersTrueWhenHandled(UINT message) {
    return message == WM_DRAWITEM || message == WM_MEASUREITEM || message == WM_DELETEITEM ||
           message == WM_SIZING || message == WM_MOVING;
}

} // namespace

// Tells a frame that works on an object whether the object was destroyed
// under it (by a handler that deleted it).
class LifeWatch {
public:
    explicit LifeWatch(Window& w) : window(w), gone(false) { window.lifeWatchers.push_back(&gone); }
    ~LifeWatch() {
        if (!gone) {
            auto& watchers = window.lifeWatchers;
            watchers.erase(std::find(watchers.begin(), watchers.end(), &gone));
        }
    }
    LifeWatch(const LifeWatch&) = delete;
    LifeWatch& operator=(const LifeWatch&) = delete;
    bool objectGone() const { return gone; }

private:
    Window& window;
    bool gone;
};

std::size_t Window::getRegisteredCount() { return windowMap().size(); }

// ---- Construction and destruction ---------------------------------------------

Window::Window(HWND h) : handle(h), ownsWindow(false), previousProcedure(nullptr) { messageStack.reserve(4); }

Window::~Window() {
    if (ownsWindow && handle) {
        try {
            destroy();
        } catch (...) {
        }
    }
    detach();
    for (message_record* record : messageStack)
        record->objectGone = true;
    for (bool* gone : lifeWatchers)
        *gone = true;
}

void Window::detach() noexcept {
    if (handle) {
        if (previousProcedure) {
            // Only put the old procedure back if nobody subclassed the window after
            // us; otherwise our procedure stays in the chain and forwards for us.
            if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(handle, GWLP_WNDPROC)) == &Window::windowProc)
                SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProcedure));
            else if (IsWindow(handle))
                windowMap().setOrphan(handle, previousProcedure);
        }
        windowMap().remove(handle, this);
    }
    previousProcedure = nullptr;
    handle = nullptr;
    ownsWindow = false;
}

// ---- Association -----------------------------------------------------------------

void Window::setWindowHandle(HWND h, bool owns) {
    if (handle && handle != h)
        detach();
    if (h)
        windowMap().set(h, this);
    handle = h;
    ownsWindow = owns;
}

void Window::create(const char* className, const char* title, unsigned long style, const RECT& rect, HWND parent,
                    HMENU menu, HINSTANCE instance) {
    HWND h = CreateWindowExA(0, className, title, style, int(rect.left), int(rect.top), int(rect.right - rect.left),
                             int(rect.bottom - rect.top), parent, menu, instance, this);
    if (!h)
        throw WindowsError("Can't create window");
    try {
        setWindowHandle(h, true);
    } catch (...) {
        DestroyWindow(h);
        throw;
    }
}

void Window::create(const wchar_t* className, const wchar_t* title, unsigned long style, const RECT& rect,
                    HWND parent, HMENU menu, HINSTANCE instance) {
    const std::string narrowTitle = title ? StringHelper<char>::convert(title, 0xFFFFFFFFu, CP_ACP) : std::string();
    const bool isAtom = reinterpret_cast<ULONG_PTR>(className) <= 0xFFFF;
    const std::string narrowClass =
        isAtom ? std::string() : StringHelper<char>::convert(className, 0xFFFFFFFFu, CP_ACP);
    create(isAtom ? reinterpret_cast<const char*>(className) : narrowClass.c_str(),
           title ? narrowTitle.c_str() : nullptr, style, rect, parent, menu, instance);
}

void Window::create(const WindowClass& windowClass, const char* title, unsigned long style, const RECT& rect,
                    HWND parent, HMENU menu, HINSTANCE instance) {
    if (!windowClass)
        throw WindowsError(ERROR_CANNOT_FIND_WND_CLASS, "Can't create window: the window class holds no class");
    create(MAKEINTATOM(windowClass.getAtom()), title, style, rect, parent, menu, instance);
}

void Window::create(const WindowClass& windowClass, const wchar_t* title, unsigned long style, const RECT& rect,
                    HWND parent, HMENU menu, HINSTANCE instance) {
    const std::string narrowTitle = title ? StringHelper<char>::convert(title, 0xFFFFFFFFu, CP_ACP) : std::string();
    create(windowClass, title ? narrowTitle.c_str() : nullptr, style, rect, parent, menu, instance);
}

void Window::subclass(HWND h) {
    // A window that already runs the library's procedure (on top, or below a
    // foreign subclass after its object went) would forward default processing
    // to itself, without end.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(h, GWLP_WNDPROC)) == &Window::windowProc ||
        windowMap().findOrphan(h, false))
        throw WindowsError(ERROR_INVALID_PARAMETER, "Can't subclass a window that already runs the library's "
                                                    "window procedure");
    setWindowHandle(h, false);
    SetLastError(0);
    const LONG_PTR previous = SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::windowProc));
    if (!previous && GetLastError()) {
        const WindowsError error("Can't subclass window");
        setWindowHandle(nullptr, false);
        throw error;
    }
    previousProcedure = reinterpret_cast<WNDPROC>(previous);
}

void Window::subclass(HWND parent, unsigned short id) {
    HWND item = GetDlgItem(parent, id);
    if (!item)
        throw WindowsError("Can't retrieve dialogue item for subclassing");
    subclass(item);
}

void Window::unsubclass() { detach(); }

void Window::attach(HWND parent, unsigned short id) {
    HWND item = GetDlgItem(parent, id);
    if (!item)
        throw WindowsError("Can't get dialog item " + std::to_string(id) + " for attaching");
    setWindowHandle(item, false);
}

void Window::destroy() {
    LifeWatch watch(*this);
    if (!DestroyWindow(handle))
        throw WindowsError("Can't destroy window");
    // A handler may have deleted this object while the window went.
    if (watch.objectGone())
        return;
    detach();
}

// ---- Lookup ------------------------------------------------------------------------

Window::Pointer<Window> Window::getWindowFromHandle(HWND h, bool create) {
    if (!h)
        return Pointer<Window>();
    if (Window* object = windowMap().find(h))
        return Pointer<Window>(object, false);
    if (!create)
        return Pointer<Window>();
    return Pointer<Window>(new Window(h), true);
}

Window::Pointer<Window> Window::getDialogItem(int id, bool create) const {
    HWND item = GetDlgItem(handle, id);
    if (!item && create)
        throw WindowsError("Can't retrieve dialog item " + std::to_string(id));
    return getWindowFromHandle(item, create);
}

Window::Pointer<Window> Window::getParent() const {
    SetLastError(0);
    HWND parent = GetParent(handle);
    if (!parent && GetLastError())
        throw WindowsError("Can't retrieve parent window");
    return getWindowFromHandle(parent, true);
}

Window::Pointer<Window> Window::setFocus() const {
    SetLastError(0);
    HWND previous = SetFocus(handle);
    if (!previous && GetLastError())
        throw WindowsError("Can't set focus");
    return getWindowFromHandle(previous, true);
}

Window::Pointer<Window> Window::captureMouse() const { return getWindowFromHandle(SetCapture(handle), true); }
Window::Pointer<Window> Window::getMouseOwner() { return getWindowFromHandle(GetCapture(), true); }

void Window::releaseMouse() {
    if (!ReleaseCapture())
        throw WindowsError("Can't release mouse capture");
}

// ---- Dispatch --------------------------------------------------------------------------

LRESULT CALLBACK Window::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* object = windowMap().find(hwnd);
    if (!object) {
        // A subclassed window whose object went away: its old procedure goes on.
        if (WNDPROC previous = windowMap().findOrphan(hwnd, message == WM_NCDESTROY))
            return CallWindowProcA(previous, hwnd, message, wParam, lParam);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    try {
        return object->processMessage(message, wParam, lParam).result;
    } catch (...) {
        return 0;
    }
}

// Runs in the object's own member, but touches no member once a handler may
// have deleted the object: the record, on this frame, says whether it did.
Window::message_result Window::processMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    message_record record{0, true, message, wParam, lParam, false};
    messageStack.push_back(&record);
    LRESULT r = 0;
    try {
        r = onMessage(message, wParam, lParam);
    } catch (...) {
        if (!record.objectGone)
            popRecord(&record);
        throw;
    }
    if (!record.objectGone) {
        popRecord(&record);
        // A handler that overrode onNCDestroy without the default must not leave
        // the object answering for a handle the system will give to another window.
        if (message == WM_NCDESTROY && handle)
            detach();
    }
    if (record.handled && answersTrueWhenHandled(message))
        r = TRUE;
    return message_result{record.handled ? r : record.result, record.handled};
}

void Window::popRecord(message_record* record) noexcept {
    auto found = std::find(messageStack.rbegin(), messageStack.rend(), record);
    if (found != messageStack.rend())
        messageStack.erase(std::next(found).base());
}

Window::message_record& Window::topRecord() {
    if (messageStack.empty())
        throw WindowsError(ERROR_INVALID_FUNCTION, "Can't process message by default: no message is in dispatch");
    return *messageStack.back();
}

void Window::defaultWindowProc() {
    message_record& top = topRecord();
    top.result = defaultWindowProc(top.message, top.wParam, top.lParam);
    top.handled = false;
}

LRESULT Window::defaultWindowProc(UINT message, WPARAM wParam, LPARAM lParam) const {
    return previousProcedure ? CallWindowProcA(previousProcedure, handle, message, wParam, lParam)
                             : DefWindowProcA(handle, message, wParam, lParam);
}

void Window::markLastMessageUnhandled() { topRecord().handled = false; }

namespace {
Point signedPoint(LPARAM lParam) {
    return Point(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
}
} // namespace

LRESULT Window::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY: onDestroy(); return 0;
    case WM_MOVE: onMove(Point(LOWORD(lParam), HIWORD(lParam))); return 0;
    case WM_SIZE: onSize(unsigned(wParam), Size(LOWORD(lParam), HIWORD(lParam))); return 0;
    case WM_PAINT: onPaint(); return 0;
    case WM_DRAWITEM: onDrawItem(unsigned(wParam), *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return 0;
    case WM_MEASUREITEM: onMeasureItem(unsigned(wParam), *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)); return 0;
    case WM_DELETEITEM: onDeleteItem(unsigned(wParam), *reinterpret_cast<const DELETEITEMSTRUCT*>(lParam)); return 0;
    case WM_QUERYDRAGICON: return reinterpret_cast<LRESULT>(onQueryDragIcon());
    case WM_COMPAREITEM:
        return onCompareItem(unsigned(wParam), *reinterpret_cast<const COMPAREITEMSTRUCT*>(lParam));
    case WM_NOTIFY: return onNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_NCDESTROY: onNCDestroy(); return 0;
    case WM_KEYDOWN:
        onKeyDown(unsigned(wParam), LOWORD(lParam), static_cast<unsigned char>((lParam >> 16) & 0xFF),
                  ((lParam >> 24) & 1) != 0, ((lParam >> 30) & 1) != 0);
        return 0;
    case WM_KEYUP:
        onKeyUp(unsigned(wParam), static_cast<unsigned char>((lParam >> 16) & 0xFF), ((lParam >> 24) & 1) != 0);
        return 0;
    case WM_COMMAND: {
        Pointer<Window> control = getWindowFromHandle(reinterpret_cast<HWND>(lParam), true);
        onCommand(control.get(), HIWORD(wParam), LOWORD(wParam));
        return 0;
    }
    case WM_TIMER: onTimer(unsigned(wParam)); return 0;
    case WM_HSCROLL:
    case WM_VSCROLL: {
        Pointer<Window> bar = getWindowFromHandle(reinterpret_cast<HWND>(lParam), true);
        if (message == WM_HSCROLL)
            onHScroll(bar.get(), LOWORD(wParam), HIWORD(wParam));
        else
            onVScroll(bar.get(), LOWORD(wParam), HIWORD(wParam));
        return 0;
    }
    case WM_MOUSEMOVE: onMouseMove(LOWORD(wParam), signedPoint(lParam)); return 0;
    case WM_LBUTTONDOWN: onLeftButtonDown(LOWORD(wParam), signedPoint(lParam)); return 0;
    case WM_LBUTTONUP: onLeftButtonUp(LOWORD(wParam), signedPoint(lParam)); return 0;
    case WM_LBUTTONDBLCLK: onLeftButtonDoubleClick(LOWORD(wParam), signedPoint(lParam)); return 0;
    case WM_RBUTTONDOWN: onRightButtonDown(LOWORD(wParam), signedPoint(lParam)); return 0;
    case WM_RBUTTONUP: onRightButtonUp(LOWORD(wParam), signedPoint(lParam)); return 0;
    case WM_RBUTTONDBLCLK: onRightButtonDoubleClick(LOWORD(wParam), signedPoint(lParam)); return 0;
    case WM_MBUTTONDOWN: onMiddleButtonDown(LOWORD(wParam), signedPoint(lParam)); return 0;
    case WM_MBUTTONUP: onMiddleButtonUp(LOWORD(wParam), signedPoint(lParam)); return 0;
    case WM_MBUTTONDBLCLK: onMiddleButtonDoubleClick(LOWORD(wParam), signedPoint(lParam)); return 0;
    case WM_MOUSEWHEEL:
        onMouseWheel(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), signedPoint(lParam));
        return 0;
    case WM_SIZING: onSizing(unsigned(wParam), *reinterpret_cast<Rect*>(lParam)); return 0;
    case WM_MOVING: onMoving(*reinterpret_cast<Rect*>(lParam)); return 0;
    case WM_ENTERSIZEMOVE: onEnterSizeMove(); return 0;
    case WM_EXITSIZEMOVE: onExitSizeMove(); return 0;
    case WM_DROPFILES: handleDroppedFiles(wParam); return 0;
    default: defaultWindowProc(); return 0;
    }
}

void Window::handleDroppedFiles(WPARAM wParam) {
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    try {
        POINT point{0, 0};
        const bool inClientArea = DragQueryPoint(drop, &point) != 0;
        const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        std::list<BasicString<wchar_t>> files;
        std::string buffer;
        for (UINT i = 0; i < count; ++i) {
            const UINT n = DragQueryFileA(drop, i, nullptr, 0);
            if (buffer.size() < n + 1)
                buffer.resize(n + 1);
            const UINT copied = DragQueryFileA(drop, i, &buffer[0], UINT(buffer.size()));
            files.push_back(BasicString<wchar_t>(buffer.data(), std::min(n, copied)));
        }
        onDroppedFiles(Point(point), inClientArea, files);
    } catch (...) {
    }
    DragFinish(drop);
}

// ---- Default handlers ---------------------------------------------------------------

void Window::onCommand(Window* control, unsigned short code, unsigned short) {
    if (control) {
        Pointer<Window> registered = getWindowFromHandle(control->handle, false);
        if (registered && registered->onReflectedCommand(code))
            return;
    }
    defaultWindowProc();
}

bool Window::onReflectedCommand(unsigned short) { return false; }
void Window::onHScroll(Window*, unsigned short, unsigned short) { defaultWindowProc(); }
void Window::onVScroll(Window*, unsigned short, unsigned short) { defaultWindowProc(); }
void Window::onDestroy() { defaultWindowProc(); }

LRESULT Window::onNotify(const NMHDR& h) {
    const int code = static_cast<int>(h.code);
    if (code <= static_cast<int>(LVN_FIRST) && code >= static_cast<int>(LVN_LAST))
        onNotification(reinterpret_cast<const NMLISTVIEW&>(h));
    else if (code <= static_cast<int>(TVN_FIRST) && code >= static_cast<int>(TVN_LAST))
        onNotification(reinterpret_cast<const NMTREEVIEWA&>(h));
    else if (h.code == static_cast<UINT>(NM_DBLCLK))
        onDoubleClick(h);
    else
        defaultWindowProc();
    return 0;
}

void Window::onDoubleClick(const NMHDR&) { defaultWindowProc(); }

namespace {

TreeViewNotified* treeViewOf(HWND h) {
    Window::Pointer<Window> control = Window::getWindowFromHandle(h, false);
    return dynamic_cast<TreeViewNotified*>(control.get());
}

enum class TreeRecord { none, narrow, wide };

// Which tree-view notifications carry a whole NMTREEVIEW, and in which width.
// The others carry smaller records (display info, keys, tips): only their
// header may be read.
TreeRecord treeRecordOf(UINT code) {
    switch (code) {
    case TVN_SELCHANGINGA:
    case TVN_SELCHANGEDA:
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDEDA:
    case TVN_BEGINDRAGA:
    case TVN_BEGINRDRAGA:
    case TVN_DELETEITEMA:
    case TVN_SINGLEEXPAND: return TreeRecord::narrow;
    case TVN_SELCHANGINGW:
    case TVN_SELCHANGEDW:
    case TVN_ITEMEXPANDINGW:
    case TVN_ITEMEXPANDEDW:
    case TVN_BEGINDRAGW:
    case TVN_BEGINRDRAGW:
    case TVN_DELETEITEMW: return TreeRecord::wide;
    default: return TreeRecord::none;
    }
}

void widenItem(TVITEMW& item, const TVITEMA& source, std::wstring& text) {
    if (!(source.mask & TVIF_TEXT))
        return;
    text = source.pszText && source.pszText != LPSTR_TEXTCALLBACKA ? a2w(source.pszText, CP_ACP)
                                                                    : std::wstring();
    item.pszText = source.pszText == LPSTR_TEXTCALLBACKA ? LPSTR_TEXTCALLBACKW : &text[0];
    item.cchTextMax = int(text.size() + 1);
}

} // namespace

// The wide record last offered to its tree view from the narrow handler: the
// wide handler does not offer it a second time.
static thread_local const NMTREEVIEWW* offeredToTree = nullptr;

void Window::onNotification(const NMTREEVIEWA& n) {
    // Each handler of the tree view gets only a whole record of its own width:
    // a wide record read as a narrow one would give garbled texts, and the
    // smaller records (display info, keys) would be read past their end.
    const TreeRecord record = treeRecordOf(n.hdr.code);
    TreeViewNotified* tree = treeViewOf(n.hdr.hwndFrom);
    if (tree && record == TreeRecord::narrow && tree->onReflectedNotification(n))
        return;
    switch (record) {
    case TreeRecord::wide: {
        const NMTREEVIEWW& wide = reinterpret_cast<const NMTREEVIEWW&>(n);
        if (tree && tree->onReflectedNotification(wide))
            return;
        const NMTREEVIEWW* previous = offeredToTree;
        offeredToTree = &wide;
        try {
            onNotification(wide);
        } catch (...) {
            offeredToTree = previous;
            throw;
        }
        offeredToTree = previous;
        return;
    }
    case TreeRecord::narrow: {
        NMTREEVIEWW wide;
        static_assert(sizeof(wide) == sizeof(n), "both widths of the record have one layout");
        std::memcpy(&wide, &n, sizeof(wide));
        std::wstring oldText, newText;
        widenItem(wide.itemOld, n.itemOld, oldText);
        widenItem(wide.itemNew, n.itemNew, newText);
        onNotification(wide);
        return;
    }
    case TreeRecord::none: {
        NMTREEVIEWW header{};
        header.hdr = n.hdr;
        onNotification(header);
        return;
    }
    }
}

void Window::onNotification(const NMTREEVIEWW& n) {
    if (&n != offeredToTree)
        if (TreeViewNotified* tree = treeViewOf(n.hdr.hwndFrom))
            if (tree->onReflectedNotification(n))
                return;
    defaultWindowProc();
}

void Window::onNotification(const NMLISTVIEW&) { defaultWindowProc(); }

void Window::onNCDestroy() {
    defaultWindowProc();
    detach();
}

namespace {
OwnerDrawable* ownerDrawableOf(HWND h) {
    Window::Pointer<Window> control = Window::getWindowFromHandle(h, false);
    return dynamic_cast<OwnerDrawable*>(control.get());
}
} // namespace

void Window::onDrawItem(unsigned int, const DRAWITEMSTRUCT& item) {
    if (OwnerDrawable* control = item.CtlType != ODT_MENU ? ownerDrawableOf(item.hwndItem) : nullptr)
        control->onDrawItem(item);
    else
        defaultWindowProc();
}

void Window::onMeasureItem(unsigned int, MEASUREITEMSTRUCT& item) {
    Pointer<Window> control = item.CtlType != ODT_MENU ? getDialogItem(int(item.CtlID), false) : Pointer<Window>();
    if (OwnerDrawable* drawable = dynamic_cast<OwnerDrawable*>(control.get()))
        drawable->onMeasureItem(item);
    else
        defaultWindowProc();
}

void Window::onDeleteItem(unsigned int, const DELETEITEMSTRUCT& item) {
    if (OwnerDrawable* control = ownerDrawableOf(item.hwndItem))
        control->onDeleteItem(item);
    else
        defaultWindowProc();
}

OwnerDrawable::compare_result Window::onCompareItem(unsigned int, const COMPAREITEMSTRUCT& item) {
    if (OwnerDrawable* control = ownerDrawableOf(item.hwndItem))
        return control->onCompareItem(item);
    defaultWindowProc();
    return OwnerDrawable::equivalent;
}

void Window::onMouseMove(unsigned short, const Point&) { defaultWindowProc(); }
void Window::onMouseWheel(unsigned short, short, const Point&) { defaultWindowProc(); }
void Window::onLeftButtonDown(unsigned short, const Point&) { defaultWindowProc(); }
void Window::onLeftButtonUp(unsigned short, const Point&) { defaultWindowProc(); }
void Window::onLeftButtonDoubleClick(unsigned short, const Point&) { defaultWindowProc(); }
void Window::onMiddleButtonDown(unsigned short, const Point&) { defaultWindowProc(); }
void Window::onMiddleButtonUp(unsigned short, const Point&) { defaultWindowProc(); }
void Window::onMiddleButtonDoubleClick(unsigned short, const Point&) { defaultWindowProc(); }
void Window::onRightButtonDown(unsigned short, const Point&) { defaultWindowProc(); }
void Window::onRightButtonUp(unsigned short, const Point&) { defaultWindowProc(); }
void Window::onRightButtonDoubleClick(unsigned short, const Point&) { defaultWindowProc(); }
void Window::onKeyDown(unsigned int, unsigned short, unsigned char, bool, bool) { defaultWindowProc(); }
void Window::onKeyUp(unsigned int, unsigned char, bool) { defaultWindowProc(); }
void Window::onTimer(unsigned int) { defaultWindowProc(); }
void Window::onPaint() { defaultWindowProc(); }
HICON Window::onQueryDragIcon() {
    defaultWindowProc();
    return nullptr;
}
void Window::onSize(unsigned int, const Size&) { defaultWindowProc(); }
void Window::onSizing(unsigned int, Rect&) { defaultWindowProc(); }
void Window::onMoving(Rect&) { defaultWindowProc(); }
void Window::onMove(const Point&) { defaultWindowProc(); }
void Window::onEnterSizeMove() { defaultWindowProc(); }
void Window::onExitSizeMove() { defaultWindowProc(); }
void Window::onDroppedFiles(const Point&, bool, const std::list<BasicString<wchar_t>>&) { defaultWindowProc(); }

// ---- OwnerDrawable -------------------------------------------------------------------

void OwnerDrawable::onDrawItem(const DRAWITEMSTRUCT&) {}
void OwnerDrawable::onMeasureItem(MEASUREITEMSTRUCT&) {}
void OwnerDrawable::onDeleteItem(const DELETEITEMSTRUCT&) {}
OwnerDrawable::compare_result OwnerDrawable::onCompareItem(const COMPAREITEMSTRUCT&) { return equivalent; }
OwnerDrawable::~OwnerDrawable() = default;

// ---- The message loop ------------------------------------------------------------------

bool Window::getMessage(MSG& msg, HWND window, UINT min, UINT max) {
    const BOOL result = GetMessageA(&msg, window, min, max);
    if (result == -1)
        throw WindowsError("Error in GetMessage");
    return result != 0;
}

bool Window::getThreadMessage(MSG& msg, UINT min, UINT max) { return getMessage(msg, nullptr, min, max); }
bool Window::getMessage(MSG& msg, UINT min, UINT max) const { return getMessage(msg, handle, min, max); }
LRESULT Window::dispatchMessage(const MSG& msg) { return DispatchMessageA(&msg); }

} // namespace vesk
