#include "platform/SignalCleanup.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace corvid {

namespace {

// A slot is free (0), being filled (1) or holds a path to remove (2). The
// handler only reads slots in state 2, and only async-signal-safe calls run in it.
struct SFileSlot {
    std::atomic<int> state{0};
    char path[4096];
};

constexpr int kFileSlots = 16;
SFileSlot g_files[kFileSlots];

std::atomic<bool> g_terminalSet{false};
int g_terminalFd = -1;
termios g_terminalState{};

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void Handler(int signal) {
    const int savedErrno = errno;
    RunSignalCleanup();
    errno = savedErrno;
    // Blocked while the handler runs: delivered, with its default action, on return.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

void InstallSignalCleanup() {
    struct sigaction action {};
    action.sa_handler = Handler;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals)
        sigaddset(&action.sa_mask, signal);
    for (int signal : kSignals) {
        struct sigaction previous {};
        // A signal ignored by whoever started us (nohup) stays ignored.
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

int RegisterCleanupFile(const std::string& path) {
    if (path.size() >= sizeof g_files[0].path) return -1;
    for (int i = 0; i < kFileSlots; ++i) {
        int expected = 0;
        if (!g_files[i].state.compare_exchange_strong(expected, 1)) continue;
        std::memcpy(g_files[i].path, path.c_str(), path.size() + 1);
        g_files[i].state.store(2);
        return i;
    }
    return -1;
}

void UnregisterCleanupFile(int slot) {
    if (slot >= 0 && slot < kFileSlots) g_files[slot].state.store(0);
}

void RegisterTerminalRestore(int fd, const termios& state) {
    g_terminalSet.store(false);
    g_terminalFd = fd;
    g_terminalState = state;
    g_terminalSet.store(true);
}

void UnregisterTerminalRestore() {
    g_terminalSet.store(false);
}

void RunSignalCleanup() {
    for (SFileSlot& slot : g_files) {
        if (slot.state.load() == 2) ::unlink(slot.path);
    }
    if (g_terminalSet.load()) ::tcsetattr(g_terminalFd, TCSANOW, &g_terminalState);
}

}  // namespace corvid
