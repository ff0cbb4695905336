#include "PageCheck.h"

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

namespace corvid::testing {

namespace {

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::string TestOutputDir() {
    const char* fromEnvironment = std::getenv("CORVID_TEST_OUTPUT_DIR");
    const std::string dir = fromEnvironment != nullptr ? fromEnvironment : CORVID_TEST_OUTPUT_DIR;
    std::filesystem::create_directories(dir);
    return dir;
}

SPageCheck CheckPage(const std::string& page, const std::string& screenshot, const std::string& expression,
                     int width) {
    SPageCheck check;
    const std::string command = "python3 " + Quote(CORVID_PAGECHECK) + " " + Quote(page) + " " + Quote(screenshot) +
                                " " + Quote(expression) + " " + std::to_string(width) + " 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        check.why = "cannot run " + command;
        return check;
    }
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int status = ::pclose(pipe);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 77) {
        check.skipped = true;
        check.why = output;
        return check;
    }
    if (code != 0) {
        check.why = "pagecheck.py ended with " + std::to_string(code) + ": " + output;
        return check;
    }
    // The report is the last line that starts with "{"; anything before it is
    // what the checker said on its error stream.
    std::size_t start = output.rfind("\n{");
    start = start == std::string::npos ? 0 : start + 1;
    try {
        check.report = nlohmann::json::parse(output.substr(start));
        check.ok = true;
    } catch (const std::exception& error) {
        check.why = std::string("unreadable report: ") + error.what() + ": " + output;
    }
    return check;
}

}  // namespace corvid::testing
