#include "list/JsonExporter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "list/AtomicFile.h"
#include "list/ListCtrlEx.h"
#include "platform/Prompter.h"
#include "platform/Services.h"

namespace corvid {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::size_t kStreamFlushSize = 1 << 20;

// Invalid UTF-8 becomes U+FFFD instead of an exception.
std::string Dump(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json TextOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

// A whole figure as an integer, so that counts do not read 600.0.
Json Figure(double value) {
    if (!std::isfinite(value)) return Json(nullptr);
    if (value == std::trunc(value) && std::fabs(value) < 9.0e15) return Json(static_cast<std::int64_t>(value));
    return Json(value);
}

// A number column's cell: an integer or a finite decimal as a number, anything
// else as the text it is.
Json NumberCell(std::string_view cell) {
    const char* begin = cell.data();
    const char* end = begin + cell.size();
    std::int64_t integer = 0;
    if (auto [ptr, error] = std::from_chars(begin, end, integer); error == std::errc() && ptr == end) {
        return Json(integer);
    }
    double real = 0;
    if (auto [ptr, error] = std::from_chars(begin, end, real);
        error == std::errc() && ptr == end && std::isfinite(real)) {
        return Json(real);
    }
    return Json(std::string(cell));
}

// Standard output or another open stream, buffered like the atomic file.
class CStreamSink {
public:
    explicit CStreamSink(std::FILE* stream) : m_stream(stream) {}
    std::string& Buffer() { return m_buffer; }
    void WroteBuffer() {
        if (m_buffer.size() >= kStreamFlushSize) Flush();
    }
    bool Finish() {
        Flush();
        return std::fflush(m_stream) == 0 && !m_failed && std::ferror(m_stream) == 0;
    }

private:
    void Flush() {
        if (!m_buffer.empty() && std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_stream) != m_buffer.size()) {
            m_failed = true;
        }
        m_buffer.clear();
    }
    std::FILE* m_stream;
    std::string m_buffer;
    bool m_failed = false;
};

}  // namespace

std::string CJsonExporter::IsoTime(const std::tm& time) {
    const long offset = time.tm_gmtoff / 60;
    const long magnitude = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", time.tm_year + 1900, time.tm_mon + 1,
                  time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec, offset < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

std::vector<std::string> CJsonExporter::RowKeys() const {
    std::vector<std::string> keys;
    const int columns = m_list.GetColumnCount();
    for (int i = 0; i < columns; ++i) {
        const std::string title = m_list.GetColumnTitle(i);
        std::string key = title;
        for (int n = 2; std::find(keys.begin(), keys.end(), key) != keys.end(); ++n)
            key = title + " (" + std::to_string(n) + ")";
        keys.push_back(std::move(key));
    }
    return keys;
}

template <typename Sink>
void CJsonExporter::WriteTo(EJsonForm form, Sink& sink) const {
    const int columns = m_list.GetColumnCount();
    const int rows = m_list.GetItemCount();
    const std::vector<std::string> keys = RowKeys();

    // A column is numeric when the list sorts it as a number.
    std::vector<bool> numeric(static_cast<std::size_t>(columns), false);
    std::vector<bool> typed(static_cast<std::size_t>(columns), false);
    for (const CListCtrlEx::SSortKey& key : m_list.GetSortKeys()) {
        if (key.column < 0 || key.column >= columns || typed[key.column]) continue;
        typed[key.column] = true;
        numeric[key.column] = key.format == kFormatNumber;
    }
    // "key": in the row objects, encoded once.
    std::vector<std::string> keyStarts;
    for (const std::string& key : keys)
        keyStarts.push_back(Dump(Json(key)) + ":");

    const char* rowSeparator = form == EJsonForm::Document ? ",\n" : "\n";
    if (form == EJsonForm::Document) {
        Json head;
        head["name"] = m_context.exportName;
        head["program"] = TextOrNull(m_context.program);
        head["version"] = TextOrNull(m_context.version);
        head["user"] = TextOrNull(m_context.user);
        head["server"] = TextOrNull(m_context.server);
        head["database"] = TextOrNull(m_context.database);
        head["banner"] = TextOrNull(m_context.banner);
        head["loaded"] = m_context.loadTime ? Json(IsoTime(*m_context.loadTime)) : Json(nullptr);
        Json totals = Json::object();
        for (const auto& [name, value] : m_context.totals)
            totals[name] = Figure(value);
        head["totals"] = std::move(totals);
        Json columnList = Json::array();
        for (int i = 0; i < columns; ++i) {
            Json column;
            column["title"] = m_list.GetColumnTitle(i);
            column["key"] = keys[static_cast<std::size_t>(i)];
            column["type"] = numeric[static_cast<std::size_t>(i)] ? "number" : "text";
            columnList.push_back(std::move(column));
        }
        head["columns"] = std::move(columnList);

        std::string& buffer = sink.Buffer();
        buffer += "{\n";
        for (const auto& item : head.items()) {
            buffer += ' ';
            buffer += Dump(Json(item.key()));
            buffer += ": ";
            buffer += Dump(item.value());
            buffer += ",\n";
        }
        buffer += " \"rows\": [";
        if (rows > 0) buffer += '\n';
        sink.WroteBuffer();
    }

    for (int r = 0; r < rows; ++r) {
        std::string& buffer = sink.Buffer();
        if (r > 0) buffer += rowSeparator;
        buffer += '{';
        for (int i = 0; i < columns; ++i) {
            if (i > 0) buffer += ',';
            buffer += keyStarts[static_cast<std::size_t>(i)];
            const std::string_view cell = m_list.GetItemTextView(r, i);
            if (cell.empty()) {
                buffer += "null";
            } else if (numeric[static_cast<std::size_t>(i)]) {
                buffer += Dump(NumberCell(cell));
            } else {
                buffer += Dump(Json(std::string(cell)));
            }
        }
        buffer += '}';
        sink.WroteBuffer();
    }

    std::string& buffer = sink.Buffer();
    if (form == EJsonForm::Document) {
        buffer += rows > 0 ? "\n ]\n}\n" : "]\n}\n";
    } else if (rows > 0) {
        buffer += '\n';
    }
    sink.WroteBuffer();
}

bool CJsonExporter::Export(EJsonForm form, const std::string& baseName) const {
    CAtomicFile file(baseName + Extension(form));
    if (!file.Open()) {
        GetPrompter().Message(file.FailureMessage(), IPrompter::Kind::Error);
        return false;
    }
    WriteTo(form, file);
    if (!file.Commit()) {
        GetPrompter().Message(file.FailureMessage(), IPrompter::Kind::Error);
        return false;
    }
    return true;
}

bool CJsonExporter::Write(EJsonForm form, std::FILE* stream) const {
    CStreamSink sink(stream);
    WriteTo(form, sink);
    return sink.Finish();
}

}  // namespace corvid
