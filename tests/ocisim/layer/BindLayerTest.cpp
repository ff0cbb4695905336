// Binds by name, IN and OUT, and the handle and error rules of the release 8 layer.

#include "layer/LayerFixture.h"

namespace {

const char* const kCall = "BEGIN Explain(:i, :n, :p, :e); END;";

class BindLayerTest : public LayerTest {
protected:
    void SetUp() override {
        LayerTest::SetUp();
        // The call echoes :i into :p with a prefix, :n + 1 into :n, and NULL into :e.
        fake::TheScript().handler = [](const std::string&, std::vector<ocisim::Bind>& binds) {
            ocisim::ExecResult result;
            std::string input;
            for (auto& bind : binds) {
                if (bind.name == "I") input = bind.value.ToText();
            }
            for (auto& bind : binds) {
                if (bind.name == "P") bind.value = ocisim::Value::Str("plan of " + input);
                if (bind.name == "N") bind.value = ocisim::Value::Num(bind.value.number + 1);
                if (bind.name == "E") bind.value = ocisim::Value::Null();
                bind.assigned = bind.name != "I";
            }
            result.rowsProcessed = 1;
            return result;
        };
    }
    sword Bind(const char* name, void* value, sb4 size, ub2 dty, sb2* indicator = nullptr) {
        OCIBind* bind = nullptr;
        return OCIBindByName(stmt, &bind, err, Text(name), static_cast<sb4>(std::strlen(name)), value, size, dty,
                             indicator, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    }
};

TEST_F(BindLayerTest, InValuesReachTheServerAndOutValuesComeBack) {
    char id[] = "X1";
    int number = 41;
    char plan[64] = "garbage";
    char error[16] = "old";
    sb2 planIndicator = -1;
    sb2 errorIndicator = 0;
    ASSERT_EQ(Prepare(kCall), OCI_SUCCESS);
    ASSERT_EQ(Bind(":i", id, sizeof id, SQLT_STR), OCI_SUCCESS);
    ASSERT_EQ(Bind(":N", &number, sizeof number, SQLT_INT), OCI_SUCCESS);
    ASSERT_EQ(Bind(":p", plan, sizeof plan, SQLT_STR, &planIndicator), OCI_SUCCESS);
    ASSERT_EQ(Bind(":e", error, sizeof error, SQLT_STR, &errorIndicator), OCI_SUCCESS);
    ASSERT_EQ(Execute(1), OCI_SUCCESS);

    const fake::Call& call = fake::TheScript().calls.back();
    ASSERT_EQ(call.binds.size(), 4u);
    EXPECT_STREQ(plan, "plan of X1");
    EXPECT_EQ(planIndicator, 0);
    EXPECT_EQ(number, 42);
    EXPECT_EQ(errorIndicator, -1);
    EXPECT_STREQ(error, "old");
}

TEST_F(BindLayerTest, OutValueTooLongForItsBufferFails) {
    char id[] = "a long statement id";
    char plan[8] = "";
    sb2 planIndicator = -1;
    ASSERT_EQ(Prepare(kCall), OCI_SUCCESS);
    ASSERT_EQ(Bind(":i", id, sizeof id, SQLT_STR), OCI_SUCCESS);
    ASSERT_EQ(Bind(":p", plan, sizeof plan, SQLT_STR, &planIndicator), OCI_SUCCESS);
    EXPECT_EQ(Execute(1), OCI_ERROR);
    EXPECT_EQ(ErrorCode(), 6502);
}

TEST_F(BindLayerTest, PlaceholderNotInTheStatementIsIllegal) {
    int number = 1;
    ASSERT_EQ(Prepare(kCall), OCI_SUCCESS);
    EXPECT_EQ(Bind(":x", &number, sizeof number, SQLT_INT), OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-01036: illegal variable name/number");
    ASSERT_EQ(Prepare("SELECT ':i' FROM dual -- :n"), OCI_SUCCESS);
    EXPECT_EQ(Bind(":i", &number, sizeof number, SQLT_INT), OCI_ERROR) << "a literal holds no placeholder";
}

TEST_F(BindLayerTest, ArrayBindRunsOncePerIteration) {
    int numbers[3] = {10, 20, 30};
    ASSERT_EQ(Prepare("BEGIN Explain(:i, :n, :p, :e); END;"), OCI_SUCCESS);
    ASSERT_EQ(Bind(":n", numbers, sizeof(int), SQLT_INT), OCI_SUCCESS);
    ASSERT_EQ(Execute(3), OCI_SUCCESS);
    EXPECT_EQ(fake::TheScript().calls.size(), 3u);
    EXPECT_EQ(numbers[0], 11);
    EXPECT_EQ(numbers[2], 31);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROW_COUNT), 3u);
}

TEST_F(LayerTest, BadHandlesAreRefusedNotFollowed) {
    EXPECT_EQ(OCIStmtExecute(nullptr, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIStmtPrepare(stmt, nullptr, Text("x"), 1, OCI_NTV_SYNTAX, OCI_DEFAULT), OCI_INVALID_HANDLE);
    // A handle of another type in its place.
    EXPECT_EQ(OCIStmtPrepare(reinterpret_cast<OCIStmt*>(err), err, Text("x"), 1, OCI_NTV_SYNTAX, OCI_DEFAULT),
              OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIHandleFree(stmt, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE);
    int local = 0;
    EXPECT_EQ(OCIHandleFree(&local, OCI_HTYPE_STMT), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIHandleAlloc(err, reinterpret_cast<void**>(&local), OCI_HTYPE_STMT, 0, nullptr), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIHandleAlloc(env, reinterpret_cast<void**>(&local), OCI_HTYPE_DEFINE, 0, nullptr),
              OCI_INVALID_HANDLE);

    ASSERT_EQ(OCIHandleFree(stmt, OCI_HTYPE_STMT), OCI_SUCCESS);
    EXPECT_EQ(OCIStmtPrepare(stmt, err, Text("x"), 1, OCI_NTV_SYNTAX, OCI_DEFAULT), OCI_INVALID_HANDLE)
        << "a freed handle";
    stmt = nullptr;
}

TEST_F(LayerTest, ErrorTextEndsInLineFeedAndIsCutToTheBuffer) {
    ASSERT_EQ(Prepare("SELECT * FROM missing"), OCI_SUCCESS);
    ASSERT_EQ(Execute(0), OCI_ERROR);
    OraText buffer[64];
    sb4 code = 0;
    ASSERT_EQ(OCIErrorGet(err, 1, nullptr, &code, buffer, sizeof buffer, OCI_HTYPE_ERROR), OCI_SUCCESS);
    EXPECT_EQ(code, 942);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "ORA-00942: table or view does not exist\n");
    ASSERT_EQ(OCIErrorGet(err, 1, nullptr, &code, buffer, 10, OCI_HTYPE_ERROR), OCI_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "ORA-00942");
    EXPECT_EQ(OCIErrorGet(err, 2, nullptr, &code, buffer, sizeof buffer, OCI_HTYPE_ERROR), OCI_NO_DATA);
}

TEST_F(LayerTest, LargeObjectCallsAnswerWithAnError) {
    OCILobLocator* locator = nullptr;
    ASSERT_EQ(OCIDescriptorAlloc(env, reinterpret_cast<void**>(&locator), OCI_DTYPE_LOB, 0, nullptr), OCI_SUCCESS);
    ub4 length = 0;
    EXPECT_EQ(OCILobGetLength(svc, err, locator, &length), OCI_ERROR);
    EXPECT_EQ(ErrorCode(), 22275);
    EXPECT_EQ(OCIDescriptorFree(locator, OCI_DTYPE_LOB), OCI_SUCCESS);
    EXPECT_EQ(OCIDescriptorFree(locator, OCI_DTYPE_LOB), OCI_INVALID_HANDLE);
}

}  // namespace
