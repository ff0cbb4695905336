#include "list/ExportFormat.h"

#include "platform/AsciiText.h"

namespace corvid {

std::optional<EExportFormat> ExportFormatOfDialogIndex(int formatIndex) {
    switch (formatIndex) {
        case 0:
            return EExportFormat::Html;
        case 1:
            return EExportFormat::Xml;
        case 2:
            return EExportFormat::Csv;
        default:
            return std::nullopt;
    }
}

std::optional<EExportFormat> ExportFormatFromName(std::string_view name) {
    for (EExportFormat format : {EExportFormat::Csv, EExportFormat::Html, EExportFormat::Xml})
        if (EqualsIgnoringAsciiCase(name, ExportFormatExtension(format) + 1)) return format;
    return std::nullopt;
}

const char* ExportFormatExtension(EExportFormat format) {
    switch (format) {
        case EExportFormat::Html:
            return ".HTML";
        case EExportFormat::Xml:
            return ".XML";
        case EExportFormat::Csv:
            break;
    }
    return ".CSV";
}

}  // namespace corvid
