#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "list/ListCtrlEx.h"

namespace corvid {

// One sorting pass over the rows of a list by one column. Construction reads
// every cell of the column once into a sort item and puts the item's number in
// place of the row's item data; SortRows orders the rows stably; destruction
// gives every row its own item data back.
class CSortClass {
public:
    // A text column's sort item: the cell text (read in place) with its first
    // sixteen bytes folded to lower case, so that most comparisons end there
    // without reading the text (statements share their first words). A plain
    // value (no virtual destructor), so that a pass moves 40 bytes per row.
    class CSortItem {
    public:
        CSortItem(std::string_view text, std::uint32_t row);

        std::string_view m_Text;
        std::uint64_t m_Prefix;
        std::uint64_t m_Prefix2;  // the next eight bytes, folded the same way
        std::uint32_t m_Row;
    };

    CSortClass(CListCtrlEx& list, int column, bool numeric);
    virtual ~CSortClass();
    CSortClass(const CSortClass&) = delete;
    CSortClass& operator=(const CSortClass&) = delete;

    void SortRows(bool ascending);

    // The C library's decimal conversion: blanks, an optional sign, digits with an
    // optional point and exponent; the longest such leading number, 0 when there
    // is none. Always with "." as the decimal point; hexadecimal numbers, "inf"
    // and "nan" are not decimal numbers and give 0. `text` ends with a NUL byte.
    static double ParseNumber(std::string_view text);
    // Compares texts with ASCII letters folded to lower case and every other byte
    // by its value; negative, zero or positive.
    static int CompareNoCase(std::string_view a, std::string_view b);

private:
    struct SNumberItem {
        double value;
        std::uint32_t row;
    };

    CListCtrlEx& m_list;
    int m_column;
    bool m_numeric;
    std::vector<CListCtrlEx::ItemData> m_savedData;  // by row, as it was before the pass
    std::vector<CSortItem> m_textItems;
    std::vector<SNumberItem> m_numberItems;
    // After SortRows the items are in the rows' new order but still name the old
    // rows (and a short cell's text moved with its row): they are renumbered and
    // read again only if the pass sorts once more.
    bool m_itemsStale = false;
};

}  // namespace corvid
