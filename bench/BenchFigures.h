#pragma once

// The figures a benchmark prints: the median of repeated runs with their range.

#include <algorithm>
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

}  // namespace corvid::bench
