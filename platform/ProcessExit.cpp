#include "platform/ProcessExit.h"

#include <cstdio>
#include <cstdlib>

namespace corvid {

void EndProcess(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace corvid
