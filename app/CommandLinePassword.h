#pragma once

#include <string>
#include <vector>

namespace corvid {

// Wipes the password from the program's own arguments once the command line has
// been read, so that other local users no longer see it in /proc/PID/cmdline or
// ps: the value of an argument -p<password> or /p<password> (any case), and an
// argument that is the password itself right after a bare -p or /p. Arguments
// are overwritten in place; the copies in `arguments` are wiped too. Nothing
// happens for an empty password.
void WipePasswordArguments(int argc, char** argv, std::vector<std::string>& arguments, const std::string& password);

}  // namespace corvid
