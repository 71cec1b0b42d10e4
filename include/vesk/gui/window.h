// Window: the object that answers for one window (HWND) and turns its messages
// into calls of virtual handlers; OwnerDrawable, through which owner-drawn
// controls receive their drawing messages; and the message-loop wrappers.
//
// Every window the library handles runs one procedure, Window::windowProc. It
// finds the object of the window, pushes a record of the message, calls the
// virtual onMessage (which decodes the message and calls the handler), pops the
// record and returns the handler's result, or the default processing's when
// the handler asked for it. No exception leaves it, and an object may delete
// itself (or be deleted) from inside one of its handlers.
#pragma once

#include <vesk/config.h>
#include <vesk/gdi/geometry.h>
#include <vesk/gui/menu.h>
#include <vesk/text/string.h>

#include <boost/noncopyable.hpp>

#include <commctrl.h>

#include <list>
#include <utility>
#include <vector>

namespace vesk {

class WindowClass;

// A control that draws its own items derives from Window and from this.
class VESK_API OwnerDrawable {
public:
    enum compare_result { precedes = -1, equivalent = 0, follows = 1 };

    OwnerDrawable() = default;
    OwnerDrawable(const OwnerDrawable&) = default;
    OwnerDrawable& operator=(const OwnerDrawable&) = default;

    virtual void onDrawItem(const DRAWITEMSTRUCT& item);
    virtual void onMeasureItem(MEASUREITEMSTRUCT& item);
    virtual void onDeleteItem(const DELETEITEMSTRUCT& item);
    virtual compare_result onCompareItem(const COMPAREITEMSTRUCT& item);

protected:
    virtual ~OwnerDrawable();
};

// A control that wants the tree-view notifications its parent receives (the
// tree view) implements this; a true result means the control handled it.
class VESK_API TreeViewNotified {
public:
    virtual bool onReflectedNotification(const NMTREEVIEWA& notification) = 0;
    virtual bool onReflectedNotification(const NMTREEVIEWW& notification) = 0;

protected:
    ~TreeViewNotified() = default;
};

class VESK_API Window : private boost::noncopyable {
public:
    enum scroll_bar_type { horizontal = SB_HORZ, vertical = SB_VERT };
    enum icon_size { small_icon = ICON_SMALL, big_icon = ICON_BIG };
    enum check { unchecked = BST_UNCHECKED, checked = BST_CHECKED, indeterminate = BST_INDETERMINATE };

    // One message whose dispatch to this object is in progress.
    struct message_record {
        LRESULT result;
        bool handled;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        // Set when the object is destroyed while the message is in dispatch:
        // the dispatcher then no longer touches the object.
        bool objectGone;
    };

    struct message_result {
        LRESULT result;
        bool handled;
    };

    // A pointer to a Window (or subclass) that deletes the object when it owns
    // it. Copying hands ownership over and empties an owning source.
    template <class T> class Pointer {
    public:
        Pointer() : object(nullptr), owned(false) {}
        Pointer(T* o, bool owns) : object(o), owned(owns) {}
        Pointer(Pointer& other) noexcept : object(other.object), owned(other.owned) { other.disown(); }
        Pointer(Pointer&& other) noexcept : object(other.object), owned(other.owned) { other.disown(); }
        // A checked cast. A source that owns an object of another class deletes it
        // and gives an empty pointer, rather than a pointer of the wrong class.
        template <class U> Pointer(Pointer<U>& other) : object(nullptr), owned(false) { convert(other); }
        template <class U> Pointer(Pointer<U>&& other) : object(nullptr), owned(false) { convert(other); }
        // Assigning a pointer to the object this one points at already keeps
        // its one owner; otherwise the old object goes after the new is taken.
        Pointer& operator=(Pointer& other) {
            if (this == &other)
                return *this;
            Pointer taken(other);
            if (taken.object == object) {
                owned = owned || taken.owned;
                taken.owned = false;
            } else {
                std::swap(object, taken.object);
                std::swap(owned, taken.owned);
            }
            return *this;
        }
        Pointer& operator=(Pointer&& other) { return operator=(static_cast<Pointer&>(other)); }
        ~Pointer() { reset(); }

        T* get() const { return object; }
        T* operator->() const { return object; }
        T& operator*() const { return *object; }
        bool isOwned() const { return owned; }
        explicit operator bool() const { return object != nullptr; }
        bool operator!() const { return object == nullptr; }

        void reset() {
            if (owned)
                delete object;
            object = nullptr;
            owned = false;
        }

    private:
        template <class U> friend class Pointer;

        void disown() {
            if (owned)
                object = nullptr;
            owned = false;
        }
        template <class U> void convert(Pointer<U>& other) {
            T* cast = dynamic_cast<T*>(other.object);
            if (other.owned) {
                if (cast) {
                    object = cast;
                    owned = true;
                    other.object = nullptr;
                    other.owned = false;
                } else {
                    other.reset();
                }
            } else {
                object = cast;
            }
        }

        T* object;
        bool owned;
    };

    explicit Window(HWND handle = nullptr);
    // Destroys an owned window. A subclassed or attached object takes itself out
    // of its window first, so that no later message reaches a deleted object.
    virtual ~Window();

    // ---- Association ----------------------------------------------------
    void create(const char* className, const char* title, unsigned long style, const RECT& rect, HWND parent,
                HMENU menu, HINSTANCE instance);
    void create(const wchar_t* className, const wchar_t* title, unsigned long style, const RECT& rect, HWND parent,
                HMENU menu, HINSTANCE instance);
    void create(const WindowClass& windowClass, const char* title, unsigned long style, const RECT& rect,
                HWND parent, HMENU menu, HINSTANCE instance);
    void create(const WindowClass& windowClass, const wchar_t* title, unsigned long style, const RECT& rect,
                HWND parent, HMENU menu, HINSTANCE instance);
    void subclass(HWND h);
    void subclass(HWND parent, unsigned short id);
    void unsubclass();
    void attach(HWND parent, unsigned short id);
    void destroy();

    HWND getWindowHandle() const { return handle; }
    operator HWND() const { return handle; }
    bool isOpen() const { return handle != nullptr; }
    explicit operator bool() const { return handle != nullptr; }
    bool operator!() const { return handle == nullptr; }
    bool isSubclass() const { return previousProcedure != nullptr; }
    bool ownsHandle() const { return ownsWindow; }

    // ---- Lookup ----------------------------------------------------------
    static Pointer<Window> getWindowFromHandle(HWND h, bool create);
    Pointer<Window> getDialogItem(int id, bool create) const;
    Pointer<Window> getParent() const;
    Pointer<Window> setFocus() const;
    Pointer<Window> captureMouse() const;
    static Pointer<Window> getMouseOwner();
    static void releaseMouse();

    // ---- Dispatch and the message loop --------------------------------------
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static bool getThreadMessage(MSG& msg, UINT min = 0, UINT max = 0);
    bool getMessage(MSG& msg, UINT min = 0, UINT max = 0) const;
    static LRESULT dispatchMessage(const MSG& msg);
    // The number of windows that have an object of the library.
    static std::size_t getRegisteredCount();

    // ---- Message boxes ------------------------------------------------------
    static int messageBox(HWND owner, const char* text, const char* caption, unsigned type);
    static int messageBox(HWND owner, const wchar_t* text, const wchar_t* caption, unsigned type);
    int messageBox(const char* text, const char* caption, unsigned type) const;
    int messageBox(const wchar_t* text, const wchar_t* caption, unsigned type) const;

    // ---- One call each ------------------------------------------------------
    bool show(unsigned cmd) const;
    bool hide() const;
    void move(int x, int y, int width, int height, bool repaint);
    void move(const RECT& rect, bool repaint);
    Rect getClientRectangle() const;
    Rect getWindowRectangle() const;
    Size getClientSize() const;
    Size getWindowSize() const;
    Point getClientPosition() const;
    Point getWindowPosition() const;
    bool enable(bool enabled) const;

    void setText(const char* text) const;
    void setText(const wchar_t* text) const;
    unsigned getTextLengthA() const;
    unsigned getTextLengthW() const;
    BasicString<char> getTextA() const;
    BasicString<wchar_t> getTextW() const;
    BasicString<char> getTextT() const { return getTextA(); }
    BasicString<char> getClassNameA() const;
    BasicString<wchar_t> getClassNameW() const;
    BasicString<char> getTextA(int id) const;
    BasicString<wchar_t> getTextW(int id) const;
    void setText(int id, const char* text) const;
    void setText(int id, const wchar_t* text) const;
    int getInt(int id) const;
    unsigned getUInt(int id) const;
    void setInt(int id, int value) const;
    void setInt(int id, unsigned value) const;
    void setCheck(int id, check state) const;
    void setCheck(int id, bool state) const;
    check getCheck(int id) const;
    bool isChecked(int id) const;
    unsigned short getID() const;

    unsigned long getStyle() const;
    unsigned long setStyle(unsigned long style) const;
    unsigned long setStyle(unsigned long mask, unsigned long value) const;
    unsigned long getExtendedStyle() const;
    unsigned long setExtendedStyle(unsigned long style) const;
    unsigned long setExtendedStyle(unsigned long mask, unsigned long value) const;

    void setPosition(HWND after, int x, int y, int cx, int cy, unsigned flags) const;
    void setPosition(HWND after, const RECT& rect, unsigned flags) const;
    void setPosition(HWND after, const POINT& position, const SIZE& size, unsigned flags) const;
    void setPosition(HWND after, unsigned flags) const;
    void setPosition(int x, int y, unsigned flags) const;
    void setPosition(const POINT& position, unsigned flags) const;
    void setSize(int cx, int cy, unsigned flags) const;
    void invalidate(bool erase);
    void invalidate(const RECT& rect, bool erase);
    void update() const;
    void scroll(int dx, int dy, const RECT* scrollRect, const RECT* clip) const;
    void scroll(const SIZE& d, const RECT* scrollRect, const RECT* clip) const;
    void scroll(const POINT& d, const RECT* scrollRect, const RECT* clip) const;

    void getScrollInfo(int bar, SCROLLINFO& info) const;
    SCROLLINFO getScrollInfo(int bar, unsigned mask) const;
    int setScrollInfo(int bar, const SCROLLINFO& info, bool redraw) const;
    unsigned getScrollPageSize(scroll_bar_type bar) const;
    int getScrollPosition(scroll_bar_type bar) const;
    int setScrollPosition(scroll_bar_type bar, int position, bool redraw) const;
    void setScrollRange(scroll_bar_type bar, int min, int max, bool redraw) const;
    void showScrollBar(scroll_bar_type bar, bool visible) const;
    bool enableScrollBar(unsigned bar, unsigned arrows);
    bool hasScrollBar(scroll_bar_type bar) const;

    void startTimer(unsigned id, unsigned interval);
    void stopTimer(unsigned id);
    int trackPopupMenu(HMENU menu, int x, int y, unsigned flags) const;
    int trackPopupMenu(HMENU menu, const POINT& p, unsigned flags) const;
    void drawMenuBar() const;
    // The window's menu bar, which the window destroys: not owned (empty when none).
    Menu getMenu() const;
    Point toScreen(const POINT& p) const;
    Point fromScreen(const POINT& p) const;
    HICON setIcon(HICON icon, bool big) const;
    HICON getIcon(icon_size size) const;
    void acceptDraggedFiles(bool accept) const;
    bool isUnicode() const;
    bool isIconic() const;

    LRESULT sendMessageA(UINT message, WPARAM wParam, LPARAM lParam) const;
    LRESULT sendMessageW(UINT message, WPARAM wParam, LPARAM lParam) const;
    LRESULT sendMessageT(UINT message, WPARAM wParam, LPARAM lParam) const;
    BOOL postMessageA(UINT message, WPARAM wParam, LPARAM lParam) const;
    BOOL postMessageW(UINT message, WPARAM wParam, LPARAM lParam) const;
    BOOL postMessageT(UINT message, WPARAM wParam, LPARAM lParam) const;

protected:
    // ---- Virtual handlers, in the order of their slots ----------------------
    virtual LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void defaultWindowProc();
    virtual void onCommand(Window* control, unsigned short code, unsigned short id);
    virtual bool onReflectedCommand(unsigned short code);
    virtual void onHScroll(Window* bar, unsigned short code, unsigned short position);
    virtual void onVScroll(Window* bar, unsigned short code, unsigned short position);
    virtual void onDestroy();
    virtual LRESULT onNotify(const NMHDR& header);
    virtual void onDoubleClick(const NMHDR& header);
    virtual void onNotification(const NMTREEVIEWW& notification);
    virtual void onNotification(const NMTREEVIEWA& notification);
    virtual void onNotification(const NMLISTVIEW& notification);
    virtual void onNCDestroy();
    virtual void onDrawItem(unsigned int id, const DRAWITEMSTRUCT& item);
    virtual void onMeasureItem(unsigned int id, MEASUREITEMSTRUCT& item);
    virtual void onDeleteItem(unsigned int id, const DELETEITEMSTRUCT& item);
    virtual OwnerDrawable::compare_result onCompareItem(unsigned int id, const COMPAREITEMSTRUCT& item);
    virtual void onMouseMove(unsigned short keys, const Point& p);
    virtual void onMouseWheel(unsigned short keys, short delta, const Point& p);
    virtual void onLeftButtonDown(unsigned short keys, const Point& p);
    virtual void onLeftButtonUp(unsigned short keys, const Point& p);
    virtual void onLeftButtonDoubleClick(unsigned short keys, const Point& p);
    virtual void onMiddleButtonDown(unsigned short keys, const Point& p);
    virtual void onMiddleButtonUp(unsigned short keys, const Point& p);
    virtual void onMiddleButtonDoubleClick(unsigned short keys, const Point& p);
    virtual void onRightButtonDown(unsigned short keys, const Point& p);
    virtual void onRightButtonUp(unsigned short keys, const Point& p);
    virtual void onRightButtonDoubleClick(unsigned short keys, const Point& p);
    virtual void onKeyDown(unsigned int key, unsigned short repeat, unsigned char scanCode, bool extended,
                           bool wasDown);
    virtual void onKeyUp(unsigned int key, unsigned char scanCode, bool extended);
    virtual void onTimer(unsigned int id);
    virtual void onPaint();
    virtual HICON onQueryDragIcon();
    virtual void onSize(unsigned int type, const Size& size);
    virtual void onSizing(unsigned int edge, Rect& rect);
    virtual void onMoving(Rect& rect);
    virtual void onMove(const Point& p);
    virtual void onEnterSizeMove();
    virtual void onExitSizeMove();
    virtual void onDroppedFiles(const Point& p, bool inClientArea, const std::list<BasicString<wchar_t>>& files);

    // ---- Helpers of subclasses ------------------------------------------------
    void setWindowHandle(HWND h, bool owns);
    message_result processMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT defaultWindowProc(UINT message, WPARAM wParam, LPARAM lParam) const;
    void markLastMessageUnhandled();
    // Window longs are pointer-sized: styles, procedures and user data alike.
    LONG_PTR getWindowLong(int index) const;
    LONG_PTR setWindowLong(int index, LONG_PTR value) const;

    HWND handle;
    bool ownsWindow;
    WNDPROC previousProcedure;
    // The records of the messages in dispatch; each lives in the dispatching frame.
    std::vector<message_record*> messageStack;

private:
    friend class LifeWatch;
    // Flags of the frames that must learn when this object is destroyed under them.
    std::vector<bool*> lifeWatchers;

    static bool getMessage(MSG& msg, HWND window, UINT min, UINT max);
    // The record of the message on top of the stack; throws when there is none.
    message_record& topRecord();
    void popRecord(message_record* record) noexcept;
    void handleDroppedFiles(WPARAM drop);
    // Takes this object out of its window: the procedure back, the map entry out.
    void detach() noexcept;
};

} // namespace vesk
