#pragma once

#include <string>

namespace corvid {

class COracleConnection;

// What the connected server offers beyond the figures every release has had:
// learnt once per logon from the version banner and describes of the views.
struct SServerFeatures {
    bool detected = false;
    std::string banner;
    int release = 0;              // the major release of the banner; 0 when it names none
    bool sqlAreaFigures = false;  // v$sqlarea has SQL_ID, HASH_VALUE, PLAN_HASH_VALUE, the times, MODULE,
                                  // LAST_ACTIVE_TIME and VERSION_COUNT (10g on)
    bool sqlPlan = false;         // sys.v_$sql_plan can be read (the plans of the cursor cache)
};

// The major release a banner names ("... Release 19.0.0.0.0 ..." is 19); 0 when none.
int ReleaseOfBanner(const std::string& banner);

// Asks the server. A view the user may not read counts as absent; nothing is reported.
SServerFeatures DetectServerFeatures(COracleConnection& connection);

// One line per feature for the trace and the connection information.
std::string DescribeServerFeatures(const SServerFeatures& features);

}  // namespace corvid
