#pragma once

#include <string>

#include "oracle/ConnectMode.h"

namespace corvid {

// One interface generation's side of a connection: logon, logoff, commit and the
// error of the last failed call.
class COracleConnectionImp {
public:
    virtual ~COracleConnectionImp() = default;
    virtual int GetErrorCode() = 0;
    virtual std::string GetErrorText() = 0;
    virtual int Logon(const std::string& user, const std::string& password, const std::string& server,
                      EConnectMode mode) = 0;
    virtual int Logoff() = 0;
    virtual int Commit() = 0;
};

}  // namespace corvid
