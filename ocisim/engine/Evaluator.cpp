#include "ocisim/engine/Evaluator.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string_view>
#include <unordered_map>

#include "ocisim/engine/DateTime.h"
#include "ocisim/engine/Errors.h"

namespace ocisim {

namespace {

constexpr size_t kNullRow = SIZE_MAX;

enum Fn {
    F_ABS, F_ADD_MONTHS, F_ASCII, F_CEIL, F_CHR, F_COALESCE, F_CONCAT, F_DECODE, F_FLOOR, F_GREATEST, F_INITCAP,
    F_INSTR, F_LAST_DAY, F_LEAST, F_LENGTH, F_LOWER, F_LPAD, F_LTRIM, F_MOD, F_NULLIF, F_NVL, F_NVL2, F_POWER,
    F_RAWTOHEX, F_REPLACE, F_ROUND, F_RPAD, F_RTRIM, F_SIGN, F_SQRT, F_SUBSTR, F_SYSDATE, F_TO_CHAR, F_TO_DATE,
    F_TO_NUMBER, F_TRIM, F_TRUNC, F_UID, F_UPPER, F_USER, F_USERENV, F_PLSQL
};

struct FnInfo {
    const char* name;
    Fn id;
    int minArgs, maxArgs;  // maxArgs -1: any
    bool noParens;         // may be written without parentheses
};

const FnInfo kFunctions[] = {
    {"ABS", F_ABS, 1, 1, false},         {"ADD_MONTHS", F_ADD_MONTHS, 2, 2, false}, {"ASCII", F_ASCII, 1, 1, false},
    {"CEIL", F_CEIL, 1, 1, false},       {"CHR", F_CHR, 1, 1, false},           {"COALESCE", F_COALESCE, 1, -1, false},
    {"CONCAT", F_CONCAT, 2, 2, false},   {"DECODE", F_DECODE, 3, 255, false},   {"FLOOR", F_FLOOR, 1, 1, false},
    {"GREATEST", F_GREATEST, 1, -1, false}, {"INITCAP", F_INITCAP, 1, 1, false}, {"INSTR", F_INSTR, 2, 4, false},
    {"LAST_DAY", F_LAST_DAY, 1, 1, false}, {"LEAST", F_LEAST, 1, -1, false},    {"LENGTH", F_LENGTH, 1, 1, false},
    {"LOWER", F_LOWER, 1, 1, false},     {"LPAD", F_LPAD, 2, 3, false},         {"LTRIM", F_LTRIM, 1, 2, false},
    {"MOD", F_MOD, 2, 2, false},         {"NULLIF", F_NULLIF, 2, 2, false},     {"NVL", F_NVL, 2, 2, false},
    {"NVL2", F_NVL2, 3, 3, false},       {"POWER", F_POWER, 2, 2, false},       {"RAWTOHEX", F_RAWTOHEX, 1, 1, false},
    {"REPLACE", F_REPLACE, 2, 3, false}, {"ROUND", F_ROUND, 1, 2, false},       {"RPAD", F_RPAD, 2, 3, false},
    {"RTRIM", F_RTRIM, 1, 2, false},     {"SIGN", F_SIGN, 1, 1, false},         {"SQRT", F_SQRT, 1, 1, false},
    {"SUBSTR", F_SUBSTR, 2, 3, false},   {"SYSDATE", F_SYSDATE, 0, 0, true},    {"TO_CHAR", F_TO_CHAR, 1, 3, false},
    {"TO_DATE", F_TO_DATE, 1, 3, false}, {"TO_NUMBER", F_TO_NUMBER, 1, 3, false}, {"TRIM", F_TRIM, 1, 1, false},
    {"TRUNC", F_TRUNC, 1, 2, false},     {"UID", F_UID, 0, 0, true},            {"UPPER", F_UPPER, 1, 1, false},
    {"USER", F_USER, 0, 0, true},        {"USERENV", F_USERENV, 1, 1, false},
};

const FnInfo* FindFunction(const std::string& name) {
    for (const FnInfo& f : kFunctions)
        if (name == f.name) return &f;
    return nullptr;
}

std::string QuotedName(const std::vector<std::string>& names) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i) out += "\".\"";
        out += names[i];
    }
    return out;
}

double ToNum(const Value& v) {
    double d = 0;
    OraError err;
    if (!v.ToNumber(d, err)) throw OraException(err);
    return d;
}

std::string ToUpper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

double RoundHalfAway(double n, int digits) {
    double scale = std::pow(10.0, digits);
    // Round the decimal the double stands for, to its 15 significant digits:
    // 2.675 * 100 is 267.49999... in binary but 267.5 in decimal, and
    // 2.4999999995 stays below the half (a fixed nudge of 1e-9 pushed it over).
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", n * scale);
    double r = std::round(std::strtod(text, nullptr));
    return r / scale;
}

double TruncDigits(double n, int digits) {
    double scale = std::pow(10.0, digits);
    return std::trunc(n * scale) / scale;
}

// A computed NUMBER: beyond 1e126 it overflows (ORA-01426), below 1e-130 it is zero.
Value NumberInRange(double n) {
    if (std::isinf(n) || std::fabs(n) >= 1e126) Raise(1426);
    return Value::Num(std::fabs(n) < 1e-130 ? 0.0 : n);
}

// TO_CHAR of a number with a format model of 9, 0, "," or G, "." or D, and FM:
// one leading position for the sign, blanks for unused leading 9s, zeros from
// the first 0 on, and "#" across the whole width when the number does not fit.
std::string FormatNumberModel(double n, const std::string& model) {
    std::string format = ToUpper(model);
    const bool fill = format.compare(0, 2, "FM") == 0;
    if (fill) format.erase(0, 2);
    int integerPositions = 0, fractionPositions = 0, firstZero = -1;
    bool point = false;
    for (char c : format) {
        if (c == '9' || c == '0') {
            if (point) {
                ++fractionPositions;
            } else {
                if (c == '0' && firstZero < 0) firstZero = integerPositions;
                ++integerPositions;
            }
        } else if (c == '.' || c == 'D') {
            if (point) Raise(1481);
            point = true;
        } else if ((c == ',' || c == 'G') && !point) {
            continue;
        } else {
            Raise(1481);
        }
    }
    char buf[400];
    const double scaled = RoundHalfAway(std::fabs(n), fractionPositions) * std::pow(10.0, fractionPositions);
    std::snprintf(buf, sizeof buf, "%.0f", scaled);
    std::string digits = buf;
    if (digits.size() < static_cast<size_t>(fractionPositions) + 1)
        digits.insert(0, static_cast<size_t>(fractionPositions) + 1 - digits.size(), '0');
    std::string whole = digits.substr(0, digits.size() - static_cast<size_t>(fractionPositions));
    const std::string fraction = digits.substr(whole.size());
    const bool negative = n < 0 && digits.find_first_not_of('0') != std::string::npos;
    if (whole == "0") whole.clear();
    if (whole.empty() && fractionPositions == 0 && integerPositions > 0) whole = "0";
    if (static_cast<int>(whole.size()) > integerPositions) return std::string(format.size() + 1, '#');

    std::string out;
    const int leading = integerPositions - static_cast<int>(whole.size());
    int position = 0;
    bool started = false;
    size_t f = 0;
    for (; f < format.size() && format[f] != '.' && format[f] != 'D'; ++f) {
        const char c = format[f];
        if (c == ',' || c == 'G') {
            out += started ? ',' : ' ';
            continue;
        }
        if (position < leading) {
            started = started || (firstZero >= 0 && position >= firstZero);
            out += started ? '0' : ' ';
        } else {
            out += whole[static_cast<size_t>(position - leading)];
            started = true;
        }
        ++position;
    }
    if (point) {
        out += '.';
        std::string tail = fraction;
        if (fill) {
            // FM drops the trailing zeros of 9 positions, not those of 0 positions.
            size_t keep = tail.size();
            size_t digit = 0, lastZeroPosition = 0;
            for (size_t i = f + 1; i < format.size(); ++i) {
                if (format[i] == '0') lastZeroPosition = digit + 1;
                if (format[i] == '9' || format[i] == '0') ++digit;
            }
            while (keep > lastZeroPosition && tail[keep - 1] == '0') --keep;
            tail.resize(keep);
        }
        out += tail;
    }
    const size_t first = out.find_first_not_of(' ');
    const size_t at = first == std::string::npos ? out.size() : first;
    out.insert(at, 1, negative ? '-' : ' ');
    if (fill) out.erase(0, out.find_first_not_of(' '));
    return out;
}

std::string GroupKey(const Value& v) {
    switch (v.type) {
        case Value::Type::Null: return std::string("\x01", 1);
        // Appending to a one-letter string rather than adding to a literal keeps
        // GCC 12's -Wrestrict false alarm quiet in optimised builds.
        case Value::Type::Number: return std::string("N").append(FormatNumber(v.number));
        case Value::Type::Text: return std::string("T").append(v.text);
        case Value::Type::Date: return std::string("D").append(std::to_string(v.date));
    }
    return {};
}

Tri Not(Tri t) { return t == Tri::True ? Tri::False : t == Tri::False ? Tri::True : Tri::Unknown; }

bool SameExpr(const Expr& a, const Expr& b) {
    if (a.kind != b.kind || a.op != b.op || a.args.size() != b.args.size() || a.negated != b.negated ||
        a.distinct != b.distinct || a.star != b.star)
        return false;
    if (a.kind == Expr::Kind::Name)
        return a.variable ? a.variable == b.variable
                          : a.depth == b.depth && a.source == b.source && a.column == b.column;
    if (a.kind == Expr::Kind::Literal) {
        if (a.literal.type != b.literal.type) return false;
        if (a.literal.IsNull()) return true;
        return CompareValues(a.literal, b.literal) == 0;
    }
    if (a.kind == Expr::Kind::Function || a.kind == Expr::Kind::Aggregate || a.kind == Expr::Kind::Bind) {
        if (a.names != b.names) return false;
    }
    if (a.sub || b.sub) return false;
    for (size_t i = 0; i < a.args.size(); ++i)
        if (!SameExpr(*a.args[i], *b.args[i])) return false;
    return true;
}

// The set of a long IN list of literals of one type (NULLs aside), or none.
std::shared_ptr<InSet> ConstantInListSet(const Expr& e) {
    // Short lists are scanned: the set only pays for itself on longer ones.
    constexpr size_t kShortestSetList = 16;
    if (e.args.size() - 1 < kShortestSetList) return nullptr;
    auto set = std::make_shared<InSet>();
    for (size_t i = 1; i < e.args.size(); ++i) {
        const Expr& item = *e.args[i];
        if (item.kind != Expr::Kind::Literal) return nullptr;
        switch (item.literal.type) {
            case Value::Type::Null: set->hasNull = true; break;
            case Value::Type::Number: set->numbers.insert(item.literal.number); break;
            case Value::Type::Text: set->texts.Insert(item.literal.text); break;
            case Value::Type::Date: return nullptr;
        }
    }
    // Numbers and texts mixed are compared with conversions, one by one.
    if (!set->numbers.empty() && !set->texts.Empty()) return nullptr;
    set->evaluated = true;
    return set;
}

}  // namespace

// ---------------------------------------------------------------- helpers

int CompareValues(const Value& a, const Value& b) {
    using T = Value::Type;
    if (a.type == T::Number || b.type == T::Number) {
        if (a.type == T::Date || b.type == T::Date) Raise(932, "NUMBER", "DATE");
        double x = ToNum(a), y = ToNum(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (a.type == T::Date || b.type == T::Date) {
        std::int64_t x = a.type == T::Date ? a.date : ParseDate(a.text, DefaultDateMask());
        std::int64_t y = b.type == T::Date ? b.date : ParseDate(b.text, DefaultDateMask());
        return x < y ? -1 : x > y ? 1 : 0;
    }
    int c = a.text.compare(b.text);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

// The bytes of the UTF-8 character that starts at s[i] (text is AL32UTF8).
size_t CharBytes(const std::string& s, size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    return std::min(n, s.size() - i);
}

// A pattern whose only wildcard is "%": its literal pieces found in order, the
// first at the start and the last at the end unless a "%" stands there.
bool PercentOnlyMatch(std::string_view s, std::string_view p) {
    std::size_t from = 0;
    std::size_t pieceStart = 0;
    bool first = true;
    while (true) {
        const std::size_t pieceEnd = p.find('%', pieceStart);
        const std::string_view piece = p.substr(pieceStart, pieceEnd == std::string_view::npos ? p.npos : pieceEnd - pieceStart);
        if (pieceEnd == std::string_view::npos) {
            // The last piece: anchored at the end (and at the start too when it is the only one).
            if (first) return s == piece;
            return s.size() - from >= piece.size() && s.substr(s.size() - piece.size()) == piece;
        }
        if (first) {
            if (s.substr(0, piece.size()) != piece) return false;
            from = piece.size();
            first = false;
        } else if (!piece.empty()) {
            const std::size_t at = s.find(piece, from);
            if (at == std::string_view::npos) return false;
            from = at + piece.size();
        }
        pieceStart = pieceEnd + 1;
    }
}

bool LikeMatch(const std::string& s, const std::string& p, char escape) {
    if (p.find('_') == std::string::npos && (escape == 0 || p.find(escape) == std::string::npos))
        return PercentOnlyMatch(s, p);
    // Iterative wildcard match with backtracking to the last "%". "_" and "%"
    // count characters, not bytes.
    size_t si = 0, pi = 0, starP = std::string::npos, starS = 0;
    while (si < s.size()) {
        if (pi < p.size()) {
            char pc = p[pi];
            if (escape && pc == escape && pi + 1 < p.size()) {
                if (s[si] == p[pi + 1]) {
                    si++;
                    pi += 2;
                    continue;
                }
            } else if (pc == '%') {
                starP = pi++;
                starS = si;
                continue;
            } else if (pc == '_') {
                si += CharBytes(s, si);
                pi++;
                continue;
            } else if (pc == s[si]) {
                si++;
                pi++;
                continue;
            }
        }
        if (starP == std::string::npos) return false;
        pi = starP + 1;
        starS += CharBytes(s, starS);
        si = starS;
    }
    while (pi < p.size() && p[pi] == '%') pi++;
    return pi == p.size();
}

// ---------------------------------------------------------------- binding

struct Evaluator::Block {
    Select* select = nullptr;
    std::vector<std::shared_ptr<const TableData>> sources;
    std::vector<std::string> sourceNames;
    std::vector<std::string> sourceTables;
    std::vector<std::string> sourceSchemas;
    std::vector<const Expr*> aggregates;
    std::vector<int> orderRef;  // per ORDER BY item: select item index, or -1
    std::vector<ColumnDesc> columns;
    bool grouped = false;
    bool correlated = false;
    Block* next = nullptr;
};

struct Evaluator::Scope {
    Block* block;
    Scope* outer;
    bool inAggregate = false;
};

struct Evaluator::Frame {
    const Block* block = nullptr;
    const size_t* rows = nullptr;
    const Frame* outer = nullptr;
    const Frame* prior = nullptr;
    std::int64_t rownum = 0;
    int level = 0;
    const std::vector<Value>* aggregates = nullptr;
};

std::uint64_t TextSet::HashOf(std::string_view text) {
    // FNV-1a, then mixed so that the low bits pick the slot.
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : text) h = (h ^ c) * 0x100000001b3ull;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ull;
    return h ^ (h >> 32);
}

void TextSet::Grow() {
    std::vector<Slot> slots(m_Slots.empty() ? 16 : m_Slots.size() * 2);
    const std::size_t mask = slots.size() - 1;
    for (const Slot& s : m_Slots) {
        if (s.place == kEmpty) continue;
        std::size_t i = HashOf(TextAt(s.place)) & mask;
        while (slots[i].place != kEmpty) i = (i + 1) & mask;
        slots[i] = s;
    }
    m_Slots = std::move(slots);
}

std::size_t TextSet::SlotOf(std::string_view text, std::uint64_t hash) const {
    const std::size_t mask = m_Slots.size() - 1;
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& s = m_Slots[i];
        if (s.place == kEmpty || (s.hash == tag && TextAt(s.place) == text)) return i;
    }
}

void TextSet::Insert(std::string_view text) {
    if ((m_Order.size() + 1) * 2 > m_Slots.size()) Grow();
    const std::uint64_t hash = HashOf(text);
    Slot& s = m_Slots[SlotOf(text, hash)];
    if (s.place != kEmpty) return;
    if (m_Order.size() >= kEmpty) Raise(4030);  // out of process memory
    s.hash = static_cast<std::uint32_t>(hash >> 32);
    s.place = static_cast<std::uint32_t>(m_Order.size());
    m_Order.push_back({m_Chars.size(), text.size()});
    m_Chars.append(text);
}

bool TextSet::Contains(std::string_view text) const {
    return !m_Order.empty() && m_Slots[SlotOf(text, HashOf(text))].place != kEmpty;
}

Evaluator::Evaluator(EvalEnv env) : m_Env(std::move(env)) {}
Evaluator::~Evaluator() = default;

std::vector<ColumnDesc> Evaluator::BindQuery(Select& select) {
    std::vector<ColumnDesc> columns;
    BindSelect(select, nullptr, &columns);
    return columns;
}

void Evaluator::BindExpression(Expr& e) { BindExpr(e, nullptr, false); }

void Evaluator::BindOnTable(Expr& e, std::shared_ptr<const TableData> table, const std::string& alias) {
    if (!m_SingleTable) {
        m_SingleTable = std::make_unique<Block>();
        m_SingleTable->sources.push_back(std::move(table));
        m_SingleTable->sourceNames.push_back(alias);
        m_SingleTable->sourceTables.push_back(alias);
        m_SingleTable->sourceSchemas.push_back({});
    }
    Scope scope{m_SingleTable.get(), nullptr};
    BindExpr(e, &scope, false);
}

void Evaluator::BindSelect(Select& select, Scope* outer, std::vector<ColumnDesc>* described) {
    m_Blocks.push_back(std::make_unique<Block>());
    Block* block = m_Blocks.back().get();
    block->select = &select;
    for (TableRef& ref : select.from) {
        std::shared_ptr<const TableData> data;
        if (ref.subquery) {
            // An inline view: its rows do not depend on the enclosing query.
            std::vector<ColumnDesc> cols;
            BindSelect(*ref.subquery, nullptr, &cols);
            auto table = std::make_shared<RowTable>(cols);
            table->MutableRows() = RunQuery(*ref.subquery, nullptr);
            data = table;
        } else {
            if (!ref.dblink.empty()) Raise(942);
            data = m_Env.resolveTable(ref);
        }
        block->sources.push_back(data);
        block->sourceNames.push_back(ref.alias.empty() ? ref.name : ref.alias);
        block->sourceTables.push_back(ref.alias.empty() ? ref.name : std::string());
        block->sourceSchemas.push_back(ref.alias.empty() ? ref.schema : std::string());
    }
    Scope scope{block, outer};
    for (TableRef& ref : select.from)
        if (ref.on) BindExpr(*ref.on, &scope, false);

    // Expand * and t.* into the columns they stand for.
    std::vector<SelectItem> items;
    for (SelectItem& item : select.items) {
        if (item.expr) {
            items.push_back(std::move(item));
            continue;
        }
        bool matched = false;
        for (size_t s = 0; s < block->sources.size(); ++s) {
            if (!item.starQualifier.empty() && block->sourceNames[s] != item.starQualifier) continue;
            matched = true;
            const auto& cols = block->sources[s]->Columns();
            for (size_t c = 0; c < cols.size(); ++c) {
                SelectItem expanded;
                expanded.expr = std::make_unique<Expr>();
                expanded.expr->kind = Expr::Kind::Name;
                expanded.expr->names = {block->sourceNames[s], cols[c].name};
                expanded.expr->depth = 0;
                expanded.expr->source = static_cast<int>(s);
                expanded.expr->column = static_cast<int>(c);
                expanded.alias = cols[c].name;
                items.push_back(std::move(expanded));
            }
        }
        if (!matched) Raise(904, item.starQualifier);
    }
    select.items = std::move(items);
    for (SelectItem& item : select.items)
        if (item.expr->kind != Expr::Kind::Name || item.expr->source < 0) BindExpr(*item.expr, &scope, true);
    if (select.where) BindExpr(*select.where, &scope, false);
    if (select.startWith) BindExpr(*select.startWith, &scope, false);
    if (select.connectBy) BindExpr(*select.connectBy, &scope, false);
    for (ExprPtr& g : select.groupBy) BindExpr(*g, &scope, false);
    if (select.having) BindExpr(*select.having, &scope, true);
    for (OrderItem& o : select.orderBy) {
        int ref = -1;
        if (o.expr->kind == Expr::Kind::Literal && o.expr->literal.type == Value::Type::Number) {
            double n = o.expr->literal.number;
            if (n != std::floor(n) || n < 1 || n > static_cast<double>(select.items.size())) Raise(1785);
            ref = static_cast<int>(n) - 1;
        } else if (o.expr->kind == Expr::Kind::Name && o.expr->names.size() == 1) {
            for (size_t i = 0; i < select.items.size(); ++i) {
                if (select.items[i].alias == o.expr->names[0]) {
                    ref = static_cast<int>(i);
                    break;
                }
            }
        }
        block->orderRef.push_back(ref);
        if (ref < 0) {
            if (select.setOp.size()) Raise(1785);
            BindExpr(*o.expr, &scope, true);
        }
    }
    block->grouped = !select.groupBy.empty() || !block->aggregates.empty();
    if (block->grouped) {
        // Every column outside an aggregate must be a GROUP BY expression.
        std::function<void(const Expr&)> check = [&](const Expr& e) {
            for (const ExprPtr& g : select.groupBy)
                if (SameExpr(e, *g)) return;
            if (e.kind == Expr::Kind::Aggregate) return;
            if (e.kind == Expr::Kind::Name && e.depth == 0 && !e.variable && e.source >= 0)
                Raise(select.groupBy.empty() ? 937 : 979);
            for (const ExprPtr& a : e.args) check(*a);
        };
        for (const SelectItem& item : select.items) check(*item.expr);
        if (select.having) check(*select.having);
        for (size_t i = 0; i < select.orderBy.size(); ++i)
            if (block->orderRef[i] < 0) check(*select.orderBy[i].expr);
    }
    if (select.connectBy && block->sources.size() != 1) Raise(900);
    for (const SelectItem& item : select.items) {
        ColumnDesc d = Describe(*item.expr, &scope);
        d.name = item.alias;
        block->columns.push_back(d);
    }
    if (described) *described = block->columns;
    if (select.next) {
        std::vector<ColumnDesc> nextColumns;
        BindSelect(*select.next, outer, &nextColumns);
        if (nextColumns.size() != block->columns.size()) Raise(1789);
        for (auto& b : m_Blocks)
            if (b->select == select.next.get()) block->next = b.get();
        if (block->next && block->next->correlated) block->correlated = true;
    }
}

void Evaluator::BindName(Expr& e, Scope* scope) {
    const auto& names = e.names;
    int depth = 0;
    for (Scope* s = scope; s; s = s->outer, ++depth) {
        Block* b = s->block;
        int foundSource = -1, foundColumn = -1;
        bool qualifierMatched = false;
        for (size_t src = 0; src < b->sources.size(); ++src) {
            std::string column;
            if (names.size() == 1) {
                column = names[0];
            } else if (names.size() == 2) {
                if (b->sourceNames[src] != names[0]) continue;
                column = names[1];
            } else if (names.size() == 3) {
                if (b->sourceSchemas[src] != names[0] || b->sourceTables[src] != names[1]) continue;
                column = names[2];
            } else {
                continue;
            }
            qualifierMatched = true;
            int c = b->sources[src]->ColumnIndex(column);
            if (c < 0) continue;
            if (foundSource >= 0) Raise(918);
            foundSource = static_cast<int>(src);
            foundColumn = c;
        }
        if (foundSource >= 0) {
            e.depth = depth;
            e.source = foundSource;
            e.column = foundColumn;
            for (Scope* c = scope; c != s; c = c->outer) c->block->correlated = true;
            return;
        }
        if (qualifierMatched && names.size() > 1) Raise(904, QuotedName(names));
    }
    if (m_Env.variables) {
        if (Value* v = m_Env.variables->Lookup(names)) {
            e.variable = v;
            return;
        }
        if (m_Env.variables->HasFunction(names, 0)) {
            e.kind = Expr::Kind::Function;
            e.column = F_PLSQL;
            return;
        }
    }
    if (names.size() == 1) {
        const FnInfo* f = FindFunction(names[0]);
        if (f && f->noParens) {
            e.kind = Expr::Kind::Function;
            e.column = f->id;
            return;
        }
    }
    Raise(904, QuotedName(names));
}

void Evaluator::BindExpr(Expr& e, Scope* scope, bool allowAggregates) {
    switch (e.kind) {
        case Expr::Kind::Name: BindName(e, scope); return;
        case Expr::Kind::Bind: {
            if (m_Env.binds) {
                for (size_t i = 0; i < m_Env.binds->size(); ++i) {
                    std::string n = ToUpper((*m_Env.binds)[i].name);
                    if (!n.empty() && n[0] == ':') n.erase(0, 1);
                    if (n == e.names[0]) {
                        e.bindIndex = static_cast<int>(i);
                        return;
                    }
                }
            }
            if (m_Env.bindsWithoutValues) return;
            Raise(1008);
        }
        case Expr::Kind::Aggregate: {
            if (!allowAggregates || !scope || scope->inAggregate) Raise(934);
            scope->inAggregate = true;
            for (ExprPtr& a : e.args) BindExpr(*a, scope, false);
            scope->inAggregate = false;
            e.aggregateIndex = static_cast<int>(scope->block->aggregates.size());
            scope->block->aggregates.push_back(&e);
            return;
        }
        case Expr::Kind::Function: {
            const FnInfo* f = e.names.size() == 1 ? FindFunction(e.names[0]) : nullptr;
            int argc = static_cast<int>(e.args.size());
            if (f) {
                if (f->noParens && e.hasParens) Raise(f->id == F_SYSDATE ? 923 : 936);
                if (argc < f->minArgs || (f->maxArgs >= 0 && argc > f->maxArgs)) Raise(909);
                e.column = f->id;
            } else if (m_Env.variables && m_Env.variables->HasFunction(e.names, e.args.size())) {
                e.column = F_PLSQL;
            } else {
                Raise(904, QuotedName(e.names));
            }
            for (ExprPtr& a : e.args) BindExpr(*a, scope, allowAggregates);
            return;
        }
        case Expr::Kind::RowNum:
        case Expr::Kind::Level:
            if (!scope) Raise(904, e.kind == Expr::Kind::RowNum ? "ROWNUM" : "LEVEL");
            return;
        case Expr::Kind::InSubquery:
        case Expr::Kind::ScalarSubquery:
        case Expr::Kind::Exists: {
            for (ExprPtr& a : e.args) BindExpr(*a, scope, allowAggregates);
            std::vector<ColumnDesc> cols;
            size_t before = m_Blocks.size();
            BindSelect(*e.sub, scope, &cols);
            e.correlated = m_Blocks[before]->correlated;
            if (e.kind != Expr::Kind::Exists && cols.size() != 1) Raise(913);
            if (e.kind == Expr::Kind::InSubquery) e.inSet = std::make_shared<InSet>();
            return;
        }
        case Expr::Kind::InList:
            for (ExprPtr& a : e.args) BindExpr(*a, scope, allowAggregates);
            e.inSet = ConstantInListSet(e);
            return;
        default:
            for (ExprPtr& a : e.args) BindExpr(*a, scope, allowAggregates);
            return;
    }
}

ColumnDesc Evaluator::Describe(const Expr& e, Scope* scope) const {
    ColumnDesc d;
    switch (e.kind) {
        case Expr::Kind::Name:
            if (e.variable) return TextColumn("", 4000);
            if (e.source >= 0) {
                Scope* s = scope;
                for (int i = 0; i < e.depth && s; ++i) s = s->outer;
                if (s) return s->block->sources[e.source]->Columns()[e.column];
            }
            return TextColumn("", 4000);
        case Expr::Kind::Literal:
            if (e.literal.type == Value::Type::Number) return NumberColumn("");
            d = TextColumn("", static_cast<int>(e.literal.text.size()));
            d.type = ColumnType::Char;
            return d;
        case Expr::Kind::Aggregate:
            if (e.names[0] == "MIN" || e.names[0] == "MAX") {
                d = Describe(*e.args[0], scope);
                d.nullable = true;
                return d;
            }
            return NumberColumn("");
        case Expr::Kind::Arith:
        case Expr::Kind::Negate:
        case Expr::Kind::RowNum:
        case Expr::Kind::Level: {
            ColumnDesc a = e.args.empty() ? NumberColumn("") : Describe(*e.args[0], scope);
            if (e.kind == Expr::Kind::Arith && a.type == ColumnType::Date) {
                ColumnDesc b = Describe(*e.args[1], scope);
                return b.type == ColumnType::Date ? NumberColumn("") : DateColumn("");
            }
            return NumberColumn("");
        }
        case Expr::Kind::Concat: {
            int size = 0;
            for (const ExprPtr& a : e.args) size += std::max(1, Describe(*a, scope).size);
            return TextColumn("", std::min(size, 4000));
        }
        case Expr::Kind::Function:
            switch (e.column) {
                case F_TO_DATE:
                case F_SYSDATE:
                case F_ADD_MONTHS:
                case F_LAST_DAY: return DateColumn("");
                case F_DECODE: return Describe(*e.args[2], scope);
                case F_NVL:
                case F_COALESCE:
                case F_NULLIF:
                case F_GREATEST:
                case F_LEAST: return Describe(*e.args[0], scope);
                case F_NVL2: return Describe(*e.args[1], scope);
                case F_TRUNC:
                case F_ROUND: {
                    ColumnDesc a = Describe(*e.args[0], scope);
                    return a.type == ColumnType::Date ? DateColumn("") : NumberColumn("");
                }
                case F_UPPER:
                case F_LOWER:
                case F_INITCAP:
                case F_LTRIM:
                case F_RTRIM:
                case F_TRIM:
                case F_SUBSTR:
                case F_REPLACE: return TextColumn("", std::max(1, Describe(*e.args[0], scope).size));
                case F_USER: return TextColumn("", 30);
                case F_USERENV: return TextColumn("", 256);
                case F_CHR: return TextColumn("", 1);
                case F_TO_CHAR: return TextColumn("", 75);
                case F_LPAD:
                case F_RPAD:
                case F_CONCAT:
                case F_RAWTOHEX:
                case F_PLSQL: return TextColumn("", 4000);
                default: return NumberColumn("");
            }
        case Expr::Kind::Case:
            return Describe(*e.args[e.hasSubject ? 2 : 1], scope);
        case Expr::Kind::ScalarSubquery:
            return TextColumn("", 4000);
        default: return NumberColumn("");
    }
}

// ---------------------------------------------------------------- evaluation

Value Evaluator::Arith(const std::string& op, const Value& a, const Value& b) {
    if (a.IsNull() || b.IsNull()) return Value::Null();
    using T = Value::Type;
    if (a.type == T::Date || b.type == T::Date) {
        if (op == "-" && a.type == T::Date && b.type == T::Date)
            return Value::Num(static_cast<double>(a.date - b.date) / 86400.0);
        if (op == "+" && a.type == T::Date && b.type != T::Date)
            return Value::DateAt(a.date + static_cast<std::int64_t>(std::llround(ToNum(b) * 86400)));
        if (op == "+" && b.type == T::Date && a.type != T::Date)
            return Value::DateAt(b.date + static_cast<std::int64_t>(std::llround(ToNum(a) * 86400)));
        if (op == "-" && a.type == T::Date)
            return Value::DateAt(a.date - static_cast<std::int64_t>(std::llround(ToNum(b) * 86400)));
        Raise(932, "NUMBER", "DATE");
    }
    double x = ToNum(a), y = ToNum(b);
    if (op == "+") return NumberInRange(x + y);
    if (op == "-") return NumberInRange(x - y);
    if (op == "*") return NumberInRange(x * y);
    if (y == 0) Raise(1476);
    return NumberInRange(x / y);
}

Value Evaluator::EvaluateExpression(const Expr& e) {
    Frame f;
    return Eval(e, f);
}

Tri Evaluator::EvaluateCondition(const Expr& e) {
    Frame f;
    return Cond(e, f);
}

std::vector<size_t> Evaluator::MatchingRows(const Expr* where) {
    std::vector<size_t> out;
    const TableData& t = *m_SingleTable->sources[0];
    size_t row = 0;
    Frame f;
    f.block = m_SingleTable.get();
    f.rows = &row;
    for (row = 0; row < t.RowCount(); ++row) {
        f.rownum = static_cast<std::int64_t>(out.size()) + 1;
        if (!where || Cond(*where, f) == Tri::True) out.push_back(row);
    }
    return out;
}

Value Evaluator::EvaluateOnRow(const Expr& e, size_t row) {
    Frame f;
    f.block = m_SingleTable.get();
    f.rows = &row;
    return Eval(e, f);
}

Value Evaluator::Eval(const Expr& e, const Frame& f) {
    switch (e.kind) {
        case Expr::Kind::Literal: return e.literal;
        case Expr::Kind::Name: {
            if (e.variable) return *e.variable;
            const Frame* fr = &f;
            for (int i = 0; i < e.depth; ++i) fr = fr->outer;
            size_t row = fr->rows[e.source];
            if (row == kNullRow) return Value::Null();
            return fr->block->sources[e.source]->Cell(row, static_cast<size_t>(e.column));
        }
        case Expr::Kind::Bind:
            if (e.bindIndex < 0) Raise(1008);
            return (*m_Env.binds)[static_cast<size_t>(e.bindIndex)].value;
        case Expr::Kind::Negate: {
            Value v = Eval(*e.args[0], f);
            if (v.IsNull()) return v;
            return Value::Num(-ToNum(v));
        }
        case Expr::Kind::Arith: return Arith(e.op, Eval(*e.args[0], f), Eval(*e.args[1], f));
        case Expr::Kind::Concat: {
            // The pieces of a chain a || b || c ... go into one text, left to right
            // (NULL adds nothing, and an empty result is NULL).
            std::string s;
            AppendConcat(e, f, s);
            return Value::Str(std::move(s));
        }
        case Expr::Kind::Function: return EvalFunction(e, f);
        case Expr::Kind::Aggregate: return (*f.aggregates)[static_cast<size_t>(e.aggregateIndex)];
        case Expr::Kind::Case: {
            size_t i = 0;
            Value subject;
            if (e.hasSubject) subject = Eval(*e.args[i++], f);
            size_t end = e.args.size() - (e.hasElse ? 1 : 0);
            for (; i + 1 < end; i += 2) {
                bool hit;
                if (e.hasSubject) {
                    Value w = Eval(*e.args[i], f);
                    hit = !subject.IsNull() && !w.IsNull() && CompareValues(subject, w) == 0;
                } else {
                    hit = Cond(*e.args[i], f) == Tri::True;
                }
                if (hit) return Eval(*e.args[i + 1], f);
            }
            return e.hasElse ? Eval(*e.args.back(), f) : Value::Null();
        }
        case Expr::Kind::ScalarSubquery: {
            if (!e.correlated && e.scalarCache) return e.scalarCache->empty() ? Value::Null() : (*e.scalarCache)[0];
            std::vector<Row> rows = RunQuery(*e.sub, e.correlated ? &f : nullptr, 2);
            if (rows.size() > 1) Raise(1427);
            Value v = rows.empty() ? Value::Null() : rows[0][0];
            if (!e.correlated) {
                const_cast<Expr&>(e).scalarCache = std::make_shared<std::vector<Value>>();
                if (!rows.empty()) e.scalarCache->push_back(v);
            }
            return v;
        }
        case Expr::Kind::RowNum: return Value::Num(static_cast<double>(f.rownum));
        case Expr::Kind::Level: return Value::Num(f.level);
        case Expr::Kind::Prior: {
            if (!f.prior) return Value::Null();
            return Eval(*e.args[0], *f.prior);
        }
        default: {
            Tri t = Cond(e, f);
            return t == Tri::Unknown ? Value::Null() : Value::Num(t == Tri::True ? 1 : 0);
        }
    }
}

void Evaluator::AppendConcat(const Expr& e, const Frame& f, std::string& out) {
    for (const ExprPtr& a : e.args) {
        if (a->kind == Expr::Kind::Concat) {
            AppendConcat(*a, f, out);
            continue;
        }
        const Value v = Eval(*a, f);
        if (v.type == Value::Type::Text)
            out += v.text;
        else if (!v.IsNull())
            out += v.ToText();
    }
}

Tri Evaluator::Cond(const Expr& e, const Frame& f) {
    switch (e.kind) {
        case Expr::Kind::And: {
            Tri a = Cond(*e.args[0], f);
            if (a == Tri::False) return Tri::False;
            Tri b = Cond(*e.args[1], f);
            if (b == Tri::False) return Tri::False;
            return a == Tri::True && b == Tri::True ? Tri::True : Tri::Unknown;
        }
        case Expr::Kind::Or: {
            Tri a = Cond(*e.args[0], f);
            if (a == Tri::True) return Tri::True;
            Tri b = Cond(*e.args[1], f);
            if (b == Tri::True) return Tri::True;
            return a == Tri::False && b == Tri::False ? Tri::False : Tri::Unknown;
        }
        case Expr::Kind::Not: return Not(Cond(*e.args[0], f));
        case Expr::Kind::Compare: {
            Value a = Eval(*e.args[0], f);
            if (a.IsNull()) return Tri::Unknown;
            Value b = Eval(*e.args[1], f);
            if (b.IsNull()) return Tri::Unknown;
            int c = CompareValues(a, b);
            bool r = e.op == "=" ? c == 0 : e.op == "<>" ? c != 0 : e.op == "<" ? c < 0 : e.op == ">" ? c > 0
                   : e.op == "<=" ? c <= 0 : c >= 0;
            return r ? Tri::True : Tri::False;
        }
        case Expr::Kind::Like: {
            Value v = Eval(*e.args[0], f);
            if (v.IsNull()) return Tri::Unknown;
            Value p = Eval(*e.args[1], f);
            if (p.IsNull()) return Tri::Unknown;
            char escape = 0;
            if (e.args.size() > 2) {
                Value esc = Eval(*e.args[2], f);
                if (esc.IsNull()) return Tri::Unknown;
                std::string es = esc.ToText();
                if (es.size() != 1) Raise(1425);
                escape = es[0];
            }
            const std::string pattern = p.type == Value::Type::Text ? p.text : p.ToText();
            if (escape) {
                // The escape character may only quote "%", "_" or itself.
                for (size_t i = 0; i < pattern.size(); ++i) {
                    if (pattern[i] != escape) continue;
                    if (i + 1 == pattern.size() ||
                        (pattern[i + 1] != '%' && pattern[i + 1] != '_' && pattern[i + 1] != escape))
                        Raise(1424);
                    ++i;
                }
            }
            bool m = LikeMatch(v.type == Value::Type::Text ? v.text : v.ToText(), pattern, escape);
            return m != e.negated ? Tri::True : Tri::False;
        }
        case Expr::Kind::IsNull: {
            bool isNull = Eval(*e.args[0], f).IsNull();
            return isNull != e.negated ? Tri::True : Tri::False;
        }
        case Expr::Kind::Between: {
            Value v = Eval(*e.args[0], f);
            Value lo = Eval(*e.args[1], f);
            Value hi = Eval(*e.args[2], f);
            Tri a = v.IsNull() || lo.IsNull() ? Tri::Unknown : CompareValues(v, lo) >= 0 ? Tri::True : Tri::False;
            Tri b = v.IsNull() || hi.IsNull() ? Tri::Unknown : CompareValues(v, hi) <= 0 ? Tri::True : Tri::False;
            Tri r = a == Tri::False || b == Tri::False ? Tri::False
                  : a == Tri::True && b == Tri::True   ? Tri::True
                                                       : Tri::Unknown;
            return e.negated ? Not(r) : r;
        }
        case Expr::Kind::InList: {
            Tri r = InList(e, f);
            return e.negated ? Not(r) : r;
        }
        case Expr::Kind::InSubquery: {
            Tri r = InSubquery(e, f);
            return e.negated ? Not(r) : r;
        }
        case Expr::Kind::Exists: {
            std::vector<Row> rows = RunQuery(*e.sub, e.correlated ? &f : nullptr, 1);
            return rows.empty() ? Tri::False : Tri::True;
        }
        default: {
            // A value used as a condition: PL/SQL booleans are held as 1/0/NULL.
            Value v = Eval(e, f);
            if (v.IsNull()) return Tri::Unknown;
            if (v.type == Value::Type::Number) return v.number != 0 ? Tri::True : Tri::False;
            Raise(920);
        }
    }
}

Tri Evaluator::InList(const Expr& e, const Frame& f) {
    Value v = Eval(*e.args[0], f);
    if (v.IsNull()) return Tri::Unknown;
    // A long list of literals of the value's own type is looked up in its set:
    // equal values are then equal without conversion, so the answer is the scan's.
    if (const InSet* set = e.inSet.get()) {
        if (v.type == Value::Type::Number && set->texts.Empty()) {
            if (set->numbers.count(v.number) != 0) return Tri::True;
            return set->hasNull ? Tri::Unknown : Tri::False;
        }
        if (v.type == Value::Type::Text && set->numbers.empty()) {
            if (set->texts.Contains(v.text)) return Tri::True;
            return set->hasNull ? Tri::Unknown : Tri::False;
        }
    }
    Tri r = Tri::False;
    for (size_t i = 1; i < e.args.size(); ++i) {
        Value w = Eval(*e.args[i], f);
        if (w.IsNull()) {
            r = Tri::Unknown;
        } else if (CompareValues(v, w) == 0) {
            return Tri::True;
        }
    }
    return r;
}

void Evaluator::FillInSet(const Expr& e, const Frame* outer, InSet& set) {
    std::vector<Row> rows = RunQuery(*e.sub, outer);
    for (const Row& r : rows) {
        const Value& v = r[0];
        switch (v.type) {
            case Value::Type::Null: set.hasNull = true; break;
            case Value::Type::Number: set.numbers.insert(v.number); break;
            case Value::Type::Text: set.texts.Insert(v.text); break;
            case Value::Type::Date: set.dates.push_back(v.date); break;
        }
    }
    set.evaluated = true;
}

Tri Evaluator::InSubquery(const Expr& e, const Frame& f) {
    Value v = Eval(*e.args[0], f);
    InSet local;
    InSet* set = &local;
    if (!e.correlated) {
        set = e.inSet.get();
        if (!set->evaluated) FillInSet(e, nullptr, *set);
    } else {
        FillInSet(e, &f, local);
    }
    bool empty = set->texts.Empty() && set->numbers.empty() && set->dates.empty() && !set->hasNull;
    if (empty) return Tri::False;
    if (v.IsNull()) return Tri::Unknown;
    bool found = false;
    switch (v.type) {
        case Value::Type::Number:
            found = set->numbers.count(v.number) != 0;
            if (!found) {
                set->texts.ForEach([&](std::string_view t) {
                    if (found) return;
                    double d;
                    OraError err;
                    if (!Value::Str(std::string(t)).ToNumber(d, err)) throw OraException(err);
                    found = d == v.number;
                });
            }
            break;
        case Value::Type::Text:
            found = set->texts.Contains(v.text);
            if (!found && !set->numbers.empty()) found = set->numbers.count(ToNum(v)) != 0;
            break;
        case Value::Type::Date:
            found = std::find(set->dates.begin(), set->dates.end(), v.date) != set->dates.end();
            break;
        case Value::Type::Null: break;
    }
    if (found) return Tri::True;
    return set->hasNull ? Tri::Unknown : Tri::False;
}

Value Evaluator::EvalFunction(const Expr& e, const Frame& f) {
    auto arg = [&](size_t i) { return Eval(*e.args[i], f); };
    switch (static_cast<Fn>(e.column)) {
        case F_SYSDATE: return Value::DateAt(m_Env.sysdate);
        case F_USER: return Value::Str(m_Env.user);
        case F_UID: return Value::Num(static_cast<double>(m_Env.userId));
        case F_PLSQL: {
            std::vector<Value> args;
            for (size_t i = 0; i < e.args.size(); ++i) args.push_back(arg(i));
            return m_Env.variables->CallFunction(e.names, args);
        }
        case F_DECODE: {
            Value subject = arg(0);
            size_t n = e.args.size();
            size_t i = 1;
            for (; i + 1 < n; i += 2) {
                Value s = arg(i);
                bool hit = (subject.IsNull() && s.IsNull()) ||
                           (!subject.IsNull() && !s.IsNull() && CompareValues(subject, s) == 0);
                if (hit) return arg(i + 1);
            }
            return i < n ? arg(i) : Value::Null();
        }
        case F_NVL: {
            Value v = arg(0);
            return v.IsNull() ? arg(1) : v;
        }
        case F_NVL2: return arg(0).IsNull() ? arg(2) : arg(1);
        case F_COALESCE:
            for (size_t i = 0; i < e.args.size(); ++i) {
                Value v = arg(i);
                if (!v.IsNull()) return v;
            }
            return Value::Null();
        case F_NULLIF: {
            Value a = arg(0), b = arg(1);
            if (!a.IsNull() && !b.IsNull() && CompareValues(a, b) == 0) return Value::Null();
            return a;
        }
        case F_GREATEST:
        case F_LEAST: {
            Value best = arg(0);
            if (best.IsNull()) return best;
            for (size_t i = 1; i < e.args.size(); ++i) {
                Value v = arg(i);
                if (v.IsNull()) return v;
                int c = CompareValues(v, best);
                if (e.column == F_GREATEST ? c > 0 : c < 0) best = v;
            }
            return best;
        }
        default: break;
    }
    std::vector<Value> a;
    a.reserve(e.args.size());
    for (size_t i = 0; i < e.args.size(); ++i) a.push_back(arg(i));
    // Every remaining function gives NULL for a NULL argument, except CONCAT and REPLACE.
    if (e.column != F_CONCAT && e.column != F_REPLACE)
        for (const Value& v : a)
            if (v.IsNull()) return Value::Null();
    auto num = [&](size_t i) { return ToNum(a[i]); };
    auto text = [&](size_t i) { return a[i].ToText(); };
    auto intArg = [&](size_t i) { return static_cast<long long>(std::trunc(num(i))); };
    switch (static_cast<Fn>(e.column)) {
        case F_ABS: return Value::Num(std::fabs(num(0)));
        case F_CEIL: return Value::Num(std::ceil(num(0)));
        case F_FLOOR: return Value::Num(std::floor(num(0)));
        case F_SIGN: return Value::Num(num(0) > 0 ? 1 : num(0) < 0 ? -1 : 0);
        case F_SQRT: return Value::Num(std::sqrt(num(0)));
        case F_POWER: return NumberInRange(std::pow(num(0), num(1)));
        case F_MOD: {
            double y = num(1);
            return Value::Num(y == 0 ? num(0) : std::fmod(num(0), y));
        }
        case F_ROUND:
        case F_TRUNC: {
            if (a[0].type == Value::Type::Date) {
                std::int64_t day = a[0].date / 86400 * 86400;
                if (e.column == F_ROUND && a[0].date - day >= 43200) day += 86400;
                return Value::DateAt(day);
            }
            int digits = a.size() > 1 ? static_cast<int>(intArg(1)) : 0;
            return Value::Num(e.column == F_ROUND ? RoundHalfAway(num(0), digits) : TruncDigits(num(0), digits));
        }
        case F_CHR: return Value::Str(std::string(1, static_cast<char>(intArg(0) & 0xFF)));
        case F_ASCII: {
            std::string s = text(0);
            return Value::Num(static_cast<unsigned char>(s[0]));
        }
        case F_CONCAT: return Value::Str(text(0) + text(1));
        case F_UPPER: return Value::Str(ToUpper(text(0)));
        case F_LOWER: {
            std::string s = text(0);
            for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return Value::Str(s);
        }
        case F_INITCAP: {
            std::string s = text(0);
            bool start = true;
            for (char& c : s) {
                bool alnum = std::isalnum(static_cast<unsigned char>(c));
                c = static_cast<char>(start ? std::toupper(static_cast<unsigned char>(c))
                                            : std::tolower(static_cast<unsigned char>(c)));
                start = !alnum;
            }
            return Value::Str(s);
        }
        case F_LENGTH: return Value::Num(static_cast<double>(text(0).size()));
        case F_SUBSTR: {
            std::string s = text(0);
            long long start = intArg(1);
            long long len = static_cast<long long>(s.size());
            if (start < 0) start = len + start + 1;
            if (start == 0) start = 1;
            if (start < 1 || start > len) return Value::Null();
            long long count = a.size() > 2 ? intArg(2) : len;
            if (count < 1) return Value::Null();
            return Value::Str(s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
        }
        case F_INSTR: {
            std::string s = text(0), sub = text(1);
            long long start = a.size() > 2 ? intArg(2) : 1;
            long long nth = a.size() > 3 ? intArg(3) : 1;
            if (start == 0 || nth < 1) return Value::Num(0);
            if (start > 0) {
                size_t pos = static_cast<size_t>(start - 1);
                for (;;) {
                    pos = s.find(sub, pos);
                    if (pos == std::string::npos) return Value::Num(0);
                    if (--nth == 0) return Value::Num(static_cast<double>(pos + 1));
                    ++pos;
                }
            }
            long long pos = static_cast<long long>(s.size()) + start;
            for (; pos >= 0; --pos) {
                if (s.compare(static_cast<size_t>(pos), sub.size(), sub) == 0 && --nth == 0)
                    return Value::Num(static_cast<double>(pos + 1));
            }
            return Value::Num(0);
        }
        case F_LPAD:
        case F_RPAD: {
            std::string s = text(0);
            long long n = intArg(1);
            if (n <= 0) return Value::Null();
            std::string pad = a.size() > 2 ? text(2) : " ";
            size_t width = static_cast<size_t>(n);
            if (s.size() >= width) return Value::Str(s.substr(0, width));
            std::string fill;
            while (fill.size() < width - s.size()) fill += pad;
            fill.resize(width - s.size());
            return Value::Str(e.column == F_LPAD ? fill + s : s + fill);
        }
        case F_LTRIM:
        case F_RTRIM:
        case F_TRIM: {
            std::string s = text(0);
            std::string set = a.size() > 1 ? text(1) : " ";
            if (e.column != F_RTRIM) {
                size_t p = s.find_first_not_of(set);
                s = p == std::string::npos ? "" : s.substr(p);
            }
            if (e.column != F_LTRIM) {
                size_t p = s.find_last_not_of(set);
                s = p == std::string::npos ? "" : s.substr(0, p + 1);
            }
            return Value::Str(s);
        }
        case F_REPLACE: {
            if (a[0].IsNull()) return Value::Null();
            std::string s = text(0), from = text(1), to = a.size() > 2 ? text(2) : "";
            if (from.empty()) return a[0];
            std::string out;
            size_t pos = 0;
            for (;;) {
                size_t hit = s.find(from, pos);
                if (hit == std::string::npos) break;
                out += s.substr(pos, hit - pos) + to;
                pos = hit + from.size();
            }
            out += s.substr(pos);
            return Value::Str(out);
        }
        case F_RAWTOHEX: return Value::Str(ToUpper(text(0)));
        case F_TO_NUMBER: return Value::Num(num(0));
        case F_TO_CHAR:
            if (a[0].type == Value::Type::Date)
                return Value::Str(FormatDate(a[0].date, a.size() > 1 ? text(1) : DefaultDateMask()));
            if (a[0].type == Value::Type::Number) {
                if (a.size() > 1 && a[1].IsNull()) return Value::Null();
                return Value::Str(a.size() > 1 ? FormatNumberModel(a[0].number, text(1)) : FormatNumber(a[0].number));
            }
            return a[0];
        case F_TO_DATE:
            if (a[0].type == Value::Type::Date) return a[0];
            if (a[0].type == Value::Type::Number) Raise(932, "CHAR", "NUMBER");
            return Value::DateAt(ParseDate(text(0), a.size() > 1 ? text(1) : DefaultDateMask()));
        case F_ADD_MONTHS: {
            if (a[0].type != Value::Type::Date) Raise(932, "DATE", "NUMBER");
            std::int64_t days = a[0].date / 86400;
            std::int64_t secs = a[0].date % 86400;
            int y, m, d;
            CivilFromDays(days, y, m, d);
            long long total = y * 12LL + (m - 1) + intArg(1);
            int ny = static_cast<int>(total / 12), nm = static_cast<int>(total % 12) + 1;
            static const int len[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
            bool leap = (ny % 4 == 0 && ny % 100 != 0) || ny % 400 == 0;
            int last = len[nm - 1] + (nm == 2 && leap);
            return Value::DateAt(DaysFromCivil(ny, nm, std::min(d, last)) * 86400 + secs);
        }
        case F_LAST_DAY: {
            if (a[0].type != Value::Type::Date) Raise(932, "DATE", "NUMBER");
            int y, m, d;
            CivilFromDays(a[0].date / 86400, y, m, d);
            int ny = m == 12 ? y + 1 : y, nm = m == 12 ? 1 : m + 1;
            return Value::DateAt((DaysFromCivil(ny, nm, 1) - 1) * 86400 + a[0].date % 86400);
        }
        case F_USERENV: {
            std::string p = ToUpper(text(0));
            if (p == "SESSIONID") return Value::Num(static_cast<double>(m_Env.sessionId));
            if (p == "LANGUAGE") return Value::Str("AMERICAN_AMERICA.AL32UTF8");
            if (p == "LANG") return Value::Str("US");
            if (p == "TERMINAL") return Value::Str("pts/0");
            if (p == "ISDBA") return Value::Str("FALSE");
            if (p == "INSTANCE") return Value::Num(1);
            if (p == "CLIENT_INFO") return Value::Null();
            Raise(2003);
        }
        default: Raise(904, QuotedName(e.names));
    }
}

// ---------------------------------------------------------------- query blocks

namespace {

struct Accumulator {
    double sum = 0;
    std::int64_t count = 0;
    Value best;
    std::unordered_map<std::string, bool> seen;
};

}  // namespace

namespace {

// The rows of a CONNECT BY table by the value of the column that a condition of
// the form "PRIOR a = b AND ..." (or "b = PRIOR a AND ...") compares, its first
// conjunct. A row whose b differs from the parent's a fails that conjunct, and the
// conjunction stops there, so only the rows with an equal b and the rows with a
// NULL b (the conjunction goes on to its other terms) need the whole condition.
// Applies when every b is a number or NULL; otherwise every row is a candidate.
struct ChildIndex {
    bool usable = false;
    size_t priorColumn = 0;
    std::unordered_map<double, std::vector<size_t>> byValue;
    std::vector<size_t> nullRows;

    // The rows that may be children of a row with this parent value, in row order:
    // the index's own list, or `merged` when rows of both kinds qualify. Null when
    // every row must be tried (a non-numeric parent value, no index).
    const std::vector<size_t>* Candidates(const Value& parentValue, std::vector<size_t>& merged) const {
        if (!usable || parentValue.type != Value::Type::Number) return nullptr;
        auto it = byValue.find(parentValue.number);
        if (it == byValue.end()) return &nullRows;
        if (nullRows.empty()) return &it->second;
        const std::vector<size_t>& equal = it->second;
        merged.resize(equal.size() + nullRows.size());
        std::merge(equal.begin(), equal.end(), nullRows.begin(), nullRows.end(), merged.begin());
        return &merged;
    }
};

// A column of the query's own (only) table, not a PL/SQL variable.
bool OwnColumn(const Expr& e) {
    return e.kind == Expr::Kind::Name && !e.variable && e.depth == 0 && e.source == 0 && e.column >= 0;
}

ChildIndex IndexChildren(const Expr& connectBy, const TableData& table) {
    ChildIndex index;
    const Expr* first = &connectBy;
    while (first->kind == Expr::Kind::And) first = first->args[0].get();
    if (first->kind != Expr::Kind::Compare || first->op != "=" || first->args.size() != 2) return index;
    const Expr* left = first->args[0].get();
    const Expr* right = first->args[1].get();
    const Expr* prior = left->kind == Expr::Kind::Prior ? left : right->kind == Expr::Kind::Prior ? right : nullptr;
    const Expr* child = prior == left ? right : left;
    if (!prior || prior->args.size() != 1 || !OwnColumn(*prior->args[0]) || !OwnColumn(*child)) return index;
    const size_t childColumn = static_cast<size_t>(child->column);
    const size_t n = table.RowCount();
    for (size_t r = 0; r < n; ++r) {
        const Value v = table.Cell(r, childColumn);
        if (v.IsNull())
            index.nullRows.push_back(r);
        else if (v.type == Value::Type::Number)
            index.byValue[v.number].push_back(r);
        else
            return ChildIndex();
    }
    index.priorColumn = static_cast<size_t>(prior->args[0]->column);
    index.usable = true;
    return index;
}

}  // namespace

std::vector<Row> Evaluator::RunBlock(Select& select, const Frame* outer, size_t limit) {
    Block* block = nullptr;
    for (auto& b : m_Blocks)
        if (b->select == &select) block = b.get();
    const size_t nSources = block->sources.size();
    const size_t nItems = select.items.size();
    std::vector<Row> out;

    // The row combinations of the FROM clause, ON conditions applied: `tupleCount`
    // tuples of `nSources` row numbers each, one after the other in `tuples`.
    std::vector<size_t> tuples;
    size_t tupleCount = 0;
    std::vector<int> levels;
    std::vector<size_t> parents;  // index of the tuple of the PRIOR row, or kNullRow
    Frame f;
    f.block = block;
    f.outer = outer;
    if (select.connectBy) {
        const TableData& t = *block->sources[0];
        const size_t n = t.RowCount();
        const ChildIndex children = IndexChildren(*select.connectBy, t);
        size_t cur = 0, parentRow = 0, childRow = 0;
        f.rows = &cur;
        Frame pf;
        pf.block = block;
        pf.outer = outer;
        pf.rows = &parentRow;
        Frame cf = pf;
        cf.rows = &childRow;
        cf.prior = &pf;
        const size_t expected = std::min<size_t>(n, 256);
        tuples.reserve(expected);
        levels.reserve(expected);
        parents.reserve(expected);
        std::function<void(size_t, int, size_t)> walk = [&](size_t row, int level, size_t parentIdx) {
            const size_t idx = tupleCount++;
            tuples.push_back(row);
            levels.push_back(level);
            parents.push_back(parentIdx);
            if (level > 10000) Raise(1436);
            // The rows that may be children, in row order; every row when the index cannot tell.
            std::vector<size_t> merged;
            const std::vector<size_t>* indexed = children.Candidates(t.Cell(row, children.priorColumn), merged);
            const size_t count = indexed ? indexed->size() : n;
            for (size_t i = 0; i < count; ++i) {
                const size_t child = indexed ? (*indexed)[i] : i;
                parentRow = tuples[idx];
                childRow = child;
                pf.level = level;
                cf.level = level + 1;
                if (Cond(*select.connectBy, cf) != Tri::True) continue;
                for (size_t a = idx; a != kNullRow; a = parents[a])
                    if (tuples[a] == child) Raise(1436);
                walk(child, level + 1, idx);
            }
        };
        for (size_t row = 0; row < n; ++row) {
            cur = row;
            f.level = 1;
            if (select.startWith && Cond(*select.startWith, f) != Tri::True) continue;
            walk(row, 1, kNullRow);
        }
    } else {
        tuples.assign(nSources, kNullRow);
        tupleCount = 1;
        for (size_t s = 0; s < nSources; ++s) {
            const TableRef& ref = select.from[s];
            size_t n = block->sources[s]->RowCount();
            std::vector<size_t> next;
            size_t nextCount = 0;
            std::vector<size_t> candidate(nSources);
            for (size_t ti = 0; ti < tupleCount; ++ti) {
                bool any = false;
                std::copy_n(tuples.begin() + static_cast<long>(ti * nSources), nSources, candidate.begin());
                for (size_t r = 0; r < n; ++r) {
                    candidate[s] = r;
                    if (ref.on) {
                        f.rows = candidate.data();
                        if (Cond(*ref.on, f) != Tri::True) continue;
                    }
                    any = true;
                    next.insert(next.end(), candidate.begin(), candidate.end());
                    if (++nextCount > 5000000) Raise(4030);
                }
                if (!any && ref.join == JoinKind::Left) {
                    candidate[s] = kNullRow;
                    next.insert(next.end(), candidate.begin(), candidate.end());
                    ++nextCount;
                }
            }
            tuples = std::move(next);
            tupleCount = nextCount;
        }
    }
    // Single-source blocks (CONNECT BY) hold one row number per tuple.
    const size_t stride = select.connectBy ? 1 : nSources;
    auto tupleAt = [&](size_t ti) { return tuples.data() + ti * stride; };

    struct Group {
        std::vector<size_t> rows;
        std::vector<Accumulator> acc;
    };
    std::vector<Group> groups;
    std::unordered_map<std::string, size_t> groupIndex;
    std::int64_t rownum = 0;
    const size_t nOrder = select.orderBy.size();
    auto project = [&](const Frame& fr) {
        Row row;
        row.reserve(nItems + nOrder);
        for (const SelectItem& item : select.items) row.push_back(Eval(*item.expr, fr));
        for (size_t i = 0; i < nOrder; ++i)
            if (block->orderRef[i] < 0) row.push_back(Eval(*select.orderBy[i].expr, fr));
        return row;
    };

    for (size_t ti = 0; ti < tupleCount; ++ti) {
        f.rows = tupleAt(ti);
        f.level = levels.empty() ? 0 : levels[ti];
        Frame pf;
        if (!parents.empty() && parents[ti] != kNullRow) {
            pf = f;
            pf.rows = tupleAt(parents[ti]);
            pf.level = f.level - 1;
            f.prior = &pf;
        } else {
            f.prior = nullptr;
        }
        f.rownum = rownum + 1;
        if (select.where && Cond(*select.where, f) != Tri::True) continue;
        ++rownum;
        if (!block->grouped) {
            out.push_back(project(f));
            if (out.size() >= limit && nOrder == 0 && !select.distinct) return out;
            continue;
        }
        std::string key;
        for (const ExprPtr& g : select.groupBy) key += GroupKey(Eval(*g, f)) + '\x02';
        auto it = groupIndex.find(key);
        size_t gi;
        if (it == groupIndex.end()) {
            gi = groups.size();
            groupIndex.emplace(key, gi);
            groups.push_back({std::vector<size_t>(tupleAt(ti), tupleAt(ti) + stride),
                              std::vector<Accumulator>(block->aggregates.size())});
        } else {
            gi = it->second;
        }
        Group& g = groups[gi];
        for (size_t a = 0; a < block->aggregates.size(); ++a) {
            const Expr& agg = *block->aggregates[a];
            Accumulator& acc = g.acc[a];
            if (agg.star) {
                ++acc.count;
                continue;
            }
            Value v = Eval(*agg.args[0], f);
            if (v.IsNull()) continue;
            if (agg.distinct && !acc.seen.emplace(GroupKey(v), true).second) continue;
            ++acc.count;
            const std::string& name = agg.names[0];
            if (name == "SUM" || name == "AVG") {
                acc.sum += ToNum(v);
            } else if (name == "MIN" || name == "MAX") {
                if (acc.best.IsNull() || (name == "MIN" ? CompareValues(v, acc.best) < 0 : CompareValues(v, acc.best) > 0))
                    acc.best = v;
            }
        }
    }
    if (block->grouped) {
        if (groups.empty() && select.groupBy.empty())
            groups.push_back({std::vector<size_t>(nSources, kNullRow), std::vector<Accumulator>(block->aggregates.size())});
        for (Group& g : groups) {
            std::vector<Value> values;
            for (size_t a = 0; a < block->aggregates.size(); ++a) {
                const Expr& agg = *block->aggregates[a];
                const Accumulator& acc = g.acc[a];
                const std::string& name = agg.names[0];
                if (name == "COUNT")
                    values.push_back(Value::Num(static_cast<double>(acc.count)));
                else if (acc.count == 0)
                    values.push_back(Value::Null());
                else if (name == "SUM")
                    values.push_back(Value::Num(acc.sum));
                else if (name == "AVG")
                    values.push_back(Value::Num(acc.sum / static_cast<double>(acc.count)));
                else
                    values.push_back(acc.best);
            }
            Frame gf = f;
            gf.rows = g.rows.data();
            gf.prior = nullptr;
            gf.aggregates = &values;
            if (select.having && Cond(*select.having, gf) != Tri::True) continue;
            out.push_back(project(gf));
        }
    }
    if (select.distinct) {
        std::unordered_map<std::string, bool> seen;
        std::vector<Row> unique;
        for (Row& r : out) {
            std::string key;
            for (size_t i = 0; i < nItems; ++i) key += GroupKey(r[i]) + '\x02';
            if (seen.emplace(key, true).second) unique.push_back(std::move(r));
        }
        out = std::move(unique);
    }
    return out;
}

std::vector<Row> Evaluator::RunQuery(Select& select, const Frame* outer, size_t limit) {
    Block* block = nullptr;
    for (auto& b : m_Blocks)
        if (b->select == &select) block = b.get();
    const size_t nItems = select.items.size();
    std::vector<Row> rows = RunBlock(select, outer, select.next ? SIZE_MAX : limit);
    // Set operations, left to right.
    for (Select* s = &select; s->next; s = s->next.get()) {
        std::vector<Row> right = RunBlock(*s->next, outer, SIZE_MAX);
        auto keyOf = [&](const Row& r) {
            std::string key;
            for (size_t i = 0; i < nItems; ++i) key += GroupKey(r[i]) + '\x02';
            return key;
        };
        for (Row& r : rows) r.resize(nItems);
        for (Row& r : right) r.resize(nItems);
        const std::string& op = s->setOp;
        if (op == "UNION ALL") {
            for (Row& r : right) rows.push_back(std::move(r));
            continue;
        }
        std::unordered_map<std::string, bool> rightKeys;
        for (const Row& r : right) rightKeys.emplace(keyOf(r), true);
        std::vector<Row> result;
        std::unordered_map<std::string, bool> seen;
        auto add = [&](Row& r) {
            if (seen.emplace(keyOf(r), true).second) result.push_back(std::move(r));
        };
        if (op == "UNION") {
            for (Row& r : rows) add(r);
            for (Row& r : right) add(r);
        } else if (op == "MINUS") {
            for (Row& r : rows)
                if (!rightKeys.count(keyOf(r))) add(r);
        } else {
            for (Row& r : rows)
                if (rightKeys.count(keyOf(r))) add(r);
        }
        // Oracle's UNION, MINUS and INTERSECT return sorted rows.
        std::stable_sort(result.begin(), result.end(), [&](const Row& a, const Row& b) {
            for (size_t i = 0; i < nItems; ++i) {
                if (a[i].IsNull() != b[i].IsNull()) return b[i].IsNull();
                if (a[i].IsNull()) continue;
                int c = CompareValues(a[i], b[i]);
                if (c) return c < 0;
            }
            return false;
        });
        rows = std::move(result);
    }
    if (!select.orderBy.empty()) {
        std::vector<size_t> keyColumn;
        size_t extra = nItems;
        for (size_t i = 0; i < select.orderBy.size(); ++i)
            keyColumn.push_back(block->orderRef[i] >= 0 ? static_cast<size_t>(block->orderRef[i]) : extra++);
        auto before = [&](const Row& a, const Row& b) {
            for (size_t i = 0; i < keyColumn.size(); ++i) {
                const Value& x = a[keyColumn[i]];
                const Value& y = b[keyColumn[i]];
                const OrderItem& o = select.orderBy[i];
                bool nullsFirst = o.nullsFirst >= 0 ? o.nullsFirst == 1 : o.descending;
                if (x.IsNull() || y.IsNull()) {
                    if (x.IsNull() && y.IsNull()) continue;
                    return x.IsNull() ? nullsFirst : !nullsFirst;
                }
                int c = CompareValues(x, y);
                if (c) return o.descending ? c > 0 : c < 0;
            }
            return false;
        };
        // Rows read in their order already (a view by its key) cost one pass.
        if (!std::is_sorted(rows.begin(), rows.end(), before)) std::stable_sort(rows.begin(), rows.end(), before);
    }
    for (Row& r : rows) r.resize(nItems);
    if (rows.size() > limit) rows.resize(limit);
    return rows;
}

// ---------------------------------------------------------------- row sources

class QueryRowSource : public RowSource {
public:
    QueryRowSource(std::shared_ptr<Evaluator> ev, std::unique_ptr<Select> select, Evaluator::SelectRelease release)
        : m_Eval(std::move(ev)), m_Select(std::move(select)), m_Release(std::move(release)) {
        for (auto& b : m_Eval->m_Blocks)
            if (b->select == m_Select.get()) m_Block = b.get();
        const Select& s = *m_Select;
        m_Streaming = !s.next && s.orderBy.empty() && !s.distinct && !s.connectBy && !m_Block->grouped &&
                      m_Block->sources.size() == 1;
    }

    ~QueryRowSource() override {
        // The evaluator points into the tree: it goes first, and only when it is ours alone.
        if (!m_Release || !m_Select || m_Eval.use_count() != 1) return;
        m_Eval.reset();
        m_Release(std::move(m_Select));
    }

    bool Next(std::vector<Value>& row, OraError& err) override {
        try {
            if (m_Streaming) return NextStreaming(row);
            if (!m_Computed) {
                m_Rows = m_Eval->RunQuery(*m_Select, nullptr);
                m_Computed = true;
            }
            if (m_Pos >= m_Rows.size()) return false;
            row = std::move(m_Rows[m_Pos++]);
            return true;
        } catch (const OraException& e) {
            err = e.error;
            return false;
        }
    }

private:
    bool NextStreaming(std::vector<Value>& row) {
        const TableData& t = *m_Block->sources[0];
        Evaluator::Frame f;
        f.block = m_Block;
        f.rows = &m_Pos;
        const Expr* where = m_Select->where.get();
        for (; m_Pos < t.RowCount(); ++m_Pos) {
            f.rownum = m_RowNum + 1;
            if (where && m_Eval->Cond(*where, f) != Tri::True) continue;
            ++m_RowNum;
            row.clear();
            for (const SelectItem& item : m_Select->items) row.push_back(m_Eval->Eval(*item.expr, f));
            ++m_Pos;
            return true;
        }
        return false;
    }

    std::shared_ptr<Evaluator> m_Eval;
    std::unique_ptr<Select> m_Select;
    Evaluator::SelectRelease m_Release;
    Evaluator::Block* m_Block = nullptr;
    bool m_Streaming = false;
    bool m_Computed = false;
    std::vector<Row> m_Rows;
    size_t m_Pos = 0;
    std::int64_t m_RowNum = 0;
};

std::unique_ptr<RowSource> Evaluator::Open(std::shared_ptr<Evaluator> self, std::unique_ptr<Select> select,
                                           SelectRelease release) {
    // The rows are fetched after the caller's bind array has gone: keep a copy.
    if (self->m_Env.binds) {
        self->m_OwnedBinds = *self->m_Env.binds;
        self->m_Env.binds = &self->m_OwnedBinds;
    }
    return std::make_unique<QueryRowSource>(std::move(self), std::move(select), std::move(release));
}

}  // namespace ocisim
