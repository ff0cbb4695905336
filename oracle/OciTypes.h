#pragma once

// The C types, constants and function signatures of the Oracle Call Interface as
// the client library exports them. The library is never linked: every function is
// resolved by name at run time into the entry tables (Oci7EntryTable.h,
// Oci8EntryTable.h) and called through these pointer types.

#include <cstddef>

namespace corvid::oci {

// Scalar types of oratypes.h on LP64 and ILP32 alike.
using ub1 = unsigned char;
using sb1 = signed char;
using ub2 = unsigned short;
using sb2 = short;
using ub4 = unsigned int;
using sb4 = int;
using sword = int;
using OraText = unsigned char;

// Return codes.
constexpr sword OCI_SUCCESS = 0;
constexpr sword OCI_SUCCESS_WITH_INFO = 1;
constexpr sword OCI_NEED_DATA = 99;
constexpr sword OCI_NO_DATA = 100;
constexpr sword OCI_ERROR = -1;
constexpr sword OCI_INVALID_HANDLE = -2;
constexpr sword OCI_STILL_EXECUTING = -3123;
constexpr sword OCI_CONTINUE = -24200;

// Handle and descriptor types.
constexpr ub4 OCI_HTYPE_ENV = 1;
constexpr ub4 OCI_HTYPE_ERROR = 2;
constexpr ub4 OCI_HTYPE_SVCCTX = 3;
constexpr ub4 OCI_HTYPE_STMT = 4;
constexpr ub4 OCI_HTYPE_SERVER = 8;
constexpr ub4 OCI_HTYPE_SESSION = 9;
constexpr ub4 OCI_DTYPE_LOB = 50;
constexpr ub4 OCI_DTYPE_PARAM = 53;

// Attributes (the number is read per handle type).
constexpr ub4 OCI_ATTR_DATA_SIZE = 1;
constexpr ub4 OCI_ATTR_DATA_TYPE = 2;
constexpr ub4 OCI_ATTR_NAME = 4;
constexpr ub4 OCI_ATTR_PRECISION = 5;
constexpr ub4 OCI_ATTR_SCALE = 6;
constexpr ub4 OCI_ATTR_SERVER = 6;
constexpr ub4 OCI_ATTR_IS_NULL = 7;
constexpr ub4 OCI_ATTR_SESSION = 7;
constexpr ub4 OCI_ATTR_ROW_COUNT = 9;
constexpr ub4 OCI_ATTR_USERNAME = 22;
constexpr ub4 OCI_ATTR_PASSWORD = 23;

// Modes and flags.
constexpr ub4 OCI_DEFAULT = 0;
constexpr ub4 OCI_DESCRIBE_ONLY = 0x10;
constexpr ub4 OCI_DYNAMIC_FETCH = 0x02;
constexpr ub4 OCI_SYSDBA = 0x02;
constexpr ub4 OCI_SYSOPER = 0x04;
constexpr ub4 OCI_CRED_RDBMS = 1;
constexpr ub4 OCI_NTV_SYNTAX = 1;
constexpr ub2 OCI_FETCH_NEXT = 2;
constexpr ub1 SQLCS_IMPLICIT = 1;
constexpr ub4 OCI_EV_TSF = 1;  // opinit: thread-safe

// External data type codes used by the program's callers.
constexpr int SQLT_INT = 3;
constexpr int SQLT_FLT = 4;
constexpr int SQLT_STR = 5;
// DATE in Oracle's 7 bytes: century and year of century (each + 100), month, day,
// hour, minute and second (each + 1).
constexpr int SQLT_DAT = 12;

// Oracle error numbers the layer itself recognises.
constexpr int ORA_VAR_NOT_IN_LIST = 1007;
constexpr int ORA_NO_DATA_FOUND = 1403;

// The release-7 cursor and logon data area (struct cda_def) and the host data
// area. Oracle's 64-bit clients are built for 88-byte data areas and a 512-byte
// host area; 32-bit ones for 64 and 256 bytes. Only the fields below are read.
constexpr std::size_t kCdaSize = sizeof(void*) == 8 ? 88 : 64;
constexpr std::size_t kHdaSize = sizeof(void*) == 8 ? 512 : 256;
constexpr std::size_t kCdaRowsProcessedOffset = 4;  // ub4 rpc
constexpr std::size_t kCdaReturnCodeOffset = 12;    // ub2 rc, the Oracle error number

// Opaque handles of the release-8 interface.
struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIStmt;
struct OCIServer;
struct OCISession;
struct OCIDefine;
struct OCIBind;
struct OCISnapshot;
struct OCIParam;
struct OCILobLocator;

using OCICallbackDefine = sb4 (*)(void* octxp, OCIDefine* defnp, ub4 iter, void** bufpp, ub4** alenp, ub1* piecep,
                                  void** indp, ub2** rcodep);
using OCICallbackLobRead = sb4 (*)(void* ctxp, const void* bufp, ub4 len, ub1 piece);

// Release-7 functions. The data areas are passed as raw byte blocks.
using Fn_opinit = sword (*)(ub4 mode);
using Fn_oerhms = sword (*)(void* lda, sb2 rcode, OraText* buf, sword bufsiz);
using Fn_olog = sword (*)(void* lda, ub1* hda, OraText* uid, sword uidl, OraText* pswd, sword pswdl, OraText* conn,
                          sword connl, ub4 mode);
using Fn_ologof = sword (*)(void* lda);
using Fn_ocom = sword (*)(void* lda);
using Fn_oopen = sword (*)(void* cursor, void* lda, OraText* dbn, sword dbnl, sword arsize, OraText* uid, sword uidl);
using Fn_oclose = sword (*)(void* cursor);
using Fn_oparse = sword (*)(void* cursor, OraText* sqlstm, sb4 sqllen, sword defflg, ub4 lngflg);
using Fn_odefin = sword (*)(void* cursor, sword pos, ub1* buf, sword bufl, sword ftype, sword scale, sb2* indp,
                            OraText* fmt, sword fmtl, sword fmtt, ub2* rlen, ub2* rcode);
using Fn_obndrv = sword (*)(void* cursor, OraText* sqlvar, sword sqlvl, ub1* progv, sword progvl, sword ftype,
                            sword scale, sb2* indp, OraText* fmt, sword fmtl, sword fmtt);
using Fn_ofen = sword (*)(void* cursor, sword nrows);
using Fn_oexfet = sword (*)(void* cursor, ub4 nrows, sword cancel, sword exact);
using Fn_oexec = sword (*)(void* cursor);
using Fn_odescr = sword (*)(void* cursor, sword pos, sb4* dbsize, sb2* dbtype, sb1* cbuf, sb4* cbufl, sb4* dsize,
                            sb2* prec, sb2* scale, sb2* nullok);

// Release-8 functions.
using Fn_OCIInitialize = sword (*)(ub4 mode, void* ctxp, void* (*malocfp)(void*, std::size_t),
                                   void* (*ralocfp)(void*, void*, std::size_t), void (*mfreefp)(void*, void*));
using Fn_OCIHandleAlloc = sword (*)(const void* parenth, void** hndlpp, ub4 type, std::size_t xtramem_sz,
                                    void** usrmempp);
using Fn_OCIHandleFree = sword (*)(void* hndlp, ub4 type);
using Fn_OCIEnvInit = sword (*)(OCIEnv** envp, ub4 mode, std::size_t xtramem_sz, void** usrmempp);
using Fn_OCIErrorGet = sword (*)(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep, OraText* bufp, ub4 bufsiz,
                                 ub4 type);
using Fn_OCIServerAttach = sword (*)(OCIServer* srvhp, OCIError* errhp, const OraText* dblink, sb4 dblink_len,
                                     ub4 mode);
using Fn_OCIServerDetach = sword (*)(OCIServer* srvhp, OCIError* errhp, ub4 mode);
using Fn_OCISessionBegin = sword (*)(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt, ub4 mode);
using Fn_OCISessionEnd = sword (*)(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 mode);
using Fn_OCILogon = sword (*)(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const OraText* username, ub4 uname_len,
                              const OraText* password, ub4 passwd_len, const OraText* dbname, ub4 dbname_len);
using Fn_OCILogoff = sword (*)(OCISvcCtx* svchp, OCIError* errhp);
using Fn_OCITransCommit = sword (*)(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
using Fn_OCIStmtPrepare = sword (*)(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len, ub4 language,
                                    ub4 mode);
using Fn_OCIDefineByPos = sword (*)(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position, void* valuep,
                                    sb4 value_sz, ub2 dty, void* indp, ub2* rlenp, ub2* rcodep, ub4 mode);
using Fn_OCIBindByName = sword (*)(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const OraText* placeholder,
                                   sb4 placeh_len, void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp,
                                   ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode);
using Fn_OCIStmtExecute = sword (*)(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 rowoff,
                                    const OCISnapshot* snap_in, OCISnapshot* snap_out, ub4 mode);
using Fn_OCIStmtFetch = sword (*)(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4 mode);
using Fn_OCIParamGet = sword (*)(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp, ub4 pos);
using Fn_OCIAttrGet = sword (*)(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep, ub4 attrtype,
                                OCIError* errhp);
using Fn_OCIAttrSet = sword (*)(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size, ub4 attrtype,
                                OCIError* errhp);
using Fn_OCIStmtGetPieceInfo = sword (*)(OCIStmt* stmtp, OCIError* errhp, void** hndlpp, ub4* typep, ub1* in_outp,
                                         ub4* iterp, ub4* idxp, ub1* piecep);
using Fn_OCIStmtSetPieceInfo = sword (*)(void* hndlp, ub4 type, OCIError* errhp, const void* bufp, ub4* alenp,
                                         ub1 piece, const void* indp, ub2* rcodep);
using Fn_OCIDefineDynamic = sword (*)(OCIDefine* defnp, OCIError* errhp, void* octxp, OCICallbackDefine ocbfp);
using Fn_OCIDescriptorAlloc = sword (*)(const void* parenth, void** descpp, ub4 type, std::size_t xtramem_sz,
                                        void** usrmempp);
using Fn_OCIDescriptorFree = sword (*)(void* descp, ub4 type);
using Fn_OCILobGetLength = sword (*)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp);
using Fn_OCILobRead = sword (*)(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset,
                                void* bufp, ub4 bufl, void* ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm);

}  // namespace corvid::oci
