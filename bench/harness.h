// A small benchmark harness over QueryPerformanceCounter: run a job several
// times, keep the median, and compare it with a baseline measured in the same run.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <vector>

namespace bench {

inline double seconds() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return double(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / frequency;
}

// Keeps a result alive so the optimiser cannot drop the work that made it.
inline volatile unsigned long long sink = 0;
template <class T> inline void keep(const T& value) {
    unsigned long long bits = 0;
    std::memcpy(&bits, &value, sizeof(value) < sizeof(bits) ? sizeof(value) : sizeof(bits));
    sink = sink + bits;
}

// Repeats taken for the median; the environment variable VESK_BENCH_QUICK=1 cuts it
// to one, so a smoke run of every benchmark stays short.
inline int repeats(int wanted = 7) {
    const char* quick = std::getenv("VESK_BENCH_QUICK");
    return quick && *quick == '1' ? 1 : wanted;
}

// Wall time of one run of job().
template <class Job> double timed(Job&& job) {
    const double start = seconds();
    job();
    return seconds() - start;
}

inline double medianOf(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Median wall time of job() over the harness's repeats, after one warm-up run.
// Benchmarks whose subject and baseline take turns collect their own times with
// timed() and medianOf().
template <class Job> double median(Job&& job, int wanted = 7) {
    job();
    std::vector<double> times;
    for (int i = 0, n = repeats(wanted); i < n; ++i) times.push_back(timed(job));
    return medianOf(times);
}

// Median wall times of several jobs that take turns in every repeat, the one to start
// rotating, after one warm-up run of each: a change in the machine's load (other
// programs, the host's caches) then hits every job alike.
inline std::vector<double> mediansInTurns(const std::vector<std::function<void()>>& jobs, int wanted = 9) {
    for (const auto& job : jobs) job();
    std::vector<std::vector<double>> times(jobs.size());
    for (int i = 0, n = repeats(wanted); i < n; ++i)
        for (std::size_t k = 0; k < jobs.size(); ++k) {
            const std::size_t j = (k + std::size_t(i)) % jobs.size();
            times[j].push_back(timed(jobs[j]));
        }
    std::vector<double> medians;
    for (auto& t : times) medians.push_back(medianOf(t));
    return medians;
}

// One line per comparison: both times per operation and the ratio subject/baseline
// (below 1 means the subject is faster).
inline void report(const char* subject, double subjectSeconds, const char* baseline, double baselineSeconds,
                   double operations) {
    std::printf("%-44s %10.1f ns/op   %-28s %10.1f ns/op   ratio %.2f\n", subject,
                subjectSeconds * 1e9 / operations, baseline, baselineSeconds * 1e9 / operations,
                subjectSeconds / baselineSeconds);
}

// The same line with the goal for the ratio beside it.
inline void report(const char* subject, double subjectSeconds, const char* baseline, double baselineSeconds,
                   double operations, double goal) {
    std::printf("%-44s %10.1f ns/op   %-28s %10.1f ns/op   ratio %.2f   goal <= %.2f %s\n", subject,
                subjectSeconds * 1e9 / operations, baseline, baselineSeconds * 1e9 / operations,
                subjectSeconds / baselineSeconds, goal, subjectSeconds / baselineSeconds <= goal ? "met" : "MISSED");
}

} // namespace bench
