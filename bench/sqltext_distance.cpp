// Edit distance on SQL-like pairs of 100, 1,000 and 10,000 bytes, similar (5 % of
// the bytes edited: substituted, inserted or deleted) and unrelated: our pattern
// (prepared once, as the similarity search prepares the chosen statement) beside
// edlib (Myers' bit vectors with Ukkonen's band doubling) when bench/setup.sh has
// installed it, and beside the plain two-row dynamic programme. Pairs per second,
// the median of RUNS runs with the range; every distance is checked against the
// others.
//
// Usage: bench_sqltext_distance [RUNS]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "sqltext/EditDistancePattern.h"

#ifdef CORVID_BENCH_EDLIB
#include <edlib.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

int PlainDistance(const std::string& a, const std::string& b) {
    std::vector<int> prev(b.size() + 1), cur(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        prev[j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        cur[0] = static_cast<int>(i);
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const int substitute = prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, substitute});
        }
        std::swap(prev, cur);
    }
    return prev[b.size()];
}

#ifdef CORVID_BENCH_EDLIB
int EdlibDistance(const std::string& a, const std::string& b) {
    const EdlibAlignResult result = edlibAlign(a.data(), static_cast<int>(a.size()), b.data(),
                                               static_cast<int>(b.size()), edlibDefaultAlignConfig());
    const int distance = result.editDistance;
    edlibFreeAlignResult(result);
    return distance;
}
#endif

std::string SqlLikeText(std::mt19937& rng, std::size_t length) {
    static const char* words[] = {"SELECT",   "FROM",    "WHERE",  "AND", "ORDER BY", "customer_id", "o.order_date",
                                  "=",        ":b1",     "'OPEN'", "42",  "NVL(",     ")",           ",",
                                  "GROUP BY", "t.amount"};
    std::string s;
    while (s.size() < length) {
        s += words[std::uniform_int_distribution<int>(0, 15)(rng)];
        s += ' ';
    }
    s.resize(length);
    return s;
}

// Edits 5 % of the bytes at random places: substitutions, insertions, deletions.
std::string Edit(std::mt19937& rng, std::string s) {
    const std::size_t edits = s.size() / 20 + 1;
    for (std::size_t k = 0; k < edits; ++k) {
        const std::size_t pos = std::uniform_int_distribution<std::size_t>(0, s.size() - 1)(rng);
        const char c = static_cast<char>('a' + std::uniform_int_distribution<int>(0, 25)(rng));
        switch (k % 3) {
            case 0: s[pos] = c; break;
            case 1: s.insert(s.begin() + static_cast<std::ptrdiff_t>(pos), c); break;
            default: s.erase(pos, 1); break;
        }
    }
    return s;
}

struct SPair {
    std::string a, b;
};

struct SFigure {
    double median = 0, low = 0, high = 0;
};

// Pairs per second of `distance` over the pairs: runs of at least 0.2 s each.
SFigure Rate(const std::vector<SPair>& pairs, const std::function<int(std::size_t)>& distance, int runs, long& sink) {
    std::vector<double> rates;
    for (int r = 0; r < runs; ++r) {
        long done = 0;
        const auto start = Clock::now();
        double elapsed = 0;
        do {
            for (std::size_t i = 0; i < pairs.size(); ++i)
                sink += distance(i);
            done += static_cast<long>(pairs.size());
            elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        } while (elapsed < 0.2);
        rates.push_back(static_cast<double>(done) / elapsed);
    }
    std::sort(rates.begin(), rates.end());
    return {rates[rates.size() / 2], rates.front(), rates.back()};
}

void Print(const char* who, const SFigure& f) {
    std::printf("    %-28s %12.0f pairs/s [%.0f..%.0f]\n", who, f.median, f.low, f.high);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::mt19937 rng(1);
    long sink = 0;
    std::printf("Edit distance, SQL-like pairs; medians of %d runs [range]\n", runs);
#ifndef CORVID_BENCH_EDLIB
    std::printf("  edlib is not installed (bench/setup.sh installs libedlib-dev; then reconfigure): "
                "its comparison is skipped\n");
#endif
    for (std::size_t length : {100u, 1000u, 10000u}) {
        for (bool similar : {true, false}) {
            const std::size_t count = length >= 10000 ? 8 : (length >= 1000 ? 40 : 200);
            std::vector<SPair> pairs;
            for (std::size_t i = 0; i < count; ++i) {
                std::string a = SqlLikeText(rng, length);
                std::string b = similar ? Edit(rng, a) : SqlLikeText(rng, length);
                pairs.push_back({std::move(a), std::move(b)});
            }
            std::vector<corvid::CEditDistancePattern> patterns;
            for (const SPair& p : pairs)
                patterns.emplace_back(p.a);
            // Exact distances: the plain programme decides (once per pair; a few at 10 KB).
            for (std::size_t i = 0; i < pairs.size() && (length < 10000 || i < 2); ++i) {
                const int expected = PlainDistance(pairs[i].a, pairs[i].b);
                bool same = patterns[i].Distance(pairs[i].b) == expected;
#ifdef CORVID_BENCH_EDLIB
                same = same && EdlibDistance(pairs[i].a, pairs[i].b) == expected;
#endif
                if (!same) {
                    std::printf("MISMATCH at %zu bytes, pair %zu\n", length, i);
                    return 1;
                }
            }
            std::printf("  %zu bytes, %s pairs:\n", length, similar ? "similar (5 % edited)" : "unrelated");
            const SFigure ours = Rate(pairs, [&](std::size_t i) { return patterns[i].Distance(pairs[i].b); }, runs, sink);
            Print("ours", ours);
#ifdef CORVID_BENCH_EDLIB
            const SFigure edlib = Rate(pairs, [&](std::size_t i) { return EdlibDistance(pairs[i].a, pairs[i].b); },
                                       runs, sink);
            Print("edlib", edlib);
            std::printf("    ours / edlib: %.2f\n", ours.median / edlib.median);
#endif
            if (length <= 1000) {
                Print("plain dynamic programme",
                      Rate(pairs, [&](std::size_t i) { return PlainDistance(pairs[i].a, pairs[i].b); }, 1, sink));
            }
        }
    }
    return sink == 42 ? 2 : 0;
}
