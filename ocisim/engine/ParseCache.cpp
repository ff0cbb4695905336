#include "ocisim/engine/ParseCache.h"

#include <algorithm>

#include "ocisim/engine/Errors.h"
#include "ocisim/engine/Lexer.h"
#include "ocisim/engine/Parser.h"
#include "ocisim/engine/PlSql.h"

namespace ocisim {

namespace {

// Keys of the three kinds of entry; a schema name never holds a control character.
std::string StatementKey(const std::string& text, const std::string& schema) {
    return "S" + schema + '\x01' + text;
}
std::string BlockKey(const std::string& text, const std::string& schema) {
    return "B" + schema + '\x01' + text;
}
std::string ExpressionKey(const std::string& text) {
    return "E" + text;
}

}  // namespace

void ParseCache::SetEnabled(bool enabled) {
    m_Enabled = enabled;
    if (!enabled) Clear();
}

ParseCache::Entry* ParseCache::Find(const std::string& key) {
    auto it = m_Index.find(key);
    if (it == m_Index.end()) {
        ++m_Counts.misses;
        return nullptr;
    }
    ++m_Counts.hits;
    m_Lru.splice(m_Lru.begin(), m_Lru, it->second);
    return &*it->second;
}

ParseCache::Entry& ParseCache::Add(std::string key, const std::string& text) {
    while (m_Lru.size() >= m_Capacity && !m_Lru.empty()) {
        m_Index.erase(m_Lru.back().key);
        m_Lru.pop_back();
    }
    m_Lru.emplace_front();
    Entry& e = m_Lru.front();
    e.key = std::move(key);
    m_Index[e.key] = m_Lru.begin();
    // The identifiers name every object the text can depend on (and more words
    // besides, which only makes invalidation a little more eager).
    try {
        for (Token& t : Lexer::Tokenize(text))
            if (t.type == TokenType::Ident || t.type == TokenType::QuotedIdent) e.names.push_back(std::move(t.text));
    } catch (const OraException&) {
    }
    std::sort(e.names.begin(), e.names.end());
    e.names.erase(std::unique(e.names.begin(), e.names.end()), e.names.end());
    return e;
}

bool ParseCache::SeenBefore(const std::string& key) {
    const std::size_t hash = std::hash<std::string>{}(key);
    if (m_SeenOnce.erase(hash)) return true;
    // Bounded: a flood of one-off texts forgets the older ones.
    if (m_SeenOnce.size() >= 4 * m_Capacity) m_SeenOnce.clear();
    m_SeenOnce.insert(hash);
    return false;
}

std::unique_ptr<Statement> ParseCache::CheckStatement(const std::string& text, const std::string& schema) {
    if (!m_Enabled) return Parser(text).ParseStatement();
    if (Entry* e = Find(StatementKey(text, schema)); e && e->statement) return CloneStatement(*e->statement);
    return Parser(text).ParseStatement();
}

std::unique_ptr<Statement> ParseCache::ParseStatement(const std::string& text, const std::string& schema) {
    if (!m_Enabled) return Parser(text).ParseStatement();
    std::string key = StatementKey(text, schema);
    if (Entry* e = Find(key); e && e->statement) return CloneStatement(*e->statement);
    std::unique_ptr<Statement> parsed = Parser(text).ParseStatement();
    if (!SeenBefore(key)) return parsed;
    std::shared_ptr<const Statement> kept = CloneStatement(*parsed);
    Add(std::move(key), text).statement = std::move(kept);
    return parsed;
}

std::shared_ptr<PlSqlUnit> ParseCache::ParseBlock(const std::string& text, const std::string& schema) {
    if (!m_Enabled) return ParsePlSql(text, false);
    std::string key = BlockKey(text, schema);
    if (Entry* e = Find(key); e && e->block) return e->block;
    std::shared_ptr<PlSqlUnit> unit = ParsePlSql(text, false);
    Add(std::move(key), text).block = unit;
    return unit;
}

ExprPtr ParseCache::ParseExpression(const std::string& text, bool wholeText) {
    std::string key;
    if (m_Enabled) {
        key = ExpressionKey(text);
        if (Entry* e = Find(key); e && e->expression) {
            if (wholeText && !e->endsText) Raise(933);
            return CloneExpr(*e->expression);
        }
    }
    Parser p(text);
    ExprPtr parsed = p.ParseExpr();
    const bool endsText = p.AtEnd();
    if (m_Enabled) {
        Entry& e = Add(std::move(key), std::string());  // an expression depends on no object
        e.expression = CloneExpr(*parsed);
        e.endsText = endsText;
    }
    if (wholeText && !endsText) Raise(933);
    return parsed;
}

void ParseCache::Invalidate(const std::string& objectName) {
    for (auto it = m_Lru.begin(); it != m_Lru.end();) {
        if (std::binary_search(it->names.begin(), it->names.end(), objectName)) {
            m_Index.erase(it->key);
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
