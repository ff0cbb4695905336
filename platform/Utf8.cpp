#include "platform/Utf8.h"

namespace corvid {

std::size_t Utf8CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (unsigned char c : text) count += (c & 0xC0) != 0x80;
    return count;
}

std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& code) {
    if (i >= text.size()) return 0;
    const std::size_t left = text.size() - i;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const auto continuation = [&](std::size_t k, unsigned char low = 0x80, unsigned char high = 0xBF) {
        return k < left && byte(k) >= low && byte(k) <= high;
    };
    const unsigned char lead = byte(0);
    if (lead >= 0xC2 && lead <= 0xDF) {
        if (!continuation(1)) return 0;
        code = (char32_t{lead} & 0x1F) << 6 | (byte(1) & 0x3F);
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
        if (!continuation(1, low, high) || !continuation(2)) return 0;
        code = (char32_t{lead} & 0x0F) << 12 | (char32_t{byte(1)} & 0x3F) << 6 | (byte(2) & 0x3F);
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;   // no overlong forms
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing beyond U+10FFFF
        if (!continuation(1, low, high) || !continuation(2) || !continuation(3)) return 0;
        code = (char32_t{lead} & 0x07) << 18 | (char32_t{byte(1)} & 0x3F) << 12 | (char32_t{byte(2)} & 0x3F) << 6 |
               (byte(3) & 0x3F);
        return 4;
    }
    return 0;
}

void AppendUtf8(std::string& out, char32_t code) {
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) code = 0xFFFD;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace corvid
