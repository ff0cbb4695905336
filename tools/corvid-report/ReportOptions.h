#pragma once

#include <optional>
#include <string>
#include <vector>

#include "HistoryOptions.h"
#include "list/ExportFormat.h"
#include "oracle/ConnectMode.h"

namespace corvid {

// What --format names: a format of the list exporter, a JSON form, or the
// self-contained HTML report.
enum class EReportFormat { Csv, Html, Xml, Json, Ndjson, Report };

EReportFormat ReportFormatOf(EExportFormat format);
// The list exporter's format; none for the JSON forms and the report.
std::optional<EExportFormat> ListExportFormat(EReportFormat format);

// The highest trace level: every statement and the collection dumps.
constexpr int kMaxTraceLevel = 15;

// What the command line of corvid-report asks for.
struct SReportOptions {
    std::string user;
    std::optional<std::string> password;      // its argument is wiped from the command line once read
    std::optional<std::string> passwordFile;  // a file only its owner may read
    std::string server;
    int ociVersion = 0;         // 0 chooses, 7 or 8 forces a generation
    EConnectMode connectMode = EConnectMode::Normal;
    // Each format once, in the order given; empty takes the saved export format.
    std::vector<EReportFormat> formats;
    std::optional<std::string> output;  // "-" is standard output (JSON forms only)
    std::optional<std::string> name;
    std::optional<bool> analyze;
    int traceLevel = 0;  // 0 to kMaxTraceLevel
    std::optional<std::string> settingsFile;
    std::optional<std::string> similarTo;
    std::optional<int> interval;  // seconds between two loads; the export lists what changed
    bool caseSensitive = false;
    bool allTypes = false;
    std::optional<std::string> sqlId;
    bool families = false;
    std::optional<int> minStatements;  // with families: leave out smaller ones
    std::optional<int> top;            // statements per ranking of the HTML report
    bool help = false;
    bool version = false;
    SHistoryOptions history;
};

// Parses the arguments. False with a message for the user when they are not
// usable; --help and --version need nothing else.
bool ParseReportOptions(int argc, char** argv, SReportOptions& options, std::string& error);

// The text --help prints.
std::string ReportUsage();

}  // namespace corvid
