#include "diag/TraceContext.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "diag/SystemMemory.h"
#include "platform/Clock.h"
#include "platform/TerminalText.h"

namespace corvid {

namespace {
const char* const kEndOfLine = "\r\n";
}

CTraceContext::~CTraceContext() {
    if (m_fd >= 0) {
        Flush();
        ::close(m_fd);
        m_fd = -1;
    }
}

bool CTraceContext::Open(const std::string& fileName, int level) {
    m_level = level;
    // The log holds statement texts with their literals: it is its owner's alone.
    // A link at its name is refused rather than followed (it could make us
    // truncate any file the link names), and so is anything but a regular file;
    // O_NONBLOCK keeps a FIFO planted there from stalling the open.
    int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) return false;
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    // Exclusive: a second program tracing into the same folder must not interleave.
    // In a sticky folder open to all (/tmp), a log another user planted there
    // would stay theirs to read: the rule of protected regular files.
    const std::size_t slash = fileName.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : fileName.substr(0, slash);
    struct stat folderInfo {};
    const bool planted = regular && info.st_uid != ::geteuid() && ::stat(folder.c_str(), &folderInfo) == 0 &&
                         (folderInfo.st_mode & S_ISVTX) != 0 && (folderInfo.st_mode & S_IWOTH) != 0 &&
                         info.st_uid != folderInfo.st_uid;
    if (!regular || planted || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // A log left by an older run may still be readable by others.
    if (info.st_uid == ::geteuid() && (info.st_mode & 077) != 0) ::fchmod(fd, info.st_mode & 0700);
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;

    const std::string title = "TRACE CONFIGURATION (CTraceContext::Open)";
    BeginSection(title);
    WriteLine("Trace file name = [" + fileName + "]");
    WriteLine("Trace level = [" + std::to_string(level) + "]");
    EndSection(title);
    WriteSystemInfo();
    Flush();
    return true;
}

void CTraceContext::Write(const char* data, std::size_t size) {
    // Standard error may be a terminal: statement texts go there only visibly.
    std::string shown;
    if (m_fd < 0) {
        shown = TerminalText(std::string_view(data, size));
        data = shown.data();
        size = shown.size();
    }
    const int fd = m_fd >= 0 ? m_fd : STDERR_FILENO;
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;  // write failures are not reported
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void CTraceContext::WriteLine(const std::string& text) {
    std::string line;
    line.reserve(text.size() + 2);
    line += text;
    line += kEndOfLine;
    Write(line);
}

std::string CTraceContext::Timestamp() {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm t = GetClock().LocalTime();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", kDays[((t.tm_wday % 7) + 7) % 7],
                  kMonths[((t.tm_mon % 12) + 12) % 12], t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, 1900 + t.tm_year);
    return buffer;
}

void CTraceContext::BeginSection(const std::string& title) {
    WriteLine("--- BEGIN: " + title + " at " + Timestamp() + " ---");
}

void CTraceContext::EndSection(const std::string& title) {
    WriteLine("--- END: " + title + " at " + Timestamp() + " ---" + kEndOfLine);
}

void CTraceContext::WriteApplicationInfo(const std::string& name, const std::string& version, int build) {
    const std::string title = "APPLICATION INFORMATION";
    BeginSection(title);
    WriteLine("Application name = [" + name + "]");
    WriteLine("Application version = [" + version + "]");
    WriteLine("Application build = [" + std::to_string(build) + "]");
    EndSection(title);
    Flush();
}

void CTraceContext::WriteSystemInfo() {
    const std::string title = "SYSTEM INFORMATION";
    BeginSection(title);
    SMemoryStatus status = ReadMemoryStatus();
    auto line = [this](const char* format, long value) {
        char buffer[160];
        std::snprintf(buffer, sizeof buffer, format, value);
        WriteLine(buffer);
    };
    const long kb = 1024;
    line("The MemoryStatus structure is %ld bytes long.", static_cast<long>(status.length));
    line("It should be %ld.", 32L);
    line("%ld percent of memory is in use.", static_cast<long>(status.memoryLoad));
    line("There are %ld total Kbytes of physical memory.", static_cast<long>(status.totalPhys / kb));
    line("There are %ld free Kbytes of physical memory.", static_cast<long>(status.availPhys / kb));
    line("There are %ld total Kbytes of paging file.", static_cast<long>(status.totalPageFile / kb));
    line("There are %ld free Kbytes of paging file.", static_cast<long>(status.availPageFile / kb));
    line("There are %ld total Kbytes of virtual memory.", static_cast<long>(status.totalVirtual / kb));
    line("There are %ld free Kbytes of virtual memory.", static_cast<long>(status.availVirtual / kb));
    EndSection(title);
    Flush();
}

CTraceContext& CTraceContext::operator<<(const std::string& text) {
    Write(text);
    return *this;
}

CTraceContext& CTraceContext::operator<<(const char* text) {
    if (text) Write(std::string(text));
    return *this;
}

CTraceContext& CTraceContext::operator<<(int value) {
    return *this << std::to_string(value);
}
CTraceContext& CTraceContext::operator<<(long value) {
    return *this << std::to_string(value);
}
CTraceContext& CTraceContext::operator<<(long long value) {
    return *this << std::to_string(value);
}

void CTraceContext::Flush() {
    if (m_fd >= 0) ::fdatasync(m_fd);
}

std::string MaskedPassword(const std::string&) {
    return "********";
}

}  // namespace corvid
