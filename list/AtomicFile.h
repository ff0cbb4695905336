#pragma once

#include <string>
#include <string_view>

namespace corvid {

// A file that replaces its target only when it is complete: text is buffered and
// written to a new temporary file in the target's folder; Commit flushes it to
// disk and renames it over the target. Anything short of a successful Commit
// removes the temporary file and leaves the target as it was.
class CAtomicFile {
public:
    explicit CAtomicFile(std::string target);
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Creates the temporary file; false when the folder does not take it.
    bool Open();
    bool IsOpen() const { return m_fd >= 0; }

    void Write(std::string_view text) {
        m_buffer.append(text);
        if (m_buffer.size() >= kFlushSize) FlushBuffer();
    }
    // The text and CR LF.
    void Line(std::string_view text) {
        m_buffer.append(text);
        m_buffer.append("\r\n", 2);
        if (m_buffer.size() >= kFlushSize) FlushBuffer();
    }
    // The pending text, for encoders that append to it directly; call
    // WroteBuffer after appending.
    std::string& Buffer() { return m_buffer; }
    void WroteBuffer() {
        if (m_buffer.size() >= kFlushSize) FlushBuffer();
    }

    // Writes what is pending, syncs, closes and renames over the target.
    // False, with the temporary file removed, when any step failed.
    bool Commit();
    // Closes and removes the temporary file.
    void Discard();

    const std::string& GetTarget() const { return m_target; }

private:
    static constexpr std::size_t kFlushSize = 1 << 20;
    void FlushBuffer();

    std::string m_target;
    std::string m_temporary;
    std::string m_buffer;
    int m_fd = -1;
    bool m_failed = false;
};

}  // namespace corvid
