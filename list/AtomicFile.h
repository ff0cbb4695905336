#pragma once

#include <string>
#include <string_view>

namespace corvid {

class CTraceContext;

// A file that replaces its target only when it is complete: text is buffered and
// written to a new temporary file in the target's folder; Commit flushes it to
// disk and renames it over the target. Anything short of a successful Commit
// removes the temporary file and leaves the target as it was.
//
// A link at the target is written through to the file it names, when following
// it is safe (see Open). An existing target keeps its permission bits, owner and
// group. An existing writable file in a folder that takes no new file is written
// in place instead, only at Commit, as the last resort.
class CAtomicFile {
public:
    explicit CAtomicFile(std::string target);
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Where the fallback and refused links are noted (optional).
    void SetTrace(CTraceContext* trace) { m_trace = trace; }

    // Creates the temporary file; false when the folder does not take it, or when
    // the target is a link that is not safe to follow (GetError says so).
    bool Open();
    bool IsOpen() const { return m_fd >= 0 || m_direct; }

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
    // The file that is written: the target, or the file its links lead to.
    const std::string& GetResolvedTarget() const { return m_resolved; }
    // Why Open failed, when it is more than the folder refusing the file.
    const std::string& GetError() const { return m_error; }
    // The temporary file's name, empty when none is open.
    const std::string& GetTemporary() const { return m_temporary; }

    // The temporary name for a target and a counter: the target's name with
    // ".tmp-PID-N", its name shortened so the whole stays within the 255 bytes
    // a file name may have.
    static std::string TemporaryName(const std::string& target, long pid, unsigned counter);

private:
    static constexpr std::size_t kFlushSize = 1 << 20;
    void FlushBuffer();
    bool ResolveTarget();
    void RemoveStaleTemporaries() const;
    bool CommitDirect();
    void Trace(const std::string& text) const;

    std::string m_target;
    std::string m_resolved;
    std::string m_temporary;
    std::string m_buffer;
    std::string m_error;
    CTraceContext* m_trace = nullptr;
    int m_fd = -1;
    int m_cleanupSlot = -1;
    bool m_failed = false;
    bool m_direct = false;
};

}  // namespace corvid
