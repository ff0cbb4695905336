#include "HistoryOptions.h"

#include <charconv>
#include <cstring>

namespace corvid {

namespace {

bool ParseCount(const char* text, int& value) {
    const char* end = text + std::strlen(text);
    auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && ptr != text;
}

// The word after the option when it is not itself an option.
const char* TakeFollowingWord(int argc, char** argv) {
    if (optind < argc && argv[optind][0] != '-') return argv[optind++];
    return nullptr;
}

}  // namespace

bool IsHistoryOption(int code) {
    return code >= kOptStore && code <= kOptEvery;
}

bool IsNoExportFormat(const char* name) {
    return std::strcmp(name, "none") == 0;
}

bool ParseHistoryOption(int code, int argc, char** argv, SHistoryOptions& options, std::string& error) {
    switch (code) {
        case kOptStore: {
            options.store = true;
            const char* location = optarg != nullptr ? optarg : TakeFollowingWord(argc, argv);
            if (location != nullptr) {
                if (location[0] == '\0') {
                    error = "--store needs a file or a PostgreSQL URI when given a value";
                    return false;
                }
                options.location = location;
            }
            return true;
        }
        case kOptWindow:
            options.window = optarg;
            return true;
        case kOptCompare: {
            // The second window may start with '-' (-2h..-1h).
            const char* second = nullptr;
            if (optind < argc && std::strstr(argv[optind], "..") != nullptr) second = argv[optind++];
            if (second == nullptr) {
                error = "--compare takes two windows: A1..A2 B1..B2";
                return false;
            }
            options.compareA = optarg;
            options.compareB = second;
            return true;
        }
        case kOptSort:
            options.sort = optarg;
            return true;
        case kOptDatabase:
            options.database = optarg;
            return true;
        case kOptListSnapshots:
            options.listSnapshots = true;
            return true;
        case kOptKeepDays: {
            int days = 0;
            if (!ParseCount(optarg, days) || days < 1) {
                error = "--keep-days takes a whole number of days of at least 1, not '" + std::string(optarg) + "'";
                return false;
            }
            options.keepDays = days;
            return true;
        }
        case kOptEvery: {
            int seconds = 0;
            if (!ParseCount(optarg, seconds) || seconds < 1 || seconds > 86400) {
                error = "--every takes a number of seconds from 1 to 86400, not '" + std::string(optarg) + "'";
                return false;
            }
            options.every = seconds;
            return true;
        }
        default:
            error = "unknown option";
            return false;
    }
}

bool HistoryReadsOnly(const SHistoryOptions& options) {
    return options.window || options.compareA || options.listSnapshots;
}

bool CheckHistoryOptions(const SHistoryOptions& options, bool hasUser, bool otherViews, std::string& error) {
    const int readers = (options.window ? 1 : 0) + (options.compareA ? 1 : 0) + (options.listSnapshots ? 1 : 0);
    if (readers > 1) {
        error = "--window, --compare and --list-snapshots go one at a time";
        return false;
    }
    if (readers > 0 && (hasUser || options.every || otherViews)) {
        error = "--window, --compare and --list-snapshots read the history store: they go without --user, "
                "--every, --interval, --families, --similar-to and --sql-id";
        return false;
    }
    if ((options.sort || options.database) && !options.window && !options.compareA &&
        !(options.database && options.listSnapshots)) {
        error = "--sort and --database go with --window or --compare (--database also with --list-snapshots)";
        return false;
    }
    if (options.noExport && (readers > 0 || !options.store)) {
        error = "--format none goes with --store when a load is recorded";
        return false;
    }
    if (options.every && (!options.store || otherViews)) {
        error = "--every records into the history: it needs --store and goes without --interval, --families, "
                "--similar-to and --sql-id";
        return false;
    }
    if (options.keepDays && readers > 0) {
        error = "--keep-days goes with --store, alone or when a load is recorded";
        return false;
    }
    if (options.keepDays && !options.store) {
        error = "--keep-days needs --store";
        return false;
    }
    return true;
}

std::string HistoryUsage() {
    return "      --store [URI]          record the load as a snapshot in the history store: an\n"
           "                             SQLite file (default $XDG_DATA_HOME/corvid/history.sqlite)\n"
           "                             or a PostgreSQL URI or connection string (the password\n"
           "                             from PGPASSWORD or ~/.pgpass); also where the options\n"
           "                             below read from\n"
           "      --format none          with --store: record only, export nothing\n"
           "      --every SECONDS        with --store: stay connected and record a snapshot every\n"
           "                             SECONDS until SIGTERM or SIGINT\n"
           "      --keep-days N          with --store: remove the snapshots older than N days\n"
           "                             (alone, without --user, it only trims the store)\n"
           "      --window FROM..TO      export what the statements did between two snapshots:\n"
           "                             ISO 8601 times, snapshot ids, now or relative times\n"
           "                             (-1d..now, -2h..-1h); no server is needed\n"
           "      --compare A1..A2 B1..B2\n"
           "                             two windows side by side per statement, the largest\n"
           "                             change first\n"
           "      --sort COLUMN          with --window: the column title to sort by (descending);\n"
           "                             with --compare: the measure (buffer_gets, executions,\n"
           "                             disk_reads, rows, sorts, parse_calls)\n"
           "      --database NAME|DBID   the database of a store that holds several\n"
           "      --list-snapshots       list the store's databases and snapshots (text, or JSON\n"
           "                             with --format json)\n";
}

}  // namespace corvid
