#pragma once

#include "oracle/OciTypes.h"

namespace corvid {

class IDynamicLibraryLoader;

// The release-8 entry points, in binding order. A slot whose name the library
// does not export stays empty. OCILogon, OCILogoff and the piece-info functions
// are bound but not called.
struct COci8EntryTable {
    oci::Fn_OCIInitialize OCIInitialize = nullptr;
    oci::Fn_OCIHandleAlloc OCIHandleAlloc = nullptr;
    oci::Fn_OCIHandleFree OCIHandleFree = nullptr;
    oci::Fn_OCIEnvInit OCIEnvInit = nullptr;
    oci::Fn_OCIErrorGet OCIErrorGet = nullptr;
    oci::Fn_OCIServerAttach OCIServerAttach = nullptr;
    oci::Fn_OCIServerDetach OCIServerDetach = nullptr;
    oci::Fn_OCISessionBegin OCISessionBegin = nullptr;
    oci::Fn_OCISessionEnd OCISessionEnd = nullptr;
    oci::Fn_OCILogon OCILogon = nullptr;
    oci::Fn_OCILogoff OCILogoff = nullptr;
    oci::Fn_OCITransCommit OCITransCommit = nullptr;
    oci::Fn_OCIStmtPrepare OCIStmtPrepare = nullptr;
    oci::Fn_OCIDefineByPos OCIDefineByPos = nullptr;
    oci::Fn_OCIBindByName OCIBindByName = nullptr;
    oci::Fn_OCIStmtExecute OCIStmtExecute = nullptr;
    oci::Fn_OCIStmtFetch OCIStmtFetch = nullptr;
    oci::Fn_OCIParamGet OCIParamGet = nullptr;
    oci::Fn_OCIAttrGet OCIAttrGet = nullptr;
    oci::Fn_OCIAttrSet OCIAttrSet = nullptr;
    oci::Fn_OCIStmtGetPieceInfo OCIStmtGetPieceInfo = nullptr;
    oci::Fn_OCIStmtSetPieceInfo OCIStmtSetPieceInfo = nullptr;
    oci::Fn_OCIDefineDynamic OCIDefineDynamic = nullptr;
    oci::Fn_OCIDescriptorAlloc OCIDescriptorAlloc = nullptr;
    oci::Fn_OCIDescriptorFree OCIDescriptorFree = nullptr;
    oci::Fn_OCILobGetLength OCILobGetLength = nullptr;
    oci::Fn_OCILobRead OCILobRead = nullptr;

    static constexpr int kCount = 27;

    // Resolves every name in table order; returns the number of names not found.
    int Bind(IDynamicLibraryLoader& loader, void* library);
};

}  // namespace corvid
