// The edit distance against the textbook dynamic programme, both ways round and
// through the prepared pattern.

#include <algorithm>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "sqltext/EditDistance.h"
#include "sqltext/EditDistancePattern.h"

namespace {

int Textbook(const std::string& a, const std::string& b) {
    std::vector<int> previous(b.size() + 1), current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        previous[j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = static_cast<int>(i);
        for (std::size_t j = 1; j <= b.size(); ++j)
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (a[i - 1] != b[j - 1])});
        std::swap(previous, current);
    }
    return previous[b.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvid;
    if (size < 1 || size > 4000) return 0;
    // The first byte says where the first text ends.
    const std::size_t split = (size - 1) * data[0] / 255;
    const std::string a(fuzz::Bytes(data + 1, split));
    const std::string b(fuzz::Bytes(data + 1 + split, size - 1 - split));
    const int expected = Textbook(a, b);
    const std::string shown = fuzz::Shown(a) + " | " + fuzz::Shown(b) + " expected " + std::to_string(expected);
    FUZZ_CHECK(EditDistance(a, b) == expected, shown);
    FUZZ_CHECK(EditDistance(b, a) == expected, shown);
    FUZZ_CHECK(CEditDistancePattern(a).Distance(b) == expected, shown);
    FUZZ_CHECK(CEditDistancePattern(b).Distance(a) == expected, shown);
    return 0;
}
