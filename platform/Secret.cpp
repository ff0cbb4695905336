#include "platform/Secret.h"

#include <fcntl.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace corvid {

CNotDumpable::CNotDumpable() : m_wasDumpable(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0)) {
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

void CNotDumpable::Release() {
    if (!m_held) return;
    m_held = false;
    if (m_wasDumpable > 0) ::prctl(PR_SET_DUMPABLE, m_wasDumpable, 0, 0, 0);
}

bool CSecret::Assign(std::string_view text) {
    Wipe();
    if (text.size() >= kCapacity) return false;
    m_guard.emplace();
    m_holding = true;
    text.copy(m_buffer, text.size());
    m_size = text.size();
    return true;
}

void CSecret::Wipe() {
    ::explicit_bzero(m_buffer, sizeof m_buffer);
    m_size = 0;
    if (!m_holding) return;
    m_holding = false;
    m_guard.reset();
}

void WipeString(std::string& text) {
    ::explicit_bzero(text.data(), text.size());
    text.clear();
}

void WipeArgument(char* argument) {
    if (argument != nullptr) ::explicit_bzero(argument, ::strlen(argument));
}

bool ReadPasswordFile(const std::string& path, CSecret& secret, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = "cannot read the password file '" + path + "': " + std::error_code(errno, std::generic_category()).message();
        return false;
    }
    struct stat info {};
    const auto refuse = [&](const std::string& reason) {
        ::close(fd);
        error = "the password file '" + path + "' " + reason;
        return false;
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return refuse("is not a regular file");
    if ((info.st_mode & 077) != 0) return refuse("may be read by others: allow its owner alone (chmod 600)");
    if (info.st_size >= static_cast<off_t>(CSecret::kCapacity)) return refuse("is too large for a password");
    char buffer[CSecret::kCapacity];
    std::size_t size = 0;
    while (size < sizeof buffer) {
        const ssize_t got = ::read(fd, buffer + size, sizeof buffer - size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ::explicit_bzero(buffer, sizeof buffer);
            return refuse(std::string("cannot be read: ") + std::error_code(errno, std::generic_category()).message());
        }
        if (got == 0) break;
        size += static_cast<std::size_t>(got);
    }
    ::close(fd);
    std::size_t length = 0;
    while (length < size && buffer[length] != '\n' && buffer[length] != '\r')
        ++length;
    const bool taken = length < size || size < sizeof buffer ? secret.Assign(std::string_view(buffer, length)) : false;
    ::explicit_bzero(buffer, sizeof buffer);
    if (!taken) {
        error = "the password file '" + path + "' is too large for a password";
        return false;
    }
    return true;
}

}  // namespace corvid
