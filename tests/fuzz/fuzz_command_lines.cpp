// Both command lines on any arguments (NUL separates them): parsing ends, an
// accepted line holds only values in range, a refused one says why, and the
// same arguments always give the same result.

#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "ReportOptions.h"
#include "app/CommandLineInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvid;
    if (size > 4096) return 0;
    std::vector<std::string> arguments;
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (!current.empty()) arguments.push_back(current);
    const std::string shown = fuzz::Shown(fuzz::Bytes(data, size));

    CCorvidCommandLineInfo desktop;
    const auto outcome = desktop.Parse(arguments);
    CCorvidCommandLineInfo again;
    FUZZ_CHECK(again.Parse(arguments) == outcome, shown);
    if (outcome == CCorvidCommandLineInfo::Outcome::Run) {
        FUZZ_CHECK(desktop.m_OciVersion == 0 || desktop.m_OciVersion == 7 || desktop.m_OciVersion == 8, shown);
        const int mode = static_cast<int>(desktop.m_ConnectMode);
        FUZZ_CHECK(mode >= 0 && mode <= 2, shown);
    }

    std::vector<char*> argv;
    std::string program = "corvid-report";
    argv.push_back(program.data());
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    SReportOptions options;
    std::string error;
    const bool accepted = ParseReportOptions(static_cast<int>(argv.size() - 1), argv.data(), options, error);
    if (!accepted) {
        FUZZ_CHECK(!error.empty(), shown);
        return 0;
    }
    FUZZ_CHECK(options.ociVersion == 0 || options.ociVersion == 7 || options.ociVersion == 8, shown);
    FUZZ_CHECK(options.traceLevel >= 0 && options.traceLevel <= kMaxTraceLevel, shown);
    FUZZ_CHECK(!(options.password && options.passwordFile), shown);
    const int mode = static_cast<int>(options.connectMode);
    FUZZ_CHECK(mode >= 0 && mode <= 2, shown);
    // Each format at most once.
    for (std::size_t i = 0; i < options.formats.size(); ++i) {
        const int format = static_cast<int>(options.formats[i]);
        FUZZ_CHECK(format >= 0 && format <= static_cast<int>(EReportFormat::Ndjson), shown);
        for (std::size_t k = 0; k < i; ++k)
            FUZZ_CHECK(options.formats[k] != options.formats[i], shown);
    }
    if (!options.help && !options.version) FUZZ_CHECK(!options.user.empty(), shown);
    return 0;
}
