#include "ocisim/engine/Errors.h"

#include <cstdio>
#include <map>

namespace ocisim {

namespace {

const std::map<int, const char*>& Texts() {
    static const std::map<int, const char*> texts = {
        {96, "invalid value %s for parameter %s, must be from among %s"},
        {900, "invalid SQL statement"},
        {901, "invalid CREATE command"},
        {902, "invalid datatype"},
        {903, "invalid table name"},
        {904, "\"%s\": invalid identifier"},
        {905, "missing keyword"},
        {906, "missing left parenthesis"},
        {907, "missing right parenthesis"},
        {908, "missing NULL keyword"},
        {909, "invalid number of arguments"},
        {911, "invalid character"},
        {913, "too many values"},
        {917, "missing comma"},
        {918, "column ambiguously defined"},
        {920, "invalid relational operator"},
        {921, "unexpected end of SQL command"},
        {922, "missing or invalid option"},
        {923, "FROM keyword not found where expected"},
        {924, "missing BY keyword"},
        {925, "missing INTO keyword"},
        {926, "missing VALUES keyword"},
        {927, "missing equal sign"},
        {928, "missing SELECT keyword"},
        {932, "inconsistent datatypes: expected %s got %s"},
        {933, "SQL command not properly ended"},
        {934, "group function is not allowed here"},
        {936, "missing expression"},
        {937, "not a single-group group function"},
        {942, "table or view does not exist"},
        {947, "not enough values"},
        {955, "name is already used by an existing object"},
        {957, "duplicate column name"},
        {960, "ambiguous column naming in select list"},
        {969, "missing ON keyword"},
        {979, "not a GROUP BY expression"},
        {910, "invalid character length"},
        {940, "invalid ALTER command"},
        {950, "invalid DROP option"},
        {971, "missing SET keyword"},
        {987, "missing or invalid username(s)"},
        {990, "missing or invalid privilege"},
        {2000, "missing %s keyword"},
        {2065, "illegal option for ALTER SYSTEM"},
        {2216, "tablespace name expected"},
        {1778, "maximum subquery nesting level exceeded"},
        {1780, "string literal required"},
        {1426, "numeric overflow"},
        {1424, "missing or illegal character following the escape character"},
        {1481, "invalid number format model"},
        {1425, "escape character must be character string of length 1"},
        {4030, "out of process memory when trying to allocate %s bytes (%s,%s)"},
        {2003, "invalid USERENV parameter"},
        {1789, "query block has incorrect number of result columns"},
        {1652, "unable to extend temp segment by %s in tablespace %s"},
        {1003, "no statement parsed"},
        {6508, "PL/SQL: could not find program unit being called"},
        {1418, "specified index does not exist"},
        {1434, "private synonym to be dropped does not exist"},
        {2030, "can only select from fixed tables/views"},
        {12899, "value too large for column %s"},
        {1002, "fetch out of sequence"},
        {1006, "bind variable does not exist"},
        {1007, "variable not in select list"},
        {1008, "not all variables bound"},
        {1013, "user requested cancel of current operation"},
        {1017, "invalid username/password; logon denied"},
        {1031, "insufficient privileges"},
        {1034, "ORACLE not available"},
        {1045, "user %s lacks CREATE SESSION privilege; logon denied"},
        {1400, "cannot insert NULL into (%s)"},
        {1403, "no data found"},
        {1405, "fetched column value is NULL"},
        {1406, "fetched column value was truncated"},
        {1422, "exact fetch returns more than requested number of rows"},
        {1427, "single-row subquery returns more than one row"},
        {1436, "CONNECT BY loop in user data"},
        {1438, "value larger than specified precision allowed for this column"},
        {1476, "divisor is equal to zero"},
        {1555, "snapshot too old: rollback segment number %s with name \"%s\" too small"},
        {1722, "invalid number"},
        {1740, "missing double quote in identifier"},
        {1756, "quoted string not properly terminated"},
        {1788, "CONNECT BY clause required in this query block"},
        {1785, "ORDER BY item must be the number of a SELECT-list expression"},
        {1795, "maximum number of expressions in a list is 1000"},
        {1821, "date format not recognized"},
        {1830, "date format picture ends before converting entire input string"},
        {1840, "input value not long enough for date format"},
        {1843, "not a valid month"},
        {1847, "day of month must be between 1 and last day of month"},
        {1850, "hour must be between 0 and 23"},
        {1851, "minutes must be between 0 and 59"},
        {1852, "seconds must be between 0 and 59"},
        {1858, "a non-numeric character was found where a numeric was expected"},
        {1861, "literal does not match format string"},
        {1435, "user does not exist"},
        {2248, "invalid option for ALTER SESSION"},
        {2402, "PLAN_TABLE not found"},
        {3095, "expression level is too deep, maximum %s"},
        {3113, "end-of-file on communication channel"},
        {3114, "not connected to ORACLE"},
        {4043, "object %s does not exist"},
        {6502, "PL/SQL: numeric or value error%s"},
        {6510, "PL/SQL: unhandled user-defined exception"},
        {6511, "PL/SQL: cursor already open"},
        {6550, "line %s, column %s:\n%s"},
        {12154, "TNS:could not resolve the connect identifier specified"},
        {24333, "zero iteration count"},
        {24344, "success with compilation error"},
        {24345, "A Truncation or null fetch error occurred"},
        {24374, "define not done before fetch or execute and fetch"},
        {28000, "the account is locked"},
        {29471, "DBMS_SQL access denied"},
    };
    return texts;
}

}  // namespace

std::string OracleErrorText(int code) {
    auto it = Texts().find(code);
    return it == Texts().end() ? std::string() : std::string(it->second);
}

OraError OraError::Make(int code, const std::string& text) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", code);
    OraError e;
    e.code = code;
    e.message = prefix + text;
    return e;
}

OraError Ora(int code, const std::string& arg1, const std::string& arg2, const std::string& arg3) {
    std::string text = OracleErrorText(code);
    if (text.empty()) text = "Message " + std::to_string(code) + " not found;  product=RDBMS; facility=ORA";
    const std::string* args[] = {&arg1, &arg2, &arg3};
    std::string out;
    int next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            if (next < 3) out += *args[next];
            ++next;
            ++i;
        } else {
            out += text[i];
        }
    }
    return OraError::Make(code, out);
}

}  // namespace ocisim
