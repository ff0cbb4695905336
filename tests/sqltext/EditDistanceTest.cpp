#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "sqltext/EditDistance.h"
#include "sqltext/EditDistancePattern.h"

namespace corvid {
namespace {

// The plain dynamic programme over two rows: the oracle.
int OracleDistance(const std::string& a, const std::string& b) {
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

std::string RandomText(std::mt19937& rng, std::size_t length, int alphabet) {
    std::uniform_int_distribution<int> byte(0, alphabet - 1);
    std::string s(length, '\0');
    for (auto& c : s)
        c = static_cast<char>(alphabet == 256 ? byte(rng) : 'a' + byte(rng));
    return s;
}

// Applies a few random edits, so that pairs are similar as statements usually are.
std::string Mutate(std::mt19937& rng, std::string s, int edits) {
    for (int e = 0; e < edits; ++e) {
        std::uniform_int_distribution<int> kind(0, 2);
        const std::size_t pos = s.empty() ? 0 : std::uniform_int_distribution<std::size_t>(0, s.size() - 1)(rng);
        const char c = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
        switch (s.empty() ? 1 : kind(rng)) {
            case 0:
                s[pos] = c;
                break;
            case 1:
                s.insert(s.begin() + static_cast<std::ptrdiff_t>(pos), c);
                break;
            default:
                s.erase(pos, 1);
                break;
        }
    }
    return s;
}

void ExpectLikeOracle(const std::string& a, const std::string& b) {
    const int expected = OracleDistance(a, b);
    ASSERT_EQ(EditDistance(a, b), expected) << "lengths " << a.size() << ", " << b.size();
    ASSERT_EQ(EditDistance(b, a), expected) << "lengths " << b.size() << ", " << a.size();
    ASSERT_EQ(CEditDistancePattern(a).Distance(b), expected) << "lengths " << a.size() << ", " << b.size();
    ASSERT_EQ(CEditDistancePattern(b).Distance(a), expected) << "lengths " << b.size() << ", " << a.size();
}

TEST(EditDistance, KnownPairs) {
    EXPECT_EQ(EditDistance("", ""), 0);
    EXPECT_EQ(EditDistance("abc", ""), 3);
    EXPECT_EQ(EditDistance("", "abc"), 3);
    EXPECT_EQ(EditDistance("same text", "same text"), 0);
    EXPECT_EQ(EditDistance("kitten", "sitting"), 3);
    EXPECT_EQ(EditDistance("select * from t", "SELECT * FROM T"), 11);
    EXPECT_EQ(EditDistance(std::string("a\0b", 3), std::string("a\0c", 3)), 1);
    EXPECT_EQ(EditDistance("\xff\x80", "\x80\xff"), 2);
}

TEST(EditDistance, AgreesWithTheOracleAroundWordBoundaries) {
    std::mt19937 rng(4711);
    const std::vector<std::size_t> lengths = {0, 1, 2, 31, 62, 63, 64, 65, 66, 127, 128, 129, 130, 191, 192, 193, 200};
    for (std::size_t la : lengths) {
        for (std::size_t lb : lengths) {
            for (int alphabet : {2, 4, 256}) {
                ExpectLikeOracle(RandomText(rng, la, alphabet), RandomText(rng, lb, alphabet));
            }
        }
    }
}

TEST(EditDistance, AgreesWithTheOracleOnAdversarialPairs) {
    std::mt19937 rng(99);
    for (std::size_t length : {63u, 64u, 65u, 128u, 129u, 300u}) {
        const std::string s = RandomText(rng, length, 256);
        const std::string uniform(length, 'a');
        ExpectLikeOracle(s, s);                                   // equal
        ExpectLikeOracle(s, s.substr(0, length / 2));             // prefix
        ExpectLikeOracle(s, s.substr(length / 3));                // suffix
        ExpectLikeOracle(s, s + s);                               // repeated
        ExpectLikeOracle(uniform, std::string(length + 1, 'a'));  // one longer
        ExpectLikeOracle(uniform, std::string(length, 'b'));      // nothing matches
        ExpectLikeOracle(uniform, "a");
        ExpectLikeOracle(std::string(length, '\0'), std::string(length / 2, '\0') + "x");
        std::string reversed = s;
        std::reverse(reversed.begin(), reversed.end());
        ExpectLikeOracle(s, reversed);
    }
    // Every byte value once, against itself shifted and with each byte as a run.
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    std::string rotated = all.substr(1) + all.substr(0, 1);
    ExpectLikeOracle(all, rotated);
    std::string runs;
    for (int c = 255; c >= 0; c -= 3)
        runs += std::string(3, static_cast<char>(c));
    ExpectLikeOracle(all, runs);
}

TEST(EditDistance, AgreesWithTheOracleOnRandomPairs) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 2000; ++round) {
        const std::size_t la = std::uniform_int_distribution<std::size_t>(0, 260)(rng);
        const int alphabet = round % 3 == 0 ? 3 : (round % 3 == 1 ? 26 : 256);
        const std::string a = RandomText(rng, la, alphabet);
        const std::string b = round % 2 ? Mutate(rng, a, round % 17) : RandomText(rng, la / 2 + round % 70, alphabet);
        ExpectLikeOracle(a, b);
    }
}

TEST(EditDistance, LongTextsAgreeWithTheOracle) {
    std::mt19937 rng(7);
    const std::string a = RandomText(rng, 2000, 20);
    ExpectLikeOracle(a, Mutate(rng, a, 150));
    ExpectLikeOracle(a, RandomText(rng, 1700, 20));
    ExpectLikeOracle(RandomText(rng, 5000, 256), RandomText(rng, 70, 256));
    // A pattern long enough to hand a far shorter text the role of the pattern.
    const std::string longText = RandomText(rng, 17000, 20);
    ExpectLikeOracle(longText, Mutate(rng, longText.substr(3000, 3000), 40));
    ExpectLikeOracle(longText, RandomText(rng, 100, 20));
    ExpectLikeOracle(longText, longText.substr(0, 64) + longText.substr(16900));
}

TEST(EditDistance, PairsSharingTheirStartOrEndAgreeWithTheOracle) {
    // Common starts and ends of every length around the 64-byte blocks, with the
    // differing middle empty, tiny or long, on one side or both.
    std::mt19937 rng(1207);
    for (int round = 0; round < 600; ++round) {
        const int alphabet = round % 2 ? 3 : 256;
        const std::string head = RandomText(rng, std::uniform_int_distribution<std::size_t>(0, 200)(rng), alphabet);
        const std::string tail = RandomText(rng, std::uniform_int_distribution<std::size_t>(0, 200)(rng), alphabet);
        const std::string middle = RandomText(rng, std::uniform_int_distribution<std::size_t>(0, 90)(rng), alphabet);
        const std::string other = round % 5 == 0 ? std::string()
                                                 : (round % 5 == 1 ? RandomText(rng, 70, alphabet)
                                                                   : Mutate(rng, middle, 1 + round % 6));
        ExpectLikeOracle(head + middle + tail, head + other + tail);
        ExpectLikeOracle(head + middle, head + other);
        ExpectLikeOracle(middle + tail, other + tail);
    }
    // A shorter text that is the other's start or end.
    const std::string text = RandomText(rng, 300, 4);
    ExpectLikeOracle(text, text.substr(0, 130));
    ExpectLikeOracle(text, text.substr(170));
    ExpectLikeOracle(text, text.substr(64, 64));
}

// Long pairs go through the band of diagonals: edits spread out, bunched at either
// end (so the band has to follow a shifted diagonal), few or so many that the band
// gives way to the whole table; lengths around the block boundaries.
TEST(EditDistance, LongSimilarPairsAgreeWithTheOracle) {
    std::mt19937 rng(31337);
    for (int round = 0; round < 160; ++round) {
        const std::size_t length =
            round % 4 == 0 ? 64 * std::uniform_int_distribution<std::size_t>(3, 12)(rng) + (round / 4) % 3 - 1
                           : std::uniform_int_distribution<std::size_t>(190, 1500)(rng);
        const int alphabet = round % 3 == 0 ? 4 : 40;
        const std::string a = RandomText(rng, length, alphabet);
        const int edits = round % 5 == 4 ? static_cast<int>(length / 2) : 1 + round % 40;
        std::string b = Mutate(rng, a, edits);
        if (round % 7 == 1) b = RandomText(rng, 1 + round % 90, alphabet) + b;   // a longer start
        if (round % 7 == 2) b.erase(0, std::min<std::size_t>(b.size(), 1 + round % 130));
        if (round % 7 == 3) b += RandomText(rng, 1 + round % 150, alphabet);     // a longer end
        if (round % 7 == 4) b.resize(b.size() - std::min<std::size_t>(b.size(), round % 70));
        ExpectLikeOracle(a, b);
    }
    const std::string a = RandomText(rng, 10000, 30);
    ExpectLikeOracle(a, Mutate(rng, a, 500));
    ExpectLikeOracle(a, Mutate(rng, a, 3));
}

// With a limit, a distance up to it is exact and one beyond it is reported above it,
// whether the limit lies below, at or above the distance.
TEST(EditDistance, LimitedDistanceIsExactUpToTheLimit) {
    std::mt19937 rng(55);
    for (int round = 0; round < 120; ++round) {
        const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 900)(rng);
        const std::string a = RandomText(rng, length, round % 2 ? 4 : 64);
        const std::string b = round % 6 == 0 ? RandomText(rng, length / 2, 64) : Mutate(rng, a, 1 + round % 50);
        const int expected = OracleDistance(a, b);
        const CEditDistancePattern pattern(a);
        for (int limit : {0, expected / 2, expected - 1, expected, expected + 1, 2 * expected + 70}) {
            if (limit < 0) continue;
            const int limited = pattern.Distance(b, limit);
            if (expected <= limit)
                ASSERT_EQ(limited, expected) << "limit " << limit << ", lengths " << a.size() << ", " << b.size();
            else
                ASSERT_GT(limited, limit) << "distance " << expected << ", lengths " << a.size() << ", " << b.size();
        }
    }
}

// Short rests after a common start cut at any byte: the prepared pattern reads its
// kept masks from the middle of a block, one word or a band of diagonals, with and
// without a limit.
TEST(EditDistance, RestsStartingInsideABlockAgreeWithTheOracle) {
    std::mt19937 rng(8080);
    for (int round = 0; round < 400; ++round) {
        const int alphabet = round % 3 == 0 ? 2 : 30;
        const std::string head = RandomText(rng, std::uniform_int_distribution<std::size_t>(1, 300)(rng), alphabet);
        const std::string middle = RandomText(rng, std::uniform_int_distribution<std::size_t>(40, 400)(rng), alphabet);
        const std::string a = head + middle;
        const std::string b = head + Mutate(rng, middle, 1 + round % 45);
        const int expected = OracleDistance(a, b);
        ASSERT_EQ(CEditDistancePattern(a).Distance(b), expected) << "head " << head.size();
        ASSERT_EQ(CEditDistancePattern(b).Distance(a), expected) << "head " << head.size();
        const int limit = round % 40;
        const int limited = CEditDistancePattern(a).Distance(b, limit);
        if (expected <= limit)
            ASSERT_EQ(limited, expected);
        else
            ASSERT_GT(limited, limit);
    }
}

// Short texts against a long pattern, where the distance is often settled by an
// alignment whose cost meets the lower bound: texts drawn from the pattern (in order,
// shuffled, or with bytes the pattern lacks), and unrelated ones.
TEST(EditDistance, ShortTextsAgainstALongPatternAgreeWithTheOracle) {
    std::mt19937 rng(616);
    for (int round = 0; round < 6; ++round) {
        const std::string pattern = RandomText(rng, 17000 + 1000 * static_cast<std::size_t>(round % 3), 8 + 3 * round);
        const CEditDistancePattern prepared(pattern);
        for (int k = 0; k < 6; ++k) {
            const std::size_t length = std::uniform_int_distribution<std::size_t>(1, 500)(rng);
            std::string text;
            switch (k) {
                case 0:  // a subsequence of the pattern
                    for (std::size_t i = 0; i < pattern.size() && text.size() < length; i += 1 + rng() % 9)
                        text += pattern[i];
                    break;
                case 1:
                    text = Mutate(rng, pattern.substr(rng() % 10000, length), 1 + 5 * round);
                    break;
                case 2:  // with bytes the pattern never has
                    text = pattern.substr(rng() % 10000, length);
                    for (int e = 0; e < 1 + 5 * round; ++e)
                        text[rng() % text.size()] = static_cast<char>('A' + rng() % 26);
                    break;
                case 3:
                    text = pattern.substr(rng() % 10000, length);
                    std::shuffle(text.begin(), text.end(), rng);
                    break;
                case 4:
                    text = RandomText(rng, length, 256);
                    break;
                default:
                    text = pattern.substr(pattern.size() - length) + pattern.substr(0, 3);
                    break;
            }
            ASSERT_EQ(prepared.Distance(text), OracleDistance(pattern, text)) << "round " << round << ", kind " << k;
        }
    }
}

// A long computation polls its interrupt: asked to stop it gives up with
// kInterrupted, otherwise the distance is unchanged; short ones finish regardless.
TEST(EditDistance, InterruptStopsALongComputation) {
    std::mt19937 rng(404);
    const std::string a = RandomText(rng, 40000, 20);
    const std::string b = RandomText(rng, 30000, 20);
    const CEditDistancePattern pattern(a);
    int polls = 0;
    EXPECT_EQ(pattern.Distance(b, std::numeric_limits<std::int32_t>::max(),
                               [&] { return ++polls >= 3; }),
              CEditDistancePattern::kInterrupted);
    EXPECT_EQ(polls, 3);
    polls = 0;
    const std::string near = Mutate(rng, a, 4000);
    EXPECT_EQ(pattern.Distance(near, std::numeric_limits<std::int32_t>::max(), [&] { return ++polls < 0; }),
              pattern.Distance(near));
    EXPECT_GT(polls, 0);
    EXPECT_EQ(CEditDistancePattern("kitten").Distance("sitting", 10, [] { return true; }), 3);
}

}  // namespace
}  // namespace corvid
