#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "diag/TraceContext.h"
#include "platform/Clock.h"

namespace corvid {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// Splits at CR LF; a bare LF inside a line stays in it.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2) {
        lines.push_back(text.substr(start, pos - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Runs each test in a fresh working directory with a fixed clock.
class TraceLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("corvid-trace-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_oldDir = fs::current_path();
        fs::current_path(m_dir);
        SetClock(&m_clock);
    }
    void TearDown() override {
        SetClock(nullptr);
        fs::current_path(m_oldDir);
        fs::remove_all(m_dir);
    }

    CFixedClock m_clock{MakeLocalTime(2026, 12, 7, 9, 5, 3)};
    fs::path m_dir, m_oldDir;
};

TEST_F(TraceLogTest, StartUpWritesTheThreeOpeningBlocks) {
    {
        CTraceContext trace;
        StartTraceLog(trace, 15);
        EXPECT_EQ(trace.GetLevel(), 15);
    }
    const std::string text = ReadFile("Corvid.log");
    const std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 23u);
    const std::string at = " at Mon Dec  7 09:05:03 2026 ---";
    EXPECT_EQ(lines[0], "--- BEGIN: TRACE CONFIGURATION (CTraceContext::Open)" + at);
    EXPECT_EQ(lines[1], "Trace file name = [Corvid.log]");
    EXPECT_EQ(lines[2], "Trace level = [15]");
    EXPECT_EQ(lines[3], "--- END: TRACE CONFIGURATION (CTraceContext::Open)" + at);
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "--- BEGIN: SYSTEM INFORMATION" + at);
    EXPECT_EQ(lines[6], "The MemoryStatus structure is 56 bytes long.");
    EXPECT_EQ(lines[7], "It should be 32.");
    EXPECT_NE(lines[8].find(" percent of memory is in use."), std::string::npos);
    const char* const memoryLines[] = {" total Kbytes of physical memory.", " free Kbytes of physical memory.",
                                       " total Kbytes of paging file.",     " free Kbytes of paging file.",
                                       " total Kbytes of virtual memory.",  " free Kbytes of virtual memory."};
    for (int i = 0; i < 6; ++i) {
        const std::string& line = lines[9 + i];
        EXPECT_EQ(line.rfind("There are ", 0), 0u) << line;
        EXPECT_NE(line.find(memoryLines[i]), std::string::npos) << line;
    }
    EXPECT_EQ(lines[15], "--- END: SYSTEM INFORMATION" + at);
    EXPECT_EQ(lines[16], "");
    EXPECT_EQ(lines[17], "--- BEGIN: APPLICATION INFORMATION" + at);
    EXPECT_EQ(lines[18], "Application name = [Corvid - The Oracle Shared Pool Profiler]");
    EXPECT_EQ(lines[19], "Application version = [1.7.2]");
    EXPECT_EQ(lines[20], "Application build = [144]");
    EXPECT_EQ(lines[21], "--- END: APPLICATION INFORMATION" + at);
    EXPECT_EQ(lines[22], "");
    // Every line ends with CR LF, and no bare line feed slipped in.
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
}

TEST_F(TraceLogTest, PhysicalMemoryFiguresAreSane) {
    CTraceContext trace;
    ASSERT_TRUE(trace.Open("Corvid.log", 1));
    const std::vector<std::string> lines = Lines(ReadFile("Corvid.log"));
    long total = -1, free = -1;
    ASSERT_EQ(std::sscanf(lines[9].c_str(), "There are %ld", &total), 1);
    ASSERT_EQ(std::sscanf(lines[10].c_str(), "There are %ld", &free), 1);
    EXPECT_GT(total, 0);
    EXPECT_LE(free, total);
}

// In a sticky folder open to all, another user's file at the log's name is not
// written (it would stay theirs to read); the folder owner's and our own are.
TEST_F(TraceLogTest, AnotherUsersFileInASharedFolderIsNotWritten) {
    if (::geteuid() != 0) GTEST_SKIP() << "files of another user need root to create; not run";
    fs::create_directory("shared");
    ASSERT_EQ(::chmod("shared", 01777), 0);
    std::ofstream("shared/Corvid.log") << "planted";
    ASSERT_EQ(::chown("shared/Corvid.log", 12345, 12345), 0);
    ASSERT_EQ(::chmod("shared/Corvid.log", 0666), 0);
    CTraceContext trace;
    EXPECT_FALSE(trace.Open("shared/Corvid.log", 1));
    EXPECT_EQ(ReadFile("shared/Corvid.log"), "planted");
    ASSERT_EQ(::chown("shared", 12345, 12345), 0);
    ASSERT_EQ(::chmod("shared", 01777), 0);
    EXPECT_TRUE(trace.Open("shared/Corvid.log", 1));
}

TEST_F(TraceLogTest, LevelZeroCreatesNoFileAndLeavesAnOldOneAlone) {
    {
        std::ofstream old("Corvid.log", std::ios::binary);
        old << "previous run\r\n";
    }
    CTraceContext trace;
    StartTraceLog(trace, 0);
    EXPECT_EQ(trace.GetLevel(), 0);
    EXPECT_FALSE(trace.IsOpen());
    EXPECT_EQ(ReadFile("Corvid.log"), "previous run\r\n");
    fs::remove("Corvid.log");
    StartTraceLog(trace, 0);
    EXPECT_FALSE(fs::exists("Corvid.log"));
}

TEST_F(TraceLogTest, AnExistingLogIsReplacedAndANegativeLevelWritesTheOpeningBlocks) {
    {
        std::ofstream old("Corvid.log", std::ios::binary);
        old << std::string(10000, '~');
    }
    {
        CTraceContext trace;
        StartTraceLog(trace, -3);
        EXPECT_EQ(trace.GetLevel(), -3);
    }
    const std::string text = ReadFile("Corvid.log");
    EXPECT_EQ(text.find('~'), std::string::npos);
    EXPECT_EQ(Lines(text).size(), 23u);
    EXPECT_EQ(Lines(text)[2], "Trace level = [-3]");
}

TEST_F(TraceLogTest, SectionsLinesAndAppendsKeepTheirFormat) {
    m_clock.SetTime(MakeLocalTime(2026, 1, 12, 23, 59, 9));
    {
        CTraceContext trace;
        ASSERT_TRUE(trace.Open("Corvid.log", 1));
        trace.BeginSection("LOGON");
        trace << "Logon user = [" << std::string("SCOTT") << "]\r\n";
        trace << "Count = [" << 42 << "] " << -7L << "\r\n";
        trace << "Password = [" << MaskedPassword("TIGER") << "]\r\n";
        trace.WriteLine("two\nlines");
        trace.EndSection("LOGON");
    }
    const std::vector<std::string> lines = Lines(ReadFile("Corvid.log"));
    ASSERT_EQ(lines.size(), 17u + 7u);
    EXPECT_EQ(lines[17], "--- BEGIN: LOGON at Mon Jan 12 23:59:09 2026 ---");
    EXPECT_EQ(lines[18], "Logon user = [SCOTT]");
    EXPECT_EQ(lines[19], "Count = [42] -7");
    EXPECT_EQ(lines[20], "Password = [********]");
    EXPECT_EQ(lines[21], "two\nlines");
    EXPECT_EQ(lines[22], "--- END: LOGON at Mon Jan 12 23:59:09 2026 ---");
    EXPECT_EQ(lines[23], "");
}

TEST_F(TraceLogTest, TimestampPadsSingleDigitDaysWithABlank) {
    m_clock.SetTime(MakeLocalTime(2027, 2, 1, 0, 0, 0));
    EXPECT_EQ(CTraceContext::Timestamp(), "Mon Feb  1 00:00:00 2027");
    m_clock.SetTime(MakeLocalTime(2026, 12, 31, 7, 8, 9));
    EXPECT_EQ(CTraceContext::Timestamp(), "Thu Dec 31 07:08:09 2026");
    EXPECT_EQ(CTraceContext::Timestamp().size(), 24u);
}

TEST_F(TraceLogTest, OpenFailsWithoutWritingWhenTheFileCannotBeCreated) {
    CTraceContext trace;
    EXPECT_FALSE(trace.Open("no-such-folder/Corvid.log", 4));
    EXPECT_EQ(trace.GetLevel(), 4);
    EXPECT_FALSE(trace.IsOpen());
}

TEST_F(TraceLogTest, ASecondWriterIsRefusedWhileTheFirstHoldsTheLog) {
    CTraceContext first;
    ASSERT_TRUE(first.Open("Corvid.log", 1));
    CTraceContext second;
    EXPECT_FALSE(second.Open("Corvid.log", 1));
    EXPECT_EQ(Lines(ReadFile("Corvid.log")).size(), 17u);
}

// The log must never write through a link or into anything but a regular file,
// and what it holds (statement texts with literals) is its owner's alone.
TEST_F(TraceLogTest, RefusesLinksAndOddFilesAndKeepsTheLogPrivate) {
    {
        std::ofstream victim("victim.txt", std::ios::binary);
        victim << "keep me";
    }
    fs::create_symlink("victim.txt", "Corvid.log");
    {
        CTraceContext trace;
        EXPECT_FALSE(trace.Open("Corvid.log", 15));
        EXPECT_FALSE(trace.IsOpen());
    }
    EXPECT_EQ(ReadFile("victim.txt"), "keep me");
    EXPECT_TRUE(fs::is_symlink("Corvid.log"));

    fs::remove("Corvid.log");
    ASSERT_EQ(::mkfifo("Corvid.log", 0600), 0);
    {
        CTraceContext trace;
        EXPECT_FALSE(trace.Open("Corvid.log", 1));  // would block forever without a reader
    }
    fs::remove("Corvid.log");
    fs::create_directory("Corvid.log");
    {
        CTraceContext trace;
        EXPECT_FALSE(trace.Open("Corvid.log", 1));
    }
    fs::remove("Corvid.log");

    const mode_t oldMask = ::umask(0);
    {
        CTraceContext trace;
        ASSERT_TRUE(trace.Open("Corvid.log", 1));
    }
    struct stat info {};
    ASSERT_EQ(::stat("Corvid.log", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // An older log readable by others becomes private when it is reused.
    ASSERT_EQ(::chmod("Corvid.log", 0644), 0);
    {
        CTraceContext trace;
        ASSERT_TRUE(trace.Open("Corvid.log", 1));
    }
    ::umask(oldMask);
    ASSERT_EQ(::stat("Corvid.log", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace corvid
