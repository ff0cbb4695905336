#pragma once

// corvid-report run as a user would run it: in a folder of its own under /tmp,
// with an empty home (no settings, no history store), the simulated client
// libraries on the library path, no password in the environment and no terminal
// on standard input. The including test program defines CORVID_REPORT_EXE and
// CORVID_SIM_LIBDIR.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace corvid::testing {

// The text as one word for /bin/sh.
inline std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The whole file, empty when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// How often `what` stands in `text`, overlapping ones included.
inline std::size_t CountOf(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

class CReportSandboxTest : public ::testing::Test {
protected:
    // `prefix` names the folder, /tmp/PREFIX-XXXXXX.
    explicit CReportSandboxTest(std::string prefix) : m_prefix(std::move(prefix)) {}

    void SetUp() override {
        std::string pattern = "/tmp/" + m_prefix + "-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        std::filesystem::create_directories(m_dir + "/home");
        const char* libDir = std::getenv("CORVID_SIM_LIBDIR");
        m_libDir = libDir != nullptr ? libDir : CORVID_SIM_LIBDIR;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    // The shell command that runs the report with `args` and `environment`
    // (assignments such as "CORVID_SIM_SCENARIO=demo:50"), its output in out.txt
    // and err.txt. The report replaces the shell, so a signal to the shell's
    // process reaches it.
    std::string ReportCommand(const std::vector<std::string>& args, const std::string& environment) const {
        std::string command = "cd " + ShellQuote(m_dir) +
                              " && exec env -u CORVID_PASSWORD -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME=" +
                              ShellQuote(m_dir + "/home") + " LD_LIBRARY_PATH=" + ShellQuote(m_libDir) + " " +
                              environment + " " + ShellQuote(CORVID_REPORT_EXE);
        for (const std::string& arg : args) command += " " + ShellQuote(arg);
        return command + " >out.txt 2>err.txt </dev/null";
    }
    // Runs the report to its end; its exit status (-1 when a signal ended it),
    // with its output in m_out and m_err.
    int RunReport(const std::vector<std::string>& args, const std::string& environment) {
        const int status = std::system(ReportCommand(args, environment).c_str());
        m_out = ReadWholeFile(Path("out.txt"));
        m_err = ReadWholeFile(Path("err.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

    std::string m_prefix;
    std::string m_dir;
    std::string m_libDir;
    std::string m_out;
    std::string m_err;
};

}  // namespace corvid::testing
