#pragma once

// A simulated client library loaded with dlopen from CORVID_SIM_LIBDIR (or one of
// its sibling folders; the build's own library folder when it is not set), with its entry points resolved by name into tables typed
// by Oracle's prototypes. Each library is loaded privately, so the release 7 names
// of two libraries do not mix; each holds its own server.

#include <string>

#include "ocisim/oci/ocisim_oci.h"

#define OCISIM_RELEASE8_FUNCTIONS(X)                                                                              \
    X(OCIInitialize) X(OCIHandleAlloc) X(OCIHandleFree) X(OCIEnvInit) X(OCIErrorGet) X(OCIServerAttach)            \
    X(OCIServerDetach) X(OCISessionBegin) X(OCISessionEnd) X(OCILogon) X(OCILogoff) X(OCITransCommit)              \
    X(OCIStmtPrepare) X(OCIDefineByPos) X(OCIBindByName) X(OCIStmtExecute) X(OCIStmtFetch) X(OCIParamGet)          \
    X(OCIAttrGet) X(OCIAttrSet) X(OCIStmtGetPieceInfo) X(OCIStmtSetPieceInfo) X(OCIDefineDynamic)                  \
    X(OCIDescriptorAlloc) X(OCIDescriptorFree) X(OCILobGetLength) X(OCILobRead) X(OCIEnvCreate)                   \
    X(OCITransRollback) X(OCIStmtFetch2) X(OCIBindByPos) X(OCITerminate) X(OCIPing) X(OCIServerVersion)            \
    X(OCIClientVersion)

#define OCISIM_RELEASE7_FUNCTIONS(X)                                                                        \
    X(opinit) X(oerhms) X(olog) X(ologof) X(ocom) X(oopen) X(oclose) X(oparse) X(odefin) X(obndrv) X(ofen) \
    X(oexfet) X(oexec) X(odescr) X(obndrn) X(obndra) X(ofetch) X(oexn) X(ocan) X(orol) X(ocon) X(ocof) X(oopt)  \
    X(oflng) X(odessp)

struct Release8Api {
#define OCISIM_MEMBER(name) decltype(&::name) name = nullptr;
    OCISIM_RELEASE8_FUNCTIONS(OCISIM_MEMBER)
#undef OCISIM_MEMBER
};

struct Release7Api {
#define OCISIM_MEMBER(name) decltype(&::name) name = nullptr;
    OCISIM_RELEASE7_FUNCTIONS(OCISIM_MEMBER)
#undef OCISIM_MEMBER
};

class CClientLibrary {
public:
    // `folder` relative to the folder of CORVID_SIM_LIBDIR's parent ("lib", "lib7",
    // "lib-missing"); the handle stays open for the whole test program.
    CClientLibrary(const std::string& folder, const std::string& file);

    bool IsLoaded() const { return m_Handle != nullptr; }
    const std::string& Path() const { return m_Path; }
    void* Symbol(const char* name) const;

    // The tables, with null for every name the library lacks.
    Release8Api Release8() const;
    Release7Api Release7() const;

    // The libraries the suite uses, loaded once.
    static const CClientLibrary& Clntsh();
    static const CClientLibrary& Ociw32();

private:
    std::string m_Path;
    void* m_Handle = nullptr;
};

// Points CORVID_SIM_SCENARIO at a scenario (a bundled name or a file).
void UseScenario(const std::string& name);
