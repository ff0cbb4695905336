#pragma once

#include <string>

#include "oracle/OciTypes.h"

namespace corvid {

// The message of a failed client call: "ORACLE Error #<number>" (or "ORACLE Error"
// when the number is 0), a line feed and the detail. The detail names the return
// code when the client gave one of its status codes, and is the client's error
// text otherwise. `source` is a connection or cursor implementation; its error is
// read only where the return code calls for it.
template <class Source>
std::string FormatOracleError(int returnCode, Source& source) {
    long number = 0;
    std::string detail;
    switch (returnCode) {
        case oci::OCI_SUCCESS:
            break;
        case oci::OCI_SUCCESS_WITH_INFO:
            detail = "OCI_SUCCESS_WITH_INFO";
            number = source.GetErrorCode();
            break;
        case oci::OCI_NEED_DATA:
            detail = "OCI_NEED_DATA";
            number = source.GetErrorCode();
            break;
        case oci::OCI_NO_DATA:
            detail = "OCI_NO_DATA";
            number = source.GetErrorCode();
            break;
        case oci::OCI_INVALID_HANDLE:
            detail = "OCI_INVALID_HANDLE";
            break;
        case oci::OCI_STILL_EXECUTING:
            detail = "OCI_STILL_EXECUTE";
            break;
        case oci::OCI_CONTINUE:
            detail = "OCI_CONTINUE";
            break;
        default:
            detail = source.GetErrorText();
            number = source.GetErrorCode();
            break;
    }
    std::string header = number != 0 ? "ORACLE Error #" + std::to_string(number) : std::string("ORACLE Error");
    return header + "\n" + detail;
}

}  // namespace corvid
