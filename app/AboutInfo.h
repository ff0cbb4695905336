#pragma once

#include <string>

namespace corvid {

// The text of the about box: the application's name, "Version 1.7.2", the build
// and the vendor's page.
std::string AboutText();

// The help page's file name; it is installed beside the program.
inline constexpr const char* kHelpPageFileName = "corvid-help.html";

}  // namespace corvid
