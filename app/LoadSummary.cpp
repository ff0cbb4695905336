#include "app/LoadSummary.h"

#include <cstdio>

#include "list/StatementColumn.h"

namespace corvid {

namespace {

std::string Counted(long long count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string FormatLoadSummary(const CObjectArray& statements, bool analysisOn, bool completed,
                              std::uint64_t elapsedMs) {
    long long analysed = 0, errors = 0;
    for (const CObjectEntry& entry : statements) {
        if (!entry.SqlPlan().empty()) ++analysed;
        if (entry.m_Status == kStatusError) ++errors;
    }
    std::string text = completed ? std::string() : std::string("Load cancelled, partial view: ");
    text += Counted(static_cast<long long>(statements.GetSize()), "statement", "statements") + " listed";
    if (analysisOn) {
        text += ", " + std::to_string(analysed) + " analysed, " + Counted(errors, "error", "errors");
    } else {
        text += ", analysis off";
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", static_cast<double>(elapsedMs) / 1000.0);
    return text + "; loaded in " + seconds;
}

}  // namespace corvid
