// corvid-report: loads the shared pool through the document, with the user's
// settings, and exports the list the desktop program would show. Meant for
// terminals and for cron alike: it never waits for input unless stdin is a terminal.

#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include <strings.h>

#include <sys/stat.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "HtmlReport.h"
#include "HistoryReport.h"
#include "IniSettingsStore.h"
#include "ReportOptions.h"
#include "app/AppInfo.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "collection/CorvidDoc.h"
#include "collection/FindSimilarStatements.h"
#include "collection/IntervalFigures.h"
#include "collection/StatementFamilies.h"
#include "diag/TraceContext.h"
#include "work/ConsoleProgressDisplay.h"
#include "work/ProgressRunner.h"
#include "list/ExportSettings.h"
#include "list/JsonExporter.h"
#include "list/ListCtrlEx.h"
#include "list/ListExporter.h"
#include "list/ListLayout.h"
#include "oracle/OracleConnection.h"
#include "platform/Clock.h"
#include "platform/ConsolePrompter.h"
#include "platform/DynamicLibrary.h"
#include "platform/Services.h"
#include "platform/Secret.h"
#include "platform/SignalCleanup.h"
#include "platform/TerminalText.h"

namespace corvid {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Messages may quote a server's or a user's text: the terminal sees it only as
// visible characters.
void Fail(const std::string& text) {
    std::fprintf(stderr, "corvid-report: %s\n", TerminalText(text).c_str());
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// Reads a line from the terminal with the echo off, straight into the secret
// (no stream buffer keeps a copy).
bool PromptPassword(const std::string& user, CSecret& password) {
    std::fprintf(stderr, "Password for %s: ", TerminalText(user).c_str());
    std::fflush(stderr);
    termios saved{};
    const bool haveTerminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveTerminal) {
        // Ctrl+C or a kill while the echo is off must not leave the terminal mute.
        RegisterTerminalRestore(STDIN_FILENO, saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    char line[CSecret::kCapacity];
    std::size_t length = 0;
    bool read = false;
    for (char c = 0; length < sizeof line;) {
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        read = true;
        if (c == '\n') break;
        line[length++] = c;
    }
    if (haveTerminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        UnregisterTerminalRestore();
    }
    std::fputc('\n', stderr);
    if (length > 0 && line[length - 1] == '\r') --length;
    const bool taken = read && password.Assign(std::string_view(line, length));
    ::explicit_bzero(line, sizeof line);
    return taken;
}

void FillList(CListCtrlEx& list, const CListLayout& layout, const CObjectArray& entries,
              const std::vector<CObjectArray::Index>* positions) {
    layout.CreateColumns(list);
    layout.ApplySortKeys(list);
    list.SetRedraw(false);
    list.DeleteAllItems();
    list.SetItemCount(static_cast<int>(entries.GetSize()));
    for (CObjectArray::Index i = 0; i < entries.GetSize(); ++i) {
        const int row = static_cast<int>(i);
        layout.FillRow(list, row, entries[i]);
        list.SetItemData(row, positions != nullptr ? (*positions)[static_cast<std::size_t>(i)] : i);
    }
    list.SetRedraw(true);
    list.Sort();
}

// The user's settings: an explicit file must be readable; the default file may
// be missing, and then the defaults apply without the layout messages that a
// first start of the desktop program shows.
bool LoadSettings(const SReportOptions& options, CIniSettingsStore& settings) {
    if (options.settingsFile) {
        if (!settings.Load(*options.settingsFile)) {
            Fail("cannot read the settings file '" + *options.settingsFile + "'");
            return false;
        }
    } else if (const std::string path = CIniSettingsStore::DefaultPath(); !path.empty() && FileExists(path)) {
        if (!settings.Load(path)) {
            Fail("cannot read the settings file '" + path + "'");
            return false;
        }
    } else {
        settings.WriteProfileString("Version", "Version", CCorvidDoc::kSettingsVersion);
        CListLayout::MakeFreshLayout().Save(settings);
    }
    return true;
}

// The password from the command line, a file, the environment or the terminal,
// in that order, into the one buffer that holds it. Without any of them there is
// no way to ask, and that is a usage error.
int ObtainPassword(SReportOptions& options, CSecret& password) {
    if (options.password) {
        const bool taken = password.Assign(*options.password);
        WipeString(*options.password);
        if (!taken) {
            Fail("the password is too long");
            return kExitUsage;
        }
    } else if (options.passwordFile) {
        std::string error;
        if (!ReadPasswordFile(*options.passwordFile, password, error)) {
            Fail(error);
            return kExitFailure;
        }
    } else if (const char* fromEnvironment = std::getenv("CORVID_PASSWORD")) {
        if (!password.Assign(fromEnvironment)) {
            Fail("the password in CORVID_PASSWORD is too long");
            return kExitUsage;
        }
    } else if (::isatty(STDIN_FILENO)) {
        if (!PromptPassword(options.user, password)) {
            Fail("no password read");
            return kExitUsage;
        }
    } else {
        Fail("no password given: use --password-file, CORVID_PASSWORD or --password (no prompt without a terminal)");
        return kExitUsage;
    }
    return kExitOk;
}

void OpenTrace(const SReportOptions& options, CTraceContext& trace) {
    if (!StartTraceLog(trace, options.traceLevel)) {
        Fail(std::string("cannot open the trace file '") + kTraceFileName +
             "' (a link, not a regular file, or in use by another program): the trace goes to standard error");
    }
}

// Logs on and wipes the password, unless the collector needs it to log on again
// after a lost connection (the process then stays non-dumpable while it runs).
bool LogOn(const SReportOptions& options, CSecret& secret, COracleConnection& connection) {
    std::string password(secret.View());
    const bool connected = connection.Logon(options.user, password, options.server, options.connectMode);
    WipeString(password);
    if (!options.history.every) secret.Wipe();
    if (connected) return true;
    Fail("unable to log on as " + options.user + (options.server.empty() ? "" : " to " + options.server) + ": " +
         connection.GetErrorText());
    return false;
}

// Ends the session once, on whichever way Run leaves: a plain log-off, or, once
// the explain procedure has been (or was being) created, a disconnect that drops
// it first.
class CSessionEnd {
public:
    CSessionEnd(COracleConnection& connection, CSession& session) : m_connection(connection), m_session(session) {}
    CSessionEnd(const CSessionEnd&) = delete;
    CSessionEnd& operator=(const CSessionEnd&) = delete;
    ~CSessionEnd() { Close(); }

    void ProcedureCreated() { m_procedureCreated = true; }

    void Close() {
        if (m_closed) return;
        m_closed = true;
        if (m_procedureCreated) {
            m_session.Disconnect();
        } else {
            m_connection.Logoff();
        }
    }

private:
    COracleConnection& m_connection;
    CSession& m_session;
    bool m_procedureCreated = false;
    bool m_closed = false;
};

// The formats asked for, else the one the settings keep; empty when the saved
// one is none the report knows.
std::vector<EReportFormat> ChosenFormats(const SReportOptions& options, const CCorvidDoc& doc) {
    std::vector<EReportFormat> formats = options.formats;
    if (formats.empty()) {
        if (const auto saved = ExportFormatOfDialogIndex(doc.m_ExportType)) formats.push_back(ReportFormatOf(*saved));
    }
    return formats;
}

// With analysis on, the plan table must exist and the explain procedure must
// compile.
bool PrepareAnalysis(CSession& session, IPrompter& prompter, CSessionEnd& sessionEnd) {
    if (!session.CheckPlanTable()) {
        prompter.Message(kNoPlanTableMessage, IPrompter::Kind::Error);
        return false;
    }
    sessionEnd.ProcedureCreated();
    if (!session.CreateExplainProcedure()) {
        prompter.Message(kInvalidProcedureMessage, IPrompter::Kind::Error);
        return false;
    }
    return true;
}

// What the JSON forms say about the load, taken as it starts.
CJsonExporter::SContext LoadContext(const SReportOptions& options, COracleConnection& connection) {
    CJsonExporter::SContext context;
    context.program = kApplicationName;
    context.version = kApplicationVersion;
    context.user = options.user;
    context.server = options.server;
    connection.GetServerInfo(context.banner, context.database);
    context.loadTime = GetClock().LocalTime();
    return context;
}

// --sql-id: the one statement with that SQL ID into the list, its plan (and
// where the plan came from) to `planOut`. False when the list has none.
bool ExportOneStatement(CCorvidDoc& doc, const std::string& sqlId, CListCtrlEx& list, std::FILE* planOut) {
    const CObjectArray& collection = doc.GetCollection();
    const CObjectArray::Index found = FindStatementBySqlId(collection, sqlId);
    if (found < 0) return false;
    CObjectArray one;
    one.Add(collection[found]);
    FillList(list, doc.GetListLayout(), one, nullptr);
    const CObjectEntry& statement = collection[found];
    std::string plan = statement.SqlPlan();
    for (std::size_t at = plan.find("\r\n"); at != std::string::npos; at = plan.find("\r\n", at))
        plan.erase(at, 1);
    if (plan.empty()) {
        std::fprintf(planOut, "SQL ID %s: no plan (%s)\n", statement.m_SqlId.str().c_str(),
                     statement.ErrorMessage().empty() ? "not analyzed" : TerminalText(statement.ErrorMessage()).c_str());
    } else {
        std::fprintf(planOut, "SQL ID %s, plan from %s:\n%s\n", statement.m_SqlId.str().c_str(),
                     statement.m_PlanSource == kPlanFromCursorCache ? "the cursor cache" : "EXPLAIN PLAN",
                     TerminalText(plan).c_str());
    }
    return true;
}

// The family view: the loaded statements' families of at least `minStatements`
// statements, sorted by statements, then buffer gets.
void FillFamilyList(CListCtrlEx& list, const CObjectArray& collection, int minStatements) {
    const CListLayout layout = CListLayout::MakeFamilyLayout();
    const std::vector<CFamilyEntry> families = CStatementFamilies(collection).WithAtLeast(minStatements);
    layout.CreateColumns(list);
    layout.ApplySortKeys(list);
    list.SetRedraw(false);
    list.DeleteAllItems();
    list.SetItemCount(static_cast<int>(families.size()));
    for (std::size_t i = 0; i < families.size(); ++i) {
        layout.FillRow(list, static_cast<int>(i), families[i]);
        list.SetItemData(static_cast<int>(i), static_cast<CListCtrlEx::ItemData>(i));
    }
    list.SetRedraw(true);
    list.Sort();
}

// The second load of --interval, that many seconds after the first. False (after
// the message) when it did not complete or has nothing to compare with.
bool LoadAgainAfter(CCorvidDoc& doc, int seconds) {
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const bool loaded = doc.Reload();
    if (!doc.GetLostSessionError().empty()) {
        Fail("the session ended during the analysis: " + doc.GetLostSessionError());
        return false;
    }
    if (!loaded || !doc.HasInterval()) {
        Fail("no complete pair of loads to compare");
        return false;
    }
    std::fprintf(stderr, "corvid-report: %s\n", TerminalText(doc.GetIntervalSummary().Describe()).c_str());
    return true;
}

// The statements that changed between the two loads of --interval.
void FillChangedList(CListCtrlEx& list, const CListLayout& layout, const CCorvidDoc& doc) {
    std::vector<CObjectArray::Index> positions;
    const CObjectArray changed = ChangedStatements(doc.GetCollection(), positions);
    FillList(list, layout, changed, &positions);
}

// Fills the list with the loaded statements, the one of --sql-id, their families
// (--families), or those most similar to the one at --similar-to.
bool FillReportList(const SReportOptions& options, CCorvidDoc& doc, CProgressRunner& runner, CListCtrlEx& list) {
    if (options.sqlId) {
        // The plan goes to standard output unless the export itself is written there.
        const bool exportToStandardOutput = (options.output ? *options.output : doc.m_ExportFileName) == "-";
        if (ExportOneStatement(doc, *options.sqlId, list, exportToStandardOutput ? stderr : stdout)) return true;
        Fail("no statement with SQL ID " + *options.sqlId + " in the loaded list");
        return false;
    }
    if (options.families) {
        FillFamilyList(list, doc.GetCollection(), options.minStatements.value_or(1));
        return true;
    }
    if (!options.similarTo) {
        FillList(list, doc.GetListLayout(), doc.GetCollection(), nullptr);
        return true;
    }
    const CObjectArray& collection = doc.GetCollection();
    SimilarityRun run;
    run.m_Collection = &collection;
    for (CObjectArray::Index i = 0; i < collection.GetSize(); ++i) {
        if (strcasecmp(collection[i].m_Address.str().c_str(), options.similarTo->c_str()) == 0) {
            run.m_Chosen = collection[i];
            run.m_ChosenPosition = i;
            break;
        }
    }
    if (run.m_ChosenPosition < 0) {
        Fail("no statement at address " + *options.similarTo + " in the loaded list");
        return false;
    }
    run.m_Options.m_CaseSensitive = options.caseSensitive;
    run.m_Options.m_AllCommandTypes = options.allTypes;
    runner.Run([&run](IProgress& progress) { FindSimilarStatements(run, &progress); }, "Processing", 0, "");
    SortSimilarResult(run);
    FillList(list, CListLayout::MakeSimilarLayout(), run.m_Result, &run.m_ResultPositions);
    return true;
}

// Writes the list in each format asked for; false when one of them failed (the
// others are still written).
bool WriteExports(const CListCtrlEx& list, CTraceContext& trace, const std::vector<EReportFormat>& formats,
                  const std::string& base, const std::string& name, CJsonExporter::SContext context,
                  SHtmlReportRequest report, const CCorvidDoc& doc) {
    bool written = true;
    context.exportName = name;
    for (EReportFormat format : formats) {
        if (format == EReportFormat::Report) {
            report.context = &context;
            report.base = base;
            report.title = name;
            if (!WriteHtmlReport(list, doc, report, trace)) written = false;
            continue;
        }
        if (const auto listFormat = ListExportFormat(format)) {
            CListExporter exporter(list);
            exporter.SetIdentification(CListExporter::ProgramIdentification());
            exporter.SetTrace(&trace);
            if (!exporter.Export(*listFormat, base, name)) written = false;
            continue;
        }
        CJsonExporter json(list);
        json.SetContext(context);
        const auto form = format == EReportFormat::Json ? EJsonForm::Document : EJsonForm::Lines;
        if (base == "-") {
            if (!json.Write(form, stdout)) {
                Fail("cannot write to standard output");
                written = false;
            }
        } else if (!json.Export(form, base)) {
            written = false;
        }
    }
    return written;
}

// --window, --compare, --list-snapshots and --keep-days alone: the history store
// only, no server.
int RunHistoryRead(const SReportOptions& options, CIniSettingsStore& settings, CConsolePrompter& prompter,
                   CHistoryReport& history) {
    if (!HistoryReadsOnly(options.history)) return history.Trim();
    const bool json = std::find(options.formats.begin(), options.formats.end(), EReportFormat::Json) !=
                      options.formats.end();
    if (options.history.listSnapshots) return history.ListSnapshots(json, stdout);
    CTraceContext trace;
    OpenTrace(options, trace);
    CCorvidDoc doc(nullptr, settings, prompter, nullptr);
    doc.SetSaveOnDestroy(false);
    const std::vector<EReportFormat> formats = ChosenFormats(options, doc);
    if (std::find(formats.begin(), formats.end(), EReportFormat::Report) != formats.end()) {
        Fail("--format report is written from a load, not yet from the history store: use csv, html, xml, json "
             "or ndjson with --window and --compare");
        return kExitUsage;
    }
    if (formats.empty() && !options.history.noExport) {
        Fail("the saved export format " + std::to_string(doc.m_ExportType) +
             " is none of HTML, XML, CSV: use --format");
        return kExitUsage;
    }
    const std::string base = options.output ? *options.output : doc.m_ExportFileName;
    if (!HasExportFileName(base)) {
        Fail("the export file name '" + base + "' names no file: use --output");
        return kExitUsage;
    }
    CListCtrlEx list;
    const std::int64_t now = LocalNowSeconds();
    if (options.history.window) {
        CListLayout layout;
        CObjectArray statements;
        if (const int status = history.ReadWindow(settings, now, layout, statements); status != kExitOk) return status;
        FillList(list, layout, statements, nullptr);
    } else if (const int status = history.ReadComparison(now, list); status != kExitOk) {
        return status;
    }
    CJsonExporter::SContext context;
    context.program = kApplicationName;
    context.version = kApplicationVersion;
    context.loadTime = GetClock().LocalTime();
    const std::string name = (options.name ? *options.name : doc.m_ExportName) + " - " + history.Description();
    return WriteExports(list, trace, formats, base, name, std::move(context), SHtmlReportRequest{}, doc) ? kExitOk
                                                                                                       : kExitFailure;
}

int Run(SReportOptions& options) {
    // SIGINT and SIGTERM remove a half-written export and restore the terminal.
    InstallSignalCleanup();
    CConsolePrompter prompter;
    SetPrompter(&prompter);

    CIniSettingsStore settings;
    if (!LoadSettings(options, settings)) return kExitFailure;

    CHistoryReport history(options.history);
    if (options.history.store || HistoryReadsOnly(options.history)) {
        if (const int status = history.Open(); status != kExitOk) return status;
        if (options.user.empty() || HistoryReadsOnly(options.history))
            return RunHistoryRead(options, settings, prompter, history);
    }

    CSecret password;
    if (const int status = ObtainPassword(options, password); status != kExitOk) return status;

    CTraceContext trace;
    OpenTrace(options, trace);

    COracleConnection connection(&trace, options.ociVersion);
    if (!LogOn(options, password, connection)) return kExitFailure;
    CSession session(connection);

    CConsoleProgressDisplay display(stderr, ::isatty(STDERR_FILENO) != 0);
    CProgressRunner runner(display);
    CCorvidDoc doc(&connection, settings, prompter, &runner);
    doc.SetSaveOnDestroy(false);
    doc.SetStopAtLostSession(true);
    if (options.analyze) doc.m_Analyze = *options.analyze ? 1 : 0;
    CSessionEnd sessionEnd(connection, session);
    // The plan of the statement asked for needs the analysis.
    if (options.sqlId) doc.m_Analyze = 1;

    const std::vector<EReportFormat> formats = ChosenFormats(options, doc);
    if (formats.empty() && !options.history.noExport) {
        Fail("the saved export format " + std::to_string(doc.m_ExportType) +
             " is none of HTML, XML, CSV: use --format");
        return kExitUsage;
    }
    const std::string base = options.output ? *options.output : doc.m_ExportFileName;
    if (!HasExportFileName(base) && !options.history.noExport) {
        Fail("the export file name '" + base + "' names no file: use --output");
        connection.Logoff();
        return kExitUsage;
    }
    const std::string name = options.name ? *options.name : doc.m_ExportName;

    if (doc.m_Analyze && !PrepareAnalysis(session, prompter, sessionEnd)) return kExitFailure;

    CJsonExporter::SContext context = LoadContext(options, connection);
    const bool loaded = doc.Reload();
    if (!doc.GetLostSessionError().empty()) {
        Fail("the session ended during the analysis: " + doc.GetLostSessionError());
        return kExitFailure;
    }
    if (options.interval && !(loaded && LoadAgainAfter(doc, *options.interval))) return kExitFailure;
    if (options.history.store) {
        if (!loaded) {
            Fail("the load did not complete: nothing recorded in the history store");
            return kExitFailure;
        }
        if (const int status = history.RecordLoad(connection, doc, &trace); status != kExitOk) return status;
        if (options.history.every) {
            auto reconnect = [&](std::string& error) {
                connection.SetErrorsRecoverable(true);
                try {
                    connection.Logoff();
                } catch (const COracleFailure&) {
                }
                connection.SetErrorsRecoverable(false);
                std::string copy(password.View());
                const bool connected = connection.Logon(options.user, copy, options.server, options.connectMode);
                WipeString(copy);
                if (!connected) {
                    error = connection.GetErrorText();
                    return false;
                }
                if (doc.m_Analyze && !PrepareAnalysis(session, prompter, sessionEnd)) {
                    error = "the analysis cannot be prepared";
                    return false;
                }
                return true;
            };
            return history.RunCollector(connection, doc, runner, &trace, reconnect);
        }
        if (options.history.noExport) return kExitOk;
    }
    context.totals = {{"statements", static_cast<double>(doc.GetCollection().GetSize())},
                      {"buffer_gets", doc.GetTotalBufferGets()},
                      {"disk_reads", doc.GetTotalDiskReads()}};

    CListCtrlEx list;
    if (options.interval) {
        FillChangedList(list, CListLayout::LoadIntervalLayout(settings), doc);
    } else if (!FillReportList(options, doc, runner, list)) {
        return kExitFailure;
    }
    sessionEnd.Close();

    SHtmlReportRequest report;
    report.topCount = options.top.value_or(20);
    report.interval = options.interval.has_value();
    report.sqlId = options.sqlId.value_or("");
    return WriteExports(list, trace, formats, base, name, std::move(context), report, doc) ? kExitOk : kExitFailure;
}

}  // namespace
}  // namespace corvid

int main(int argc, char** argv) {
    corvid::SReportOptions options;
    std::string error;
    if (!corvid::ParseReportOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "corvid-report: %s\nTry 'corvid-report --help' for more information.\n",
                     corvid::TerminalText(error).c_str());
        return corvid::kExitUsage;
    }
    if (options.help) {
        std::fputs(corvid::ReportUsage().c_str(), stdout);
        return corvid::kExitOk;
    }
    if (options.version) {
        std::printf("corvid-report %s (build %d)\n", corvid::kApplicationVersion, corvid::kApplicationBuild);
        return corvid::kExitOk;
    }
    return corvid::Run(options);
}
