#pragma once

#include "list/StatementColumn.h"

namespace corvid {

// The columns of the family view: the figures of a statement family.
inline constexpr StatementColumn kColFamilyStatements = 101;
inline constexpr StatementColumn kColFamilyExecutions = 102;
inline constexpr StatementColumn kColFamilyParseCalls = 103;
inline constexpr StatementColumn kColFamilyBufferGets = 104;
inline constexpr StatementColumn kColFamilyDiskReads = 105;
inline constexpr StatementColumn kColFamilyPercOfBufferGets = 106;
inline constexpr StatementColumn kColFamilyPercOfDiskReads = 107;
inline constexpr StatementColumn kColFamilySharableMem = 108;
inline constexpr StatementColumn kColFamilyUsers = 109;
inline constexpr StatementColumn kColFamilyText = 110;
inline constexpr StatementColumn kColFamilyRowsProcessed = 111;
inline constexpr StatementColumn kColFamilySorts = 112;
inline constexpr StatementColumn kColFamilyFirstLoadTime = 113;
inline constexpr StatementColumn kColFamilyCommandName = 114;

}  // namespace corvid
