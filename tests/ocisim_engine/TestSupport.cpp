#include "TestSupport.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace ocisim::test {

std::shared_ptr<Server> ServerFor(const std::string& scenarioText) {
    static int counter = 0;
    std::string path = "/tmp/ocisim_engine_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".scn";
    {
        std::ofstream out(path, std::ios::binary);
        out << scenarioText;
    }
    setenv("CORVID_SIM_SCENARIO", path.c_str(), 1);
    ResetServer();
    std::shared_ptr<Server> server = TheServer();
    std::remove(path.c_str());
    return server;
}

std::shared_ptr<Server> DemoServer() {
    static std::shared_ptr<Server> demo;
    if (!demo) {
        setenv("CORVID_SIM_SCENARIO", "demo", 1);
        ResetServer();
        demo = TheServer();
    }
    return demo;
}

std::unique_ptr<Session> Logon(Server& server, const std::string& user, const std::string& password) {
    OraError err;
    std::unique_ptr<Session> s = server.Logon("", user, password, LogonMode::Normal, err);
    return s;
}

Result RunSql(Session& session, const std::string& sql, std::vector<Bind> binds) {
    Result r;
    ExecResult e = session.Execute(sql, binds, false);
    r.error = e.error;
    r.warning = e.warning;
    r.columns = e.columns;
    r.rowsProcessed = e.rowsProcessed;
    if (e.rows) {
        std::vector<Value> row;
        while (e.rows->Next(row, r.fetchError)) r.rows.push_back(row);
    }
    return r;
}

std::vector<std::string> Texts(const Result& r) {
    std::vector<std::string> out;
    for (const auto& row : r.rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            if (i) line += "|";
            line += row[i].IsNull() ? "<null>" : row[i].ToText();
        }
        out.push_back(line);
    }
    return out;
}

}  // namespace ocisim::test
