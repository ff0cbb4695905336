#include "list/ExportSettings.h"

#include <cctype>
#include <cstddef>
#include <filesystem>
#include <system_error>

#include "platform/Utf8.h"

namespace corvid {

std::string ValidateExportSettings(const SExportSettings& settings) {
    if (Utf8CharacterCount(settings.name) > static_cast<std::size_t>(kExportFieldMaxChars) ||
        Utf8CharacterCount(settings.fileName) > static_cast<std::size_t>(kExportFieldMaxChars)) {
        return "Please enter no more than 80 characters.";
    }
    if (!HasExportFileName(settings.fileName)) return kNoExportFileNameMessage;
    return {};
}

bool HasExportFileName(const std::string& baseName) {
    const std::size_t slash = baseName.find_last_of('/');
    const std::string last = slash == std::string::npos ? baseName : baseName.substr(slash + 1);
    for (unsigned char c : last) {
        if (!std::isspace(c)) return true;
    }
    return false;
}

std::string ExportTargetPath(EExportFormat format, const std::string& baseName) {
    const std::filesystem::path path(baseName + ExportFormatExtension(format));
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? path : absolute.lexically_normal()).string();
}

std::string ExportStatusText(EExportFormat format, const std::string& baseName, int rows, bool written) {
    const std::string target = ExportTargetPath(format, baseName);
    if (!written) return "Export failed: " + target + " was not written.";
    std::string text = "Exported " + std::to_string(rows) + (rows == 1 ? " row to " : " rows to ") + target;
    if (format == EExportFormat::Xml) {
        text += " (page " + ExportTargetPath(EExportFormat::Html, baseName + "_XML") + ")";
    }
    return text;
}

}  // namespace corvid
