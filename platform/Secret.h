#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvid {

// Keeps the process from being dumped (no core file; no ptrace or /proc/PID/mem
// for other processes of the same user) from construction to Release or
// destruction; then it is dumpable again when it was before.
class CNotDumpable {
public:
    CNotDumpable();
    ~CNotDumpable() { Release(); }
    CNotDumpable(const CNotDumpable&) = delete;
    CNotDumpable& operator=(const CNotDumpable&) = delete;
    void Release();

private:
    int m_wasDumpable;
    bool m_held = true;
};

// A password held in one buffer of its own, wiped (explicit_bzero) when it is
// dropped. While it holds a password the process is not dumpable: no core file,
// and other processes of the same user cannot read its memory through ptrace or
// /proc/PID/mem. Dropping it makes the process dumpable again when it was before.
class CSecret {
public:
    static constexpr std::size_t kCapacity = 1024;

    CSecret() = default;
    ~CSecret() { Wipe(); }
    CSecret(const CSecret&) = delete;
    CSecret& operator=(const CSecret&) = delete;

    // Takes the text (at most kCapacity - 1 bytes; false when it is longer). The
    // caller wipes its own copy (WipeString).
    bool Assign(std::string_view text);
    std::string_view View() const { return {m_buffer, m_size}; }
    bool Holds() const { return m_holding; }
    // Wipes the buffer and gives up the non-dumpable state.
    void Wipe();

private:
    char m_buffer[kCapacity] = {};
    std::size_t m_size = 0;
    bool m_holding = false;
    std::optional<CNotDumpable> m_guard;
};

// Overwrites a string's bytes with zeros, then empties it.
void WipeString(std::string& text);

// Overwrites a command-line argument's bytes (up to its terminating zero) with
// zeros, so that /proc/PID/cmdline no longer shows them.
void WipeArgument(char* argument);

// Reads a password from the first line of a file that only its owner may read:
// false, with the reason in `error`, when it cannot be read, is not a regular
// file, is larger than a password can be, or gives its group or others any
// access. The line end is not part of the password.
bool ReadPasswordFile(const std::string& path, CSecret& secret, std::string& error);

}  // namespace corvid
