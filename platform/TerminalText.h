#pragma once

#include <string>
#include <string_view>

namespace corvid {

// Text as a terminal may show it: what could drive the terminal instead of being
// shown is written as a visible escape. Control characters other than tab and
// line feed, DEL and the bytes of invalid UTF-8 become "\xNN" (the CR of a CR LF
// pair is dropped); the C1 control characters, as UTF-8, become "\u0080" to
// "\u009f". A server's error text or a statement cannot clear the screen, move
// the cursor or set the window title this way. Everything else is kept.
std::string TerminalText(std::string_view text);

}  // namespace corvid
