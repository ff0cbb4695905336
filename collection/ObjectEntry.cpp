#include "collection/ObjectEntry.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "diag/TraceContext.h"

namespace corvid {

namespace {

// A count as the list shows it: the number truncated toward zero, in decimal.
// Counts beyond 32 bits keep all their digits (64-bit conversion); what no
// integer can hold (NaN) shows 0, and the out-of-range ends are clamped.
void AppendCount(double value, std::string& out) {
    long long whole = 0;
    if (std::isnan(value)) {
        whole = 0;
    } else if (value >= 9223372036854775807.0) {
        whole = std::numeric_limits<long long>::max();
    } else if (value <= -9223372036854775808.0) {
        whole = std::numeric_limits<long long>::min();
    } else {
        whole = static_cast<long long>(value);  // truncates toward zero
    }
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, whole);
    out.append(buffer, result.ptr);
}

void AppendInt(std::int32_t value, std::string& out) {
    char buffer[16];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// "%3.2lf": two decimals, correctly rounded, at least three characters wide.
void AppendPercent(double value, std::string& out) {
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    std::size_t length = static_cast<std::size_t>(result.ptr - buffer);
    if (length < 3) out.append(3 - length, ' ');
    out.append(buffer, length);
}

// A time in microseconds as a number of `unit` microseconds with two decimals.
void AppendTime(double microseconds, double unit, std::string& out) {
    char buffer[400];
    const double value = std::isfinite(microseconds) ? microseconds / unit : 0.0;
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    out.append(buffer, result.ptr);
}

std::string FormatFixed6(double value) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%lf", value);
    return buffer;
}

}  // namespace

void AppendListCount(double value, std::string& out) {
    AppendCount(value, out);
}

void AppendListPercent(double value, std::string& out) {
    AppendPercent(value, out);
}

static_assert(sizeof(CObjectEntry) <= 272, "an entry's own size: keep new members in the groups above");

CObjectEntry::CObjectEntry(double percOfDiskReads, double percOfBufferGets, double diskReads, double bufferGets,
                           double sorts, double executions, double parseCalls, double rowsProcessed, double sharableMem,
                           double persistentMem, double runtimeMem, double loads, std::int32_t commandType,
                           CSharedText optimizerMode, std::int32_t parsingSchemaId, std::int32_t parsingUserId,
                           CSharedText userName, CPackedText address, std::string sqlText,
                           CTimeText firstLoadTime)
    : m_PercOfDiskReads(percOfDiskReads),
      m_PercOfBufferGets(percOfBufferGets),
      m_DiskReads(diskReads),
      m_BufferGets(bufferGets),
      m_Sorts(sorts),
      m_Executions(executions),
      m_ParseCalls(parseCalls),
      m_RowsProcessed(rowsProcessed),
      m_SharableMem(sharableMem),
      m_PersistentMem(persistentMem),
      m_RuntimeMem(runtimeMem),
      m_Loads(loads),
      m_SqlText(std::move(sqlText)),
      m_UserName(std::move(userName)),
      m_OptimizerMode(std::move(optimizerMode)),
      m_FirstLoadTime(std::move(firstLoadTime)),
      m_CommandType(commandType),
      m_ParsingSchemaId(parsingSchemaId),
      m_ParsingUserId(parsingUserId),
      m_Address(std::move(address)) {}

void CObjectEntry::SetStatus(std::int32_t status) {
    // The known states all fit; any other shows as no state.
    m_Status = static_cast<std::int8_t>(status >= -128 && status <= 127 ? status : -1);
}

namespace {
const CSharedText kNoText;
const SIntervalFigures kNoInterval;
}  // namespace

const CSharedText& CObjectEntry::SqlPlan() const {
    return m_Extras.Get() != nullptr ? m_Extras.Get()->sqlPlan : kNoText;
}

const CSharedText& CObjectEntry::ErrorMessage() const {
    return m_Extras.Get() != nullptr ? m_Extras.Get()->errorMessage : kNoText;
}

const CSharedText& CObjectEntry::DebugField() const {
    return m_Extras.Get() != nullptr ? m_Extras.Get()->debugField : kNoText;
}

namespace {

SIntervalFigures UnmovedIntervalFigures() {
    SIntervalFigures figures;
    figures.valid = true;
    return figures;
}

const SIntervalFigures kUnmovedInterval = UnmovedIntervalFigures();

}  // namespace

const SIntervalFigures& CObjectEntry::Interval() const {
    if (m_Extras.Get() != nullptr) return m_Extras.Get()->interval;
    return m_UnmovedInterval ? kUnmovedInterval : kNoInterval;
}

void CObjectEntry::SetSqlPlan(CSharedText plan) {
    if (!plan.empty() || m_Extras.Get() != nullptr) m_Extras.Make().sqlPlan = std::move(plan);
}

void CObjectEntry::SetErrorMessage(CSharedText message) {
    if (!message.empty() || m_Extras.Get() != nullptr) m_Extras.Make().errorMessage = std::move(message);
}

void CObjectEntry::SetDebugField(CSharedText text) {
    if (!text.empty() || m_Extras.Get() != nullptr) m_Extras.Make().debugField = std::move(text);
}

void CObjectEntry::SetInterval(const SIntervalFigures& figures) {
    const bool unmoved = figures.valid && !figures.Changed() && figures.executionsPerSecond == 0 &&
                         figures.bufferGetsPerSecond == 0 && figures.percOfBufferGets == 0 &&
                         figures.percOfDiskReads == 0;
    if (m_Extras.Get() == nullptr && (unmoved || !figures.valid)) {
        m_UnmovedInterval = unmoved;
        return;
    }
    m_Extras.Make().interval = figures;
    m_UnmovedInterval = false;
}

SIntervalFigures& CObjectEntry::MutableInterval() {
    if (m_Extras.Get() == nullptr && m_UnmovedInterval) {
        m_Extras.Make().interval = kUnmovedInterval;
        m_UnmovedInterval = false;
    }
    return m_Extras.Make().interval;
}

const char* CObjectEntry::CommandName(std::int32_t commandType) {
    switch (commandType) {
        case 2:
            return "INSERT";
        case 3:
            return "SELECT";
        case 6:
            return "UPDATE";
        case 7:
            return "DELETE";
        case 35:
            return "ALTER DATABASE";
        case 42:
            return "ALTER SESSION";
        case 47:
            return "PL/SQL";
        case 50:
            return "EXPLAIN PLAN";
        case 62:
            return "ANALYZE TABLE";
        case 64:
            return "ANALYZE CLUSTER";
        default:
            return "OTHERS";
    }
}

std::string CObjectEntry::GetCommandName() const {
    return CommandName(m_CommandType);
}

void CObjectEntry::AppendPerExecution(double count, std::string& out) const {
    AppendCount(m_Executions != 0 ? count / m_Executions : 0.0, out);
}

void CObjectEntry::AppendServerFigure(StatementColumn code, std::string& out) const {
    if (!m_HasServerFigures) return;
    constexpr double kSecond = 1e6;
    constexpr double kMillisecond = 1e3;
    switch (code) {
        case kColSqlId:
            out += m_SqlId;
            break;
        case kColPlanHash:
            AppendCount(m_PlanHashValue, out);
            break;
        case kColElapsedTime:
            AppendTime(m_ElapsedTime, kSecond, out);
            break;
        case kColCpuTime:
            AppendTime(m_CpuTime, kSecond, out);
            break;
        case kColElapsedPerExec:
            AppendTime(m_Executions != 0 ? m_ElapsedTime / m_Executions : 0.0, kMillisecond, out);
            break;
        case kColCpuPerExec:
            AppendTime(m_Executions != 0 ? m_CpuTime / m_Executions : 0.0, kMillisecond, out);
            break;
        case kColUserIoWait:
            AppendTime(m_UserIoWaitTime, kSecond, out);
            break;
        case kColModule:
            out += m_Module;
            break;
        case kColLastActive:
            out += m_LastActiveTime;
            break;
        case kColVersions:
            AppendCount(m_VersionCount, out);
            break;
        default:
            break;
    }
}

void CObjectEntry::AppendIntervalText(StatementColumn code, std::string& out) const {
    // Without a previous load the interval columns stay empty.
    const SIntervalFigures& interval = Interval();
    if (!interval.valid) return;
    switch (code) {
        case kColExecutionsDelta:
            AppendCount(interval.executions, out);
            break;
        case kColBufferGetsDelta:
            AppendCount(interval.bufferGets, out);
            break;
        case kColDiskReadsDelta:
            AppendCount(interval.diskReads, out);
            break;
        case kColRowsDelta:
            AppendCount(interval.rowsProcessed, out);
            break;
        case kColExecutionsPerSecond:
            AppendPercent(interval.executionsPerSecond, out);
            break;
        case kColBufferGetsPerSecond:
            AppendPercent(interval.bufferGetsPerSecond, out);
            break;
        case kColPercOfBufferGetsDelta:
            AppendPercent(interval.percOfBufferGets, out);
            break;
        case kColPercOfDiskReadsDelta:
            AppendPercent(interval.percOfDiskReads, out);
            break;
        default:
            break;
    }
}

std::string CObjectEntry::GetColumnText(StatementColumn code) const {
    std::string text;
    AppendColumnText(code, text);
    return text;
}

void CObjectEntry::AppendColumnText(StatementColumn code, std::string& out) const {
    switch (code) {
        case kColPercOfDiskReads:
            AppendPercent(m_PercOfDiskReads, out);
            break;
        case kColDiskReads:
            AppendCount(m_DiskReads, out);
            break;
        case kColDiskReadsPerExec:
            AppendPerExecution(m_DiskReads, out);
            break;
        case kColPercOfBufferGets:
            AppendPercent(m_PercOfBufferGets, out);
            break;
        case kColBufferGets:
            AppendCount(m_BufferGets, out);
            break;
        case kColBufferGetsPerExec:
            AppendPerExecution(m_BufferGets, out);
            break;
        case kColSorts:
            AppendCount(m_Sorts, out);
            break;
        case kColSortsPerExec:
            AppendPerExecution(m_Sorts, out);
            break;
        case kColExecutions:
            AppendCount(m_Executions, out);
            break;
        case kColParseCalls:
            AppendCount(m_ParseCalls, out);
            break;
        case kColRowsProcessed:
            AppendCount(m_RowsProcessed, out);
            break;
        case kColRowsPerExec:
            AppendPerExecution(m_RowsProcessed, out);
            break;
        case kColSharableMem:
            AppendCount(m_SharableMem, out);
            break;
        case kColPersistentMem:
            AppendCount(m_PersistentMem, out);
            break;
        case kColRuntimeMem:
            AppendCount(m_RuntimeMem, out);
            break;
        case kColLoads:
            AppendCount(m_Loads, out);
            break;
        case kColCommandType:
            AppendInt(m_CommandType, out);
            break;
        case kColCommandName:
            out += CommandName(m_CommandType);
            break;
        case kColOptimizerMode:
            out += m_OptimizerMode;
            break;
        case kColParsingSchemaId:
            AppendInt(m_ParsingSchemaId, out);
            break;
        case kColParsingUserId:
            AppendInt(m_ParsingUserId, out);
            break;
        case kColUserName:
            out += m_UserName;
            break;
        case kColAddress:
            out += m_Address;
            break;
        case kColSqlText:
            out += m_SqlText;
            break;
        case kColFirstLoadTime:
            out += m_FirstLoadTime;
            break;
        case kColPlanCost:
            AppendInt(m_PlanCost, out);
            break;
        case kColFullTableScans:
            AppendInt(m_NoOfFullTableScans, out);
            break;
        case kColStatus:
            if (m_Status == kStatusAnalyzed) {
                out += "analyzed";
            } else if (m_Status == kStatusNotAnalyzed) {
                out += "not analyzed";
            } else if (m_Status == kStatusError) {
                out += "error";
            }
            break;
        case kColDistance:
            AppendInt(m_Distance, out);
            break;
        case kColErrorMessage:
            out += ErrorMessage();
            break;
        case kColDebugField:
            out += DebugField();
            break;
        case kColSqlId:
        case kColPlanHash:
        case kColElapsedTime:
        case kColCpuTime:
        case kColElapsedPerExec:
        case kColCpuPerExec:
        case kColUserIoWait:
        case kColModule:
        case kColLastActive:
        case kColVersions:
            AppendServerFigure(code, out);
            break;
        case kColExecutionsDelta:
        case kColBufferGetsDelta:
        case kColDiskReadsDelta:
        case kColRowsDelta:
        case kColExecutionsPerSecond:
        case kColBufferGetsPerSecond:
        case kColPercOfBufferGetsDelta:
        case kColPercOfDiskReadsDelta:
            AppendIntervalText(code, out);
            break;
        default:
            break;
    }
}

std::string CObjectEntry::DumpText() const {
    std::string text;
    auto number = [&text](const char* label, double value) {
        text += label;
        text += FormatFixed6(value);
        text += "\r\n";
    };
    auto integer = [&text](const char* label, std::int32_t value) {
        text += label;
        text += std::to_string(value);
        text += "\r\n";
    };
    auto string = [&text](const char* label, std::string_view value) {
        text += label;
        text += value;
        text += "\r\n";
    };
    number("m_PercOfDiskReads=", m_PercOfDiskReads);
    number("m_PercOfBufferGets=", m_PercOfBufferGets);
    number("m_DiskReads=", m_DiskReads);
    number("m_BufferGets=", m_BufferGets);
    number("m_Sorts=", m_Sorts);
    number("m_Executions=", m_Executions);
    number("m_ParseCalls=", m_ParseCalls);
    number("m_RowsProcessed=", m_RowsProcessed);
    number("m_SharableMem=", m_SharableMem);
    number("m_PersistentMem=", m_PersistentMem);
    number("m_RuntimeMem=", m_RuntimeMem);
    number("m_Loads=", m_Loads);
    integer("m_CommandType=", m_CommandType);
    string("m_OptimizerMode=", m_OptimizerMode);
    integer("m_ParsingSchemaId=", m_ParsingSchemaId);
    integer("m_ParsingUserId=", m_ParsingUserId);
    string("m_UserName=", m_UserName);
    string("m_Address=", m_Address.str());
    string("m_SqlText=", m_SqlText);
    string("m_FirstLoadTime=", m_FirstLoadTime.str());
    string("m_SqlPlan=", SqlPlan());
    integer("m_PlanCost=", m_PlanCost);
    integer("m_NoOfFullTableScans=", m_NoOfFullTableScans);
    integer("m_Distance=", m_Distance);
    integer("m_Status=", m_Status);
    string("itsErrorMessage=", ErrorMessage());
    string("m_DebugField=", DebugField());
    return text;
}

void CObjectEntry::Dump(CTraceContext& trace) const {
    trace << DumpText();
}

CObjectArray::Index FindStatementBySqlId(const CObjectArray& collection, const std::string& sqlId) {
    std::string wanted = sqlId;
    for (char& c : wanted)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto first = wanted.find_first_not_of(" \t");
    wanted.erase(0, first == std::string::npos ? wanted.size() : first);
    wanted.erase(wanted.find_last_not_of(" \t") + 1);
    if (wanted.empty()) return -1;
    for (CObjectArray::Index i = 0; i < collection.GetSize(); ++i) {
        if (collection[i].m_HasServerFigures && collection[i].m_SqlId == wanted) return i;
    }
    return -1;
}

std::string CollectionDumpText(const CObjectArray& collection) {
    std::string text = "Dumping content of m_ObjectList with " + std::to_string(collection.GetSize()) + " entries:\r\n";
    for (CObjectArray::Index i = 0; i < collection.GetSize(); ++i) {
        text += "CObjectEntry # " + std::to_string(i + 1) + ":\r\n";
        text += collection[i].DumpText();
        text += "\r\n";
    }
    text += "\r\n";
    return text;
}

void DumpCollection(const CObjectArray& collection, CTraceContext& trace) {
    trace << "Dumping content of m_ObjectList with " << std::to_string(collection.GetSize()) << " entries:\r\n";
    for (CObjectArray::Index i = 0; i < collection.GetSize(); ++i) {
        trace << "CObjectEntry # " << std::to_string(i + 1) << ":\r\n";
        collection[i].Dump(trace);
        trace << "\r\n";
    }
    trace << "\r\n";
    trace.Flush();
}

}  // namespace corvid
