#pragma once

#include <cstdint>
#include <string_view>

namespace corvid {

// The Levenshtein distance over bytes with unit costs: the least number of byte
// insertions, deletions and substitutions that turn the first text into the second.
// Symmetric; no limit on the texts' lengths. Computed bit-parallel, so a pair costs
// about ceil(m / 64) x n word operations for lengths m <= n, and memory linear in n.
std::int32_t EditDistance(std::string_view first, std::string_view second);

}  // namespace corvid
