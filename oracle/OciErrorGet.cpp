#include "oracle/OciErrorGet.h"

#include "oracle/CallAvailability.h"
#include "oracle/OciHelpers.h"

namespace corvid {

namespace {
int Get(const COci8EntryTable& table, oci::OCIError* error, char (&buffer)[512]) {
    oci::sb4 code = 0;
    table.OCIErrorGet(error, 1, nullptr, &code, reinterpret_cast<oci::OraText*>(buffer), sizeof(buffer),
                      oci::OCI_HTYPE_ERROR);
    buffer[sizeof(buffer) - 1] = '\0';
    return code;
}
}  // namespace

int OciErrorCode(const COci8EntryTable& table, oci::OCIError* error) {
    if (!table.OCIErrorGet || !error) return 0;
    char buffer[512] = {};
    return Get(table, error, buffer);
}

std::string OciErrorText(const COci8EntryTable& table, oci::OCIError* error) {
    CCallAvailability call;
    if (!call.Ready(table.OCIErrorGet, "OCIErrorGet")) return call.Text();
    if (!error) return {};
    char buffer[512] = {};
    Get(table, error, buffer);
    return TrimMessage(buffer);
}

}  // namespace corvid
