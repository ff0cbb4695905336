#pragma once

namespace corvid {

// A fetch buffer could not be allocated: shows "Out Of Memory" and ends the
// program with status 1.
[[noreturn]] void OutOfMemory();

}  // namespace corvid
