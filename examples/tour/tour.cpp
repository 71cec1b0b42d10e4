// Vesk++ tour: a short walk through each finished subsystem, the way an
// application would call it. Every stop prints what it did.
#include "tour.h"

#include <windows.h>

#include <vesk/system/module.h>

#include <algorithm>
#include <exception>
#include <vector>

namespace tour {
namespace {
struct Entry {
    int order;
    const char* title;
    StopFunction run;
};
std::vector<Entry>& stops() {
    static std::vector<Entry> all;
    return all;
}
} // namespace

Stop::Stop(int order, const char* title, StopFunction run) { stops().push_back({order, title, run}); }

std::string besideProgram(const char* name) {
    // A narrow path may take more than MAX_PATH bytes in a UTF-8 program.
    std::string folder = vesk::WindowsModule(GetModuleHandleA(nullptr)).getFilenameA();
    folder.erase(folder.find_last_of("\\/") + 1);
    return folder + name;
}

} // namespace tour

int main() {
    auto& all = tour::stops();
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.order < b.order; });
    int failed = 0;
    for (const auto& stop : all) {
        std::printf("== %s ==\n", stop.title);
        try {
            stop.run();
        } catch (const std::exception& e) {
            std::printf("!! stop failed: %s\n", e.what());
            ++failed;
        }
        std::printf("\n");
    }
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}
