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
    SExportSettings s{2, "", "f"};
    EXPECT_EQ(ValidateExportSettings(s), "") << "an empty name is accepted";
    s.name = std::string(80, 'n');
    s.fileName.clear();
    for (int i = 0; i < 80; ++i) s.fileName += "\xC3\xA4";
    EXPECT_EQ(ValidateExportSettings(s), "");
    s.name += "n";
    EXPECT_EQ(ValidateExportSettings(s), "Please enter no more than 80 characters.");
}

TEST(ExportSettingsTest, AFileFieldThatNamesNoFileIsRefused) {
    // An empty base name once wrote a hidden ".CSV" into the working directory.
    for (const char* none : {"", "   ", "reports/", "/tmp/ ", "a/b/"}) {
        EXPECT_FALSE(HasExportFileName(none)) << '"' << none << '"';
        EXPECT_EQ(ValidateExportSettings({2, "n", none}), kNoExportFileNameMessage) << '"' << none << '"';
    }
    for (const char* some : {"Corvid", "reports/pool", "/tmp/x", " y", ".hidden"})
        EXPECT_TRUE(HasExportFileName(some)) << some;
}

TEST(ExportSettingsTest, TheStatusTextNamesRowsAndTheAbsoluteTarget) {
    EXPECT_EQ(ExportTargetPath(EExportFormat::Csv, "/tmp/reports/../pool"), "/tmp/pool.CSV");
    EXPECT_EQ(ExportStatusText(EExportFormat::Csv, "/tmp/pool", 250, true), "Exported 250 rows to /tmp/pool.CSV");
    EXPECT_EQ(ExportStatusText(EExportFormat::Html, "/tmp/pool", 1, true), "Exported 1 row to /tmp/pool.HTML");
    EXPECT_EQ(ExportStatusText(EExportFormat::Xml, "/tmp/pool", 3, true),
              "Exported 3 rows to /tmp/pool.XML (page /tmp/pool_XML.HTML)");
    EXPECT_EQ(ExportStatusText(EExportFormat::Csv, "/tmp/pool", 3, false), "Export failed: /tmp/pool.CSV was not written.");
    // A relative name is shown with the folder it went to.
    const std::string relative = ExportTargetPath(EExportFormat::Csv, "pool");
    EXPECT_EQ(relative.front(), '/');
    EXPECT_EQ(relative.substr(relative.size() - 9), "/pool.CSV");
}

}  // namespace
}  // namespace corvid
