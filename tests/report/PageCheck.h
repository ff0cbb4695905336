#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace corvid::testing {

// What headless Chromium saw of a page (see pagecheck.py): title, console errors,
// exceptions, requests beyond the page, and the value of an expression.
struct SPageCheck {
    bool skipped = false;   // Chromium could not start: `why` says so
    bool ok = false;        // false: `why` holds the checker's output
    std::string why;
    nlohmann::json report;  // title, console_errors, exceptions, requests, result
};

// Opens the page, evaluates the expression, and keeps a screenshot at `screenshot`.
SPageCheck CheckPage(const std::string& page, const std::string& screenshot, const std::string& expression,
                     int width = 1280);

// The folder where the tests keep their pages and screenshots (created).
std::string TestOutputDir();

}  // namespace corvid::testing
