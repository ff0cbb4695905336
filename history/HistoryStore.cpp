#include "history/HistoryStore.h"

#include <cstdlib>

#include "history/PgHistoryStore.h"
#include "history/SqliteHistoryStore.h"

namespace corvid {

bool IsPostgresLocation(const std::string& location) {
    if (location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0) return true;
    // A libpq keyword string: "host=... dbname=...".
    const std::size_t equals = location.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    for (std::size_t i = 0; i < equals; ++i) {
        const char c = location[i];
        if (!((c >= 'a' && c <= 'z') || c == '_')) return false;
    }
    return true;
}

std::string DefaultHistoryPath() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') return std::string(dataHome) + "/corvid/history.sqlite";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') return std::string();
    return std::string(home) + "/.local/share/corvid/history.sqlite";
}

std::unique_ptr<IHistoryStore> OpenHistoryStore(const std::string& location, std::string& error) {
    if (IsPostgresLocation(location)) return CPgHistoryStore::Open(location, error);
    return CSqliteHistoryStore::Open(location, error);
}

}  // namespace corvid
