// Any text as corvid-report's settings file: it is read to its end, and what it
// holds does not depend on the line ends (CR LF or LF) or on a missing last one.

#include <string>

#include "FuzzCheck.h"
#include "IniSettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvid;
    const std::string text(fuzz::Bytes(data, size));
    if (text.find('\r') != std::string::npos) return 0;  // the CR LF form is made below
    CIniSettingsStore plain;
    plain.Parse(text);
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    CIniSettingsStore windows;
    windows.Parse(crlf);
    FUZZ_CHECK(windows.GetSections() == plain.GetSections(), fuzz::Shown(text));
    CIniSettingsStore ended;
    ended.Parse(text + "\n");
    FUZZ_CHECK(ended.GetSections() == plain.GetSections(), fuzz::Shown(text));
    for (const auto& [section, keys] : plain.GetSections()) {
        for (const auto& [key, value] : keys) {
            FUZZ_CHECK(plain.HasKey(section, key), fuzz::Shown(text));
            FUZZ_CHECK(plain.GetProfileString(section, key, "") == value, fuzz::Shown(text));
        }
    }
    return 0;
}
