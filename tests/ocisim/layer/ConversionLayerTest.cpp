// Conversions between server values and the external types, checked on the
// buffers themselves.

#include <cmath>
#include <cstdint>

#include "layer/LayerFixture.h"
#include "ocisim/oci/ExternalValue.h"

namespace {

using ocisim::Value;
using ocisim::oci::ElementBuffer;
using ocisim::oci::PutStatus;

std::string Hex(const std::string& bytes) {
    std::string out;
    char digits[4];
    for (unsigned char c : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", c);
        out += digits;
    }
    return out;
}

PutStatus Put(const Value& value, void* buffer, sb4 size, ub2 dty, sb2* indicator = nullptr, ub2* length = nullptr,
              ocisim::OraError* error = nullptr) {
    ElementBuffer element{buffer, size, dty, indicator, length, nullptr};
    ocisim::OraError scratch;
    return ocisim::oci::PutValue(value, element, error ? *error : scratch);
}

TEST(ConversionTest, NumberBytesFollowOraclesFormat) {
    EXPECT_EQ(Hex(ocisim::oci::EncodeNumber(0)), "80");
    EXPECT_EQ(Hex(ocisim::oci::EncodeNumber(1)), "C102");
    EXPECT_EQ(Hex(ocisim::oci::EncodeNumber(100)), "C202");
    EXPECT_EQ(Hex(ocisim::oci::EncodeNumber(123.45)), "C202182E");
    EXPECT_EQ(Hex(ocisim::oci::EncodeNumber(0.5)), "C033");
    EXPECT_EQ(Hex(ocisim::oci::EncodeNumber(-1)), "3E6466");
    EXPECT_EQ(Hex(ocisim::oci::EncodeNumber(-123.45)), "3D644E3866");
    // Outside NUMBER's range: underflow to zero, overflow to Oracle's infinities
    // (the exponent byte once wrapped round: 1e130 came out as 02 02).
    EXPECT_EQ(Hex(ocisim::oci::EncodeNumber(1e-131)), "80");
    EXPECT_EQ(Hex(ocisim::oci::EncodeNumber(1e-130)), "8002");
    EXPECT_EQ(Hex(ocisim::oci::EncodeNumber(9e125)), "FF5B");
    EXPECT_EQ(Hex(ocisim::oci::EncodeNumber(1e130)), "FF65");
    EXPECT_EQ(Hex(ocisim::oci::EncodeNumber(-1e130)), "00");
    for (double n : {0.0, 1.0, -1.0, 0.001, 42.5, -987654321.0, 9007199254740991.0, 1e-7, 1e-130, -9e125, HUGE_VAL,
                     -HUGE_VAL}) {
        const std::string bytes = ocisim::oci::EncodeNumber(n);
        double back = 0;
        ASSERT_TRUE(ocisim::oci::DecodeNumber(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                              back));
        EXPECT_DOUBLE_EQ(back, n);
    }
}

TEST(ConversionTest, DateBytesAreCenturyYearMonthDayAndExcessOneTime) {
    unsigned char bytes[7];
    // 2003-07-14 09:12:55
    const std::int64_t seconds = 1058173975;
    ocisim::oci::EncodeDate(seconds, bytes);
    EXPECT_EQ(Hex(std::string(reinterpret_cast<char*>(bytes), 7)), "7867070E0A0D38");
    EXPECT_EQ(ocisim::oci::DecodeDate(bytes), seconds);
}

TEST(ConversionTest, IntegersRoundAndOverflowIsAnError) {
    std::int16_t small = 0;
    EXPECT_EQ(Put(Value::Num(2.6), &small, 2, SQLT_INT), PutStatus::Ok);
    EXPECT_EQ(small, 3);
    std::int32_t number = 0;
    EXPECT_EQ(Put(Value::Str("42"), &number, 4, SQLT_INT), PutStatus::Ok);
    EXPECT_EQ(number, 42);
    ocisim::OraError error;
    EXPECT_EQ(Put(Value::Num(40000), &small, 2, SQLT_INT, nullptr, nullptr, &error), PutStatus::Failed);
    EXPECT_EQ(error.code, 1455);
    EXPECT_EQ(Put(Value::Str("abc"), &number, 4, SQLT_INT, nullptr, nullptr, &error), PutStatus::Failed);
    EXPECT_EQ(error.code, 1722);
    EXPECT_EQ(Put(Value::DateAt(0), &number, 4, SQLT_INT, nullptr, nullptr, &error), PutStatus::Failed);
    EXPECT_EQ(error.code, 932);
    double real = 0;
    EXPECT_EQ(Put(Value::Num(2.5), &real, 8, SQLT_FLT), PutStatus::Ok);
    EXPECT_EQ(real, 2.5);
}

TEST(ConversionTest, CharacterTypesPadTerminateAndTruncateAsOracleDoes) {
    char buffer[8];
    sb2 indicator = 0;
    ub2 length = 0;

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(Put(Value::Str("AB"), buffer, 6, SQLT_AFC, &indicator, &length), PutStatus::Ok);
    EXPECT_EQ(std::string(buffer, 6), "AB    ");
    EXPECT_EQ(length, 6);

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(Put(Value::Str("AB"), buffer, 6, SQLT_AVC, &indicator, &length), PutStatus::Ok);
    EXPECT_EQ(std::string(buffer, 6), std::string("AB   \0", 6));

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(Put(Value::Str("ABCDEF"), buffer, 4, SQLT_CHR, &indicator, &length), PutStatus::Truncated);
    EXPECT_EQ(std::string(buffer, 5), "ABCDx");
    EXPECT_EQ(indicator, 6);
    EXPECT_EQ(length, 4);

    EXPECT_EQ(Put(Value::Str(std::string(40000, 'a')), buffer, 8, SQLT_STR, &indicator, &length),
              PutStatus::Truncated);
    EXPECT_EQ(indicator, -2) << "a length beyond 32767 does not fit the indicator";
    EXPECT_STREQ(buffer, "aaaaaaa");

    EXPECT_EQ(Put(Value::Num(0.5), buffer, 8, SQLT_STR), PutStatus::Ok);
    EXPECT_STREQ(buffer, ".5");
}

TEST(ConversionTest, VaryingTypesCarryTheirLengthInFront) {
    // VARCHAR: 2-byte length; LONG VARCHAR: 4-byte length (it was refused as an
    // unsupported type). The length counts what the buffer kept.
    unsigned char buffer[10];
    sb2 indicator = 0;
    EXPECT_EQ(Put(Value::Str("ABC"), buffer, 9, SQLT_VCS, &indicator), PutStatus::Ok);
    EXPECT_EQ(Hex(std::string(reinterpret_cast<char*>(buffer), 5)), "0300414243");
    EXPECT_EQ(Put(Value::Str("ABCDEFGH"), buffer, 9, SQLT_LVC, &indicator), PutStatus::Truncated);
    EXPECT_EQ(Hex(std::string(reinterpret_cast<char*>(buffer), 9)), "050000004142434445");
    EXPECT_EQ(indicator, 8);

    ElementBuffer element{buffer, 9, SQLT_LVC, nullptr, nullptr, nullptr};
    Value value;
    ocisim::OraError error;
    ASSERT_TRUE(ocisim::oci::GetValue(element, value, error));
    EXPECT_EQ(value.text, "ABCDE");
    EXPECT_TRUE(ocisim::oci::IsSupportedType(SQLT_LVC));
}

TEST(ConversionTest, BoundStringsNeedTheirTerminator) {
    char text[4] = {'a', 'b', 'c', 'd'};
    ElementBuffer element{text, 4, SQLT_STR, nullptr, nullptr, nullptr};
    Value value;
    ocisim::OraError error;
    EXPECT_FALSE(ocisim::oci::GetValue(element, value, error));
    EXPECT_EQ(error.code, 1480);
    text[2] = '\0';
    ASSERT_TRUE(ocisim::oci::GetValue(element, value, error));
    EXPECT_EQ(value.text, "ab");
    sb2 null = -1;
    element.indicator = &null;
    ASSERT_TRUE(ocisim::oci::GetValue(element, value, error));
    EXPECT_TRUE(value.IsNull());
    text[0] = '\0';
    element.indicator = nullptr;
    ASSERT_TRUE(ocisim::oci::GetValue(element, value, error));
    EXPECT_TRUE(value.IsNull()) << "the empty string is NULL";
}

}  // namespace
