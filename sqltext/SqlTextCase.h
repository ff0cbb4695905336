#pragma once

#include <string>
#include <string_view>

namespace corvid {

// The text in upper case, as the similarity search compares it: ASCII letters, and
// every character of a valid UTF-8 sequence that has a simple upper-case form (so
// "straße" keeps its "ß", "é" becomes "É"). Bytes that are not valid UTF-8 stay as
// they are. Safe to call from several threads.
std::string UpperCaseSqlText(std::string_view text);

}  // namespace corvid
