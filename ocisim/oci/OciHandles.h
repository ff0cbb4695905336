#pragma once

// The release 8 handles and descriptors behind Oracle's opaque handle types. Every
// handle starts with the same header (a check word, its handle type and its
// environment), so that a handle passed as `void*` can be checked before use.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ocisim/engine/Engine.h"
#include "ocisim/oci/BindBuffers.h"
#include "ocisim/oci/ResultCursor.h"
#include "ocisim/oci/SessionLink.h"
#include "ocisim/oci/ocisim_oci.h"

namespace ocisim::oci {

constexpr ub4 kHandleCheck = 0x4F434948;

struct HandleBase {
    ub4 check = kHandleCheck;
    ub4 type = 0;
    OCIEnv* env = nullptr;
    std::vector<char> userMemory;  // the caller's extra memory of OCIHandleAlloc
};

// An error record: the last error, warning or no-data condition of a call.
struct ErrorRecord {
    OraError error;
    bool present = false;
};

}  // namespace ocisim::oci

struct OCIEnv : ocisim::oci::HandleBase {
    ub4 mode = 0;
    std::vector<ocisim::oci::HandleBase*> children;
    ocisim::oci::ErrorRecord record;
};

struct OCIError : ocisim::oci::HandleBase {
    ocisim::oci::ErrorRecord record;
};

struct OCIServer : ocisim::oci::HandleBase {
    std::shared_ptr<ocisim::Server> server;  // set while attached
    std::string alias;
};

struct OCISession : ocisim::oci::HandleBase {
    std::string user;
    std::string password;
    std::shared_ptr<ocisim::oci::SessionLink> link;  // set while the session is begun
};

struct OCISvcCtx : ocisim::oci::HandleBase {
    OCIServer* server = nullptr;
    OCISession* session = nullptr;
    bool fromLogon = false;  // made by OCILogon, which owns its server and session
};

struct OCIDefine : ocisim::oci::HandleBase {
    OCIStmt* stmt = nullptr;
    ocisim::oci::DefineSpec spec;
};

struct OCIBind : ocisim::oci::HandleBase {
    OCIStmt* stmt = nullptr;
    std::string name;
};

struct OCIParam : ocisim::oci::HandleBase {
    OCIStmt* stmt = nullptr;
    ocisim::ColumnDesc column;
};

struct OCILobLocator : ocisim::oci::HandleBase {};

struct OCIStmt : ocisim::oci::HandleBase {
    std::string sql;
    bool prepared = false;
    ocisim::StatementType stmtType = ocisim::StatementType::Unknown;
    std::vector<std::string> placeholders;
    std::map<unsigned, std::unique_ptr<OCIDefine>> defines;
    std::vector<std::unique_ptr<OCIBind>> binds;
    ocisim::oci::CBindBuffers bindBuffers;
    std::vector<std::unique_ptr<OCIParam>> params;
    ocisim::oci::CResultCursor result;
    bool executed = false;
    bool isQuery = false;
    std::uint64_t rowCount = 0;  // DML: rows processed by the last execute
    ub4 prefetchRows = 1;
    ub4 prefetchMemory = 0;
};
