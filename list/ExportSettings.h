#pragma once

#include <string>

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

// The dialog's check of its two fields on OK: an empty text when both fit,
// otherwise the validation message.
std::string ValidateExportSettings(const SExportSettings& settings);

}  // namespace corvid
