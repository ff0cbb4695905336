#include "collection/OutOfMemory.h"

#include "platform/ProcessExit.h"
#include "platform/Services.h"

namespace corvid {

void OutOfMemory() {
    GetPrompter().Message("Out Of Memory", IPrompter::Kind::Error);
    EndProcess(1);
}

}  // namespace corvid
