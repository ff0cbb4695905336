#pragma once

#include <optional>
#include <string_view>

namespace corvid {

// The formats the list exporter writes.
enum class EExportFormat { Csv, Html, Xml };

// The format of an export dialog choice as the settings keep it ("ExportType"):
// 0 HTML table, 1 XML file, 2 CSV file, in the order of the dialog's buttons; any
// other index chooses none.
std::optional<EExportFormat> ExportFormatOfDialogIndex(int formatIndex);

// The format a name stands for ("csv", "html", "xml"), case ignored; none for any
// other text.
std::optional<EExportFormat> ExportFormatFromName(std::string_view name);

// The extension the exporter gives the file: ".CSV", ".HTML" or ".XML".
const char* ExportFormatExtension(EExportFormat format);

}  // namespace corvid
