#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvid {

// A colour of an RTF document. m_Auto is the viewer's default text colour: the colour
// of text before any \cf, after \plain, of an empty colour table entry, and of a \cf
// that names no entry of the table.
struct RtfColor {
    int m_Red = 0;
    int m_Green = 0;
    int m_Blue = 0;
    bool m_Auto = true;

    static RtfColor Rgb(int red, int green, int blue) { return RtfColor{red, green, blue, false}; }
    bool operator==(const RtfColor&) const = default;
};

// A stretch of text in one colour. Line breaks (\line, \par) are "\n", tabs "\t".
// Text bytes are passed on as the document holds them (plain bytes and \'hh alike);
// \uN characters (a surrogate pair as one) are written in UTF-8.
struct RtfRun {
    std::string m_Text;
    RtfColor m_Color;

    bool operator==(const RtfRun&) const = default;
};

// What the reader makes of a document: its text as runs (none when there is no
// text; neighbours differ in colour) and its colour table.
struct RtfDocument {
    std::vector<RtfRun> m_Runs;
    std::vector<RtfColor> m_ColorTable;

    // All runs' text, one after the other.
    std::string PlainText() const;
};

// Reads the subset of RTF that a text viewer needs: groups, control words with
// their numeric parameters, control symbols, the colour table, \cfN and \plain,
// \line, \par, \tab, \'hh, \uN with \ucN, escaped braces and backslash; ignorable
// destinations ({\*...}), the font table, style sheet, document information,
// pictures and other destinations whose text is not shown are skipped, and so is
// the data of \binN. The paragraph mark that ends the document's last paragraph
// adds no line break.
//
// Any input is read to its end without failing: unbalanced braces (text after the
// document's closing brace is ignored), truncated documents, absurd parameters
// (clamped) and nesting of any depth (kept in bounded memory).
class CRtfReader {
public:
    static RtfDocument Read(std::string_view rtf);
};

}  // namespace corvid
