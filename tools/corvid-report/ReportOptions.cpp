#include "ReportOptions.h"
#include "platform/AsciiText.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

#include "list/ExportSettings.h"
#include "platform/Secret.h"

namespace corvid {

namespace {

enum LongOnly {
    kOptOci = 1000,
    kOptConnectAs,
    kOptFormat,
    kOptOutput,
    kOptName,
    kOptAnalyze,
    kOptNoAnalyze,
    kOptTrace,
    kOptSettings,
    kOptSimilarTo,
    kOptCaseSensitive,
    kOptAllTypes,
    kOptSqlId,
    kOptFamilies,
    kOptMinStatements,
    kOptInterval,
    kOptTop,
    kOptVersion,
    kOptPasswordFile,
};

bool IsSqlId(const std::string& text) {
    for (char c : text) {
        if (std::string_view("0123456789abcdfghjkmnpqrstuvwxyz").find(c) == std::string_view::npos) return false;
    }
    return true;
}

const option kLongOptions[] = {
    {"user", required_argument, nullptr, 'u'},
    {"password", required_argument, nullptr, 'p'},
    {"password-file", required_argument, nullptr, kOptPasswordFile},
    {"server", required_argument, nullptr, 's'},
    {"oci", required_argument, nullptr, kOptOci},
    {"connect-as", required_argument, nullptr, kOptConnectAs},
    {"format", required_argument, nullptr, kOptFormat},
    {"output", required_argument, nullptr, kOptOutput},
    {"name", required_argument, nullptr, kOptName},
    {"analyze", no_argument, nullptr, kOptAnalyze},
    {"no-analyze", no_argument, nullptr, kOptNoAnalyze},
    {"trace", required_argument, nullptr, kOptTrace},
    {"settings", required_argument, nullptr, kOptSettings},
    {"similar-to", required_argument, nullptr, kOptSimilarTo},
    {"case-sensitive", no_argument, nullptr, kOptCaseSensitive},
    {"all-types", no_argument, nullptr, kOptAllTypes},
    {"sql-id", required_argument, nullptr, kOptSqlId},
    {"families", no_argument, nullptr, kOptFamilies},
    {"min-statements", required_argument, nullptr, kOptMinStatements},
    {"interval", required_argument, nullptr, kOptInterval},
    {"top", required_argument, nullptr, kOptTop},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kOptVersion},
    kHistoryLongOptions[0], kHistoryLongOptions[1], kHistoryLongOptions[2], kHistoryLongOptions[3],
    kHistoryLongOptions[4], kHistoryLongOptions[5], kHistoryLongOptions[6], kHistoryLongOptions[7],
    {nullptr, 0, nullptr, 0},
};

bool ParseInt(const char* text, int& value) {
    const char* end = text + std::char_traits<char>::length(text);
    auto [ptr, error] = std::from_chars(text, end, value);
    return error == std::errc() && ptr == end && ptr != text;
}

// "csv", "json,csv", ...: each known name once, in the order given.
bool ParseFormats(const std::string& text, std::vector<EReportFormat>& formats) {
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string name = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::optional<EReportFormat> format;
        if (EqualsIgnoringAsciiCase(name, "json")) {
            format = EReportFormat::Json;
        } else if (EqualsIgnoringAsciiCase(name, "ndjson")) {
            format = EReportFormat::Ndjson;
        } else if (EqualsIgnoringAsciiCase(name, "report")) {
            format = EReportFormat::Report;
        } else if (const auto listFormat = ExportFormatFromName(name)) {
            format = ReportFormatOf(*listFormat);
        }
        if (!format) return false;
        if (std::find(formats.begin(), formats.end(), *format) == formats.end()) formats.push_back(*format);
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

}  // namespace

EReportFormat ReportFormatOf(EExportFormat format) {
    switch (format) {
        case EExportFormat::Html:
            return EReportFormat::Html;
        case EExportFormat::Xml:
            return EReportFormat::Xml;
        case EExportFormat::Csv:
            break;
    }
    return EReportFormat::Csv;
}

std::optional<EExportFormat> ListExportFormat(EReportFormat format) {
    switch (format) {
        case EReportFormat::Csv:
            return EExportFormat::Csv;
        case EReportFormat::Html:
            return EExportFormat::Html;
        case EReportFormat::Xml:
            return EExportFormat::Xml;
        case EReportFormat::Json:
        case EReportFormat::Ndjson:
        case EReportFormat::Report:
            break;
    }
    return std::nullopt;
}

std::string ReportUsage() {
    return "Usage: corvid-report -u USER [OPTION]...\n"
           "Loads the statements of an Oracle server's shared pool, with the filters, user\n"
           "selection, analysis switch, columns and sort order of the user's Corvid settings,\n"
           "and exports the list as the desktop program would show it.\n"
           "\n"
           "  -u, --user USER            user to log on as (required)\n"
           "  -p, --password PASSWORD    password; else the variable CORVID_PASSWORD, else a\n"
           "                             prompt without echo when run on a terminal. On the\n"
           "                             command line it is visible to other local users\n"
           "                             while the program starts (it is wiped once read):\n"
           "                             prefer --password-file or the prompt\n"
           "      --password-file FILE   read the password from the first line of FILE,\n"
           "                             which only its owner may read (chmod 600)\n"
           "  -s, --server SERVER        server (TNS alias); the local database when omitted\n"
           "      --oci 7|8              force the client interface generation\n"
           "      --connect-as MODE      NORMAL (default), SYSDBA or SYSOPER\n"
           "      --format FORMAT        csv, html, xml, json, ndjson or report (one HTML\n"
           "                             page with rankings, charts and details, written\n"
           "                             to BASE.report.html); several joined by commas\n"
           "                             are written from one load (default: the saved\n"
           "                             export format)\n"
           "      --output BASE          base file name, the extension is appended\n"
           "                             (default: the saved export file name); - writes\n"
           "                             json or ndjson to standard output\n"
           "      --name TEXT            title written into the export (default: the saved name)\n"
           "      --analyze, --no-analyze\n"
           "                             explain every statement, or not (default: saved setting)\n"
           "      --trace LEVEL          write Corvid.log in the current folder at that level:\n"
           "                             0 none, 1 connections and errors, 15 every statement\n"
           "      --settings FILE        read the settings from FILE instead of the user's\n"
           "      --similar-to ADDRESS   export the statements most similar to the one at that\n"
           "                             address instead (Distance, User, SQL Text)\n"
           "      --case-sensitive       with --similar-to: compare texts as they are\n"
           "      --all-types            with --similar-to: compare with every command type\n"
           "      --sql-id ID            export only the statement with that SQL ID and write\n"
           "                             its execution plan to standard output (analysis on)\n"
           "      --families             export the statement families instead: statements\n"
           "                             that differ only in their literals, grouped, sorted\n"
           "                             by statements, then buffer gets\n"
           "      --min-statements N     with --families: only families of at least N\n"
           "                             statements\n"
           "      --interval SECONDS     load twice, that many seconds apart, and export the\n"
           "                             statements that changed in between with their\n"
           "                             interval figures (differences, rates and shares)\n"
           "      --top N                with --format report: statements per ranking and\n"
           "                             chart (default 20)\n"
           + HistoryUsage() +
           "  -h, --help                 show this help and exit\n"
           "      --version              show the version and exit\n"
           "\n"
           "Exit status: 0 on success, 1 on an Oracle or file error (or when the address of\n"
           "--similar-to or the SQL ID of --sql-id is not in the loaded list, or on a history\n"
           "store error), 2 on bad usage.\n";
}

bool ParseReportOptions(int argc, char** argv, SReportOptions& options, std::string& error) {
    opterr = 0;
    optind = 0;  // 0, not 1: glibc then also forgets where it was inside a cluster of letters
    int c;
    int index = 0;
    while ((c = getopt_long(argc, argv, ":u:p:s:h", kLongOptions, &index)) != -1) {
        if (IsHistoryOption(c)) {
            if (!ParseHistoryOption(c, argc, argv, options.history, error)) return false;
            continue;
        }
        switch (c) {
            case 'u':
                options.user = optarg;
                break;
            case 'p':
                options.password = optarg;
                // Out of /proc/PID/cmdline as soon as it is read.
                WipeArgument(optarg);
                break;
            case kOptPasswordFile:
                options.passwordFile = optarg;
                break;
            case 's':
                options.server = optarg;
                break;
            case kOptOci:
                if (!ParseInt(optarg, options.ociVersion) || (options.ociVersion != 7 && options.ociVersion != 8)) {
                    error = "--oci takes 7 or 8, not '" + std::string(optarg) + "'";
                    return false;
                }
                break;
            case kOptConnectAs: {
                if (const auto mode = ConnectModeFromName(optarg)) {
                    options.connectMode = *mode;
                } else {
                    error = "--connect-as takes NORMAL, SYSDBA or SYSOPER, not '" + std::string(optarg) + "'";
                    return false;
                }
                break;
            }
            case kOptFormat:
                options.formats.clear();
                if (IsNoExportFormat(optarg)) {
                    options.history.noExport = true;
                    break;
                }
                if (!ParseFormats(optarg, options.formats)) {
                    error = "--format takes csv, html, xml, json, ndjson or report (or several, joined by commas), not '" +
                            std::string(optarg) + "'";
                    return false;
                }
                break;
            case kOptOutput:
                options.output = optarg;
                break;
            case kOptName:
                options.name = optarg;
                break;
            case kOptAnalyze:
                options.analyze = true;
                break;
            case kOptNoAnalyze:
                options.analyze = false;
                break;
            case kOptTrace:
                if (!ParseInt(optarg, options.traceLevel) || options.traceLevel < 0 ||
                    options.traceLevel > kMaxTraceLevel) {
                    error = "--trace takes a level from 0 to " + std::to_string(kMaxTraceLevel) + ", not '" +
                            std::string(optarg) + "'";
                    return false;
                }
                break;
            case kOptSettings:
                options.settingsFile = optarg;
                break;
            case kOptSimilarTo:
                options.similarTo = optarg;
                break;
            case kOptCaseSensitive:
                options.caseSensitive = true;
                break;
            case kOptAllTypes:
                options.allTypes = true;
                break;
            case kOptSqlId: {
                // SQL IDs are lower case; one typed in capitals is the same ID.
                std::string id = optarg;
                for (char& c : id)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                options.sqlId = id;
                break;
            }
            case kOptFamilies:
                options.families = true;
                break;
            case kOptMinStatements: {
                int count = 0;
                if (!ParseInt(optarg, count) || count < 1) {
                    error = "--min-statements takes a whole number of at least 1, not '" + std::string(optarg) + "'";
                    return false;
                }
                options.minStatements = count;
                break;
            }
            case kOptInterval: {
                int seconds = 0;
                if (!ParseInt(optarg, seconds) || seconds < 0 || seconds > 86400) {
                    error = "--interval takes a number of seconds from 0 to 86400, not '" + std::string(optarg) + "'";
                    return false;
                }
                options.interval = seconds;
                break;
            }
            case kOptTop: {
                int count = 0;
                if (!ParseInt(optarg, count) || count < 1 || count > 1000) {
                    error = "--top takes a whole number from 1 to 1000, not '" + std::string(optarg) + "'";
                    return false;
                }
                options.top = count;
                break;
            }
            case 'h':
                options.help = true;
                break;
            case kOptVersion:
                options.version = true;
                break;
            case ':':
                error = "option '" + std::string(argv[optind - 1]) + "' needs a value";
                return false;
            default:
                error = "unknown option '" + std::string(argv[optind - 1]) + "'";
                return false;
        }
    }
    if (options.help || options.version) return true;
    if (optind < argc) {
        error = "unexpected argument '" + std::string(argv[optind]) + "'";
        return false;
    }
    if (options.user.empty() && !HistoryReadsOnly(options.history) && !options.history.keepDays) {
        error = "no user given (--user)";
        return false;
    }
    if (options.password && options.passwordFile) {
        error = "--password and --password-file cannot be used together";
        return false;
    }
    if (options.sqlId && (options.sqlId->size() != 13 || !IsSqlId(*options.sqlId))) {
        error = "--sql-id needs a SQL ID of 13 characters (0-9 and a-z without e, i, l and o)";
        return false;
    }
    if (options.sqlId && options.similarTo) {
        error = "--sql-id and --similar-to cannot be used together";
        return false;
    }
    if ((options.caseSensitive || options.allTypes) && !options.similarTo) {
        error = "--case-sensitive and --all-types go with --similar-to";
        return false;
    }
    if (options.minStatements && !options.families) {
        error = "--min-statements goes with --families";
        return false;
    }
    if (options.families && (options.similarTo || options.sqlId)) {
        error = "--families goes with neither --similar-to nor --sql-id";
        return false;
    }
    if (options.interval && options.families) {
        error = "--interval cannot be used with --families";
        return false;
    }
    if (options.interval && (options.similarTo || options.sqlId)) {
        error = "--interval cannot be used with --similar-to or --sql-id";
        return false;
    }
    if (options.families &&
        std::find(options.formats.begin(), options.formats.end(), EReportFormat::Report) != options.formats.end()) {
        error = "--format report cannot be used with --families (the report has its own section of families)";
        return false;
    }
    if (options.top && std::find(options.formats.begin(), options.formats.end(), EReportFormat::Report) ==
                           options.formats.end()) {
        error = "--top goes with --format report";
        return false;
    }
    if (!CheckHistoryOptions(options.history, !options.user.empty(),
                             options.interval || options.families || options.similarTo || options.sqlId, error)) {
        return false;
    }
    if (options.output && !HasExportFileName(*options.output)) {
        error = "--output needs a file name";
        return false;
    }
    if (options.output && *options.output == "-" &&
        (options.formats.size() != 1 || ListExportFormat(options.formats[0]) ||
         options.formats[0] == EReportFormat::Report)) {
        error = "--output - (standard output) takes one format, json or ndjson";
        return false;
    }
    return true;
}

}  // namespace corvid
