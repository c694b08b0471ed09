// Summaries of timed runs. Absolute times under Wine on a shared machine are noise; what the
// benchmarks report is the ratio of each A run to the B run of the same pair, A and B alternating.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace tessivar::bench {

struct Summary {
    std::size_t count = 0;
    double median = 0;
    double q1 = 0;  // quartiles, interpolated
    double q3 = 0;
    double min = 0;
    double max = 0;
};

inline double Quantile(const std::vector<double>& sorted, double q)
{
    if (sorted.empty())
        return 0;
    const double position = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(position);
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    const double fraction = position - static_cast<double>(below);
    return sorted[below] + (sorted[above] - sorted[below]) * fraction;
}

inline Summary Summarise(std::vector<double> values)
{
    Summary s;
    s.count = values.size();
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    s.median = Quantile(values, 0.5);
    s.q1 = Quantile(values, 0.25);
    s.q3 = Quantile(values, 0.75);
    s.min = values.front();
    s.max = values.back();
    return s;
}

// One pair: A and B measured back to back, in alternating order.
struct Pair {
    double a = 0;
    double b = 0;
};

inline std::vector<double> Ratios(const std::vector<Pair>& pairs)
{
    std::vector<double> ratios;
    for (const Pair& p : pairs) {
        if (p.b > 0)
            ratios.push_back(p.a / p.b);
    }
    return ratios;
}

inline void PrintTimesHeader()
{
    std::printf("| | pairs | median | IQR | min | max |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
}

// Seconds shown as milliseconds.
inline void PrintTimesRow(const std::string& label, const Summary& s)
{
    std::printf("| %s | %zu | %.1f ms | %.1f to %.1f ms | %.1f ms | %.1f ms |\n", label.c_str(), s.count,
                s.median * 1000, s.q1 * 1000, s.q3 * 1000, s.min * 1000, s.max * 1000);
}

inline void PrintRatioRow(const std::string& label, const Summary& s)
{
    std::printf("| %s | %zu | **%.3f** | %.3f to %.3f | %.3f | %.3f |\n", label.c_str(), s.count, s.median, s.q1, s.q3,
                s.min, s.max);
}

// The machine is shared: a build elsewhere can take both CPUs for seconds and land on one side of a pair.
// Each pair waits for a moment of quiet: until the CPUs were at least `wanted` idle over 200 ms (read
// from Linux's /proc/stat through Wine's Z: drive), for at most `patienceMs`. Returns the idle share seen
// last, or a negative number when /proc/stat cannot be read.
inline double WaitForQuiet(double wanted = 0.6, DWORD patienceMs = 5000)
{
    auto read = [](unsigned long long& idle, unsigned long long& total) {
        FILE* stat = std::fopen("Z:\\proc\\stat", "r");
        if (stat == nullptr)
            return false;
        unsigned long long v[8] = {};
        const int n = std::fscanf(stat, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2], &v[3],
                                  &v[4], &v[5], &v[6], &v[7]);
        std::fclose(stat);
        idle = v[3] + v[4];
        total = 0;
        for (unsigned long long x : v)
            total += x;
        return n >= 5;
    };
    const ULONGLONG deadline = GetTickCount64() + patienceMs;
    double share = -1;
    for (;;) {
        unsigned long long idle0 = 0;
        unsigned long long total0 = 0;
        unsigned long long idle1 = 0;
        unsigned long long total1 = 0;
        if (!read(idle0, total0))
            return -1;
        Sleep(200);
        if (!read(idle1, total1) || total1 == total0)
            return -1;
        share = static_cast<double>(idle1 - idle0) / static_cast<double>(total1 - total0);
        if (share >= wanted || GetTickCount64() >= deadline)
            return share;
    }
}

}  // namespace tessivar::bench
