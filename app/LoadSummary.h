#pragma once

#include <cstdint>
#include <string>

#include "collection/ObjectEntry.h"

namespace corvid {

// The status bar's summary of a load: how many statements the list shows, how
// many were analysed and how many failed analysis (when analysis is on), and how
// long the load took. A cancelled load says that the list is partial.
std::string FormatLoadSummary(const CObjectArray& statements, bool analysisOn, bool completed,
                              std::uint64_t elapsedMs);

// What the empty list says before the first load.
inline constexpr const char* kEmptyListHint = "No statements loaded yet. Press F5 to load the shared pool.";

}  // namespace corvid
