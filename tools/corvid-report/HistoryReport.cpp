#include "HistoryReport.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <ctime>

#include "collection/CorvidDoc.h"
#include "diag/TraceContext.h"
#include "list/ListCtrlEx.h"
#include "oracle/OracleConnection.h"
#include "platform/AsciiText.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "work/ProgressRunner.h"

namespace corvid {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void Say(const std::string& text) {
    std::fprintf(stderr, "corvid-report: %s\n", text.c_str());
}

void Trace(CTraceContext* trace, const std::string& text) {
    if (trace != nullptr && trace->IsOpen()) {
        *trace << "History: " << text << "\r\n";
        trace->Flush();
    }
}

// The collector's stop: SIGTERM and SIGINT set the flag and wake the wait.
std::atomic<bool> g_stop{false};
int g_wakeFd[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
    g_stop.store(true);
    if (g_wakeFd[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(g_wakeFd[1], &byte, 1);
    }
}

void InstallStopHandlers() {
    if (g_wakeFd[0] < 0 && ::pipe2(g_wakeFd, O_CLOEXEC | O_NONBLOCK) != 0) g_wakeFd[0] = g_wakeFd[1] = -1;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

// Waits that many seconds or until a stop; true when stopped.
bool WaitOrStop(int seconds) {
    const std::int64_t end = static_cast<std::int64_t>(std::time(nullptr)) + seconds;
    while (!g_stop.load()) {
        const std::int64_t left = end - static_cast<std::int64_t>(std::time(nullptr));
        if (left <= 0) break;
        pollfd wake{g_wakeFd[0], POLLIN, 0};
        ::poll(&wake, g_wakeFd[0] >= 0 ? 1 : 0, static_cast<int>(std::min<std::int64_t>(left, 3600) * 1000));
    }
    return g_stop.load();
}

std::string JsonText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// The layout with `title`'s column as the one sort key, descending; false when
// the layout has no such column.
bool SortLayoutBy(CListLayout& layout, const std::string& title) {
    CListLayout sorted;
    sorted.SetName(layout.GetName());
    bool found = false;
    for (CListColLayout column : layout.GetColumns()) {
        const bool match = !found && EqualsIgnoringAsciiCase(column.m_Title, title);
        column.m_Sort = match ? -1 : 0;
        found = found || match;
        sorted.AddColumn(column);
    }
    if (found) layout.Assign(sorted);
    return found;
}

}  // namespace

std::int64_t LocalNowSeconds() {
    std::tm now = GetClock().LocalTime();
    return static_cast<std::int64_t>(::timegm(&now));
}

int CHistoryReport::Open() {
    std::string location = m_options.location;
    if (location.empty()) {
        location = DefaultHistoryPath();
        if (location.empty()) {
            Say("no home folder for the default history store: name one with --store FILE");
            return kExitUsage;
        }
    }
    std::string error;
    m_store = OpenHistoryStore(location, error);
    if (!m_store) {
        Say(error);
        return kExitFailure;
    }
    return kExitOk;
}

int CHistoryReport::ApplyRetention() {
    if (!m_options.keepDays) return kExitOk;
    std::vector<SStoredDatabase> databases;
    std::string error;
    // Days are counted back from each store's newest snapshot time as the servers wrote it.
    const std::int64_t cutoff = LocalNowSeconds() - static_cast<std::int64_t>(*m_options.keepDays) * 86400;
    std::int64_t removed = 0;
    if (!m_store->RemoveBefore(cutoff, removed, error)) {
        Say(error);
        return kExitFailure;
    }
    if (removed > 0) Say("removed " + std::to_string(removed) + " snapshots older than " +
                         std::to_string(*m_options.keepDays) + " days from " + m_store->Location());
    return kExitOk;
}

int CHistoryReport::Trim() {
    return ApplyRetention();
}

int CHistoryReport::RecordLoad(COracleConnection& connection, const CCorvidDoc& doc, CTraceContext* trace) {
    SDatabaseIdentity database;
    if (!ReadDatabaseIdentity(connection, database)) {
        Say("not connected: nothing recorded");
        return kExitFailure;
    }
    const SSnapshotHeader header = LoadHeader(database, doc);
    if (!m_recorder) m_recorder = std::make_unique<CHistoryRecorder>(*m_store);
    std::int64_t snapshotId = 0;
    std::string error;
    const bool recorded = m_recorder->Record(header, doc.GetCollection(), snapshotId, error, [](std::size_t) {
        return !g_stop.load();
    });
    if (!recorded) {
        Say("the load was not recorded in the history store, which is as it was: " + error);
        Trace(trace, "not recorded: " + error);
        return kExitFailure;
    }
    const std::string text = "recorded snapshot " + std::to_string(snapshotId) + " of " + header.database.name +
                             " at " + header.serverTime + " (" + std::to_string(m_recorder->LastRecorded()) + " of " +
                             std::to_string(header.statementCount) + " statements changed) in " + m_store->Location();
    Say(text);
    Trace(trace, text);
    return ApplyRetention();
}

int CHistoryReport::RunCollector(COracleConnection& connection, CCorvidDoc& doc, IProgressRunner& runner,
                                 CTraceContext* trace, const std::function<bool(std::string&)>& reconnect) {
    InstallStopHandlers();
    const int period = *m_options.every;
    int pause = 0;  // after a failure: 5 s, doubling up to 5 min
    bool connected = true;
    while (!WaitOrStop(pause > 0 ? pause : period)) {
        std::string error;
        if (!connected) {
            if (!reconnect(error)) {
                pause = std::min(pause > 0 ? pause * 2 : 5, 300);
                Say("cannot log on again (next try in " + std::to_string(pause) + " s): " + error);
                Trace(trace, "log-on failed: " + error);
                continue;
            }
            connected = true;
            doc.ForgetPreviousLoad();
            Say("logged on again");
            Trace(trace, "logged on again");
        }
        if (!doc.Refresh(runner, error)) {
            if (g_stop.load()) break;
            pause = std::min(pause > 0 ? pause * 2 : 5, 300);
            Say("the load failed (next try in " + std::to_string(pause) + " s): " + error);
            Trace(trace, "load failed: " + error);
            connected = false;
            continue;
        }
        if (g_stop.load()) break;
        pause = 0;
        const int status = RecordLoad(connection, doc, trace);
        if (g_stop.load()) break;
        // A store that refuses a snapshot (a full disk) ends the collector.
        if (status != kExitOk) return status;
    }
    Say("stopped");
    Trace(trace, "collector stopped");
    return kExitOk;
}

int CHistoryReport::ListSnapshots(bool json, std::FILE* out) {
    std::vector<SStoredDatabase> databases;
    std::string error;
    if (!m_store->ListDatabases(databases, error)) {
        Say(error);
        return kExitFailure;
    }
    if (m_options.database) {
        SStoredDatabase chosen;
        if (const int status = PickDatabase(chosen); status != kExitOk) return status;
        databases = {chosen};
    }
    std::string text = json ? "{\"store\": " + JsonText(m_store->Location()) + ", \"databases\": [" : "";
    for (std::size_t d = 0; d < databases.size(); ++d) {
        const SStoredDatabase& database = databases[d];
        std::vector<SStoredSnapshot> snapshots;
        if (!m_store->ListSnapshots(database.id, snapshots, error)) {
            Say(error);
            return kExitFailure;
        }
        if (json) {
            text += std::string(d > 0 ? ", " : "") + "{\"name\": " + JsonText(database.name) +
                    ", \"dbid\": " + std::to_string(database.dbid) +
                    ", \"instance_number\": " + std::to_string(database.instanceNumber) +
                    ", \"instance_name\": " + JsonText(database.instanceName) + ", \"host\": " +
                    JsonText(database.host) + ", \"container\": " + JsonText(database.container) +
                    ", \"snapshots\": [";
            for (std::size_t s = 0; s < snapshots.size(); ++s) {
                const SStoredSnapshot& snapshot = snapshots[s];
                text += std::string(s > 0 ? ", " : "") + "{\"id\": " + std::to_string(snapshot.id) +
                        ", \"time\": " + JsonText(snapshot.serverTime) + ", \"startup_time\": " +
                        JsonText(snapshot.startupTime) + ", \"statements\": " +
                        std::to_string(snapshot.statementCount) + ", \"recorded\": " +
                        std::to_string(snapshot.recorded) + "}";
            }
            text += "]}";
        } else {
            text += "Database " + database.name + " (DBID " + std::to_string(database.dbid) + ", instance " +
                    std::to_string(database.instanceNumber) +
                    (database.instanceName.empty() ? "" : " " + database.instanceName) +
                    (database.host.empty() ? "" : " on " + database.host) +
                    (database.container.empty() ? "" : ", container " + database.container) + "): " +
                    std::to_string(snapshots.size()) + " snapshots\n";
            text += "  Snapshot  Time                 Statements    Recorded\n";
            std::string startup;
            for (const SStoredSnapshot& snapshot : snapshots) {
                if (snapshot.startupTime != startup && !snapshot.startupTime.empty()) {
                    text += "  -- instance started " + snapshot.startupTime + "\n";
                }
                startup = snapshot.startupTime;
                char line[160];
                std::snprintf(line, sizeof line, "  %8lld  %-19s  %10lld  %10lld\n",
                              static_cast<long long>(snapshot.id), snapshot.serverTime.c_str(),
                              static_cast<long long>(snapshot.statementCount),
                              static_cast<long long>(snapshot.recorded));
                text += line;
            }
        }
    }
    if (json) text += "]}\n";
    if (databases.empty() && !json) text = "The history store " + m_store->Location() + " holds no snapshots.\n";
    if (std::fputs(text.c_str(), out) < 0 || std::fflush(out) != 0) {
        Say("cannot write the list of snapshots");
        return kExitFailure;
    }
    return kExitOk;
}

int CHistoryReport::PickDatabase(SStoredDatabase& database) {
    std::vector<SStoredDatabase> databases;
    std::string error;
    if (!m_store->ListDatabases(databases, error)) {
        Say(error);
        return kExitFailure;
    }
    if (m_options.database) {
        const std::string& wanted = *m_options.database;
        const bool digits = !wanted.empty() && std::all_of(wanted.begin(), wanted.end(), [](unsigned char c) {
            return std::isdigit(c) != 0;
        });
        std::vector<SStoredDatabase> matches;
        for (const SStoredDatabase& d : databases) {
            if ((digits && std::to_string(d.dbid) == wanted) || EqualsIgnoringAsciiCase(d.name, wanted) ||
                EqualsIgnoringAsciiCase(d.instanceName, wanted)) {
                matches.push_back(d);
            }
        }
        if (matches.size() == 1) {
            database = matches.front();
            return kExitOk;
        }
        if (matches.empty()) {
            Say("no database " + wanted + " in the history store " + m_store->Location());
            return kExitFailure;
        }
        databases = matches;
    } else if (databases.size() == 1) {
        database = databases.front();
        return kExitOk;
    } else if (databases.empty()) {
        Say("the history store " + m_store->Location() + " holds no snapshots");
        return kExitFailure;
    }
    std::string names;
    for (const SStoredDatabase& d : databases)
        names += (names.empty() ? "" : ", ") + d.name + " (DBID " + std::to_string(d.dbid) + ", instance " +
                 std::to_string(d.instanceNumber) + ")";
    Say("the history store holds several databases: choose one with --database (" + names + ")");
    return kExitUsage;
}

int CHistoryReport::ReadWindowFigures(const std::string& text, std::int64_t nowSeconds,
                                      const std::vector<SStoredSnapshot>& snapshots, SWindowFigures& window) {
    SWindowBound from, to;
    std::string error;
    if (!ParseWindow(text, nowSeconds, from, to, error)) {
        Say(error);
        return kExitUsage;
    }
    std::size_t first = 0, last = 0;
    if (!ResolveWindow(snapshots, from, to, first, last, error)) {
        Say(error + " (window " + text + ")");
        return kExitFailure;
    }
    if (!ComputeWindow(*m_store, snapshots, first, last, window, error)) {
        Say(error);
        return kExitFailure;
    }
    return kExitOk;
}

int CHistoryReport::PickSnapshots(SStoredDatabase& database, std::vector<SStoredSnapshot>& snapshots) {
    if (const int status = PickDatabase(database); status != kExitOk) return status;
    std::string error;
    if (!m_store->ListSnapshots(database.id, snapshots, error)) {
        Say(error);
        return kExitFailure;
    }
    return kExitOk;
}

int CHistoryReport::ReadWindow(ISettingsStore& settings, std::int64_t nowSeconds, CListLayout& layout,
                               CObjectArray& statements) {
    layout = CListLayout::LoadIntervalLayout(settings);
    if (m_options.sort && !SortLayoutBy(layout, *m_options.sort)) {
        std::string titles;
        for (const CListColLayout& column : layout.GetColumns())
            titles += (titles.empty() ? "" : ", ") + column.m_Title;
        Say("--sort: no column '" + *m_options.sort + "' in the export (" + titles + ")");
        return kExitUsage;
    }
    SStoredDatabase database;
    std::vector<SStoredSnapshot> snapshots;
    if (const int status = PickSnapshots(database, snapshots); status != kExitOk) return status;
    SWindowFigures window;
    if (const int status = ReadWindowFigures(*m_options.window, nowSeconds, snapshots, window); status != kExitOk)
        return status;
    m_description = database.name + ": " + window.Describe();
    Say(m_description);
    statements = std::move(window.statements);
    return kExitOk;
}

int CHistoryReport::ReadComparison(std::int64_t nowSeconds, CListCtrlEx& list) {
    ECompareMeasure measure = ECompareMeasure::BufferGets;
    if (m_options.sort && !ParseCompareMeasure(*m_options.sort, measure)) {
        Say("--sort with --compare takes buffer_gets, executions, disk_reads, rows, sorts or parse_calls, not '" +
            *m_options.sort + "'");
        return kExitUsage;
    }
    SStoredDatabase database;
    std::vector<SStoredSnapshot> snapshots;
    if (const int status = PickSnapshots(database, snapshots); status != kExitOk) return status;
    SWindowFigures a, b;
    if (const int status = ReadWindowFigures(*m_options.compareA, nowSeconds, snapshots, a); status != kExitOk)
        return status;
    if (const int status = ReadWindowFigures(*m_options.compareB, nowSeconds, snapshots, b); status != kExitOk)
        return status;
    FillCompareList(list, CompareWindows(a, b, measure), measure);
    m_description = database.name + ": A " + a.Describe() + "; B " + b.Describe();
    Say(m_description);
    return kExitOk;
}

}  // namespace corvid
