#pragma once

// Conversion between the server's values and the caller's buffers in Oracle's
// external data types: what a define receives on fetch, what a bind sends and
// what an OUT bind receives back.

#include <cstdint>
#include <string>

#include "ocisim/engine/Engine.h"
#include "ocisim/oci/ocisim_oci.h"

namespace ocisim::oci {

// One element of a define or bind: the value buffer and the optional indicator,
// returned length and column return code of that element.
struct ElementBuffer {
    void* value = nullptr;
    sb4 size = 0;
    ub2 dty = 0;
    sb2* indicator = nullptr;
    ub2* length = nullptr;
    ub2* returnCode = nullptr;
};

enum class PutStatus { Ok, Null, Truncated, Failed };

// True for the external types the libraries convert to and from.
bool IsSupportedType(ub2 dty);

// Writes a fetched value into one element. A NULL sets the indicator to -1 and
// leaves the buffer as it was; text that does not fit is cut to the buffer, the
// indicator gets its full length (-2 beyond 32767) and the return code 1406.
// Failed: a conversion error, in `err`.
PutStatus PutValue(const Value& value, const ElementBuffer& element, OraError& err);

// The bytes the value takes in the given external type, without limit (used for
// pieces of a dynamic define). False with `err` for a conversion error.
bool RenderValue(const Value& value, ub2 dty, std::string& bytes, OraError& err);

// Reads one bound element as a server value. `length` is the element's actual
// length when the caller gave a length array, else the buffer size is used.
bool GetValue(const ElementBuffer& element, Value& value, OraError& err);

// The display size of a described column: the characters its values take as text.
int DisplaySize(const ColumnDesc& column);

// Oracle's internal NUMBER and DATE byte formats (SQLT_NUM, SQLT_DAT).
std::string EncodeNumber(double number);
bool DecodeNumber(const unsigned char* bytes, std::size_t length, double& number);
void EncodeDate(std::int64_t seconds, unsigned char out[7]);
std::int64_t DecodeDate(const unsigned char in[7]);

}  // namespace ocisim::oci
