#include "sqltext/EditDistance.h"

#include "sqltext/EditDistancePattern.h"

namespace corvid {

std::int32_t EditDistance(std::string_view first, std::string_view second) {
    // A prefix or suffix that both texts share never needs an edit, so it is left out.
    std::size_t prefix = 0;
    while (prefix < first.size() && prefix < second.size() && first[prefix] == second[prefix])
        ++prefix;
    first.remove_prefix(prefix);
    second.remove_prefix(prefix);
    std::size_t suffix = 0;
    while (suffix < first.size() && suffix < second.size() &&
           first[first.size() - 1 - suffix] == second[second.size() - 1 - suffix])
        ++suffix;
    first.remove_suffix(suffix);
    second.remove_suffix(suffix);
    // The distance is symmetric; the shorter text as the pattern needs the fewest blocks.
    if (first.size() > second.size()) return CEditDistancePattern::Compute(second, nullptr, first);
    return CEditDistancePattern::Compute(first, nullptr, second);
}

}  // namespace corvid
