#pragma once

#include <string>
#include <string_view>

namespace corvid {

// Appends text to an HTML page as character data or as a quoted attribute value:
// markup characters become references, valid UTF-8 is copied, every byte that is
// not part of a valid UTF-8 sequence becomes U+FFFD, and control characters other
// than tab and line feed become their visible pictures (U+2400 on; a CR before a
// LF is dropped, a lone CR is a line feed). Whatever the text holds, it stays text.
void AppendHtmlText(std::string_view text, std::string& out);
std::string HtmlText(std::string_view text);

// A number with thousands separated by blanks ("1 234 567"), `decimals` digits after the point.
std::string FormatReportNumber(double value, int decimals = 0);

}  // namespace corvid
