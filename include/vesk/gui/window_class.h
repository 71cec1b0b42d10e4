// WindowClass: a shared, counted registration of a window class whose procedure
// is Window::windowProc. Objects made with the same arguments share one class,
// registered by the first and unregistered when the last lets go of it. The
// class name the system sees describes the arguments, for example
//   "Vesk++ WindowClass: Style=3, Icon=00000000, Brush=00000006, Cursor=00010012, Menu=0, Instance=00400000"
// (handles in as many digits as a pointer has).
#pragma once

#include <vesk/config.h>

#include <cstddef>
#include <map>
#include <string>

namespace vesk {

class CriticalSection;

class VESK_API WindowClass {
public:
    WindowClass();
    WindowClass(unsigned style, int menu, HICON icon, HBRUSH background, HICON cursor, HINSTANCE instance);
    // The background is the system colour colorIndex (a COLOR_ value).
    WindowClass(unsigned style, int menu, HICON icon, unsigned colorIndex, HICON cursor, HINSTANCE instance);
    // A copy is one more use of the same class.
    WindowClass(const WindowClass& other);
    WindowClass& operator=(const WindowClass& other);
    ~WindowClass();

    void create(unsigned style, int menu, HICON icon, HBRUSH background, HICON cursor, HINSTANCE instance);
    void create(unsigned style, int menu, HICON icon, unsigned colorIndex, HICON cursor, HINSTANCE instance);
    // Gives this object's use back; the last use unregisters the class. The object
    // is empty afterwards, also when the unregistration fails and throws (the class
    // then stays registered and is unregistered by the next last use).
    void close();

    explicit operator bool() const;
    bool operator!() const;
    ATOM getAtom() const;
    HINSTANCE getInstance() const;
    // The class name: the description of the arguments.
    std::string getName() const;

    // The name a class with these arguments has.
    static std::string describe(unsigned style, int menu, HICON icon, HBRUSH background, HICON cursor,
                                HINSTANCE instance);
    // The number of objects that hold the class with this name (0 when none does).
    static unsigned getUseCount(const std::string& name);

private:
    struct Data {
        HINSTANCE instance;
        ATOM atom;
        unsigned useCount;
    };
    using ClassMap = std::map<std::string, Data>;

    static ClassMap& Map();
    static vesk::CriticalSection& CriticalSection();

    ClassMap::iterator entry;
};

} // namespace vesk
