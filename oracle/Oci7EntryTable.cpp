#include "oracle/Oci7EntryTable.h"

#include "oracle/EntryPointBinder.h"

namespace corvid {

int COci7EntryTable::Bind(IDynamicLibraryLoader& loader, void* library) {
    CEntryPointBinder bind(loader, library);
    bind(opinit, "opinit");
    bind(oerhms, "oerhms");
    bind(olog, "olog");
    bind(ologof, "ologof");
    bind(ocom, "ocom");
    bind(oopen, "oopen");
    bind(oclose, "oclose");
    bind(oparse, "oparse");
    bind(odefin, "odefin");
    bind(obndrv, "obndrv");
    bind(ofen, "ofen");
    bind(oexfet, "oexfet");
    bind(oexec, "oexec");
    bind(odescr, "odescr");
    return bind.MissingCount();
}

}  // namespace corvid
