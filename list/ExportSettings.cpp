#include "list/ExportSettings.h"

#include <cstddef>

#include "platform/Utf8.h"

namespace corvid {

int ExportFormatCode(int formatIndex) {
    switch (formatIndex) {
        case 0:
            return 1;
        case 1:
            return 2;
        case 2:
            return 0;
        default:
            return -1;
    }
}

std::string ValidateExportSettings(const SExportSettings& settings) {
    if (Utf8CharacterCount(settings.name) > static_cast<std::size_t>(kExportFieldMaxChars) ||
        Utf8CharacterCount(settings.fileName) > static_cast<std::size_t>(kExportFieldMaxChars)) {
        return "Please enter no more than 80 characters.";
    }
    return {};
}

}  // namespace corvid
