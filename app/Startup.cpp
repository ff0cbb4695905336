#include "app/Startup.h"

#include "app/AppInfo.h"
#include "diag/TraceContext.h"

namespace corvid {

bool StartTraceLog(CTraceContext& trace, int level) {
    if (level == 0) return true;
    const bool opened = trace.Open(kTraceFileName, level);
    trace.WriteApplicationInfo(kApplicationName, kApplicationVersion, kApplicationBuild);
    return opened;
}

}  // namespace corvid
