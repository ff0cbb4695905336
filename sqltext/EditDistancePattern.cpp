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

constexpr std::size_t kAlphabet = 256;
// Patterns up to this length keep their masks (2 KiB per 64 bytes, 32 MiB at most).
constexpr std::size_t kMaxKeptPattern = std::size_t{1} << 20;

std::size_t BlockCount(std::size_t length) { return (length + 63) / 64; }

void FillMasks(std::string_view pattern, std::size_t block, std::uint64_t* masks) {
    std::memset(masks, 0, kAlphabet * sizeof(std::uint64_t));
    const std::size_t begin = block * 64;
    const std::size_t end = std::min(pattern.size(), begin + 64);
    for (std::size_t i = begin; i < end; ++i)
        masks[static_cast<unsigned char>(pattern[i])] |= std::uint64_t{1} << (i - begin);
}

std::int32_t Saturate(std::int64_t value) {
    return value > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                            : static_cast<std::int32_t>(value);
}

// One block over the whole text. `carry` holds, per column, the horizontal
// difference entering the block's first row (null: +1 everywhere, the first block)
// and receives the difference leaving its last row (null: the last block, whose
// differences are summed and returned instead).
std::int64_t RunBlock(const std::uint64_t* masks, int lastBit, const unsigned char* text, std::size_t n,
                      const std::int8_t* carryIn, std::int8_t* carryOut) {
    std::uint64_t pv = ~std::uint64_t{0};
    std::uint64_t mv = 0;
    std::int64_t sum = 0;
    for (std::size_t j = 0; j < n; ++j) {
        const std::uint64_t eq = masks[text[j]];
        const int hin = carryIn ? carryIn[j] : 1;
        const std::uint64_t hinPlus = hin > 0 ? 1 : 0;
        const std::uint64_t hinMinus = hin < 0 ? 1 : 0;
        const std::uint64_t xv = eq | mv;
        const std::uint64_t eqIn = eq | hinMinus;
        const std::uint64_t xh = (((eqIn & pv) + pv) ^ pv) | eqIn;
        std::uint64_t ph = mv | ~(xh | pv);
        std::uint64_t mh = pv & xh;
        const int hout = static_cast<int>((ph >> lastBit) & 1) - static_cast<int>((mh >> lastBit) & 1);
        if (carryOut)
            carryOut[j] = static_cast<std::int8_t>(hout);
        else
            sum += hout;
        ph = (ph << 1) | hinPlus;
        mh = (mh << 1) | hinMinus;
        pv = mh | ~(xv | ph);
        mv = ph & xv;
    }
    return sum;
}

// The single-block case, with +1 entering at the top of every column.
std::int64_t RunSingleWord(const std::uint64_t* masks, int lastBit, const unsigned char* text, std::size_t n) {
    std::uint64_t pv = ~std::uint64_t{0};
    std::uint64_t mv = 0;
    std::int64_t sum = 0;
    const std::uint64_t last = std::uint64_t{1} << lastBit;
    for (std::size_t j = 0; j < n; ++j) {
        const std::uint64_t eq = masks[text[j]];
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

}  // namespace

CEditDistancePattern::CEditDistancePattern(std::string_view pattern) : m_pattern(pattern) {
    if (pattern.empty() || pattern.size() > kMaxKeptPattern) return;
    const std::size_t blocks = BlockCount(pattern.size());
    m_masks.resize(blocks * kAlphabet);
    for (std::size_t b = 0; b < blocks; ++b) FillMasks(pattern, b, m_masks.data() + b * kAlphabet);
}

std::int32_t CEditDistancePattern::Distance(std::string_view text) const {
    return Compute(m_pattern, m_masks.empty() ? nullptr : m_masks.data(), text);
}

std::int32_t CEditDistancePattern::Compute(std::string_view pattern, const std::uint64_t* masks,
                                           std::string_view text) {
    const std::size_t m = pattern.size();
    const std::size_t n = text.size();
    if (m == 0) return Saturate(static_cast<std::int64_t>(n));
    if (n == 0) return Saturate(static_cast<std::int64_t>(m));

    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t blocks = BlockCount(m);
    const int lastBit = static_cast<int>((m - 1) % 64);
    std::uint64_t local[kAlphabet];
    auto blockMasks = [&](std::size_t b) -> const std::uint64_t* {
        if (masks) return masks + b * kAlphabet;
        FillMasks(pattern, b, local);
        return local;
    };

    std::int64_t distance = static_cast<std::int64_t>(m);
    if (blocks == 1) {
        distance += RunSingleWord(blockMasks(0), lastBit, bytes, n);
    } else {
        std::vector<std::int8_t> carry(n);
        RunBlock(blockMasks(0), 63, bytes, n, nullptr, carry.data());
        for (std::size_t b = 1; b + 1 < blocks; ++b) RunBlock(blockMasks(b), 63, bytes, n, carry.data(), carry.data());
        distance += RunBlock(blockMasks(blocks - 1), lastBit, bytes, n, carry.data(), nullptr);
    }
    return Saturate(distance);
}

}  // namespace corvid
