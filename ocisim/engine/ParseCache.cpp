#include "ocisim/engine/ParseCache.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "ocisim/engine/Errors.h"
#include "ocisim/engine/Lexer.h"
#include "ocisim/engine/Parser.h"
#include "ocisim/engine/PlSql.h"

namespace ocisim {

std::unique_ptr<Select> SelectShelf::Take() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_Spare.empty()) return nullptr;
    std::unique_ptr<Select> tree = std::move(m_Spare.back());
    m_Spare.pop_back();
    return tree;
}

void SelectShelf::GiveBack(std::unique_ptr<Select> bound) {
    if (!bound || !m_Parsed->select) return;
    // Unbound before the lock: the kept tree is never changed, so reading it here is safe.
    if (!UnbindSelect(*m_Parsed->select, *bound)) return;
    std::unique_ptr<Select> dropped;
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_Spare.size() < kMostSpare)
        m_Spare.push_back(std::move(bound));
    else
        dropped = std::move(bound);  // freed after the lock
}

size_t SelectShelf::Spare() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Spare.size();
}

void ParseCache::SetEnabled(bool enabled) {
    m_Enabled = enabled;
    if (!enabled) Clear();
}

ParseCache::Key ParseCache::MakeKey(char kind, const std::string& schema, const std::string& text) {
    std::size_t hash = std::hash<std::string_view>{}(text);
    hash ^= std::hash<std::string_view>{}(schema) + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
    hash ^= static_cast<std::size_t>(kind) * 0x100000001b3ULL;
    return Key{kind, schema, text, hash};
}

std::unique_ptr<Statement> ParseCache::TreeOf(const Entry& e) {
    if (!e.shelf) return CloneStatement(*e.statement);
    std::unique_ptr<Statement> copy;
    if (std::unique_ptr<Select> spare = e.shelf->Take()) {
        copy = CloneStatement(*e.statement, false);
        copy->select = std::move(spare);
        ++m_Counts.reused;
    } else {
        copy = CloneStatement(*e.statement);
    }
    copy->shelf = e.shelf;
    return copy;
}

ParseCache::Entry* ParseCache::Find(const Key& key) {
    auto [first, last] = m_Index.equal_range(key.hash);
    for (auto it = first; it != last; ++it) {
        Entry& e = *it->second;
        if (e.kind != key.kind || e.schema != key.schema || e.text != key.text) continue;
        ++m_Counts.hits;
        m_Lru.splice(m_Lru.begin(), m_Lru, it->second);
        return &m_Lru.front();
    }
    ++m_Counts.misses;
    return nullptr;
}

void ParseCache::Unindex(const Lru::iterator& entry) {
    auto [first, last] = m_Index.equal_range(entry->hash);
    for (auto it = first; it != last; ++it) {
        if (it->second == entry) {
            m_Index.erase(it);
            return;
        }
    }
}

ParseCache::Entry& ParseCache::Add(const Key& key) {
    while (m_Lru.size() >= m_Capacity && !m_Lru.empty()) {
        Unindex(std::prev(m_Lru.end()));
        m_Lru.pop_back();
    }
    m_Lru.emplace_front();
    Entry& e = m_Lru.front();
    e.kind = key.kind;
    e.schema = key.schema;
    e.text = key.text;
    e.hash = key.hash;
    m_Index.emplace(key.hash, m_Lru.begin());
    // The identifiers name every object the text can depend on (and more words
    // besides, which only makes invalidation a little more eager). An expression
    // depends on no object.
    if (key.kind != 'E') {
        try {
            for (Token& t : Lexer::Tokenize(key.text))
                if (t.type == TokenType::Ident || t.type == TokenType::QuotedIdent) e.names.push_back(std::move(t.text));
        } catch (const OraException&) {
        }
    }
    std::sort(e.names.begin(), e.names.end());
    e.names.erase(std::unique(e.names.begin(), e.names.end()), e.names.end());
    return e;
}

bool ParseCache::SeenBefore(const Key& key) {
    if (m_SeenOnce.erase(key.hash)) return true;
    // Bounded: a flood of one-off texts forgets the older ones.
    if (m_SeenOnce.size() >= 4 * m_Capacity) m_SeenOnce.clear();
    m_SeenOnce.insert(key.hash);
    return false;
}

std::unique_ptr<Statement> ParseCache::CheckStatement(const std::string& text, const std::string& schema) {
    if (!m_Enabled) return Parser(text).ParseStatement();
    if (Entry* e = Find(MakeKey('S', schema, text)); e && e->statement) return CloneStatement(*e->statement);
    return Parser(text).ParseStatement();
}

std::unique_ptr<Statement> ParseCache::ParseStatement(const std::string& text, const std::string& schema) {
    if (!m_Enabled) return Parser(text).ParseStatement();
    const Key key = MakeKey('S', schema, text);
    if (Entry* e = Find(key); e && e->statement) return TreeOf(*e);
    std::unique_ptr<Statement> parsed = Parser(text).ParseStatement();
    if (!SeenBefore(key)) return parsed;
    std::shared_ptr<const Statement> kept = CloneStatement(*parsed);
    Entry& e = Add(key);
    // A query comes back from its executes to be bound again, unless binding
    // rewrites its select list (* expanded in place).
    if (kept->kind == Statement::Kind::Select && kept->select && !HasStarItem(*kept->select)) {
        e.shelf = std::make_shared<SelectShelf>(kept);
        parsed->shelf = e.shelf;
    }
    e.statement = std::move(kept);
    return parsed;
}

std::shared_ptr<PlSqlUnit> ParseCache::ParseBlock(const std::string& text, const std::string& schema) {
    if (!m_Enabled) return ParsePlSql(text, false);
    const Key key = MakeKey('B', schema, text);
    if (Entry* e = Find(key); e && e->block) return e->block;
    std::shared_ptr<PlSqlUnit> unit = ParsePlSql(text, false);
    Add(key).block = unit;
    return unit;
}

ExprPtr ParseCache::ParseExpression(const std::string& text, bool wholeText) {
    static const std::string kNoSchema;
    const Key key = m_Enabled ? MakeKey('E', kNoSchema, text) : Key{'E', kNoSchema, text, 0};
    if (m_Enabled) {
        if (Entry* e = Find(key); e && e->expression) {
            if (wholeText && !e->endsText) Raise(933);
            return CloneExpr(*e->expression);
        }
    }
    Parser p(text);
    ExprPtr parsed = p.ParseExpr();
    const bool endsText = p.AtEnd();
    if (m_Enabled) {
        Entry& e = Add(key);
        e.expression = CloneExpr(*parsed);
        e.endsText = endsText;
    }
    if (wholeText && !endsText) Raise(933);
    return parsed;
}

void ParseCache::Invalidate(const std::string& objectName) {
    for (auto it = m_Lru.begin(); it != m_Lru.end();) {
        if (std::binary_search(it->names.begin(), it->names.end(), objectName)) {
            Unindex(it);
            it = m_Lru.erase(it);
            ++m_Counts.invalidated;
        } else {
            ++it;
        }
    }
}

void ParseCache::Clear() {
    m_Lru.clear();
    m_Index.clear();
    m_SeenOnce.clear();
}

ParseCache::Counts ParseCache::GetCounts() const {
    Counts c = m_Counts;
    c.entries = m_Lru.size();
    return c;
}

}  // namespace ocisim
