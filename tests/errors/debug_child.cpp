// Child program of the debug-output suite: writes through trace, dbg and wdbg while
// the suite reads its debug events. "edges" runs the single-thread cases in a fixed
// order; "threads" lets several threads write lines of mixed-size pieces at once.
#include "debug_lines.h"

#include <vesk/errors/debug.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace vesk;

namespace {

void edges() {
    trace("a\n");
    trace("b");
    trace("c\n");
    trace("");
    trace("d\n");
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
    trace(L"");
    trace(L"e\n");
}

// Writes one line in pieces of changing size: single characters, blocks and numbers.
template <class C> void writeLine(std::basic_ostream<C>& out, const std::basic_string<C>& line) {
    static const std::size_t sizes[] = {1, 5, 1, 17, 64, 2, 300};
    std::size_t at = 0, step = 0;
    while (at < line.size()) {
        const std::size_t n = std::min(sizes[step++ % 7], line.size() - at);
        if (n == 1)
            out.put(line[at]);
        else
            out.write(line.data() + at, static_cast<std::streamsize>(n));
        at += n;
    }
    out << std::endl;
}

void threads() {
    std::vector<std::thread> workers;
    for (int t = 0; t < debug_lines::threadCount; ++t)
        workers.emplace_back([t] {
            for (int i = 0; i < debug_lines::lineCount; ++i) {
                const std::string line = debug_lines::line(t, i);
                if (i % 2)
                    writeLine(dbg, line);
                else
                    writeLine(wdbg, std::wstring(line.begin(), line.end()));
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
