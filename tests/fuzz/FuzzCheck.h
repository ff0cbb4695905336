#pragma once

// What every fuzz target shares: a check that stops the run with the failed
// property, so libFuzzer keeps the input as a crash and the replay fails.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition, what)                                                            \
    do {                                                                                       \
        if (!(condition)) corvid::fuzz::Fail(__FILE__, __LINE__, #condition, (what));          \
    } while (false)

namespace corvid::fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* condition, const std::string& what) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n%s\n", file, line, condition, what.c_str());
    std::abort();
}

// A printable form of bytes for the failure message.
inline std::string Shown(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
        }
    }
    return out;
}

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace corvid::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
