#include "ocisim/engine/Generator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "ocisim/engine/Database.h"

namespace ocisim {

namespace {

const char* kNames[] = {"SMITH", "JONES", "MILLER", "BROWN", "DAVIS", "GARCIA", "WILSON", "MOORE", "TAYLOR",
                        "ANDERSON", "THOMAS", "JACKSON", "WHITE", "HARRIS", "MARTIN", "THOMPSON", "CLARK",
                        "LEWIS", "ROBINSON", "WALKER", "YOUNG", "ALLEN", "KING", "WRIGHT", "SCOTT", "HILL"};

}  // namespace

double Range::Pick(std::mt19937_64& random) const {
    if (high <= low) return low;
    // Skewed towards the low end, as real workloads are: most statements run
    // rarely and read little, a few dominate.
    std::uniform_real_distribution<double> u(0.0, 1.0);
    double x = u(random);
    return std::floor(low + (high - low) * x * x * x);
}

std::string ExpandTemplate(const std::string& text, std::mt19937_64& random, std::vector<std::string>* values) {
    std::string out;
    out.reserve(text.size() + 16);
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '{') {
            out += text[i++];
            continue;
        }
        size_t close = text.find('}', i);
        if (close == std::string::npos) {
            out += text.substr(i);
            break;
        }
        std::string spec = text.substr(i + 1, close - i - 1);
        i = close + 1;
        const std::size_t expandedAt = out.size();
        if (spec.compare(0, 4, "int:") == 0) {
            size_t colon = spec.find(':', 4);
            long long lo = std::stoll(spec.substr(4, colon - 4));
            long long hi = colon == std::string::npos ? lo : std::stoll(spec.substr(colon + 1));
            std::uniform_int_distribution<long long> d(lo, std::max(lo, hi));
            out += std::to_string(d(random));
        } else if (spec.compare(0, 5, "pick:") == 0) {
            std::vector<std::string> options;
            size_t start = 5;
            for (;;) {
                size_t bar = spec.find('|', start);
                options.push_back(spec.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
                if (bar == std::string::npos) break;
                start = bar + 1;
            }
            std::uniform_int_distribution<size_t> d(0, options.size() - 1);
            out += options[d(random)];
        } else if (spec == "date") {
            std::uniform_int_distribution<int> month(1, 12), day(1, 28);
            char buf[16];
            std::snprintf(buf, sizeof buf, "2024-%02d-%02d", month(random), day(random));
            out += buf;
        } else if (spec.compare(0, 5, "list:") == 0) {
            // N numbers between LOW and HIGH, separated by ", " (an IN list).
            long long n = 0, lo = 0, hi = 0;
            if (std::sscanf(spec.c_str() + 5, "%lld:%lld:%lld", &n, &lo, &hi) != 3 || n < 1) {
                out += "{" + spec + "}";
                if (values) values->push_back(out.substr(expandedAt));
                continue;
            }
            std::uniform_int_distribution<long long> d(lo, std::max(lo, hi));
            for (long long k = 0; k < n; ++k) {
                if (k > 0) out += ", ";
                out += std::to_string(d(random));
            }
        } else if (spec == "name") {
            std::uniform_int_distribution<size_t> d(0, sizeof kNames / sizeof kNames[0] - 1);
            out += kNames[d(random)];
        } else {
            out += "{" + spec + "}";
        }
        if (values) values->push_back(out.substr(expandedAt));
    }
    return out;
}

namespace {

// Fills one pool entry from a template whose text is new to the pool.
void MakeEntry(Database& db, const StatementTemplate& t, int templateId, const std::string& text,
               const std::vector<const UserInfo*>& candidates, std::int64_t now, std::mt19937_64& random) {
    std::uniform_int_distribution<std::int64_t> age(0, 3 * 86400);
    bool created;
    PoolEntry& e = db.pool.Enter(text, created);
    const UserInfo* u = candidates[static_cast<size_t>(random() % candidates.size())];
    e.parsingUserId = e.parsingSchemaId = u ? u->id : 0;
    e.commandType = t.commandType;
    e.optimizerMode = t.optimizerMode.empty() ? db.config.optimizerMode : t.optimizerMode;
    e.executions = t.executions.Pick(random);
    e.parseCalls = std::max(1.0, std::floor(e.executions * 0.3));
    e.diskReads = std::floor(t.diskReadsPerExec.Pick(random) * e.executions);
    e.bufferGets = std::floor(t.bufferGetsPerExec.Pick(random) * e.executions);
    e.rowsProcessed = std::floor(t.rowsPerExec.Pick(random) * e.executions);
    e.sorts = std::floor(t.sortsPerExec.Pick(random) * e.executions);
    e.fetches = e.commandType == 3 ? e.executions : 0;
    e.loads = 1 + static_cast<double>(random() % 3 == 0);
    e.firstLoadTime = now - age(random);
    e.templateId = templateId;
}

}  // namespace

void GenerateStatements(Database& db, const std::vector<StatementTemplate>& templates, std::int64_t count,
                        std::uint64_t seed) {
    const bool anyFixed =
        std::any_of(templates.begin(), templates.end(), [](const StatementTemplate& t) { return t.count > 0; });
    if (count <= 0 && !anyFixed) return;
    if (templates.empty()) throw std::runtime_error("generate needs at least one template");
    const std::int64_t now = db.Now();
    std::mt19937_64 random(seed);
    int totalWeight = 0;
    std::vector<std::vector<const UserInfo*>> users;
    for (const StatementTemplate& t : templates) {
        if (t.count <= 0) totalWeight += std::max(0, t.weight);
        std::vector<const UserInfo*> list;
        for (const std::string& name : t.users) {
            const UserInfo* u = db.FindUser(name);
            if (!u) throw std::runtime_error("template user " + name + " is not a user of the scenario");
            list.push_back(u);
        }
        if (list.empty()) list.push_back(db.FindUser("SYS"));
        users.push_back(list);
    }
    if (count > 0 && totalWeight <= 0) throw std::runtime_error("the templates' weights add up to 0");
    db.generatorTemplates.clear();
    for (const StatementTemplate& t : templates)
        db.generatorTemplates.push_back(t.text);
    std::int64_t attempts = 0;
    std::int64_t made = 0;
    if (count > 0) {
        std::uniform_int_distribution<int> pickWeight(0, totalWeight - 1);
        while (made < count && attempts < count * 20) {
            ++attempts;
            int w = pickWeight(random);
            size_t ti = 0;
            while (templates[ti].count > 0 || w >= templates[ti].weight) {
                if (templates[ti].count <= 0) w -= std::max(0, templates[ti].weight);
                ++ti;
            }
            const StatementTemplate& t = templates[ti];
            std::vector<std::string> values;
            std::string text = ExpandTemplate(t.text, random, &values);
            if (db.pool.Find(text)) continue;
            db.generated.push_back({text, static_cast<int>(ti), std::move(values)});
            MakeEntry(db, t, static_cast<int>(ti), text, users[ti], now, random);
            ++made;
        }
    }
    for (size_t ti = 0; ti < templates.size(); ++ti) {
        const StatementTemplate& t = templates[ti];
        if (t.count <= 0) continue;
        std::mt19937_64 own(seed ^ (0x9E3779B97F4A7C15ULL * (ti + 1)));
        made = 0;
        attempts = 0;
        while (made < t.count && attempts < t.count * 20) {
            ++attempts;
            std::vector<std::string> values;
            std::string text = ExpandTemplate(t.text, own, &values);
            if (db.pool.Find(text)) continue;
            db.generated.push_back({text, static_cast<int>(ti), std::move(values)});
            MakeEntry(db, t, static_cast<int>(ti), text, users[ti], now, own);
            ++made;
        }
    }
}

}  // namespace ocisim
