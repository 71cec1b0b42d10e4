// The members of Window that are one Win32 call each: geometry, text, dialog
// items, styles, scrolling, timers, menus and messages.
#include <vesk/gui/window.h>

#include <vesk/errors/exception.h>
#include <vesk/text/string_helper.h>

#include <boost/numeric/conversion/cast.hpp>

#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <string>

namespace vesk {

namespace {

std::string narrow(const wchar_t* text) {
    return text ? StringHelper<char>::convert(text, 0xFFFFFFFFu, CP_ACP) : std::string();
}

// Text of windows and dialogs is in the ANSI code page, not the C runtime's locale.
BasicString<wchar_t> widen(const BasicString<char>& text) { return a2w(text.data(), unsigned(text.size()), CP_ACP); }

// Reads text whose length is not known in advance: the buffer starts at the
// length hint (or 256) and doubles while the answer may have been cut (a
// double-byte character needs two), so a text of n characters takes O(log n)
// tries and O(n) copying, with no limit but memory. Zero with an error code is
// a failure.
template <class Read> BasicString<char> readGrowing(Read read, const char* failure, std::size_t hint = 0) {
    std::string buffer(std::max<std::size_t>(256, hint + 3), '\0');
    for (;;) {
        SetLastError(0);
        const int length = read(&buffer[0], int(std::min<std::size_t>(buffer.size(), INT_MAX)));
        if (length == 0 && GetLastError() != 0 && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            throw WindowsError(failure);
        if (length < int(std::min<std::size_t>(buffer.size(), INT_MAX)) - 2) {
            buffer.resize(std::size_t(length > 0 ? length : 0));
            return BasicString<char>(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

// ---- Geometry and state ------------------------------------------------------------

bool Window::show(unsigned cmd) const { return ShowWindow(handle, int(cmd)) != 0; }
bool Window::hide() const { return show(SW_HIDE); }

void Window::move(int x, int y, int width, int height, bool repaint) {
    if (!MoveWindow(handle, x, y, width, height, repaint))
        throw WindowsError("Can't move window");
}

void Window::move(const RECT& r, bool repaint) {
    move(int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top), repaint);
}

Rect Window::getClientRectangle() const {
    RECT r{};
    if (!GetClientRect(handle, &r))
        throw WindowsError("Can't get client rectangle");
    return r;
}

Rect Window::getWindowRectangle() const {
    RECT r{};
    if (!GetWindowRect(handle, &r))
        throw WindowsError("Can't get window rectangle");
    return r;
}

Size Window::getClientSize() const { return getClientRectangle().getSize(); }
Size Window::getWindowSize() const { return getWindowRectangle().getSize(); }
Point Window::getClientPosition() const { return getClientRectangle().getTopLeft(); }
Point Window::getWindowPosition() const { return getWindowRectangle().getTopLeft(); }

bool Window::enable(bool enabled) const {
    SetLastError(0);
    const BOOL wasDisabled = EnableWindow(handle, enabled);
    if (!wasDisabled && GetLastError())
        throw WindowsError("Can't enable window");
    return wasDisabled != 0;
}

// ---- Text ----------------------------------------------------------------------------

void Window::setText(const char* text) const {
    if (!SetWindowTextA(handle, text))
        throw WindowsError("Can't set window text");
}

void Window::setText(const wchar_t* text) const {
    const std::string n = narrow(text);
    setText(text ? n.c_str() : nullptr);
}

unsigned Window::getTextLengthA() const {
    SetLastError(0);
    const int length = GetWindowTextLengthA(handle);
    if (!length && GetLastError())
        throw WindowsError("Error in retrieving window text length");
    return unsigned(length);
}

unsigned Window::getTextLengthW() const { return unsigned(getTextW().size()); }

BasicString<char> Window::getTextA() const {
    const unsigned length = getTextLengthA();
    std::string buffer(length + 1, '\0');
    SetLastError(0);
    const int copied = GetWindowTextA(handle, &buffer[0], int(buffer.size()));
    if (!copied && GetLastError())
        throw WindowsError("Error in retrieving window text");
    buffer.resize(std::size_t(copied));
    return BasicString<char>(buffer);
}

BasicString<wchar_t> Window::getTextW() const { return widen(getTextA()); }

BasicString<char> Window::getClassNameA() const {
    return readGrowing([this](char* buffer, int size) { return GetClassNameA(handle, buffer, size); },
                       "Can't get window class name");
}

BasicString<wchar_t> Window::getClassNameW() const { return widen(getClassNameA()); }

BasicString<char> Window::getTextA(int id) const {
    // The item's own length answer sizes the first try; the text may still grow
    // before it is read.
    const LRESULT length = SendDlgItemMessageA(handle, id, WM_GETTEXTLENGTH, 0, 0);
    return readGrowing(
        [this, id](char* buffer, int size) { return int(GetDlgItemTextA(handle, id, buffer, size)); },
        "Can't retrieve dialog item text", length > 0 ? std::size_t(length) : 0);
}

BasicString<wchar_t> Window::getTextW(int id) const { return widen(getTextA(id)); }

void Window::setText(int id, const char* text) const {
    if (!SetDlgItemTextA(handle, id, text))
        throw WindowsError("Can't set dialog item text");
}

void Window::setText(int id, const wchar_t* text) const {
    const std::string n = narrow(text);
    setText(id, text ? n.c_str() : nullptr);
}

// ---- Dialog items ----------------------------------------------------------------------

int Window::getInt(int id) const {
    BOOL translated = FALSE;
    const UINT value = GetDlgItemInt(handle, id, &translated, TRUE);
    if (!translated)
        throw WindowsError("Can't get dialog item int");
    return static_cast<int>(value);
}

unsigned Window::getUInt(int id) const {
    BOOL translated = FALSE;
    const UINT value = GetDlgItemInt(handle, id, &translated, FALSE);
    if (!translated)
        throw WindowsError("Can't get dialog item int");
    return value;
}

void Window::setInt(int id, int value) const {
    if (!SetDlgItemInt(handle, id, UINT(value), TRUE))
        throw WindowsError("Can't set dialog item int");
}

void Window::setInt(int id, unsigned value) const {
    if (!SetDlgItemInt(handle, id, value, FALSE))
        throw WindowsError("Can't set dialog item unsigned int");
}

void Window::setCheck(int id, check state) const {
    if (!CheckDlgButton(handle, id, UINT(state)))
        throw WindowsError("Can't check dialog button");
}

void Window::setCheck(int id, bool state) const { setCheck(id, state ? checked : unchecked); }

Window::check Window::getCheck(int id) const {
    switch (IsDlgButtonChecked(handle, id)) {
    case BST_CHECKED: return checked;
    case BST_INDETERMINATE: return indeterminate;
    default: return unchecked;
    }
}

bool Window::isChecked(int id) const { return getCheck(id) > 0; }

unsigned short Window::getID() const {
    SetLastError(0);
    const int id = GetDlgCtrlID(handle);
    if (!id && GetLastError())
        throw WindowsError("Can't retrieve control id");
    return boost::numeric_cast<unsigned short>(id);
}

// ---- Window longs and styles ---------------------------------------------------------------

LONG_PTR Window::getWindowLong(int index) const {
    SetLastError(0);
    const LONG_PTR value = GetWindowLongPtrA(handle, index);
    if (!value && GetLastError())
        throw WindowsError("Can't set window long GWL_STYLE");
    return value;
}

LONG_PTR Window::setWindowLong(int index, LONG_PTR value) const {
    SetLastError(0);
    const LONG_PTR previous = SetWindowLongPtrA(handle, index, value);
    if (!previous && GetLastError())
        throw WindowsError("Can't set window long GWL_STYLE");
    return previous;
}

// Styles are 32-bit values kept in a pointer-sized slot.
unsigned long Window::getStyle() const { return static_cast<DWORD>(getWindowLong(GWL_STYLE)); }
unsigned long Window::setStyle(unsigned long style) const {
    return static_cast<DWORD>(setWindowLong(GWL_STYLE, LONG_PTR(static_cast<LONG>(style))));
}
unsigned long Window::setStyle(unsigned long mask, unsigned long value) const {
    return setStyle((getStyle() & ~mask) | (mask & value));
}
unsigned long Window::getExtendedStyle() const { return static_cast<DWORD>(getWindowLong(GWL_EXSTYLE)); }
unsigned long Window::setExtendedStyle(unsigned long style) const {
    return static_cast<DWORD>(setWindowLong(GWL_EXSTYLE, LONG_PTR(static_cast<LONG>(style))));
}
unsigned long Window::setExtendedStyle(unsigned long mask, unsigned long value) const {
    return setExtendedStyle((getExtendedStyle() & ~mask) | (mask & value));
}

// ---- Position and painting ------------------------------------------------------------------

void Window::setPosition(HWND after, int x, int y, int cx, int cy, unsigned flags) const {
    if (!SetWindowPos(handle, after, x, y, cx, cy, flags))
        throw WindowsError("Error in SetWindowPos");
}
void Window::setPosition(HWND after, const RECT& r, unsigned flags) const {
    setPosition(after, int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top), flags);
}
void Window::setPosition(HWND after, const POINT& p, const SIZE& s, unsigned flags) const {
    setPosition(after, int(p.x), int(p.y), int(s.cx), int(s.cy), flags);
}
void Window::setPosition(HWND after, unsigned flags) const {
    setPosition(after, 0, 0, 0, 0, flags | SWP_NOSIZE | SWP_NOMOVE);
}
void Window::setPosition(int x, int y, unsigned flags) const {
    setPosition(nullptr, x, y, 0, 0, flags | SWP_NOSIZE | SWP_NOZORDER);
}
void Window::setPosition(const POINT& p, unsigned flags) const { setPosition(int(p.x), int(p.y), flags); }
void Window::setSize(int cx, int cy, unsigned flags) const {
    setPosition(nullptr, 0, 0, cx, cy, flags | SWP_NOMOVE | SWP_NOZORDER);
}

void Window::invalidate(bool erase) {
    SetLastError(0);
    if (!InvalidateRect(handle, nullptr, erase))
        throw WindowsError("Can't invalidate window");
}

void Window::invalidate(const RECT& r, bool erase) {
    SetLastError(0);
    if (!InvalidateRect(handle, &r, erase))
        throw WindowsError("Can't invalidate window rectangle");
}

void Window::update() const {
    SetLastError(0);
    if (!UpdateWindow(handle))
        throw WindowsError("Can't update the window");
}

void Window::scroll(int dx, int dy, const RECT* scrollRect, const RECT* clip) const {
    if (!ScrollWindow(handle, dx, dy, scrollRect, clip))
        throw WindowsError("Can't scroll window");
}
void Window::scroll(const SIZE& d, const RECT* s, const RECT* c) const { scroll(int(d.cx), int(d.cy), s, c); }
void Window::scroll(const POINT& d, const RECT* s, const RECT* c) const { scroll(int(d.x), int(d.y), s, c); }

// ---- Scroll bars -----------------------------------------------------------------------------

void Window::getScrollInfo(int bar, SCROLLINFO& info) const {
    SetLastError(0);
    if (!GetScrollInfo(handle, bar, &info) && GetLastError())
        throw WindowsError("Can't get scroll info");
}

SCROLLINFO Window::getScrollInfo(int bar, unsigned mask) const {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = mask;
    getScrollInfo(bar, info);
    return info;
}

int Window::setScrollInfo(int bar, const SCROLLINFO& info, bool redraw) const {
    return SetScrollInfo(handle, bar, &info, redraw);
}

unsigned Window::getScrollPageSize(scroll_bar_type bar) const { return getScrollInfo(bar, SIF_PAGE).nPage; }

int Window::getScrollPosition(scroll_bar_type bar) const {
    SetLastError(0);
    const int position = GetScrollPos(handle, bar);
    if (!position && GetLastError())
        throw WindowsError("Can't get scroll position");
    return position;
}

int Window::setScrollPosition(scroll_bar_type bar, int position, bool redraw) const {
    const int previous = SetScrollPos(handle, bar, position, redraw);
    if (!previous && GetLastError())
        throw WindowsError("Can't set scroll position");
    return previous;
}

void Window::setScrollRange(scroll_bar_type bar, int min, int max, bool redraw) const {
    if (!SetScrollRange(handle, bar, min, max, redraw))
        throw WindowsError("Can't set scroll range");
}

void Window::showScrollBar(scroll_bar_type bar, bool visible) const {
    if (!ShowScrollBar(handle, bar, visible))
        throw WindowsError("Can't show/hide scrollbar");
}

bool Window::enableScrollBar(unsigned bar, unsigned arrows) {
    SetLastError(0);
    if (EnableScrollBar(handle, bar, arrows))
        return true;
    if (GetLastError())
        throw WindowsError("Can't change scrollbar arrow state");
    return false;
}

bool Window::hasScrollBar(scroll_bar_type bar) const {
    return (getStyle() & (bar == vertical ? WS_VSCROLL : WS_HSCROLL)) != 0;
}

// ---- Timers, menus, coordinates, icons ----------------------------------------------------------

void Window::startTimer(unsigned id, unsigned interval) {
    if (!SetTimer(handle, id, interval, nullptr))
        throw WindowsError("Can't create timer with id " + std::to_string(id) + " and interval " +
                           std::to_string(interval));
}

void Window::stopTimer(unsigned id) {
    if (!KillTimer(handle, id))
        throw WindowsError("Can't stop timer with id " + std::to_string(id));
}

int Window::trackPopupMenu(HMENU menu, int x, int y, unsigned flags) const {
    const BOOL result = TrackPopupMenu(menu, flags, x, y, 0, handle, nullptr);
    if (!result && !(flags & TPM_RETURNCMD))
        throw WindowsError("Error tracking popup menu");
    return result;
}

int Window::trackPopupMenu(HMENU menu, const POINT& p, unsigned flags) const {
    return trackPopupMenu(menu, int(p.x), int(p.y), flags);
}

void Window::drawMenuBar() const {
    if (!DrawMenuBar(handle))
        throw WindowsError("Error drawing the menu bar");
}

Menu Window::getMenu() const { return Menu::ofWindow(handle); }

Point Window::toScreen(const POINT& p) const {
    POINT copy = p;
    SetLastError(0);
    if (!ClientToScreen(handle, &copy))
        throw WindowsError("Can't map point from client to screen");
    return copy;
}

Point Window::fromScreen(const POINT& p) const {
    POINT copy = p;
    SetLastError(0);
    if (!ScreenToClient(handle, &copy))
        throw WindowsError("Can't map point from screen to client");
    return copy;
}

HICON Window::setIcon(HICON icon, bool big) const {
    return reinterpret_cast<HICON>(SendMessageA(handle, WM_SETICON, big, reinterpret_cast<LPARAM>(icon)));
}

HICON Window::getIcon(icon_size size) const {
    return reinterpret_cast<HICON>(SendMessageA(handle, WM_GETICON, WPARAM(size), 0));
}

void Window::acceptDraggedFiles(bool accept) const { DragAcceptFiles(handle, accept); }
bool Window::isUnicode() const { return IsWindowUnicode(handle) != 0; }
bool Window::isIconic() const { return IsIconic(handle) != 0; }

// ---- Messages and message boxes ------------------------------------------------------------------

LRESULT Window::sendMessageA(UINT m, WPARAM w, LPARAM l) const { return SendMessageA(handle, m, w, l); }
LRESULT Window::sendMessageW(UINT m, WPARAM w, LPARAM l) const { return SendMessageA(handle, m, w, l); }
LRESULT Window::sendMessageT(UINT m, WPARAM w, LPARAM l) const { return SendMessageA(handle, m, w, l); }
BOOL Window::postMessageA(UINT m, WPARAM w, LPARAM l) const { return PostMessageA(handle, m, w, l); }
BOOL Window::postMessageW(UINT m, WPARAM w, LPARAM l) const { return PostMessageA(handle, m, w, l); }
BOOL Window::postMessageT(UINT m, WPARAM w, LPARAM l) const { return PostMessageA(handle, m, w, l); }

int Window::messageBox(HWND owner, const char* text, const char* caption, unsigned type) {
    SetLastError(0);
    const int button = MessageBoxA(owner, text, caption, type);
    if (!button && GetLastError())
        throw WindowsError("Can't show message box");
    return button;
}

int Window::messageBox(HWND owner, const wchar_t* text, const wchar_t* caption, unsigned type) {
    const std::string t = narrow(text), c = narrow(caption);
    return messageBox(owner, text ? t.c_str() : nullptr, caption ? c.c_str() : nullptr, type);
}

int Window::messageBox(const char* text, const char* caption, unsigned type) const {
    return messageBox(handle, text, caption, type);
}

int Window::messageBox(const wchar_t* text, const wchar_t* caption, unsigned type) const {
    return messageBox(handle, text, caption, type);
}

} // namespace vesk
