#pragma once

#include <string>

#include "list/StatementColumn.h"

namespace corvid {

// Base of every entry a list shows: it yields the text of each of its columns.
class CListEntry {
public:
    virtual ~CListEntry() = default;

    // The text of one list column; empty for a column the entry does not know.
    virtual std::string GetColumnText(StatementColumn code) const = 0;

    // Appends the same text to `out`. Filling a large list goes through this so
    // that no string is allocated per cell; the default builds the text first.
    virtual void AppendColumnText(StatementColumn code, std::string& out) const { out += GetColumnText(code); }

protected:
    CListEntry() = default;
    CListEntry(const CListEntry&) = default;
    CListEntry& operator=(const CListEntry&) = default;
};

}  // namespace corvid
