#pragma once

// What the client reads from a statement's text without asking the server: its
// placeholders (for binding by name) and, for the release 7 cursor data area, the
// SQL function code of the statement.

#include <string>
#include <vector>

namespace ocisim::oci {

// The placeholder names of a statement (":name" or ":1"), upper-cased, without the
// colon, in order of first appearance; literals, quoted names and comments are
// skipped.
std::vector<std::string> FindPlaceholders(const std::string& sql);

// The placeholder name bound by position `position` (from 1): the n-th placeholder
// of a SQL statement, or the n-th distinct name of a PL/SQL block; empty when the
// statement has no such position.
std::string PlaceholderAtPosition(const std::string& sql, unsigned position);

// The function code of a PL/SQL block.
constexpr int kPlSqlFunctionCode = 34;

// A placeholder as the caller spells it (":T", "t") in the form FindPlaceholders
// returns; empty when it is not a valid name.
std::string NormalizePlaceholder(const std::string& name);

// The release 7 SQL function code (cda->ft) of a statement: 3 INSERT, 4 SELECT,
// 5 UPDATE, 9 DELETE, 34 PL/SQL block and the DDL and control codes; 0 when the
// statement is none of them.
int SqlFunctionCode(const std::string& sql);

// True for data definition (CREATE, DROP, ALTER of a schema object, GRANT, REVOKE,
// RENAME, TRUNCATE, COMMENT): release 7 runs it at a parse that is not deferred.
bool IsDataDefinition(const std::string& sql);

}  // namespace ocisim::oci
