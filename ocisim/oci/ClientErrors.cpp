#include "ocisim/oci/ClientErrors.h"

#include <cstdio>
#include <cstdlib>

namespace ocisim::oci {

namespace {

const char* KnownText(int code) {
    switch (code) {
        case 0: return "normal, successful completion";
        case 900: return "invalid SQL statement";
        case 932: return "inconsistent datatypes";
        case 942: return "table or view does not exist";
        case 1001: return "invalid cursor";
        case 1002: return "fetch out of sequence";
        case 1003: return "no statement parsed";
        case 1007: return "variable not in select list";
        case 1008: return "not all variables bound";
        case 1010: return "invalid OCI operation";
        case 1012: return "not logged on";
        case 1017: return "invalid username/password; logon denied";
        case 1018: return "column does not have a LONG datatype";
        case 1031: return "insufficient privileges";
        case 1036: return "illegal variable name/number";
        case 1403: return "no data found";
        case 1405: return "fetched column value is NULL";
        case 1406: return "fetched column value was truncated";
        case 1422: return "exact fetch returns more than requested number of rows";
        case 1455: return "converting column overflows integer datatype";
        case 1480: return "trailing null missing from STR bind value";
        case 1484: return "arrays can only be bound to PL/SQL statements";
        case 1722: return "invalid number";
        case 3001: return "unimplemented feature";
        case 3113: return "end-of-file on communication channel";
        case 3114: return "not connected to ORACLE";
        case 3115: return "unsupported network datatype or representation";
        case 6502: return "PL/SQL: numeric or value error: character string buffer too small";
        case 12154: return "TNS:could not resolve the connect identifier specified";
        case 22275: return "invalid LOB locator specified";
        case 24300: return "bad value for mode";
        case 24309: return "already connected to a server";
        case 24313: return "user already authenticated";
        case 24315: return "illegal attribute type";
        case 24327: return "need explicit attach before authenticating a user";
        case 24333: return "zero iteration count";
        case 24334: return "no descriptor for this position";
        case 24337: return "statement handle not prepared";
        case 24338: return "statement handle not executed";
        case 24344: return "success with compilation error";
        case 24345: return "A Truncation or null fetch error occurred";
        case 24374: return "define not done before fetch or execute and fetch";
        case 24391: return "invalid fetch operation";
        default: return nullptr;
    }
}

}  // namespace

std::string ClientMessage(int code) {
    const int number = std::abs(code);
    char head[32];
    std::snprintf(head, sizeof head, "ORA-%05d: ", number);
    if (const char* text = KnownText(number)) return std::string(head) + text;
    char missing[96];
    std::snprintf(missing, sizeof missing, "Message %d not found;  product=RDBMS; facility=ORA", number);
    return std::string(head) + missing;
}

OraError MakeClientError(int code) {
    OraError error;
    error.code = code;
    error.message = ClientMessage(code);
    return error;
}

}  // namespace ocisim::oci
