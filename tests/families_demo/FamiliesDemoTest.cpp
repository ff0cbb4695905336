#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "collection/StatementFamilies.h"
#include "ocisim/engine/Engine.h"

namespace corvid {
namespace {

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c == '#';
}

// A number, or numbers separated by ", " (a generated IN list).
bool IsNumber(const std::string& text) {
    if (text.empty() || text.front() == ',' || text.back() == ',' || text.back() == ' ') return false;
    for (const char c : text)
        if ((c < '0' || c > '9') && c != ',' && c != ' ') return false;
    return true;
}

// What of a generated statement decides its family, read from the template: the
// template itself and every placeholder's value that is not a literal of the
// statement (a placeholder inside a name, or words picked outside quotes).
// Placeholders inside quotes and numbers that stand alone are literals.
std::string ShapeOf(const std::string& templateText, const ocisim::GeneratedStatement& statement) {
    std::string shape = std::to_string(statement.templateIndex);
    bool quoted = false;
    std::size_t value = 0;
    for (std::size_t i = 0; i < templateText.size(); ++i) {
        const char c = templateText[i];
        if (c == '\'') quoted = !quoted;
        if (c != '{') continue;
        const std::size_t close = templateText.find('}', i);
        if (close == std::string::npos || value >= statement.values.size()) break;
        const std::string& expanded = statement.values[value++];
        const bool afterName = i > 0 && IsNameChar(templateText[i - 1]);
        const bool beforeName = close + 1 < templateText.size() && IsNameChar(templateText[close + 1]);
        const bool literal = quoted || (IsNumber(expanded) && !beforeName &&
                                        (!afterName || (templateText[i - 1] >= '0' && templateText[i - 1] <= '9')));
        if (!literal) shape += "|" + expanded;
        i = close;
    }
    return shape;
}

TEST(FamiliesOfTheDemo, StatementsOfOneTemplateDifferingInValuesShareAFamilyAndNoOthersDo) {
    ::setenv("CORVID_SIM_SCENARIO", "demo", 1);
    const std::shared_ptr<ocisim::Server> server = ocisim::TheServer();
    const std::vector<ocisim::GeneratedStatement> generated = ocisim::GeneratedStatements(*server);
    const std::vector<std::string> templates = ocisim::GeneratorTemplates(*server);
    ASSERT_GT(generated.size(), 4000u);
    ASSERT_GT(templates.size(), 20u);

    CObjectArray pool;
    std::vector<std::string> shapes;
    for (const ocisim::GeneratedStatement& statement : generated) {
        ASSERT_LT(static_cast<std::size_t>(statement.templateIndex), templates.size());
        CObjectEntry entry;
        entry.m_SqlText = statement.text;
        pool.Add(entry);
        shapes.push_back(ShapeOf(templates[static_cast<std::size_t>(statement.templateIndex)], statement));
    }
    const CStatementFamilies families(pool);

    std::map<std::string, int> familyOfShape;
    std::map<int, std::string> shapeOfFamily;
    std::set<int> templatesSeen;
    for (CObjectArray::Index i = 0; i < pool.GetSize(); ++i) {
        const int family = families.FamilyOf(i);
        const std::string& shape = shapes[static_cast<std::size_t>(i)];
        const auto [byShape, newShape] = familyOfShape.try_emplace(shape, family);
        EXPECT_EQ(byShape->second, family) << "one template, two families:\n"
                                           << pool[i].m_SqlText << "\n"
                                           << pool[families.GetFamilies()[byShape->second].m_Members[0]].m_SqlText;
        const auto [byFamily, newFamily] = shapeOfFamily.try_emplace(family, shape);
        EXPECT_EQ(byFamily->second, shape)
            << "two templates, one family: " << families.GetFamilies()[static_cast<std::size_t>(family)].m_FamilyText;
        templatesSeen.insert(generated[static_cast<std::size_t>(i)].templateIndex);
    }
    // Most templates differ only in literals: far fewer families than statements.
    EXPECT_EQ(templatesSeen.size(), templates.size());
    EXPECT_LT(families.GetCount(), 600);
}

}  // namespace
}  // namespace corvid
