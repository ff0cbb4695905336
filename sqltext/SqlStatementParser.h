#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvid {

// What a stretch of SQL text is, and so which colour it gets.
enum TokenClass : std::int32_t {
    TokenWhitespace = 0,
    TokenBackground = 1,
    TokenNormalText = 2,
    TokenKeyword = 3,
    TokenComment = 4,
    TokenNumber = 5,
    TokenOperator = 6,
    TokenString = 7,
};

// The name of a token class ("keyword", ...); "unknown" for any other value.
const char* TokenClassName(std::int32_t tokenClass);

// From m_Position on, the text has the colour of m_Class.
struct ColorRecord {
    std::int32_t m_Position = 0;
    std::int32_t m_Class = TokenNormalText;

    bool operator==(const ColorRecord&) const = default;
};

// Turns one SQL statement into an RTF document in which keywords, comments, numbers
// and quoted strings have their own colours. Holds no state between calls.
class CSqlStatementParser {
public:
    // Tokenizer modes; one is active at a time.
    enum Mode : unsigned {
        ModeNormal = 0x00,
        ModeLineComment = 0x01,
        ModeBlockComment = 0x04,
        ModeDoubleQuoted = 0x08,
        ModeSingleQuoted = 0x10,
    };

    // The words coloured as keywords, compared without regard to case.
    static const char* const SqlKeywords[32];

    // The frame every document starts with, and the one it ends with.
    static const char* const RtfHeader;
    static const char* const RtfTrailer;

    // Replaces the text with its coloured RTF document.
    void HighlightToRtf(std::string& text) const;
    // Replaces the text with its RTF document, without colours (for the plan).
    void TextToRtf(std::string& text) const;

    // Every CR or LF becomes one LF; a second break character right after it is
    // taken as part of the same break.
    static void NormalizeLineBreaks(std::string& text);
    // The colour records of a normalised text, their positions never decreasing.
    static std::vector<ColorRecord> TokenizeSql(const std::string& text);
    static bool IsSqlKeyword(const char* word, std::size_t length);
    static bool IsSqlNumber(const char* word, std::size_t length);

    // The colour table index a token class is written with (0 to 3).
    static int ColorIndexOf(std::int32_t tokenClass);
};

}  // namespace corvid
