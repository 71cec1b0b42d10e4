// Child program of the debug-output suite: writes through trace, dbg and wdbg while
// the suite reads its debug events. "edges" runs the single-thread cases in a fixed
// order; "threads" lets several threads write lines in pieces of mixed size at once.
#include "debug_lines.h"

#include <vesk/errors/debug.h>

#include <cstring>
#include <thread>
#include <vector>

using namespace vesk;

namespace {

void edges() {
    trace("a\n");
    trace("b");
    trace("c\n");
    trace(""); // at a line start: the prefix goes out, and the next text has none
    trace("d");
    trace(""); // inside a line: nothing changes
    trace("\n");
    trace(L"");
    trace(L"e\n");
    OutputDebugStringA("#mark1");
    dbg << 'x';
    OutputDebugStringA("#mark2");
    dbg << std::flush;
    dbg << "y" << std::endl;
    dbg << std::flush; // nothing pending: nothing sent, the line start kept
    dbg << "z" << 7 << std::endl;
    trace(L"w\n");
    wdbg << L"v" << 42 << std::endl;
    wdbg << debug_lines::longWide() << std::endl;
}

// Writes one line in pieces of changing size: single characters and blocks.
template <class C> void writeLine(std::basic_ostream<C>& out, const std::basic_string<C>& line) {
    static const std::size_t sizes[] = {1, 5, 1, 17, 64, 2, 300};
    for (std::size_t at = 0, step = 0, n; at < line.size(); at += n) {
        n = std::min(sizes[step++ % 7], line.size() - at);
        n == 1 ? out.put(line[at]) : out.write(line.data() + at, static_cast<std::streamsize>(n));
    }
    out << std::endl;
}

void threads() {
    std::vector<std::thread> workers;
    for (int t = 0; t < debug_lines::threadCount; ++t)
        workers.emplace_back([t] {
            for (int i = 0; i < debug_lines::lineCount; ++i) {
                const std::string line = debug_lines::line(t, i);
                i % 2 ? writeLine(dbg, line) : writeLine(wdbg, std::wstring(line.begin(), line.end()));
            }
        });
    for (auto& w : workers) w.join();
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "edges") == 0) edges();
    if (argc > 1 && std::strcmp(argv[1], "threads") == 0) threads();
    return 0;
}
