#include "ocisim/oci/ExternalValue.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "ocisim/oci/ClientErrors.h"

namespace ocisim::oci {

namespace {

bool IsCharType(ub2 dty) {
    switch (dty) {
        case SQLT_CHR:
        case SQLT_STR:
        case SQLT_LNG:
        case SQLT_VCS:
        case SQLT_LVC:
        case SQLT_AFC:
        case SQLT_AVC:
            return true;
        default:
            return false;
    }
}

// The value as a number for the numeric external types.
bool NumberOf(const Value& value, double& number, OraError& err) {
    if (value.type == Value::Type::Date) {
        err = MakeClientError(kInconsistentDatatypes);
        return false;
    }
    if (value.type == Value::Type::Number) {
        number = value.number;
        return true;
    }
    return value.ToNumber(number, err);
}

void SetOutcome(const ElementBuffer& element, sb2 indicator, std::size_t length, ub2 code) {
    if (element.indicator) *element.indicator = indicator;
    if (element.length) *element.length = static_cast<ub2>(length > 0xFFFF ? 0xFFFF : length);
    if (element.returnCode) *element.returnCode = code;
}

sb2 TruncatedIndicator(std::size_t fullLength) {
    return fullLength > 32767 ? static_cast<sb2>(-2) : static_cast<sb2>(fullLength);
}

template <typename T>
void Store(void* target, T value) {
    std::memcpy(target, &value, sizeof value);
}

template <typename T>
T Load(const void* source) {
    T value;
    std::memcpy(&value, source, sizeof value);
    return value;
}

PutStatus PutInteger(double number, const ElementBuffer& element, OraError& err) {
    // Oracle rounds a NUMBER to the nearest integer for the integer types.
    const double rounded = std::round(number);
    const bool isUnsigned = element.dty == SQLT_UIN;
    double low = 0;
    double high = 0;
    switch (element.size) {
        case 1: low = isUnsigned ? 0 : -128.0; high = isUnsigned ? 255.0 : 127.0; break;
        case 2: low = isUnsigned ? 0 : -32768.0; high = isUnsigned ? 65535.0 : 32767.0; break;
        case 4: low = isUnsigned ? 0 : -2147483648.0; high = isUnsigned ? 4294967295.0 : 2147483647.0; break;
        case 8: low = isUnsigned ? 0 : -9223372036854775808.0; high = isUnsigned ? 18446744073709551615.0
                                                                                : 9223372036854775807.0; break;
        default:
            err = MakeClientError(kUnsupportedDatatype);
            return PutStatus::Failed;
    }
    if (rounded < low || rounded > high || (element.size == 8 && rounded >= high)) {
        err = MakeClientError(kIntegerOverflow);
        return PutStatus::Failed;
    }
    switch (element.size) {
        case 1:
            if (isUnsigned) Store(element.value, static_cast<std::uint8_t>(rounded));
            else Store(element.value, static_cast<std::int8_t>(rounded));
            break;
        case 2:
            if (isUnsigned) Store(element.value, static_cast<std::uint16_t>(rounded));
            else Store(element.value, static_cast<std::int16_t>(rounded));
            break;
        case 4:
            if (isUnsigned) Store(element.value, static_cast<std::uint32_t>(rounded));
            else Store(element.value, static_cast<std::int32_t>(rounded));
            break;
        default:
            if (isUnsigned) Store(element.value, static_cast<std::uint64_t>(rounded));
            else Store(element.value, static_cast<std::int64_t>(rounded));
            break;
    }
    SetOutcome(element, 0, static_cast<std::size_t>(element.size), 0);
    return PutStatus::Ok;
}

PutStatus PutFloat(double number, const ElementBuffer& element, OraError& err) {
    if (element.size == 4) {
        Store(element.value, static_cast<float>(number));
    } else if (element.size == 8) {
        Store(element.value, number);
    } else {
        err = MakeClientError(kUnsupportedDatatype);
        return PutStatus::Failed;
    }
    SetOutcome(element, 0, static_cast<std::size_t>(element.size), 0);
    return PutStatus::Ok;
}

// Copies bytes that may not fit into a buffer of `capacity` and reports the outcome.
PutStatus PutBytes(const std::string& bytes, char* target, std::size_t capacity, std::size_t reportedLength,
                   const ElementBuffer& element) {
    const std::size_t written = bytes.size() < capacity ? bytes.size() : capacity;
    if (written > 0) std::memcpy(target, bytes.data(), written);
    if (written < bytes.size()) {
        SetOutcome(element, TruncatedIndicator(bytes.size()), reportedLength == 0 ? written : reportedLength,
                   kTruncated);
        return PutStatus::Truncated;
    }
    SetOutcome(element, 0, reportedLength == 0 ? written : reportedLength, 0);
    return PutStatus::Ok;
}

PutStatus PutText(const std::string& text, const ElementBuffer& element) {
    char* target = static_cast<char*>(element.value);
    const std::size_t size = element.size > 0 ? static_cast<std::size_t>(element.size) : 0;
    switch (element.dty) {
        case SQLT_STR: {
            // The terminating NUL takes one byte of the element.
            const std::size_t capacity = size > 0 ? size - 1 : 0;
            const std::size_t written = text.size() < capacity ? text.size() : capacity;
            const PutStatus status = PutBytes(text, target, capacity, 0, element);
            if (size > 0) target[written] = '\0';
            return status;
        }
        case SQLT_AFC: {
            // Fixed CHAR: blank-padded to the element size.
            const PutStatus status = PutBytes(text, target, size, size, element);
            if (text.size() < size) std::memset(target + text.size(), ' ', size - text.size());
            return status;
        }
        case SQLT_AVC: {
            // CHARZ: blank-padded and NUL-terminated.
            const std::size_t capacity = size > 0 ? size - 1 : 0;
            const PutStatus status = PutBytes(text, target, capacity, capacity, element);
            if (text.size() < capacity) std::memset(target + text.size(), ' ', capacity - text.size());
            if (size > 0) target[capacity] = '\0';
            return status;
        }
        case SQLT_VCS: {
            if (size < 2) {
                SetOutcome(element, TruncatedIndicator(text.size()), 0, kTruncated);
                return PutStatus::Truncated;
            }
            const std::size_t capacity = size - 2;
            const std::size_t written = text.size() < capacity ? text.size() : capacity;
            Store(target, static_cast<std::uint16_t>(written));
            return PutBytes(text, target + 2, capacity, 0, element);
        }
        case SQLT_LVC: {
            // LONG VARCHAR: a 4-byte length, then the bytes.
            if (size < 4) {
                SetOutcome(element, TruncatedIndicator(text.size()), 0, kTruncated);
                return PutStatus::Truncated;
            }
            const std::size_t capacity = size - 4;
            const std::size_t written = text.size() < capacity ? text.size() : capacity;
            Store(target, static_cast<std::int32_t>(written));
            return PutBytes(text, target + 4, capacity, 0, element);
        }
        default:  // SQLT_CHR, SQLT_LNG: the bytes alone
            return PutBytes(text, target, size, 0, element);
    }
}

// Days since 1970-01-01 of a civil date, and back.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

}  // namespace

bool IsSupportedType(ub2 dty) {
    switch (dty) {
        case SQLT_CHR:
        case SQLT_NUM:
        case SQLT_INT:
        case SQLT_FLT:
        case SQLT_STR:
        case SQLT_VNU:
        case SQLT_LNG:
        case SQLT_VCS:
        case SQLT_DAT:
        case SQLT_BFLOAT:
        case SQLT_BDOUBLE:
        case SQLT_UIN:
        case SQLT_LVC:
        case SQLT_AFC:
        case SQLT_AVC:
        case SQLT_IBFLOAT:
        case SQLT_IBDOUBLE:
            return true;
        default:
            return false;
    }
}

int DisplaySize(const ColumnDesc& column) {
    if (column.type == ColumnType::Number) return column.precision > 0 ? column.precision + 2 : 40;
    if (column.type == ColumnType::Date) return 9;
    if (column.type == kColumnTypeRaw) return 2 * column.size;
    return column.size;
}

std::string EncodeNumber(double number) {
    const std::string zero(1, static_cast<char>(0x80));
    if (number == 0 || std::isnan(number)) return zero;
    const bool negative = number < 0;
    // Beyond the range of NUMBER: Oracle's infinities, FF 65 and 00.
    const std::string infinity = negative ? std::string(1, '\0') : std::string("\xFF\x65", 2);
    if (std::isinf(number)) return infinity;
    char text[40];
    std::snprintf(text, sizeof text, "%.15e", std::fabs(number));
    // text: d.ddddddddddddddde[+-]xx
    std::string digits;
    digits += text[0];
    const char* p = text + 2;
    while (*p >= '0' && *p <= '9') digits += *p++;
    const int exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    // value = 0.[base-100 digits] scaled so that the first base-100 digit holds one
    // or two decimal digits.
    const int k = exponent >= 0 ? exponent / 2 : -((-exponent + 1) / 2);
    // The exponent byte holds base-100 exponents -65..62 (1e-130 <= |n| < 1e126;
    // 1e-130 is 80 02, zero the lone byte 80); below that the value underflows.
    if (k < -65) return zero;
    if (k > 62) return infinity;
    const int firstGroup = exponent - 2 * k + 1;  // 1 or 2
    std::string groups = digits;
    if (firstGroup == 2 && groups.size() < 2) groups += '0';
    std::string out;
    out += static_cast<char>(negative ? 62 - k : 193 + k);
    std::size_t pos = 0;
    auto emit = [&](int digit) { out += static_cast<char>(negative ? 101 - digit : digit + 1); };
    if (firstGroup == 1) {
        emit(groups[0] - '0');
        pos = 1;
    } else {
        emit((groups[0] - '0') * 10 + (groups[1] - '0'));
        pos = 2;
    }
    while (pos < groups.size()) {
        const int high = groups[pos] - '0';
        const int low = pos + 1 < groups.size() ? groups[pos + 1] - '0' : 0;
        emit(high * 10 + low);
        pos += 2;
    }
    if (negative && out.size() < 21) out += static_cast<char>(102);
    return out;
}

bool DecodeNumber(const unsigned char* bytes, std::size_t length, double& number) {
    if (length == 0) return false;
    if (bytes[0] == 0x80 && length == 1) {
        number = 0;
        return true;
    }
    if ((bytes[0] == 0xFF && length >= 2 && bytes[1] == 0x65) || (bytes[0] == 0 && length == 1)) {
        number = bytes[0] == 0 ? -HUGE_VAL : HUGE_VAL;
        return true;
    }
    const bool positive = (bytes[0] & 0x80) != 0;
    const int k = positive ? bytes[0] - 193 : 62 - bytes[0];
    double value = 0;
    double scale = std::pow(100.0, k);
    for (std::size_t i = 1; i < length; ++i) {
        if (!positive && bytes[i] == 102) break;
        const int digit = positive ? bytes[i] - 1 : 101 - bytes[i];
        if (digit < 0 || digit > 99) return false;
        value += digit * scale;
        scale /= 100.0;
    }
    number = positive ? value : -value;
    return true;
}

void EncodeDate(std::int64_t seconds, unsigned char out[7]) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days, year, month, day);
    out[0] = static_cast<unsigned char>(year / 100 + 100);
    out[1] = static_cast<unsigned char>(year % 100 + 100);
    out[2] = static_cast<unsigned char>(month);
    out[3] = static_cast<unsigned char>(day);
    out[4] = static_cast<unsigned char>(rest / 3600 + 1);
    out[5] = static_cast<unsigned char>(rest % 3600 / 60 + 1);
    out[6] = static_cast<unsigned char>(rest % 60 + 1);
}

std::int64_t DecodeDate(const unsigned char in[7]) {
    const std::int64_t year = (static_cast<int>(in[0]) - 100) * 100 + (static_cast<int>(in[1]) - 100);
    const std::int64_t days = DaysFromCivil(year, in[2], in[3]);
    return days * 86400 + (in[4] - 1) * 3600 + (in[5] - 1) * 60 + (in[6] - 1);
}

bool RenderValue(const Value& value, ub2 dty, std::string& bytes, OraError& err) {
    if (IsCharType(dty)) {
        bytes = value.ToText();
        return true;
    }
    char scratch[32] = {};
    ElementBuffer element;
    element.value = scratch;
    element.dty = dty;
    element.size = dty == SQLT_NUM || dty == SQLT_VNU ? 22 : dty == SQLT_DAT ? 7
                   : dty == SQLT_FLT || dty == SQLT_BDOUBLE || dty == SQLT_IBDOUBLE || dty == SQLT_INT ||
                           dty == SQLT_UIN
                       ? 8
                       : 4;
    ub2 length = 0;
    element.length = &length;
    if (PutValue(value, element, err) == PutStatus::Failed) return false;
    bytes.assign(scratch, length);
    return true;
}

PutStatus PutValue(const Value& value, const ElementBuffer& element, OraError& err) {
    if (value.IsNull()) {
        // The buffer keeps what it held.
        if (element.indicator) *element.indicator = -1;
        if (element.length) *element.length = 0;
        if (element.returnCode) *element.returnCode = kNullFetched;
        return PutStatus::Null;
    }
    if (IsCharType(element.dty)) return PutText(value.ToText(), element);

    switch (element.dty) {
        case SQLT_INT:
        case SQLT_UIN: {
            double number = 0;
            if (!NumberOf(value, number, err)) return PutStatus::Failed;
            return PutInteger(number, element, err);
        }
        case SQLT_FLT:
        case SQLT_BFLOAT:
        case SQLT_BDOUBLE:
        case SQLT_IBFLOAT:
        case SQLT_IBDOUBLE: {
            double number = 0;
            if (!NumberOf(value, number, err)) return PutStatus::Failed;
            return PutFloat(number, element, err);
        }
        case SQLT_NUM:
        case SQLT_VNU: {
            double number = 0;
            if (!NumberOf(value, number, err)) return PutStatus::Failed;
            std::string bytes = EncodeNumber(number);
            char* target = static_cast<char*>(element.value);
            std::size_t capacity = element.size > 0 ? static_cast<std::size_t>(element.size) : 0;
            if (element.dty == SQLT_VNU) {
                if (capacity == 0) {
                    SetOutcome(element, TruncatedIndicator(bytes.size() + 1), 0, kTruncated);
                    return PutStatus::Truncated;
                }
                target[0] = static_cast<char>(bytes.size());
                ++target;
                --capacity;
            }
            return PutBytes(bytes, target, capacity, 0, element);
        }
        case SQLT_DAT: {
            if (value.type != Value::Type::Date) {
                err = MakeClientError(kInconsistentDatatypes);
                return PutStatus::Failed;
            }
            unsigned char bytes[7];
            EncodeDate(value.date, bytes);
            return PutBytes(std::string(reinterpret_cast<char*>(bytes), 7), static_cast<char*>(element.value),
                            element.size > 0 ? static_cast<std::size_t>(element.size) : 0, 0, element);
        }
        default:
            err = MakeClientError(kUnsupportedDatatype);
            return PutStatus::Failed;
    }
}

bool GetValue(const ElementBuffer& element, Value& value, OraError& err) {
    if ((element.indicator && *element.indicator < 0) || element.value == nullptr) {
        value = Value::Null();
        return true;
    }
    const char* source = static_cast<const char*>(element.value);
    const std::size_t size = element.size > 0 ? static_cast<std::size_t>(element.size) : 0;
    const std::size_t given = element.length ? *element.length : size;
    switch (element.dty) {
        case SQLT_STR:
        case SQLT_AVC: {
            std::size_t length = 0;
            if (element.size < 0) {
                length = std::strlen(source);
            } else {
                const void* end = std::memchr(source, '\0', size);
                if (end == nullptr) {
                    err = MakeClientError(kTrailingNullMissing);
                    return false;
                }
                length = static_cast<std::size_t>(static_cast<const char*>(end) - source);
            }
            value = Value::Str(std::string(source, length));
            return true;
        }
        case SQLT_CHR:
        case SQLT_LNG:
        case SQLT_AFC:
            value = Value::Str(std::string(source, given < size ? given : size));
            return true;
        case SQLT_VCS: {
            if (size < 2) {
                value = Value::Null();
                return true;
            }
            std::size_t length = Load<std::uint16_t>(source);
            if (length > size - 2) length = size - 2;
            value = Value::Str(std::string(source + 2, length));
            return true;
        }
        case SQLT_LVC: {
            if (size < 4) {
                value = Value::Null();
                return true;
            }
            const std::int32_t stored = Load<std::int32_t>(source);
            std::size_t length = stored > 0 ? static_cast<std::size_t>(stored) : 0;
            if (length > size - 4) length = size - 4;
            value = Value::Str(std::string(source + 4, length));
            return true;
        }
        case SQLT_INT:
        case SQLT_UIN: {
            const bool isUnsigned = element.dty == SQLT_UIN;
            double number = 0;
            switch (size) {
                case 1: number = isUnsigned ? Load<std::uint8_t>(source) : Load<std::int8_t>(source); break;
                case 2: number = isUnsigned ? Load<std::uint16_t>(source) : Load<std::int16_t>(source); break;
                case 4:
                    // Each branch on its own: a common type of uint32_t would turn -1 into 4294967295.
                    number = isUnsigned ? static_cast<double>(Load<std::uint32_t>(source))
                                        : static_cast<double>(Load<std::int32_t>(source));
                    break;
                case 8:
                    number = isUnsigned ? static_cast<double>(Load<std::uint64_t>(source))
                                        : static_cast<double>(Load<std::int64_t>(source));
                    break;
                default:
                    err = MakeClientError(kUnsupportedDatatype);
                    return false;
            }
            value = Value::Num(number);
            return true;
        }
        case SQLT_FLT:
        case SQLT_BFLOAT:
        case SQLT_BDOUBLE:
        case SQLT_IBFLOAT:
        case SQLT_IBDOUBLE:
            if (size == 4) {
                value = Value::Num(Load<float>(source));
            } else if (size == 8) {
                value = Value::Num(Load<double>(source));
            } else {
                err = MakeClientError(kUnsupportedDatatype);
                return false;
            }
            return true;
        case SQLT_NUM:
        case SQLT_VNU: {
            const unsigned char* bytes = reinterpret_cast<const unsigned char*>(source);
            std::size_t length = given;
            if (element.dty == SQLT_VNU && size > 0) {
                length = bytes[0];
                ++bytes;
                if (length > size - 1) length = size - 1;
            }
            double number = 0;
            if (!DecodeNumber(bytes, length > 22 ? 22 : length, number)) {
                err = MakeClientError(kInvalidNumber);
                return false;
            }
            value = Value::Num(number);
            return true;
        }
        case SQLT_DAT:
            if (size < 7) {
                err = MakeClientError(kInconsistentDatatypes);
                return false;
            }
            value = Value::DateAt(DecodeDate(reinterpret_cast<const unsigned char*>(source)));
            return true;
        default:
            err = MakeClientError(kUnsupportedDatatype);
            return false;
    }
}

}  // namespace ocisim::oci
