// The load job's analysis: the plans of the cursor cache where the server has
// them, and the explain procedure for every other INSERT, SELECT, UPDATE and
// DELETE of the collection.

#include <cstdio>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "collection/CorvidDoc.h"
#include "collection/ExplainPlanCall.h"
#include "collection/SchemaExplain.h"
#include "diag/TraceContext.h"
#include "list/StatementColumn.h"
#include "oracle/OracleConnection.h"
#include "oracle/OracleCursor.h"

namespace corvid {

namespace {

constexpr const char* kTooLongMessage = "Statement too long to be analyzed";

constexpr int kTypeInteger = 3;
constexpr int kTypeFloat = 4;
constexpr int kTypeString = 5;
// Plan lines per fetch call: a statement has a few, so the rows come in larger batches than the load's.
constexpr int kFetchRows = 1000;
constexpr int kAddressSize = 17;
constexpr int kOperationSize = 121;
constexpr int kObjectNameSize = 129;

constexpr const char* kCursorPlanHead =
    "/* $CORVID$ */ SELECT p.address, p.child_number, p.depth, p.operation, p.options, p.object_name, p.id, "
    "p.position FROM   sys.v_$sql_plan p";
// The restriction to the statements of a filtered list.
constexpr const char* kCursorPlanListed =
    " WHERE  p.address IN (       SELECT  s.address        FROM    sys.v_$sqlarea s        WHERE   s.sql_text NOT "
    "LIKE '%/* $CORVID$ */%' ";

bool IsExplainable(std::int32_t commandType) {
    return commandType == 2 || commandType == 3 || commandType == 6 || commandType == 7;
}

std::string_view TextAt(const std::vector<char>& buffer, int size, int row, const std::vector<short>& indicators) {
    if (indicators[row] == -1) return std::string_view();
    const char* text = buffer.data() + static_cast<std::size_t>(row) * size;
    return std::string_view(text, strnlen(text, size));
}

// One line of a plan as the explain procedure writes it: four blanks per level,
// operation, options and object, and on the root line the cost.
void AppendPlanLine(std::string& plan, int depth, std::string_view operation, std::string_view options,
                    std::string_view objectName, int id, bool hasPosition, double position) {
    if (!plan.empty()) plan += "\r\n";
    plan.append(static_cast<std::size_t>(depth > 0 ? depth : 0) * 4, ' ');
    plan.append(operation);
    plan += ' ';
    plan.append(options);
    plan += ' ';
    plan.append(objectName);
    plan += ' ';
    if (id == 0) {
        plan += "Cost = ";
        if (hasPosition) {
            char number[32];
            std::snprintf(number, sizeof number, "%.0f", position);
            plan += number;
        }
    }
}

// The statements that wait for a plan from the cursor cache, in list order, found
// by address. The plan rows usually come in the list's order, with the statements
// that have no plan left out: a look a few places past the previous find settles
// most rows without hashing, and the index by address is built only for the
// first row that comes out of that order.
class CWaitingStatements {
public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    void Add(CObjectEntry& entry) { m_Entries.push_back(&entry); }
    std::size_t Size() const { return m_Entries.size(); }
    CObjectEntry* At(std::size_t place) const { return m_Entries[place]; }

    // The place of the statement with that address, or kNone.
    std::size_t Find(std::string_view address) {
        const std::size_t end = std::min(m_Next + kLookAhead, m_Entries.size());
        for (std::size_t place = m_Next; place < end; ++place) {
            if (m_Entries[place]->m_Address == address) return Found(place);
        }
        if (m_Index.empty() && !m_Entries.empty()) {
            m_Index.reserve(m_Entries.size());
            for (std::size_t place = 0; place < m_Entries.size(); ++place)
                m_Index.emplace(m_Entries[place]->m_Address.str(), place);
        }
        const auto found = m_Index.find(std::string(address));
        return found == m_Index.end() ? kNone : Found(found->second);
    }

private:
    static constexpr std::size_t kLookAhead = 16;

    std::size_t Found(std::size_t place) {
        m_Next = place + 1;
        return place;
    }

    std::vector<CObjectEntry*> m_Entries;
    std::unordered_map<std::string, std::size_t> m_Index;
    std::size_t m_Next = 0;
};

// Takes the analysis results of the same statement in the previous load.
void KeepPlan(const CObjectEntry& before, CObjectEntry& entry) {
    entry.SetSqlPlan(before.SqlPlan());
    entry.SetPlanCost(before.m_PlanCost);
    entry.SetNoOfFullTableScans(before.m_NoOfFullTableScans);
    entry.SetStatus(before.m_Status);
    entry.SetErrorMessage(before.ErrorMessage());
    entry.m_Explained = true;
}

}  // namespace

std::string CCorvidDoc::BuildCursorPlanStatement() const {
    const std::string filter = AppendFilterFragments(std::string(), m_UserList, m_Filter, m_ServerFeatures.sqlAreaFigures);
    // Without a filter the list holds every statement but the program's own, whose
    // few plan lines are skipped on arrival: the server is spared the join with
    // v$sqlarea and the scan of every statement's text.
    if (filter.empty()) return kCursorPlanHead;
    std::string statement = std::string(kCursorPlanHead) + kCursorPlanListed;
    AppendFragment(statement, filter);
    return statement + ")";
}

long CCorvidDoc::ReadCursorCachePlans() {
    ProgressNote("Reading plans from the cursor cache...");
    CWaitingStatements waiting;
    std::vector<std::string> waitingAddresses;
    long kept = 0;
    for (CObjectArray::Index place = 0; place < m_ObjectList.GetSize(); ++place) {
        CObjectEntry& entry = m_ObjectList[place];
        if (KeepsAnalysis(place)) {  // carried over from the previous load with its plan
            ++kept;
            continue;
        }
        if (entry.m_Status != kStatusAnalyzed || !IsExplainable(entry.m_CommandType) || entry.m_Address.empty())
            continue;
        // The cursor cache's plan of a statement unchanged since the previous load
        // (same key and text, and the same plan hash where the server tells it) is
        // the one read then.
        const CObjectEntry* before = m_ExplainAll != 0 ? nullptr : FindPrevious(entry);
        if (before != nullptr && before->m_PlanSource == kPlanFromCursorCache && before->m_SqlText == entry.m_SqlText &&
            (!entry.m_HasServerFigures || before->m_PlanHashValue == entry.m_PlanHashValue)) {
            entry.SetSqlPlan(before->SqlPlan());
            entry.SetPlanCost(before->m_PlanCost);
            entry.SetNoOfFullTableScans(before->m_NoOfFullTableScans);
            entry.m_PlanSource = kPlanFromCursorCache;
            ++kept;
            continue;
        }
        waiting.Add(entry);
        waitingAddresses.push_back(entry.m_Address);
    }
    if (CTraceContext* trace = TraceAt(1); trace != nullptr && kept > 0) {
        *trace << "Plans kept from the previous load = [" << std::to_string(kept) << "]\r\n";
    }
    if (waiting.Size() == 0) return kept;
    // After a short interval few statements are new: their plans are read by their
    // addresses instead of the whole cursor cache's.
    std::string listed;
    if (kept > 0 && waitingAddresses.size() <= kMaxListedStatements)
        listed = AddressListCondition("p.address", waitingAddresses);

    std::vector<char> addresses(kFetchRows * kAddressSize), operations(kFetchRows * kOperationSize),
        options(kFetchRows * kOperationSize), objects(kFetchRows * kObjectNameSize);
    std::vector<std::int32_t> children(kFetchRows), depths(kFetchRows), ids(kFetchRows);
    std::vector<double> positions(kFetchRows);
    std::vector<short> indicators[8];
    for (auto& column : indicators)
        column.assign(kFetchRows, 0);

    COracleCursor cursor(*m_connection);
    if (listed.empty()) {
        cursor.Parse(BuildCursorPlanStatement());
        m_Filter.BindConditions(cursor, m_ServerFeatures.sqlAreaFigures);
    } else {
        cursor.Parse(std::string(kCursorPlanHead) + " WHERE " + listed);
    }
    cursor.Define(1, addresses.data(), kAddressSize, kTypeString, indicators[0].data());
    cursor.Define(2, children.data(), sizeof(std::int32_t), kTypeInteger, indicators[1].data());
    cursor.Define(3, depths.data(), sizeof(std::int32_t), kTypeInteger, indicators[2].data());
    cursor.Define(4, operations.data(), kOperationSize, kTypeString, indicators[3].data());
    cursor.Define(5, options.data(), kOperationSize, kTypeString, indicators[4].data());
    cursor.Define(6, objects.data(), kObjectNameSize, kTypeString, indicators[5].data());
    cursor.Define(7, ids.data(), sizeof(std::int32_t), kTypeInteger, indicators[6].data());
    cursor.Define(8, positions.data(), sizeof(double), kTypeFloat, indicators[7].data());
    cursor.Execute(0);

    // The rows come in no particular order (sorting them is left to this side,
    // where it costs less than on the server): the lines of each statement are
    // gathered, and its lowest child's lines in the order of their ids make its plan.
    struct SPlanLine {
        std::int32_t child, id, depth;
        std::string operation, options, object;
        bool hasPosition;
        double position;
    };
    // The lines of each waiting statement, by its place in the list.
    std::vector<std::vector<SPlanLine>> lines(waiting.Size());
    // A statement's lines usually come one after the other: the statement of the
    // previous row is looked up again only when the address changes.
    std::string lastAddress;
    std::vector<SPlanLine>* current = nullptr;
    bool haveLast = false;
    int delivered = 0;
    do {
        delivered = 0;
        cursor.Fetch(kFetchRows, &delivered);
        if (!ProgressNote("Reading plans from the cursor cache...")) return 0;
        for (int r = 0; r < delivered; ++r) {
            const std::string_view address = TextAt(addresses, kAddressSize, r, indicators[0]);
            if (!haveLast || address != lastAddress) {
                const std::size_t place = waiting.Find(address);
                current = place == CWaitingStatements::kNone ? nullptr : &lines[place];
                lastAddress.assign(address);
                haveLast = true;
            }
            if (current == nullptr) continue;
            current->push_back(
                {indicators[1][r] == -1 ? 0 : children[r], indicators[6][r] == -1 ? -1 : ids[r],
                 indicators[2][r] == -1 ? 0 : depths[r], std::string(TextAt(operations, kOperationSize, r, indicators[3])),
                 std::string(TextAt(options, kOperationSize, r, indicators[4])),
                 std::string(TextAt(objects, kObjectNameSize, r, indicators[5])), indicators[7][r] != -1,
                 positions[r]});
        }
    } while (delivered == kFetchRows);

    long found = 0;
    for (std::size_t place = 0; place < lines.size(); ++place) {
        std::vector<SPlanLine>& entryLines = lines[place];
        if (entryLines.empty()) continue;
        CObjectEntry* entry = waiting.At(place);
        std::sort(entryLines.begin(), entryLines.end(), [](const SPlanLine& a, const SPlanLine& b) {
            return a.child != b.child ? a.child < b.child : a.id < b.id;
        });
        std::string plan;
        for (const SPlanLine& line : entryLines) {
            if (line.child != entryLines.front().child) break;  // a later child
            AppendPlanLine(plan, line.depth, line.operation, line.options, line.object, line.id, line.hasPosition,
                           line.position);
        }
        entry->SetSqlPlan(plan);
        entry->SetPlanCost(ParsePlanCost(plan));
        entry->SetNoOfFullTableScans(CountFullTableScans(plan));
        entry->m_PlanSource = kPlanFromCursorCache;
        ++found;
    }
    return found + kept;
}

void CCorvidDoc::AnalyzeStatements() {
    ProgressNote("Analyzing sql statements...");
    CTraceContext* trace = TraceAt(15);
    if (trace != nullptr) {
        trace->WriteLine("");
        trace->WriteLine("ANALYZING SQL STATEMENTS");
        trace->WriteLine("========================");
    }
    for (CObjectArray::Index i = 0; i < m_ObjectList.GetSize(); ++i) {
        if (!KeepsAnalysis(i)) m_ObjectList[i].m_PlanSource = kPlanFromExplain;
    }
    if (m_CursorCachePlans != 0 && m_ServerFeatures.sqlPlan) {
        const long found = ReadCursorCachePlans();
        if (CTraceContext* level1 = TraceAt(1)) {
            *level1 << "Plans from the cursor cache = [" << std::to_string(found) << "]\r\n";
        }
    }
    CExplainPlanCall call(*m_connection);
    m_lostSessionError.clear();
    // Outside a whole load the analysis indexes the previous load itself, and
    // releases the index however the run ends.
    const bool ownIndex = m_PreviousIndex.IsEmpty();
    if (ownIndex) IndexPreviousLoad();
    struct SIndexScope {
        CStatementIndex& index;
        bool own;
        ~SIndexScope() {
            if (own) index.Clear();
        }
    } indexScope{m_PreviousIndex, ownIndex};

    // Statements another schema parsed are explained in that schema.
    std::string connectedUser = m_connection->GetUser();
    for (char& c : connectedUser)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::int32_t connectedId = -1;
    std::unordered_map<std::int32_t, const std::string*> schemaNames;
    for (const CUserEntry& user : GetUserList()) {
        schemaNames.emplace(user.GetUserId(), &user.GetUserName());
        if (user.GetUserName() == connectedUser) connectedId = user.GetUserId();
    }
    const bool schemaExplains = connectedId != -1 && CSchemaExplain::IsPlainName(connectedUser);
    std::unique_ptr<CSchemaExplain> schemaExplain;

    long number = 0, explained = 0, kept = 0;
    for (CObjectArray::Index place = 0; place < m_ObjectList.GetSize(); ++place) {
        CObjectEntry& entry = m_ObjectList[place];
        ++number;
        if (m_progress != nullptr) {
            char text[64];
            std::snprintf(text, sizeof text, "Analyzing sql statement %ld...", number);
            if (!ProgressStep(text)) return;
        }
        if (KeepsAnalysis(place)) {
            // Carried over from the previous load with its plan, as it would be kept here.
            if (entry.m_PlanSource == kPlanFromCursorCache) continue;
            ++kept;
            if (trace != nullptr) {
                *trace << "Kept   = [" << entry.m_SqlText << "]\r\n";
                trace->WriteLine("");
            }
            continue;
        }
        if (entry.m_Status != kStatusAnalyzed) continue;
        if (!IsExplainable(entry.m_CommandType)) {
            entry.SetStatus(kStatusNotAnalyzed);
            continue;
        }
        if (entry.m_PlanSource == kPlanFromCursorCache) continue;
        if (const CObjectEntry* before = FindKeptPlan(entry)) {
            KeepPlan(*before, entry);
            ++kept;
            if (trace != nullptr) {
                *trace << "Kept   = [" << entry.m_SqlText << "]\r\n";
                trace->WriteLine("");
            }
            continue;
        }
        ++explained;
        const std::string* schema = nullptr;
        if (schemaExplains && entry.m_ParsingSchemaId != connectedId) {
            const auto found = schemaNames.find(entry.m_ParsingSchemaId);
            if (found != schemaNames.end() && CSchemaExplain::IsPlainName(*found->second)) schema = found->second;
        }
        if (schema != nullptr && !schemaExplain)
            schemaExplain = std::make_unique<CSchemaExplain>(*m_connection, connectedUser, call.GetStatementId());
        const std::string goal = OptimizerGoalFor(entry.m_OptimizerMode);
        const CExplainPlanCall::SResult result = schema != nullptr
                                                     ? schemaExplain->Explain(*schema, entry.m_SqlText, goal)
                                                     : call.Explain(entry.m_SqlText, goal);
        // The procedure sets the session's goal itself, and may leave plan rows behind when it fails.
        if (schema == nullptr && schemaExplain) schemaExplain->ForgetSessionState();
        if (result.tooLong) {
            entry.SetStatus(kStatusError);
            entry.SetErrorMessage(kTooLongMessage);
            entry.m_Explained = true;
            continue;
        }
        if (trace != nullptr) {
            *trace << "Cmd    = [" << entry.m_SqlText << "]\r\n";
            *trace << "Opt    = [" << entry.m_OptimizerMode << "]\r\n";
            *trace << "Plan   = [" << result.plan << "]\r\n";
            *trace << "Return = [" << (result.called ? 1 : 0) << "]\r\n";
            *trace << "Stat   = [" << result.errorCode << "]\r\n";
            *trace << "Error  = [" << result.error << "]\r\n";
            trace->WriteLine("");
        }
        if (!result.called && m_stopAtLostSession && IsSessionEndingError(result.errorCode)) {
            // Every further explain would fail the same way: the load ends here.
            m_lostSessionError = result.errorText;
            entry.SetStatus(kStatusError);
            entry.SetErrorMessage(result.errorText);
            return;
        }
        if (!result.called || !result.error.empty()) {
            entry.SetStatus(kStatusError);
            entry.SetErrorMessage(result.error);
            // A call that did not run at all says nothing about the statement: explain it again next time.
            entry.m_Explained = result.called;
            continue;
        }
        entry.SetSqlPlan(result.plan);
        entry.SetPlanCost(ParsePlanCost(result.plan));
        entry.SetNoOfFullTableScans(CountFullTableScans(result.plan));
        entry.m_Explained = true;
    }
    if (trace != nullptr) {
        *trace << "Explained = [" << explained << "]\r\n";
        *trace << "Kept      = [" << kept << "]\r\n";
    }
}

void CCorvidDoc::IndexPreviousLoad() {
    m_PreviousIndex.Clear();
    if (m_HasPrevious) m_PreviousIndex.Build(m_PreviousList);
}

const CObjectEntry* CCorvidDoc::FindPrevious(const CObjectEntry& entry) const {
    return m_PreviousIndex.FindEntry(entry);
}

const CObjectEntry* CCorvidDoc::FindKeptPlan(const CObjectEntry& entry) const {
    if (m_ExplainAll != 0) return nullptr;
    const CObjectEntry* found = FindPrevious(entry);
    if (found == nullptr) return nullptr;
    const CObjectEntry& before = *found;
    if (!before.m_Explained || before.m_SqlText != entry.m_SqlText ||
        OptimizerGoalFor(before.m_OptimizerMode) != OptimizerGoalFor(entry.m_OptimizerMode)) {
        return nullptr;
    }
    return &before;
}

}  // namespace corvid
