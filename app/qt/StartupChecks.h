#pragma once

namespace corvid {

// What must hold before the toolkit is started, checked where the toolkit would
// otherwise abort (status 134) or hang. First the arguments: a toolkit option
// such as -platform without its value ends the program with the message and
// status 2.
void CheckToolkitArguments(int argc, char** argv);
// Then the display: none to show windows on (and no -platform chosen) ends the
// program with a plain message and status 1, and so does any fatal error of the
// toolkit while it starts.
void CheckToolkitStart(int argc, char** argv);

// From here on the toolkit's fatal errors take their usual course again.
void ToolkitStarted();

// Checks the user's settings file before the settings library reads it (see
// PrepareSettingsFile); false, after the message on standard error, when the
// program cannot use it.
bool PrepareUserSettingsFile();

}  // namespace corvid
