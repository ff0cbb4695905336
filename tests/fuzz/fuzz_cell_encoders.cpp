// The export's cell encoders on any bytes: an XML cell is well-formed character
// data, an HTML cell holds no markup and no reference to a control character,
// and a CSV field parses back to the cell as the writer defines it (no quotes,
// one "\n" per line break, other control bytes and DEL as a backslash and their
// number, C1 controls and bytes that are not UTF-8 as U+FFFD): valid UTF-8.

#include <string>

#include "FuzzCheck.h"
#include "list/ListExporter.h"
#include "platform/Utf8.h"

namespace {

bool IsXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// Character data with references, as XML 1.0 allows it between tags; false for
// a "<", a stray "&", a reference to no character or bytes that are no XML text.
bool IsXmlCharacterData(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '<' || c == '>') return false;
        if (c == '&') {
            const std::size_t end = text.find(';', i);
            if (end == std::string::npos) return false;
            const std::string name = text.substr(i + 1, end - i - 1);
            if (name.size() > 1 && name[0] == '#') {
                char32_t value = 0;
                const bool hex = name[1] == 'x';
                if (name.size() == (hex ? 2u : 1u) || name.size() > 10) return false;
                for (std::size_t k = hex ? 2 : 1; k < name.size(); ++k) {
                    const char d = name[k];
                    int digit = -1;
                    if (d >= '0' && d <= '9') digit = d - '0';
                    if (hex && d >= 'a' && d <= 'f') digit = d - 'a' + 10;
                    if (hex && d >= 'A' && d <= 'F') digit = d - 'A' + 10;
                    if (digit < 0) return false;
                    value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
                }
                if (!IsXmlChar(value)) return false;
            } else if (name != "amp" && name != "lt" && name != "gt" && name != "quot" && name != "apos") {
                return false;
            }
            i = end + 1;
            continue;
        }
        if (c < 0x80) {
            if (!IsXmlChar(c)) return false;
            ++i;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = corvid::DecodeUtf8(text, i, code);
        if (length == 0 || !IsXmlChar(code)) return false;
        i += length;
    }
    return true;
}

std::string CsvModel(std::string_view cell) {
    std::string out;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        const auto c = static_cast<unsigned char>(cell[i]);
        if (c == '\r' || c == '\n') {
            out += '\n';
            if (i + 1 < cell.size() && (cell[i + 1] == '\r' || cell[i + 1] == '\n')) ++i;
        } else if (c == '"') {
        } else if (c < 32 || c == 0x7F) {
            out += '\\' + std::to_string(c);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            char32_t code = 0;
            const std::size_t length = corvid::DecodeUtf8(cell, i, code);
            if (length == 0 || (code >= 0x80 && code <= 0x9F) || code == 0xFFFE || code == 0xFFFF) {
                out += "\xEF\xBF\xBD";
            } else {
                out.append(cell.substr(i, length));
            }
            if (length > 0) i += length - 1;
        }
    }
    return out;
}

// HTML forbids references to control characters (but tab, CR, LF) and to the
// noncharacters.
bool IsHtmlReferable(char32_t c) {
    return !((c < 32 && c != '\t' && c != '\r' && c != '\n') || (c >= 0x7F && c <= 0x9F) || c == 0xFFFE ||
             c == 0xFFFF);
}

// Reads one CSV field that must fill the whole text: empty, or quoted with
// doubled quotes inside.
bool ParseCsvField(const std::string& text, std::string& field) {
    field.clear();
    if (text.empty()) return true;
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '"') {
            if (i + 2 >= text.size() || text[i + 1] != '"') return false;
            ++i;
        }
        field += text[i];
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvid;
    const std::string_view cell = fuzz::Bytes(data, size);

    std::string xml;
    CListExporter::AppendXmlCell(cell, xml);
    FUZZ_CHECK(IsXmlCharacterData(xml), fuzz::Shown(cell) + "\nXML: " + fuzz::Shown(xml));

    // HTML: markup only for line breaks, and every "&" starts a reference.
    std::string html;
    CListExporter::AppendHtmlCell(cell, html);
    std::string withoutBreaks = html;
    for (std::size_t at; (at = withoutBreaks.find("<br>")) != std::string::npos;)
        withoutBreaks.erase(at, 4);
    FUZZ_CHECK(withoutBreaks.find_first_of("<>") == std::string::npos,
               fuzz::Shown(cell) + "\nHTML: " + fuzz::Shown(html));
    for (std::size_t at = withoutBreaks.find('&'); at != std::string::npos; at = withoutBreaks.find('&', at + 1)) {
        const std::size_t end = withoutBreaks.find(';', at);
        const bool reference = end != std::string::npos && end > at + 1 &&
                               withoutBreaks.find_first_not_of("#0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ",
                                                               at + 1) == end;
        FUZZ_CHECK(reference, fuzz::Shown(cell) + "\nHTML: " + fuzz::Shown(html));
        if (withoutBreaks[at + 1] == '#') {
            const unsigned long value = std::stoul(withoutBreaks.substr(at + 2, end - at - 2));
            FUZZ_CHECK(IsHtmlReferable(static_cast<char32_t>(value)), fuzz::Shown(cell) + "\nHTML: " + fuzz::Shown(html));
        }
    }

    std::string csv;
    CListExporter::AppendCsvField(cell, csv);
    std::string field;
    FUZZ_CHECK(ParseCsvField(csv, field), fuzz::Shown(cell) + "\nCSV: " + fuzz::Shown(csv));
    FUZZ_CHECK(field == CsvModel(cell), fuzz::Shown(cell) + "\nCSV: " + fuzz::Shown(csv));
    return 0;
}
