#include "sqltext/SqlStatementParser.h"

#include <cstring>

namespace corvid {

namespace {

bool IsBreak(char c) {
    return c == '\r' || c == '\n';
}

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Letters, digits, '_' and '.' make up words. Bytes above 127 count as letters, so
// that the bytes of a UTF-8 character never split a word.
bool IsWordChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || IsAsciiDigit(c) || c == '_' || c == '.' || u >= 0x80;
}

// Appends a record unless it would lie before the last one.
void AddRecord(std::vector<ColorRecord>& records, std::size_t position, std::int32_t tokenClass) {
    const auto pos = static_cast<std::int32_t>(position);
    if (records.empty() || pos >= records.back().m_Position) records.push_back({pos, tokenClass});
}

void ClassifyWord(std::vector<ColorRecord>& records, const std::string& text, std::size_t start, std::size_t end) {
    const char* word = text.data() + start;
    const std::size_t length = end - start;
    if (CSqlStatementParser::IsSqlKeyword(word, length))
        AddRecord(records, start, TokenKeyword);
    else if (CSqlStatementParser::IsSqlNumber(word, length))
        AddRecord(records, start, TokenNumber);
}

// Characters that mean something to RTF are escaped so that the document shows them.
void AppendEscaped(std::string& out, char c) {
    if (c == '\\' || c == '{' || c == '}') out += '\\';
    out += c;
}

// Frames an RTF body: the header, the body with each line break written as "\line "
// (a second break character right after the first belongs to it), the trailer.
std::string WrapBody(const std::string& body) {
    std::string out;
    out.reserve(std::strlen(CSqlStatementParser::RtfHeader) + body.size() + body.size() / 8 + 16);
    out += CSqlStatementParser::RtfHeader;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (IsBreak(body[i])) {
            out += "\\line ";
            if (i + 1 < body.size() && IsBreak(body[i + 1])) ++i;
        } else {
            out += body[i];
        }
    }
    out += CSqlStatementParser::RtfTrailer;
    return out;
}

const char* const kSwitches[4] = {"\\cf0 ", "\\cf1 ", "\\cf2 ", "\\cf3 "};

}  // namespace

const char* const CSqlStatementParser::SqlKeywords[32] = {
    "select",  "insert", "update", "delete",  "from",   "where",     "order",   "group",   "by",     "null",  "and",
    "or",      "not",    "is",     "between", "in",     "distinct",  "count",   "values",  "rownum", "rowid", "set",
    "sysdate", "nvl",    "sum",    "like",    "decode", "to_number", "to_date", "to_char", "into",   "table",
};

const char* const CSqlStatementParser::RtfHeader =
    "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fmodern Curier New;}}\n"
    "{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green255\\blue0;\\red0\\green0\\blue255;}\n"
    "\\deflang1033\\pard\\tx360\\tx720\\tx1080\\tx1440\\tx1800\\tx2160\\tx2520\\tx2880\\tx3240\\tx3600\\tx3960"
    "\\tx4320\\tx4680\\tx5040\\tx5400\\tx5760\\tx6120\\tx6480\\plain\\f0\\fs20 ";

const char* const CSqlStatementParser::RtfTrailer = "\n\\par }";

const char* TokenClassName(std::int32_t tokenClass) {
    switch (tokenClass) {
        case TokenWhitespace:
            return "whitespace";
        case TokenBackground:
            return "wbackground";
        case TokenNormalText:
            return "normal text";
        case TokenKeyword:
            return "keyword";
        case TokenComment:
            return "comment";
        case TokenNumber:
            return "number";
        case TokenOperator:
            return "operator";
        case TokenString:
            return "string";
        default:
            return "unknown";
    }
}

int CSqlStatementParser::ColorIndexOf(std::int32_t tokenClass) {
    switch (tokenClass) {
        case TokenKeyword:
            return 3;
        case TokenComment:
            return 2;
        case TokenNumber:
        case TokenOperator:
        case TokenString:
            return 1;
        default:
            return 0;
    }
}

void CSqlStatementParser::NormalizeLineBreaks(std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsBreak(text[i])) {
            out += '\n';
            if (i + 1 < text.size() && IsBreak(text[i + 1])) ++i;
        } else {
            out += text[i];
        }
    }
    text.swap(out);
}

std::vector<ColorRecord> CSqlStatementParser::TokenizeSql(const std::string& text) {
    std::vector<ColorRecord> records;
    const std::size_t n = text.size();
    unsigned mode = ModeNormal;
    bool startRun = true;
    bool oneBack = false;
    bool wordPending = false;
    std::size_t wordStart = 0;
    std::size_t scanEnd = n;

    for (std::size_t i = 0; i <= n; ++i) {
        if (startRun) {
            std::int32_t cls = TokenNormalText;
            if (mode & (ModeLineComment | ModeBlockComment))
                cls = TokenComment;
            else if (mode & (ModeDoubleQuoted | ModeSingleQuoted))
                cls = TokenString;
            AddRecord(records, oneBack ? i - 1 : i, cls);
            startRun = false;
            oneBack = false;
        }
        if (i == n) break;

        const char c = text[i];
        const char p = i > 0 ? text[i - 1] : '\0';
        if (mode == ModeDoubleQuoted) {
            if (c == '"' && (i == 0 || p != '"')) {
                mode = ModeNormal;
                startRun = true;
            }
        } else if (mode == ModeSingleQuoted) {
            if (c == '\'' && (i == 0 || p != '\'')) {
                mode = ModeNormal;
                startRun = true;
            }
        } else if (mode == ModeBlockComment) {
            if (i > 0 && c == '/' && p == '*') {
                mode = ModeNormal;
                startRun = true;
            }
        } else {
            if (i > 0 && c == '/' && p == '/') {
                AddRecord(records, i - 1, TokenComment);
                mode = ModeLineComment;
                scanEnd = i;
                break;
            } else if (c == '"') {
                AddRecord(records, i, TokenString);
                mode = ModeDoubleQuoted;
            } else if (c == '\'') {
                AddRecord(records, i, TokenString);
                mode = ModeSingleQuoted;
            } else if (i > 0 && c == '*' && p == '/') {
                AddRecord(records, i - 1, TokenComment);
                mode = ModeBlockComment;
            } else if (IsWordChar(c)) {
                if (!wordPending) {
                    wordPending = true;
                    wordStart = i;
                }
            } else if (wordPending) {
                ClassifyWord(records, text, wordStart, i);
                startRun = true;
                oneBack = true;
                wordPending = false;
            }
        }
    }
    if (wordPending) ClassifyWord(records, text, wordStart, scanEnd);
    return records;
}

bool CSqlStatementParser::IsSqlKeyword(const char* word, std::size_t length) {
    for (const char* keyword : SqlKeywords) {
        if (std::strlen(keyword) != length) continue;
        std::size_t k = 0;
        while (k < length && AsciiLower(word[k]) == keyword[k])
            ++k;
        if (k == length) return true;
    }
    return false;
}

bool CSqlStatementParser::IsSqlNumber(const char* word, std::size_t length) {
    if (length == 0) return false;
    if (length > 2 && word[0] == '0' && word[1] == 'x') {
        for (std::size_t k = 2; k < length; ++k)
            if (!IsHexDigit(word[k])) return false;
        return true;
    }
    if (!IsAsciiDigit(word[0])) return false;
    for (std::size_t k = 1; k < length; ++k) {
        const char c = word[k];
        if (!IsAsciiDigit(c) && c != '+' && c != '-' && c != '.' && c != 'E' && c != 'e') return false;
    }
    return true;
}

void CSqlStatementParser::HighlightToRtf(std::string& text) const {
    NormalizeLineBreaks(text);
    const std::vector<ColorRecord> records = TokenizeSql(text);
    std::string body;
    body.reserve(text.size() + records.size() * 5);
    std::size_t r = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        for (; r < records.size() && static_cast<std::size_t>(records[r].m_Position) == i; ++r)
            body += kSwitches[ColorIndexOf(records[r].m_Class)];
        AppendEscaped(body, text[i]);
    }
    text = WrapBody(body);
}

void CSqlStatementParser::TextToRtf(std::string& text) const {
    std::string body;
    body.reserve(text.size() + 16);
    for (char c : text)
        AppendEscaped(body, c);
    text = WrapBody(body);
}

}  // namespace corvid
