#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "collection/ObjectEntry.h"
#include "history/HistorySettings.h"
#include "history/HistoryStore.h"
#include "history/StoredFigures.h"

namespace corvid {

class CCorvidDoc;
class COracleConnection;

// Reads which database the connection is logged on to: DBID and name, the
// instance (number, name, host, startup time) where the server shows it, the
// container where it has one, and the banner. False when not connected.
bool ReadDatabaseIdentity(COracleConnection& connection, SDatabaseIdentity& identity);

// The snapshot header of the document's current load from that database.
SSnapshotHeader LoadHeader(const SDatabaseIdentity& database, const CCorvidDoc& doc);

// Records loads as snapshots: of each load only the statements that changed
// since the previous snapshot of the same instance startup (new, or any figure
// moved). What the previous snapshot held is read from the store once and then
// kept, so that a collector recording every few minutes reads nothing back.
class CHistoryRecorder {
public:
    explicit CHistoryRecorder(IHistoryStore& store) : m_store(store) {}

    // Records `collection`, loaded at `serverTime` from the database of
    // `header.database`. False with the message when nothing was recorded.
    bool Record(const SSnapshotHeader& header, const CObjectArray& collection, std::int64_t& snapshotId,
                std::string& error, const HistoryProgress& progress = {});

    // How many statements the last recorded snapshot held.
    std::size_t LastRecorded() const { return m_lastRecorded; }

private:
    bool ReadPrevious(const SDatabaseIdentity& identity, std::string& error);

    IHistoryStore& m_store;
    bool m_known = false;
    SDatabaseIdentity m_identity;
    std::unordered_map<std::string, StoredFigures> m_previous;  // by statement key
    std::size_t m_lastRecorded = 0;
};

// Records the desktop's complete loads in the store the settings name: opened
// on first use and again when the location changes. A failure never touches
// the load; it is only reported.
class CLoadRecorder {
public:
    // Empty when the load was recorded (or recording is off); otherwise why it
    // was not, for the status bar.
    std::string Record(const SHistorySettings& settings, COracleConnection& connection, const CCorvidDoc& doc);

private:
    std::string m_location;
    std::unique_ptr<IHistoryStore> m_store;
    std::unique_ptr<CHistoryRecorder> m_recorder;
};

}  // namespace corvid
