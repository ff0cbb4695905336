#pragma once

// The string resources of the program: column titles for the list header (short)
// and for the statement parameter page (long).

namespace corvid {

struct SResourceString {
    int id;
    const char* text;
};

inline constexpr SResourceString kResourceStrings[] = {
    {200, "User"},
    {201, "Command"},
    {202, "Exec"},
    {203, "Disk R./E"},
    {204, "Buf Get/E"},
    {205, "Sorts/E"},
    {206, "Rows/E"},
    {207, "SQL Text"},
    {208, "First Load Time"},
    {209, "Disk Rds"},
    {210, "Buf Get"},
    {211, "Sorts"},
    {212, "Rows"},
    {213, "Sharable Mem"},
    {214, "Persist. Mem"},
    {215, "Runtime Mem"},
    {216, "Optimizer"},
    {217, "%  Disk"},
    {218, "% Buff."},
    {219, "# Parses"},
    {220, "# Loads"},
    {221, "Cmd Type"},
    {222, "Parse Schema #"},
    {223, "Parse User #"},
    {224, "Address"},
    {225, "Cost"},
    {226, "# FTS"},
    {227, "Status"},
    {228, "Username"},
    {229, "Distance"},
    {230, "Command type"},
    {231, "# of executions"},
    {232, "Disk Reads / Execution"},
    {233, "Buffer Gets / Execution"},
    {234, "Sorts / Execution"},
    {235, "Returned rows / Execution"},
    {236, "SQL Text"},
    {237, "First Load Time"},
    {238, "# of Disk Reads"},
    {239, "# of Buffer Gets"},
    {240, "# of Sorts"},
    {241, "# of returned rows"},
    {242, "Sharable Memory"},
    {243, "Persistent Memory"},
    {244, "Runtime Memory"},
    {245, "Optimizer mode"},
    {246, "%  of total Disk Reads"},
    {247, "% of total Buffer Gets"},
    {248, "# of Parses"},
    {249, "# of Loads"},
    {250, "Command type"},
    {251, "Parse Schema #"},
    {252, "Parse User #"},
    {253, "Statement address"},
    {254, "Execution cost"},
    {255, "# of Full Table Scans"},
    {256, "Status"},
    {257, "Distance"},
    {258, "Error Message"},
};

}  // namespace corvid
