// WindowsFile against raw CreateFileA/WriteFile/ReadFile: a file of 64 MiB written
// and then read sequentially in blocks of 4 KiB and 64 KiB, open and close included.
// Goal at 64 KiB: ratio <= 1.05. VESK_BENCH_QUICK=1 takes 4 MiB and one repeat.
#include "harness.h"

#include <vesk/io/temporary_file.h>
#include <vesk/io/windows_file.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {


// The four jobs take turns in every repeat, so that a change in the machine's load
// (or in the host's page cache) hits subject and baseline alike. Even repeats keep
// the median an average of the two orders.
void run(const char* path, unsigned long long total, unsigned block) {
    std::vector<char> data(block, 'v');
    const unsigned long long blocks = total / block;
    auto subjectWrite = [&] {
        vesk::WindowsFile file(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS);
        vesk::OutputStream& out = file; // as callers use it, through the interface
        for (unsigned long long i = 0; i < blocks; ++i) out.write(data.data(), block);
    };
    auto rawWriteJob = [&] {
        HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD n;
        for (unsigned long long i = 0; i < blocks; ++i) WriteFile(h, data.data(), block, &n, nullptr);
        CloseHandle(h);
    };
    auto subjectRead = [&] {
        vesk::WindowsFile file(path, GENERIC_READ, FILE_SHARE_READ);
        vesk::InputStream& in = file;
        unsigned long long got = 0;
        for (unsigned long long i = 0; i < blocks; ++i) got += in.read(data.data(), block);
        bench::keep(got);
    };
    auto rawReadJob = [&] {
        HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        DWORD n;
        unsigned long long got = 0;
        for (unsigned long long i = 0; i < blocks; ++i) ReadFile(h, data.data(), block, &n, nullptr), got += n;
        CloseHandle(h);
        bench::keep(got);
    };
    subjectWrite(), rawWriteJob(), subjectRead(), rawReadJob(); // warm-up
    std::vector<double> w, rw, r, rr;
    for (int i = 0, n = bench::repeats(8); i < n; ++i) {
        // Who goes first alternates too: a read right after the file was rewritten
        // costs more than the read after it.
        if (i % 2 == 0) {
            w.push_back(bench::timed(subjectWrite)), rw.push_back(bench::timed(rawWriteJob));
            r.push_back(bench::timed(subjectRead)), rr.push_back(bench::timed(rawReadJob));
        } else {
            rw.push_back(bench::timed(rawWriteJob)), w.push_back(bench::timed(subjectWrite));
            rr.push_back(bench::timed(rawReadJob)), r.push_back(bench::timed(subjectRead));
        }
    }
    const double write = bench::medianOf(w), rawWrite = bench::medianOf(rw), read = bench::medianOf(r), rawRead = bench::medianOf(rr);
    char subject[64], baseline[64];
    std::snprintf(subject, sizeof subject, "WindowsFile write, %2u KiB blocks", block / 1024);
    std::snprintf(baseline, sizeof baseline, "WriteFile, %2u KiB", block / 1024);
    bench::report(subject, write, baseline, rawWrite, double(blocks));
    std::snprintf(subject, sizeof subject, "WindowsFile read, %2u KiB blocks", block / 1024);
    std::snprintf(baseline, sizeof baseline, "ReadFile, %2u KiB", block / 1024);
    bench::report(subject, read, baseline, rawRead, double(blocks));
}

} // namespace

int main() {
    const unsigned long long total = (bench::repeats() == 1 ? 4ull : 64ull) << 20;
    vesk::TemporaryFile file;
    file.create();
    std::printf("Times are per block; %llu MiB per pass.\n", total >> 20);
    for (unsigned block : {4096u, 65536u}) run(file.getPathA().c_str(), total, block);
    return 0;
}
