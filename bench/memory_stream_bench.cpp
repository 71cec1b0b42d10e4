// MemoryOutputStream against std::vector<char> appends: 10^6 and 10^7 bytes written in
// 1-, 8- and 64-byte pieces. Time per byte stays flat from 10^6 to 10^7 when growth is
// amortised constant; a buffer that grew to the exact size on every write would not.
#include "harness.h"

#include <vesk/io/memory_stream.h>

#include <cstdio>
#include <vector>

namespace {

void run(unsigned bytes, unsigned piece) {
    static const char source[64] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ!";
    const unsigned writes = bytes / piece;
    double stream = bench::median([&] {
        vesk::MemoryOutputStream memory;
        vesk::OutputStream& out = memory; // called as users call it, through the interface
        for (unsigned i = 0; i < writes; ++i) out.write(source, piece);
        bench::keep(memory.getSize());
        bench::keep(memory.getData()[bytes / 2]);
    });
    double vector = bench::median([&] {
        std::vector<char> v;
        for (unsigned i = 0; i < writes; ++i) v.insert(v.end(), source, source + piece);
        bench::keep(v.size());
        bench::keep(v[bytes / 2]);
    });
    char subject[64], baseline[64];
    std::snprintf(subject, sizeof(subject), "MemoryOutputStream %2u-byte writes, 10^%d B", piece,
                  bytes == 1000000 ? 6 : 7);
    std::snprintf(baseline, sizeof(baseline), "vector<char> insert, %2u B", piece);
    bench::report(subject, stream, baseline, vector, bytes);
}

} // namespace

int main() {
    std::printf("Times are per byte written (op = 1 byte).\n");
    for (unsigned piece : {1u, 8u, 64u})
        for (unsigned bytes : {1000000u, 10000000u}) run(bytes, piece);
    return 0;
}
