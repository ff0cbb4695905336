#include "report/HtmlText.h"

#include <cmath>
#include <cstdio>

#include "platform/Utf8.h"

namespace corvid {

void AppendHtmlText(std::string_view text, std::string& out) {
    std::size_t i = 0;
    while (i < text.size()) {
        // Plain printable ASCII goes in runs.
        std::size_t run = i;
        while (run < text.size()) {
            const auto c = static_cast<unsigned char>(text[run]);
            if (c < 0x20 || c >= 0x7F || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') break;
            ++run;
        }
        out.append(text.data() + i, run - i);
        i = run;
        if (i >= text.size()) break;
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            case '\t':
            case '\n':
                out += static_cast<char>(c);
                break;
            case '\r':
                if (i + 1 >= text.size() || text[i + 1] != '\n') out += '\n';
                break;
            case 0x7F:
                AppendUtf8(out, U'\u2421');
                break;
            default:
                if (c < 0x20) {
                    AppendUtf8(out, static_cast<char32_t>(0x2400 + c));
                    break;
                }
                char32_t code = 0;
                const std::size_t length = DecodeUtf8(text, i, code);
                if (length == 0) {
                    AppendUtf8(out, U'\uFFFD');
                    break;
                }
                // C1 controls show nothing; say that something is there.
                if (code < 0xA0) {
                    AppendUtf8(out, U'\uFFFD');
                } else {
                    out.append(text.data() + i, length);
                }
                i += length;
                continue;
        }
        ++i;
    }
}

std::string HtmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendHtmlText(text, out);
    return out;
}

std::string FormatReportNumber(double value, int decimals) {
    if (!std::isfinite(value)) return "-";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(value));
    std::string digits = buffer;
    const std::size_t point = digits.find('.');
    const std::size_t whole = point == std::string::npos ? digits.size() : point;
    std::string out;
    // A value that rounds to zero carries no sign.
    bool zero = digits.find_first_not_of("0.") == std::string::npos;
    if (value < 0 && !zero) out += '-';
    for (std::size_t k = 0; k < whole; ++k) {
        if (k > 0 && (whole - k) % 3 == 0) out += ' ';
        out += digits[k];
    }
    out.append(digits, whole, std::string::npos);
    return out;
}

}  // namespace corvid
