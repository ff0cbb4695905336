#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace corvid {

// Asked now and then during a long distance computation (from the thread that runs
// it); returning true abandons the computation.
using DistanceInterrupt = std::function<bool()>;

// One text prepared for many edit distance computations against other texts (the
// chosen statement of a similarity search). The per-byte match masks of the text are
// built once; Distance() is const and may be called from several threads at once.
class CEditDistancePattern {
public:
    explicit CEditDistancePattern(std::string_view pattern);

    // The Levenshtein distance over bytes between the pattern and the text.
    std::int32_t Distance(std::string_view text) const;

    // The same when it is at most `limit`; otherwise some value above `limit`, found
    // sooner (the texts are only compared as far as the limit needs).
    std::int32_t Distance(std::string_view text, std::int32_t limit) const;

    // The same, polling `interrupt` every few microseconds of a long computation;
    // kInterrupted when it asked to stop.
    std::int32_t Distance(std::string_view text, std::int32_t limit, const DistanceInterrupt& interrupt) const;
    static constexpr std::int32_t kInterrupted = -1;

    // A lower bound of Distance(text), found in time linear in the text: the bytes
    // one of the two has in excess over the other.
    std::int32_t LowerBound(std::string_view text) const;

    const std::string& GetText() const { return m_pattern; }

    // The distance between a pattern and a text, with the pattern's match masks
    // (256 words per 64-byte block) given, or built when null; with a limit and an
    // interrupt (or null) as above.
    static std::int32_t Compute(std::string_view pattern, const std::uint64_t* masks, std::string_view text,
                                std::int32_t limit = std::numeric_limits<std::int32_t>::max(),
                                const DistanceInterrupt* interrupt = nullptr);

private:
    std::string m_pattern;
    // 256 match masks per block of 64 pattern bytes; empty for a pattern so long that
    // its masks are better built block by block at each call.
    std::vector<std::uint64_t> m_masks;
    // How often each byte value occurs in the pattern.
    std::array<std::int32_t, 256> m_counts{};
    // For a long pattern: the positions of each byte value in it, in ascending order,
    // the values' lists one after the other (m_firstPosition[c] is where c's begins;
    // entry 256 is the end). Empty for a short pattern.
    std::vector<std::uint32_t> m_positions;
    std::array<std::uint32_t, 257> m_firstPosition{};

    // An upper bound of the distance to a text far shorter than the pattern: the cost
    // of the alignment that matches each text byte with the next equal pattern byte.
    std::int64_t GreedyAlignmentCost(std::string_view text) const;
    // The distance to such a text when that alignment's cost meets the lower bound
    // from the byte counts (then it is exact), else -1.
    std::int64_t DistanceByBounds(std::string_view text) const;
};

}  // namespace corvid
