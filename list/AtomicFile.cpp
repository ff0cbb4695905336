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

// The rule of protected links: a link is followed when we own it, or when it
// sits in a folder that no other user may write (owned by us or by root, without
// group or other write permission). Anything else may have been planted by
// another user to make us overwrite a file of their choosing.
bool SafeToFollow(const struct stat& link, const std::string& folder) {
    const uid_t self = ::geteuid();
    if (link.st_uid == self) return true;
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) return false;
    const bool trustedOwner = info.st_uid == self || info.st_uid == 0;
    return trustedOwner && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
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

bool CAtomicFile::ResolveTarget() {
    m_resolved = m_target;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat link {};
        if (::lstat(m_resolved.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return true;
        const std::string folder = FolderOf(m_resolved);
        if (!SafeToFollow(link, folder)) {
            m_error = "'" + m_resolved + "' is a link owned by another user in a folder others may write: not followed";
            return false;
        }
        std::vector<char> text(PATH_MAX + 1);
        const ssize_t length = ::readlink(m_resolved.c_str(), text.data(), text.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= text.size()) return false;
        const std::string destination(text.data(), static_cast<std::size_t>(length));
        m_resolved = destination[0] == '/' ? destination : folder + "/" + destination;
    }
    m_error = "'" + m_target + "' leads through too many links";
    return false;
}

// A temporary file of our own naming for this target, left by a process that no
// longer runs (killed during an export), is removed before the next export.
void CAtomicFile::RemoveStaleTemporaries() const {
    const std::string folder = FolderOf(m_resolved);
    const std::string name = NameOf(m_resolved);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    const uid_t self = ::geteuid();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        const std::size_t mark = candidate.rfind(kTemporaryMark);
        if (mark == std::string::npos || candidate.compare(0, mark, name, 0, mark) != 0) continue;
        std::size_t pos = mark + 5;
        long pid = 0;
        long counter = 0;
        if (!ReadWholeNumber(candidate, pos, pid) || pos >= candidate.size() || candidate[pos] != '-') continue;
        ++pos;
        if (!ReadWholeNumber(candidate, pos, counter) || pos != candidate.size()) continue;
        if (counter > static_cast<long>(UINT_MAX) || pid <= 0) continue;
        if (NameOf(TemporaryName(m_resolved, pid, static_cast<unsigned>(counter))) != candidate) continue;
        if (!(::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) continue;  // its writer still runs
        const std::string path = folder + "/" + candidate;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != self) continue;
        if (::unlink(path.c_str()) == 0) Trace("Removed the stale temporary file '" + path + "'");
    }
    ::closedir(dir);
}

bool CAtomicFile::Open() {
    Discard();
    m_failed = false;
    m_buffer.clear();
    m_error.clear();
    // An empty name or one that ends in a folder separator names no file.
    if (m_target.empty() || m_target.back() == '/') return false;
    if (!ResolveTarget()) {
        if (!m_error.empty()) Trace("Export refused: " + m_error);
        return false;
    }
    RemoveStaleTemporaries();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName(m_resolved, ::getpid(), g_counter++);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            m_fd = fd;
            m_temporary = std::move(name);
            m_cleanupSlot = RegisterCleanupFile(m_temporary);
            return true;
        }
        if (errno == EEXIST) continue;
        if (errno != EACCES && errno != EPERM) return false;
        // The folder takes no new file: an existing regular file that we may write
        // is written in place, which is not atomic, so only at Commit.
        struct stat info {};
        if (::lstat(m_resolved.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            ::faccessat(AT_FDCWD, m_resolved.c_str(), W_OK, AT_EACCESS) != 0) {
            return false;
        }
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
            m_failed = true;
            break;
        }
        p += written;
        left -= static_cast<std::size_t>(written);
    }
    m_buffer.clear();
}

bool CAtomicFile::CommitDirect() {
    m_direct = false;
    const int fd = ::open(m_resolved.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    struct stat info {};
    if (fd < 0) {
        m_buffer.clear();
        return false;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        m_buffer.clear();
        return false;
    }
    m_fd = fd;
    FlushBuffer();
    if (!m_failed && ::fsync(m_fd) != 0) m_failed = true;
    if (::close(m_fd) != 0) m_failed = true;
    m_fd = -1;
    return !m_failed;
}

bool CAtomicFile::Commit() {
    if (m_direct) return CommitDirect();
    if (m_fd < 0) return false;
    FlushBuffer();
    // An existing target keeps its owner, group and permissions where we may set
    // them; never the set-user-ID, set-group-ID or sticky bits, which would make an
    // export an executable of someone else's.
    struct stat existing {};
    if (!m_failed && ::lstat(m_resolved.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        if (::fchown(m_fd, existing.st_uid, existing.st_gid) != 0) {
            if (::fchown(m_fd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
                // Not ours to give away: the file becomes ours, as any new one would.
            }
        }
        ::fchmod(m_fd, existing.st_mode & 0777);
    }
    if (!m_failed && ::fsync(m_fd) != 0) m_failed = true;
    if (::close(m_fd) != 0) m_failed = true;
    m_fd = -1;
    if (!m_failed && ::rename(m_temporary.c_str(), m_resolved.c_str()) != 0) m_failed = true;
    if (m_failed) {
        ::unlink(m_temporary.c_str());
    }
    m_temporary.clear();
    UnregisterCleanupFile(m_cleanupSlot);
    m_cleanupSlot = -1;
    return !m_failed;
}

void CAtomicFile::Discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
    UnregisterCleanupFile(m_cleanupSlot);
    m_cleanupSlot = -1;
    m_buffer.clear();
    m_direct = false;
}

}  // namespace corvid
