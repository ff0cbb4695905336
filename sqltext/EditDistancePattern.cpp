#include "sqltext/EditDistancePattern.h"

#include <algorithm>
#include <cstring>
#include <limits>

// Bit-parallel Levenshtein distance after Myers, in Hyyrö's formulation for the
// global distance. Column j of the dynamic programme (one text byte) is held as the
// vertical differences D[i][j] - D[i-1][j] of the pattern rows i, one bit per row in
// two masks: Pv (+1) and Mv (-1). A 64-bit word covers 64 rows; a longer pattern is
// split into blocks of 64 rows that are run one after the other over the whole text,
// each block handing the horizontal difference of its last row at every column to
// the block below it. Row 0 of the table rises by one per column (D[0][j] = j), so
// the first block receives +1 everywhere; the distance is m plus the sum of the
// last block's horizontal differences.

namespace corvid {

namespace {

// Raised at a poll of the interrupt that asks to stop; Compute() turns it into
// kInterrupted.
struct SInterrupted {};

void Poll(const DistanceInterrupt* interrupt) {
    if (interrupt && *interrupt && (*interrupt)()) throw SInterrupted{};
}

// The interrupt is polled about once per this many block steps (a millisecond or a
// few), so that a poll may read the clock without slowing the work.
constexpr std::int64_t kPollWork = std::int64_t{1} << 20;

constexpr std::size_t kAlphabet = 256;
// Patterns up to this length keep their masks (2 KiB per 64 bytes, 32 MiB at most).
constexpr std::size_t kMaxKeptPattern = std::size_t{1} << 20;

std::size_t BlockCount(std::size_t length) {
    return (length + 63) / 64;
}

void FillMasks(std::string_view pattern, std::size_t block, std::uint64_t* masks) {
    std::memset(masks, 0, kAlphabet * sizeof(std::uint64_t));
    const std::size_t begin = block * 64;
    const std::size_t end = std::min(pattern.size(), begin + 64);
    for (std::size_t i = begin; i < end; ++i)
        masks[static_cast<unsigned char>(pattern[i])] |= std::uint64_t{1} << (i - begin);
}

// Patterns of at least this many blocks may be run in a band of diagonals.
constexpr std::size_t kBandMinBlocks = 4;
// The narrowest cutoff a band starts from.
constexpr std::int64_t kBandMinCutoff = 32;
// A block step in the band costs about this many of the whole table's.
constexpr std::int64_t kBandCostRatio = 3;

// Blocks a band for cutoff k meets in one column, at most.
std::int64_t BandBlocks(std::int64_t k) {
    return (k + 1) / 64 + 2;
}

std::int32_t Saturate(std::int64_t value) {
    return value > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                            : static_cast<std::int32_t>(value);
}

// One step of one block: column j of the block's 64 rows, given the column's match
// mask and the horizontal difference entering the block's first row (bit 0 of
// `plus` for +1, of `minus` for -1). On return `plus` and `minus` hold the
// difference leaving the row at lastBit in the same form.
__attribute__((always_inline)) inline void Step(std::uint64_t& pv, std::uint64_t& mv, std::uint64_t eq,
                                                std::uint64_t& plus, std::uint64_t& minus, int lastBit) {
    const std::uint64_t xv = eq | mv;
    const std::uint64_t eqIn = eq | minus;
    const std::uint64_t xh = (((eqIn & pv) + pv) ^ pv) | eqIn;
    std::uint64_t ph = mv | ~(xh | pv);
    std::uint64_t mh = pv & xh;
    const std::uint64_t outPlus = (ph >> lastBit) & 1;
    const std::uint64_t outMinus = (mh >> lastBit) & 1;
    ph = (ph << 1) | plus;
    mh = (mh << 1) | minus;
    pv = mh | ~(xv | ph);
    mv = ph & xv;
    plus = outPlus;
    minus = outMinus;
}

// A horizontal difference kept between two groups of blocks: bit 0 for +1, bit 1
// for -1.
constexpr std::int8_t kCarryPlus = 1;
constexpr std::int8_t kCarryMinus = 2;

// K consecutive blocks over the whole text, run as a wavefront: at step t block k
// works on column t - k, using what block k - 1 handed down at the step before. The
// K dependency chains are independent within a step, so the processor overlaps them.
// `carryIn` holds, per column, the horizontal difference entering the first block
// (null: +1 everywhere, the top of the table); `carryOut` receives the difference
// leaving the last block (null: the bottom of the table, whose differences are summed
// and returned instead). The two may be the same array.
template <int K>
std::int64_t RunBlocks(const std::uint64_t* const* masks, int lastBit, const unsigned char* text, std::size_t n,
                       const std::int8_t* carryIn, std::int8_t* carryOut) {
    std::uint64_t pv[K];
    std::uint64_t mv[K];
    std::uint64_t plus[K];
    std::uint64_t minus[K];
    for (int k = 0; k < K; ++k) {
        pv[k] = ~std::uint64_t{0};
        mv[k] = 0;
        plus[k] = 0;
        minus[k] = 0;
    }
    std::int64_t sum = 0;
    // Block k at step t, on column t - k.
    auto work = [&](std::size_t t, int k) __attribute__((always_inline)) {
        const std::size_t j = t - static_cast<std::size_t>(k);
        std::uint64_t hp;
        std::uint64_t hm;
        if (k > 0) {
            hp = plus[k - 1];
            hm = minus[k - 1];
        } else if (carryIn) {
            hp = static_cast<std::uint64_t>(carryIn[j] & kCarryPlus);
            hm = static_cast<std::uint64_t>((carryIn[j] & kCarryMinus) >> 1);
        } else {
            hp = 1;
            hm = 0;
        }
        Step(pv[k], mv[k], masks[k][text[j]], hp, hm, k == K - 1 ? lastBit : 63);
        if (k < K - 1) {
            plus[k] = hp;
            minus[k] = hm;
        } else if (carryOut) {
            carryOut[j] = static_cast<std::int8_t>(hp | (hm << 1));
        } else {
            sum += static_cast<std::int64_t>(hp) - static_cast<std::int64_t>(hm);
        }
    };
    // Blocks are walked from the last to the first within a step, so that each reads
    // what the block above handed down at the previous step before it is replaced.
    const std::size_t steps = n + K - 1;
    std::size_t t = 0;
    for (; t < steps && t < static_cast<std::size_t>(K - 1); ++t)
        for (int k = K - 1; k >= 0; --k)
            if (t >= static_cast<std::size_t>(k) && t - k < n) work(t, k);
    for (; t < n; ++t) {
#pragma GCC unroll 8
        for (int k = K - 1; k >= 0; --k)
            work(t, k);
    }
    for (; t < steps; ++t)
        for (int k = K - 1; k >= 0; --k)
            if (t >= static_cast<std::size_t>(k) && t - k < n) work(t, k);
    return sum;
}

// Match masks of 64 consecutive rows starting at any row of a pattern (the rest of
// a longer pattern once a common start is cut off byte by byte). Rows before the
// first one read as matching nothing.
struct SMaskWindow {
    const std::uint64_t* masks;  // 256 words per block of 64 rows of the whole pattern
    std::size_t blocks;          // blocks of the whole pattern
    std::size_t base;            // the row of the whole pattern that is row 0 here

    // The mask of byte c over rows row .. row + 63; row may be as low as -63.
    __attribute__((always_inline)) std::uint64_t operator()(unsigned char c, std::int64_t row) const {
        if (row < 0) {
            const std::int64_t at = static_cast<std::int64_t>(base) + row;
            const std::uint64_t word = at < 0 ? masks[c] << (-at) : Read(c, static_cast<std::size_t>(at));
            return word & (~std::uint64_t{0} << (-row));
        }
        return Read(c, base + static_cast<std::size_t>(row));
    }

    __attribute__((always_inline)) std::uint64_t Read(unsigned char c, std::size_t at) const {
        const std::size_t block = at >> 6;
        const unsigned bit = at & 63;
        if (block >= blocks) return 0;
        std::uint64_t word = masks[block * kAlphabet + c] >> bit;
        if (bit != 0 && block + 1 < blocks) word |= masks[(block + 1) * kAlphabet + c] << (64 - bit);
        return word;
    }
};

// The single-word case (a pattern of at most 64 rows), with +1 entering at the top
// of every column.
std::int64_t RunSingleWord(const SMaskWindow& window, int lastBit, const unsigned char* text, std::size_t n) {
    std::uint64_t pv = ~std::uint64_t{0};
    std::uint64_t mv = 0;
    std::int64_t sum = 0;
    const std::uint64_t last = std::uint64_t{1} << lastBit;
    const bool aligned = window.base % 64 == 0;
    const std::uint64_t* masks = window.masks + (window.base / 64) * kAlphabet;
    for (std::size_t j = 0; j < n; ++j) {
        const std::uint64_t eq = aligned ? masks[text[j]] : window.Read(text[j], window.base);
        const std::uint64_t xv = eq | mv;
        const std::uint64_t xh = (((eq & pv) + pv) ^ pv) | eq;
        std::uint64_t ph = mv | ~(xh | pv);
        std::uint64_t mh = pv & xh;
        sum += static_cast<std::int64_t>((ph & last) != 0) - static_cast<std::int64_t>((mh & last) != 0);
        ph = (ph << 1) | 1;
        mh <<= 1;
        pv = mh | ~(xv | ph);
        mv = ph & xv;
    }
    return sum;
}

// Patterns at least this long (512 KiB of masks) give way to a far shorter text,
// and keep the positions of their bytes (up to the length below) to bound the
// distance to one.
constexpr std::int64_t kSwapMinRows = 16384;
constexpr std::size_t kMaxIndexedPattern = std::size_t{1} << 30;

// The widest cutoff that one word of diagonals serves.
constexpr std::int64_t kSmallBand = 31;

// The distance within the 64 diagonals d = row - column from k - 63 to k, one word
// per column, after Hyyrö's banded form of the bit-vector method: the word of column
// j holds the vertical differences of rows j + k - 63 .. j + k, so it slides down
// one row per column and the differences are shifted up by one row instead of the
// horizontal ones down. A row leaving at the top is dropped; one entering at the
// bottom takes the least of what its neighbours inside the band give. Bit 63 walks
// down diagonal k from D[k][0] (each step adds 0 on a diagonal match, else 1) until
// it reaches the last row, which the walk then follows to the right along the bits
// below. Needs 0 <= k <= 31, m > k and |m - n| <= k, so that [-k, k] lies inside the
// band; then the result is exact when at most k and above k exactly when the
// distance is (every value is a real path's cost). Along a diagonal the values never
// fall and along a row they fall by one a column at most, so once the walk on
// diagonal k exceeds 2k + n - m the end is beyond k and the run stops.
std::int64_t RunSmallBand(const SMaskWindow& window, std::int64_t m, const unsigned char* text, std::int64_t n,
                          std::int64_t k) {
    std::uint64_t pv = ~std::uint64_t{0} << (63 - k);
    std::uint64_t mv = 0;
    std::int64_t score = k;
    const std::int64_t giveUp = 2 * k + n - m;
    std::int64_t j = 0;  // the column, whose word starts at pattern byte j + k - 63
    for (; j < m - k; ++j) {
        const std::uint64_t eq = window(text[j], j + k - 63);
        const std::uint64_t x = eq | mv;
        const std::uint64_t d0 = (((x & pv) + pv) ^ pv) | x;
        const std::uint64_t hp = mv | ~(d0 | pv);
        const std::uint64_t hm = pv & d0;
        score += static_cast<std::int64_t>((d0 >> 63) ^ 1);
        if (score > giveUp) return k + 1;
        pv = hm | ~((d0 >> 1) | hp);
        mv = (d0 >> 1) & hp;
    }
    for (std::uint64_t bit = std::uint64_t{1} << 62; j < n; ++j, bit >>= 1) {
        const std::uint64_t eq = window(text[j], j + k - 63);
        const std::uint64_t x = eq | mv;
        const std::uint64_t d0 = (((x & pv) + pv) ^ pv) | x;
        const std::uint64_t hp = mv | ~(d0 | pv);
        const std::uint64_t hm = pv & d0;
        score += static_cast<std::int64_t>((hp & bit) != 0) - static_cast<std::int64_t>((hm & bit) != 0);
        pv = hm | ~((d0 >> 1) | hp);
        mv = (d0 >> 1) & hp;
    }
    return score;
}

// The distance restricted to a band of diagonals, after Ukkonen: a path of cost at
// most k from the top left corner to the bottom right one never leaves the
// diagonals d = row - column with |d| + |d - (m - n)| <= k. The blocks of 64 rows
// that meet the band are run as a wavefront (block b on column t - b at step t);
// a block enters the band with +1 between all its rows below the block above, and
// the rows above the band rise by one per column. Those values are costs of real
// paths, so every value computed is at least the true one, and at most the cost
// of the best path inside the band: the result is exact when it is at most k, and
// above k exactly when the distance is. A path within the band crosses the last
// row of every block inside the band, so once a block has left the band with all
// its last row's values above k, so is the distance, and the run stops there.
// Needs the masks of every block. `reached` receives the last row computed.
std::int64_t RunBanded(const std::uint64_t* masks, std::size_t m, const unsigned char* text, std::size_t n,
                       std::int64_t k, std::int64_t& reached, const DistanceInterrupt* interrupt) {
    const auto blocks = static_cast<std::int64_t>(BlockCount(m));
    const auto rows = static_cast<std::int64_t>(m);
    const auto columns = static_cast<std::int64_t>(n);
    const std::int64_t shift = rows - columns;
    k = std::max<std::int64_t>({k, shift < 0 ? -shift : shift, 1});
    // Floor and ceiling of the band's diagonals (shift - k and shift + k share their parity).
    const std::int64_t low = (shift - k) >> 1;
    const std::int64_t high = -((-(shift + k)) >> 1);
    const int lastBit = static_cast<int>((m - 1) % 64);
    // Block b covers rows 64b + 1 .. bottom(b) and meets the band in the text
    // columns (0-based) first(b) .. last(b).
    auto bottom = [&](std::int64_t b) { return std::min(64 * b + 64, rows); };
    auto first = [&](std::int64_t b) { return std::max<std::int64_t>(0, 64 * b - high); };
    auto last = [&](std::int64_t b) { return std::min(columns - 1, bottom(b) - low - 1); };
    // Per block: its vertical differences, the horizontal difference it last handed
    // down, the value of its last row in its latest column and the least of those.
    const auto size = static_cast<std::size_t>(blocks);
    std::vector<std::uint64_t> pv(size), mv(size), plus(size), minus(size);
    std::vector<std::int64_t> score(size), least(size);
    std::int64_t lowBlock = 0;
    std::int64_t highBlock = -1;
    const std::int64_t steps = columns + blocks - 1;
    std::int64_t work = 0;  // block steps since the last poll
    for (std::int64_t t = 0; t < steps; ++t) {
        work += highBlock - lowBlock + 1;
        if (work >= kPollWork) {
            work = 0;
            Poll(interrupt);
        }
        const std::int64_t previousLow = lowBlock;
        while (lowBlock <= highBlock && last(lowBlock) + lowBlock < t) {
            if (least[static_cast<std::size_t>(lowBlock)] > k) {
                reached = bottom(lowBlock);
                return least[static_cast<std::size_t>(lowBlock)];
            }
            ++lowBlock;
        }
        if (highBlock + 1 < blocks && first(highBlock + 1) + highBlock + 1 <= t) {
            // The block enters the band at column t - b.
            const auto b = static_cast<std::size_t>(++highBlock);
            pv[b] = ~std::uint64_t{0};
            mv[b] = 0;
            if (t == highBlock) {
                score[b] = bottom(highBlock);
            } else {
                // The block above has already passed that column: its last row's
                // value in the column before is its score less what it handed down.
                score[b] = score[b - 1] - static_cast<std::int64_t>(plus[b - 1]) +
                           static_cast<std::int64_t>(minus[b - 1]) + bottom(highBlock) - 64 * highBlock;
            }
            least[b] = score[b];
        }
        // From the last block to the first, so that each reads what the block above
        // handed down at the previous step before it is replaced. Every block but the
        // first active one reads it from the block above.
        auto work = [&](std::int64_t index, std::uint64_t hp, std::uint64_t hm) __attribute__((always_inline)) {
            const auto b = static_cast<std::size_t>(index);
            Step(pv[b], mv[b], masks[b * kAlphabet + text[t - index]], hp, hm, index == blocks - 1 ? lastBit : 63);
            score[b] += static_cast<std::int64_t>(hp) - static_cast<std::int64_t>(hm);
            least[b] = std::min(least[b], score[b]);
            plus[b] = hp;
            minus[b] = hm;
        };
        for (std::int64_t b = highBlock; b > lowBlock; --b)
            work(b, plus[static_cast<std::size_t>(b - 1)], minus[static_cast<std::size_t>(b - 1)]);
        if (lowBlock <= highBlock) {
            // The block above handed down in this column only if it was still in the band.
            if (lowBlock > 0 && lowBlock - 1 >= previousLow)
                work(lowBlock, plus[static_cast<std::size_t>(lowBlock - 1)], minus[static_cast<std::size_t>(lowBlock - 1)]);
            else
                work(lowBlock, 1, 0);
        }
    }
    reached = rows;
    return score[size - 1];
}

// A lower bound of the distance from the texts' byte counts: an edit takes one
// byte away, adds one, or both, so neither the bytes the pattern has in excess nor
// those the text has in excess can be made up by fewer edits. `counts` holds the
// pattern's counts, or null.
std::int64_t CountBound(std::string_view pattern, const std::int32_t* patternCounts, std::string_view text) {
    std::int32_t counts[kAlphabet] = {};
    if (patternCounts) {
        std::memcpy(counts, patternCounts, sizeof(counts));
    } else {
        for (char c : pattern)
            ++counts[static_cast<unsigned char>(c)];
    }
    for (char c : text)
        --counts[static_cast<unsigned char>(c)];
    std::int64_t excess = 0;
    std::int64_t missing = 0;
    for (std::int32_t c : counts) {
        if (c > 0)
            excess += c;
        else
            missing -= c;
    }
    return std::max(excess, missing);
}

}  // namespace

CEditDistancePattern::CEditDistancePattern(std::string_view pattern) : m_pattern(pattern) {
    for (char c : pattern)
        ++m_counts[static_cast<unsigned char>(c)];
    if (static_cast<std::int64_t>(pattern.size()) >= kSwapMinRows && pattern.size() <= kMaxIndexedPattern) {
        for (std::size_t c = 0; c < kAlphabet; ++c)
            m_firstPosition[c + 1] = m_firstPosition[c] + static_cast<std::uint32_t>(m_counts[c]);
        m_positions.resize(pattern.size());
        std::array<std::uint32_t, kAlphabet> next{};
        std::copy(m_firstPosition.begin(), m_firstPosition.end() - 1, next.begin());
        for (std::size_t i = 0; i < pattern.size(); ++i)
            m_positions[next[static_cast<unsigned char>(pattern[i])]++] = static_cast<std::uint32_t>(i);
    }
    if (pattern.empty() || pattern.size() > kMaxKeptPattern) return;
    const std::size_t blocks = BlockCount(pattern.size());
    m_masks.resize(blocks * kAlphabet);
    for (std::size_t b = 0; b < blocks; ++b)
        FillMasks(pattern, b, m_masks.data() + b * kAlphabet);
}

std::int64_t CEditDistancePattern::GreedyAlignmentCost(std::string_view text) const {
    // Between two matched pairs, a unmatched text bytes face b skipped pattern bytes:
    // min(a, b) substitutions and |a - b| insertions or deletions, max(a, b) edits.
    std::int64_t cost = 0;
    std::int64_t lastText = -1;
    std::int64_t lastPattern = -1;
    const auto n = static_cast<std::int64_t>(text.size());
    const auto m = static_cast<std::int64_t>(m_pattern.size());
    for (std::int64_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
        const std::uint32_t* begin = m_positions.data() + m_firstPosition[c];
        const std::uint32_t* end = m_positions.data() + m_firstPosition[c + 1];
        const std::uint32_t* at = std::lower_bound(begin, end, static_cast<std::uint32_t>(lastPattern + 1));
        if (at == end) continue;  // left unmatched
        const auto q = static_cast<std::int64_t>(*at);
        cost += std::max(i - lastText - 1, q - lastPattern - 1);
        lastText = i;
        lastPattern = q;
    }
    return cost + std::max(n - lastText - 1, m - lastPattern - 1);
}

std::int64_t CEditDistancePattern::DistanceByBounds(std::string_view text) const {
    if (m_positions.empty() || text.size() * 4 > m_pattern.size()) return -1;
    const std::int64_t lower = CountBound(m_pattern, m_counts.data(), text);
    return GreedyAlignmentCost(text) == lower ? lower : -1;
}

std::int32_t CEditDistancePattern::Distance(std::string_view text) const {
    if (const std::int64_t known = DistanceByBounds(text); known >= 0) return Saturate(known);
    return Compute(m_pattern, m_masks.empty() ? nullptr : m_masks.data(), text);
}

std::int32_t CEditDistancePattern::LowerBound(std::string_view text) const {
    return Saturate(CountBound(m_pattern, m_counts.data(), text));
}

std::int32_t CEditDistancePattern::Distance(std::string_view text, std::int32_t limit) const {
    if (const std::int64_t known = DistanceByBounds(text); known >= 0) return Saturate(known);
    return Compute(m_pattern, m_masks.empty() ? nullptr : m_masks.data(), text, limit);
}

std::int32_t CEditDistancePattern::Distance(std::string_view text, std::int32_t limit,
                                            const DistanceInterrupt& interrupt) const {
    if (const std::int64_t known = DistanceByBounds(text); known >= 0) return Saturate(known);
    return Compute(m_pattern, m_masks.empty() ? nullptr : m_masks.data(), text, limit, &interrupt);
}

namespace {

// The distance by blocks of 64 rows (in a band of diagonals when that pays), with
// the pattern's masks given from its first row, or null to build them as needed.
std::int64_t ComputeBlocks(std::string_view pattern, const std::uint64_t* masks, std::string_view text,
                           std::int64_t limit, const DistanceInterrupt* interrupt) {
    const std::size_t m = pattern.size();
    const std::size_t n = text.size();
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t blocks = BlockCount(m);
    const int lastBit = static_cast<int>((m - 1) % 64);
    std::int64_t distance = static_cast<std::int64_t>(m);
    std::vector<std::uint64_t> built;  // the masks, when built here for the band
    if (blocks >= kBandMinBlocks) {
        // Long texts: a band of diagonals wide enough for a cutoff k, doubled until
        // the distance is found within it, as long as the band stays well narrower
        // than the whole table. The first k is a cheap lower bound of the distance.
        const std::int64_t bound = CountBound(pattern, nullptr, text);
        if (bound > limit) return bound;
        std::int64_t k = std::min(std::max(bound, kBandMinCutoff), limit);
        while (BandBlocks(k) * kBandCostRatio < static_cast<std::int64_t>(blocks)) {
            if (!masks) {
                built.resize(blocks * kAlphabet);
                for (std::size_t b = 0; b < blocks; ++b)
                    FillMasks(pattern, b, built.data() + b * kAlphabet);
                masks = built.data();
            }
            std::int64_t reached = 0;
            const std::int64_t result = RunBanded(masks, m, bytes, n, k, reached, interrupt);
            if (result <= k || k >= limit) return result;
            // The run stopped where the values left k behind: as they grew so far, the
            // distance is about k * m / reached; the next band is wide enough for that
            // with a margin, and at least twice as wide.
            const std::int64_t estimate = k * static_cast<std::int64_t>(m) / std::max<std::int64_t>(reached, 1);
            k = std::min(std::max(2 * k, estimate + estimate / 4), limit);
        }
    }
    if (blocks == 1) {
        std::uint64_t local[kAlphabet];
        const std::uint64_t* blockMasks = masks;
        if (!blockMasks) {
            FillMasks(pattern, 0, local);
            blockMasks = local;
        }
        return distance + RunSingleWord(SMaskWindow{blockMasks, 1, 0}, lastBit, bytes, n);
    }

    // Blocks go in groups of up to kGroup; each group hands its bottom row's
    // differences to the next through `carry`.
    constexpr std::size_t kGroup = 4;
    std::vector<std::int8_t> carry(blocks > kGroup ? n : 0);
    std::uint64_t local[kGroup * kAlphabet];
    std::int64_t work = 0;  // block steps since the last poll
    for (std::size_t first = 0; first < blocks; first += kGroup) {
        if (work >= kPollWork) {
            work = 0;
            Poll(interrupt);
        }
        const std::size_t count = std::min(kGroup, blocks - first);
        const bool top = first == 0;
        const bool bottom = first + count == blocks;
        const std::uint64_t* groupMasks[kGroup];
        for (std::size_t k = 0; k < count; ++k) {
            if (masks) {
                groupMasks[k] = masks + (first + k) * kAlphabet;
            } else {
                FillMasks(pattern, first + k, local + k * kAlphabet);
                groupMasks[k] = local + k * kAlphabet;
            }
        }
        const int bit = bottom ? lastBit : 63;
        const std::int8_t* in = top ? nullptr : carry.data();
        std::int8_t* out = bottom ? nullptr : carry.data();
        std::int64_t sum = 0;
        switch (count) {
            case 1:
                sum = RunBlocks<1>(groupMasks, bit, bytes, n, in, out);
                break;
            case 2:
                sum = RunBlocks<2>(groupMasks, bit, bytes, n, in, out);
                break;
            case 3:
                sum = RunBlocks<3>(groupMasks, bit, bytes, n, in, out);
                break;
            default:
                sum = RunBlocks<4>(groupMasks, bit, bytes, n, in, out);
                break;
        }
        distance += sum;
        work += static_cast<std::int64_t>(count * n);
    }
    return distance;
}

// The distance once the common start and end are cut off: a short rest of the
// pattern in one word, a distance within a narrow band in one word of diagonals,
// anything else by blocks. `masks` are those of the whole pattern (null: built
// here), whose rest starts at row `start`.
std::int64_t ComputeTrimmed(std::string_view pattern, const std::uint64_t* masks, std::string_view text,
                            std::int64_t limit, const DistanceInterrupt* interrupt) {
    const std::size_t m = pattern.size();
    const std::size_t n = text.size();
    if (m == 0) return static_cast<std::int64_t>(n);
    if (n == 0) return static_cast<std::int64_t>(m);
    if (m == n && pattern == text) return 0;  // duplicates are common in a shared pool

    // A common start and end change nothing in the distance, and statements that
    // differ only in a literal or two share most of their text.
    std::size_t start = 0;
    const std::size_t shorter = std::min(m, n);
    while (start < shorter && pattern[start] == text[start])
        ++start;
    std::size_t end = 0;
    while (end < shorter - start && pattern[m - 1 - end] == text[n - 1 - end])
        ++end;
    const std::string_view rest = pattern.substr(start, m - start - end);
    const std::string_view restText = text.substr(start, n - start - end);
    const auto rows = static_cast<std::int64_t>(rest.size());
    const auto columns = static_cast<std::int64_t>(restText.size());
    if (rows == 0) return columns;
    if (columns == 0) return rows;
    const std::int64_t gap = rows > columns ? rows - columns : columns - rows;
    if (gap > limit) return gap;

    // Without kept masks the shorter text is the pattern: its masks cost the least
    // to build, and a very long one's are never built whole. A text far shorter than
    // a long pattern is made the pattern too: its masks stay in the cache, where the
    // long pattern's (2 KiB per 64 bytes) would be read whole from memory for it.
    if ((!masks && columns < rows) || (rows >= kSwapMinRows && columns * 4 <= rows))
        return ComputeTrimmed(restText, nullptr, rest, limit, interrupt);

    const auto* bytes = reinterpret_cast<const unsigned char*>(restText.data());
    std::uint64_t local[kAlphabet];
    std::vector<std::uint64_t> built;
    SMaskWindow window{masks, BlockCount(m), start};
    if (!masks) {
        if (rest.size() <= 64) {
            FillMasks(rest, 0, local);
            window = {local, 1, 0};
        } else if (rest.size() <= kMaxKeptPattern) {
            built.resize(BlockCount(rest.size()) * kAlphabet);
            for (std::size_t b = 0; b < BlockCount(rest.size()); ++b)
                FillMasks(rest, b, built.data() + b * kAlphabet);
            window = {built.data(), BlockCount(rest.size()), 0};
        }
    }
    if (rows <= 64) return rows + RunSingleWord(window, static_cast<int>(rows - 1), bytes, restText.size());

    // A narrow band is tried when the distance may lie within it: always for a
    // rest of a few blocks, where a miss costs little beside the whole table.
    if (window.masks && gap <= kSmallBand &&
        (BlockCount(rest.size()) < kBandMinBlocks || CountBound(rest, nullptr, restText) <= kSmallBand)) {
        const std::int64_t k = std::min(limit, kSmallBand);
        const std::int64_t result = RunSmallBand(window, rows, bytes, columns, k);
        if (result <= k || k >= limit) return result;
    }
    if (!built.empty()) return ComputeBlocks(rest, built.data(), restText, limit, interrupt);
    if (!masks) return ComputeBlocks(rest, nullptr, restText, limit, interrupt);
    // The blocks keep their masks when the start is cut by whole blocks.
    const std::size_t aligned = start - start % 64;
    return ComputeBlocks(pattern.substr(aligned, m - aligned - end), masks + (aligned / 64) * kAlphabet,
                         text.substr(aligned, n - aligned - end), limit, interrupt);
}

}  // namespace

std::int32_t CEditDistancePattern::Compute(std::string_view pattern, const std::uint64_t* masks,
                                           std::string_view text, std::int32_t limitIn,
                                           const DistanceInterrupt* interrupt) {
    try {
        return Saturate(ComputeTrimmed(pattern, masks, text, std::max<std::int64_t>(limitIn, 0), interrupt));
    } catch (const SInterrupted&) {
        return kInterrupted;
    }
}

}  // namespace corvid
