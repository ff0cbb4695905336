#include "collection/CorvidDoc.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "collection/OutOfMemory.h"
#include "collection/UserSelection.h"
#include "diag/TraceContext.h"
#include "work/Progress.h"
#include "work/ProgressRunner.h"
#include "oracle/OracleConnection.h"
#include "oracle/OracleCursor.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "oracle/OciTypes.h"

namespace corvid {

namespace {

constexpr const char* kFilterSection = "Filter";
constexpr const char* kVersionSection = "Version";
constexpr const char* kVersionKey = "Version";
// The version that the stored list layout must carry to be used.
constexpr const char* kLayoutVersion = CCorvidDoc::kSettingsVersion;
constexpr const char* kUserListKey = "UserList";
// The key that a saved list layout always has.
constexpr const char* kLayoutCountKey = "Column#";
// 1: explain every statement at each load; 0: keep the plans of unchanged statements.
constexpr const char* kExplainAllKey = "ExplainEveryLoad";

constexpr const char* kVersionMessage =
    "Saved list layout settings can't be used with current version!\nResetting them to default.";
constexpr const char* kCorruptLayoutMessage =
    "Saved list layout settings seem to be currupt!\nResetting them to default.";
constexpr const char* kIncompleteSelectionMessage =
    "The saved selection does not include all database users!\nPlease review the user selection in the "
    "preferences dialog.";
constexpr const char* kPartialViewMessage = "You cancelled the operation and will only see a partial view of the data!";

// Room for a user name of today's servers (128 bytes) and its terminator.
constexpr int kUserNameSize = 129;

struct SIntKey {
    const char* key;
    std::int32_t CCorvidDoc::*docField;
    std::int32_t CStatementFilter::*filterField;
    int defaultValue;
};

const SIntKey kFlagKeys[] = {
    {"WarnIfNotAllUser", &CCorvidDoc::m_WarnIfNotAllUser, nullptr, 1},
    {"Analyze", &CCorvidDoc::m_Analyze, nullptr, 1},
    {"Select", nullptr, &CStatementFilter::m_Select, 1},
    {"Insert", nullptr, &CStatementFilter::m_Insert, 1},
    {"Update", nullptr, &CStatementFilter::m_Update, 1},
    {"Delete", nullptr, &CStatementFilter::m_Delete, 1},
    {"Others", nullptr, &CStatementFilter::m_Others, 1},
    {"ExportType", &CCorvidDoc::m_ExportType, nullptr, 1},
    {"CursorCachePlans", &CCorvidDoc::m_CursorCachePlans, nullptr, 1},
};

// The condition keys in the order they are read and written: choices, then values.
const SIntKey kConditionChoiceKeys[] = {
    {"FiltBufDskC", nullptr, &CStatementFilter::m_FiltBufDskC, 0},
    {"FiltBufGetC", nullptr, &CStatementFilter::m_FiltBufGetC, 0},
    {"FiltDskRdsC", nullptr, &CStatementFilter::m_FiltDskRdsC, 0},
    {"FiltElapsedC", nullptr, &CStatementFilter::m_FiltElapsedC, 0},
    {"FiltExecsC", nullptr, &CStatementFilter::m_FiltExecsC, 0},
    {"FiltLoadTimeC", nullptr, &CStatementFilter::m_FiltLoadTimeC, 0},
    {"FiltRowsC", nullptr, &CStatementFilter::m_FiltRowsC, 0},
    {"FiltSortsC", nullptr, &CStatementFilter::m_FiltSortsC, 0},
    {"FiltTextExclC", nullptr, &CStatementFilter::m_FiltTextExclC, 0},
    {"FiltTextInclC", nullptr, &CStatementFilter::m_FiltTextInclC, 0},
};
const SIntKey kConditionValueKeys[] = {
    {"FiltBufDskV", nullptr, &CStatementFilter::m_FiltBufDskV, 0},
    {"FiltBufGetV", nullptr, &CStatementFilter::m_FiltBufGetV, 0},
    {"FiltDskRdsV", nullptr, &CStatementFilter::m_FiltDskRdsV, 0},
    {"FiltElapsedV", nullptr, &CStatementFilter::m_FiltElapsedV, 0},
    {"FiltExecsV", nullptr, &CStatementFilter::m_FiltExecsV, 0},
    {"FiltLoadTimeV", nullptr, &CStatementFilter::m_FiltLoadTimeV, 0},
    {"FiltRowsV", nullptr, &CStatementFilter::m_FiltRowsV, 0},
    {"FiltSortsV", nullptr, &CStatementFilter::m_FiltSortsV, 0},
};

}  // namespace

CCorvidDoc::CCorvidDoc(COracleConnection* connection, ISettingsStore& store, IPrompter& prompter,
                       IProgressRunner* runner)
    : m_connection(connection),
      m_store(store),
      m_prompter(prompter),
      m_runner(runner),
      m_DefaultLayout(CListLayout::MakeDefaultLayout()) {
    RefreshSettings();
}

CCorvidDoc::~CCorvidDoc() {
    if (m_saveOnDestroy) WriteSettings();
}

bool CCorvidDoc::IsConnected() const {
    return m_connection != nullptr && m_connection->IsConnected();
}

CTraceContext* CCorvidDoc::TraceAt(int level) const {
    if (m_connection == nullptr) return nullptr;
    CTraceContext* trace = m_connection->GetTrace();
    return trace != nullptr && trace->GetLevel() >= level ? trace : nullptr;
}

// --- Settings ---

void CCorvidDoc::ReadSettings() {
    const std::string version = m_store.GetProfileString(kVersionSection, kVersionKey, "");

    auto readInt = [this](const SIntKey& key) {
        const int value = m_store.GetProfileInt(kFilterSection, key.key, key.defaultValue);
        if (key.docField != nullptr) this->*key.docField = value;
        if (key.filterField != nullptr) m_Filter.*key.filterField = value;
    };
    // The flags in the order the settings are read.
    for (const char* name :
         {"WarnIfNotAllUser", "Analyze", "Delete", "Update", "Others", "Insert", "Select", "ExportType",
          "CursorCachePlans"}) {
        for (const SIntKey& key : kFlagKeys) {
            if (std::string(key.key) == name) readInt(key);
        }
    }
    m_ExportName = m_store.GetProfileString(kFilterSection, "ExportName", "SQL statements in the Oracle SGA");
    m_ExportFileName = m_store.GetProfileString(kFilterSection, "ExportFileName", "Corvid");
    for (const SIntKey& key : kConditionChoiceKeys)
        readInt(key);
    for (const SIntKey& key : kConditionValueKeys)
        readInt(key);
    m_Filter.m_FiltTextExclV = m_store.GetProfileString(kFilterSection, "FiltTextExclV", "%");
    m_Filter.m_FiltTextInclV = m_store.GetProfileString(kFilterSection, "FiltTextInclV", "%");
    m_ExplainAll = m_store.GetProfileInt(kFilterSection, kExplainAllKey, 0);

    ReadListLayout(version);
}

void CCorvidDoc::ReadListLayout(const std::string& version) {
    // No layout was ever saved (a first start, or settings written before the view
    // saved its layout): nothing to reset, so keep the layout in use without a word.
    if (!m_store.HasKey(m_DefaultLayout.GetName(), kLayoutCountKey)) {
        if (m_ListLayout.GetCount() == 0) m_ListLayout.Assign(CListLayout::MakeFreshLayout());
        return;
    }
    if (version != kLayoutVersion) {
        m_prompter.Message(kVersionMessage);
        m_ListLayout.Assign(CListLayout::MakeFreshLayout());
        return;
    }
    CListLayout stored;
    if (!stored.Load(m_store) || stored.GetCount() > m_DefaultLayout.GetCount()) {
        m_prompter.Message(kCorruptLayoutMessage);
        m_ListLayout.Assign(CListLayout::MakeFreshLayout());
        return;
    }
    m_ListLayout.Assign(stored);
}

void CCorvidDoc::WriteSettings() {
    m_store.WriteProfileString(kVersionSection, kVersionKey, kLayoutVersion);
    auto writeInt = [this](const SIntKey& key) {
        const int value = key.docField != nullptr ? this->*key.docField : m_Filter.*key.filterField;
        m_store.WriteProfileInt(kFilterSection, key.key, value);
    };
    for (const SIntKey& key : kFlagKeys)
        writeInt(key);
    m_store.WriteProfileString(kFilterSection, "ExportName", m_ExportName);
    m_store.WriteProfileString(kFilterSection, "ExportFileName", m_ExportFileName);
    for (const SIntKey& key : kConditionChoiceKeys)
        writeInt(key);
    for (const SIntKey& key : kConditionValueKeys)
        writeInt(key);
    m_store.WriteProfileString(kFilterSection, "FiltTextExclV", m_Filter.m_FiltTextExclV);
    m_store.WriteProfileString(kFilterSection, "FiltTextInclV", m_Filter.m_FiltTextInclV);
    m_store.WriteProfileInt(kFilterSection, kExplainAllKey, m_ExplainAll);
    if (!m_UserList.IsEmpty()) {
        m_store.WriteProfileString(kFilterSection, kUserListKey, BuildUserListString(m_UserList));
    }
}

void CCorvidDoc::ApplySavedUserSelection() {
    for (CUserEntry& user : m_UserList)
        user.SetSelected(1);
    const std::string stored = m_store.GetProfileString(kFilterSection, kUserListKey, "");
    if (stored.empty()) return;
    const std::vector<std::int32_t> ids = ParseUserListString(stored);
    if (ids.empty()) return;
    if (IsConnected() && m_WarnIfNotAllUser != 0 &&
        m_UserList.GetSize() != static_cast<CUserArray::Index>(ids.size())) {
        m_prompter.Message(kIncompleteSelectionMessage);
    }
    for (CUserEntry& user : m_UserList) {
        const bool listed = std::find(ids.begin(), ids.end(), user.GetUserId()) != ids.end();
        user.SetSelected(listed ? 1 : 0);
    }
}

void CCorvidDoc::RefreshSettings() {
    ForgetPreviousLoad();
    ReadSettings();
    LoadUsers();
    ApplySavedUserSelection();
}

// --- Users ---

bool CCorvidDoc::LoadUsers() {
    m_UserList.RemoveAll();
    if (!IsConnected()) return false;

    COracleCursor countCursor(*m_connection);
    COracleCursor userCursor(*m_connection);
    countCursor.Parse("/* $CORVID$ */ SELECT COUNT(1) FROM sys.all_users");
    userCursor.Parse("/* $CORVID$ */ SELECT user_id, username FROM sys.all_users ORDER BY user_id");
    std::int32_t count = 0;
    short countIndicator = 0;
    countCursor.Define(1, &count, sizeof count, oci::SQLT_INT, &countIndicator);
    countCursor.ExecuteAndFetch(1);
    if (count <= 0 || countIndicator == -1) return true;

    std::vector<std::int32_t> ids;
    std::vector<char> names;
    std::vector<short> idIndicators, nameIndicators;
    try {
        ids.assign(count, 0);
        names.assign(static_cast<std::size_t>(count) * kUserNameSize, '\0');
        idIndicators.assign(count, 0);
        nameIndicators.assign(count, 0);
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
    userCursor.Define(1, ids.data(), sizeof(std::int32_t), oci::SQLT_INT, idIndicators.data());
    userCursor.Define(2, names.data(), kUserNameSize, oci::SQLT_STR, nameIndicators.data());
    // Execute, then fetch up to n rows: a user created since the count only
    // stays out of this list, where an exact execute-and-fetch of n rows would
    // fail on the older client interface.
    int rows = 0;
    userCursor.Execute(0);
    userCursor.Fetch(count, &rows);
    m_UserList.Reserve(rows);
    for (int r = 0; r < rows; ++r) {
        const char* name = names.data() + static_cast<std::size_t>(r) * kUserNameSize;
        m_UserList.Add(
            CUserEntry(idIndicators[r] == -1 ? 0 : ids[r],
                       nameIndicators[r] == -1 ? std::string() : std::string(name, strnlen(name, kUserNameSize)), 1));
    }
    return true;
}

CUserArray& CCorvidDoc::GetUserList() {
    if (m_UserList.IsEmpty()) LoadUsers();
    return m_UserList;
}

// --- Loading ---

const CObjectArray& CCorvidDoc::GetObjectList(bool reload) {
    if (reload) Reload();
    return m_ObjectList;
}

bool CCorvidDoc::Reload() {
    if (!IsConnected()) return false;
    bool completed = true;
    if (m_runner == nullptr) {
        LoadJob(nullptr);
    } else {
        completed = m_runner->Run([this](IProgress& progress) { LoadJob(&progress); }, "Processing",
                                  kProgressCanCancel | kProgressConfirmCancel, "Press Ok to cancel the operation");
    }
    if (!completed) m_prompter.Message(kPartialViewMessage);
    return completed;
}

bool CCorvidDoc::Refresh(IProgressRunner& runner, std::string& error) {
    error.clear();
    if (!IsConnected()) {
        error = "not connected";
        return false;
    }
    struct SRecoverableScope {
        COracleConnection& connection;
        ~SRecoverableScope() { connection.SetErrorsRecoverable(false); }
    } scope{*m_connection};
    m_connection->SetErrorsRecoverable(true);
    const bool completed = runner.Run(
        [this, &error](IProgress& progress) {
            try {
                LoadJob(&progress);
            } catch (const COracleFailure& failure) {
                error = failure.what();
            }
        },
        "Processing", kProgressCanCancel, "");
    return completed && error.empty();
}

void CCorvidDoc::LoadJob(IProgress* progress) {
    if (!IsConnected()) return;
    // The progress is the job's only while it runs.
    struct SProgressScope {
        IProgress*& current;
        ~SProgressScope() { current = nullptr; }
    } scope{m_progress};
    m_progress = progress;
    m_ProgressCount = 0;
    m_ProgressTotal = 0;
    // The current collection becomes the previous load only when it was complete.
    if (m_LoadComplete) {
        m_PreviousList = std::move(m_ObjectList);
        m_ObjectList.RemoveAll();
        m_PreviousServerTime = m_ServerTime;
        m_PreviousFilter = m_LoadFilter;
        m_HasPrevious = true;
    }
    m_LoadComplete = false;
    m_IntervalSummary = SIntervalSummary();
    m_ServerTime.clear();
    // The server's features decide the load's columns and which conditions it may
    // send, from the count on.
    m_ServerFeatures = m_connection->GetServerFeatures();
    if (!m_ServerFeatures.sqlAreaFigures && m_Filter.HasServerFigureCondition()) {
        if (CTraceContext* trace = TraceAt(1)) {
            trace->WriteLine("The server reports no elapsed time: the condition on elapsed time per execution is "
                             "ignored.");
        }
    }
    m_LoadFilter = FilterSignature();
    // The previous load's statements by their key, for the figures, texts and plans
    // that need not be read again; released however the load ends.
    IndexPreviousLoad();
    struct SIndexScope {
        CCorvidDoc& doc;
        ~SIndexScope() {
            if (!doc.m_LoadComplete) doc.ReturnTakenStatements();
            doc.m_PreviousIndex.Clear();
            doc.m_KeptAnalysis = {};
            doc.m_TakenFrom = {};
        }
    } indexScope{*this};
    const bool changesOnly = CanLoadChangesOnly();
    if (!changesOnly) {
        const std::int64_t total = 3LL * CountStatements();
        m_ProgressTotal = static_cast<std::int32_t>(std::min<std::int64_t>(total, INT32_MAX));
    }
    LoadStatements(changesOnly);
    LoadSqlText();
    if (m_Analyze) AnalyzeStatements();
    if (m_progress != nullptr && m_progress->IsCancelled()) return;
    m_LoadComplete = true;
    if (m_HasPrevious && m_PreviousFilter == m_LoadFilter) {
        // The index of the previous load was built over its keys, which a load leaves.
        m_IntervalSummary = ComputeIntervalFigures(m_PreviousList, m_PreviousServerTime, m_ObjectList, m_ServerTime,
                                                   m_PreviousIndex.IsEmpty() ? nullptr : &m_PreviousIndex);
    }
}

bool CCorvidDoc::CanLoadChangesOnly() const {
    // The server must say when each statement last ran, and the previous load
    // must have listed the same statements by the same filter. The option to
    // explain every statement again asks for a load that takes nothing from the
    // previous one.
    std::int64_t since = 0;
    return m_ReadChangesOnly != 0 && m_ExplainAll == 0 && m_HasPrevious && m_PreviousFilter == m_LoadFilter &&
           m_ServerFeatures.sqlAreaFigures && ParseServerTime(m_PreviousServerTime, since);
}

bool CCorvidDoc::AnalysisKeptFor(const CObjectEntry& before) const {
    if (m_Analyze == 0 || m_ExplainAll != 0) return false;
    // The cursor cache's plan of an unchanged statement is the one read before; an
    // explained plan is kept while plans come by explain.
    if (m_CursorCachePlans != 0 && m_ServerFeatures.sqlPlan) return before.m_PlanSource == kPlanFromCursorCache;
    return before.m_PlanSource == kPlanFromExplain && before.m_Explained;
}

void CCorvidDoc::ReturnTakenStatements() {
    const std::size_t count = std::min(m_TakenFrom.size(), static_cast<std::size_t>(m_ObjectList.GetSize()));
    for (std::size_t i = 0; i < count; ++i) {
        const CObjectArray::Index from = m_TakenFrom[i];
        if (from != CStatementIndex::kNone && from < m_PreviousList.GetSize())
            m_PreviousList[from] = m_ObjectList[static_cast<CObjectArray::Index>(i)];
    }
    m_TakenFrom.clear();
}

void CCorvidDoc::ForgetPreviousLoad() {
    m_PreviousList.RemoveAll();
    m_HasPrevious = false;
    m_PreviousServerTime.clear();
    m_PreviousFilter.clear();
    m_LoadComplete = false;
    m_IntervalSummary = SIntervalSummary();
    for (CObjectEntry& entry : m_ObjectList)
        entry.SetInterval(SIntervalFigures());
}

std::string CCorvidDoc::FilterSignature() const {
    // The filter's fragments, and every value bound into them.
    const CStatementFilter& f = m_Filter;
    std::string signature = AppendFilterFragments(std::string(), m_UserList, f, m_ServerFeatures.sqlAreaFigures);
    for (std::int32_t value : {f.m_FiltLoadTimeV, f.m_FiltBufDskV, f.m_FiltBufGetV, f.m_FiltDskRdsV, f.m_FiltSortsV,
                               f.m_FiltRowsV, f.m_FiltExecsV, f.m_FiltElapsedV}) {
        signature += '|';
        signature += std::to_string(value);
    }
    signature += '|' + f.m_FiltTextInclV + '|' + f.m_FiltTextExclV;
    return signature;
}

int CCorvidDoc::CurrentPercent() const {
    if (m_ProgressTotal <= 0) return 0;
    return static_cast<int>(static_cast<std::int64_t>(m_ProgressCount) * 100 / m_ProgressTotal);
}

bool CCorvidDoc::ProgressStep(const std::string& text) {
    if (m_progress == nullptr) return true;
    if (m_progress->IsCancelled()) return false;
    ++m_ProgressCount;
    m_progress->SetProgress(CurrentPercent(), text);
    return true;
}

bool CCorvidDoc::ProgressNote(const std::string& text) {
    if (m_progress == nullptr) return true;
    m_progress->SetProgress(CurrentPercent(), text);
    return !m_progress->IsCancelled();
}

const CStatementFamilies& CCorvidDoc::GetFamilies() {
    if (!m_familiesCurrent) {
        m_Families.Build(m_ObjectList);
        m_familiesCurrent = true;
    }
    return m_Families;
}

const std::vector<CObjectArray::Index>* CCorvidDoc::GetFilteredPositions() {
    if (m_FamilyFilter < 0) return nullptr;
    const CStatementFamilies& families = GetFamilies();
    if (m_FamilyFilter >= families.GetCount()) {
        m_FamilyFilter = -1;
        return nullptr;
    }
    return &families.GetFamilies()[static_cast<std::size_t>(m_FamilyFilter)].m_Members;
}

}  // namespace corvid
