#pragma once

#include <string>

namespace corvid {

// The diagnostic log ("Corvid.log"). Every line ends with CR LF. Writes go
// straight to the operating system (no buffer of our own), so the log survives an
// abrupt end of the program; while no file is open, text goes to standard error.
// Callers test GetLevel() themselves before they write.
class CTraceContext {
public:
    CTraceContext() = default;
    virtual ~CTraceContext();
    CTraceContext(const CTraceContext&) = delete;
    CTraceContext& operator=(const CTraceContext&) = delete;

    // Sets the level (also when the file cannot be created), creates the file
    // (replacing an existing one) for exclusive writing and writes the trace
    // configuration and system information blocks. False, with nothing written,
    // when the file cannot be created or another process holds it.
    bool Open(const std::string& fileName, int level);
    int GetLevel() const { return m_level; }
    bool IsOpen() const { return m_fd >= 0; }

    // The text, CR LF, then the text reaches the file.
    void WriteLine(const std::string& text);
    // "--- BEGIN: <title> at <timestamp> ---"
    void BeginSection(const std::string& title);
    // "--- END: <title> at <timestamp> ---" followed by one empty line.
    void EndSection(const std::string& title);

    void WriteApplicationInfo(const std::string& name, const std::string& version, int build);
    void WriteSystemInfo();

    // Appends without a line end; callers finish a line with "\r\n".
    CTraceContext& operator<<(const std::string& text);
    CTraceContext& operator<<(const char* text);
    CTraceContext& operator<<(int value);
    CTraceContext& operator<<(long value);
    CTraceContext& operator<<(long long value);

    // Commits the file to disk; nothing when no file is open.
    void Flush();

    // The current local time in the C library's asctime layout, without the
    // line end: "Mon Dec  7 07:44:38 2026" (24 characters).
    static std::string Timestamp();

private:
    void Write(const char* data, std::size_t size);
    void Write(const std::string& text) { Write(text.data(), text.size()); }

    int m_level = 0;
    int m_fd = -1;
};

// What the log shows in place of a password: never the password itself, nor its length.
std::string MaskedPassword(const std::string& password);

}  // namespace corvid
