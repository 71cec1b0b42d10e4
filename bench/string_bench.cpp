// Formatting text: BasicString::fromFormat and the positional format against
// snprintf into a std::string and against the fmt library building the same text.
#include "harness.h"

#include <vesk/text/string.h>

#include <fmt/format.h>

#include <cstdio>
#include <string>

using vesk::String;

int main() {
    const int n = 200000;
    const char* name = "report.txt";
    std::printf("string formatting, %d texts per run\n", n);

    const double veskPrintf = bench::median([&] {
        for (int i = 0; i < n; ++i) bench::keep(String::fromFormat("file %s: %d lines, %.2f%%", name, i, i * 0.5).size());
    });
    const double snprintfTime = bench::median([&] {
        for (int i = 0; i < n; ++i) {
            char buffer[2000];
            int len = std::snprintf(buffer, sizeof buffer, "file %s: %d lines, %.2f%%", name, i, i * 0.5);
            bench::keep(std::string(buffer, std::size_t(len)).size());
        }
    });
    const double fmtTime = bench::median([&] {
        for (int i = 0; i < n; ++i) bench::keep(fmt::format("file {}: {} lines, {:.2f}%", name, i, i * 0.5).size());
    });
    bench::report("String::fromFormat", veskPrintf, "snprintf + std::string", snprintfTime, n);
    bench::report("String::fromFormat", veskPrintf, "fmt::format", fmtTime, n);

    const String pattern = "%2 copied to %1 (%3 bytes)";
    const double veskPositional = bench::median([&] {
        for (int i = 0; i < n; ++i) bench::keep(pattern.format("C:\\target", name, "4096").size());
    });
    const double fmtPositional = bench::median([&] {
        for (int i = 0; i < n; ++i)
            bench::keep(fmt::format("{1} copied to {0} ({2} bytes)", "C:\\target", name, "4096").size());
    });
    const double concat = bench::median([&] {
        for (int i = 0; i < n; ++i) {
            std::string s;
            s.append(name).append(" copied to ").append("C:\\target").append(" (").append("4096").append(" bytes)");
            bench::keep(s.size());
        }
    });
    bench::report("String::format (positional)", veskPositional, "fmt::format positional", fmtPositional, n);
    bench::report("String::format (positional)", veskPositional, "std::string appends", concat, n);
    return 0;
}
