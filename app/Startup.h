#pragma once

namespace corvid {

class CTraceContext;

// Opens the trace log "Corvid.log" in the working directory when the level is not
// 0 and writes the application block after the opening blocks (also when the file
// could not be created: the text then goes to standard error). False when a level
// was asked for and the file could not be opened.
bool StartTraceLog(CTraceContext& trace, int level);

}  // namespace corvid
