#include "Clients.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const OraText* Text(const std::string& text) { return reinterpret_cast<const OraText*>(text.c_str()); }
OraText* MutableText(const std::string& text) { return const_cast<OraText*>(Text(text)); }

std::string WithoutLineEnd(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

class CRelease8Client : public CClient {
public:
    CRelease8Client(const CClientLibrary& library, ub4 sessionMode)
        : m_Api(library.Release8()), m_SessionMode(sessionMode) {
        m_Api.OCIInitialize(OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr);
        m_Api.OCIEnvInit(&m_Env, OCI_DEFAULT, 0, nullptr);
        m_Api.OCIHandleAlloc(m_Env, reinterpret_cast<void**>(&m_Err), OCI_HTYPE_ERROR, 0, nullptr);
        m_Api.OCIHandleAlloc(m_Env, reinterpret_cast<void**>(&m_Stmt), OCI_HTYPE_STMT, 0, nullptr);
    }
    ~CRelease8Client() override {
        Logoff();
        m_Api.OCIHandleFree(m_Stmt, OCI_HTYPE_STMT);
        m_Api.OCIHandleFree(m_Err, OCI_HTYPE_ERROR);
        m_Api.OCIHandleFree(m_Env, OCI_HTYPE_ENV);
    }
    const char* Name() const override { return "release 8"; }

    int Logon(const std::string& user, const std::string& password, const std::string& alias) override {
        m_Api.OCIHandleAlloc(m_Env, reinterpret_cast<void**>(&m_Server), OCI_HTYPE_SERVER, 0, nullptr);
        m_Api.OCIHandleAlloc(m_Env, reinterpret_cast<void**>(&m_Svc), OCI_HTYPE_SVCCTX, 0, nullptr);
        m_Api.OCIHandleAlloc(m_Env, reinterpret_cast<void**>(&m_Session), OCI_HTYPE_SESSION, 0, nullptr);
        if (m_Api.OCIServerAttach(m_Server, m_Err, Text(alias), static_cast<sb4>(alias.size()), OCI_DEFAULT) !=
            OCI_SUCCESS) {
            return ErrorCode();
        }
        m_Api.OCIAttrSet(m_Svc, OCI_HTYPE_SVCCTX, m_Server, 0, OCI_ATTR_SERVER, m_Err);
        m_Api.OCIAttrSet(m_Session, OCI_HTYPE_SESSION, MutableText(user), static_cast<ub4>(user.size()),
                         OCI_ATTR_USERNAME, m_Err);
        m_Api.OCIAttrSet(m_Session, OCI_HTYPE_SESSION, MutableText(password), static_cast<ub4>(password.size()),
                         OCI_ATTR_PASSWORD, m_Err);
        if (m_Api.OCISessionBegin(m_Svc, m_Err, m_Session, OCI_CRED_RDBMS, m_SessionMode) != OCI_SUCCESS) {
            return ErrorCode();
        }
        m_Api.OCIAttrSet(m_Svc, OCI_HTYPE_SVCCTX, m_Session, 0, OCI_ATTR_SESSION, m_Err);
        m_Connected = true;
        return 0;
    }
    void Logoff() override {
        if (m_Connected) m_Api.OCISessionEnd(m_Svc, m_Err, m_Session, OCI_DEFAULT);
        if (m_Server) m_Api.OCIServerDetach(m_Server, m_Err, OCI_DEFAULT);
        if (m_Session) m_Api.OCIHandleFree(m_Session, OCI_HTYPE_SESSION);
        if (m_Svc) m_Api.OCIHandleFree(m_Svc, OCI_HTYPE_SVCCTX);
        if (m_Server) m_Api.OCIHandleFree(m_Server, OCI_HTYPE_SERVER);
        m_Session = nullptr;
        m_Svc = nullptr;
        m_Server = nullptr;
        m_Connected = false;
    }
    bool Parse(const std::string& sql) override {
        m_IsQuery = false;
        if (m_Api.OCIStmtPrepare(m_Stmt, m_Err, Text(sql), static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX,
                                 OCI_DEFAULT) != OCI_SUCCESS) {
            return false;
        }
        ub2 type = 0;
        m_Api.OCIAttrGet(m_Stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, m_Err);
        m_IsQuery = type == OCI_STMT_SELECT;
        return true;
    }
    bool Define(int position, void* buffer, int size, int type, sb2* indicators, ub2* lengths,
                ub2* codes) override {
        OCIDefine* define = nullptr;
        return m_Api.OCIDefineByPos(m_Stmt, &define, m_Err, static_cast<ub4>(position), buffer, size,
                                    static_cast<ub2>(type), indicators, lengths, codes, OCI_DEFAULT) == OCI_SUCCESS;
    }
    bool Bind(const std::string& name, void* buffer, int size, int type, sb2* indicator) override {
        OCIBind* bind = nullptr;
        return m_Api.OCIBindByName(m_Stmt, &bind, m_Err, Text(name), static_cast<sb4>(name.size()), buffer, size,
                                   static_cast<ub2>(type), indicator, nullptr, nullptr, 0, nullptr,
                                   OCI_DEFAULT) == OCI_SUCCESS;
    }
    Outcome Execute() override { return Map(RawExecute(m_IsQuery ? 0 : 1, OCI_DEFAULT)); }
    FetchResult ExecuteAndFetch(unsigned rows) override {
        const sword status = RawExecute(rows, OCI_DEFAULT);
        return {Map(status), RowsFetched()};
    }
    FetchResult Fetch(unsigned rows) override {
        const ub4 before = RowCount();
        const sword status = m_Api.OCIStmtFetch(m_Stmt, m_Err, rows, OCI_FETCH_NEXT, OCI_DEFAULT);
        return {Map(status), RowCount() - before};
    }
    bool Describe(int position, ColumnInfo& column) override {
        if (position == 1 &&
            m_Api.OCIStmtExecute(m_Svc, m_Stmt, m_Err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY) != OCI_SUCCESS) {
            return false;
        }
        void* param = nullptr;
        if (m_Api.OCIParamGet(m_Stmt, OCI_HTYPE_STMT, m_Err, &param, static_cast<ub4>(position)) != OCI_SUCCESS) {
            return false;
        }
        ub2 type = 0;
        ub2 size = 0;
        sb2 precision = 0;
        sb1 scale = 0;
        ub1 nullable = 0;
        OraText* name = nullptr;
        ub4 nameLength = 0;
        m_Api.OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, m_Err);
        m_Api.OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &nameLength, OCI_ATTR_NAME, m_Err);
        m_Api.OCIAttrGet(param, OCI_DTYPE_PARAM, &nullable, nullptr, OCI_ATTR_IS_NULL, m_Err);
        m_Api.OCIAttrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, m_Err);
        m_Api.OCIAttrGet(param, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, m_Err);
        m_Api.OCIAttrGet(param, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, m_Err);
        column.name.assign(reinterpret_cast<char*>(name), nameLength);
        column.type = type;
        column.size = size;
        column.precision = precision;
        column.scale = scale;
        column.nullable = nullable != 0;
        return true;
    }
    bool Commit() override { return m_Api.OCITransCommit(m_Svc, m_Err, OCI_DEFAULT) == OCI_SUCCESS; }
    int ErrorCode() override {
        sb4 code = 0;
        OraText buffer[512];
        m_Api.OCIErrorGet(m_Err, 1, nullptr, &code, buffer, sizeof buffer, OCI_HTYPE_ERROR);
        return code;
    }
    std::string ErrorText() override {
        sb4 code = 0;
        OraText buffer[512] = {};
        if (m_Api.OCIErrorGet(m_Err, 1, nullptr, &code, buffer, sizeof buffer, OCI_HTYPE_ERROR) != OCI_SUCCESS) {
            return {};
        }
        return WithoutLineEnd(reinterpret_cast<char*>(buffer));
    }

private:
    sword RawExecute(ub4 iters, ub4 mode) {
        return m_Api.OCIStmtExecute(m_Svc, m_Stmt, m_Err, iters, 0, nullptr, nullptr, mode);
    }
    ub4 RowCount() {
        ub4 count = 0;
        m_Api.OCIAttrGet(m_Stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, m_Err);
        return count;
    }
    ub4 RowsFetched() {
        ub4 count = 0;
        m_Api.OCIAttrGet(m_Stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROWS_FETCHED, m_Err);
        return count;
    }
    static Outcome Map(sword status) {
        switch (status) {
            case OCI_SUCCESS: return Outcome::Ok;
            case OCI_SUCCESS_WITH_INFO: return Outcome::Info;
            case OCI_NO_DATA: return Outcome::NoData;
            default: return Outcome::Error;
        }
    }

    Release8Api m_Api;
    ub4 m_SessionMode;
    OCIEnv* m_Env = nullptr;
    OCIError* m_Err = nullptr;
    OCIServer* m_Server = nullptr;
    OCISvcCtx* m_Svc = nullptr;
    OCISession* m_Session = nullptr;
    OCIStmt* m_Stmt = nullptr;
    bool m_Connected = false;
    bool m_IsQuery = false;
};

class CRelease7Client : public CClient {
public:
    explicit CRelease7Client(const CClientLibrary& library) : m_Api(library.Release7()) { m_Api.opinit(OCI_EV_TSF); }
    ~CRelease7Client() override { Logoff(); }
    const char* Name() const override { return "release 7"; }

    int Logon(const std::string& user, const std::string& password, const std::string& alias) override {
        if (m_Api.olog(&m_Lda, m_Hda, MutableText(user), -1, MutableText(password), -1, MutableText(alias), -1,
                       OCI_LM_DEF) != 0) {
            m_Last = &m_Lda;
            return m_Lda.rc;
        }
        m_Api.oopen(&m_Cda, &m_Lda, nullptr, -1, -1, nullptr, -1);
        m_Connected = true;
        return 0;
    }
    void Logoff() override {
        if (!m_Connected) return;
        m_Api.oclose(&m_Cda);
        m_Api.ologof(&m_Lda);
        m_Connected = false;
    }
    bool Parse(const std::string& sql) override {
        m_Last = &m_Cda;
        return m_Api.oparse(&m_Cda, MutableText(sql), -1, 1, 1) == 0;
    }
    bool Define(int position, void* buffer, int size, int type, sb2* indicators, ub2* lengths,
                ub2* codes) override {
        m_Last = &m_Cda;
        return m_Api.odefin(&m_Cda, position, static_cast<ub1*>(buffer), size, type, -1, indicators, nullptr, -1, -1,
                            lengths, codes) == 0;
    }
    bool Bind(const std::string& name, void* buffer, int size, int type, sb2* indicator) override {
        m_Last = &m_Cda;
        return m_Api.obndrv(&m_Cda, MutableText(name), -1, static_cast<ub1*>(buffer), size, type, -1, indicator,
                            nullptr, -1, -1) == 0;
    }
    Outcome Execute() override {
        m_Last = &m_Cda;
        if (m_Api.oexec(&m_Cda) != 0) return Outcome::Error;
        return m_Cda.wrn ? Outcome::Info : Outcome::Ok;
    }
    FetchResult ExecuteAndFetch(unsigned rows) override {
        m_Last = &m_Cda;
        const sword status = m_Api.oexfet(&m_Cda, rows, 0, 0);
        return {Map(status), m_Cda.rpc};
    }
    FetchResult Fetch(unsigned rows) override {
        m_Last = &m_Cda;
        const ub4 before = m_Cda.rpc;
        const sword status = m_Api.ofen(&m_Cda, static_cast<sword>(rows));
        return {Map(status), m_Cda.rpc - before};
    }
    bool Describe(int position, ColumnInfo& column) override {
        m_Last = &m_Cda;
        sb4 size = 0;
        sb2 type = 0;
        sb1 name[999];
        sb4 nameLength = sizeof name;
        sb4 displaySize = 0;
        sb2 precision = 0;
        sb2 scale = 0;
        sb2 nullable = 0;
        if (m_Api.odescr(&m_Cda, position, &size, &type, name, &nameLength, &displaySize, &precision, &scale,
                         &nullable) != 0) {
            return false;
        }
        column.name.assign(reinterpret_cast<char*>(name), static_cast<std::size_t>(nameLength));
        column.type = type;
        column.size = size;
        column.precision = precision;
        column.scale = scale;
        column.nullable = nullable != 0;
        return true;
    }
    bool Commit() override {
        m_Last = &m_Lda;
        return m_Api.ocom(&m_Lda) == 0;
    }
    int ErrorCode() override { return m_Last->rc; }
    std::string ErrorText() override {
        OraText buffer[512] = {};
        m_Api.oerhms(&m_Lda, static_cast<sb2>(m_Last->rc), buffer, sizeof buffer);
        return WithoutLineEnd(reinterpret_cast<char*>(buffer));
    }

private:
    Outcome Map(sword status) const {
        if (status == 0) return m_Cda.wrn ? Outcome::Info : Outcome::Ok;
        return m_Cda.rc == 1403 ? Outcome::NoData : Outcome::Error;
    }

    Release7Api m_Api;
    Lda_Def m_Lda{};
    Cda_Def m_Cda{};
    ub1 m_Hda[512] = {};
    cda_def* m_Last = &m_Lda;
    bool m_Connected = false;
};

}  // namespace

std::string CClient::QueryText(const std::string& sql) {
    char buffer[4001] = {};
    sb2 indicator = 0;
    EXPECT_TRUE(Parse(sql)) << ErrorText();
    EXPECT_TRUE(Define(1, buffer, sizeof buffer, SQLT_STR, &indicator)) << ErrorText();
    const FetchResult result = ExecuteAndFetch(1);
    EXPECT_NE(result.outcome, Outcome::Error) << sql << ": " << ErrorText();
    if (result.rows == 0 || indicator == -1) return {};
    return buffer;
}

long CClient::QueryNumber(const std::string& sql) {
    std::int64_t number = -1;
    EXPECT_TRUE(Parse(sql)) << ErrorText();
    EXPECT_TRUE(Define(1, &number, sizeof number, SQLT_INT)) << ErrorText();
    const FetchResult result = ExecuteAndFetch(1);
    EXPECT_NE(result.outcome, Outcome::Error) << sql << ": " << ErrorText();
    return static_cast<long>(number);
}

std::unique_ptr<CClient> MakeRelease8Client(const CClientLibrary& library, ub4 sessionMode) {
    return std::make_unique<CRelease8Client>(library, sessionMode);
}

std::unique_ptr<CClient> MakeRelease7Client(const CClientLibrary& library) {
    return std::make_unique<CRelease7Client>(library);
}
