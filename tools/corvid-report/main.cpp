// corvid-report: loads the shared pool through the document, with the user's
// settings, and exports the list the desktop program would show. Meant for
// terminals and for cron alike: it never waits for input unless stdin is a terminal.

#include <termios.h>
#include <unistd.h>

#include <strings.h>

#include <sys/stat.h>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "IniSettingsStore.h"
#include "ReportOptions.h"
#include "app/AppInfo.h"
#include "app/Session.h"
#include "collection/CorvidDoc.h"
#include "diag/TraceContext.h"
#include "work/ConsoleProgressDisplay.h"
#include "work/ProgressRunner.h"
#include "list/JsonExporter.h"
#include "list/ListCtrlEx.h"
#include "list/ListExporter.h"
#include "list/ListLayout.h"
#include "oracle/OracleConnection.h"
#include "platform/Clock.h"
#include "platform/ConsolePrompter.h"
#include "platform/DynamicLibrary.h"
#include "platform/Services.h"
#include "collection/FindSimilarStatements.h"

namespace corvid {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void Fail(const std::string& text) {
    std::fprintf(stderr, "corvid-report: %s\n", text.c_str());
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// Reads a line from the terminal with the echo off.
bool PromptPassword(const std::string& user, std::string& password) {
    std::fprintf(stderr, "Password for %s: ", user.c_str());
    std::fflush(stderr);
    termios saved{};
    const bool haveTerminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool read = static_cast<bool>(std::getline(std::cin, password));
    if (haveTerminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    return read;
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

// Writes the list in each format asked for; false when one of them failed (the
// others are still written).
bool WriteExports(const CListCtrlEx& list, const std::vector<EReportFormat>& formats, const std::string& base,
                  const std::string& name, CJsonExporter::SContext context) {
    bool written = true;
    context.exportName = name;
    for (EReportFormat format : formats) {
        if (const auto listFormat = ListExportFormat(format)) {
            CListExporter exporter(list);
            exporter.SetIdentification(CListExporter::ProgramIdentification());
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

int Run(const SReportOptions& options) {
    CConsolePrompter prompter;
    SetPrompter(&prompter);

    // The user's settings: an explicit file must be readable; the default file may
    // be missing, and then the defaults apply without the layout messages that a
    // first start of the desktop program shows.
    CIniSettingsStore settings;
    if (options.settingsFile) {
        if (!settings.Load(*options.settingsFile)) {
            Fail("cannot read the settings file '" + *options.settingsFile + "'");
            return kExitFailure;
        }
    } else if (const std::string path = CIniSettingsStore::DefaultPath(); !path.empty() && FileExists(path)) {
        if (!settings.Load(path)) {
            Fail("cannot read the settings file '" + path + "'");
            return kExitFailure;
        }
    } else {
        settings.WriteProfileString("Version", "Version", CCorvidDoc::kSettingsVersion);
        CListLayout::MakeDefaultLayout().Save(settings);
    }

    std::string password;
    if (options.password) {
        password = *options.password;
    } else if (const char* fromEnvironment = std::getenv("CORVID_PASSWORD")) {
        password = fromEnvironment;
    } else if (::isatty(STDIN_FILENO)) {
        if (!PromptPassword(options.user, password)) {
            Fail("no password read");
            return kExitUsage;
        }
    } else {
        Fail("no password given: use --password or CORVID_PASSWORD (no prompt without a terminal)");
        return kExitUsage;
    }

    CTraceContext trace;
    if (options.traceLevel != 0) {
        trace.Open(kTraceFileName, options.traceLevel);
        trace.WriteApplicationInfo(kApplicationName, kApplicationVersion, kApplicationBuild);
    }

    COracleConnection connection(&trace, options.ociVersion);
    if (!connection.Logon(options.user, password, options.server, options.connectMode)) {
        Fail("unable to log on as " + options.user + (options.server.empty() ? "" : " to " + options.server) + ": " +
             connection.GetErrorText());
        return kExitFailure;
    }
    CSession session(connection);

    CConsoleProgressDisplay display(stderr, ::isatty(STDERR_FILENO) != 0);
    CProgressRunner runner(display);
    CCorvidDoc doc(&connection, settings, prompter, &runner);
    doc.SetSaveOnDestroy(false);
    if (options.analyze) doc.m_Analyze = *options.analyze ? 1 : 0;

    std::vector<EReportFormat> formats = options.formats;
    if (formats.empty()) {
        if (const auto saved = ExportFormatOfDialogIndex(doc.m_ExportType)) formats.push_back(ReportFormatOf(*saved));
    }
    if (formats.empty()) {
        Fail("the saved export format " + std::to_string(doc.m_ExportType) +
             " is none of HTML, XML, CSV: use --format");
        connection.Logoff();
        return kExitUsage;
    }
    const std::string base = options.output ? *options.output : doc.m_ExportFileName;
    const std::string name = options.name ? *options.name : doc.m_ExportName;

    bool procedureCreated = false;
    if (doc.m_Analyze) {
        if (!session.CheckPlanTable()) {
            prompter.Message(kNoPlanTableMessage, IPrompter::Kind::Error);
            connection.Logoff();
            return kExitFailure;
        }
        procedureCreated = true;
        if (!session.CreateExplainProcedure()) {
            prompter.Message(kInvalidProcedureMessage, IPrompter::Kind::Error);
            session.Disconnect();
            return kExitFailure;
        }
    }

    CJsonExporter::SContext context;
    context.program = kApplicationName;
    context.version = kApplicationVersion;
    context.user = options.user;
    context.server = options.server;
    connection.GetServerInfo(context.banner, context.database);
    context.loadTime = GetClock().LocalTime();
    doc.Reload();
    context.totals = {{"statements", static_cast<double>(doc.GetCollection().GetSize())},
                      {"buffer_gets", doc.GetTotalBufferGets()},
                      {"disk_reads", doc.GetTotalDiskReads()}};

    CListCtrlEx list;
    if (options.similarTo) {
        const CObjectArray& collection = doc.GetCollection();
        SimilarityRun run;
        run.m_Collection = &collection;
        for (CObjectArray::Index i = 0; i < collection.GetSize(); ++i) {
            if (strcasecmp(collection[i].m_Address.c_str(), options.similarTo->c_str()) == 0) {
                run.m_Chosen = collection[i];
                run.m_ChosenPosition = i;
                break;
            }
        }
        if (run.m_ChosenPosition < 0) {
            Fail("no statement at address " + *options.similarTo + " in the loaded list");
            if (procedureCreated) session.Disconnect();
            return kExitFailure;
        }
        run.m_Options.m_CaseSensitive = options.caseSensitive;
        run.m_Options.m_AllCommandTypes = options.allTypes;
        runner.Run([&run](IProgress& progress) { FindSimilarStatements(run, &progress); }, "Processing", 0, "");
        SortSimilarResult(run);
        FillList(list, CListLayout::MakeSimilarLayout(), run.m_Result, &run.m_ResultPositions);
    } else {
        FillList(list, doc.GetListLayout(), doc.GetCollection(), nullptr);
    }

    if (procedureCreated) {
        session.Disconnect();
    } else {
        connection.Logoff();
    }

    return WriteExports(list, formats, base, name, std::move(context)) ? kExitOk : kExitFailure;
}

}  // namespace
}  // namespace corvid

int main(int argc, char** argv) {
    corvid::SReportOptions options;
    std::string error;
    if (!corvid::ParseReportOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "corvid-report: %s\nTry 'corvid-report --help' for more information.\n", error.c_str());
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
