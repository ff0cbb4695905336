#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/RtfReader.h"
#include "sqltext/SqlStatementParser.h"

namespace corvid {

void PrintTo(const RtfRun& run, std::ostream* os) {
    *os << "{\"" << run.m_Text << "\", ";
    if (run.m_Color.m_Auto)
        *os << "auto}";
    else
        *os << run.m_Color.m_Red << "/" << run.m_Color.m_Green << "/" << run.m_Color.m_Blue << "}";
}

namespace {

const RtfColor kBlack = RtfColor::Rgb(0, 0, 0);
const RtfColor kRed = RtfColor::Rgb(255, 0, 0);
const RtfColor kGreen = RtfColor::Rgb(0, 255, 0);
const RtfColor kBlue = RtfColor::Rgb(0, 0, 255);
const RtfColor kAuto{};

std::string Highlight(std::string sql) {
    CSqlStatementParser().HighlightToRtf(sql);
    return sql;
}

// Every run has text and differs in colour from the run before it.
void ExpectWellFormed(const RtfDocument& document) {
    for (std::size_t k = 0; k < document.m_Runs.size(); ++k) {
        EXPECT_FALSE(document.m_Runs[k].m_Text.empty());
        if (k > 0) {
            EXPECT_FALSE(document.m_Runs[k].m_Color == document.m_Runs[k - 1].m_Color);
        }
    }
}

TEST(RtfReader, ReadsTheHighlightersColours) {
    const RtfDocument document = CRtfReader::Read(Highlight("select a from b"));
    EXPECT_EQ(document.m_ColorTable, (std::vector<RtfColor>{kBlack, kRed, kGreen, kBlue}));
    const std::vector<RtfRun> expected = {{"select", kBlue}, {" a ", kBlack}, {"from", kBlue}, {" b", kBlack}};
    EXPECT_EQ(document.m_Runs, expected);

    const RtfDocument comment = CRtfReader::Read(Highlight("/* c */ x = 'it''s' -- 1"));
    const std::vector<RtfRun> expectedComment = {
        {"/* c */", kGreen}, {" x = ", kBlack}, {"'it''s'", kRed}, {" -- ", kBlack}, {"1", kRed}};
    EXPECT_EQ(comment.m_Runs, expectedComment);
}

TEST(RtfReader, HighlightedStatementsComeBackWithTheirColours) {
    static const char* pieces[] = {"select",  "FROM", "t.col_1", "=",    "12",     "0x1F", "'a''b'", "\"Q\"",
                                   "/* c */", "-- x", "{",       "}",    "\\",     "\t",   "é",      ",",
                                   "(",       ")",    "\n",      "\r\n", "// end", "nvl",  "1.5E3",  " "};
    const RtfColor byIndex[] = {kBlack, kRed, kGreen, kBlue};
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        std::string sql;
        const int count = std::uniform_int_distribution<int>(0, 30)(rng);
        for (int k = 0; k < count; ++k) {
            sql += pieces[rng() % (sizeof pieces / sizeof *pieces)];
            sql += ' ';  // also keeps line breaks apart, so that none is merged
        }
        std::string normalised = sql;
        CSqlStatementParser::NormalizeLineBreaks(normalised);
        const auto records = CSqlStatementParser::TokenizeSql(normalised);

        const RtfDocument document = CRtfReader::Read(Highlight(sql));
        ExpectWellFormed(document);
        ASSERT_EQ(document.PlainText(), normalised) << sql;
        std::size_t pos = 0;
        for (const RtfRun& run : document.m_Runs) {
            for (std::size_t k = 0; k < run.m_Text.size(); ++k, ++pos) {
                int cls = -1;
                for (const auto& r : records)
                    if (r.m_Position <= static_cast<int>(pos)) cls = r.m_Class;
                ASSERT_EQ(run.m_Color, byIndex[CSqlStatementParser::ColorIndexOf(cls)]) << sql << " at " << pos;
            }
        }
    }
}

TEST(RtfReader, LineBreaksAndThePlanFrame) {
    EXPECT_EQ(CRtfReader::Read(Highlight("a\r\n\r\nb")).PlainText(), "a\nb");
    std::string plan = "0 SELECT STATEMENT\r\n  1 TABLE ACCESS FULL\tEMP\n";
    CSqlStatementParser().TextToRtf(plan);
    const RtfDocument document = CRtfReader::Read(plan);
    ASSERT_EQ(document.m_Runs.size(), 1u);
    EXPECT_EQ(document.m_Runs[0], (RtfRun{"0 SELECT STATEMENT\n  1 TABLE ACCESS FULL\tEMP\n", kAuto}));
    EXPECT_EQ(CRtfReader::Read(Highlight("")).m_Runs.size(), 0u);
}

TEST(RtfReader, ControlWordsSymbolsAndDestinations) {
    const std::string rtf =
        "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red10\\green20\\blue30;}"
        "{\\*\\generator Writer 1.0;}{\\info{\\title T}}"
        "\\cf1 a\\cf0 b\\cf7 c{\\cf1 d}e\\plain f\\tab g\\line h\\'e9\\u8364?\\uc2\\u8364xyz\\{\\}\\\\ "
        "i\\~j\\_k\\-l\\emdash{\\pict\\bin4 }}}}m}\n\\par}trailing";  // m is part of the picture
    const RtfDocument document = CRtfReader::Read(rtf);
    ASSERT_EQ(document.m_ColorTable.size(), 2u);
    EXPECT_EQ(document.m_ColorTable[0], kAuto);
    EXPECT_EQ(document.m_ColorTable[1], RtfColor::Rgb(10, 20, 30));
    const RtfColor grey = RtfColor::Rgb(10, 20, 30);
    const std::vector<RtfRun> expected = {{"a", grey},
                                          {"bc", kAuto},
                                          {"d", grey},
                                          {"ef\tg\nh\xe9\xe2\x82\xac\xe2\x82\xacz{}\\ i j-kl\xe2\x80\x94", kAuto}};
    EXPECT_EQ(document.m_Runs, expected);
}

TEST(RtfReader, SurrogatePairsMakeOneCharacter) {
    // U+1F600 as writers put it: two \uN with their fallback characters.
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 a\\u-10179?\\u-8704?b}").PlainText(),
              "a\xF0\x9F\x98\x80"
              "b");
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 \\uc0\\u55357\\u56832}").PlainText(), "\xF0\x9F\x98\x80");
    // Halves without their partner, also when a break or text comes between.
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 \\u55357?x\\u56832?}").PlainText(), "\xEF\xBF\xBDx\xEF\xBF\xBD");
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 \\u55357?\\par \\u56832?}").PlainText(), "\xEF\xBF\xBD\n\xEF\xBF\xBD");
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 a\\par \\cf1 \\u55357?}").PlainText(), "a\n\xEF\xBF\xBD");
}

TEST(RtfReader, ParametersAreClampedAndMalformedInputIsSurvived) {
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 \\cf99999999999999999999 x}").m_Runs, (std::vector<RtfRun>{{"x", kAuto}}));
    EXPECT_EQ(CRtfReader::Read("{\\colortbl;\\red999\\green-5\\blue7;}\\cf1 x").m_ColorTable[1],
              RtfColor::Rgb(255, 0, 7));
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 \\cf-99999999999999 x}").PlainText(), "x");
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 \\u-99999999 x}").PlainText(), "\xef\xbf\xbd");  // x is its fallback
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 \\bin99999999999 abc}").PlainText(), "");
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 abc").PlainText(), "abc");
    EXPECT_EQ(CRtfReader::Read("{a}b").PlainText(), "a");
    EXPECT_EQ(CRtfReader::Read("}}x{y").PlainText(), "xy");
    EXPECT_EQ(CRtfReader::Read("plain").PlainText(), "plain");
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 a\\'4").PlainText(), "a");
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 a\\'zzb}").PlainText(), "azzb");
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 -\\x-1 a\\").PlainText(), "-a");
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 \\abcdefghijklmnopqrstuvwxyzabcdefghijklmnop7 a\\par\\par}").PlainText(),
              "a\n");
    for (const char* text : {"", "{", "}", "\\", "{\\", "{\\*", "{\\colortbl\\red", "{\\u", "\\'", "{\\uc99999\\u65"})
        ExpectWellFormed(CRtfReader::Read(text));

    const std::size_t depth = 200000;
    const std::string deep = std::string(depth, '{') + "\\cf1 x" + std::string(depth, '}') + "after";
    EXPECT_EQ(CRtfReader::Read(deep).PlainText(), "x");
    EXPECT_EQ(CRtfReader::Read(std::string(depth, '{')).PlainText(), "");
}

TEST(RtfReader, SurvivesRandomAndMutatedDocuments) {
    std::mt19937 rng(3);
    const std::string base = Highlight("select 'a{b}' from t /* x */ where n = 0x1F\n order by 1 // end");
    static const char* fragments[] = {"{", "}",          "\\", "\\'",        "\\cf",  "\\u",  "\\bin", "\\*",
                                      "-", "9999999999", ";",  "\\colortbl", "\\par", "\\uc", "\x00",  "\xff"};
    for (int round = 0; round < 3000; ++round) {
        std::string doc;
        if (round % 3 == 0) {
            doc.resize(std::uniform_int_distribution<std::size_t>(0, 300)(rng));
            for (auto& c : doc)
                c = static_cast<char>(rng());
        } else {
            doc = base;
            const int edits = std::uniform_int_distribution<int>(1, 12)(rng);
            for (int e = 0; e < edits && !doc.empty(); ++e) {
                const std::size_t at = rng() % doc.size();
                switch (rng() % 4) {
                    case 0:
                        doc.erase(at, rng() % 8);
                        break;
                    case 1:
                        doc.insert(at, fragments[rng() % (sizeof fragments / sizeof *fragments)]);
                        break;
                    case 2:
                        doc[at] = static_cast<char>(rng());
                        break;
                    default:
                        doc.resize(at);
                        break;
                }
            }
        }
        ExpectWellFormed(CRtfReader::Read(doc));
    }
}

}  // namespace
}  // namespace corvid
