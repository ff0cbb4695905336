#pragma once

#include <optional>
#include <string>
#include <vector>

#include "HistoryOptions.h"
#include "list/ExportFormat.h"
#include "oracle/ConnectMode.h"

namespace corvid {

// What --format names: a format of the list exporter, or a JSON form.
enum class EReportFormat { Csv, Html, Xml, Json, Ndjson };

EReportFormat ReportFormatOf(EExportFormat format);
// The list exporter's format; none for the JSON forms.
std::optional<EExportFormat> ListExportFormat(EReportFormat format);

// What the command line of corvid-report asks for.
struct SReportOptions {
    std::string user;
    std::optional<std::string> password;
    std::string server;
    int ociVersion = 0;         // 0 chooses, 7 or 8 forces a generation
    EConnectMode connectMode = EConnectMode::Normal;
    // Each format once, in the order given; empty takes the saved export format.
    std::vector<EReportFormat> formats;
    std::optional<std::string> output;  // "-" is standard output (JSON forms only)
    std::optional<std::string> name;
    std::optional<bool> analyze;
    int traceLevel = 0;
    std::optional<std::string> settingsFile;
    std::optional<std::string> similarTo;
    std::optional<int> interval;  // seconds between two loads; the export lists what changed
    bool caseSensitive = false;
    bool allTypes = false;
    std::optional<std::string> sqlId;
    bool families = false;
    std::optional<int> minStatements;  // with families: leave out smaller ones
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
