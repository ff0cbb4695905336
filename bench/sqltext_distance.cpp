// Edit distance: the bit-parallel computation against the plain two-row dynamic
// programme, on similar pairs of SQL-like text of 100, 1,000 and 10,000 bytes.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "sqltext/EditDistance.h"

namespace {

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

std::string Vary(std::mt19937& rng, std::string s) {
    for (std::size_t k = 0; k < s.size() / 20 + 1; ++k) {
        const std::size_t pos = std::uniform_int_distribution<std::size_t>(0, s.size() - 1)(rng);
        s[pos] = static_cast<char>('0' + k % 10);
    }
    return s;
}

template <typename F>
double SecondsPerCall(F&& f, int& sink) {
    using Clock = std::chrono::steady_clock;
    int calls = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        sink += f();
        ++calls;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < 0.3 || calls < 3);
    return elapsed / calls;
}

}  // namespace

int main() {
    std::mt19937 rng(1);
    int sink = 0;
    std::printf("%-8s %14s %14s %9s\n", "bytes", "plain (us)", "bit-par (us)", "ratio");
    for (std::size_t length : {100u, 1000u, 10000u}) {
        const std::string a = SqlLikeText(rng, length);
        const std::string b = Vary(rng, a);
        if (PlainDistance(a, b) != corvid::EditDistance(a, b)) {
            std::printf("MISMATCH at %zu bytes\n", length);
            return 1;
        }
        const double plain = SecondsPerCall([&] { return PlainDistance(a, b); }, sink);
        const double fast = SecondsPerCall([&] { return corvid::EditDistance(a, b); }, sink);
        std::printf("%-8zu %14.2f %14.2f %8.1fx\n", length, plain * 1e6, fast * 1e6, plain / fast);
    }
    return sink == 42 ? 2 : 0;
}
