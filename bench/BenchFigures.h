#pragma once

// The figures a benchmark prints: the median of repeated runs with their range.

#include <algorithm>
#include <ctime>
#include <vector>

namespace corvid::bench {

struct SFigure {
    double median = 0, low = 0, high = 0;
};

// The median (the upper one of an even count) and the range of the values.
inline SFigure Summarise(std::vector<double> values) {
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

// The processor time of this process so far. On a shared machine it moves far
// less with the other work than the elapsed time does.
inline double ProcessorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace corvid::bench
