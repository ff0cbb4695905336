#pragma once

// A throwaway PostgreSQL cluster for tests: Debian's server binaries, a data
// folder in /tmp, a free loopback port, trust authentication for one role. As
// root the server runs as the postgres user (initdb refuses root). Started on
// first use, stopped when the test program ends.

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace corvid::testing {

class CPostgresCluster {
public:
    // The shared cluster of this test program.
    static CPostgresCluster& Shared() {
        static CPostgresCluster cluster;
        return cluster;
    }

    // Empty when the cluster runs; otherwise why it could not start (no server
    // binaries, initdb failed, ...), for GTEST_SKIP or a failure.
    const std::string& Problem() const { return m_problem; }
    // True when the server binaries are not installed at all (the only reason to skip).
    bool Absent() const { return m_absent; }

    // A connection string for a new, empty database of its own.
    std::string NewDatabase() {
        const std::string name = "t" + std::to_string(::getpid()) + "_" + std::to_string(++m_databases);
        Psql("CREATE DATABASE " + name);
        return Connection(name);
    }
    std::string Connection(const std::string& database) const {
        return "host=127.0.0.1 port=" + std::to_string(m_port) + " user=corvid dbname=" + database +
               " connect_timeout=10";
    }
    int Port() const { return m_port; }
    // Runs SQL through psql on the postgres database; true on success.
    bool Psql(const std::string& sql, const std::string& database = "postgres") const {
        const std::string command = m_bin + "/psql -X -q -v ON_ERROR_STOP=1 \"" + Connection(database) +
                                    "\" -c \"" + sql + "\" >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }

    ~CPostgresCluster() {
        if (m_started) Run(m_bin + "/pg_ctl -D " + m_dir + "/data -m immediate -w stop >/dev/null 2>&1");
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir);
    }
    CPostgresCluster(const CPostgresCluster&) = delete;
    CPostgresCluster& operator=(const CPostgresCluster&) = delete;

private:
    CPostgresCluster() {
        m_bin = FindBinaries();
        if (m_bin.empty()) {
            m_absent = true;
            m_problem = "no PostgreSQL server binaries in /usr/lib/postgresql/*/bin (Debian's postgresql package)";
            return;
        }
        char pattern[] = "/tmp/corvid-pg-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            m_problem = "cannot make a temporary folder";
            return;
        }
        m_dir = pattern;
        m_asRoot = ::geteuid() == 0;
        if (m_asRoot) {
            const passwd* postgres = ::getpwnam("postgres");
            if (postgres == nullptr || ::chown(m_dir.c_str(), postgres->pw_uid, postgres->pw_gid) != 0) {
                m_problem = "running as root without a postgres user to run the server as";
                return;
            }
        }
        m_port = FreePort();
        if (!Run(m_bin + "/initdb -D " + m_dir + "/data -A trust -U corvid --no-sync -E UTF8 --locale=C >" + m_dir +
                 "/initdb.log 2>&1")) {
            m_problem = "initdb failed (see " + m_dir + "/initdb.log)";
            return;
        }
        if (!Run(m_bin + "/pg_ctl -D " + m_dir + "/data -l " + m_dir + "/server.log -w -t 60 -o \"-p " +
                 std::to_string(m_port) + " -k " + m_dir +
                 " -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=60\" start >/dev/null 2>&1")) {
            m_problem = "the server did not start (see " + m_dir + "/server.log)";
            return;
        }
        m_started = true;
    }

    static std::string FindBinaries() {
        std::vector<std::string> found;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
            const std::string bin = entry.path().string() + "/bin";
            if (::access((bin + "/initdb").c_str(), X_OK) == 0 && ::access((bin + "/pg_ctl").c_str(), X_OK) == 0)
                found.push_back(bin);
        }
        std::sort(found.begin(), found.end());
        return found.empty() ? std::string() : found.back();
    }

    static int FreePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int port = 0;
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port = ntohs(address.sin_port);
        }
        if (fd >= 0) ::close(fd);
        return port;
    }

    // A server command, as the postgres user when running as root.
    bool Run(const std::string& command) const {
        const std::string full = m_asRoot ? "cd " + m_dir + " && runuser -u postgres -- sh -c '" + command + "'"
                                          : command;
        return std::system(full.c_str()) == 0;
    }

    std::string m_bin;
    std::string m_dir;
    std::string m_problem;
    bool m_absent = false;
    bool m_asRoot = false;
    bool m_started = false;
    int m_port = 0;
    std::atomic<int> m_databases{0};
};

}  // namespace corvid::testing
