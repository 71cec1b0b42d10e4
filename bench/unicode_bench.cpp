// Narrow<->wide conversion and BasicString formatting in a UTF-8 process against
// a 1252 process. This program is built twice: unicode_bench (no manifest, code
// page 1252) drives, and unicode_bench_utf8 (the UTF-8 manifest) measures the
// same jobs when started with --measure <file>; the two take turns.
#include "harness.h"

#include <vesk/system/process.h>
#include <vesk/text/string.h>

#include <cstdio>
#include <string>

using vesk::String;
using vesk::WString;

namespace {

const int n = 100000;

struct Times {
    double toWide, toNarrow, format;
};

// One run of each job over a text every code page here holds.
Times measure() {
    const WString wide = L"Gr\u00FC\u00DFe aus K\u00F6ln, \u20AC 12,50 f\u00FCr caf\u00E9 cr\u00E8me";
    const String narrow(wide.c_str());
    Times t;
    t.toWide = bench::median([&] {
        for (int i = 0; i < n; ++i) bench::keep(WString(narrow.c_str()).size());
    });
    t.toNarrow = bench::median([&] {
        for (int i = 0; i < n; ++i) bench::keep(String(wide.c_str()).size());
    });
    const String pattern = "%2 an %1 (%3)";
    t.format = bench::median([&] {
        for (int i = 0; i < n; ++i) {
            bench::keep(String::fromFormat("%s: %d", narrow.c_str(), i).size());
            bench::keep(pattern.format(narrow.c_str(), "K\xC3\xB6ln", "x").size());
        }
    });
    return t;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--measure") {
        const Times t = measure();
        FILE* out = std::fopen(argv[2], "w");
        if (!out) return 1;
        std::fprintf(out, "%u %.9f %.9f %.9f\n", GetACP(), t.toWide, t.toNarrow, t.format);
        std::fclose(out);
        return 0;
    }
    // The UTF-8 build lies beside this one; the runs alternate so that a change
    // of load on the machine falls on both.
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const String utf8 = String(self).getDirectory() + "\\unicode_bench_utf8.exe";
    const String results = String(self).getDirectory() + "\\unicode_bench.txt";
    std::vector<double> ansi[3], unicode[3];
    for (int round = 0; round < bench::repeats(5); ++round) {
        vesk::Process child(("\"" + utf8 + "\" --measure \"" + results + "\"").c_str(), 0);
        child.wait(INFINITE);
        const Times own = measure();
        unsigned codePage = 0;
        Times other{};
        FILE* in = std::fopen(results.c_str(), "r");
        if (!in || std::fscanf(in, "%u %lf %lf %lf", &codePage, &other.toWide, &other.toNarrow, &other.format) != 4) {
            std::printf("the UTF-8 build gave no times\n");
            return 1;
        }
        std::fclose(in);
        if (codePage != CP_UTF8) {
            std::printf("the UTF-8 build runs in code page %u\n", codePage);
            return 1;
        }
        ansi[0].push_back(own.toWide), ansi[1].push_back(own.toNarrow), ansi[2].push_back(own.format);
        unicode[0].push_back(other.toWide), unicode[1].push_back(other.toNarrow), unicode[2].push_back(other.format);
    }
    DeleteFileA(results.c_str());
    std::printf("narrow<->wide and formatting, %d texts per run, UTF-8 process against code page %u\n", n, GetACP());
    const char* names[3] = {"narrow -> wide", "wide -> narrow", "fromFormat + format"};
    for (int i = 0; i < 3; ++i)
        bench::report((String(names[i]) + " (UTF-8)").c_str(), bench::medianOf(unicode[i]),
                      (String(names[i]) + " (1252)").c_str(), bench::medianOf(ansi[i]), n);
    return 0;
}
