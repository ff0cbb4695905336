#pragma once

namespace corvid {

// Ends the process at once with the status, from any thread. Open C streams are
// flushed first; no static destructors run, so a worker thread can end the
// process while the user-interface thread is still inside its event loop.
[[noreturn]] void EndProcess(int status);

}  // namespace corvid
