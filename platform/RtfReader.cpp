#include "platform/RtfReader.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/Utf8.h"

namespace corvid {

namespace {

// Groups nested deeper than this are counted but not kept.
constexpr std::size_t kMaxDepth = 4096;
// Control word names longer than this are cut (RTF allows 32 letters).
constexpr std::size_t kMaxWordLength = 32;
// Parameters are clamped to this magnitude.
constexpr std::int64_t kMaxParameter = 0x7FFFFFFF;
// The text colour before any \cf and after \plain.
constexpr int kAutoColor = -1;

enum class Destination { Text, ColorTable, Skipped };

struct GroupState {
    int m_Color = kAutoColor;
    Destination m_Destination = Destination::Text;
    int m_UnicodeSkip = 1;  // \ucN: fallback characters that follow each \uN
};

// Destinations whose content is not part of the text shown.
constexpr std::array<std::string_view, 38> kSkippedDestinations = {"fonttbl",
                                                                   "stylesheet",
                                                                   "info",
                                                                   "pict",
                                                                   "header",
                                                                   "headerl",
                                                                   "headerr",
                                                                   "headerf",
                                                                   "footer",
                                                                   "footerl",
                                                                   "footerr",
                                                                   "footerf",
                                                                   "footnote",
                                                                   "object",
                                                                   "fldinst",
                                                                   "listtable",
                                                                   "listoverridetable",
                                                                   "rsidtbl",
                                                                   "generator",
                                                                   "xmlnstbl",
                                                                   "themedata",
                                                                   "colorschememapping",
                                                                   "latentstyles",
                                                                   "datastore",
                                                                   "filetbl",
                                                                   "revtbl",
                                                                   "pntext",
                                                                   "pntxta",
                                                                   "pntxtb",
                                                                   "author",
                                                                   "title",
                                                                   "subject",
                                                                   "operator",
                                                                   "comment",
                                                                   "keywords",
                                                                   "doccomm",
                                                                   "private",
                                                                   "userprops"};

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class CRtfParser {
public:
    explicit CRtfParser(std::string_view rtf) : m_rtf(rtf) { m_groups.push_back(GroupState{}); }

    RtfDocument Parse() {
        while (m_pos < m_rtf.size() && !m_ended) {
            const char c = m_rtf[m_pos++];
            switch (c) {
                case '{':
                    OpenGroup();
                    break;
                case '}':
                    CloseGroup();
                    break;
                case '\\':
                    ReadControl();
                    break;
                case '\r':
                case '\n':
                    break;  // line breaks of the file itself mean nothing
                default:
                    Character(c);
                    break;
            }
        }
        return Finish();
    }

private:
    GroupState& State() { return m_groups.back(); }

    void OpenGroup() {
        if (m_groups.size() >= kMaxDepth) {
            ++m_excessDepth;
            return;
        }
        m_groups.push_back(State());
        m_opened = true;
    }

    void CloseGroup() {
        if (m_excessDepth > 0) {
            --m_excessDepth;
            return;
        }
        if (m_groups.size() <= 1) return;  // a stray closing brace
        if (State().m_Destination == Destination::ColorTable && m_colorEntryStarted) EndColorEntry();
        m_groups.pop_back();
        m_pendingUnicodeSkip = 0;
        if (m_groups.size() == 1 && m_opened) m_ended = true;  // the document's own group is closed
    }

    // A text character of the current destination.
    void Character(char c) {
        if (m_pendingUnicodeSkip > 0) {
            --m_pendingUnicodeSkip;
            return;
        }
        switch (State().m_Destination) {
            case Destination::Text:
                Emit(std::string_view(&c, 1));
                break;
            case Destination::ColorTable:
                if (c == ';')
                    EndColorEntry();
                else if (c != ' ')
                    m_colorEntryStarted = true;
                break;
            case Destination::Skipped:
                break;
        }
    }

    void Emit(std::string_view text) {
        if (State().m_Destination != Destination::Text) return;
        FlushHighSurrogate();
        FlushParagraphs();
        AppendText(text, State().m_Color);
    }

    void AppendText(std::string_view text, int color) {
        if (m_runs.empty() || m_runColors.back() != color) {
            m_runs.push_back(RtfRun{});
            m_runColors.push_back(color);
        }
        m_runs.back().m_Text += text;
    }

    // Paragraph marks are written only once something follows them, so that the mark
    // ending the last paragraph adds no line break.
    void Paragraph() {
        if (State().m_Destination != Destination::Text) return;
        FlushHighSurrogate();
        if (m_pendingParagraphs == 0) m_paragraphColor = State().m_Color;
        ++m_pendingParagraphs;
    }

    // A high surrogate that no low surrogate followed stands for no character.
    void FlushHighSurrogate() {
        if (m_highSurrogate == 0) return;
        m_highSurrogate = 0;
        AppendText("\xEF\xBF\xBD", m_highSurrogateColor);
    }

    void FlushParagraphs() {
        for (; m_pendingParagraphs > 0; --m_pendingParagraphs)
            AppendText("\n", m_paragraphColor);
    }

    void EndColorEntry() {
        m_colors.push_back(m_colorEntryStarted ? RtfColor::Rgb(m_red, m_green, m_blue) : RtfColor{});
        m_red = m_green = m_blue = 0;
        m_colorEntryStarted = false;
    }

    void ReadControl() {
        if (m_pos >= m_rtf.size()) return;
        const char c = m_rtf[m_pos];
        if (IsLetter(c)) {
            ReadControlWord();
            return;
        }
        ++m_pos;
        switch (c) {
            case '\\':
            case '{':
            case '}':
                Character(c);
                break;
            case '\'':
                ReadHexByte();
                break;
            case '~':
                Character(' ');
                break;
            case '_':
                Character('-');
                break;
            case '*':
                State().m_Destination = Destination::Skipped;
                break;
            case '\r':
            case '\n':
                Paragraph();
                break;
            default:
                break;  // \- (optional hyphen) and unknown symbols show nothing
        }
    }

    void ReadHexByte() {
        int value = 0;
        for (int k = 0; k < 2; ++k) {
            if (m_pos >= m_rtf.size()) return;
            const int digit = HexValue(m_rtf[m_pos]);
            if (digit < 0) return;
            value = value * 16 + digit;
            ++m_pos;
        }
        Character(static_cast<char>(value));
    }

    void ReadControlWord() {
        const std::size_t start = m_pos;
        while (m_pos < m_rtf.size() && IsLetter(m_rtf[m_pos]))
            ++m_pos;
        const std::string_view word = m_rtf.substr(start, std::min(m_pos - start, kMaxWordLength));

        bool hasParameter = false;
        bool negative = false;
        std::int64_t parameter = 0;
        if (m_pos + 1 < m_rtf.size() && m_rtf[m_pos] == '-' && IsDigit(m_rtf[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        while (m_pos < m_rtf.size() && IsDigit(m_rtf[m_pos])) {
            hasParameter = true;
            parameter = std::min(parameter * 10 + (m_rtf[m_pos] - '0'), kMaxParameter);
            ++m_pos;
        }
        if (negative) parameter = -parameter;
        if (m_pos < m_rtf.size() && m_rtf[m_pos] == ' ') ++m_pos;  // the delimiter belongs to the word
        ControlWord(word, hasParameter, static_cast<int>(parameter));
    }

    void ControlWord(std::string_view word, bool hasParameter, int parameter) {
        GroupState& state = State();
        if (state.m_Destination == Destination::Skipped) {
            if (word == "bin") SkipBinary(hasParameter ? parameter : 0);
            return;
        }
        if (state.m_Destination == Destination::ColorTable) {
            const int component = std::clamp(parameter, 0, 255);
            if (word == "red") {
                m_red = component;
                m_colorEntryStarted = true;
            } else if (word == "green") {
                m_green = component;
                m_colorEntryStarted = true;
            } else if (word == "blue") {
                m_blue = component;
                m_colorEntryStarted = true;
            }
            return;
        }
        if (word == "par") {
            Paragraph();
        } else if (word == "line") {
            Emit("\n");
        } else if (word == "tab") {
            Emit("\t");
        } else if (word == "cf") {
            state.m_Color = hasParameter && parameter >= 0 ? parameter : (hasParameter ? kAutoColor : 0);
        } else if (word == "plain") {
            state.m_Color = kAutoColor;
        } else if (word == "colortbl") {
            state.m_Destination = Destination::ColorTable;
            m_colors.clear();
            m_red = m_green = m_blue = 0;
            m_colorEntryStarted = false;
        } else if (word == "u" && hasParameter) {
            UnicodeCharacter(parameter);
        } else if (word == "uc") {
            state.m_UnicodeSkip = std::clamp(parameter, 0, 16);
        } else if (word == "bin") {
            SkipBinary(hasParameter ? parameter : 0);
        } else if (word == "emdash") {
            Emit("\xE2\x80\x94");
        } else if (word == "endash") {
            Emit("\xE2\x80\x93");
        } else if (word == "bullet") {
            Emit("\xE2\x80\xA2");
        } else if (word == "lquote") {
            Emit("\xE2\x80\x98");
        } else if (word == "rquote") {
            Emit("\xE2\x80\x99");
        } else if (word == "ldblquote") {
            Emit("\xE2\x80\x9C");
        } else if (word == "rdblquote") {
            Emit("\xE2\x80\x9D");
        } else if (std::find(kSkippedDestinations.begin(), kSkippedDestinations.end(), word) !=
                   kSkippedDestinations.end()) {
            state.m_Destination = Destination::Skipped;
        }
    }

    void UnicodeCharacter(int parameter) {
        // Parameters are signed 16-bit numbers; negative ones stand for 32768 and up.
        std::int64_t code = parameter < 0 ? std::int64_t{parameter} + 65536 : parameter;
        if (code < 0 || code > 0x10FFFF) code = 0xFFFD;
        m_pendingUnicodeSkip = State().m_UnicodeSkip;
        // Characters beyond U+FFFF come as a high and a low surrogate, one \uN each.
        if (code >= 0xD800 && code <= 0xDBFF) {
            FlushHighSurrogate();
            FlushParagraphs();
            m_highSurrogate = static_cast<char32_t>(code);
            m_highSurrogateColor = State().m_Color;
            return;
        }
        if (code >= 0xDC00 && code <= 0xDFFF && m_highSurrogate != 0) {
            code = 0x10000 + ((std::int64_t{m_highSurrogate} - 0xD800) << 10) + (code - 0xDC00);
            m_highSurrogate = 0;
        }
        std::string text;
        AppendUtf8(text, static_cast<char32_t>(code));
        Emit(text);
    }

    void SkipBinary(int count) {
        if (count <= 0) return;
        m_pos += std::min(static_cast<std::size_t>(count), m_rtf.size() - m_pos);
    }

    RtfDocument Finish() {
        FlushHighSurrogate();
        // Only the mark that ends the last paragraph is dropped; marks of empty
        // paragraphs before it are line breaks.
        if (m_pendingParagraphs > 1) {
            --m_pendingParagraphs;
            FlushParagraphs();
        }
        RtfDocument document;
        document.m_ColorTable = m_colors;
        for (std::size_t k = 0; k < m_runs.size(); ++k) {
            const int color = m_runColors[k];
            if (color >= 0 && static_cast<std::size_t>(color) < m_colors.size()) m_runs[k].m_Color = m_colors[color];
            // Runs whose indices name the same colour are merged.
            if (!document.m_Runs.empty() && document.m_Runs.back().m_Color == m_runs[k].m_Color)
                document.m_Runs.back().m_Text += m_runs[k].m_Text;
            else
                document.m_Runs.push_back(std::move(m_runs[k]));
        }
        return document;
    }

    std::string_view m_rtf;
    std::size_t m_pos = 0;
    std::vector<GroupState> m_groups;
    std::size_t m_excessDepth = 0;
    bool m_opened = false;
    bool m_ended = false;
    int m_pendingUnicodeSkip = 0;
    char32_t m_highSurrogate = 0;  // waiting for its low surrogate
    int m_highSurrogateColor = kAutoColor;

    std::vector<RtfRun> m_runs;
    std::vector<int> m_runColors;  // the colour index of each run
    std::size_t m_pendingParagraphs = 0;
    int m_paragraphColor = kAutoColor;

    std::vector<RtfColor> m_colors;
    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    bool m_colorEntryStarted = false;
};

}  // namespace

std::string RtfDocument::PlainText() const {
    std::string text;
    for (const RtfRun& run : m_Runs)
        text += run.m_Text;
    return text;
}

RtfDocument CRtfReader::Read(std::string_view rtf) {
    return CRtfParser(rtf).Parse();
}

}  // namespace corvid
