#include "list/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <system_error>
#include <vector>

#include "diag/TraceContext.h"
#include "platform/SignalCleanup.h"

namespace corvid {

namespace {

std::atomic<unsigned> g_counter{0};

constexpr std::size_t kMaxNameBytes = 255;
constexpr int kMaxLinkHops = 40;
constexpr const char* kTemporaryMark = ".tmp-";

// The folder part of a path: "." for a bare name, "/" for a name in the root.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Reason(int error) {
    return std::error_code(error, std::generic_category()).message();
}

bool IsSharedFolder(const struct stat& folder) {
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
}

// The rule of protected links: a link is followed when we own it, or when it
// sits in a folder that no other user may write (owned by us or by root, without
// group or other write permission). Anything else may have been planted by
// another user to make us overwrite a file of their choosing.
bool SafeToFollow(const struct stat& link, const struct stat& folder) {
    const uid_t self = ::geteuid();
    if (link.st_uid == self) return true;
    const bool trustedOwner = folder.st_uid == self || folder.st_uid == 0;
    return trustedOwner && (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The non-empty components of a path, "." left out.
std::deque<std::string> Components(const std::string& path) {
    std::deque<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        if (slash > start && path.compare(start, slash - start, ".") != 0) parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

// Whether the current folder lies in or below a sticky world-writable folder.
bool WorkingFolderIsShared() {
    std::vector<char> buffer(PATH_MAX + 1);
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) return true;  // unknown: assume the worst
    std::string prefix;
    for (const std::string& part : Components(buffer.data())) {
        prefix += "/" + part;
        struct stat info {};
        if (::stat(prefix.c_str(), &info) == 0 && IsSharedFolder(info)) return true;
    }
    return false;
}

// The process's file mode creation mask, read without changing it (umask() would,
// for a moment, for every thread).
mode_t ProcessUmask() {
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr) return 022;
    char line[256];
    unsigned mask = 022;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
    }
    std::fclose(status);
    return static_cast<mode_t>(mask & 0777);
}

bool WriteAllAt(int fd, std::string_view text, off_t offset) {
    while (!text.empty()) {
        const ssize_t written = ::pwrite(fd, text.data(), text.size(), offset);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
        offset += written;
    }
    return true;
}

bool ReadAllAt(int fd, std::string& text, std::size_t size) {
    text.resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, text.data() + done, size - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool ReadWholeNumber(const std::string& text, std::size_t& pos, long& value) {
    const std::size_t start = pos;
    value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 10) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    return pos > start;
}

}  // namespace

CAtomicFile::CAtomicFile(std::string target) : m_target(std::move(target)) {}

CAtomicFile::~CAtomicFile() {
    Discard();
    CloseFolder();
}

std::string CAtomicFile::TemporaryName(const std::string& target, long pid, unsigned counter) {
    const std::string suffix = kTemporaryMark + std::to_string(pid) + "-" + std::to_string(counter);
    const std::size_t slash = target.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t nameLength = target.size() - nameStart;
    if (nameLength + suffix.size() > kMaxNameBytes) {
        nameLength = kMaxNameBytes - suffix.size();
        // Never cut a UTF-8 character in two.
        while (nameLength > 0 && (static_cast<unsigned char>(target[nameStart + nameLength]) & 0xC0) == 0x80)
            --nameLength;
    }
    return target.substr(0, nameStart + nameLength) + suffix;
}

void CAtomicFile::Trace(const std::string& text) const {
    if (m_trace != nullptr && m_trace->GetLevel() >= 1) m_trace->WriteLine(text);
}

void CAtomicFile::Fail(const std::string& reason) {
    m_failed = true;
    if (m_error.empty()) m_error = reason;
}

std::string CAtomicFile::FailureMessage() const {
    const std::string message = "Unable to create the file '" + m_target + "'";
    return m_error.empty() ? message : message + ": " + m_error;
}

void CAtomicFile::CloseFolder() {
    if (m_folderFd >= 0) ::close(m_folderFd);
    m_folderFd = -1;
}

// Walks the path one component at a time, each folder opened under its parent
// without following links, so that what is checked is what is used.
bool CAtomicFile::ResolveTarget() {
    CloseFolder();
    m_name.clear();
    const bool absolute = m_target[0] == '/';
    int folder = ::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        m_error = Reason(errno);
        return false;
    }
    bool shared = !absolute && WorkingFolderIsShared();
    std::string shown = absolute ? "/" : "";
    std::deque<std::string> parts = Components(m_target);
    int hops = 0;
    const auto fail = [&folder, this](const std::string& reason) {
        ::close(folder);
        if (m_error.empty()) m_error = reason;
        return false;
    };
    while (!parts.empty()) {
        std::string name = std::move(parts.front());
        parts.pop_front();
        const bool last = parts.empty();
        struct stat folderInfo {};
        if (::fstat(folder, &folderInfo) != 0) return fail(Reason(errno));
        if (name == "..") {
            if (last) return fail("'" + m_target + "' names a folder, not a file");
            const int up = ::openat(folder, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (up < 0) return fail(Reason(errno));
            ::close(folder);
            folder = up;
            shown += "../";
            continue;
        }
        struct stat info {};
        if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (last && errno == ENOENT) {
                m_name = name;
                break;
            }
            return fail(Reason(errno));
        }
        if (S_ISLNK(info.st_mode)) {
            if ((last || shared) && !SafeToFollow(info, folderInfo)) {
                return fail("'" + shown + name + "' is a link owned by another user in a folder others may write: not followed");
            }
            if (++hops > kMaxLinkHops) return fail("'" + m_target + "' leads through too many links");
            std::vector<char> text(PATH_MAX + 1);
            const ssize_t length = ::readlinkat(folder, name.c_str(), text.data(), text.size());
            if (length <= 0 || static_cast<std::size_t>(length) >= text.size()) return fail(Reason(ENOENT));
            const std::string destination(text.data(), static_cast<std::size_t>(length));
            std::deque<std::string> more = Components(destination);
            parts.insert(parts.begin(), more.begin(), more.end());
            if (destination[0] == '/') {
                const int root = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
                if (root < 0) return fail(Reason(errno));
                ::close(folder);
                folder = root;
                shown = "/";
                shared = false;
            }
            if (parts.empty()) return fail("'" + m_target + "' names a folder, not a file");
            continue;
        }
        if (last) {
            m_name = name;
            break;
        }
        if (!S_ISDIR(info.st_mode)) return fail(Reason(ENOTDIR));
        const int next = ::openat(folder, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) return fail(Reason(errno));
        struct stat nextInfo {};
        if (::fstat(next, &nextInfo) != 0) {
            ::close(next);
            return fail(Reason(errno));
        }
        if (IsSharedFolder(nextInfo)) shared = true;
        ::close(folder);
        folder = next;
        shown += name + "/";
    }
    if (m_name.empty()) return fail("'" + m_target + "' names a folder, not a file");
    m_folderFd = folder;
    m_resolved = shown + m_name;
    return true;
}

// What stands at the target already must be a regular file, and in a shared
// folder one of ours or of the folder's owner (the rule of protected regular
// files): another user's file there would stay theirs, readable and writable by
// them, with our text in it.
bool CAtomicFile::CheckExistingTarget() {
    struct stat info {};
    if (::fstatat(m_folderFd, m_name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return true;
        m_error = Reason(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        m_error = "'" + m_resolved + "' is not a regular file";
        return false;
    }
    struct stat folder {};
    if (::fstat(m_folderFd, &folder) != 0) {
        m_error = Reason(errno);
        return false;
    }
    if (IsSharedFolder(folder) && info.st_uid != ::geteuid() && info.st_uid != folder.st_uid) {
        m_error = "'" + m_resolved + "' belongs to another user in a folder open to all: not written over";
        return false;
    }
    return true;
}

// A temporary file of our own naming for this target, left by a process that no
// longer runs (killed during an export), is removed before the next export.
void CAtomicFile::RemoveStaleTemporaries() const {
    const std::string folder = FolderOf(m_resolved);
    const int listing = ::openat(m_folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        ::close(listing);
        return;
    }
    const uid_t self = ::geteuid();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        const std::size_t mark = candidate.rfind(kTemporaryMark);
        if (mark == std::string::npos || candidate.compare(0, mark, m_name, 0, mark) != 0) continue;
        std::size_t pos = mark + 5;
        long pid = 0;
        long counter = 0;
        if (!ReadWholeNumber(candidate, pos, pid) || pos >= candidate.size() || candidate[pos] != '-') continue;
        ++pos;
        if (!ReadWholeNumber(candidate, pos, counter) || pos != candidate.size()) continue;
        if (counter > static_cast<long>(UINT_MAX) || pid <= 0) continue;
        if (TemporaryName(m_name, pid, static_cast<unsigned>(counter)) != candidate) continue;
        if (!(::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) continue;  // its writer still runs
        struct stat info {};
        if (::fstatat(m_folderFd, candidate.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != self) {
            continue;
        }
        if (::unlinkat(m_folderFd, candidate.c_str(), 0) == 0) {
            Trace("Removed the stale temporary file '" + folder + "/" + candidate + "'");
        }
    }
    ::closedir(dir);
}

bool CAtomicFile::Open() {
    Discard();
    m_failed = false;
    m_buffer.clear();
    m_error.clear();
    // An empty name or one that ends in a folder separator names no file.
    if (m_target.empty() || m_target.back() == '/') {
        m_error = "no file name";
        return false;
    }
    if (!ResolveTarget() || !CheckExistingTarget()) {
        Trace("Export refused: " + m_error);
        CloseFolder();
        return false;
    }
    RemoveStaleTemporaries();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName(m_name, ::getpid(), g_counter++);
        // Owner only until Commit gives the final mode: the text may hold what
        // others must not read.
        const int fd = ::openat(m_folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            m_fd = fd;
            m_temporary = FolderOf(m_resolved) + "/" + name;
            m_cleanupSlot = RegisterCleanupFile(m_temporary);
            return true;
        }
        const int error = errno;
        if (error == EEXIST) continue;
        m_error = Reason(error);
        if (error != EACCES && error != EPERM) return false;
        // The folder takes no new file: an existing regular file that we may write
        // is written in place, which is not atomic, so only at Commit.
        struct stat info {};
        if (::fstatat(m_folderFd, m_name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
            ::faccessat(m_folderFd, m_name.c_str(), W_OK, AT_EACCESS) != 0) {
            return false;
        }
        m_error.clear();
        m_direct = true;
        Trace("The folder of '" + m_resolved + "' takes no new file: the file is written in place");
        return true;
    }
    return false;
}

void CAtomicFile::FlushBuffer() {
    if (m_direct) return;  // kept until Commit, so a failure before it leaves the file as it was
    if (m_fd < 0) {
        m_failed = true;
        m_buffer.clear();
        return;
    }
    const char* p = m_buffer.data();
    std::size_t left = m_buffer.size();
    while (left > 0 && !m_failed) {
        ssize_t written = ::write(m_fd, p, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            Fail(Reason(errno));
            break;
        }
        p += written;
        left -= static_cast<std::size_t>(written);
    }
    m_buffer.clear();
}

bool CAtomicFile::ReplaceInPlace(int fd, std::string_view content, std::string& error) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = Reason(errno);
        return false;
    }
    const off_t oldSize = info.st_size;
    // Kept to put back should the overwrite fail after all (where we may read it).
    std::string old;
    const bool haveOld = (::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDWR &&
                         ReadAllAt(fd, old, static_cast<std::size_t>(oldSize));
    if (!content.empty()) {
        // Room for the new text first, after the old: a full disk refuses it here,
        // and cutting the file back to its old size undoes it.
        if (!WriteAllAt(fd, content, oldSize) || ::fsync(fd) != 0) {
            error = Reason(errno);
            if (::ftruncate(fd, oldSize) != 0) {
                // Nothing more to do: the old bytes themselves were not touched.
            }
            return false;
        }
    }
    if (!WriteAllAt(fd, content, 0) || ::ftruncate(fd, static_cast<off_t>(content.size())) != 0 || ::fsync(fd) != 0) {
        error = Reason(errno);
        if (haveOld && WriteAllAt(fd, old, 0) && ::ftruncate(fd, oldSize) == 0) ::fsync(fd);
        return false;
    }
    return true;
}

bool CAtomicFile::CommitDirect() {
    m_direct = false;
    int fd = ::openat(m_folderFd, m_name.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0 && errno == EACCES) fd = ::openat(m_folderFd, m_name.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        m_error = Reason(errno);
        m_buffer.clear();
        return false;
    }
    struct stat info {};
    bool written = false;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_error = "'" + m_resolved + "' is not a regular file";
    } else {
        std::string error;
        written = ReplaceInPlace(fd, m_buffer, error);
        if (!written) m_error = error;
    }
    m_buffer.clear();
    ::close(fd);
    return written;
}

bool CAtomicFile::Prepare() {
    if (m_direct) return true;  // written at Commit
    if (m_prepared) return !m_failed;
    if (m_fd < 0) return false;
    FlushBuffer();
    // An existing target keeps its owner, group and permissions where we may set
    // them; never the set-user-ID, set-group-ID or sticky bits, which would make an
    // export an executable of someone else's. A new file gets the mode any new
    // file of ours would have.
    struct stat existing {};
    if (!m_failed && ::fstatat(m_folderFd, m_name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(existing.st_mode)) {
        if (::fchown(m_fd, existing.st_uid, existing.st_gid) != 0) {
            if (::fchown(m_fd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
                // Not ours to give away: the file becomes ours, as any new one would.
            }
        }
        ::fchmod(m_fd, existing.st_mode & 0777);
    } else if (!m_failed) {
        ::fchmod(m_fd, 0666 & ~ProcessUmask());
    }
    if (!m_failed && ::fsync(m_fd) != 0) Fail(Reason(errno));
    if (::close(m_fd) != 0) Fail(Reason(errno));
    m_fd = -1;
    if (m_failed) {
        Discard();
        return false;
    }
    m_prepared = true;
    return true;
}

bool CAtomicFile::Rename() {
    const std::string name = NameOf(m_temporary);
    const bool renamed = ::renameat(m_folderFd, name.c_str(), m_folderFd, m_name.c_str()) == 0;
    if (!renamed) {
        Fail(Reason(errno));
        ::unlinkat(m_folderFd, name.c_str(), 0);
    }
    m_temporary.clear();
    UnregisterCleanupFile(m_cleanupSlot);
    m_cleanupSlot = -1;
    m_prepared = false;
    return renamed;
}

bool CAtomicFile::Commit() {
    if (m_direct) return CommitDirect();
    if (!m_prepared && !Prepare()) return false;
    if (m_temporary.empty()) return false;
    return Rename();
}

bool CAtomicFile::CommitAll(std::initializer_list<CAtomicFile*> files) {
    bool prepared = true;
    for (CAtomicFile* file : files)
        prepared = file->IsOpen() && file->Prepare() && prepared;
    if (!prepared) {
        for (CAtomicFile* file : files)
            file->Discard();
        return false;
    }
    // Each replaced target's old content stays reachable under a temporary name
    // (a second link to it) until every file is in place.
    struct SReplaced {
        CAtomicFile* file;
        std::string backup;  // the old content's second name, when it was kept
        int cleanupSlot;
        bool created;  // there was no old file
    };
    std::vector<SReplaced> replaced;
    const auto finish = [&replaced](bool keepNew) {
        for (auto it = replaced.rbegin(); it != replaced.rend(); ++it) {
            const int folder = it->file->m_folderFd;
            if (!keepNew) {
                if (it->created) {
                    ::unlinkat(folder, it->file->m_name.c_str(), 0);
                } else if (!it->backup.empty()) {
                    ::renameat(folder, it->backup.c_str(), folder, it->file->m_name.c_str());
                }
            } else if (!it->backup.empty()) {
                ::unlinkat(folder, it->backup.c_str(), 0);
            }
            UnregisterCleanupFile(it->cleanupSlot);
        }
    };
    const auto commitOne = [&replaced](CAtomicFile* file) {
        struct stat info {};
        const bool existed = ::fstatat(file->m_folderFd, file->m_name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
        SReplaced entry{file, {}, -1, !existed};
        if (!file->m_direct && existed) {
            std::string backup = TemporaryName(file->m_name, ::getpid(), g_counter++);
            if (::linkat(file->m_folderFd, file->m_name.c_str(), file->m_folderFd, backup.c_str(), 0) == 0) {
                entry.cleanupSlot = RegisterCleanupFile(FolderOf(file->m_resolved) + "/" + backup);
                entry.backup = std::move(backup);
            }
        }
        if (file->Commit()) {
            replaced.push_back(std::move(entry));
            return true;
        }
        // Not replaced: the target is as it was.
        if (!entry.backup.empty()) ::unlinkat(file->m_folderFd, entry.backup.c_str(), 0);
        UnregisterCleanupFile(entry.cleanupSlot);
        return false;
    };
    bool committed = true;
    // Files written in place last: they cannot be put back as a rename can.
    for (bool direct : {false, true}) {
        for (CAtomicFile* file : files) {
            if (!committed) {
                file->Discard();
            } else if (file->m_direct == direct && !commitOne(file)) {
                committed = false;
            }
        }
    }
    finish(committed);
    return committed;
}

void CAtomicFile::Discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty()) {
        if (m_folderFd >= 0) ::unlinkat(m_folderFd, NameOf(m_temporary).c_str(), 0);
        m_temporary.clear();
    }
    UnregisterCleanupFile(m_cleanupSlot);
    m_cleanupSlot = -1;
    m_buffer.clear();
    m_direct = false;
    m_prepared = false;
}

}  // namespace corvid
