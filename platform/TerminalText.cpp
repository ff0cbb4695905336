#include "platform/TerminalText.h"

#include <cstdio>

#include "platform/Utf8.h"

namespace corvid {

std::string TerminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char escape[8];
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (c == '\n' || c == '\t') {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        if (c >= 0x80) {
            char32_t code = 0;
            if (const std::size_t length = DecodeUtf8(text, i, code); length > 0) {
                if (code >= 0x80 && code <= 0x9F) {
                    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(code));
                    out += escape;
                } else {
                    out.append(text.substr(i, length));
                }
                i += length;
                continue;
            }
        }
        std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(c));
        out += escape;
        ++i;
    }
    return out;
}

}  // namespace corvid
