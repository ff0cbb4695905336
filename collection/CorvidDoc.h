#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "collection/IntervalFigures.h"
#include "collection/ObjectEntry.h"
#include "collection/StatementFamilies.h"
#include "collection/StatementFilter.h"
#include "collection/StatementIndex.h"
#include "list/ListLayout.h"
#include "oracle/ServerFeatures.h"

namespace corvid {

class COracleConnection;
class CTraceContext;
class IProgress;
class IProgressRunner;
class IPrompter;
class ISettingsStore;

// The document: the statements of the shared pool as last loaded (the
// collection), the database users with their selection, the filter and the other
// settings that drive a load, and the two list layouts. It loads the collection
// through its progress runner (count, statements, texts and, when "Analyze" is on,
// the analysis) and keeps its settings in the settings store.
//
// The collaborators are handed in and not owned: the connection (null or not
// connected means no server), the settings store, the prompter for its messages,
// and the progress runner (null runs the load without progress information).
class CCorvidDoc {
public:
    // Builds the default layout and refreshes the settings.
    CCorvidDoc(COracleConnection* connection, ISettingsStore& store, IPrompter& prompter, IProgressRunner* runner);
    // Writes the settings, unless SetSaveOnDestroy(false).
    virtual ~CCorvidDoc();
    CCorvidDoc(const CCorvidDoc&) = delete;
    CCorvidDoc& operator=(const CCorvidDoc&) = delete;

    // --- Settings ---
    // The version the settings are written with; stored settings of another
    // version get the default list layout.
    static constexpr const char* kSettingsVersion = "1.7.2";
    void ReadSettings();
    void WriteSettings();
    void ApplySavedUserSelection();
    // ReadSettings, LoadUsers, ApplySavedUserSelection: at creation and after a connect.
    void RefreshSettings();
    // A program that only reads the user's settings (the headless report) turns
    // off the write at destruction.
    void SetSaveOnDestroy(bool save) { m_saveOnDestroy = save; }

    // --- Users ---
    // Replaces the user list from the server; false (and an empty list) when not connected.
    bool LoadUsers();
    // The user list, loaded first when it is empty.
    CUserArray& GetUserList();

    // --- Loading ---
    // The collection; with reload, first loads it anew under the progress runner.
    const CObjectArray& GetObjectList(bool reload);
    // Loads the collection under the progress runner ("Processing", cancel with
    // confirmation). False when the user cancelled (the partial collection stays
    // and the partial-view message has been shown) or when not connected (nothing
    // changes).
    bool Reload();
    // With stop on, an analysis that loses the session (see IsSessionEndingError)
    // ends there and keeps the error for GetLostSessionError; without it (the
    // default) every further statement is marked "error".
    void SetStopAtLostSession(bool stop) { m_stopAtLostSession = stop; }
    // The text of the error that ended the session during the last analysis;
    // empty when there was none.
    const std::string& GetLostSessionError() const { return m_lostSessionError; }
    // A load that may fail without ending the program (an automatic refresh): run
    // under the given runner, cancelled without a question and without the
    // partial-view message. False when it was cancelled, or when the server
    // failed (error then holds the server's message).
    bool Refresh(IProgressRunner& runner, std::string& error);
    // The whole load job; progress may be null (no progress information).
    void LoadJob(IProgress* progress);

    // The phases, public for the tests.
    std::int32_t CountStatements();
    void ComputeTotals(double& totalBufferGets, double& totalDiskReads);
    // Reads the list; with changesOnly, only the statements active since the
    // previous load are read whole, the others carried over from it.
    void LoadStatements(bool changesOnly);
    // False when the changes cannot be told apart (too many statements neither
    // active nor in the previous load): nothing is kept then.
    bool LoadChangedStatements(double totalBufferGets, double totalDiskReads);
    bool CanLoadChangesOnly() const;
    // Whether the analysis of this load would keep the plan of a statement of the
    // previous load that has not run since; and whether the entry at a place of
    // the list was carried over with its analysis.
    bool AnalysisKeptFor(const CObjectEntry& before) const;
    // Gives the previous load back the statements this load took from it (a load
    // that does not complete leaves the previous one as it was).
    void ReturnTakenStatements();
    bool KeepsAnalysis(CObjectArray::Index place) const {
        return place >= 0 && static_cast<std::size_t>(place) < m_KeptAnalysis.size() &&
               m_KeptAnalysis[static_cast<std::size_t>(place)] != 0;
    }
    void LoadSqlText();
    void AnalyzeStatements();
    // The analysis's first pass: the plans of the cursor cache for the listed
    // statements, in one query. Returns how many statements got one.
    long ReadCursorCachePlans();

    // The statement texts of the load, with the filter fragments.
    std::string BuildCountStatement() const;
    std::string BuildLoadStatement() const;
    std::string BuildTextStatement() const;
    std::string BuildCursorPlanStatement() const;

    // --- Changes since the previous load ---
    // The interval between the previous complete load and the current one; not
    // valid after the first load, after a cancelled one, or when the filter or the
    // user selection changed between the two.
    const SIntervalSummary& GetIntervalSummary() const { return m_IntervalSummary; }
    bool HasInterval() const { return m_IntervalSummary.valid; }
    // The server's time of the current load (YYYY-MM-DD/HH24:MI:SS), read with the totals.
    const std::string& GetServerTime() const { return m_ServerTime; }
    // The next load neither compares with nor keeps plans from the loads before it
    // (a new connection may be another database or another user).
    void ForgetPreviousLoad();

    // --- State ---
    CObjectArray& GetCollection() { return m_ObjectList; }
    const CObjectArray& GetCollection() const { return m_ObjectList; }
    CStatementFilter& GetFilter() { return m_Filter; }
    const CStatementFilter& GetFilter() const { return m_Filter; }
    CListLayout& GetListLayout() { return m_ListLayout; }
    const CListLayout& GetDefaultLayout() const { return m_DefaultLayout; }
    bool IsConnected() const;
    // The shared pool's sums of buffer gets and disk reads that the last load
    // took its percentages from; 0 before the first load.
    double GetTotalBufferGets() const { return m_TotalBufferGets; }
    double GetTotalDiskReads() const { return m_TotalDiskReads; }
    // What the server of the last load offered; a load asks the connection anew.
    const SServerFeatures& GetServerFeatures() const { return m_ServerFeatures; }
    void SetServerFeatures(const SServerFeatures& features) { m_ServerFeatures = features; }

    // Settings values (the filter's are in GetFilter()).
    std::int32_t m_WarnIfNotAllUser = 1;
    std::int32_t m_Analyze = 1;
    // The analysis takes the plans of the cursor cache when the server has them.
    std::int32_t m_CursorCachePlans = 1;
    // Explains every statement at each load instead of keeping the plans of
    // statements unchanged since the previous load.
    std::int32_t m_ExplainAll = 0;
    // After a complete load, a load reads whole only the statements that ran since
    // (a server of 10g on says when each last ran) and keeps the others' figures;
    // not while m_ExplainAll is set. Off, every load reads every statement (for
    // comparisons).
    std::int32_t m_ReadChangesOnly = 1;
    std::int32_t m_ExportType = 1;
    std::string m_ExportName = "SQL statements in the Oracle SGA";
    std::string m_ExportFileName = "Corvid";
    // True while the main view shows the similar-statement list; never saved.
    bool m_SimilarMode = false;
    // True while the main view shows the changes since the previous load; never saved.
    bool m_ChangesMode = false;

    // --- Statement families ---
    // The families of the collection, grouped when first asked for after a load.
    const CStatementFamilies& GetFamilies();
    // True while the main view shows the family list; never saved.
    bool m_FamilyMode = false;
    // The family whose members the statement list shows; -1 shows all statements.
    // A load of the collection sets it back to -1.
    int m_FamilyFilter = -1;
    // The statement list's rows: the collection positions of the filter family's
    // members, or null when the whole collection is shown.
    const std::vector<CObjectArray::Index>* GetFilteredPositions();

private:
    bool ProgressStep(const std::string& text);
    bool ProgressNote(const std::string& text);
    int CurrentPercent() const;
    CTraceContext* TraceAt(int level) const;
    void ReadListLayout(const std::string& version);
    // The plan fields of a statement explained in the previous load under the
    // same text and goal, or null.
    const CObjectEntry* FindKeptPlan(const CObjectEntry& entry) const;
    // The same statement (address and first load time) in the previous load, or null.
    const CObjectEntry* FindPrevious(const CObjectEntry& entry) const;
    void IndexPreviousLoad();
    // Gives every statement of the previous load its text from there and lists the
    // addresses of the others; false (nothing taken) when there is nothing to
    // take from or too many others for a list of addresses.
    bool TakeKnownTexts(std::vector<std::string>& missing);
    // Reads the texts the statement returns (address and piece, in address and
    // piece order) into the statements; false when the load was cancelled.
    bool ReadTexts(const std::string& statement, bool bindFilter);
    std::string FilterSignature() const;
    // The most statements whose texts or plans are read by a list of addresses;
    // with more, the whole view is read.
    static constexpr std::size_t kMaxListedStatements = 10000;

    COracleConnection* m_connection;
    ISettingsStore& m_store;
    IPrompter& m_prompter;
    IProgressRunner* m_runner;
    bool m_saveOnDestroy = true;
    bool m_stopAtLostSession = false;
    std::string m_lostSessionError;

    CObjectArray m_ObjectList;
    CUserArray m_UserList;
    CStatementFilter m_Filter;
    CListLayout m_DefaultLayout;
    CListLayout m_ListLayout;
    double m_TotalBufferGets = 0;
    double m_TotalDiskReads = 0;
    SServerFeatures m_ServerFeatures;
    CStatementFamilies m_Families;
    bool m_familiesCurrent = false;

    // The last complete load before the current one, and the server times.
    CObjectArray m_PreviousList;
    CStatementIndex m_PreviousIndex;
    std::vector<char> m_KeptAnalysis;  // during a load: the entries carried over with their analysis
    // During a load: for each entry taken from the previous load, its place there.
    std::vector<CObjectArray::Index> m_TakenFrom;  // the previous load by statement key, during a load or an analysis
    bool m_HasPrevious = false;
    std::string m_PreviousServerTime;
    std::string m_PreviousFilter;
    std::string m_ServerTime;
    std::string m_LoadFilter;
    bool m_LoadComplete = false;
    SIntervalSummary m_IntervalSummary;

    // The load job's progress: 3 x the statements counted, and the steps done.
    IProgress* m_progress = nullptr;
    std::int32_t m_ProgressTotal = 0;
    std::int32_t m_ProgressCount = 0;
};

}  // namespace corvid
