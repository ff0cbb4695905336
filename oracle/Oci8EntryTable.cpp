#include "oracle/Oci8EntryTable.h"

#include "oracle/EntryPointBinder.h"

namespace corvid {

int COci8EntryTable::Bind(IDynamicLibraryLoader& loader, void* library) {
    CEntryPointBinder bind(loader, library);
    bind(OCIInitialize, "OCIInitialize");
    bind(OCIHandleAlloc, "OCIHandleAlloc");
    bind(OCIHandleFree, "OCIHandleFree");
    bind(OCIEnvInit, "OCIEnvInit");
    bind(OCIErrorGet, "OCIErrorGet");
    bind(OCIServerAttach, "OCIServerAttach");
    bind(OCIServerDetach, "OCIServerDetach");
    bind(OCISessionBegin, "OCISessionBegin");
    bind(OCISessionEnd, "OCISessionEnd");
    bind(OCILogon, "OCILogon");
    bind(OCILogoff, "OCILogoff");
    bind(OCITransCommit, "OCITransCommit");
    bind(OCIStmtPrepare, "OCIStmtPrepare");
    bind(OCIDefineByPos, "OCIDefineByPos");
    bind(OCIBindByName, "OCIBindByName");
    bind(OCIStmtExecute, "OCIStmtExecute");
    bind(OCIStmtFetch, "OCIStmtFetch");
    bind(OCIParamGet, "OCIParamGet");
    bind(OCIAttrGet, "OCIAttrGet");
    bind(OCIAttrSet, "OCIAttrSet");
    bind(OCIStmtGetPieceInfo, "OCIStmtGetPieceInfo");
    bind(OCIStmtSetPieceInfo, "OCIStmtSetPieceInfo");
    bind(OCIDefineDynamic, "OCIDefineDynamic");
    bind(OCIDescriptorAlloc, "OCIDescriptorAlloc");
    bind(OCIDescriptorFree, "OCIDescriptorFree");
    bind(OCILobGetLength, "OCILobGetLength");
    bind(OCILobRead, "OCILobRead");
    return bind.MissingCount();
}

}  // namespace corvid
