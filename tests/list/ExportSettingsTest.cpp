#include "list/ExportSettings.h"

#include <gtest/gtest.h>

namespace corvid {
namespace {

TEST(ExportSettingsTest, FormatIndexMapsToTheWritersCode) {
    EXPECT_EQ(ExportFormatCode(0), 1);  // HTML
    EXPECT_EQ(ExportFormatCode(1), 2);  // XML
    EXPECT_EQ(ExportFormatCode(2), 0);  // CSV
    EXPECT_EQ(ExportFormatCode(-1), -1);
    EXPECT_EQ(ExportFormatCode(3), -1);
    EXPECT_EQ(ExportFormatCode(7), -1);
}

TEST(ExportSettingsTest, FieldsAreLimitedToEightyCharacters) {
    SExportSettings s{2, "", ""};
    EXPECT_EQ(ValidateExportSettings(s), "") << "empty fields are accepted";
    s.name = std::string(80, 'n');
    s.fileName.clear();
    for (int i = 0; i < 80; ++i) s.fileName += "\xC3\xA4";
    EXPECT_EQ(ValidateExportSettings(s), "");
    s.name += "n";
    EXPECT_EQ(ValidateExportSettings(s), "Please enter no more than 80 characters.");
}

}  // namespace
}  // namespace corvid
