#include "history/HistoryRecorder.h"

#include <array>
#include <cstdlib>
#include <vector>

#include "collection/CorvidDoc.h"
#include "collection/IntervalFigures.h"
#include "oracle/OracleConnection.h"
#include "oracle/OracleCursor.h"

namespace corvid {

namespace {

bool SameInstanceStartup(const SDatabaseIdentity& a, const SDatabaseIdentity& b) {
    return a.dbid == b.dbid && a.instanceNumber == b.instanceNumber && a.container == b.container &&
           a.startupTime == b.startupTime;
}

// Runs a one-row query of text columns; false (the texts empty) when the server
// refuses it or has no row.
bool QueryTexts(COracleConnection& connection, const std::string& sql, std::vector<std::string>& texts) {
    constexpr int kSize = 200;
    std::vector<std::array<char, kSize>> buffers(texts.size());
    std::vector<short> indicators(texts.size());
    COracleCursor cursor(connection);
    cursor.Parse(sql);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        buffers[i].fill(0);
        cursor.Define(static_cast<int>(i) + 1, buffers[i].data(), kSize, oci::SQLT_STR, &indicators[i]);
    }
    if (!cursor.Execute(1, COracleCursor::EOnError::Return)) return false;
    cursor.Fetch(1);
    bool any = false;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = indicators[i] < 0 ? std::string() : std::string(buffers[i].data());
        any = any || !texts[i].empty();
    }
    return any;
}

}  // namespace

bool ReadDatabaseIdentity(COracleConnection& connection, SDatabaseIdentity& identity) {
    identity = SDatabaseIdentity();
    std::string name;
    if (!connection.GetServerInfo(identity.banner, name)) return false;
    identity.name = name;
    std::vector<std::string> database(2);
    if (QueryTexts(connection, "/* $CORVID$ */ SELECT TO_CHAR(dbid), name FROM v$database", database)) {
        identity.dbid = std::strtoll(database[0].c_str(), nullptr, 10);
        identity.name = database[1];
    }
    std::vector<std::string> instance(4);
    if (QueryTexts(connection,
                   "/* $CORVID$ */ SELECT TO_CHAR(instance_number), instance_name, host_name, "
                   "TO_CHAR(startup_time, 'YYYY-MM-DD/HH24:MI:SS') FROM v$instance",
                   instance)) {
        identity.instanceNumber = static_cast<std::int32_t>(std::strtol(instance[0].c_str(), nullptr, 10));
        identity.instanceName = instance[1];
        identity.host = instance[2];
        identity.startupTime = instance[3];
    } else {
        identity.instanceName = identity.name;
    }
    std::vector<std::string> container(1);
    if (QueryTexts(connection, "/* $CORVID$ */ SELECT SYS_CONTEXT('USERENV', 'CON_NAME') FROM dual", container)) {
        identity.container = container[0];
    }
    return true;
}

SSnapshotHeader LoadHeader(const SDatabaseIdentity& database, const CCorvidDoc& doc) {
    SSnapshotHeader header;
    header.database = database;
    header.serverTime = doc.GetServerTime();
    header.statementCount = doc.GetCollection().GetSize();
    header.totalBufferGets = doc.GetTotalBufferGets();
    header.totalDiskReads = doc.GetTotalDiskReads();
    return header;
}

std::string CLoadRecorder::Record(const SHistorySettings& settings, COracleConnection& connection,
                                  const CCorvidDoc& doc) {
    if (!settings.record) return std::string();
    const std::string location = settings.Resolved();
    std::string error;
    if (!m_store || location != m_location) {
        m_recorder.reset();
        m_store = OpenHistoryStore(location, error);
        if (!m_store) return "Not recorded in the history: " + error;
        m_location = location;
        m_recorder = std::make_unique<CHistoryRecorder>(*m_store);
    }
    SDatabaseIdentity database;
    if (!ReadDatabaseIdentity(connection, database)) return "Not recorded in the history: not connected";
    std::int64_t id = 0;
    if (!m_recorder->Record(LoadHeader(database, doc), doc.GetCollection(), id, error)) {
        // The next load opens the store again (it may have been repaired or moved).
        m_recorder.reset();
        m_store.reset();
        return "Not recorded in the history: " + error;
    }
    return std::string();
}

bool CHistoryRecorder::ReadPrevious(const SDatabaseIdentity& identity, std::string& error) {
    m_previous.clear();
    m_known = false;
    std::int64_t databaseId = 0;
    if (!m_store.FindDatabase(identity, databaseId, error)) return false;
    if (databaseId != 0) {
        std::vector<SStoredSnapshot> snapshots;
        if (!m_store.ListSnapshots(databaseId, snapshots, error)) return false;
        // The snapshots of this startup: the newest run of them.
        std::int64_t first = 0, last = 0;
        for (auto it = snapshots.rbegin(); it != snapshots.rend() && it->startupTime == identity.startupTime; ++it) {
            if (last == 0) last = it->id;
            first = it->id;
        }
        if (last != 0) {
            CObjectArray state;
            if (!m_store.ReadLatest(databaseId, first - 1, last, state, error)) return false;
            m_previous.reserve(static_cast<std::size_t>(state.GetSize()));
            for (const CObjectEntry& entry : state)
                m_previous.emplace(StatementKey(entry), FiguresOf(entry));
        }
    }
    m_identity = identity;
    m_known = true;
    return true;
}

bool CHistoryRecorder::Record(const SSnapshotHeader& header, const CObjectArray& collection, std::int64_t& snapshotId,
                              std::string& error, const HistoryProgress& progress) {
    if (!m_known || !SameInstanceStartup(m_identity, header.database)) {
        if (!ReadPrevious(header.database, error)) return false;
    }
    CObjectArray changed;
    std::vector<std::pair<std::string, StoredFigures>> updates;
    for (const CObjectEntry& entry : collection) {
        std::string key = StatementKey(entry);
        StoredFigures figures = FiguresOf(entry);
        const auto found = m_previous.find(key);
        if (found != m_previous.end() && found->second == figures) continue;
        changed.Add(entry);
        updates.emplace_back(std::move(key), figures);
    }
    if (!m_store.RecordSnapshot(header, changed, snapshotId, error, progress)) {
        // Another program may have recorded meanwhile: read the state again next time.
        m_known = false;
        return false;
    }
    for (auto& [key, figures] : updates)
        m_previous[std::move(key)] = figures;
    m_identity = header.database;
    m_lastRecorded = updates.size();
    return true;
}

}  // namespace corvid
