#pragma once

#include "oracle/OciTypes.h"

namespace corvid {

class IDynamicLibraryLoader;

// The release-7 entry points, in binding order. A slot whose name the library
// does not export stays empty.
struct COci7EntryTable {
    oci::Fn_opinit opinit = nullptr;
    oci::Fn_oerhms oerhms = nullptr;
    oci::Fn_olog olog = nullptr;
    oci::Fn_ologof ologof = nullptr;
    oci::Fn_ocom ocom = nullptr;
    oci::Fn_oopen oopen = nullptr;
    oci::Fn_oclose oclose = nullptr;
    oci::Fn_oparse oparse = nullptr;
    oci::Fn_odefin odefin = nullptr;
    oci::Fn_obndrv obndrv = nullptr;
    oci::Fn_ofen ofen = nullptr;
    oci::Fn_oexfet oexfet = nullptr;
    oci::Fn_oexec oexec = nullptr;
    oci::Fn_odescr odescr = nullptr;

    static constexpr int kCount = 14;

    // Resolves every name in table order; returns the number of names not found.
    int Bind(IDynamicLibraryLoader& loader, void* library);
};

}  // namespace corvid
