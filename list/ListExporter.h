#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "list/ExportFormat.h"

namespace corvid {

class CListCtrlEx;
class CTraceContext;

// Writes what the list shows (column titles, rows in their current order, cell
// texts) to a CSV file, an HTML table, or an XML file with an inline document
// type definition plus a companion HTML page that displays it.
//
// A file is first written to a temporary file beside it and renamed over the
// target only when it is complete, so a failed export leaves what was there.
class CListExporter {
public:
    static constexpr const char* kVendorWebPage = "https://www.example.com/corvid";
    static constexpr const char* kVendorMail = "corvid@example.com";

    explicit CListExporter(const CListCtrlEx& list);
    virtual ~CListExporter() = default;
    CListExporter(const CListExporter&) = delete;
    CListExporter& operator=(const CListExporter&) = delete;

    // The identification text written into every export; lines end with "\n".
    void SetIdentification(const std::string& text) { m_identification = text; }
    const std::string& GetIdentification() const { return m_identification; }
    // Where the file writer notes what it did beyond the plain case (optional).
    void SetTrace(CTraceContext* trace) { m_trace = trace; }

    // Writes baseName + ".CSV", ".HTML" or ".XML" (and for XML baseName +
    // "_XML.HTML"). Failures are shown to the user; false when the main file
    // could not be written.
    bool Export(EExportFormat format, const std::string& baseName, const std::string& exportName);

    // The program's name, version and rights line, as exports carry them.
    static std::string ProgramIdentification();
    // `text` made into an XML name: bytes other than ASCII letters, digits, "-"
    // and "_" become "_", and so does a first byte that may not start a name.
    static std::string XmlName(std::string_view text);
    // The XML root element: the export name made into a name, "Export" when empty.
    std::string RootElementName() const;
    // A column's element name: its title made into a name, "Column_N" (counted
    // from 1) when the title gives none.
    std::string ColumnElementName(int column) const;
    // "Www Mmm DD hh:mm:ss YYYY", the day with a leading zero.
    static std::string Stamp(const std::tm& time);

    // Cell encodings, appended to `out`.
    static void AppendCsvField(std::string_view cell, std::string& out);
    static void AppendHtmlCell(std::string_view cell, std::string& out);
    static void AppendXmlCell(std::string_view cell, std::string& out);

private:
    class COutput;

    void WriteCsv(COutput& out) const;
    void WriteHtml(COutput& out) const;
    void WriteXmlHead(COutput& out, const std::string& fileName) const;
    void WriteXmlRows(COutput& out) const;
    void WriteCompanionPage(COutput& out, const std::string& xmlFileName) const;
    std::string Align(int column) const;
    // The column's header text, of at most 255 bytes.
    std::string Title(int column) const;
    static constexpr std::size_t kMaxTitleLength = 255;
    std::string Ident(std::string_view separator) const;

    const CListCtrlEx& m_list;
    CTraceContext* m_trace = nullptr;
    std::string m_exportName;
    std::string m_identification;
    const std::string m_fieldQuote = "\"";
    const std::string m_fieldSeparator = ",";
    const std::string m_rowElementName = "ROW";
};

}  // namespace corvid
