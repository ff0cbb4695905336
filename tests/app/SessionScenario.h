#pragma once

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "oracle/OracleConnection.h"
#include "platform/DynamicLibrary.h"

namespace corvid::testing {

// A small simulated database for the session and desktop tests: SCOTT may flush
// the shared pool, SHOP may not, NOPLAN has no plan_table and OLDPLAN an old
// plan_table without the columns the explain procedure reads, so the procedure
// compiles invalid. Three statements by SCOTT and SHOP make up the shared pool.
inline const char* kSessionScenario = R"SCN(database TESTDB
alias REMOTE
banner text="Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production"
user SCOTT   id=54 password=TIGER   privileges=catalog,v-database,alter-system,create-procedure plan-table
user SHOP    id=61 password=SHOP    privileges=catalog,v-database,create-procedure plan-table
user NOPLAN  id=71 password=NOPLAN  privileges=catalog,v-database,create-procedure
user OLDPLAN id=72 password=OLDPLAN privileges=catalog,v-database,create-procedure
table OLDPLAN.PLAN_TABLE columns="STATEMENT_ID VARCHAR2(30), TIMESTAMP DATE"
table SCOTT.EMP columns="EMPNO NUMBER(4) NOT NULL, ENAME VARCHAR2(10), SAL NUMBER(7,2)"
statement user=SCOTT executions=10 buffer-gets=1000 disk-reads=10 text="SELECT ename FROM emp WHERE empno = 7369"
statement user=SCOTT executions=2 buffer-gets=5000 disk-reads=400 text="SELECT ename, sal FROM emp WHERE sal > 1000"
statement user=SHOP executions=5 buffer-gets=50 text="SELECT 1 FROM dual"
)SCN";

// Writes the scenario to a temporary file and points the simulator at it; must
// run before the client library is first loaded in the process.
inline bool InstallSessionScenario() {
    static const bool installed = [] {
        char path[] = "/tmp/corvid-session-XXXXXX";
        const int fd = mkstemp(path);
        if (fd < 0) return false;
        close(fd);
        std::ofstream(path) << kSessionScenario;
        setenv("CORVID_SIM_SCENARIO", path, 1);
        return true;
    }();
    return installed;
}

// The folder of the simulated client libraries.
inline std::string SimLibraryFolder() {
    const char* folder = std::getenv("CORVID_SIM_LIBDIR");
    return folder && *folder ? folder : CORVID_SIM_LIBDIR;
}

inline std::unique_ptr<COracleConnection> MakeSimConnection(CTraceContext* trace = nullptr, int version = 0) {
    InstallSessionScenario();
    return std::make_unique<COracleConnection>(
        trace, version, std::make_unique<CDlLibraryLoader>(std::vector<std::string>{SimLibraryFolder()}));
}

}  // namespace corvid::testing
