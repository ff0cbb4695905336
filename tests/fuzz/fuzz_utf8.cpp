// The UTF-8 decoder against the table of well-formed byte sequences in the
// Unicode standard (Table 3-7), and the encoder back to the same bytes.

#include <string>

#include "FuzzCheck.h"
#include "platform/Utf8.h"

namespace {

struct SRange {
    unsigned char low, high;
};

// The length of the well-formed sequence at text[i] that is not ASCII; 0 when none.
std::size_t TableLength(std::string_view text, std::size_t i) {
    static const struct {
        SRange first;
        SRange second;
        int length;
    } kRows[] = {
        {{0xC2, 0xDF}, {0x80, 0xBF}, 2}, {{0xE0, 0xE0}, {0xA0, 0xBF}, 3}, {{0xE1, 0xEC}, {0x80, 0xBF}, 3},
        {{0xED, 0xED}, {0x80, 0x9F}, 3}, {{0xEE, 0xEF}, {0x80, 0xBF}, 3}, {{0xF0, 0xF0}, {0x90, 0xBF}, 4},
        {{0xF1, 0xF3}, {0x80, 0xBF}, 4}, {{0xF4, 0xF4}, {0x80, 0x8F}, 4},
    };
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    for (const auto& row : kRows) {
        if (at(0) < row.first.low || at(0) > row.first.high) continue;
        if (i + static_cast<std::size_t>(row.length) > text.size()) return 0;
        if (at(1) < row.second.low || at(1) > row.second.high) return 0;
        for (int k = 2; k < row.length; ++k)
            if (at(static_cast<std::size_t>(k)) < 0x80 || at(static_cast<std::size_t>(k)) > 0xBF) return 0;
        return static_cast<std::size_t>(row.length);
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvid;
    const std::string_view text = fuzz::Bytes(data, size);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = 0;
        const std::size_t length = DecodeUtf8(text, i, code);
        const std::size_t expected = TableLength(text, i);
        FUZZ_CHECK(length == expected, fuzz::Shown(text) + " at " + std::to_string(i));
        if (length == 0) continue;
        FUZZ_CHECK(code >= 0x80 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF), fuzz::Shown(text));
        std::string encoded;
        AppendUtf8(encoded, code);
        FUZZ_CHECK(encoded == text.substr(i, length), fuzz::Shown(text) + " at " + std::to_string(i));
    }
    return 0;
}
