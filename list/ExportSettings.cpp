#include "list/ExportSettings.h"

#include <cstddef>

#include "platform/Utf8.h"

namespace corvid {

std::string ValidateExportSettings(const SExportSettings& settings) {
    if (Utf8CharacterCount(settings.name) > static_cast<std::size_t>(kExportFieldMaxChars) ||
        Utf8CharacterCount(settings.fileName) > static_cast<std::size_t>(kExportFieldMaxChars)) {
        return "Please enter no more than 80 characters.";
    }
    return {};
}

}  // namespace corvid
