#pragma once

namespace corvid {

// Names one list column, that is one statistic of a statement: 1 to 40, plus the
// internal debug column 9998. Any other value names no column.
using StatementColumn = int;

inline constexpr StatementColumn kColPercOfDiskReads = 1;
inline constexpr StatementColumn kColDiskReads = 2;
inline constexpr StatementColumn kColDiskReadsPerExec = 3;
inline constexpr StatementColumn kColPercOfBufferGets = 4;
inline constexpr StatementColumn kColBufferGets = 5;
inline constexpr StatementColumn kColBufferGetsPerExec = 6;
inline constexpr StatementColumn kColSorts = 7;
inline constexpr StatementColumn kColSortsPerExec = 8;
inline constexpr StatementColumn kColExecutions = 9;
inline constexpr StatementColumn kColParseCalls = 10;
inline constexpr StatementColumn kColRowsProcessed = 11;
inline constexpr StatementColumn kColRowsPerExec = 12;
inline constexpr StatementColumn kColSharableMem = 13;
inline constexpr StatementColumn kColPersistentMem = 14;
inline constexpr StatementColumn kColRuntimeMem = 15;
inline constexpr StatementColumn kColLoads = 16;
inline constexpr StatementColumn kColCommandType = 17;
inline constexpr StatementColumn kColCommandName = 18;
inline constexpr StatementColumn kColOptimizerMode = 19;
inline constexpr StatementColumn kColParsingSchemaId = 20;
inline constexpr StatementColumn kColParsingUserId = 21;
inline constexpr StatementColumn kColUserName = 22;
inline constexpr StatementColumn kColAddress = 23;
inline constexpr StatementColumn kColSqlText = 24;
inline constexpr StatementColumn kColFirstLoadTime = 25;
inline constexpr StatementColumn kColPlanCost = 26;
inline constexpr StatementColumn kColFullTableScans = 27;
inline constexpr StatementColumn kColStatus = 28;
inline constexpr StatementColumn kColDistance = 29;
inline constexpr StatementColumn kColErrorMessage = 30;
// The figures of servers from 10g on; empty against an older server.
inline constexpr StatementColumn kColSqlId = 31;
inline constexpr StatementColumn kColPlanHash = 32;
inline constexpr StatementColumn kColElapsedTime = 33;
inline constexpr StatementColumn kColCpuTime = 34;
inline constexpr StatementColumn kColElapsedPerExec = 35;
inline constexpr StatementColumn kColCpuPerExec = 36;
inline constexpr StatementColumn kColUserIoWait = 37;
inline constexpr StatementColumn kColModule = 38;
inline constexpr StatementColumn kColLastActive = 39;
inline constexpr StatementColumn kColVersions = 40;
// Changes since the previous load.
inline constexpr StatementColumn kColExecutionsDelta = 41;
inline constexpr StatementColumn kColBufferGetsDelta = 42;
inline constexpr StatementColumn kColDiskReadsDelta = 43;
inline constexpr StatementColumn kColRowsDelta = 44;
inline constexpr StatementColumn kColExecutionsPerSecond = 45;
inline constexpr StatementColumn kColBufferGetsPerSecond = 46;
inline constexpr StatementColumn kColPercOfBufferGetsDelta = 47;
inline constexpr StatementColumn kColPercOfDiskReadsDelta = 48;
inline constexpr StatementColumn kColDebugField = 9998;

inline constexpr StatementColumn kFirstStatementColumn = 1;
inline constexpr StatementColumn kLastStatementColumn = 40;

// Analysis status of a statement (m_Status).
inline constexpr int kStatusAnalyzed = 0;
inline constexpr int kStatusNotAnalyzed = 1;
inline constexpr int kStatusError = 3;

}  // namespace corvid
