// Message dispatch: 10^6 messages to a handler through the library's window
// procedure against a raw WNDPROC with a switch, both through SendMessage and by
// calling the procedure directly; then the same with 1, 100 and 10^4 live
// windows of the library, the messages going round all of them, to show that
// the cost per message does not grow with the number of windows. Last, a
// dialog item's text of 1 MiB read back whole, against one raw read into a
// buffer of the known length: the growing reader must stay within a small
// factor of it.
#include "harness.h"

#include <vesk/gdi/geometry.h>
#include <vesk/gui/window.h>
#include <vesk/gui/window_class.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

volatile unsigned long long received = 0;

LRESULT CALLBACK rawProcedure(HWND h, UINT m, WPARAM w, LPARAM l) {
    switch (m) {
    case WM_TIMER: received = received + w; return 0;
    default: return DefWindowProcA(h, m, w, l);
    }
}

class Counter : public vesk::Window {
protected:
    void onTimer(unsigned id) override { received = received + id; }
};

// The system calls a procedure through a pointer; so does the baseline, so that
// the compiler cannot fold the raw switch into the loop.
WNDPROC volatile rawCall = rawProcedure;

// Subject and baseline run in turns, so that both see the same load of the
// machine; each gets the median of its runs.
template <class A, class B> void compare(const char* subject, A a, const char* baseline, B b, double operations) {
    a();
    b();
    std::vector<double> ta, tb;
    for (int i = 0, n = bench::repeats(); i < n; ++i) {
        double start = bench::seconds();
        a();
        ta.push_back(bench::seconds() - start);
        start = bench::seconds();
        b();
        tb.push_back(bench::seconds() - start);
    }
    std::sort(ta.begin(), ta.end());
    std::sort(tb.begin(), tb.end());
    bench::report(subject, ta[ta.size() / 2], baseline, tb[tb.size() / 2], operations);
}

bool quick() {
    const char* q = std::getenv("VESK_BENCH_QUICK");
    return q && *q == '1';
}

} // namespace

int main() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    const int n = quick() ? 20000 : 1000000;
    std::printf("window dispatch, %d messages per run\n", n);

    WNDCLASSA raw{};
    raw.lpfnWndProc = rawProcedure;
    raw.hInstance = instance;
    raw.lpszClassName = "Vesk bench raw";
    RegisterClassA(&raw);
    HWND rawWindow = CreateWindowExA(0, "Vesk bench raw", "raw", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance,
                                     nullptr);
    vesk::WindowClass windowClass(0, 0, nullptr, unsigned(COLOR_WINDOW), nullptr, instance);
    Counter counter;
    counter.create(windowClass, "library", WS_POPUP, vesk::Rect(0, 0, 10, 10), nullptr, nullptr, instance);
    HWND libraryWindow = counter;

    auto sendRaw = [&] {
        for (int i = 0; i < n; ++i) SendMessageA(rawWindow, WM_TIMER, WPARAM(i), 0);
    };
    auto directRaw = [&] {
        for (int i = 0; i < n; ++i) rawCall(rawWindow, WM_TIMER, WPARAM(i), 0);
    };
    compare("SendMessage -> Window::windowProc", [&] {
        for (int i = 0; i < n; ++i) SendMessageA(libraryWindow, WM_TIMER, WPARAM(i), 0);
    }, "SendMessage -> raw switch", sendRaw, n);
    compare("Window::windowProc called", [&] {
        for (int i = 0; i < n; ++i) vesk::Window::windowProc(libraryWindow, WM_TIMER, WPARAM(i), 0);
    }, "raw switch called", directRaw, n);

    // Live windows: the messages go round all of them.
    std::vector<std::unique_ptr<Counter>> windows;
    std::vector<HWND> handles;
    for (int live : {1, 100, quick() ? 1000 : 10000}) {
        while (int(windows.size()) < live) {
            windows.push_back(std::make_unique<Counter>());
            windows.back()->create(windowClass, "live", WS_POPUP, vesk::Rect(0, 0, 10, 10), nullptr, nullptr,
                                   instance);
            handles.push_back(*windows.back());
        }
        const std::size_t count = handles.size();
        char subject[64];
        std::snprintf(subject, sizeof subject, "windowProc called, %d windows", live);
        compare(subject, [&] {
            for (int i = 0; i < n; ++i) vesk::Window::windowProc(handles[std::size_t(i) % count], WM_TIMER, WPARAM(i), 0);
        }, "raw switch called", directRaw, n);
        std::snprintf(subject, sizeof subject, "SendMessage, %d windows", live);
        compare(subject, [&] {
            for (int i = 0; i < n; ++i) SendMessageA(handles[std::size_t(i) % count], WM_TIMER, 1, 0);
        }, "SendMessage -> raw switch", sendRaw, n);
    }
    windows.clear();

    const std::string text(std::size_t(1) << 20, 'v');
    HWND label = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, libraryWindow, HMENU(UINT_PTR(7)),
                                 instance, nullptr);
    SetWindowTextA(label, text.c_str());
    std::string buffer(text.size() + 1, '\0');
    const int reads = quick() ? 5 : 50;
    compare("Window::getTextA(id), 1 MiB", [&] {
        for (int i = 0; i < reads; ++i) bench::keep(counter.getTextA(7).size());
    }, "GetDlgItemTextA, known length", [&] {
        for (int i = 0; i < reads; ++i) bench::keep(GetDlgItemTextA(libraryWindow, 7, &buffer[0], int(buffer.size())));
    }, reads);
    DestroyWindow(rawWindow);
    bench::keep(static_cast<unsigned long long>(received));
    return 0;
}
