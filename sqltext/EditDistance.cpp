#include "sqltext/EditDistance.h"

#include "sqltext/EditDistancePattern.h"

namespace corvid {

std::int32_t EditDistance(std::string_view first, std::string_view second) {
    // The distance is symmetric; the shorter text as the pattern needs the fewest blocks.
    if (first.size() > second.size()) return CEditDistancePattern::Compute(second, nullptr, first);
    return CEditDistancePattern::Compute(first, nullptr, second);
}

}  // namespace corvid
