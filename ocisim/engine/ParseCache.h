#pragma once

// The server's parsed statements, kept as a shared pool keeps its cursors: a
// statement text parsed for one schema is parsed once, and each later execute of
// the same text works on a copy of the kept tree (a soft parse), or on a query's
// tree that an earlier execute handed back, unbound again. PL/SQL blocks
// keep their compiled unit, and PL/SQL expressions their tree. A statement is kept
// from its second parse on, so that texts parsed once (each EXPLAIN PLAN of its own
// statement id) cost no copy. DDL on an object
// drops every kept statement that names it; the least recently used entries make
// room for new ones. Only parses that succeed are kept, so an error is raised
// again, the same, on every execute. Not thread-safe: the server's lock guards it.

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ocisim/engine/Ast.h"

namespace ocisim {

struct PlSqlUnit;

// The query trees of one kept statement that executes have finished with: each is
// unbound again on its way back, and the next execute binds it instead of copying
// the kept tree. A query's rows may be released on any client thread, outside the
// server's lock, so the shelf guards itself.
class SelectShelf {
public:
    explicit SelectShelf(std::shared_ptr<const Statement> parsed) : m_Parsed(std::move(parsed)) {}

    // An unbound tree of the statement's query, or null when none is spare.
    std::unique_ptr<Select> Take();
    // A tree of this statement's query whose binding nobody reads any more.
    void GiveBack(std::unique_ptr<Select> bound);
    size_t Spare();

private:
    static constexpr size_t kMostSpare = 4;
    const std::shared_ptr<const Statement> m_Parsed;
    std::mutex m_Mutex;
    std::vector<std::unique_ptr<Select>> m_Spare;
};

class ParseCache {
public:
    explicit ParseCache(size_t capacity = 4096) : m_Capacity(capacity) {}

    // Off: every call parses afresh and nothing is kept.
    void SetEnabled(bool enabled);
    bool Enabled() const { return m_Enabled; }

    // The statement of `text` as parsed for `schema`, a tree of the caller's own.
    // Raises the parser's error for a text that does not parse.
    std::unique_ptr<Statement> ParseStatement(const std::string& text, const std::string& schema);
    // The same, but a text not kept yet is parsed without counting towards keeping
    // it (a check before the execute that parses it again).
    std::unique_ptr<Statement> CheckStatement(const std::string& text, const std::string& schema);
    // The unit of an anonymous PL/SQL block; shared, never changed once built.
    std::shared_ptr<PlSqlUnit> ParseBlock(const std::string& text, const std::string& schema);
    // A PL/SQL expression; with `wholeText` the expression must end the text
    // (ORA-00933 otherwise).
    ExprPtr ParseExpression(const std::string& text, bool wholeText);

    // Drops every kept statement and block whose text names the object.
    void Invalidate(const std::string& objectName);
    void Clear();

    struct Counts {
        std::size_t hits = 0, misses = 0, invalidated = 0, entries = 0;
        std::size_t reused = 0;  // query trees bound again instead of copied
    };
    Counts GetCounts() const;

private:
    // An entry's key: its kind ('S' statement, 'B' block, 'E' expression), the
    // parsing schema and the text; hashed once per call.
    struct Key {
        char kind;
        const std::string& schema;
        const std::string& text;
        std::size_t hash;
    };
    struct Entry {
        char kind = 0;
        std::string schema, text;
        std::size_t hash = 0;
        std::shared_ptr<const Statement> statement;
        std::shared_ptr<SelectShelf> shelf;  // a query's trees, back from executes
        std::shared_ptr<PlSqlUnit> block;
        ExprPtr expression;
        bool endsText = true;
        std::vector<std::string> names;  // the identifiers of the text, upper-case
    };
    using Lru = std::list<Entry>;

    static Key MakeKey(char kind, const std::string& schema, const std::string& text);
    // The caller's own tree of a kept statement: a spare one from the shelf, or a copy.
    std::unique_ptr<Statement> TreeOf(const Entry& e);
    Entry* Find(const Key& key);
    // True when the key was seen before; remembers it otherwise.
    bool SeenBefore(const Key& key);
    Entry& Add(const Key& key);
    // Removes an entry from the index (not from the list).
    void Unindex(const Lru::iterator& entry);

    size_t m_Capacity;
    bool m_Enabled = true;
    Lru m_Lru;  // most recently used first
    std::unordered_multimap<std::size_t, Lru::iterator> m_Index;  // by the key's hash
    std::unordered_set<std::size_t> m_SeenOnce;  // hashes of keys parsed once
    Counts m_Counts;
};

}  // namespace ocisim
