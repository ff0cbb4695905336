#include "app/Startup.h"

#include "app/AppInfo.h"
#include "diag/TraceContext.h"

namespace corvid {

void StartTraceLog(CTraceContext& trace, int level) {
    if (level == 0) return;
    trace.Open(kTraceFileName, level);
    trace.WriteApplicationInfo(kApplicationName, kApplicationVersion, kApplicationBuild);
}

}  // namespace corvid
