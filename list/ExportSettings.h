#pragma once

#include <string>

#include "list/ExportFormat.h"

namespace corvid {

// The three choices of the export dialog, held by the document and saved with its
// settings ("ExportType", "ExportName", "ExportFileName").
struct SExportSettings {
    // 0 HTML table, 1 XML file, 2 CSV file (the order of the dialog's buttons); -1
    // (or any other value) chooses no button.
    int formatIndex = -1;
    // The title written into the export.
    std::string name;
    // The base file name; the writer appends the extension.
    std::string fileName;

    bool operator==(const SExportSettings&) const = default;
};

// The longest name and file name the dialog takes, in characters.
inline constexpr int kExportFieldMaxChars = 80;

// The dialog's check of its two fields on OK: an empty text when both fit and
// the file field names a file, otherwise the validation message.
std::string ValidateExportSettings(const SExportSettings& settings);

// False when the base file name names no file: empty, only blanks, or a folder
// ("reports/"). The writer would make a hidden ".CSV" of it.
bool HasExportFileName(const std::string& baseName);

inline constexpr const char* kNoExportFileNameMessage = "Please enter a file name for the export.";

// The file an export writes in the format, made absolute against
// the working directory: baseName + ".CSV", ".HTML" or ".XML".
std::string ExportTargetPath(EExportFormat format, const std::string& baseName);

// The status bar's note after an export: how many rows went to which file (for
// XML also its companion page), or that the export failed.
std::string ExportStatusText(EExportFormat format, const std::string& baseName, int rows, bool written);

}  // namespace corvid
