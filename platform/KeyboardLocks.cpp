#include "platform/KeyboardLocks.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace corvid {

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

LockStates ReadLockLeds(const std::string& ledFolder) {
    static const char* const kSuffixes[3] = {"::capslock", "::numlock", "::scrolllock"};
    LockStates states{false, false, false};
    std::error_code error;
    std::filesystem::directory_iterator entries(ledFolder, error);
    if (error) return states;
    for (const std::filesystem::directory_entry& entry : entries) {
        const std::string name = entry.path().filename().string();
        for (int lock = 0; lock < 3; ++lock) {
            if (states[lock] || !EndsWith(name, kSuffixes[lock])) continue;
            std::ifstream brightness(entry.path() / "brightness");
            long value = 0;
            if (brightness >> value && value > 0) states[lock] = true;
        }
    }
    return states;
}

}  // namespace corvid
