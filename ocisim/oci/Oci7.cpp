// The release 7 entry points: logon and cursor data areas in the caller's memory.
// The library keeps its own state for each area and finds it through the area's
// reserved pointer field; it writes nothing beyond the area's first 56 bytes, so
// both the 64- and the 88-byte layouts are safe.

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "ocisim/oci/BindBuffers.h"
#include "ocisim/oci/ClientErrors.h"
#include "ocisim/oci/Export.h"
#include "ocisim/oci/ExternalValue.h"
#include "ocisim/oci/LibraryState.h"
#include "ocisim/oci/ResultCursor.h"
#include "ocisim/oci/StatementText.h"
#include "ocisim/oci/ocisim_oci.h"

using namespace ocisim;
using namespace ocisim::oci;

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr ub4 kLogonCheck = 0x4C444137;   // "LDA7"
constexpr ub4 kCursorCheck = 0x43444137;  // "CDA7"
constexpr ub1 kAreaMarker = 0xA7;

// OCI function codes of the calls (cda->fc).
constexpr ub1 kFcExec = 4;
constexpr ub1 kFcDefine = 8;
constexpr ub1 kFcFetch = 12;
constexpr ub1 kFcOpen = 14;
constexpr ub1 kFcClose = 16;
constexpr ub1 kFcBind = 28;
constexpr ub1 kFcBindNumber = 30;
constexpr ub1 kFcOptions = 34;
constexpr ub1 kFcCancel = 52;
constexpr ub1 kFcParse = 54;
constexpr ub1 kFcExecFetch = 56;
constexpr ub1 kFcLongFetch = 58;
constexpr ub1 kFcDescribe = 60;
constexpr ub1 kFcBindArray = 62;

// Oracle's errors of the calls below that the other calls never raise.
constexpr int kNotLongColumn = 1018;
constexpr int kArraysOnlyForPlSql = 1484;
constexpr int kUnimplemented = 3001;

// Warning flags (cda->wrn).
constexpr ub1 kWarning = 0x01;
constexpr ub1 kWarnTruncated = 0x02;
constexpr ub1 kWarnCompilation = 0x20;

struct CursorArea;

struct LogonArea {
    ub4 check = kLogonCheck;
    std::shared_ptr<SessionLink> link;
    std::vector<CursorArea*> cursors;
    bool autoCommit = false;  // ocon: every statement but a query commits when it succeeds
};

struct CursorArea {
    ub4 check = kCursorCheck;
    LogonArea* logon = nullptr;
    std::string sql;
    bool parsed = false;
    bool executedAtParse = false;
    bool executed = false;
    bool isQuery = false;
    std::vector<std::string> placeholders;
    std::map<unsigned, DefineSpec> defines;
    CBindBuffers binds;
    CResultCursor result;
};

CLibraryState& Lib() { return CLibraryState::Get(); }

template <typename T>
T* StateOf(const cda_def* area, ub4 check) {
    if (!area || !Lib().IsLive(area->rcsp)) return nullptr;
    auto* state = static_cast<T*>(area->rcsp);
    return state->check == check ? state : nullptr;
}

// Clears the fields a call reports through.
void Begin(cda_def* area, ub1 functionCode) {
    area->v2_rc = 0;
    area->rc = 0;
    area->wrn = 0;
    area->peo = 0;
    if (functionCode != 0) area->fc = functionCode;
}

sword Report(cda_def* area, const OraError& error) {
    Lib().Remember(error);
    const int code = error.code < 0 ? -error.code : error.code;
    area->rc = static_cast<ub2>(code);
    area->v2_rc = code == kNoDataFound ? 4 : static_cast<sb2>(code > 32767 ? -32767 : -code);
    return area->v2_rc;
}

sword Report(cda_def* area, int code) { return Report(area, MakeClientError(code)); }

std::string TextOf(const OraText* text, sword length) {
    if (!text) return {};
    const char* chars = reinterpret_cast<const char*>(text);
    return length < 0 ? std::string(chars) : std::string(chars, static_cast<std::size_t>(length));
}

void DeleteCursor(CursorArea* cursor) {
    Lib().Unregister(cursor);
    cursor->check = 0;
    delete cursor;
}

// A logon the program never ended when the library goes: the session is dropped
// as a lost connection is, without the commit of a log-off.
void DropLogonAtUnload(void* object) {
    auto* logon = static_cast<LogonArea*>(object);
    for (CursorArea* cursor : logon->cursors) DeleteCursor(cursor);
    if (logon->link) logon->link->alive = false;
    Lib().Unregister(logon);
    logon->check = 0;
    delete logon;
}

std::vector<const DefineSpec*> DefinesOf(const CursorArea& cursor) {
    std::vector<const DefineSpec*> defines;
    for (const auto& [position, define] : cursor.defines) defines.push_back(&define);
    return defines;
}

bool SessionAlive(const CursorArea& cursor) {
    return cursor.logon && cursor.logon->link && cursor.logon->link->alive;
}

// Describes a parsed query that has not run yet.
sword DescribeQuery(cda_def* area, CursorArea& cursor) {
    std::vector<Bind> binds;
    ExecResult result = cursor.logon->link->session->Execute(cursor.sql, binds, true);
    if (result.error.IsError()) return Report(area, result.error);
    cursor.result.Describe(std::move(result.columns));
    return 0;
}

// Runs the parsed statement once, with element `iteration` of array binds.
sword Run(cda_def* area, CursorArea& cursor, unsigned iteration = 0) {
    if (!cursor.parsed) return Report(area, kNoStatementParsed);
    if (!SessionAlive(cursor)) return Report(area, kNotLoggedOn);
    if (cursor.executedAtParse) {
        // Data definition already ran at its parse.
        cursor.executedAtParse = false;
        return 0;
    }
    cursor.result.Reset();
    cursor.executed = false;
    area->rpc = 0;
    std::vector<Bind> binds;
    OraError error;
    if (!cursor.binds.Read(iteration, binds, error)) return Report(area, error);
    ExecResult result = cursor.logon->link->session->Execute(cursor.sql, binds, false);
    if (result.error.IsError()) return Report(area, result.error);
    // Release 7 binds are IN OUT for PL/SQL.
    if (!cursor.binds.Write(iteration, binds, error)) return Report(area, error);
    cursor.isQuery = result.rows != nullptr;
    if (cursor.isQuery) {
        cursor.result.Open(std::move(result.columns), std::move(result.rows), cursor.logon->link);
    } else {
        area->rpc = static_cast<ub4>(result.rowsProcessed);
    }
    cursor.executed = true;
    if (result.warning.IsError()) {
        Lib().Remember(result.warning);
        area->wrn |= kWarning | kWarnCompilation;
    }
    if (cursor.logon->autoCommit && !cursor.isQuery) {
        const OraError committed = cursor.logon->link->session->Commit();
        if (committed.IsError()) return Report(area, committed);
    }
    return 0;
}

// Binds a placeholder of the parsed statement; `name` as FindPlaceholders spells it.
sword BindVariable(cda_def* area, CursorArea& cursor, const std::string& name, ub1* progv, sword progvl,
                   sword ftype, sb2* indp, ub2* alen = nullptr, ub2* arcode = nullptr) {
    if (!cursor.parsed) return Report(area, kNoStatementParsed);
    if (name.empty() ||
        std::find(cursor.placeholders.begin(), cursor.placeholders.end(), name) == cursor.placeholders.end()) {
        return Report(area, kIllegalVariable);
    }
    if (ftype < 0 || ftype > 0xFFFF || !IsSupportedType(static_cast<ub2>(ftype))) {
        return Report(area, kUnsupportedDatatype);
    }
    BindSpec spec;
    spec.name = name;
    spec.value = progv;
    spec.size = progvl;
    spec.dty = static_cast<ub2>(ftype);
    spec.indicator = indp;
    spec.length = alen;
    spec.returnCode = arcode;
    cursor.binds.Set(spec);
    return 0;
}

sword FetchInto(cda_def* area, CursorArea& cursor, unsigned rows) {
    if (!cursor.executed || !cursor.isQuery || cursor.result.IsCancelled() || cursor.result.EndReported()) {
        return Report(area, kFetchOutOfSequence);
    }
    if (!SessionAlive(cursor)) return Report(area, kNotLoggedOn);
    for (const auto& [position, define] : cursor.defines) {
        if (position > cursor.result.Columns().size()) return Report(area, kVariableNotInSelectList);
    }
    const FetchOutcome outcome = cursor.result.Fetch(DefinesOf(cursor), rows < 1 ? 1 : rows);
    area->rpc = static_cast<ub4>(cursor.result.Total());
    if (outcome.error.IsError()) return Report(area, outcome.error);
    if (outcome.nullWithoutIndicator) return Report(area, kNullFetched);
    if (outcome.truncated) {
        if (outcome.truncatedWithoutCode) return Report(area, kTruncated);
        area->wrn |= kWarning | kWarnTruncated;
    }
    if (outcome.endOfData) {
        cursor.result.MarkEndReported();
        return Report(area, kNoDataFound);
    }
    return 0;
}

}  // namespace

OCISIM_EXPORT sword opinit(ub4 /*mode*/) {
    Guard guard(Lib().Lock());
    return 0;
}

OCISIM_EXPORT sword oerhms(cda_def* /*lda*/, sb2 rcode, OraText* buf, sword bufsiz) {
    Guard guard(Lib().Lock());
    if (!buf || bufsiz <= 0) return 0;
    const std::string text = Lib().MessageFor(rcode) + "\n";
    const std::size_t count = std::min<std::size_t>(text.size(), static_cast<std::size_t>(bufsiz) - 1);
    std::memcpy(buf, text.data(), count);
    buf[count] = '\0';
    return static_cast<sword>(count);
}

OCISIM_EXPORT sword olog(cda_def* lda, ub1* /*hda*/, OraText* uid, sword uidl, OraText* pswd, sword pswdl,
                         OraText* conn, sword connl, ub4 /*mode*/) {
    Guard guard(Lib().Lock());
    if (!lda) return -1;
    // A new logon: whatever the area held before is not looked at.
    std::memset(lda, 0, sizeof(cda_head));

    std::string user = TextOf(uid, uidl);
    std::string password = TextOf(pswd, pswdl);
    std::string alias = TextOf(conn, connl);
    // "user/password@alias" in the user name alone.
    if (password.empty()) {
        const std::size_t slash = user.find('/');
        if (slash != std::string::npos) {
            password = user.substr(slash + 1);
            user.erase(slash);
        }
    }
    for (std::string* part : {&user, &password}) {
        const std::size_t at = part->find('@');
        if (at != std::string::npos) {
            if (alias.empty()) alias = part->substr(at + 1);
            part->erase(at);
        }
    }

    std::shared_ptr<Server> server = TheServer();
    OraError error = server->Attach(alias);
    if (error.IsError()) return Report(lda, error);
    std::unique_ptr<Session> session = server->Logon(alias, user, password, LogonMode::Normal, error);
    if (error.IsError() || !session) return Report(lda, error.IsError() ? error : MakeClientError(1017));

    auto* logon = new LogonArea;
    logon->link = std::make_shared<SessionLink>();
    logon->link->session = std::shared_ptr<Session>(std::move(session));
    Lib().FreeAtUnload(logon, &DropLogonAtUnload);
    lda->rcsp = logon;
    lda->chk = kAreaMarker;
    return 0;
}

OCISIM_EXPORT sword ologof(cda_def* lda) {
    Guard guard(Lib().Lock());
    if (!lda) return -1;
    LogonArea* logon = StateOf<LogonArea>(lda, kLogonCheck);
    Begin(lda, 0);
    if (!logon) return Report(lda, kNotLoggedOn);
    // The cursors of the logon go with it; their areas are invalid from now on.
    for (CursorArea* cursor : logon->cursors) DeleteCursor(cursor);
    logon->cursors.clear();
    if (logon->link->alive) logon->link->session->Commit();
    logon->link->alive = false;
    logon->link.reset();
    Lib().Unregister(logon);
    logon->check = 0;
    delete logon;
    lda->rcsp = nullptr;
    lda->chk = 0;
    return 0;
}

OCISIM_EXPORT sword ocom(cda_def* lda) {
    Guard guard(Lib().Lock());
    if (!lda) return -1;
    LogonArea* logon = StateOf<LogonArea>(lda, kLogonCheck);
    Begin(lda, 0);
    if (!logon) return Report(lda, kNotLoggedOn);
    const OraError error = logon->link->session->Commit();
    return error.IsError() ? Report(lda, error) : 0;
}

namespace {

// The logon of a logon data area, for the transaction calls.
LogonArea* LogonOf(cda_def* lda) {
    LogonArea* logon = StateOf<LogonArea>(lda, kLogonCheck);
    Begin(lda, 0);
    return logon && logon->link && logon->link->alive ? logon : nullptr;
}

}  // namespace

OCISIM_EXPORT sword orol(cda_def* lda) {
    Guard guard(Lib().Lock());
    if (!lda) return -1;
    LogonArea* logon = LogonOf(lda);
    if (!logon) return Report(lda, kNotLoggedOn);
    const OraError error = logon->link->session->Rollback();
    return error.IsError() ? Report(lda, error) : 0;
}

OCISIM_EXPORT sword ocon(cda_def* lda) {
    Guard guard(Lib().Lock());
    if (!lda) return -1;
    LogonArea* logon = LogonOf(lda);
    if (!logon) return Report(lda, kNotLoggedOn);
    logon->autoCommit = true;
    return 0;
}

OCISIM_EXPORT sword ocof(cda_def* lda) {
    Guard guard(Lib().Lock());
    if (!lda) return -1;
    LogonArea* logon = LogonOf(lda);
    if (!logon) return Report(lda, kNotLoggedOn);
    logon->autoCommit = false;
    return 0;
}

OCISIM_EXPORT sword oopen(cda_def* cursor, cda_def* lda, OraText* /*dbn*/, sword /*dbnl*/, sword /*arsize*/,
                          OraText* /*uid*/, sword /*uidl*/) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    LogonArea* logon = StateOf<LogonArea>(lda, kLogonCheck);
    CursorArea* previous = StateOf<CursorArea>(cursor, kCursorCheck);
    if (!previous) std::memset(cursor, 0, sizeof(cda_head));
    Begin(cursor, kFcOpen);
    if (!logon) return Report(cursor, kNotLoggedOn);
    if (previous) {
        // Reopening an open cursor starts it afresh.
        auto& list = previous->logon->cursors;
        list.erase(std::remove(list.begin(), list.end(), previous), list.end());
        DeleteCursor(previous);
    }
    auto* state = new CursorArea;
    state->logon = logon;
    logon->cursors.push_back(state);
    Lib().Register(state);
    cursor->rcsp = state;
    cursor->chk = kAreaMarker;
    cursor->rpc = 0;
    cursor->ft = 0;
    return 0;
}

OCISIM_EXPORT sword oclose(cda_def* cursor) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcClose);
    if (!state) return Report(cursor, kInvalidCursor);
    auto& list = state->logon->cursors;
    list.erase(std::remove(list.begin(), list.end(), state), list.end());
    DeleteCursor(state);
    cursor->rcsp = nullptr;
    cursor->chk = 0;
    return 0;
}

OCISIM_EXPORT sword oparse(cda_def* cursor, OraText* sqlstm, sb4 sqllen, sword defflg, ub4 /*lngflg*/) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcParse);
    if (!state) return Report(cursor, kInvalidCursor);
    if (!sqlstm) return Report(cursor, 900);
    state->sql = TextOf(sqlstm, sqllen);
    state->parsed = true;
    state->executed = false;
    state->executedAtParse = false;
    state->isQuery = false;
    state->defines.clear();
    state->binds.Clear();
    state->result.Reset();
    state->placeholders = FindPlaceholders(state->sql);
    cursor->ft = static_cast<ub2>(SqlFunctionCode(state->sql));
    cursor->rpc = 0;
    if (defflg != 0) return 0;

    // A parse that is not deferred reaches the server now: a query is described,
    // data definition runs, anything else is parsed (its errors come back here).
    if (!SessionAlive(*state)) return Report(cursor, kNotLoggedOn);
    if (cursor->ft == 4) return DescribeQuery(cursor, *state);
    if (IsDataDefinition(state->sql)) {
        const sword status = Run(cursor, *state);
        if (status == 0) state->executedAtParse = true;
        return status;
    }
    std::vector<Bind> binds;
    const ExecResult parsed = state->logon->link->session->Execute(state->sql, binds, true);
    return parsed.error.IsError() ? Report(cursor, parsed.error) : 0;
}

OCISIM_EXPORT sword odefin(cda_def* cursor, sword pos, ub1* buf, sword bufl, sword ftype, sword /*scale*/,
                           sb2* indp, OraText* /*fmt*/, sword /*fmtl*/, sword /*fmtt*/, ub2* rlen, ub2* rcode) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcDefine);
    if (!state) return Report(cursor, kInvalidCursor);
    if (!state->parsed) return Report(cursor, kNoStatementParsed);
    if (pos < 1) return Report(cursor, kVariableNotInSelectList);
    if (ftype < 0 || ftype > 0xFFFF || !IsSupportedType(static_cast<ub2>(ftype))) {
        return Report(cursor, kUnsupportedDatatype);
    }
    DefineSpec spec;
    spec.position = static_cast<unsigned>(pos);
    spec.value = buf;
    spec.size = bufl < 0 ? 0 : bufl;
    spec.dty = static_cast<ub2>(ftype);
    spec.indicator = indp;
    spec.length = rlen;
    spec.returnCode = rcode;
    state->defines[spec.position] = spec;
    return 0;
}

OCISIM_EXPORT sword obndrv(cda_def* cursor, OraText* sqlvar, sword sqlvl, ub1* progv, sword progvl, sword ftype,
                           sword /*scale*/, sb2* indp, OraText* /*fmt*/, sword /*fmtl*/, sword /*fmtt*/) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcBind);
    if (!state) return Report(cursor, kInvalidCursor);
    return BindVariable(cursor, *state, NormalizePlaceholder(TextOf(sqlvar, sqlvl)), progv, progvl, ftype, indp);
}

OCISIM_EXPORT sword obndrn(cda_def* cursor, sword sqlvn, ub1* progv, sword progvl, sword ftype, sword /*scale*/,
                           sb2* indp, OraText* /*fmt*/, sword /*fmtl*/, sword /*fmtt*/) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcBindNumber);
    if (!state) return Report(cursor, kInvalidCursor);
    // The number names a numbered placeholder: 2 binds ":2", wherever it stands.
    const std::string name = sqlvn >= 0 ? std::to_string(sqlvn) : std::string();
    return BindVariable(cursor, *state, name, progv, progvl, ftype, indp);
}

OCISIM_EXPORT sword obndra(cda_def* cursor, OraText* sqlvar, sword sqlvl, ub1* progv, sword progvl, sword ftype,
                           sword /*scale*/, sb2* indp, ub2* alen, ub2* arcode, ub4 maxsiz, ub4* cursiz,
                           OraText* /*fmt*/, sword /*fmtl*/, sword /*fmtt*/) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcBindArray);
    if (!state) return Report(cursor, kInvalidCursor);
    if (!state->parsed) return Report(cursor, kNoStatementParsed);
    if (maxsiz > 0 && cursiz) {
        // A PL/SQL table: the server's PL/SQL has no index-by tables to receive it.
        return Report(cursor, cursor->ft == kPlSqlFunctionCode ? kUnsupportedDatatype : kArraysOnlyForPlSql);
    }
    return BindVariable(cursor, *state, NormalizePlaceholder(TextOf(sqlvar, sqlvl)), progv, progvl, ftype, indp, alen,
                        arcode);
}

OCISIM_EXPORT sword oexec(cda_def* cursor) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcExec);
    if (!state) return Report(cursor, kInvalidCursor);
    return Run(cursor, *state);
}

OCISIM_EXPORT sword oexn(cda_def* cursor, sword iters, sword rowoff) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcExec);
    if (!state) return Report(cursor, kInvalidCursor);
    if (iters < 1 || rowoff < 0 || rowoff >= iters) return Report(cursor, kZeroIterations);
    // Each element from rowoff on runs once; rpc counts the rows of them all, up to
    // the element that failed.
    ub4 processed = 0;
    for (sword iteration = rowoff; iteration < iters; ++iteration) {
        const sword status = Run(cursor, *state, static_cast<unsigned>(iteration));
        if (state->isQuery) return status;
        processed += cursor->rpc;
        cursor->rpc = processed;
        if (status != 0) return status;
    }
    return 0;
}

OCISIM_EXPORT sword ofetch(cda_def* cursor) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcFetch);
    if (!state) return Report(cursor, kInvalidCursor);
    return FetchInto(cursor, *state, 1);
}

OCISIM_EXPORT sword ocan(cda_def* cursor) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcCancel);
    if (!state) return Report(cursor, kInvalidCursor);
    // The open rows go; the statement stays parsed and its binds and defines stay.
    if (state->isQuery) state->result.Cancel();
    return 0;
}

OCISIM_EXPORT sword oopt(cda_def* cursor, sword rbopt, sword waitopt) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcOptions);
    if (!state) return Report(cursor, kInvalidCursor);
    // Rollback of the statement or of the transaction on an error, and waiting for
    // locks: the simulated server neither fails part-way nor holds locks, so both
    // choices behave alike. Anything but 0 and 1 (and 2 for rbopt) is no option.
    if (rbopt < 0 || rbopt > 2 || waitopt < 0 || waitopt > 1) return Report(cursor, kInvalidOperation);
    return 0;
}

OCISIM_EXPORT sword oflng(cda_def* cursor, sword pos, ub1* buf, sb4 bufl, sword dtype, ub4* retl, sb4 offset) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcLongFetch);
    if (!state) return Report(cursor, kInvalidCursor);
    if (!state->executed || !state->isQuery) return Report(cursor, kFetchOutOfSequence);
    const std::vector<ColumnDesc>& columns = state->result.Columns();
    if (pos < 1 || static_cast<std::size_t>(pos) > columns.size()) return Report(cursor, kVariableNotInSelectList);
    if (columns[static_cast<std::size_t>(pos) - 1].type != ColumnType::Long) return Report(cursor, kNotLongColumn);
    if (dtype != SQLT_LNG && dtype != SQLT_CHR && dtype != SQLT_LBI && dtype != SQLT_BIN) {
        return Report(cursor, kUnsupportedDatatype);
    }
    const std::vector<Value>* row = state->result.CurrentRow();
    if (!row) return Report(cursor, kFetchOutOfSequence);
    const Value& value = (*row)[static_cast<std::size_t>(pos) - 1];
    // The piece from `offset` on, as much as the buffer holds; nothing past the end.
    const std::string text = value.IsNull() ? std::string() : value.ToText();
    const std::size_t from = offset > 0 ? static_cast<std::size_t>(offset) : 0;
    const std::size_t available = from < text.size() ? text.size() - from : 0;
    const std::size_t count = std::min<std::size_t>(available, bufl > 0 ? static_cast<std::size_t>(bufl) : 0);
    if (buf && count > 0) std::memcpy(buf, text.data() + from, count);
    if (retl) *retl = static_cast<ub4>(count);
    return 0;
}

OCISIM_EXPORT sword odessp(cda_def* cursor, OraText* /*objnam*/, size_t /*onlen*/, ub1* /*rsv1*/, size_t /*rsv1ln*/,
                           ub1* /*rsv2*/, size_t /*rsv2ln*/, ub2* /*ovrld*/, ub2* /*pos*/, ub2* /*level*/,
                           OraText** /*argnam*/, ub2* /*arnlen*/, ub2* /*dtype*/, ub1* /*defsup*/, ub1* /*mode*/,
                           ub4* /*dtsiz*/, sb2* /*prec*/, sb2* /*scale*/, ub1* /*radix*/, ub4* /*spare*/,
                           ub4* arrsiz) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, 0);
    if (!state) return Report(cursor, kInvalidCursor);
    // Describing a stored procedure's arguments is not offered.
    if (arrsiz) *arrsiz = 0;
    return Report(cursor, kUnimplemented);
}

OCISIM_EXPORT sword ofen(cda_def* cursor, sword nrows) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcFetch);
    if (!state) return Report(cursor, kInvalidCursor);
    return FetchInto(cursor, *state, nrows < 1 ? 1u : static_cast<unsigned>(nrows));
}

OCISIM_EXPORT sword oexfet(cda_def* cursor, ub4 nrows, sword cancel, sword exact) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcExecFetch);
    if (!state) return Report(cursor, kInvalidCursor);
    sword status = Run(cursor, *state);
    if (status != 0 || !state->isQuery) return status;
    const unsigned rows = nrows < 1 ? 1u : static_cast<unsigned>(nrows);
    const ub1 warnings = cursor->wrn;
    status = FetchInto(cursor, *state, rows);
    cursor->wrn |= warnings;
    if (exact != 0 && status == 0) {
        // An exact fetch fails when more rows than requested exist; the rows are
        // delivered all the same.
        OraError error;
        const bool more = state->result.HasMoreRows(error);
        if (error.IsError()) status = Report(cursor, error);
        else if (more) status = Report(cursor, kExactFetchTooMany);
    }
    if (cancel != 0 || exact != 0) state->result.Cancel();
    return status;
}

OCISIM_EXPORT sword odescr(cda_def* cursor, sword pos, sb4* dbsize, sb2* dbtype, sb1* cbuf, sb4* cbufl, sb4* dsize,
                           sb2* prec, sb2* scale, sb2* nullok) {
    Guard guard(Lib().Lock());
    if (!cursor) return -1;
    CursorArea* state = StateOf<CursorArea>(cursor, kCursorCheck);
    Begin(cursor, kFcDescribe);
    if (!state) return Report(cursor, kInvalidCursor);
    if (!state->parsed) return Report(cursor, kNoStatementParsed);
    if (!state->result.IsDescribed()) {
        if (cursor->ft != 4) return Report(cursor, kVariableNotInSelectList);
        if (!SessionAlive(*state)) return Report(cursor, kNotLoggedOn);
        const sword status = DescribeQuery(cursor, *state);
        if (status != 0) return status;
    }
    const std::vector<ColumnDesc>& columns = state->result.Columns();
    if (pos < 1 || static_cast<std::size_t>(pos) > columns.size()) return Report(cursor, kVariableNotInSelectList);
    const ColumnDesc& column = columns[static_cast<std::size_t>(pos) - 1];
    if (dbsize) *dbsize = column.size;
    if (dbtype) *dbtype = static_cast<sb2>(column.type);
    if (cbufl) {
        // The name is not terminated; the length comes back in cbufl.
        const std::size_t room = *cbufl > 0 ? static_cast<std::size_t>(*cbufl) : 0;
        const std::size_t count = std::min(room, column.name.size());
        if (cbuf && count > 0) std::memcpy(cbuf, column.name.data(), count);
        *cbufl = static_cast<sb4>(count);
    }
    if (dsize) *dsize = DisplaySize(column);
    if (prec) *prec = static_cast<sb2>(column.precision);
    if (scale) *scale = static_cast<sb2>(column.scale);
    if (nullok) *nullok = column.nullable ? 1 : 0;
    return 0;
}
