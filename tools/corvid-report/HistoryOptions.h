#pragma once

#include <getopt.h>

#include <optional>
#include <string>

namespace corvid {

// The options of corvid-report that record loads in the history store and read
// it back.
struct SHistoryOptions {
    bool store = false;                 // --store given
    std::string location;               // its URI or file; empty: the default file
    bool noExport = false;              // --format none
    std::optional<std::string> window;  // FROM..TO
    std::optional<std::string> compareA;
    std::optional<std::string> compareB;
    std::optional<std::string> sort;      // a column title (--window) or a measure (--compare)
    std::optional<std::string> database;  // NAME or DBID
    bool listSnapshots = false;
    std::optional<int> keepDays;
    std::optional<int> every;  // seconds between the collector's loads
};

// The codes of the long options below, beyond those of the rest of the report.
enum HistoryOptionCode {
    kOptStore = 2000,
    kOptWindow,
    kOptCompare,
    kOptSort,
    kOptDatabase,
    kOptListSnapshots,
    kOptKeepDays,
    kOptEvery,
};

inline constexpr option kHistoryLongOptions[] = {
    {"store", optional_argument, nullptr, kOptStore},
    {"window", required_argument, nullptr, kOptWindow},
    {"compare", required_argument, nullptr, kOptCompare},
    {"sort", required_argument, nullptr, kOptSort},
    {"database", required_argument, nullptr, kOptDatabase},
    {"list-snapshots", no_argument, nullptr, kOptListSnapshots},
    {"keep-days", required_argument, nullptr, kOptKeepDays},
    {"every", required_argument, nullptr, kOptEvery},
};

bool IsHistoryOption(int code);
// Takes one of the options above (getopt's optarg and optind as they are; --store
// and --compare take a following word too). False with the message when its
// value is not usable.
bool ParseHistoryOption(int code, int argc, char** argv, SHistoryOptions& options, std::string& error);
// "none" for --format.
bool IsNoExportFormat(const char* name);

// The checks of the history options together; `hasUser` says whether --user was
// given, `otherViews` whether another list than the loaded one was asked for
// (--interval, --families, --similar-to, --sql-id).
bool CheckHistoryOptions(const SHistoryOptions& options, bool hasUser, bool otherViews, std::string& error);

// Whether the options only read (or trim) the store and need no server.
bool HistoryReadsOnly(const SHistoryOptions& options);

// The lines --help shows for these options.
std::string HistoryUsage();

}  // namespace corvid
