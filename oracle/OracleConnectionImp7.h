#pragma once

#include <string>

#include "oracle/ConnectMode.h"

#include "oracle/CallAvailability.h"
#include "oracle/Oci7EntryTable.h"
#include "oracle/OracleConnectionImp.h"

namespace corvid {

class IDynamicLibraryLoader;

// A connection through the release-7 interface: a logon data area and a host data
// area, both zero-filled and owned here. Every logon is a NORMAL logon.
class COracleConnectionImp7 : public COracleConnectionImp {
public:
    // Binds the release-7 table from the loaded library and initialises the client
    // in its thread-safe mode.
    COracleConnectionImp7(IDynamicLibraryLoader& loader, void* library);
    ~COracleConnectionImp7() override = default;
    COracleConnectionImp7(const COracleConnectionImp7&) = delete;
    COracleConnectionImp7& operator=(const COracleConnectionImp7&) = delete;

    int GetErrorCode() override;
    std::string GetErrorText() override;
    int Logon(const std::string& user, const std::string& password, const std::string& server, EConnectMode mode) override;
    int Logoff() override;
    int Commit() override;

    const COci7EntryTable& Oci() const { return m_oci; }
    unsigned char* Lda() { return m_lda; }
    // The client's message for an Oracle error number (oerhms on the logon data
    // area), without its trailing line end.
    std::string MessageFor(int errorNumber);
    int MissingEntryPoints() const { return m_missing; }

private:
    COci7EntryTable m_oci;
    int m_missing = 0;
    CCallAvailability m_call;
    alignas(8) unsigned char m_hda[oci::kHdaSize] = {};
    alignas(8) unsigned char m_lda[oci::kCdaSize] = {};
};

}  // namespace corvid
