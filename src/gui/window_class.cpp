// The shared registry of window classes.
#include <vesk/gui/window_class.h>

#include <vesk/errors/exception.h>
#include <vesk/gui/window.h>
#include <vesk/system/lock.h>

#include <iomanip>
#include <sstream>

namespace vesk {

WindowClass::ClassMap& WindowClass::Map() {
    static ClassMap map;
    return map;
}

vesk::CriticalSection& WindowClass::CriticalSection() {
    static vesk::CriticalSection section;
    return section;
}

WindowClass::WindowClass() : entry(Map().end()) {}

WindowClass::WindowClass(unsigned style, int menu, HICON icon, HBRUSH background, HICON cursor, HINSTANCE instance)
    : entry(Map().end()) {
    create(style, menu, icon, background, cursor, instance);
}

WindowClass::WindowClass(unsigned style, int menu, HICON icon, unsigned colorIndex, HICON cursor,
                         HINSTANCE instance)
    : entry(Map().end()) {
    create(style, menu, icon, colorIndex, cursor, instance);
}

WindowClass::WindowClass(const WindowClass& other) : entry(Map().end()) {
    AutoLock lock(CriticalSection());
    if (other.entry != Map().end()) {
        ++other.entry->second.useCount;
        entry = other.entry;
    }
}

WindowClass& WindowClass::operator=(const WindowClass& other) {
    if (this != &other && entry != other.entry) {
        close();
        AutoLock lock(CriticalSection());
        if (other.entry != Map().end()) {
            ++other.entry->second.useCount;
            entry = other.entry;
        }
    }
    return *this;
}

WindowClass::~WindowClass() {
    try {
        close();
    } catch (...) {
    }
}

namespace {

// Handles are written as pointers: upper-case hexadecimal, as many digits as a
// pointer has, so that no handle is cut to 32 bits.
void writeHandle(std::ostream& out, const void* handle) {
    out << std::uppercase << std::setw(int(2 * sizeof(void*))) << std::setfill('0')
        << reinterpret_cast<ULONG_PTR>(handle) << std::nouppercase;
}

} // namespace

std::string WindowClass::describe(unsigned style, int menu, HICON icon, HBRUSH background, HICON cursor,
                                  HINSTANCE instance) {
    std::ostringstream out;
    out << std::hex << "Vesk++ WindowClass: Style=" << style << ", Icon=";
    writeHandle(out, icon);
    out << ", Brush=";
    writeHandle(out, background);
    out << ", Cursor=";
    writeHandle(out, cursor);
    // Still in hexadecimal: the menu number is written in lower-case hex too.
    out << ", Menu=" << menu << ", Instance=";
    writeHandle(out, instance);
    return out.str();
}

void WindowClass::create(unsigned style, int menu, HICON icon, HBRUSH background, HICON cursor,
                         HINSTANCE instance) {
    close();
    const std::string name = describe(style, menu, icon, background, cursor, instance);
    AutoLock lock(CriticalSection());
    ClassMap::iterator found = Map().find(name);
    if (found != Map().end()) {
        ++found->second.useCount;
        entry = found;
        return;
    }
    WNDCLASSA wc{};
    wc.style = style;
    wc.lpfnWndProc = &Window::windowProc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszMenuName = MAKEINTRESOURCEA(menu & 0xFFFF);
    wc.lpszClassName = name.c_str();
    const ATOM atom = RegisterClassA(&wc);
    if (!atom)
        throw WindowsError("Can't create window class");
    entry = Map().emplace(name, Data{instance, atom, 1}).first;
}

void WindowClass::create(unsigned style, int menu, HICON icon, unsigned colorIndex, HICON cursor,
                         HINSTANCE instance) {
    create(style, menu, icon, reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(colorIndex) + 1), cursor, instance);
}

void WindowClass::close() {
    if (entry == Map().end())
        return;
    AutoLock lock(CriticalSection());
    ClassMap::iterator held = entry;
    entry = Map().end();
    if (held->second.useCount > 0)
        --held->second.useCount;
    if (held->second.useCount == 0) {
        if (!UnregisterClassA(MAKEINTATOM(held->second.atom), held->second.instance))
            throw WindowsError("Can't unregister window class");
        Map().erase(held);
    }
}

WindowClass::operator bool() const { return entry != Map().end(); }
bool WindowClass::operator!() const { return entry == Map().end(); }

ATOM WindowClass::getAtom() const { return entry != Map().end() ? entry->second.atom : 0; }
HINSTANCE WindowClass::getInstance() const { return entry != Map().end() ? entry->second.instance : nullptr; }
std::string WindowClass::getName() const { return entry != Map().end() ? entry->first : std::string(); }

unsigned WindowClass::getUseCount(const std::string& name) {
    AutoLock lock(CriticalSection());
    ClassMap::const_iterator found = Map().find(name);
    return found != Map().end() ? found->second.useCount : 0;
}

} // namespace vesk
