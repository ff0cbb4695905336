#include "list/ExportSettings.h"

#include <cstddef>

namespace corvid {

namespace {

// Characters, not bytes: the texts are UTF-8.
std::size_t CharacterCount(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++count;
    }
    return count;
}

}  // namespace

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
    if (CharacterCount(settings.name) > static_cast<std::size_t>(kExportFieldMaxChars) ||
        CharacterCount(settings.fileName) > static_cast<std::size_t>(kExportFieldMaxChars)) {
        return "Please enter no more than 80 characters.";
    }
    return {};
}

}  // namespace corvid
