#include "sqltext/SqlTextCase.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>

#include "platform/Utf8.h"

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
