#pragma once

#include <initializer_list>
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
// it is safe (see Open). The temporary file is its owner's alone until Commit,
// which gives it the final mode: an existing target's permission bits, owner and
// group, or those of a new file. An existing writable file in a folder that takes
// no new file is written in place instead, only at Commit, as the last resort,
// and only once the new text is known to fit.
class CAtomicFile {
public:
    explicit CAtomicFile(std::string target);
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Where the fallback and refused links are noted (optional).
    void SetTrace(CTraceContext* trace) { m_trace = trace; }

    // Creates the temporary file; false when the folder does not take it, when a
    // link on the way is not safe to follow, when the target is no regular file,
    // or when it belongs to another user in a shared folder (GetError says why).
    //
    // Links: the last component is followed when we own it or its folder is
    // closed to other users (owned by us or root, no group or other write). Every
    // component after the first sticky world-writable folder of the path (such as
    // /tmp) obeys the same rule, so a link planted there cannot steer the file.
    // Each folder is opened under its parent without following links, and the
    // file is created and renamed within the last one.
    //
    // An existing file in a sticky world-writable folder that belongs neither to
    // us nor to the folder's owner is not written over.
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

    // Writes what is pending, gives the file its final mode, syncs and closes
    // it: everything but the rename. False, with the temporary file removed, when
    // any step failed. Commit calls it when it was not called before.
    bool Prepare();
    // Prepare, then renames over the target. False, with the temporary file
    // removed and the target as it was, when any step failed.
    bool Commit();
    // Commits several files as one: each is prepared first, and when any of them
    // fails (or a rename does) the targets already replaced get their old
    // content back. False when they were not all written.
    static bool CommitAll(std::initializer_list<CAtomicFile*> files);
    // Closes and removes the temporary file.
    void Discard();

    const std::string& GetTarget() const { return m_target; }
    // The file that is written: the target, or the file its links lead to.
    const std::string& GetResolvedTarget() const { return m_resolved; }
    // Why Open or Commit failed: the system's reason or the rule that refused it.
    const std::string& GetError() const { return m_error; }
    // "Unable to create the file 'TARGET'" and the reason, when one is known.
    std::string FailureMessage() const;
    // The temporary file's name, empty when none is open.
    const std::string& GetTemporary() const { return m_temporary; }

    // The temporary name for a target and a counter: the target's name with
    // ".tmp-PID-N", its name shortened so the whole stays within the 255 bytes
    // a file name may have.
    static std::string TemporaryName(const std::string& target, long pid, unsigned counter);

    // Replaces the content of the open regular file `fd` with `content` in place,
    // never losing the old content: the new text is first written after the old
    // (so a full disk refuses it before anything is overwritten), and a failure
    // at any step puts the old bytes back. False, with the reason in `error`.
    static bool ReplaceInPlace(int fd, std::string_view content, std::string& error);

private:
    static constexpr std::size_t kFlushSize = 1 << 20;
    void FlushBuffer();
    bool ResolveTarget();
    bool CheckExistingTarget();
    void RemoveStaleTemporaries() const;
    bool CommitDirect();
    bool Rename();
    void CloseFolder();
    void Fail(const std::string& reason);
    void Trace(const std::string& text) const;

    std::string m_target;
    std::string m_resolved;
    std::string m_name;       // the resolved target's name within m_folderFd
    int m_folderFd = -1;      // the resolved target's folder
    std::string m_temporary;
    std::string m_buffer;
    std::string m_error;
    CTraceContext* m_trace = nullptr;
    int m_fd = -1;
    int m_cleanupSlot = -1;
    bool m_failed = false;
    bool m_direct = false;
    bool m_prepared = false;
};

}  // namespace corvid
