#pragma once

// Shared set-up of the Oracle layer's tests: the simulated client libraries, a
// prompter that survives the end of a death-test child, and a trace log in a
// scratch folder.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "diag/TraceContext.h"
#include "oracle/OracleConnection.h"
#include "platform/DynamicLibrary.h"
#include "platform/Prompter.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

namespace corvid::test {

// <build>/ocisim/lib and its siblings lib7 and lib-missing.
inline std::string SimFolder(const std::string& name = "lib") {
    const char* env = std::getenv("CORVID_SIM_LIBDIR");
    std::filesystem::path lib = env && *env ? env : CORVID_SIM_LIBDIR;
    return (lib.parent_path() / name).string();
}

inline std::unique_ptr<IDynamicLibraryLoader> SimLoader(const std::string& folder = "lib") {
    return std::make_unique<CDlLibraryLoader>(std::vector<std::string>{SimFolder(folder)});
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A scratch folder of its own for each test, removed afterwards.
class CScratchFolder {
public:
    CScratchFolder() {
        static int counter = 0;
        m_path = std::filesystem::temp_directory_path() /
                 ("corvid_oracle_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
        std::filesystem::create_directories(m_path);
    }
    ~CScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Writes every prompt to a file at once, so that the parent of a death test can
// read what the child showed before it ended.
class CFilePrompter : public IPrompter {
public:
    explicit CFilePrompter(std::filesystem::path path) : m_path(std::move(path)) {}
    void Message(const std::string& text, Kind) override { Append("MESSAGE", text); }
    bool AskYesNo(const std::string& text) override {
        Append("QUESTION", text);
        return true;
    }
    void OracleError(const std::string& text) override { Append("ORACLE ERROR", text); }

private:
    void Append(const char* type, const std::string& text) {
        std::ofstream out(m_path, std::ios::binary | std::ios::app);
        out << "<" << type << ">" << text << "</" << type << ">";
    }
    std::filesystem::path m_path;
};

// Records prompts; an Oracle error also goes to standard error, since the report
// ends the test program right after it.
class CTestPrompter : public CRecordingPrompter {
public:
    void OracleError(const std::string& text) override {
        CRecordingPrompter::OracleError(text);
        std::fprintf(stderr, "Oracle SQL Error: %s\n", text.c_str());
    }
};

// Installs a prompter for the life of a test.
class CPrompterScope {
public:
    explicit CPrompterScope(IPrompter& prompter) { SetPrompter(&prompter); }
    ~CPrompterScope() { SetPrompter(nullptr); }
};

}  // namespace corvid::test
