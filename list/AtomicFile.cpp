#include "list/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace corvid {

namespace {
std::atomic<unsigned> g_counter{0};
}

CAtomicFile::CAtomicFile(std::string target) : m_target(std::move(target)) {}

CAtomicFile::~CAtomicFile() {
    Discard();
}

bool CAtomicFile::Open() {
    Discard();
    m_failed = false;
    m_buffer.clear();
    // An empty name or one that ends in a folder separator names no file.
    if (m_target.empty() || m_target.back() == '/') return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = m_target + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(g_counter++);
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_fd = fd;
            m_temporary = std::move(name);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

void CAtomicFile::FlushBuffer() {
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

bool CAtomicFile::Commit() {
    if (m_fd < 0) return false;
    FlushBuffer();
    // An existing target keeps its permissions.
    struct stat existing;
    if (!m_failed && ::stat(m_target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(m_fd, existing.st_mode & 07777);
    }
    if (!m_failed && ::fsync(m_fd) != 0) m_failed = true;
    if (::close(m_fd) != 0) m_failed = true;
    m_fd = -1;
    if (!m_failed && ::rename(m_temporary.c_str(), m_target.c_str()) != 0) m_failed = true;
    if (m_failed) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
        return false;
    }
    m_temporary.clear();
    return true;
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
    m_buffer.clear();
}

}  // namespace corvid
