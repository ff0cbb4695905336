#pragma once

// Statement templates and the generator that fills the shared pool from them:
// a template is a statement text with placeholders for literals and ranges
// for its statistics, so many statements differ only in their literals.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace ocisim {

class Database;

struct Range {
    double low = 0, high = 0;
    double Pick(std::mt19937_64& random) const;
};

struct StatementTemplate {
    // placeholders: {int:LOW:HIGH}, {pick:A|B|C}, {date}, {name}, {list:N:LOW:HIGH}
    std::string text;
    int weight = 1;
    std::int64_t count = 0;          // > 0: exactly this many statements, outside the weighted draw
    std::vector<std::string> users;  // parsing users, one picked per statement
    int commandType = 3;
    std::string optimizerMode;       // empty: the server's mode
    Range executions{1, 100};
    Range diskReadsPerExec{0, 5};
    Range bufferGetsPerExec{3, 50};
    Range rowsPerExec{1, 1};
    Range sortsPerExec{0, 0};
};

// Fills the placeholders of a template text. With `values`, what each
// placeholder became is appended to it, in the order of the text.
std::string ExpandTemplate(const std::string& text, std::mt19937_64& random,
                           std::vector<std::string>* values = nullptr);

// Adds `count` statements made from the database's templates to its pool,
// drawn by weight, and then the fixed number of each template that has one;
// the latter draw from a random sequence of their own, so that they leave the
// weighted statements as they were.
// Raises std::runtime_error when the database has no templates or a template
// names an unknown user.
void GenerateStatements(Database& db, const std::vector<StatementTemplate>& templates, std::int64_t count,
                        std::uint64_t seed);

}  // namespace ocisim
