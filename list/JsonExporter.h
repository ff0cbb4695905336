#pragma once

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvid {

class CListCtrlEx;

// One document for the whole list, or one row a line (NDJSON).
enum class EJsonForm { Document, Lines };

// Writes what the list shows as JSON for scripts: the same columns in the same
// order as the other export formats, each cell typed. A column the list sorts
// as a number gives numbers (a cell that is no number stays a string), every
// other column strings; an empty cell is null. Texts are UTF-8, with every byte
// that is not part of a valid UTF-8 sequence written as U+FFFD.
//
// The document form is one object with the export's context and an array of row
// objects keyed by column title; the lines form writes one row object per line
// and nothing else, for streaming.
class CJsonExporter {
public:
    // What the list itself does not know.
    struct SContext {
        std::string exportName;
        std::string program;
        std::string version;
        std::string user;
        std::string server;               // the connect string; empty for the local database
        std::string database;             // the database's name; empty when unknown
        std::string banner;               // the server's version line; empty when unknown
        std::optional<std::tm> loadTime;  // local time at the start of the load
        // Named figures of the load, in order ("statements", "buffer_gets", ...).
        std::vector<std::pair<std::string, double>> totals;
    };

    explicit CJsonExporter(const CListCtrlEx& list) : m_list(list) {}
    CJsonExporter(const CJsonExporter&) = delete;
    CJsonExporter& operator=(const CJsonExporter&) = delete;

    void SetContext(SContext context) { m_context = std::move(context); }
    const SContext& GetContext() const { return m_context; }

    // baseName + ".JSON" or ".NDJSON", replaced only when complete. A failure is
    // shown to the user; false when the file could not be written.
    bool Export(EJsonForm form, const std::string& baseName) const;
    // The same to an open stream (standard output); false on a write error.
    bool Write(EJsonForm form, std::FILE* stream) const;

    static const char* Extension(EJsonForm form) { return form == EJsonForm::Document ? ".JSON" : ".NDJSON"; }
    // Local time as ISO 8601 with its offset from UTC: 2026-12-07T13:05:09+01:00.
    static std::string IsoTime(const std::tm& time);
    // The keys of the row objects: the column titles, a repeated title followed by
    // " (2)", " (3)", ... so that no key hides another.
    std::vector<std::string> RowKeys() const;

private:
    template <typename Sink>
    void WriteTo(EJsonForm form, Sink& sink) const;

    const CListCtrlEx& m_list;
    SContext m_context;
};

}  // namespace corvid
