#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "HistoryOptions.h"
#include "collection/ObjectEntry.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "history/HistoryWindow.h"
#include "list/ListLayout.h"

namespace corvid {

class CCorvidDoc;
class CListCtrlEx;
class COracleConnection;
class CTraceContext;
class IProgressRunner;
class ISettingsStore;

// What corvid-report does with the history store: records loads (once, or as a
// collector), trims old snapshots, lists them, and reads windows and
// comparisons back. The methods return the program's exit status: 0, 1 on a
// store or Oracle error, 2 on bad usage; messages go to standard error.
class CHistoryReport {
public:
    explicit CHistoryReport(const SHistoryOptions& options) : m_options(options) {}

    // Opens the store of --store (the default file without a value).
    int Open();
    IHistoryStore& Store() { return *m_store; }

    // Records the document's complete load as a snapshot, then applies --keep-days.
    int RecordLoad(COracleConnection& connection, const CCorvidDoc& doc, CTraceContext* trace);
    // --keep-days alone.
    int Trim();

    // The collector: a load and a snapshot every --every seconds on the one
    // connection, reading only what changed, until SIGTERM or SIGINT. A lost
    // connection is logged on again with growing pauses; `reconnect` logs on and
    // prepares the session (false when it failed, with the message).
    int RunCollector(COracleConnection& connection, CCorvidDoc& doc, IProgressRunner& runner, CTraceContext* trace,
                     const std::function<bool(std::string&)>& reconnect);

    // --list-snapshots, as text or JSON.
    int ListSnapshots(bool json, std::FILE* out);

    // --window: the statements of the window in `statements`, to be shown with
    // `layout` (the saved interval layout, sorted by --sort when given).
    int ReadWindow(ISettingsStore& settings, std::int64_t nowSeconds, CListLayout& layout, CObjectArray& statements);
    // --compare: the list of the two windows side by side.
    int ReadComparison(std::int64_t nowSeconds, CListCtrlEx& list);

    // What the export says about where its figures come from.
    const std::string& Description() const { return m_description; }

private:
    int PickDatabase(SStoredDatabase& database);
    // The chosen database and its snapshots, oldest first.
    int PickSnapshots(SStoredDatabase& database, std::vector<SStoredSnapshot>& snapshots);
    int ReadWindowFigures(const std::string& text, std::int64_t nowSeconds, const std::vector<SStoredSnapshot>& snapshots,
                          SWindowFigures& window);
    int ApplyRetention();

    const SHistoryOptions& m_options;
    std::unique_ptr<IHistoryStore> m_store;
    std::unique_ptr<CHistoryRecorder> m_recorder;
    std::string m_description;
};

// Seconds since 1970 of the local wall-clock time now, counted as the stored
// server times are (without a zone).
std::int64_t LocalNowSeconds();

}  // namespace corvid
