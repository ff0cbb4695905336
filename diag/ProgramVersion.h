#pragma once

// The program's version, one number for the desktop program, the report, the
// exports, the man pages and the package: the build's project version.
#ifndef CORVID_VERSION
#error "CORVID_VERSION is set by the build (the project version in CMakeLists.txt)"
#endif

namespace corvid {

inline constexpr const char* kProgramVersion = CORVID_VERSION;
inline constexpr int kProgramBuild = 144;

}  // namespace corvid
