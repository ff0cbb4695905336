#include "oracle/ServerFeatures.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "oracle/ColumnDescription.h"
#include "oracle/OracleConnection.h"
#include "oracle/OracleCursor.h"

namespace corvid {

namespace {

// The columns of v$sqlarea the load reads from a server that has them.
constexpr const char* kSqlAreaFigureColumns[] = {"SQL_ID",   "HASH_VALUE",        "PLAN_HASH_VALUE",
                                                 "ELAPSED_TIME", "CPU_TIME",     "USER_IO_WAIT_TIME",
                                                 "MODULE",   "LAST_ACTIVE_TIME", "VERSION_COUNT"};

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The select list of a query; false when the server refused it.
bool Describe(COracleConnection& connection, const std::string& query, std::vector<std::string>& names) {
    names.clear();
    COracleCursor cursor(connection);
    cursor.Parse(query);
    std::vector<CColumnDescription> columns;
    if (!cursor.TryDescribeColumns(columns)) return false;
    for (const CColumnDescription& column : columns)
        names.push_back(Upper(column.m_Name));
    return true;
}

}  // namespace

int ReleaseOfBanner(const std::string& banner) {
    const std::string upper = Upper(banner);
    for (const char* word : {"RELEASE ", "VERSION "}) {
        const std::size_t at = upper.find(word);
        if (at == std::string::npos) continue;
        std::size_t i = at + std::char_traits<char>::length(word);
        int release = 0;
        bool digits = false;
        while (i < upper.size() && std::isdigit(static_cast<unsigned char>(upper[i])) && release < 1000) {
            release = release * 10 + (upper[i++] - '0');
            digits = true;
        }
        if (digits) return release;
    }
    return 0;
}

SServerFeatures DetectServerFeatures(COracleConnection& connection) {
    SServerFeatures features;
    features.detected = true;
    if (!connection.IsConnected()) return features;
    std::string name;
    connection.GetServerInfo(features.banner, name);
    features.release = ReleaseOfBanner(features.banner);

    std::vector<std::string> names;
    if (Describe(connection, "/* $CORVID$ */ SELECT * FROM sys.v_$sqlarea WHERE ROWNUM < 1", names)) {
        features.sqlAreaFigures = std::all_of(std::begin(kSqlAreaFigureColumns), std::end(kSqlAreaFigureColumns),
                                              [&names](const char* column) {
                                                  return std::find(names.begin(), names.end(), column) != names.end();
                                              });
    }
    features.sqlPlan =
        Describe(connection, "/* $CORVID$ */ SELECT * FROM sys.v_$sql_plan WHERE ROWNUM < 1", names) &&
        std::find(names.begin(), names.end(), "CHILD_NUMBER") != names.end();
    return features;
}

std::string DescribeServerFeatures(const SServerFeatures& features) {
    std::string text = "Server release = [" + std::to_string(features.release) + "]\r\n";
    text += std::string("Server figures (SQL ID, times) = [") + (features.sqlAreaFigures ? "yes" : "no") + "]\r\n";
    text += std::string("Server cursor cache plans = [") + (features.sqlPlan ? "yes" : "no") + "]\r\n";
    return text;
}

}  // namespace corvid
