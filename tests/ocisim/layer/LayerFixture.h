#pragma once

// A release 8 logon on the scripted server, with helpers for the layer tests.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "layer/FakeServer.h"
#include "ocisim/oci/ocisim_oci.h"

class LayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        ASSERT_EQ(OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_SUCCESS);
        ASSERT_EQ(OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr), OCI_SUCCESS);
        ASSERT_EQ(OCILogon(env, err, &svc, Text("SCOTT"), 5, Text("TIGER"), 5, Text("DEMO"), 4), OCI_SUCCESS);
        ASSERT_EQ(OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr), OCI_SUCCESS);
    }
    void TearDown() override { OCIHandleFree(env, OCI_HTYPE_ENV); }

    static const OraText* Text(const char* text) { return reinterpret_cast<const OraText*>(text); }

    sword Prepare(const std::string& sql) {
        return OCIStmtPrepare(stmt, err, Text(sql.c_str()), static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX,
                              OCI_DEFAULT);
    }
    sword Execute(ub4 iters, ub4 mode = OCI_DEFAULT) {
        return OCIStmtExecute(svc, stmt, err, iters, 0, nullptr, nullptr, mode);
    }
    sword Define(ub4 position, void* buffer, sb4 size, ub2 dty, sb2* indicators = nullptr, ub2* lengths = nullptr,
                 ub2* codes = nullptr) {
        OCIDefine* define = nullptr;
        return OCIDefineByPos(stmt, &define, err, position, buffer, size, dty, indicators, lengths, codes,
                              OCI_DEFAULT);
    }
    sword Fetch(ub4 rows) { return OCIStmtFetch(stmt, err, rows, OCI_FETCH_NEXT, OCI_DEFAULT); }
    ub4 StmtAttr(ub4 attribute) {
        ub4 value = 0;
        EXPECT_EQ(OCIAttrGet(stmt, OCI_HTYPE_STMT, &value, nullptr, attribute, err), OCI_SUCCESS);
        return value;
    }
    // "ORA-nnnnn: text" of the error handle, without the final line feed.
    std::string ErrorText(sb4* code = nullptr) {
        OraText buffer[512] = {};
        sb4 number = 0;
        if (OCIErrorGet(err, 1, nullptr, &number, buffer, sizeof buffer, OCI_HTYPE_ERROR) != OCI_SUCCESS) return {};
        if (code) *code = number;
        std::string text(reinterpret_cast<char*>(buffer));
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }
    sb4 ErrorCode() {
        sb4 code = 0;
        ErrorText(&code);
        return code;
    }

    // A query of `count` rows: N = row number, T = "row N", V = NULL on every third row.
    static void AddNumbers(const std::string& sql, int count) {
        fake::Table table;
        table.columns = {fake::Column("N", ocisim::ColumnType::Number, 22),
                         fake::Column("T", ocisim::ColumnType::Varchar2, 20),
                         fake::Column("V", ocisim::ColumnType::Varchar2, 20)};
        for (int i = 1; i <= count; ++i) {
            table.rows.push_back({ocisim::Value::Num(i), ocisim::Value::Str("row " + std::to_string(i)),
                                  i % 3 == 0 ? ocisim::Value::Null() : ocisim::Value::Str("v")});
        }
        fake::TheScript().queries[sql] = table;
    }

    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCISvcCtx* svc = nullptr;
    OCIStmt* stmt = nullptr;
};
