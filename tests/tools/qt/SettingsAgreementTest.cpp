// What the desktop writes through its settings library, corvid-report must read
// back the same: every key and value form, in random combinations.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <random>
#include <string>
#include <vector>

#include "IniSettingsStore.h"
#include "platform/qt/QtSettingsStore.h"

namespace corvid {
namespace {

// Pieces the settings library escapes, quotes or treats as typed values.
const std::vector<std::string> kPieces = {
    "a", "Z", "0", "7", " ", "  ", "\t", ",", ";", "=", "\"", "\\", "\\\\", "@", "@@", "#", "[", "]", "%", "%U",
    "%20", "/", "\n", "\r", "\x01", "\x1f", "\x7f", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xFF", "(", ")",
    "@ByteArray(", "@Invalid()", "@Variant(", "@String(", "x", "SELECT", "0x12", "\\x41", "\\0", "-1", "12345"};

std::string RandomText(std::mt19937& random, int maxPieces) {
    std::uniform_int_distribution<int> count(0, maxPieces);
    std::uniform_int_distribution<std::size_t> piece(0, kPieces.size() - 1);
    std::string text;
    for (int n = count(random); n > 0; --n)
        text += kPieces[piece(random)];
    return text;
}

// Section and key names as the desktop uses them, and odd ones.
std::string RandomName(std::mt19937& random) {
    static const std::vector<std::string> kNames = {"Filter", "ListLayout", "C000_I", "Column#", "Version",
                                                     "Odd Name", "caf\xC3\xA9", "a%b", "x=y", "semi;colon"};
    std::uniform_int_distribution<std::size_t> pick(0, kNames.size() - 1);
    std::string name = kNames[pick(random)];
    if (random() % 2 == 0) name += std::to_string(random() % 1000);
    return name;
}

TEST(SettingsAgreement, ReportReadsWhatTheDesktopWrote) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::mt19937 random(20261207);
    for (int round = 0; round < 12; ++round) {
        const QString path = dir.filePath(QStringLiteral("round%1.ini").arg(round));
        std::vector<std::pair<std::string, std::string>> keys;
        {
            CQtSettingsStore desktop(path);
            for (int n = 0; n < 40; ++n) {
                const std::string section = RandomName(random);
                const std::string key = RandomName(random);
                std::string value = RandomText(random, 6);
                if (n % 7 == 0) value = std::to_string(static_cast<int>(random()) % 100000);
                if (n % 11 == 0) value = "@@x,y";
                ASSERT_TRUE(desktop.WriteProfileString(section, key, value));
                keys.emplace_back(section, key);
            }
        }
        CQtSettingsStore desktop(path);
        CIniSettingsStore report;
        ASSERT_TRUE(report.Load(path.toStdString()));
        for (const auto& [section, key] : keys) {
            EXPECT_EQ(report.HasKey(section, key), desktop.HasKey(section, key)) << section << "/" << key;
            EXPECT_EQ(report.GetProfileString(section, key, "<default>"),
                      desktop.GetProfileString(section, key, "<default>"))
                << section << "/" << key;
            EXPECT_EQ(report.GetProfileInt(section, key, -77), desktop.GetProfileInt(section, key, -77))
                << section << "/" << key;
        }
    }
}

}  // namespace
}  // namespace corvid
