#include "list/ListExporter.h"

#include <array>
#include <cstdio>

#include "diag/ProgramVersion.h"
#include "list/AtomicFile.h"
#include "list/ListCtrlEx.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "platform/Utf8.h"

namespace corvid {

class CListExporter::COutput : public CAtomicFile {
public:
    using CAtomicFile::CAtomicFile;
};

namespace {

constexpr const char* kCrLf = "\r\n";

bool IsAsciiLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAsciiDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsLineBreak(unsigned char c) {
    return c == '\r' || c == '\n';
}

// Bytes an HTML cell copies as they are.
constexpr std::array<bool, 256> MakeHtmlPlain() {
    std::array<bool, 256> plain{};
    for (int c = 0; c < 256; ++c) {
        plain[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    }
    for (unsigned char c : std::string_view(" ,.;:-+/*_()="))
        plain[c] = true;
    return plain;
}
// Bytes an XML cell copies as they are.
constexpr std::array<bool, 256> MakeXmlPlain() {
    std::array<bool, 256> plain{};
    for (int c = 0; c < 256; ++c) {
        plain[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    }
    return plain;
}
constexpr std::array<bool, 256> kHtmlPlain = MakeHtmlPlain();
constexpr std::array<bool, 256> kXmlPlain = MakeXmlPlain();

void AppendReference(std::uint32_t value, std::string& out) {
    char buffer[16];
    int length = std::snprintf(buffer, sizeof buffer, "&#%u;", value);
    out.append(buffer, static_cast<std::size_t>(length));
}

// The references of the 256 byte values, built once.
const std::array<std::string, 256>& ByteReferences() {
    static const std::array<std::string, 256> references = [] {
        std::array<std::string, 256> r;
        for (std::uint32_t c = 0; c < 256; ++c) {
            r[c].clear();
            AppendReference(c, r[c]);
        }
        return r;
    }();
    return references;
}

// DecodeUtf8 over the bytes from p to end.
std::size_t DecodeUtf8(const unsigned char* p, const unsigned char* end, std::uint32_t& codePoint) {
    char32_t code = 0;
    const std::size_t length =
        corvid::DecodeUtf8(std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p)), 0, code);
    codePoint = code;
    return length;
}

// A line break of a cell: CR or LF, with one directly following CR or LF taken
// along. Returns the position after it.
std::size_t SkipLineBreak(std::string_view cell, std::size_t i) {
    return i + 1 < cell.size() && IsLineBreak(static_cast<unsigned char>(cell[i + 1])) ? i + 2 : i + 1;
}

// Whether a character may not appear in an export's text: the control characters
// other than tab, CR and LF (C0, DEL and C1) and the noncharacters U+FFFE and
// U+FFFF. Every format shows them as U+FFFD (CSV: C0 and DEL as its "\NN"
// escapes), and every byte that is not part of valid UTF-8 as U+FFFD too.
bool IsForbiddenCharacter(std::uint32_t code) {
    return (code < 32 && code != '\t' && code != '\r' && code != '\n') || (code >= 0x7F && code <= 0x9F) ||
           code == 0xFFFE || code == 0xFFFF;
}

constexpr const char* kReplacementReference = "&#65533;";
constexpr const char* kReplacementUtf8 = "\xEF\xBF\xBD";

// Writes a cell's text as HTML or XML character data: runs of plain bytes as they
// are, a line break (CR, LF, or a pair of them) as the markup's line break, a valid
// UTF-8 character outside ASCII as one numeric reference, and every other byte as
// the reference of its value. Neither markup allows references to control
// characters (other than tab) or to U+FFFE and U+FFFF: they become U+FFFD, and so
// does every byte that is not part of valid UTF-8.
enum class ECellMarkup { Html, Xml };

template <ECellMarkup kMarkup>
void AppendEscapedCell(std::string_view cell, std::string& out) {
    constexpr bool kXml = kMarkup == ECellMarkup::Xml;
    const std::array<bool, 256>& plain = kXml ? kXmlPlain : kHtmlPlain;
    const auto& references = ByteReferences();
    const auto* begin = reinterpret_cast<const unsigned char*>(cell.data());
    const auto* end = begin + cell.size();
    const auto* p = begin;
    while (p < end) {
        const auto* run = p;
        while (run < end && plain[*run])
            ++run;
        out.append(reinterpret_cast<const char*>(p), static_cast<std::size_t>(run - p));
        p = run;
        if (p >= end) break;
        const unsigned char c = *p;
        if (IsLineBreak(c)) {
            out += kXml ? "\r\n" : "<br>";
            p = begin + SkipLineBreak(cell, static_cast<std::size_t>(p - begin));
            continue;
        }
        if (c >= 0x80) {
            std::uint32_t codePoint = 0;
            std::size_t length = DecodeUtf8(p, end, codePoint);
            if (length == 0 || IsForbiddenCharacter(codePoint)) {
                out += kReplacementReference;
            } else {
                AppendReference(codePoint, out);
            }
            p += length > 0 ? length : 1;
            continue;
        }
        if (IsForbiddenCharacter(c)) {
            out += kReplacementReference;
        } else {
            out += references[c];
        }
        ++p;
    }
}

// Text for an XML comment: what is not printable, and a "-" after "-", becomes
// "?", so the comment stays well formed whatever the text holds.
std::string CommentText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        if (*p >= 0x80) {
            std::uint32_t codePoint = 0;
            std::size_t length = DecodeUtf8(p, end, codePoint);
            if (length > 0 && codePoint != 0xFFFE && codePoint != 0xFFFF) {
                out.append(reinterpret_cast<const char*>(p), length);
                p += length;
            } else {
                out += '?';
                ++p;
            }
            continue;
        }
        if (*p < 32 || (*p == '-' && !out.empty() && out.back() == '-')) {
            out += '?';
        } else {
            out += static_cast<char>(*p);
        }
        ++p;
    }
    return out;
}

const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

CListExporter::CListExporter(const CListCtrlEx& list) : m_list(list) {}

std::string CListExporter::ProgramIdentification() {
    return std::string("Corvid - The Oracle Shared Pool Profiler\n") + "Version " + kProgramVersion + " (Build " +
           std::to_string(kProgramBuild) + ")\n" + "Copyright (C) 2026 Quarry Lane. All rights reserved.";
}

std::string CListExporter::XmlName(std::string_view text) {
    std::string name(text);
    for (char& c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (!IsAsciiLetter(b) && !IsAsciiDigit(b) && c != '-' && c != '_') c = '_';
    }
    if (!name.empty() && !IsAsciiLetter(static_cast<unsigned char>(name[0])) && name[0] != '_') name[0] = '_';
    return name;
}

std::string CListExporter::Stamp(const std::tm& time) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s %s %02d %02d:%02d:%02d %04d", kWeekdays[((time.tm_wday % 7) + 7) % 7],
                  kMonths[((time.tm_mon % 12) + 12) % 12], time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec,
                  time.tm_year + 1900);
    return buffer;
}

void CListExporter::AppendCsvField(std::string_view cell, std::string& out) {
    if (cell.empty()) return;
    out += '"';
    std::size_t i = 0;
    while (i < cell.size()) {
        // Runs of plain bytes go in one piece.
        std::size_t run = i;
        while (run < cell.size() && static_cast<unsigned char>(cell[run]) >= 32 &&
               static_cast<unsigned char>(cell[run]) < 0x7F && cell[run] != '"')
            ++run;
        out.append(cell.data() + i, run - i);
        i = run;
        if (i >= cell.size()) break;
        const auto c = static_cast<unsigned char>(cell[i]);
        if (IsLineBreak(c)) {
            out += '\n';
            i = SkipLineBreak(cell, i);
        } else if (c == '"') {
            ++i;
        } else if (c >= 0x80) {
            // Valid UTF-8 is copied; invalid bytes and C1 controls become U+FFFD.
            char32_t code = 0;
            const std::size_t length = corvid::DecodeUtf8(cell, i, code);
            if (length == 0 || IsForbiddenCharacter(code)) {
                out += kReplacementUtf8;
            } else {
                out.append(cell.data() + i, length);
            }
            i += length > 0 ? length : 1;
        } else {
            out += '\\';
            out += std::to_string(c);
            ++i;
        }
    }
    out += '"';
}

void CListExporter::AppendHtmlCell(std::string_view cell, std::string& out) {
    if (cell.empty()) {
        out += "&nbsp;";
        return;
    }
    AppendEscapedCell<ECellMarkup::Html>(cell, out);
}

void CListExporter::AppendXmlCell(std::string_view cell, std::string& out) {
    AppendEscapedCell<ECellMarkup::Xml>(cell, out);
}

std::string CListExporter::Align(int column) const {
    switch (m_list.GetColumnAlignment(column)) {
        case kAlignRight:
            return "align=\"right\"";
        case kAlignCenter:
            return "align=\"center\"";
        default:
            return "align=\"left\"";
    }
}

std::string CListExporter::Title(int column) const {
    std::string title = m_list.GetColumnTitle(column);
    if (title.size() > kMaxTitleLength) title.resize(kMaxTitleLength);
    return title;
}

std::string CListExporter::Ident(std::string_view separator) const {
    std::string text;
    for (char c : m_identification) {
        if (c == '\n') {
            text += separator;
        } else {
            text += c;
        }
    }
    return text;
}

bool CListExporter::Export(EExportFormat format, const std::string& baseName, const std::string& exportName) {
    m_exportName = exportName;
    const std::string fileName = baseName + ExportFormatExtension(format);

    COutput out(fileName);
    out.SetTrace(m_trace);
    if (!out.Open()) {
        GetPrompter().Message(out.FailureMessage(), IPrompter::Kind::Error);
        return false;
    }
    // The XML and its page are one export: both are written, or neither.
    COutput companion(baseName + "_XML.HTML");
    companion.SetTrace(m_trace);
    switch (format) {
        case EExportFormat::Csv:
            WriteCsv(out);
            break;
        case EExportFormat::Html:
            WriteHtml(out);
            break;
        case EExportFormat::Xml:
            if (!companion.Open()) {
                out.Discard();
                GetPrompter().Message(companion.FailureMessage(), IPrompter::Kind::Error);
                return false;
            }
            WriteXmlHead(out, fileName);
            WriteCompanionPage(companion, fileName);
            WriteXmlRows(out);
            break;
    }
    const bool written =
        format == EExportFormat::Xml ? CAtomicFile::CommitAll({&out, &companion}) : out.Commit();
    if (!written) {
        const COutput& failed = out.GetError().empty() && !companion.GetError().empty() ? companion : out;
        GetPrompter().Message(failed.FailureMessage(), IPrompter::Kind::Error);
        return false;
    }
    return true;
}

void CListExporter::WriteCsv(COutput& out) const {
    const int columns = m_list.GetColumnCount();
    const int rows = m_list.GetItemCount();
    std::string line;
    for (int i = 0; i < columns; ++i) {
        if (i > 0) line += m_fieldSeparator;
        line += Title(i);
    }
    out.Line(line);
    for (int r = 0; r < rows; ++r) {
        std::string& buffer = out.Buffer();
        for (int i = 0; i < columns; ++i) {
            if (i > 0) buffer += m_fieldSeparator;
            AppendCsvField(m_list.GetItemTextView(r, i), buffer);
        }
        buffer += kCrLf;
        out.WroteBuffer();
    }
}

void CListExporter::WriteHtml(COutput& out) const {
    const int columns = m_list.GetColumnCount();
    const int rows = m_list.GetItemCount();
    out.Line("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">");
    out.Line("");
    out.Line("<HTML>");
    out.Line("<HEAD>");
    out.Line("");
    out.Line("<TITLE>" + m_exportName + "</TITLE>");
    out.Line("");
    out.Line("<STYLE>");
    out.Line("<!--");
    out.Line("body,td       {font-family:verdana; font-size: 10px; font-weight: normal; color:000000}");
    out.Line("th            {font-family:verdana; font-size: 10px; font-weight: bold;   color:000000}");
    out.Line(".title        {font-family:verdana; font-size: 20px; font-weight: bold;   color:000000}");
    out.Line(".copy         {font-family:verdana; font-size: 10px; font-weight: normal; color:808080}");
    out.Line("//-->");
    out.Line("</STYLE>");
    out.Line("</HEAD>");
    out.Line("");
    out.Line("<BODY>");
    out.Line("");
    out.Line("<P class=\"title\">" + m_exportName + "</P>" + "<TABLE border=\"1\" cellSpacing=\"0\" width=\"80%\">" +
             "<TR>");
    std::vector<std::string> cellStarts;
    for (int i = 0; i < columns; ++i) {
        out.Line("<TH " + Align(i) + ">" + Title(i) + "</TH>");
        cellStarts.push_back("<TD " + Align(i) + ">");
    }
    out.Line("</TR>");
    out.Line("");
    for (int r = 0; r < rows; ++r) {
        std::string& buffer = out.Buffer();
        buffer += "<TR>\r\n";
        for (int i = 0; i < columns; ++i) {
            buffer += cellStarts[i];
            AppendHtmlCell(m_list.GetItemTextView(r, i), buffer);
            buffer += "</TD>\r\n";
        }
        buffer += "</TR>\r\n";
        out.WroteBuffer();
    }
    out.Line("</TABLE>");
    out.Line("<TABLE border=\"0\" width=\"80%\"><TR><TD><SPAN class=\"copy\">");
    out.Line("Automatically generated " + Stamp(GetClock().LocalTime()) + " with:<BR>");
    out.Line(Ident("<BR>") + "<br>");
    out.Line(std::string("WWW: <A href=\"") + kVendorWebPage + "\">" + kVendorWebPage + "</A><BR>");
    out.Line(std::string("EMail: <A href=\"mailto:") + kVendorMail + "\">" + kVendorMail + "</A><BR>");
    out.Line("</SPAN></TD></TR></TABLE>");
    out.Line("</BODY>");
    out.Line("");
    out.Line("</HTML>");
}

void CListExporter::WriteXmlHead(COutput& out, const std::string& fileName) const {
    const int columns = m_list.GetColumnCount();
    const std::string root = RootElementName();
    out.Line("<?xml version=\"1.0\"?>");
    out.Line("");
    out.Line("<!-- File Name: " + CommentText(fileName) + " -->");
    out.Line("");
    out.Line("<!--");
    out.Line("Automatically generated " + Stamp(GetClock().LocalTime()) + " with:");
    std::string ident = Ident("\r\n");
    for (char& c : ident) {
        const auto b = static_cast<unsigned char>(c);
        if (b != '\r' && b != '\n' && (b < 32 || b > 127)) c = '?';
    }
    out.Line(ident);
    out.Line(std::string("www:   ") + kVendorWebPage);
    out.Line(std::string("email: ") + kVendorMail);
    out.Line("-->");
    out.Line("");
    out.Line("<!DOCTYPE " + root);
    out.Line("   [");
    out.Line("   <!ELEMENT " + root + " (" + XmlName(m_rowElementName) + "*)>");
    std::string row = "   <!ELEMENT " + XmlName(m_rowElementName);
    if (columns == 0) {
        row += " EMPTY>";  // "()" is no content model
    } else {
        row += " (";
        for (int i = 0; i < columns; ++i) {
            if (i > 0) row += ", ";
            row += ColumnElementName(i) + "?";
        }
        row += ")>";
    }
    out.Line(row);
    for (int i = 0; i < columns; ++i)
        out.Line("   <!ELEMENT " + ColumnElementName(i) + " (#PCDATA)>");
    out.Line("   ]");
    out.Line(">");
    out.Line("");
    out.Line("<" + root + ">");
}

void CListExporter::WriteXmlRows(COutput& out) const {
    const int columns = m_list.GetColumnCount();
    const int rows = m_list.GetItemCount();
    const std::string rowName = XmlName(m_rowElementName);
    const std::string rowStart = " <" + rowName + ">\r\n";
    const std::string rowEnd = " </" + rowName + ">\r\n";
    std::vector<std::string> starts, ends;
    for (int i = 0; i < columns; ++i) {
        const std::string name = ColumnElementName(i);
        starts.push_back("  <" + name + ">");
        ends.push_back("</" + name + ">\r\n");
    }
    for (int r = 0; r < rows; ++r) {
        std::string& buffer = out.Buffer();
        buffer += rowStart;
        for (int i = 0; i < columns; ++i) {
            buffer += starts[i];
            AppendXmlCell(m_list.GetItemTextView(r, i), buffer);
            buffer += ends[i];
        }
        buffer += rowEnd;
        out.WroteBuffer();
    }
    out.Line("</" + RootElementName() + ">");
}

std::string CListExporter::ColumnElementName(int column) const {
    // A column without a title still needs a name, or the document is not XML.
    const std::string name = XmlName(Title(column));
    return name.empty() ? "Column_" + std::to_string(column + 1) : name;
}

std::string CListExporter::RootElementName() const {
    // An empty export name would leave the document without a root element name,
    // which no XML parser reads.
    const std::string name = XmlName(m_exportName);
    return name.empty() ? "Export" : name;
}

void CListExporter::WriteCompanionPage(COutput& out, const std::string& xmlFileName) const {
    const int columns = m_list.GetColumnCount();
    auto fontStart = [](int size) { return "<font face=\"VERDANA\" size=\"" + std::to_string(size) + "\">"; };
    out.Line("<HTML>");
    out.Line("");
    out.Line("<HEAD>");
    out.Line("   <TITLE>" + m_exportName + "</TITLE>");
    out.Line("</HEAD>");
    out.Line("");
    out.Line("<BODY>");
    out.Line("");
    out.Line("<TABLE BORDER=\"0\" WIDTH=\"100%\">");
    out.Line("<TR>");
    out.Line("<TD WIDTH=\"100%\">" + fontStart(5) + "<STRONG>" + m_exportName + "</STRONG></FONT></TD>");
    out.Line("</TR>");
    out.Line("</TABLE>");
    out.Line("");
    // The rows are written into the page itself: browsers of today bind no XML
    // data island, and a page opened from a file may read no other file.
    out.Line("   <!-- The rows of " + CommentText(xmlFileName) + " -->");
    out.Line("");
    out.Line("   <TABLE BORDER=\"1\" CELLPADDING=\"5\">");
    out.Line("      <THEAD>");
    std::vector<std::string> cellStarts;
    for (int i = 0; i < columns; ++i) {
        out.Line("         <TH " + Align(i) + ">" + fontStart(1) + Title(i) + "</TH>");
        cellStarts.push_back("         <TD " + Align(i) + ">" + fontStart(1));
    }
    out.Line("      </THEAD>");
    const int rows = m_list.GetItemCount();
    for (int r = 0; r < rows; ++r) {
        std::string& buffer = out.Buffer();
        buffer += "      <TR>\r\n";
        for (int i = 0; i < columns; ++i) {
            buffer += cellStarts[static_cast<std::size_t>(i)];
            AppendHtmlCell(m_list.GetItemTextView(r, i), buffer);
            buffer += "</TD>\r\n";
        }
        buffer += "      </TR>\r\n";
        out.WroteBuffer();
    }
    out.Line("   </TABLE>");
    out.Line("");
    out.Line("");
    out.Line("<TABLE BORDER=\"0\" WIDTH=\"100%\">");
    out.Line("<TR>");
    out.Line(std::string("<TD WIDTH=\"100%\">") + "<FONT FACE=\"Verdana\" SIZE=\"1\" COLOR=\"808080\">" +
             "<br>Automatically generated " + Stamp(GetClock().LocalTime()) + " with:<br>");
    out.Line(Ident("<BR>") + "<br>");
    out.Line(std::string("www:   <A href=\"") + kVendorWebPage + "\">" + kVendorWebPage + "</A><BR>");
    out.Line(std::string("email: <A href=\"mailto:") + kVendorMail + "\">" + kVendorMail + "</A><BR>");
    out.Line("</FONT></TD>");
    out.Line("</TR>");
    out.Line("</TABLE>");
    out.Line("</BODY>");
    out.Line("");
    out.Line("</HTML>");
}

}  // namespace corvid
