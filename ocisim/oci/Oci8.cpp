// The release 8 entry points: handles, attributes, logon, statements, fetch.

#include <algorithm>
#include <cstring>
#include <mutex>

#include "ocisim/oci/ClientErrors.h"
#include "ocisim/oci/Export.h"
#include "ocisim/oci/ExternalValue.h"
#include "ocisim/oci/LibraryState.h"
#include "ocisim/oci/OciHandles.h"
#include "ocisim/oci/StatementText.h"

using namespace ocisim;
using namespace ocisim::oci;

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

CLibraryState& Lib() { return CLibraryState::Get(); }

template <typename T>
T* As(const void* pointer, ub4 type) {
    if (!Lib().IsLive(pointer)) return nullptr;
    auto* base = static_cast<HandleBase*>(const_cast<void*>(pointer));
    if (base->check != kHandleCheck || base->type != type) return nullptr;
    return static_cast<T*>(base);
}

HandleBase* AnyHandle(const void* pointer) {
    if (!Lib().IsLive(pointer)) return nullptr;
    auto* base = static_cast<HandleBase*>(const_cast<void*>(pointer));
    return base->check == kHandleCheck ? base : nullptr;
}

void* Public(HandleBase* handle) { return handle; }

// An error handle keeps the record of the last call that reported through it;
// successful calls leave it as it was.
void SetRecord(ErrorRecord& record, const OraError& error) {
    record.error = error;
    record.present = true;
    Lib().Remember(error);
}

sword Fail(OCIError* err, const OraError& error) {
    if (err) SetRecord(err->record, error);
    return OCI_ERROR;
}

sword Fail(OCIError* err, int code) { return Fail(err, MakeClientError(code)); }

sword Info(OCIError* err, const OraError& warning) {
    if (err) SetRecord(err->record, warning);
    return OCI_SUCCESS_WITH_INFO;
}

template <typename T>
T* Adopt(OCIEnv* env, ub4 type, std::size_t extra, void** userMemory) {
    T* handle = new T;
    handle->type = type;
    handle->env = env;
    if (extra > 0) {
        handle->userMemory.assign(extra, 0);
        if (userMemory) *userMemory = handle->userMemory.data();
    } else if (userMemory) {
        *userMemory = nullptr;
    }
    Lib().Register(Public(handle));
    if (env && static_cast<HandleBase*>(env) != handle) env->children.push_back(handle);
    return handle;
}

void Forget(HandleBase* handle) {
    Lib().Unregister(Public(handle));
    handle->check = 0;
    if (handle->env && static_cast<HandleBase*>(handle->env) != handle) {
        auto& children = handle->env->children;
        children.erase(std::remove(children.begin(), children.end(), handle), children.end());
    }
}

void ForgetStatementParts(OCIStmt* stmt) {
    for (auto& [position, define] : stmt->defines) Lib().Unregister(Public(define.get()));
    for (auto& bind : stmt->binds) Lib().Unregister(Public(bind.get()));
    for (auto& param : stmt->params) Lib().Unregister(Public(param.get()));
}

void EndSessionOf(OCISession* session, bool commit) {
    if (!session->link) return;
    if (commit && session->link->alive && session->link->session) session->link->session->Commit();
    session->link->alive = false;
    session->link.reset();
}

void Destroy(HandleBase* handle) {
    switch (handle->type) {
        case OCI_HTYPE_ENV: {
            auto* env = static_cast<OCIEnv*>(handle);
            // Statements first: their open rows may refer to the sessions.
            std::vector<HandleBase*> children = env->children;
            std::stable_partition(children.begin(), children.end(),
                                  [](HandleBase* child) { return child->type == OCI_HTYPE_STMT; });
            for (HandleBase* child : children) Destroy(child);
            Forget(env);
            delete env;
            return;
        }
        case OCI_HTYPE_ERROR:
            Forget(handle);
            delete static_cast<OCIError*>(handle);
            return;
        case OCI_HTYPE_SVCCTX:
            Forget(handle);
            delete static_cast<OCISvcCtx*>(handle);
            return;
        case OCI_HTYPE_SERVER:
            Forget(handle);
            delete static_cast<OCIServer*>(handle);
            return;
        case OCI_HTYPE_SESSION: {
            auto* session = static_cast<OCISession*>(handle);
            EndSessionOf(session, true);
            Forget(handle);
            delete session;
            return;
        }
        case OCI_HTYPE_STMT: {
            auto* stmt = static_cast<OCIStmt*>(handle);
            ForgetStatementParts(stmt);
            Forget(handle);
            delete stmt;
            return;
        }
        case OCI_DTYPE_LOB:
            Forget(handle);
            delete static_cast<OCILobLocator*>(handle);
            return;
        default:
            return;
    }
}

std::string TextOf(const OraText* text, sb4 length) {
    if (text == nullptr) return {};
    const char* chars = reinterpret_cast<const char*>(text);
    return length < 0 ? std::string(chars) : std::string(chars, static_cast<std::size_t>(length));
}

// The live session of a service context, or null.
std::shared_ptr<SessionLink> LinkOf(OCISvcCtx* svc) {
    OCISession* session = As<OCISession>(svc->session, OCI_HTYPE_SESSION);
    if (!session || !session->link || !session->link->alive) return nullptr;
    return session->link;
}

std::vector<const DefineSpec*> DefinesOf(OCIStmt* stmt) {
    std::vector<const DefineSpec*> defines;
    for (auto& [position, define] : stmt->defines) defines.push_back(&define->spec);
    return defines;
}

// The return code of a fetch (or of the fetch part of an execute).
sword FinishFetch(OCIStmt* stmt, OCIError* err, const FetchOutcome& outcome) {
    if (outcome.callbackStatus != 0) return outcome.callbackStatus;
    if (outcome.error.IsError()) return Fail(err, outcome.error);
    if (outcome.nullWithoutIndicator) return Fail(err, kNullFetched);
    if (outcome.truncated) {
        if (outcome.truncatedWithoutCode) return Fail(err, kTruncated);
        return Info(err, MakeClientError(kTruncationOrNull));
    }
    if (outcome.endOfData) {
        stmt->result.MarkEndReported();
        SetRecord(err->record, MakeClientError(kNoDataFound));
        return OCI_NO_DATA;
    }
    return OCI_SUCCESS;
}

sword FetchRows(OCIStmt* stmt, OCIError* err, ub4 rows) {
    if (!stmt->executed || !stmt->isQuery) return Fail(err, stmt->executed ? kFetchOutOfSequence : kNotExecuted);
    if (stmt->result.IsCancelled() || stmt->result.EndReported()) return Fail(err, kFetchOutOfSequence);
    if (!stmt->result.SessionAlive()) return Fail(err, kNotConnected);
    if (stmt->defines.empty()) return Fail(err, kDefineNotDone);
    for (auto& [position, define] : stmt->defines) {
        if (position > stmt->result.Columns().size()) return Fail(err, kVariableNotInSelectList);
    }
    const FetchOutcome outcome = stmt->result.Fetch(DefinesOf(stmt), rows);
    return FinishFetch(stmt, err, outcome);
}

template <typename T>
void PutAttr(void* target, ub4* size, T value) {
    std::memcpy(target, &value, sizeof value);
    if (size) *size = sizeof value;
}

sword GetParamAttr(OCIParam* param, void* target, ub4* size, ub4 attr, OCIError* err) {
    const ColumnDesc& column = param->column;
    switch (attr) {
        case OCI_ATTR_DATA_TYPE: PutAttr<ub2>(target, size, static_cast<ub2>(column.type)); return OCI_SUCCESS;
        case OCI_ATTR_DATA_SIZE: PutAttr<ub2>(target, size, static_cast<ub2>(column.size)); return OCI_SUCCESS;
        case OCI_ATTR_DISP_SIZE: PutAttr<ub2>(target, size, static_cast<ub2>(DisplaySize(column))); return OCI_SUCCESS;
        case OCI_ATTR_PRECISION: PutAttr<sb2>(target, size, static_cast<sb2>(column.precision)); return OCI_SUCCESS;
        case OCI_ATTR_SCALE: PutAttr<sb1>(target, size, static_cast<sb1>(column.scale)); return OCI_SUCCESS;
        case OCI_ATTR_IS_NULL: PutAttr<ub1>(target, size, static_cast<ub1>(column.nullable ? 1 : 0)); return OCI_SUCCESS;
        case OCI_ATTR_CHAR_USED: PutAttr<ub1>(target, size, 0); return OCI_SUCCESS;
        case OCI_ATTR_CHAR_SIZE: PutAttr<ub2>(target, size, static_cast<ub2>(column.size)); return OCI_SUCCESS;
        case OCI_ATTR_NAME: {
            const OraText* name = reinterpret_cast<const OraText*>(column.name.c_str());
            std::memcpy(target, &name, sizeof name);
            if (size) *size = static_cast<ub4>(column.name.size());
            return OCI_SUCCESS;
        }
        default:
            return Fail(err, kIllegalAttribute);
    }
}

sword GetStmtAttr(OCIStmt* stmt, void* target, ub4* size, ub4 attr, OCIError* err) {
    switch (attr) {
        case OCI_ATTR_STMT_TYPE:
            PutAttr<ub2>(target, size, static_cast<ub2>(stmt->stmtType));
            return OCI_SUCCESS;
        case OCI_ATTR_PARAM_COUNT:
            PutAttr<ub4>(target, size, static_cast<ub4>(stmt->result.IsDescribed() ? stmt->result.Columns().size() : 0));
            return OCI_SUCCESS;
        case OCI_ATTR_ROW_COUNT:
            PutAttr<ub4>(target, size, static_cast<ub4>(stmt->isQuery ? stmt->result.Total() : stmt->rowCount));
            return OCI_SUCCESS;
        case OCI_ATTR_UB8_ROW_COUNT:
            PutAttr<ub8>(target, size, static_cast<ub8>(stmt->isQuery ? stmt->result.Total() : stmt->rowCount));
            return OCI_SUCCESS;
        case OCI_ATTR_ROWS_FETCHED:
            PutAttr<ub4>(target, size, stmt->isQuery ? stmt->result.LastFetched() : 0);
            return OCI_SUCCESS;
        case OCI_ATTR_SQLFNCODE:
            PutAttr<ub2>(target, size, static_cast<ub2>(SqlFunctionCode(stmt->sql)));
            return OCI_SUCCESS;
        case OCI_ATTR_PARSE_ERROR_OFFSET:
            PutAttr<ub2>(target, size, 0);
            return OCI_SUCCESS;
        case OCI_ATTR_PREFETCH_ROWS:
            PutAttr<ub4>(target, size, stmt->prefetchRows);
            return OCI_SUCCESS;
        case OCI_ATTR_PREFETCH_MEMORY:
            PutAttr<ub4>(target, size, stmt->prefetchMemory);
            return OCI_SUCCESS;
        case OCI_ATTR_STATEMENT: {
            const OraText* text = reinterpret_cast<const OraText*>(stmt->sql.c_str());
            std::memcpy(target, &text, sizeof text);
            if (size) *size = static_cast<ub4>(stmt->sql.size());
            return OCI_SUCCESS;
        }
        default:
            return Fail(err, kIllegalAttribute);
    }
}

LogonMode ModeOf(ub4 mode) {
    if (mode & OCI_SYSDBA) return LogonMode::SysDba;
    if (mode & OCI_SYSOPER) return LogonMode::SysOper;
    return LogonMode::Normal;
}

sword Attach(OCIServer* server, OCIError* err, const std::string& alias) {
    if (server->server) return Fail(err, kAlreadyConnected);
    std::shared_ptr<Server> instance = TheServer();
    const OraError error = instance->Attach(alias);
    if (error.IsError()) return Fail(err, error);
    server->server = std::move(instance);
    server->alias = alias;
    return OCI_SUCCESS;
}

sword BeginSession(OCISvcCtx* svc, OCIError* err, OCISession* session, ub4 credentials, ub4 mode) {
    OCIServer* server = As<OCIServer>(svc->server, OCI_HTYPE_SERVER);
    if (!server || !server->server) return Fail(err, kNoServerAttached);
    if (session->link && session->link->alive) return Fail(err, kAlreadyAuthenticated);
    if (credentials != OCI_CRED_RDBMS && credentials != OCI_CRED_EXT) return Fail(err, kBadMode);
    OraError error;
    std::unique_ptr<Session> opened;
    if (credentials == OCI_CRED_EXT) {
        // No operating-system accounts exist on the simulated server.
        error = MakeClientError(1017);
    } else {
        opened = server->server->Logon(server->alias, session->user, session->password, ModeOf(mode), error);
    }
    if (error.IsError() || !opened) return Fail(err, error.IsError() ? error : MakeClientError(1017));
    session->link = std::make_shared<SessionLink>();
    session->link->session = std::shared_ptr<Session>(std::move(opened));
    svc->session = session;
    return OCI_SUCCESS;
}

// Runs a prepared statement on the server.
sword Execute(OCISvcCtx* svc, OCIStmt* stmt, OCIError* err, ub4 iters, ub4 rowoff, ub4 mode) {
    std::shared_ptr<SessionLink> link = LinkOf(svc);
    if (!link) return Fail(err, kNotConnected);

    stmt->result.Reset();
    stmt->executed = false;
    stmt->rowCount = 0;
    const bool describeOnly = (mode & (OCI_DESCRIBE_ONLY | OCI_PARSE_ONLY)) != 0;
    const bool query = stmt->stmtType == StatementType::Select;
    stmt->isQuery = query;

    if (describeOnly) {
        // The server parses every statement (a bad one fails here) and describes a query.
        std::vector<Bind> binds;
        ExecResult result = link->session->Execute(stmt->sql, binds, true);
        if (result.error.IsError()) return Fail(err, result.error);
        if (query) stmt->result.Describe(std::move(result.columns));
        return OCI_SUCCESS;
    }

    if (!query && iters == 0) return Fail(err, kZeroIterations);
    if (query && iters > 0 && stmt->defines.empty()) return Fail(err, kDefineNotDone);

    OraError warning;
    if (query) {
        std::vector<Bind> binds;
        OraError error;
        if (!stmt->bindBuffers.Read(0, binds, error)) return Fail(err, error);
        ExecResult result = link->session->Execute(stmt->sql, binds, false);
        if (result.error.IsError()) return Fail(err, result.error);
        warning = result.warning;
        if (!stmt->bindBuffers.Write(0, binds, error)) return Fail(err, error);
        stmt->result.Open(std::move(result.columns), std::move(result.rows), link);
        stmt->executed = true;
    } else {
        for (ub4 iteration = rowoff; iteration < iters; ++iteration) {
            std::vector<Bind> binds;
            OraError error;
            if (!stmt->bindBuffers.Read(iteration, binds, error)) return Fail(err, error);
            ExecResult result = link->session->Execute(stmt->sql, binds, false);
            if (result.error.IsError()) return Fail(err, result.error);
            if (result.warning.IsError()) warning = result.warning;
            stmt->rowCount += result.rowsProcessed;
            if (!stmt->bindBuffers.Write(iteration, binds, error)) return Fail(err, error);
            if (result.rows) {
                // A statement that turned out to be a query.
                stmt->isQuery = true;
                stmt->result.Open(std::move(result.columns), std::move(result.rows), link);
                break;
            }
        }
        stmt->executed = true;
    }

    sword status = OCI_SUCCESS;
    if (stmt->isQuery && iters > 0) {
        status = FetchRows(stmt, err, iters);
        if ((mode & OCI_EXACT_FETCH) && (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO)) {
            OraError error;
            const bool more = stmt->result.HasMoreRows(error);
            stmt->result.Cancel();
            if (error.IsError()) return Fail(err, error);
            if (more) return Fail(err, kExactFetchTooMany);
        }
    }
    if (status == OCI_ERROR || status == OCI_INVALID_HANDLE) return status;
    if (mode & OCI_COMMIT_ON_SUCCESS) {
        const OraError error = link->session->Commit();
        if (error.IsError()) return Fail(err, error);
    }
    if (status == OCI_SUCCESS && warning.IsError()) return Info(err, warning);
    return status;
}

}  // namespace

OCISIM_EXPORT sword OCIInitialize(ub4 /*mode*/, void* /*ctxp*/, void* (* /*malocfp*/)(void*, size_t),
                                  void* (* /*ralocfp*/)(void*, void*, size_t), void (* /*mfreefp*/)(void*, void*)) {
    Guard guard(Lib().Lock());
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIEnvInit(OCIEnv** envp, ub4 mode, size_t xtramem_sz, void** usrmempp) {
    Guard guard(Lib().Lock());
    if (!envp) return OCI_INVALID_HANDLE;
    OCIEnv* env = Adopt<OCIEnv>(nullptr, OCI_HTYPE_ENV, xtramem_sz, usrmempp);
    env->env = env;
    env->mode = mode;
    *envp = env;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIEnvCreate(OCIEnv** envp, ub4 mode, void* ctxp, void* (*malocfp)(void*, size_t),
                                 void* (*ralocfp)(void*, void*, size_t), void (*mfreefp)(void*, void*),
                                 size_t xtramem_sz, void** usrmempp) {
    Guard guard(Lib().Lock());
    OCIInitialize(mode, ctxp, malocfp, ralocfp, mfreefp);
    return OCIEnvInit(envp, mode, xtramem_sz, usrmempp);
}

OCISIM_EXPORT sword OCIHandleAlloc(const void* parenth, void** hndlpp, const ub4 type, const size_t xtramem_sz,
                                   void** usrmempp) {
    Guard guard(Lib().Lock());
    OCIEnv* env = As<OCIEnv>(parenth, OCI_HTYPE_ENV);
    if (!env || !hndlpp) return OCI_INVALID_HANDLE;
    HandleBase* handle = nullptr;
    switch (type) {
        case OCI_HTYPE_ERROR: handle = Adopt<OCIError>(env, type, xtramem_sz, usrmempp); break;
        case OCI_HTYPE_SVCCTX: handle = Adopt<OCISvcCtx>(env, type, xtramem_sz, usrmempp); break;
        case OCI_HTYPE_STMT: handle = Adopt<OCIStmt>(env, type, xtramem_sz, usrmempp); break;
        case OCI_HTYPE_SERVER: handle = Adopt<OCIServer>(env, type, xtramem_sz, usrmempp); break;
        case OCI_HTYPE_SESSION: handle = Adopt<OCISession>(env, type, xtramem_sz, usrmempp); break;
        default: return OCI_INVALID_HANDLE;
    }
    *hndlpp = Public(handle);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIHandleFree(void* hndlp, const ub4 type) {
    Guard guard(Lib().Lock());
    HandleBase* handle = AnyHandle(hndlp);
    if (!handle || handle->type != type) return OCI_INVALID_HANDLE;
    switch (type) {
        case OCI_HTYPE_ENV:
        case OCI_HTYPE_ERROR:
        case OCI_HTYPE_SVCCTX:
        case OCI_HTYPE_STMT:
        case OCI_HTYPE_SERVER:
        case OCI_HTYPE_SESSION:
            Destroy(handle);
            return OCI_SUCCESS;
        default:
            // Binds, defines and parameters belong to their statement.
            return OCI_INVALID_HANDLE;
    }
}

OCISIM_EXPORT sword OCIErrorGet(void* hndlp, ub4 recordno, OraText* /*sqlstate*/, sb4* errcodep, OraText* bufp,
                                ub4 bufsiz, ub4 type) {
    Guard guard(Lib().Lock());
    const ErrorRecord* record = nullptr;
    if (type == OCI_HTYPE_ERROR) {
        if (OCIError* err = As<OCIError>(hndlp, OCI_HTYPE_ERROR)) record = &err->record;
    } else if (type == OCI_HTYPE_ENV) {
        if (OCIEnv* env = As<OCIEnv>(hndlp, OCI_HTYPE_ENV)) record = &env->record;
    }
    if (!record) return OCI_INVALID_HANDLE;
    if (recordno != 1 || !record->present) return OCI_NO_DATA;
    if (errcodep) *errcodep = record->error.code;
    if (bufp && bufsiz > 0) {
        const std::string text = record->error.message + "\n";
        const std::size_t count = std::min<std::size_t>(text.size(), bufsiz - 1);
        std::memcpy(bufp, text.data(), count);
        bufp[count] = '\0';
    }
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink, sb4 dblink_len,
                                    ub4 /*mode*/) {
    Guard guard(Lib().Lock());
    OCIServer* server = As<OCIServer>(srvhp, OCI_HTYPE_SERVER);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!server || !err) return OCI_INVALID_HANDLE;
    return Attach(server, err, TextOf(dblink, dblink ? dblink_len : 0));
}

OCISIM_EXPORT sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4 /*mode*/) {
    Guard guard(Lib().Lock());
    OCIServer* server = As<OCIServer>(srvhp, OCI_HTYPE_SERVER);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!server || !err) return OCI_INVALID_HANDLE;
    if (!server->server) return Fail(err, kNotConnected);
    server->server.reset();
    server->alias.clear();
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt, ub4 mode) {
    Guard guard(Lib().Lock());
    OCISvcCtx* svc = As<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    OCISession* session = As<OCISession>(usrhp, OCI_HTYPE_SESSION);
    if (!svc || !err || !session) return OCI_INVALID_HANDLE;
    return BeginSession(svc, err, session, credt, mode);
}

OCISIM_EXPORT sword OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 /*mode*/) {
    Guard guard(Lib().Lock());
    OCISvcCtx* svc = As<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    OCISession* session = usrhp ? As<OCISession>(usrhp, OCI_HTYPE_SESSION) : As<OCISession>(svc->session, OCI_HTYPE_SESSION);
    if (usrhp && !session) return OCI_INVALID_HANDLE;
    if (!session || !session->link) return Fail(err, kNotConnected);
    EndSessionOf(session, true);
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILogon(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const OraText* username,
                             ub4 uname_len, const OraText* password, ub4 passwd_len, const OraText* dbname,
                             ub4 dbname_len) {
    Guard guard(Lib().Lock());
    OCIEnv* env = As<OCIEnv>(envhp, OCI_HTYPE_ENV);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!env || !err || !svchp) return OCI_INVALID_HANDLE;
    auto* svc = Adopt<OCISvcCtx>(env, OCI_HTYPE_SVCCTX, 0, nullptr);
    auto* server = Adopt<OCIServer>(env, OCI_HTYPE_SERVER, 0, nullptr);
    auto* session = Adopt<OCISession>(env, OCI_HTYPE_SESSION, 0, nullptr);
    svc->fromLogon = true;
    svc->server = server;
    session->user = TextOf(username, static_cast<sb4>(username ? uname_len : 0));
    session->password = TextOf(password, static_cast<sb4>(password ? passwd_len : 0));
    sword status = Attach(server, err, TextOf(dbname, static_cast<sb4>(dbname ? dbname_len : 0)));
    if (status == OCI_SUCCESS) status = BeginSession(svc, err, session, OCI_CRED_RDBMS, OCI_DEFAULT);
    if (status != OCI_SUCCESS) {
        Destroy(session);
        Destroy(server);
        Destroy(svc);
        *svchp = nullptr;
        return status;
    }
    *svchp = svc;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCILogoff(OCISvcCtx* svchp, OCIError* errhp) {
    Guard guard(Lib().Lock());
    OCISvcCtx* svc = As<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    if (OCISession* session = As<OCISession>(svc->session, OCI_HTYPE_SESSION)) {
        EndSessionOf(session, true);
        if (svc->fromLogon) Destroy(session);
    }
    if (OCIServer* server = As<OCIServer>(svc->server, OCI_HTYPE_SERVER)) {
        server->server.reset();
        if (svc->fromLogon) Destroy(server);
    }
    svc->session = nullptr;
    svc->server = nullptr;
    if (svc->fromLogon) Destroy(svc);
    return OCI_SUCCESS;
}

static sword EndTransaction(OCISvcCtx* svchp, OCIError* errhp, bool commit) {
    Guard guard(Lib().Lock());
    OCISvcCtx* svc = As<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    std::shared_ptr<SessionLink> link = LinkOf(svc);
    if (!link) return Fail(err, kNotConnected);
    const OraError error = commit ? link->session->Commit() : link->session->Rollback();
    return error.IsError() ? Fail(err, error) : OCI_SUCCESS;
}

OCISIM_EXPORT sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4 /*flags*/) {
    return EndTransaction(svchp, errhp, true);
}

OCISIM_EXPORT sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4 /*flags*/) {
    return EndTransaction(svchp, errhp, false);
}

OCISIM_EXPORT sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len,
                                   ub4 language, ub4 /*mode*/) {
    Guard guard(Lib().Lock());
    OCIStmt* statement = As<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!statement || !err) return OCI_INVALID_HANDLE;
    if (!stmt) return OCI_INVALID_HANDLE;
    if (language != OCI_NTV_SYNTAX && language != OCI_V7_SYNTAX && language != OCI_V8_SYNTAX) {
        return Fail(err, kBadMode);
    }
    ForgetStatementParts(statement);
    statement->defines.clear();
    statement->binds.clear();
    statement->bindBuffers.Clear();
    statement->params.clear();
    statement->result.Reset();
    statement->sql.assign(reinterpret_cast<const char*>(stmt), stmt_len);
    statement->stmtType = ClassifyStatement(statement->sql);
    statement->placeholders = FindPlaceholders(statement->sql);
    statement->prepared = true;
    statement->executed = false;
    statement->isQuery = statement->stmtType == StatementType::Select;
    statement->rowCount = 0;
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position, void* valuep,
                                   sb4 value_sz, ub2 dty, void* indp, ub2* rlenp, ub2* rcodep, ub4 mode) {
    Guard guard(Lib().Lock());
    OCIStmt* stmt = As<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!stmt || !err) return OCI_INVALID_HANDLE;
    if (!stmt->prepared) return Fail(err, kNotPrepared);
    if (position == 0) return Fail(err, kVariableNotInSelectList);
    if (mode != OCI_DEFAULT && mode != OCI_DYNAMIC_FETCH) return Fail(err, kBadMode);
    if (mode == OCI_DEFAULT && (!IsSupportedType(dty) || value_sz < 0)) return Fail(err, kUnsupportedDatatype);

    std::unique_ptr<OCIDefine>& slot = stmt->defines[position];
    if (!slot) {
        slot = std::make_unique<OCIDefine>();
        slot->type = OCI_HTYPE_DEFINE;
        slot->env = stmt->env;
        slot->stmt = stmt;
        Lib().Register(Public(slot.get()));
    }
    DefineSpec& spec = slot->spec;
    spec = DefineSpec{};
    spec.position = position;
    spec.value = valuep;
    spec.size = value_sz;
    spec.dty = dty;
    spec.indicator = static_cast<sb2*>(indp);
    spec.length = rlenp;
    spec.returnCode = rcodep;
    spec.dynamic = mode == OCI_DYNAMIC_FETCH;
    spec.handle = slot.get();
    if (defnp) *defnp = slot.get();
    return OCI_SUCCESS;
}

#ifndef OCISIM_WITHOUT_DEFINE_DYNAMIC
OCISIM_EXPORT sword OCIDefineDynamic(OCIDefine* defnp, OCIError* errhp, void* octxp, OCICallbackDefine ocbfp) {
    Guard guard(Lib().Lock());
    OCIDefine* define = As<OCIDefine>(defnp, OCI_HTYPE_DEFINE);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!define || !err) return OCI_INVALID_HANDLE;
    if (!define->spec.dynamic || !ocbfp) return Fail(err, kBadMode);
    define->spec.callback = ocbfp;
    define->spec.context = octxp;
    return OCI_SUCCESS;
}
#endif

namespace {

// Binds one placeholder of a prepared statement, by name or by position.
sword BindPlaceholder(OCIStmt* stmt, OCIBind** bindp, OCIError* err, const std::string& name, void* valuep,
                      sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4 mode) {
    if (!stmt->prepared) return Fail(err, kNotPrepared);
    if (name.empty() ||
        std::find(stmt->placeholders.begin(), stmt->placeholders.end(), name) == stmt->placeholders.end()) {
        return Fail(err, kIllegalVariable);
    }
    // Neither PL/SQL index-table binds nor data supplied at execute time are offered.
    if (maxarr_len > 0 || mode != OCI_DEFAULT) return Fail(err, kBadMode);
    if (!IsSupportedType(dty)) return Fail(err, kUnsupportedDatatype);

    BindSpec spec;
    spec.name = name;
    spec.value = valuep;
    spec.size = value_sz;
    spec.dty = dty;
    spec.indicator = static_cast<sb2*>(indp);
    spec.length = alenp;
    spec.returnCode = rcodep;
    stmt->bindBuffers.Set(spec);

    OCIBind* handle = nullptr;
    for (auto& bind : stmt->binds) {
        if (bind->name == name) handle = bind.get();
    }
    if (!handle) {
        auto bind = std::make_unique<OCIBind>();
        bind->type = OCI_HTYPE_BIND;
        bind->env = stmt->env;
        bind->stmt = stmt;
        bind->name = name;
        handle = bind.get();
        Lib().Register(Public(handle));
        stmt->binds.push_back(std::move(bind));
    }
    if (bindp) *bindp = handle;
    return OCI_SUCCESS;
}

}  // namespace

OCISIM_EXPORT sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const OraText* placeholder,
                                  sb4 placeh_len, void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp,
                                  ub2* rcodep, ub4 maxarr_len, ub4* /*curelep*/, ub4 mode) {
    Guard guard(Lib().Lock());
    OCIStmt* stmt = As<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!stmt || !err) return OCI_INVALID_HANDLE;
    const std::string name = NormalizePlaceholder(TextOf(placeholder, placeholder ? placeh_len : 0));
    return BindPlaceholder(stmt, bindp, err, name, valuep, value_sz, dty, indp, alenp, rcodep, maxarr_len, mode);
}

OCISIM_EXPORT sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, ub4 position, void* valuep,
                                 sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,
                                 ub4* /*curelep*/, ub4 mode) {
    Guard guard(Lib().Lock());
    OCIStmt* stmt = As<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!stmt || !err) return OCI_INVALID_HANDLE;
    // Positions that name the same placeholder twice bind the same variable: the
    // server matches binds by name.
    const std::string name = stmt->prepared ? PlaceholderAtPosition(stmt->sql, position) : std::string();
    return BindPlaceholder(stmt, bindp, err, name, valuep, value_sz, dty, indp, alenp, rcodep, maxarr_len, mode);
}

OCISIM_EXPORT sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 rowoff,
                                   const OCISnapshot* /*snap_in*/, OCISnapshot* /*snap_out*/, ub4 mode) {
    Guard guard(Lib().Lock());
    OCISvcCtx* svc = As<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    OCIStmt* stmt = As<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !stmt || !err) return OCI_INVALID_HANDLE;
    if (!stmt->prepared) return Fail(err, kNotPrepared);
    return Execute(svc, stmt, err, iters, rowoff, mode);
}

OCISIM_EXPORT sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4 /*mode*/) {
    Guard guard(Lib().Lock());
    OCIStmt* stmt = As<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!stmt || !err) return OCI_INVALID_HANDLE;
    // No statement is scrollable here: only the next rows can be fetched.
    if (orientation != OCI_DEFAULT && orientation != OCI_FETCH_NEXT) return Fail(err, kInvalidFetchOperation);
    if (nrows == 0) {
        // A fetch of no rows cancels the cursor.
        stmt->result.Cancel();
        return OCI_SUCCESS;
    }
    return FetchRows(stmt, err, nrows);
}

OCISIM_EXPORT sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, sb4 /*scrollOffset*/,
                                  ub4 mode) {
    // The offset only moves scrollable cursors, and there are none.
    return OCIStmtFetch(stmtp, errhp, nrows, orientation, mode);
}

OCISIM_EXPORT sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp, ub4 pos) {
    Guard guard(Lib().Lock());
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    OCIStmt* stmt = htype == OCI_HTYPE_STMT ? As<OCIStmt>(hndlp, OCI_HTYPE_STMT) : nullptr;
    if (!stmt || !err || !parmdpp) return OCI_INVALID_HANDLE;
    if (!stmt->result.IsDescribed()) return Fail(err, kNotExecuted);
    const std::vector<ColumnDesc>& columns = stmt->result.Columns();
    if (pos == 0 || pos > columns.size()) return Fail(err, kNoDescriptor);
    auto param = std::make_unique<OCIParam>();
    param->type = OCI_DTYPE_PARAM;
    param->env = stmt->env;
    param->stmt = stmt;
    param->column = columns[pos - 1];
    *parmdpp = Public(param.get());
    Lib().Register(Public(param.get()));
    stmt->params.push_back(std::move(param));
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIAttrGet(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep, ub4 attrtype,
                               OCIError* errhp) {
    Guard guard(Lib().Lock());
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    HandleBase* handle = AnyHandle(trgthndlp);
    if (!err || !handle || handle->type != trghndltyp || !attributep) return OCI_INVALID_HANDLE;
    if (attrtype == OCI_ATTR_ENV && trghndltyp != OCI_DTYPE_PARAM && trghndltyp != OCI_HTYPE_STMT) {
        PutAttr<OCIEnv*>(attributep, sizep, handle->env);
        return OCI_SUCCESS;
    }
    switch (trghndltyp) {
        case OCI_DTYPE_PARAM:
            return GetParamAttr(static_cast<OCIParam*>(handle), attributep, sizep, attrtype, err);
        case OCI_HTYPE_STMT:
            return GetStmtAttr(static_cast<OCIStmt*>(handle), attributep, sizep, attrtype, err);
        case OCI_HTYPE_SVCCTX: {
            auto* svc = static_cast<OCISvcCtx*>(handle);
            if (attrtype == OCI_ATTR_SERVER) {
                PutAttr<OCIServer*>(attributep, sizep, svc->server);
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_SESSION) {
                PutAttr<OCISession*>(attributep, sizep, svc->session);
                return OCI_SUCCESS;
            }
            return Fail(err, kIllegalAttribute);
        }
        case OCI_HTYPE_SESSION: {
            auto* session = static_cast<OCISession*>(handle);
            if (attrtype == OCI_ATTR_USERNAME) {
                const OraText* text = reinterpret_cast<const OraText*>(session->user.c_str());
                std::memcpy(attributep, &text, sizeof text);
                if (sizep) *sizep = static_cast<ub4>(session->user.size());
                return OCI_SUCCESS;
            }
            return Fail(err, kIllegalAttribute);
        }
        default:
            return Fail(err, kIllegalAttribute);
    }
}

OCISIM_EXPORT sword OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size, ub4 attrtype,
                               OCIError* errhp) {
    Guard guard(Lib().Lock());
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    HandleBase* handle = AnyHandle(trgthndlp);
    if (!err || !handle || handle->type != trghndltyp) return OCI_INVALID_HANDLE;
    switch (trghndltyp) {
        case OCI_HTYPE_SVCCTX: {
            auto* svc = static_cast<OCISvcCtx*>(handle);
            if (attrtype == OCI_ATTR_SERVER) {
                OCIServer* server = As<OCIServer>(attributep, OCI_HTYPE_SERVER);
                if (!server) return OCI_INVALID_HANDLE;
                svc->server = server;
                return OCI_SUCCESS;
            }
            if (attrtype == OCI_ATTR_SESSION) {
                OCISession* session = As<OCISession>(attributep, OCI_HTYPE_SESSION);
                if (!session) return OCI_INVALID_HANDLE;
                svc->session = session;
                return OCI_SUCCESS;
            }
            return Fail(err, kIllegalAttribute);
        }
        case OCI_HTYPE_SESSION: {
            auto* session = static_cast<OCISession*>(handle);
            if (attrtype != OCI_ATTR_USERNAME && attrtype != OCI_ATTR_PASSWORD) return Fail(err, kIllegalAttribute);
            std::string value = attributep ? std::string(static_cast<const char*>(attributep), size) : std::string();
            (attrtype == OCI_ATTR_USERNAME ? session->user : session->password) = std::move(value);
            return OCI_SUCCESS;
        }
        case OCI_HTYPE_STMT: {
            auto* stmt = static_cast<OCIStmt*>(handle);
            if ((attrtype != OCI_ATTR_PREFETCH_ROWS && attrtype != OCI_ATTR_PREFETCH_MEMORY) || !attributep) {
                return Fail(err, kIllegalAttribute);
            }
            ub4 value = 0;
            std::memcpy(&value, attributep, sizeof value);
            (attrtype == OCI_ATTR_PREFETCH_ROWS ? stmt->prefetchRows : stmt->prefetchMemory) = value;
            return OCI_SUCCESS;
        }
        default:
            return Fail(err, kIllegalAttribute);
    }
}

OCISIM_EXPORT sword OCIStmtGetPieceInfo(OCIStmt* stmtp, OCIError* errhp, void** /*hndlpp*/, ub4* /*typep*/,
                                        ub1* /*in_outp*/, ub4* /*iterp*/, ub4* /*idxp*/, ub1* /*piecep*/) {
    Guard guard(Lib().Lock());
    OCIStmt* stmt = As<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!stmt || !err) return OCI_INVALID_HANDLE;
    // No call ever waits for a piece (nothing returns OCI_NEED_DATA).
    return Fail(err, kInvalidOperation);
}

OCISIM_EXPORT sword OCIStmtSetPieceInfo(void* hndlp, ub4 type, OCIError* errhp, const void* /*bufp*/,
                                        ub4* /*alenp*/, ub1 /*piece*/, const void* /*indp*/, ub2* /*rcodep*/) {
    Guard guard(Lib().Lock());
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    HandleBase* handle = AnyHandle(hndlp);
    if (!err || !handle || handle->type != type || (type != OCI_HTYPE_BIND && type != OCI_HTYPE_DEFINE)) {
        return OCI_INVALID_HANDLE;
    }
    return Fail(err, kInvalidOperation);
}

OCISIM_EXPORT sword OCIDescriptorAlloc(const void* parenth, void** descpp, const ub4 type, const size_t xtramem_sz,
                                       void** usrmempp) {
    Guard guard(Lib().Lock());
    OCIEnv* env = As<OCIEnv>(parenth, OCI_HTYPE_ENV);
    if (!env || !descpp || type != OCI_DTYPE_LOB) return OCI_INVALID_HANDLE;
    *descpp = Public(Adopt<OCILobLocator>(env, type, xtramem_sz, usrmempp));
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIDescriptorFree(void* descp, const ub4 type) {
    Guard guard(Lib().Lock());
    HandleBase* handle = AnyHandle(descp);
    if (!handle || handle->type != type) return OCI_INVALID_HANDLE;
    if (type == OCI_DTYPE_LOB) {
        Destroy(handle);
        return OCI_SUCCESS;
    }
    if (type == OCI_DTYPE_PARAM) {
        auto* param = static_cast<OCIParam*>(handle);
        auto& params = param->stmt->params;
        Lib().Unregister(Public(param));
        params.erase(std::remove_if(params.begin(), params.end(), [&](const auto& p) { return p.get() == param; }),
                     params.end());
        return OCI_SUCCESS;
    }
    return OCI_INVALID_HANDLE;
}

OCISIM_EXPORT sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp) {
    Guard guard(Lib().Lock());
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!As<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX) || !err || !As<OCILobLocator>(locp, OCI_DTYPE_LOB) || !lenp) {
        return OCI_INVALID_HANDLE;
    }
    // The server has no large-object columns, so no locator ever points at data.
    return Fail(err, kInvalidLobLocator);
}

OCISIM_EXPORT sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 /*offset*/,
                               void* /*bufp*/, ub4 /*bufl*/, void* /*ctxp*/, OCICallbackLobRead /*cbfp*/,
                               ub2 /*csid*/, ub1 /*csfrm*/) {
    Guard guard(Lib().Lock());
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!As<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX) || !err || !As<OCILobLocator>(locp, OCI_DTYPE_LOB) || !amtp) {
        return OCI_INVALID_HANDLE;
    }
    return Fail(err, kInvalidLobLocator);
}

OCISIM_EXPORT sword OCITerminate(ub4 /*mode*/) {
    // Handles are freed one by one; nothing is held for the process as a whole.
    Guard guard(Lib().Lock());
    return OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIPing(OCISvcCtx* svchp, OCIError* errhp, ub4 mode) {
    Guard guard(Lib().Lock());
    OCISvcCtx* svc = As<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    if (!svc || !err) return OCI_INVALID_HANDLE;
    if (mode != OCI_DEFAULT) return Fail(err, kBadMode);
    std::shared_ptr<SessionLink> link = LinkOf(svc);
    if (!link) return Fail(err, kNotConnected);
    const OraError error = link->session->Ping();
    return error.IsError() ? Fail(err, error) : OCI_SUCCESS;
}

OCISIM_EXPORT sword OCIServerVersion(void* hndlp, OCIError* errhp, OraText* bufp, ub4 bufsz, ub1 hndltype) {
    Guard guard(Lib().Lock());
    OCIError* err = As<OCIError>(errhp, OCI_HTYPE_ERROR);
    OCIServer* server = nullptr;
    if (hndltype == OCI_HTYPE_SVCCTX) {
        if (OCISvcCtx* svc = As<OCISvcCtx>(hndlp, OCI_HTYPE_SVCCTX)) {
            server = As<OCIServer>(svc->server, OCI_HTYPE_SERVER);
            if (!server && err) return Fail(err, kNotConnected);
        }
    } else if (hndltype == OCI_HTYPE_SERVER) {
        server = As<OCIServer>(hndlp, OCI_HTYPE_SERVER);
    }
    if (!server || !err || !bufp) return OCI_INVALID_HANDLE;
    if (!server->server) return Fail(err, kNotConnected);
    if (bufsz == 0) return OCI_SUCCESS;
    const std::string banner = server->server->VersionBanner();
    const std::size_t count = std::min<std::size_t>(banner.size(), bufsz - 1);
    std::memcpy(bufp, banner.data(), count);
    bufp[count] = '\0';
    return OCI_SUCCESS;
}

OCISIM_EXPORT void OCIClientVersion(sword* major_version, sword* minor_version, sword* update_num, sword* patch_num,
                                    sword* port_update_num) {
    // The release of libclntsh.so.19.1, as the server's banner spells it.
    if (major_version) *major_version = 19;
    if (minor_version) *minor_version = 0;
    if (update_num) *update_num = 0;
    if (patch_num) *patch_num = 0;
    if (port_update_num) *port_update_num = 0;
}
