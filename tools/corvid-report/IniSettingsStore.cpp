#include "IniSettingsStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "platform/Utf8.h"

namespace corvid {

namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads up to `maxDigits` digits of the base at text[pos]; -1 when there is none.
long ReadNumber(const std::string& text, std::size_t& pos, int base, int maxDigits) {
    long value = -1;
    for (int n = 0; n < maxDigits && pos < text.size(); ++n, ++pos) {
        const int digit = HexDigit(text[pos]);
        if (digit < 0 || digit >= base) break;
        value = (value < 0 ? 0 : value) * base + digit;
    }
    return value;
}

// True when the line ends in an odd number of backslashes, the last of which
// then escapes the line break.
bool EndsInLoneBackslash(const std::string& line) {
    const std::size_t last = line.find_last_not_of('\\');
    const std::size_t run = line.size() - (last == std::string::npos ? 0 : last + 1);
    return run % 2 == 1;
}

// The text of a single value: "@@x" stands for "@x", "@ByteArray(x)" and
// "@String(x)" for x; "@Invalid()" and serialised values hold no text (false);
// geometry reads as empty. Any other "@" text is taken as it is.
bool TypedText(const std::string& text, std::string& value) {
    const auto startsWith = [&text](const char* prefix) { return text.rfind(prefix, 0) == 0; };
    if (!startsWith("@")) {
        value = text;
        return true;
    }
    if (text.back() == ')') {
        if (startsWith("@ByteArray(")) {
            value = text.substr(11, text.size() - 12);
            return true;
        }
        if (startsWith("@String(")) {
            value = text.substr(8, text.size() - 9);
            return true;
        }
        // Serialised values: nothing we could read as text.
        if (text == "@Invalid()" || startsWith("@Variant(") || startsWith("@DateTime(")) return false;
        if (startsWith("@Rect(") || startsWith("@Size(") || startsWith("@Point(")) {
            value.clear();
            return true;
        }
    }
    value = startsWith("@@") ? text.substr(1) : text;
    return true;
}

}  // namespace

std::string CIniSettingsStore::DefaultPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        base = std::string(home) + "/.config";
    } else {
        return std::string();
    }
    return base + "/Quarry Lane/Corvid.ini";
}

std::string CIniSettingsStore::UnescapeKey(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            out += '/';
        } else if (c == '%' && i + 1 < text.size() && text[i + 1] == 'U' && i + 5 < text.size()) {
            std::size_t pos = i + 2;
            const long code = ReadNumber(text, pos, 16, 4);
            if (code >= 0 && pos == i + 6) {
                AppendUtf8(out, static_cast<char32_t>(code));
                i = pos - 1;
            } else {
                out += c;
            }
        } else if (c == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            // Two digits give a character up to U+00FF ("%E9" is "é"), not a byte.
            AppendUtf8(out, static_cast<char32_t>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

bool CIniSettingsStore::UnescapeValue(const std::string& text, std::string& value) {
    std::vector<std::string> items(1);
    std::vector<bool> quoted(1, false);
    bool inQuotes = false;
    std::string pendingBlanks;  // blanks outside quotes, kept only between other characters
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!inQuotes && (c == ' ' || c == '\t')) {
            if (!items.back().empty() || quoted.back()) pendingBlanks += c;
            continue;
        }
        if (!inQuotes && c == ',') {
            items.emplace_back();
            quoted.push_back(false);
            pendingBlanks.clear();
            continue;
        }
        items.back() += pendingBlanks;
        pendingBlanks.clear();
        if (c == '"') {
            inQuotes = !inQuotes;
            quoted.back() = true;
            continue;
        }
        if (c != '\\' || i + 1 >= text.size()) {
            items.back() += c;
            continue;
        }
        const char e = text[++i];
        switch (e) {
            case 'a':
                items.back() += '\a';
                break;
            case 'b':
                items.back() += '\b';
                break;
            case 'f':
                items.back() += '\f';
                break;
            case 'n':
                items.back() += '\n';
                break;
            case 'r':
                items.back() += '\r';
                break;
            case 't':
                items.back() += '\t';
                break;
            case 'v':
                items.back() += '\v';
                break;
            case 'x': {
                std::size_t pos = i + 1;
                const long code = ReadNumber(text, pos, 16, 4);
                if (code >= 0) {
                    AppendUtf8(items.back(), static_cast<char32_t>(code));
                    i = pos - 1;
                }
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    std::size_t pos = i;
                    AppendUtf8(items.back(), static_cast<char32_t>(ReadNumber(text, pos, 8, 3)));
                    i = pos - 1;
                } else {
                    items.back() += e;  // \" \' \\ \? and anything else stand for themselves
                }
        }
    }
    // The "@" forms are read from the unescaped text, quoted or not, as the
    // desktop's settings library does.
    if (items.size() == 1) return TypedText(items[0], value);
    // A list: "@@" items stand for "@"; a list with any other "@" item is a list
    // of typed values, which holds no text the desktop could read.
    std::string joined;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) joined += ',';
        if (items[i].rfind("@@", 0) == 0) {
            joined.append(items[i], 1);
        } else if (items[i].rfind("@", 0) == 0) {
            value.clear();
            return true;
        } else {
            joined += items[i];
        }
    }
    value = joined;
    return true;
}

bool CIniSettingsStore::Load(const std::string& path) {
    m_sections.clear();
    // Only a regular file of a sensible size: a device, a FIFO or a folder named
    // by mistake must neither hang the report nor read until memory runs out.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxFileSize) {
        ::close(fd);
        return false;
    }
    std::string text;
    char chunk[65536];
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ok = false;
            break;
        }
        if (got == 0) break;
        text.append(chunk, static_cast<std::size_t>(got));
        // The file may grow while it is read.
        if (text.size() > static_cast<std::size_t>(kMaxFileSize)) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    if (!ok) return false;
    Parse(text);
    return true;
}

void CIniSettingsStore::Parse(const std::string& text) {
    std::istringstream lines(text);
    std::string section = "General";
    std::string line;
    while (std::getline(lines, line)) {
        // A line ending in a backslash continues on the next one. Backslashes
        // pair up, so a value that ends in an escaped backslash (C:\\ in the
        // file) ends its line: only an odd run at the end escapes the line break.
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        while (EndsInLoneBackslash(line)) {
            std::string next;
            if (!std::getline(lines, next)) {
                line.pop_back();  // at the end of the file it continues onto nothing
                break;
            }
            while (!next.empty() && next.back() == '\r')
                next.pop_back();
            line.pop_back();
            line += next;
        }
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') continue;
        if (trimmed[0] == '[') {
            const std::size_t close = trimmed.find(']');
            section = UnescapeKey(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            continue;
        }
        const std::size_t equals = trimmed.find('=');
        if (equals == std::string::npos) continue;
        std::string value;
        if (!UnescapeValue(Trim(trimmed.substr(equals + 1)), value)) continue;
        m_sections[section][UnescapeKey(Trim(trimmed.substr(0, equals)))] = value;
    }
}

int CIniSettingsStore::GetProfileInt(const std::string& section, const std::string& key, int defaultValue) {
    if (!HasKey(section, key)) return defaultValue;
    int value = 0;
    return ParseProfileInt(m_sections[section][key], value) ? value : defaultValue;
}

std::string CIniSettingsStore::GetProfileString(const std::string& section, const std::string& key,
                                                const std::string& defaultValue) {
    if (!HasKey(section, key)) return defaultValue;
    return m_sections[section][key];
}

bool CIniSettingsStore::WriteProfileInt(const std::string& section, const std::string& key, int value) {
    m_sections[section][key] = std::to_string(value);
    return true;
}

bool CIniSettingsStore::WriteProfileString(const std::string& section, const std::string& key,
                                           const std::string& value) {
    m_sections[section][key] = value;
    return true;
}

bool CIniSettingsStore::HasKey(const std::string& section, const std::string& key) {
    const auto found = m_sections.find(section);
    return found != m_sections.end() && found->second.count(key) != 0;
}

void CIniSettingsStore::RemoveSection(const std::string& section) {
    m_sections.erase(section);
}

}  // namespace corvid
