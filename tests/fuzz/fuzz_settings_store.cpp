// Keys and values written through the desktop's settings store (Qt) read back
// the same through corvid-report's reader. The input is NUL-separated section,
// key and value triples.

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "IniSettingsStore.h"
#include "platform/qt/QtSettingsStore.h"

namespace {

// Names as the desktop uses them: printable, no group separators.
bool UsableName(const std::string& name) {
    if (name.empty() || name.size() > 64) return false;
    for (unsigned char c : name)
        if (c < 32 || c >= 127 || c == '/' || c == '\\') return false;
    return name != "General";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvid;
    if (size > 8192) return 0;
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            fields.emplace_back();
        } else {
            fields.back() += static_cast<char>(data[i]);
        }
    }
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.ini"));
    QFile::remove(path);
    std::vector<std::pair<std::string, std::string>> written;
    {
        CQtSettingsStore desktop(path);
        for (std::size_t i = 0; i + 2 < fields.size(); i += 3) {
            if (!UsableName(fields[i]) || !UsableName(fields[i + 1])) continue;
            desktop.WriteProfileString(fields[i], fields[i + 1], fields[i + 2]);
            written.emplace_back(fields[i], fields[i + 1]);
        }
    }
    if (written.empty()) return 0;
    CQtSettingsStore desktop(path);
    CIniSettingsStore report;
    FUZZ_CHECK(report.Load(path.toStdString()), "the file the desktop wrote could not be read");
    const std::string shown = fuzz::Shown(fuzz::Bytes(data, size));
    for (const auto& [section, key] : written) {
        FUZZ_CHECK(report.HasKey(section, key) == desktop.HasKey(section, key), shown + "\n" + section + "/" + key);
        const std::string theirs = desktop.GetProfileString(section, key, "<none>");
        const std::string ours = report.GetProfileString(section, key, "<none>");
        FUZZ_CHECK(ours == theirs, shown + "\n" + section + "/" + key + ": desktop " + fuzz::Shown(theirs) +
                                       ", report " + fuzz::Shown(ours));
    }
    return 0;
}
