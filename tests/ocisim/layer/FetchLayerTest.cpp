// Array fetches through the release 8 layer against exact rows: batches, the
// cumulative row count, strides, indicators, truncation and the fetch states.

#include <vector>

#include "layer/LayerFixture.h"

namespace {

const char* const kQuery = "SELECT n, t, v FROM numbers";

TEST_F(LayerTest, ArrayFetchOf250RowsEndsWithPartialBatchAndNoData) {
    AddNumbers(kQuery, 250);
    int numbers[100] = {};
    ASSERT_EQ(Prepare(kQuery), OCI_SUCCESS);
    ASSERT_EQ(Define(1, numbers, sizeof(int), SQLT_INT), OCI_SUCCESS);
    ASSERT_EQ(Execute(0), OCI_SUCCESS);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROW_COUNT), 0u);

    ASSERT_EQ(Fetch(100), OCI_SUCCESS);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROW_COUNT), 100u);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROWS_FETCHED), 100u);
    EXPECT_EQ(numbers[0], 1);
    EXPECT_EQ(numbers[99], 100);

    ASSERT_EQ(Fetch(100), OCI_SUCCESS);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROW_COUNT), 200u);
    EXPECT_EQ(numbers[0], 101);

    numbers[50] = -7;
    ASSERT_EQ(Fetch(100), OCI_NO_DATA);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROW_COUNT), 250u);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROWS_FETCHED), 50u);
    EXPECT_EQ(numbers[49], 250);
    EXPECT_EQ(numbers[50], -7) << "elements past the delivered rows stay untouched";
    EXPECT_EQ(ErrorText(), "ORA-01403: no data found");

    EXPECT_EQ(Fetch(100), OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-01002: fetch out of sequence");
}

TEST_F(LayerTest, ExecuteOfExactlyTheRowsSucceedsAndTheNextFetchHasNoData) {
    AddNumbers(kQuery, 100);
    int numbers[100] = {};
    ASSERT_EQ(Prepare(kQuery), OCI_SUCCESS);
    ASSERT_EQ(Define(1, numbers, sizeof(int), SQLT_INT), OCI_SUCCESS);
    ASSERT_EQ(Execute(100), OCI_SUCCESS);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROW_COUNT), 100u);
    EXPECT_EQ(Fetch(100), OCI_NO_DATA);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROWS_FETCHED), 0u);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROW_COUNT), 100u);
}

TEST_F(LayerTest, ExecuteAskingForMoreRowsThanExistReturnsNoDataWithTheRows) {
    AddNumbers(kQuery, 3);
    int numbers[10] = {};
    ASSERT_EQ(Prepare(kQuery), OCI_SUCCESS);
    ASSERT_EQ(Define(1, numbers, sizeof(int), SQLT_INT), OCI_SUCCESS);
    EXPECT_EQ(Execute(10), OCI_NO_DATA);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROWS_FETCHED), 3u);
    EXPECT_EQ(numbers[2], 3);
}

TEST_F(LayerTest, ElementSizeIsTheStrideOfValuesAndIndicatorsAreDense) {
    AddNumbers(kQuery, 3);
    struct Row {
        char text[12];
    } rows[3];
    std::int64_t numbers[3] = {};
    sb2 indicators[3] = {5, 5, 5};
    ub2 lengths[3] = {};
    ASSERT_EQ(Prepare(kQuery), OCI_SUCCESS);
    ASSERT_EQ(Define(1, numbers, 8, SQLT_INT), OCI_SUCCESS);
    ASSERT_EQ(Define(2, rows, sizeof(Row), SQLT_STR, indicators, lengths), OCI_SUCCESS);
    ASSERT_EQ(Execute(3), OCI_SUCCESS);
    EXPECT_EQ(numbers[2], 3);
    EXPECT_STREQ(rows[0].text, "row 1");
    EXPECT_STREQ(rows[2].text, "row 3");
    EXPECT_EQ(indicators[2], 0);
    EXPECT_EQ(lengths[1], 5);
}

TEST_F(LayerTest, NullSetsIndicatorAndLeavesTheBufferAsItWas) {
    AddNumbers(kQuery, 3);
    char values[3][4];
    std::memset(values, 'x', sizeof values);
    sb2 indicators[3] = {7, 7, 7};
    ub2 codes[3] = {9, 9, 9};
    ASSERT_EQ(Prepare(kQuery), OCI_SUCCESS);
    ASSERT_EQ(Define(3, values, 4, SQLT_STR, indicators, nullptr, codes), OCI_SUCCESS);
    ASSERT_EQ(Execute(3), OCI_SUCCESS);
    EXPECT_EQ(indicators[0], 0);
    EXPECT_STREQ(values[0], "v");
    EXPECT_EQ(indicators[2], -1);
    EXPECT_EQ(codes[2], 1405);
    EXPECT_EQ(std::string(values[2], 4), "xxxx");
}

TEST_F(LayerTest, NullWithoutIndicatorIsAnError) {
    AddNumbers(kQuery, 3);
    char values[3][4] = {};
    ASSERT_EQ(Prepare(kQuery), OCI_SUCCESS);
    ASSERT_EQ(Define(3, values, 4, SQLT_STR), OCI_SUCCESS);
    EXPECT_EQ(Execute(3), OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-01405: fetched column value is NULL");
}

TEST_F(LayerTest, TruncationWithReturnCodesIsSuccessWithInfo) {
    AddNumbers(kQuery, 12);
    char texts[12][5];
    sb2 indicators[12] = {};
    ub2 lengths[12] = {};
    ub2 codes[12] = {};
    ASSERT_EQ(Prepare(kQuery), OCI_SUCCESS);
    ASSERT_EQ(Define(2, texts, 5, SQLT_STR, indicators, lengths, codes), OCI_SUCCESS);
    ASSERT_EQ(Execute(12), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(ErrorText(), "ORA-24345: A Truncation or null fetch error occurred");
    EXPECT_STREQ(texts[0], "row ");
    EXPECT_EQ(indicators[0], 5) << "the indicator holds the full length";
    EXPECT_EQ(lengths[0], 4);
    EXPECT_EQ(codes[0], 1406);
    EXPECT_EQ(indicators[11], 6);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROWS_FETCHED), 12u);
}

TEST_F(LayerTest, TruncationWithoutReturnCodesIsAnErrorButDeliversTheRows) {
    AddNumbers(kQuery, 4);
    char texts[4][4];
    sb2 indicators[4] = {};
    ASSERT_EQ(Prepare(kQuery), OCI_SUCCESS);
    ASSERT_EQ(Define(2, texts, 4, SQLT_CHR, indicators), OCI_SUCCESS);
    ASSERT_EQ(Execute(0), OCI_SUCCESS);
    EXPECT_EQ(Fetch(4), OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-01406: fetched column value was truncated");
    EXPECT_EQ(std::string(texts[3], 4), "row ");
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROW_COUNT), 4u);
    // The end is still reported once before the cursor is out of sequence.
    EXPECT_EQ(Fetch(4), OCI_NO_DATA);
    EXPECT_EQ(Fetch(4), OCI_ERROR);
}

TEST_F(LayerTest, ServerFailureDuringFetchKeepsTheRowsBeforeIt) {
    AddNumbers(kQuery, 500);
    fake::TheScript().queries[kQuery].failAfter = 130;
    fake::TheScript().queries[kQuery].failure = fake::Error(3113, "end-of-file on communication channel");
    int numbers[100] = {};
    ASSERT_EQ(Prepare(kQuery), OCI_SUCCESS);
    ASSERT_EQ(Define(1, numbers, sizeof(int), SQLT_INT), OCI_SUCCESS);
    ASSERT_EQ(Execute(100), OCI_SUCCESS);
    EXPECT_EQ(Fetch(100), OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-03113: end-of-file on communication channel");
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROWS_FETCHED), 30u);
    EXPECT_EQ(numbers[29], 130);
}

TEST_F(LayerTest, IterationRulesOfExecute) {
    AddNumbers(kQuery, 5);
    ASSERT_EQ(Prepare(kQuery), OCI_SUCCESS);
    EXPECT_EQ(Execute(1), OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-24374: define not done before fetch or execute and fetch");
    EXPECT_EQ(Fetch(1), OCI_ERROR);
    EXPECT_EQ(ErrorCode(), 24338);

    fake::TheScript().handler = [](const std::string&, std::vector<ocisim::Bind>&) {
        ocisim::ExecResult result;
        result.rowsProcessed = 2;
        return result;
    };
    ASSERT_EQ(Prepare("DELETE FROM numbers"), OCI_SUCCESS);
    EXPECT_EQ(Execute(0), OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-24333: zero iteration count");
    EXPECT_EQ(Execute(1), OCI_SUCCESS);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROW_COUNT), 2u);
    EXPECT_EQ(Execute(3), OCI_SUCCESS);
    EXPECT_EQ(StmtAttr(OCI_ATTR_ROW_COUNT), 6u);
}

TEST_F(LayerTest, DescribeOnlyDescribesWithoutRunning) {
    AddNumbers(kQuery, 5);
    ASSERT_EQ(Prepare(kQuery), OCI_SUCCESS);
    void* param = nullptr;
    EXPECT_EQ(OCIParamGet(stmt, OCI_HTYPE_STMT, err, &param, 1), OCI_ERROR);
    ASSERT_EQ(Execute(0, OCI_DESCRIBE_ONLY), OCI_SUCCESS);
    EXPECT_TRUE(fake::TheScript().calls.back().describeOnly);
    EXPECT_EQ(StmtAttr(OCI_ATTR_PARAM_COUNT), 3u);
    ASSERT_EQ(OCIParamGet(stmt, OCI_HTYPE_STMT, err, &param, 2), OCI_SUCCESS);
    OraText* name = nullptr;
    ub4 nameLength = 0;
    ub2 type = 0;
    ub2 size = 0;
    ASSERT_EQ(OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &nameLength, OCI_ATTR_NAME, err), OCI_SUCCESS);
    ASSERT_EQ(OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err), OCI_SUCCESS);
    ASSERT_EQ(OCIAttrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, err), OCI_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(name), nameLength), "T");
    EXPECT_EQ(type, 1);
    EXPECT_EQ(size, 20);
    EXPECT_EQ(OCIParamGet(stmt, OCI_HTYPE_STMT, err, &param, 4), OCI_ERROR);
    EXPECT_EQ(ErrorCode(), 24334);
    EXPECT_EQ(Fetch(1), OCI_ERROR) << "a described statement has not run";
}

// Collects a dynamically defined column: each call first keeps what the previous
// call's chunk received, then hands out the chunk again.
struct Pieces {
    std::vector<std::string> values;
    char chunk[4] = {};
    ub4 length = 0;
    sb2 indicator = 0;
    bool pending = false;
    int calls = 0;

    void Flush() {
        if (pending) values.back() += std::string(chunk, length);
        pending = false;
    }
};

sb4 PieceCallback(void* context, OCIDefine*, ub4, void** buffer, ub4** length, ub1* piece, void** indicator,
                  ub2** code) {
    auto* pieces = static_cast<Pieces*>(context);
    ++pieces->calls;
    pieces->Flush();
    if (*piece == OCI_FIRST_PIECE) pieces->values.emplace_back();
    pieces->length = sizeof pieces->chunk;
    *buffer = pieces->chunk;
    *length = &pieces->length;
    *indicator = &pieces->indicator;
    *code = nullptr;
    pieces->pending = true;
    return OCI_CONTINUE;
}

TEST_F(LayerTest, DynamicDefineHandsOutTheValueInPieces) {
    AddNumbers(kQuery, 2);
    Pieces pieces;
    ub2 length = 0;
    OCIDefine* define = nullptr;
    ASSERT_EQ(Prepare(kQuery), OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(stmt, &define, err, 2, nullptr, 0x7FFFFFFF, SQLT_CHR, nullptr, &length, nullptr,
                             OCI_DYNAMIC_FETCH),
              OCI_SUCCESS);
    ASSERT_EQ(OCIDefineDynamic(define, err, &pieces, PieceCallback), OCI_SUCCESS);
    ASSERT_EQ(Execute(1), OCI_SUCCESS);
    ASSERT_EQ(Fetch(1), OCI_SUCCESS);
    pieces.Flush();
    EXPECT_EQ(pieces.values, (std::vector<std::string>{"row 1", "row 2"}));
    EXPECT_EQ(pieces.calls, 4) << "two pieces of four and one byte per row";
}

}  // namespace
