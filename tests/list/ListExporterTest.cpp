#include "list/ListExporter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "list/ListCtrlEx.h"
#include "platform/Clock.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

namespace corvid {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

class ListExporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/corvid-exportXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        SetClock(&m_clock);
        SetPrompter(&m_prompter);
        m_list.InsertColumn(0, "User", kAlignLeft, 80);
        m_list.InsertColumn(1, "%  Disk", kAlignRight, 60);
        m_list.InsertColumn(2, "Status", kAlignCenter, 100);
    }
    void TearDown() override {
        SetClock(nullptr);
        SetPrompter(nullptr);
        fs::remove_all(m_dir);
    }
    void AddRows() {
        m_list.InsertItem(0, std::vector<std::string_view>{"SCOTT", "12.35", "a\r\nb"});
        m_list.InsertItem(1, std::vector<std::string_view>{"", "x\t\"q\"%", " \xC3\xA9\xFF"});
    }
    std::string Export(EExportFormat format, const std::string& name = "My list") {
        CListExporter exporter(m_list);
        exporter.SetIdentification(CListExporter::ProgramIdentification());
        EXPECT_TRUE(exporter.Export(format, m_dir + "/out", name));
        return ReadFile(m_dir + "/out" + ExportFormatExtension(format));
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string m_dir;
    CFixedClock m_clock{MakeLocalTime(2026, 12, 6, 13, 17, 2)};
    CRecordingPrompter m_prompter;
    CListCtrlEx m_list;
};

const char* kHtmlHead =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n\r\n<HTML>\r\n<HEAD>\r\n\r\n"
    "<TITLE>My list</TITLE>\r\n\r\n<STYLE>\r\n<!--\r\n"
    "body,td       {font-family:verdana; font-size: 10px; font-weight: normal; color:000000}\r\n"
    "th            {font-family:verdana; font-size: 10px; font-weight: bold;   color:000000}\r\n"
    ".title        {font-family:verdana; font-size: 20px; font-weight: bold;   color:000000}\r\n"
    ".copy         {font-family:verdana; font-size: 10px; font-weight: normal; color:808080}\r\n"
    "//-->\r\n</STYLE>\r\n</HEAD>\r\n\r\n<BODY>\r\n\r\n"
    "<P class=\"title\">My list</P><TABLE border=\"1\" cellSpacing=\"0\" width=\"80%\"><TR>\r\n"
    "<TH align=\"left\">User</TH>\r\n<TH align=\"right\">%  Disk</TH>\r\n<TH align=\"center\">Status</TH>\r\n"
    "</TR>\r\n\r\n";

const char* kHtmlTail =
    "</TABLE>\r\n<TABLE border=\"0\" width=\"80%\"><TR><TD><SPAN class=\"copy\">\r\n"
    "Automatically generated Sun Dec 06 13:17:02 2026 with:<BR>\r\n"
    "Corvid - The Oracle Shared Pool Profiler<BR>Version 1.7.2 (Build 144)<BR>"
    "Copyright (C) 2026 Quarry Lane. All rights reserved.<br>\r\n"
    "WWW: <A href=\"https://www.example.com/corvid\">https://www.example.com/corvid</A><BR>\r\n"
    "EMail: <A href=\"mailto:corvid@example.com\">corvid@example.com</A><BR>\r\n"
    "</SPAN></TD></TR></TABLE>\r\n</BODY>\r\n\r\n</HTML>\r\n";

std::string XmlHead(const std::string& fileName) {
    return "<?xml version=\"1.0\"?>\r\n\r\n<!-- File Name: " + fileName +
           " -->\r\n\r\n<!--\r\nAutomatically generated Sun Dec 06 13:17:02 2026 with:\r\n"
           "Corvid - The Oracle Shared Pool Profiler\r\nVersion 1.7.2 (Build 144)\r\n"
           "Copyright (C) 2026 Quarry Lane. All rights reserved.\r\n"
           "www:   https://www.example.com/corvid\r\nemail: corvid@example.com\r\n-->\r\n\r\n"
           "<!DOCTYPE My_list\r\n   [\r\n   <!ELEMENT My_list (ROW*)>\r\n"
           "   <!ELEMENT ROW (User?, ___Disk?, Status?)>\r\n   <!ELEMENT User (#PCDATA)>\r\n"
           "   <!ELEMENT ___Disk (#PCDATA)>\r\n   <!ELEMENT Status (#PCDATA)>\r\n   ]\r\n>\r\n\r\n<My_list>\r\n";
}

// Runs xmllint --valid on the file; skips when xmllint is not installed.
void ExpectValidXml(const std::string& path) {
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils); the XML was not validated";
    }
    const std::string command = "xmllint --valid --noout '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output, "");
}

TEST_F(ListExporterTest, CsvBytes) {
    AddRows();
    EXPECT_EQ(Export(EExportFormat::Csv),
              "User,%  Disk,Status\r\n"
              "\"SCOTT\",\"12.35\",\"a\nb\"\r\n"
              ",\"x\\9q%\",\" \xC3\xA9\xEF\xBF\xBD\"\r\n");
    m_list.DeleteAllItems();
    EXPECT_EQ(Export(EExportFormat::Csv), "User,%  Disk,Status\r\n");
    m_list.SetColumnTitle(2, std::string(300, 'T'));
    EXPECT_EQ(Export(EExportFormat::Csv), "User,%  Disk," + std::string(255, 'T') + "\r\n");
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_F(ListExporterTest, HtmlBytes) {
    AddRows();
    EXPECT_EQ(Export(EExportFormat::Html), std::string(kHtmlHead) +
                             "<TR>\r\n<TD align=\"left\">SCOTT</TD>\r\n<TD align=\"right\">12.35</TD>\r\n"
                             "<TD align=\"center\">a<br>b</TD>\r\n</TR>\r\n"
                             "<TR>\r\n<TD align=\"left\">&nbsp;</TD>\r\n"
                             "<TD align=\"right\">x&#9;&#34;q&#34;&#37;</TD>\r\n"
                             "<TD align=\"center\"> &#233;&#65533;</TD>\r\n</TR>\r\n" +
                             kHtmlTail);
    m_list.DeleteAllItems();
    EXPECT_EQ(Export(EExportFormat::Html), std::string(kHtmlHead) + kHtmlTail);
}

TEST_F(ListExporterTest, XmlBytesAndCompanionPage) {
    AddRows();
    const std::string xmlName = m_dir + "/out.XML";
    EXPECT_EQ(Export(EExportFormat::Xml), XmlHead(xmlName) +
                             " <ROW>\r\n  <User>SCOTT</User>\r\n  <___Disk>12&#46;35</___Disk>\r\n"
                             "  <Status>a\r\nb</Status>\r\n </ROW>\r\n"
                             " <ROW>\r\n  <User></User>\r\n  <___Disk>x&#9;&#34;q&#34;&#37;</___Disk>\r\n"
                             "  <Status>&#32;&#233;&#65533;</Status>\r\n </ROW>\r\n</My_list>\r\n");
    EXPECT_EQ(
        ReadFile(m_dir + "/out_XML.HTML"),
        "<HTML>\r\n\r\n<HEAD>\r\n   <TITLE>My list</TITLE>\r\n</HEAD>\r\n\r\n<BODY>\r\n\r\n"
        "<TABLE BORDER=\"0\" WIDTH=\"100%\">\r\n<TR>\r\n"
        "<TD WIDTH=\"100%\"><font face=\"VERDANA\" size=\"5\"><STRONG>My list</STRONG></FONT></TD>\r\n"
        "</TR>\r\n</TABLE>\r\n\r\n"
        "   <!-- The rows of " +
            xmlName +
            " -->\r\n\r\n"
            "   <TABLE BORDER=\"1\" CELLPADDING=\"5\">\r\n      <THEAD>\r\n"
            "         <TH align=\"left\"><font face=\"VERDANA\" size=\"1\">User</TH>\r\n"
            "         <TH align=\"right\"><font face=\"VERDANA\" size=\"1\">%  Disk</TH>\r\n"
            "         <TH align=\"center\"><font face=\"VERDANA\" size=\"1\">Status</TH>\r\n"
            "      </THEAD>\r\n      <TR>\r\n"
            "         <TD align=\"left\"><font face=\"VERDANA\" size=\"1\">SCOTT</TD>\r\n"
            "         <TD align=\"right\"><font face=\"VERDANA\" size=\"1\">12.35</TD>\r\n"
            "         <TD align=\"center\"><font face=\"VERDANA\" size=\"1\">a<br>b</TD>\r\n"
            "      </TR>\r\n      <TR>\r\n"
            "         <TD align=\"left\"><font face=\"VERDANA\" size=\"1\">&nbsp;</TD>\r\n"
            "         <TD align=\"right\"><font face=\"VERDANA\" size=\"1\">x&#9;&#34;q&#34;&#37;</TD>\r\n"
            "         <TD align=\"center\"><font face=\"VERDANA\" size=\"1\"> &#233;&#65533;</TD>\r\n"
            "      </TR>\r\n   </TABLE>\r\n\r\n\r\n<TABLE BORDER=\"0\" WIDTH=\"100%\">\r\n<TR>\r\n"
            "<TD WIDTH=\"100%\"><FONT FACE=\"Verdana\" SIZE=\"1\" COLOR=\"808080\"><br>Automatically generated "
            "Sun Dec 06 13:17:02 2026 with:<br>\r\n"
            "Corvid - The Oracle Shared Pool Profiler<BR>Version 1.7.2 (Build 144)<BR>"
            "Copyright (C) 2026 Quarry Lane. All rights reserved.<br>\r\n"
            "www:   <A href=\"https://www.example.com/corvid\">https://www.example.com/corvid</A><BR>\r\n"
            "email: <A href=\"mailto:corvid@example.com\">corvid@example.com</A><BR>\r\n"
            "</FONT></TD>\r\n</TR>\r\n</TABLE>\r\n</BODY>\r\n\r\n</HTML>\r\n");
    ExpectValidXml(m_dir + "/out.XML");
    m_list.DeleteAllItems();
    EXPECT_EQ(Export(EExportFormat::Xml), XmlHead(xmlName) + "</My_list>\r\n");
    ExpectValidXml(m_dir + "/out.XML");
    EXPECT_EQ(Files(), (std::vector<std::string>{"out.XML", "out_XML.HTML"}));
}

TEST_F(ListExporterTest, CellEncodings) {
    auto csv = [](std::string_view cell) {
        std::string out;
        CListExporter::AppendCsvField(cell, out);
        return out;
    };
    auto html = [](std::string_view cell) {
        std::string out;
        CListExporter::AppendHtmlCell(cell, out);
        return out;
    };
    auto xml = [](std::string_view cell) {
        std::string out;
        CListExporter::AppendXmlCell(cell, out);
        return out;
    };
    EXPECT_EQ(csv(""), "");
    EXPECT_EQ(csv("a\"b\""), "\"ab\"");
    EXPECT_EQ(csv("a\r\rb\n\nc\n\rd\r\n\r\ne"), "\"a\nb\nc\nd\n\ne\"");
    EXPECT_EQ(csv(std::string_view("\x01\x1f\0", 3)), "\"\\1\\31\\0\"");
    EXPECT_EQ(html("a\n\rb"), "a<br>b");
    EXPECT_EQ(html("<&>\"'"), "&#60;&#38;&#62;&#34;&#39;");
    EXPECT_EQ(html("A z,.;:-+/*_()=9"), "A z,.;:-+/*_()=9");
    // Control characters (C0 but tab, DEL, C1) have no reference in HTML or XML:
    // U+FFFD; CSV writes C0 and DEL as its escapes. Bytes that are not UTF-8 are
    // U+FFFD in every format.
    EXPECT_EQ(html("\x7f"), "&#65533;");
    EXPECT_EQ(html("\x1b[2J\x01\t\xC2\x85\xC2\xA0"), "&#65533;&#91;2J&#65533;&#9;&#65533;&#160;");
    EXPECT_EQ(xml("\x1b\x7f\xC2\x9F\xC2\xA0"), "&#65533;&#65533;&#65533;&#160;");
    EXPECT_EQ(csv("a\xFF" "b\xC2\x85\x7f\x1b\xC3\xA9\xF0\x9F\x98\x80"),
              "\"a\xEF\xBF\xBD" "b\xEF\xBF\xBD\\127\\27\xC3\xA9\xF0\x9F\x98\x80\"");
    // Whole UTF-8 sequences become one reference; stray bytes U+FFFD each.
    EXPECT_EQ(html("\xE2\x82\xAC\xF0\x9F\x98\x80"), "&#8364;&#128512;");
    EXPECT_EQ(html("\xC0\xAF\xED\xA0\x80\xE2\x82"), "&#65533;&#65533;&#65533;&#65533;&#65533;&#65533;&#65533;");
    EXPECT_EQ(xml(""), "");
    EXPECT_EQ(xml("a b.c-d_e"), "a&#32;b&#46;c-d_e");
    EXPECT_EQ(xml("\t\x01\x1f"), "&#9;&#65533;&#65533;");
    EXPECT_EQ(xml("a\rb\r\r\rc"), "a\r\nb\r\n\r\nc");
    EXPECT_EQ(xml("\xEF\xBF\xBE\xEF\xBF\xBD\xC3\xA9\xFE"), "&#65533;&#65533;&#233;&#65533;");

    EXPECT_EQ(CListExporter::XmlName("SQL statements in the Oracle SGA"), "SQL_statements_in_the_Oracle_SGA");
    EXPECT_EQ(CListExporter::XmlName("%  Disk"), "___Disk");
    EXPECT_EQ(CListExporter::XmlName("# FTS"), "__FTS");
    EXPECT_EQ(CListExporter::XmlName("9x"), "_x");
    EXPECT_EQ(CListExporter::XmlName("-x"), "_x");
    EXPECT_EQ(CListExporter::XmlName(""), "");
    EXPECT_EQ(CListExporter::XmlName("Disk R./E"), "Disk_R__E");
    EXPECT_EQ(CListExporter::Stamp(MakeLocalTime(2027, 1, 4, 9, 5, 7)), "Mon Jan 04 09:05:07 2027");
}

TEST_F(ListExporterTest, MissingFolderShowsTheMessageAndWritesNothing) {
    AddRows();
    CListExporter exporter(m_list);
    const std::string base = m_dir + "/no such folder/out";
    EXPECT_FALSE(exporter.Export(EExportFormat::Csv, base, "x"));
    EXPECT_EQ(m_prompter.Messages(),
              std::vector<std::string>{"Unable to create the file '" + base + ".CSV': No such file or directory"});
    EXPECT_TRUE(Files().empty());
}

TEST_F(ListExporterTest, FailedExportKeepsWhatWasThere) {
    AddRows();
    // The target's name is taken by a folder: refused before anything is written.
    fs::create_directory(m_dir + "/out.HTML");
    CListExporter exporter(m_list);
    EXPECT_FALSE(exporter.Export(EExportFormat::Html, m_dir + "/out", "x"));
    EXPECT_EQ(m_prompter.Messages(), std::vector<std::string>{"Unable to create the file '" + m_dir +
                                                              "/out.HTML': '" + m_dir +
                                                              "/out.HTML' is not a regular file"});
    EXPECT_EQ(Files(), std::vector<std::string>{"out.HTML"});
    EXPECT_TRUE(fs::is_directory(m_dir + "/out.HTML"));

    // A successful export replaces an existing file and keeps its permissions.
    {
        std::ofstream old(m_dir + "/out.CSV");
        old << "old content";
    }
    chmod((m_dir + "/out.CSV").c_str(), 0640);
    m_prompter.Clear();
    EXPECT_TRUE(exporter.Export(EExportFormat::Csv, m_dir + "/out", "x"));
    EXPECT_EQ(ReadFile(m_dir + "/out.CSV").substr(0, 5), "User,");
    struct stat st;
    ASSERT_EQ(stat((m_dir + "/out.CSV").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

// The XML and its page are one export: when the page cannot be written, the XML
// is not written either (an older pair stays as it was) and the export fails.
TEST_F(ListExporterTest, CompanionPageFailureFailsTheWholeExport) {
    AddRows();
    {
        std::ofstream old(m_dir + "/out.XML");
        old << "old xml";
    }
    fs::create_directory(m_dir + "/out_XML.HTML");
    CListExporter exporter(m_list);
    EXPECT_FALSE(exporter.Export(EExportFormat::Xml, m_dir + "/out", "x"));
    EXPECT_EQ(m_prompter.Messages(), std::vector<std::string>{"Unable to create the file '" + m_dir +
                                                              "/out_XML.HTML': '" + m_dir +
                                                              "/out_XML.HTML' is not a regular file"});
    EXPECT_EQ(Files(), (std::vector<std::string>{"out.XML", "out_XML.HTML"}));
    EXPECT_EQ(ReadFile(m_dir + "/out.XML"), "old xml");

    // Once the page can be written, both are.
    fs::remove(m_dir + "/out_XML.HTML");
    m_prompter.Clear();
    EXPECT_TRUE(exporter.Export(EExportFormat::Xml, m_dir + "/out", "x"));
    EXPECT_TRUE(m_prompter.Prompts().empty());
    ExpectValidXml(m_dir + "/out.XML");
    EXPECT_EQ(ReadFile(m_dir + "/out_XML.HTML").substr(0, 6), "<HTML>");
}

TEST_F(ListExporterTest, EveryByteValueGivesValidXml) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    m_list.InsertItem(0, std::vector<std::string_view>{all, "1", "a"});
    for (int c = 1; c < 256; ++c) {
        const std::string one(1, static_cast<char>(c));
        m_list.InsertItem(m_list.GetItemCount(), std::vector<std::string_view>{one, one + "x", "x" + one});
    }
    m_list.InsertItem(0, std::vector<std::string_view>{"\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBF", "", ""});
    CListExporter exporter(m_list);
    exporter.SetIdentification(CListExporter::ProgramIdentification());
    const std::string base = m_dir + "/all--bytes";
    ASSERT_TRUE(exporter.Export(EExportFormat::Xml, base, "SQL statements in the Oracle SGA"));
    ExpectValidXml(base + ".XML");
}

TEST_F(ListExporterTest, AnEmptyExportNameStillGivesAWellFormedDocument) {
    AddRows();
    CListExporter exporter(m_list);
    const std::string base = m_dir + "/unnamed";
    ASSERT_TRUE(exporter.Export(EExportFormat::Xml, base, ""));
    const std::string xml = ReadFile(base + ".XML");
    EXPECT_NE(xml.find("<!DOCTYPE Export\r\n"), std::string::npos);
    EXPECT_NE(xml.find("\r\n<Export>\r\n"), std::string::npos);
    EXPECT_EQ(xml.substr(xml.size() - 11), "</Export>\r\n");
    ExpectValidXml(base + ".XML");
}

TEST_F(ListExporterTest, AColumnWithoutATitleStillGivesAValidDocument) {
    m_list.InsertColumn(3, "", kAlignLeft, 40);
    AddRows();
    CListExporter exporter(m_list);
    const std::string base = m_dir + "/untitled";
    ASSERT_TRUE(exporter.Export(EExportFormat::Xml, base, "Pool"));
    const std::string xml = ReadFile(base + ".XML");
    EXPECT_NE(xml.find("<!ELEMENT ROW (User?, ___Disk?, Status?, Column_4?)>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<!ELEMENT Column_4 (#PCDATA)>"), std::string::npos);
    EXPECT_NE(xml.find("<Column_4></Column_4>"), std::string::npos);
    EXPECT_NE(ReadFile(base + "_XML.HTML").find("<TH align=\"left\"><font face=\"VERDANA\" size=\"1\"></TH>"),
              std::string::npos);
    ExpectValidXml(base + ".XML");
}

}  // namespace
}  // namespace corvid
