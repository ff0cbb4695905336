#pragma once

#include "diag/ProgramVersion.h"

namespace corvid {

inline constexpr const char* kApplicationName = "Corvid - The Oracle Shared Pool Profiler";
inline constexpr const char* kApplicationVersion = kProgramVersion;
inline constexpr int kApplicationBuild = kProgramBuild;
inline constexpr const char* kCompanyKey = "Quarry Lane";
inline constexpr const char* kTraceFileName = "Corvid.log";
inline constexpr const char* kPlacementSection = "Settings";
inline constexpr const char* kVendorWebPage = "https://www.example.com/corvid";

}  // namespace corvid
