#pragma once

#include <string>

namespace corvid {

// Makes a settings file safe to hand to a settings library that will read and
// rewrite it: an existing one must be a regular file (a FIFO planted there would
// block the read forever, a device would be read endlessly), checked without
// blocking; a missing one is created empty, readable and writable by its owner
// alone (its folders too, where they are missing), so that the library's
// rewrites keep that mode. False, with the reason in `error`.
bool PrepareSettingsFile(const std::string& path, std::string& error);

}  // namespace corvid
