// The driver every window suite shares: a watchdog that ends a hung suite, the
// module and one window class, the text of a failure, the
// thread's dialogs, and a script of steps run one per timer tick inside
// whatever modal loop is running (a dialog's, a sheet's, a menu's), as a user
// would press and type.
#pragma once

#include <vesk/errors/exception.h>
#include <vesk/gui/window.h>
#include <vesk/gui/window_class.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace vesk_test {

struct Watchdog {
    explicit Watchdog(unsigned seconds) {
        CloseHandle(CreateThread(nullptr, 0, body, reinterpret_cast<LPVOID>(ULONG_PTR(seconds)), 0, nullptr));
    }
    static DWORD WINAPI body(LPVOID seconds) {
        Sleep(DWORD(reinterpret_cast<ULONG_PTR>(seconds)) * 1000);
        std::fputs("watchdog: the suite ran too long\n", stderr), std::fflush(stderr);
        return TerminateProcess(GetCurrentProcess(), 3);
    }
};

inline HINSTANCE instance() { return GetModuleHandleA(nullptr); }

inline vesk::WindowClass& sharedClass() {
    static vesk::WindowClass windowClass(CS_DBLCLKS, 0, nullptr, unsigned(COLOR_BTNFACE), LoadCursorA(nullptr, IDC_ARROW), instance());
    return windowClass;
}

// The library's own text of what a call threw, or "(nothing thrown)".
template <class F> std::string failureOf(F f) try {
    return f(), "(nothing thrown)";
} catch (const vesk::WindowsError& e) {
    return e.getDescription();
} catch (const std::exception& e) {
    return std::string("other: ") + e.what();
}

// A table of calls that must fail, each with the library's text of the failure.
using Failures = std::initializer_list<std::pair<std::string, std::function<void()>>>;
inline void expectFailures(Failures failures) {
    for (const auto& f : failures)
        EXPECT_EQ(f.first, failureOf(f.second));
}

// Its parts as text, one space between them (a wide text narrowed); written
// text{...}, so that the parts are read from left to right.
template <class T> void put(std::ostream& out, const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::wstring>) {
        const std::wstring wide(value);
        out << std::string(wide.begin(), wide.end());
    } else {
        out << value;
    }
}
struct text : std::string {
    template <class... A> text(const A&... parts) {
        std::ostringstream out;
        ((put(out, parts), out << ' '), ...);
        assign(out.str(), 0, out.str().size() - 1);
    }
};

// The parts, read from left to right as text{...}, against the text expected.
#define EXPECT_TEXT(expected, ...) EXPECT_EQ(std::string(expected), std::string(vesk_test::text{__VA_ARGS__}))

// A window of the shared class: a popup, or a child of `parent` under `id`.
inline vesk::Window& open(vesk::Window& w, HWND parent = nullptr, unsigned short id = 0, const char* title = "") {
    w.create(sharedClass(), title, parent ? WS_CHILD : WS_POPUP, vesk::Rect(0, 0, 400, 300), parent,
             HMENU(UINT_PTR(id)), instance());
    return w;
}

// A raw control (or a plain popup when `parent` is null) of class `cls` under `id`.
inline HWND rawChild(HWND parent, const char* cls, UINT_PTR id, DWORD style = 0) {
    return CreateWindowExA(0, cls, "x", (parent ? WS_CHILD | WS_VISIBLE : WS_POPUP) | style, 0, 0, 100, 60, parent,
                           HMENU(id), instance(), nullptr);
}

// The dialogs (class #32770) of this thread, visible ones only when asked.
inline std::vector<HWND> threadDialogs(bool visibleOnly) {
    std::vector<HWND> found;
    for (HWND h = nullptr; (h = FindWindowExA(nullptr, h, "#32770", nullptr));)
        if (GetWindowThreadProcessId(h, nullptr) == GetCurrentThreadId() && (!visibleOnly || IsWindowVisible(h)))
            found.push_back(h);
    return found;
}

// The first visible dialog of this thread (a common dialog once it is up).
inline HWND visibleDialog() { return threadDialogs(true).empty() ? nullptr : threadDialogs(true).front(); }

// Steps run one per tick (every 20 ms) once target() gives a live window, each
// handed that window; `show` runs the modal loop the steps drive.
struct TimerScript {
    using Step = std::function<void(HWND)>;
    std::function<HWND()> target;
    std::vector<Step> steps;
    std::size_t next = 0;

    template <class Show> auto run(Show show) -> decltype(show()) {
        current() = this;
        struct Stop {
            UINT_PTR timer = SetTimer(nullptr, 0, 20, &tick);
            ~Stop() { KillTimer(nullptr, timer), current() = nullptr; }
        } stop;
        return show();
    }
    static TimerScript*& current() { static TimerScript* running = nullptr; return running; }
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        TimerScript* s = current();
        if (HWND h = s ? s->target() : nullptr)
            if (IsWindow(h) && s->next < s->steps.size())
                s->steps[s->next++](h);
    }
};

} // namespace vesk_test
