#pragma once

#include <cstring>
#include <string>

#include "oracle/OciTypes.h"

namespace corvid {

// The two fields of a release-7 data area that the layer reads.
inline int CdaReturnCode(const unsigned char* cda) {
    oci::ub2 rc;
    std::memcpy(&rc, cda + oci::kCdaReturnCodeOffset, sizeof(rc));
    return rc;
}

inline unsigned CdaRowsProcessed(const unsigned char* cda) {
    oci::ub4 rpc;
    std::memcpy(&rpc, cda + oci::kCdaRowsProcessedOffset, sizeof(rpc));
    return rpc;
}

// A client message without the line end the client puts after it.
inline std::string TrimMessage(const char* text) {
    std::string message(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

}  // namespace corvid
