#pragma once

#include <map>
#include <string>

namespace corvid {

// The program's string resources, looked up by id.
class IStringTable {
public:
    virtual ~IStringTable() = default;
    // The entry's text; empty when there is no such entry.
    virtual std::string Find(int id) const = 0;
    // The entry's text, or "STR # " followed by the id when it is missing or empty.
    std::string Load(int id) const;
};

// The program's own string table (column titles and the like).
class CResourceStringTable : public IStringTable {
public:
    std::string Find(int id) const override;
};

// A table with exactly the entries a test gives it.
class CMapStringTable : public IStringTable {
public:
    CMapStringTable() = default;
    explicit CMapStringTable(std::map<int, std::string> entries) : m_entries(std::move(entries)) {}
    void Set(int id, const std::string& text) { m_entries[id] = text; }
    std::string Find(int id) const override;

private:
    std::map<int, std::string> m_entries;
};

// The string table the program uses (the resource table unless a test sets
// another). The pointer is not owned.
const IStringTable& GetStringTable();
void SetStringTable(const IStringTable* table);

}  // namespace corvid
