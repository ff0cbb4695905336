#include "sqltext/SqlTextCase.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>

namespace corvid {

namespace {

// The C library's character classes for Unicode, independent of the process's own
// locale; null when the system has no UTF-8 locale, and then only ASCII is mapped.
locale_t UnicodeLocale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (!l) l = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(nullptr));
        return l;
    }();
    return locale;
}

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Decodes the UTF-8 sequence at text[i]; returns its length, or 0 when the bytes
// there are not a valid, shortest-form sequence of a scalar value.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& code) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const std::size_t left = text.size() - i;
    const unsigned char lead = byte(0);
    if (lead >= 0xC2 && lead <= 0xDF) {
        if (left < 2 || !IsContinuation(byte(1))) return 0;
        code = (char32_t{lead} & 0x1F) << 6 | (byte(1) & 0x3F);
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !IsContinuation(byte(1)) || !IsContinuation(byte(2))) return 0;
        if (lead == 0xE0 && byte(1) < 0xA0) return 0;   // overlong
        if (lead == 0xED && byte(1) >= 0xA0) return 0;  // surrogate
        code = (char32_t{lead} & 0x0F) << 12 | (char32_t{byte(1)} & 0x3F) << 6 | (byte(2) & 0x3F);
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !IsContinuation(byte(1)) || !IsContinuation(byte(2)) || !IsContinuation(byte(3))) return 0;
        if (lead == 0xF0 && byte(1) < 0x90) return 0;   // overlong
        if (lead == 0xF4 && byte(1) >= 0x90) return 0;  // beyond U+10FFFF
        code = (char32_t{lead} & 0x07) << 18 | (char32_t{byte(1)} & 0x3F) << 12 | (char32_t{byte(2)} & 0x3F) << 6 |
               (byte(3) & 0x3F);
        return 4;
    }
    return 0;
}

void AppendUtf8(std::string& out, char32_t code) {
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

char32_t UpperOf(char32_t code, locale_t locale) {
    if (!locale) return code;
    const auto upper = static_cast<char32_t>(towupper_l(static_cast<wint_t>(code), locale));
    // Only a scalar value may come back; anything else keeps the character.
    if (upper == 0 || upper > 0x10FFFF || (upper >= 0xD800 && upper <= 0xDFFF)) return code;
    return upper;
}

}  // namespace

std::string UpperCaseSqlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const locale_t locale = UnicodeLocale();
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c);
            ++i;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = DecodeUtf8(text, i, code);
        if (length == 0) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const char32_t upper = UpperOf(code, locale);
        if (upper == code)
            out.append(text.data() + i, length);
        else
            AppendUtf8(out, upper);
        i += length;
    }
    return out;
}

}  // namespace corvid
