#include "list/ExportSettings.h"
#include "list/ExportFormat.h"

#include <gtest/gtest.h>

namespace corvid {
namespace {

TEST(ExportSettingsTest, FormatsFromTheDialogsIndexAndFromTheirNames) {
    EXPECT_EQ(ExportFormatOfDialogIndex(0), EExportFormat::Html);
    EXPECT_EQ(ExportFormatOfDialogIndex(1), EExportFormat::Xml);
    EXPECT_EQ(ExportFormatOfDialogIndex(2), EExportFormat::Csv);
    for (int index : {-1, 3, 7}) EXPECT_FALSE(ExportFormatOfDialogIndex(index)) << index;

    EXPECT_EQ(ExportFormatFromName("csv"), EExportFormat::Csv);
    EXPECT_EQ(ExportFormatFromName("Html"), EExportFormat::Html);
    EXPECT_EQ(ExportFormatFromName("XML"), EExportFormat::Xml);
    for (const char* name : {"", ".xml", "xmlx", "json"}) EXPECT_FALSE(ExportFormatFromName(name)) << name;
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
