#include "list/JsonExporter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "list/ListCtrlEx.h"
#include "platform/Clock.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

namespace corvid {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

class JsonExporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/corvid-jsonXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        SetPrompter(&m_prompter);
        m_list.InsertColumn(0, "User", kAlignLeft, 80);
        m_list.InsertColumn(1, "% Buff.", kAlignRight, 60);
        m_list.InsertColumn(2, "Buf Get", kAlignRight, 60);
        m_list.InsertColumn(3, "SQL Text", kAlignLeft, 300);
        m_list.AddSortKey(0, kFormatText, 0, true);
        m_list.AddSortKey(1, kFormatNumber, 0, true);
        m_list.AddSortKey(2, kFormatNumber, 1, false);
        m_list.AddSortKey(3, kFormatText, 0, true);
    }
    void TearDown() override {
        SetPrompter(nullptr);
        fs::remove_all(m_dir);
    }
    void AddRows() {
        m_list.InsertItem(0, std::vector<std::string_view>{"SCOTT", "12.35", "333", "SELECT \"A\"\r\nFROM t"});
        m_list.InsertItem(1, std::vector<std::string_view>{"", "0.00", "", "caf\xE9 \xC3\xA9\t\x01"});
        m_list.InsertItem(2, std::vector<std::string_view>{"007", "n/a", "9000000000", "x"});
    }
    // Writes through a temporary file standing in for standard output.
    std::string Written(EJsonForm form) {
        CJsonExporter exporter(m_list);
        exporter.SetContext(m_context);
        std::FILE* stream = std::tmpfile();
        EXPECT_TRUE(exporter.Write(form, stream));
        std::string text;
        std::rewind(stream);
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stream)) > 0;)
            text.append(buffer, n);
        std::fclose(stream);
        return text;
    }

    std::string m_dir;
    CRecordingPrompter m_prompter;
    CListCtrlEx m_list;
    CJsonExporter::SContext m_context;
};

// Numbers where the list sorts numbers, strings elsewhere (even when they look
// like numbers), null for an empty cell, and text cells kept whole.
TEST_F(JsonExporterTest, RowsCarryTypedValuesInColumnOrder) {
    AddRows();
    const Json document = Json::parse(Written(EJsonForm::Document));
    const Json& rows = document.at("rows");
    ASSERT_EQ(rows.size(), 3u);

    const Json& first = rows[0];
    EXPECT_EQ(first.at("User"), "SCOTT");
    EXPECT_TRUE(first.at("% Buff.").is_number_float());
    EXPECT_DOUBLE_EQ(first.at("% Buff.").get<double>(), 12.35);
    EXPECT_TRUE(first.at("Buf Get").is_number_integer());
    EXPECT_EQ(first.at("Buf Get").get<long long>(), 333);
    EXPECT_EQ(first.at("SQL Text"), "SELECT \"A\"\r\nFROM t");

    EXPECT_TRUE(rows[1].at("User").is_null());
    EXPECT_TRUE(rows[1].at("Buf Get").is_null());
    EXPECT_EQ(rows[1].at("% Buff.").get<double>(), 0.0);

    EXPECT_EQ(rows[2].at("User"), "007");                             // a text column stays text
    EXPECT_EQ(rows[2].at("% Buff."), "n/a");                          // no number: kept as the text shown
    EXPECT_EQ(rows[2].at("Buf Get").get<long long>(), 9000000000LL);  // beyond 32 bits

    const Json& columns = document.at("columns");
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(columns[0].at("title"), "User");
    EXPECT_EQ(columns[0].at("type"), "text");
    EXPECT_EQ(columns[2].at("type"), "number");
    EXPECT_EQ(columns[3].at("key"), "SQL Text");

    // The keys of every row come in the list's column order.
    const std::string text = Written(EJsonForm::Document);
    const std::size_t row = text.find("{\"User\":\"SCOTT\"");
    ASSERT_NE(row, std::string::npos);
    EXPECT_LT(text.find("\"% Buff.\":", row), text.find("\"Buf Get\":", row));
    EXPECT_LT(text.find("\"Buf Get\":", row), text.find("\"SQL Text\":", row));
}

// Bytes that are no UTF-8 become U+FFFD; valid UTF-8 and control characters
// survive as themselves.
TEST_F(JsonExporterTest, InvalidUtf8BecomesTheReplacementCharacter) {
    AddRows();
    const std::string text = Written(EJsonForm::Lines);
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line);
    const Json row = Json::parse(line);
    EXPECT_EQ(row.at("SQL Text"), "caf\xEF\xBF\xBD \xC3\xA9\t\x01");
    EXPECT_NE(text.find("\\u0001"), std::string::npos);
}

TEST_F(JsonExporterTest, LinesHoldOneRowEachAndNothingElse) {
    AddRows();
    const std::string text = Written(EJsonForm::Lines);
    std::istringstream lines(text);
    std::vector<Json> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(Json::parse(line));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("User"), "SCOTT");
    EXPECT_EQ(rows[2].at("Buf Get").get<long long>(), 9000000000LL);
    EXPECT_EQ(text.back(), '\n');

    m_list.DeleteAllItems();
    EXPECT_EQ(Written(EJsonForm::Lines), "");
}

TEST_F(JsonExporterTest, DocumentCarriesTheContextAndTotals) {
    m_context.exportName = "Nightly";
    m_context.program = "Corvid";
    m_context.version = "1.7.2";
    m_context.user = "SCOTT";
    m_context.database = "DEMO";
    std::tm time = MakeLocalTime(2026, 12, 7, 13, 5, 9);
    time.tm_gmtoff = 3600;
    m_context.loadTime = time;
    m_context.totals = {{"statements", 0}, {"buffer_gets", 2.5e9}, {"disk_reads", 1.5}};
    const Json document = Json::parse(Written(EJsonForm::Document));
    EXPECT_EQ(document.at("name"), "Nightly");
    EXPECT_EQ(document.at("version"), "1.7.2");
    EXPECT_EQ(document.at("user"), "SCOTT");
    EXPECT_TRUE(document.at("server").is_null());  // the local database
    EXPECT_EQ(document.at("database"), "DEMO");
    EXPECT_EQ(document.at("loaded"), "2026-12-07T13:05:09+01:00");
    EXPECT_TRUE(document.at("totals").at("statements").is_number_integer());
    EXPECT_EQ(document.at("totals").at("buffer_gets").get<long long>(), 2500000000LL);
    EXPECT_DOUBLE_EQ(document.at("totals").at("disk_reads").get<double>(), 1.5);
    EXPECT_TRUE(document.at("rows").is_array());
    EXPECT_TRUE(document.at("rows").empty());
}

TEST_F(JsonExporterTest, IsoTimeCarriesTheOffset) {
    std::tm time = MakeLocalTime(2027, 1, 2, 3, 4, 5);
    time.tm_gmtoff = -(3 * 3600 + 30 * 60);
    EXPECT_EQ(CJsonExporter::IsoTime(time), "2027-01-02T03:04:05-03:30");
    time.tm_gmtoff = 0;
    EXPECT_EQ(CJsonExporter::IsoTime(time), "2027-01-02T03:04:05+00:00");
}

// Titles edited to the same text must not make one column hide the other.
TEST_F(JsonExporterTest, RepeatedTitlesGetDistinctKeys) {
    m_list.SetColumnTitle(2, "User");
    m_list.SetColumnTitle(3, "User");
    AddRows();
    CJsonExporter exporter(m_list);
    EXPECT_EQ(exporter.RowKeys(), (std::vector<std::string>{"User", "% Buff.", "User (2)", "User (3)"}));
    const Json row = Json::parse(Written(EJsonForm::Document)).at("rows")[0];
    EXPECT_EQ(row.size(), 4u);
    EXPECT_EQ(row.at("User (2)").get<long long>(), 333);
}

TEST_F(JsonExporterTest, FilesAreWrittenWholeOrNotAtAll) {
    AddRows();
    CJsonExporter exporter(m_list);
    ASSERT_TRUE(exporter.Export(EJsonForm::Document, m_dir + "/pool"));
    ASSERT_TRUE(exporter.Export(EJsonForm::Lines, m_dir + "/pool"));
    EXPECT_EQ(Json::parse(ReadFile(m_dir + "/pool.JSON")).at("rows").size(), 3u);
    const std::string lines = ReadFile(m_dir + "/pool.NDJSON");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
    EXPECT_TRUE(m_prompter.Messages().empty());

    EXPECT_FALSE(exporter.Export(EJsonForm::Document, m_dir + "/missing/pool"));
    EXPECT_EQ(m_prompter.Messages(),
              std::vector<std::string>{"Unable to create the file '" + m_dir +
                                       "/missing/pool.JSON': No such file or directory"});

    // A stream that refuses the bytes is a failure, not a silent success.
    std::FILE* full = std::fopen("/dev/full", "w");
    if (full != nullptr) {
        EXPECT_FALSE(exporter.Write(EJsonForm::Document, full));
        std::fclose(full);
    }
}

}  // namespace
}  // namespace corvid
