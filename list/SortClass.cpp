#include "list/SortClass.h"

#include <locale.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <cstdlib>
#include <string>

namespace corvid {

namespace {

constexpr std::array<unsigned char, 256> MakeFoldTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    return table;
}
constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

// The folded bytes from `from` to `from` + 8, most significant first, padded with zeros.
std::uint64_t FoldedPrefix(std::string_view text, std::size_t from) {
    std::uint64_t prefix = 0;
    for (std::size_t i = from; i < from + 8; ++i) {
        prefix <<= 8;
        if (i < text.size()) prefix |= kFold[static_cast<unsigned char>(text[i])];
    }
    return prefix;
}

// Eight bytes with the ASCII capitals among them folded to lower case, all at once:
// a byte gets 0x20 added when its low seven bits lie in 'A'..'Z' and its top bit
// is clear. No sum carries into the next byte.
std::uint64_t FoldWord(std::uint64_t x) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    const std::uint64_t low7 = x & (0x7F * kOnes);
    const std::uint64_t fromA = low7 + (0x80 - 'A') * kOnes;      // top bit: at least 'A'
    const std::uint64_t pastZ = low7 + (0x80 - 'Z' - 1) * kOnes;  // top bit: beyond 'Z'
    const std::uint64_t capitals = fromA & ~pastZ & ~x & (0x80 * kOnes);
    return x | (capitals >> 2);
}

std::uint64_t LoadWord(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    // The first byte most significant, so that words compare as the texts do.
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
}

// CompareNoCase from byte `from` on, the bytes before it being equal when folded.
int CompareNoCaseFrom(std::string_view a, std::string_view b, std::size_t from) {
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = from;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x = LoadWord(a.data() + i);
        std::uint64_t y = LoadWord(b.data() + i);
        if (x == y) continue;
        x = FoldWord(x);
        y = FoldWord(y);
        if (x != y) return x < y ? -1 : 1;
    }
    for (; i < n; ++i) {
        const unsigned char x = kFold[static_cast<unsigned char>(a[i])];
        const unsigned char y = kFold[static_cast<unsigned char>(b[i])];
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Numbers beyond the range of a double: the C conversion in the "C" locale
// gives the infinity or the zero they round to.
double ConvertOutOfRange(const char* first, const char* last, bool negative) {
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    std::string copy(first, last);
    double value = cLocale ? strtod_l(copy.c_str(), nullptr, cLocale) : std::strtod(copy.c_str(), nullptr);
    return negative ? -value : value;
}

}  // namespace

CSortClass::CSortItem::CSortItem(std::string_view text, std::uint32_t row)
    : m_Text(text), m_Prefix(FoldedPrefix(text, 0)), m_Prefix2(FoldedPrefix(text, 8)), m_Row(row) {}

double CSortClass::ParseNumber(std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && IsSpace(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    const char* first = p;
    int digits = 0;
    while (p < end && IsDigit(*p))
        ++p, ++digits;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && IsDigit(*p))
            ++p, ++digits;
    }
    if (digits == 0) return 0.0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (q < end && (*q == '+' || *q == '-')) ++q;
        if (q < end && IsDigit(*q)) {
            while (q < end && IsDigit(*q))
                ++q;
            p = q;
        }
    }
    double value = 0.0;
    auto result = std::from_chars(first, p, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) return ConvertOutOfRange(first, p, negative);
    if (result.ec != std::errc()) return 0.0;
    return negative ? -value : value;
}

int CSortClass::CompareNoCase(std::string_view a, std::string_view b) {
    return CompareNoCaseFrom(a, b, 0);
}

CSortClass::CSortClass(CListCtrlEx& list, int column, bool numeric)
    : m_list(list), m_column(column), m_numeric(numeric) {
    const std::size_t rows = list.m_rows.size();
    m_savedData.resize(rows);
    if (numeric) {
        m_numberItems.reserve(rows);
    } else {
        m_textItems.reserve(rows);
    }
    for (std::size_t i = 0; i < rows; ++i) {
        const int row = static_cast<int>(i);
        std::string_view text = list.GetItemTextView(row, column);
        if (numeric) {
            m_numberItems.push_back({ParseNumber(text), static_cast<std::uint32_t>(i)});
        } else {
            m_textItems.emplace_back(text, static_cast<std::uint32_t>(i));
        }
        m_savedData[i] = list.m_rows[i].data;
        list.m_rows[i].data = static_cast<CListCtrlEx::ItemData>(i);
    }
}

CSortClass::~CSortClass() {
    for (auto& row : m_list.m_rows) {
        if (row.data >= 0 && static_cast<std::size_t>(row.data) < m_savedData.size()) {
            row.data = m_savedData[static_cast<std::size_t>(row.data)];
        }
    }
}

void CSortClass::SortRows(bool ascending) {
    if (m_itemsStale) {
        for (std::size_t k = 0; k < m_numberItems.size(); ++k)
            m_numberItems[k].row = static_cast<std::uint32_t>(k);
        for (std::size_t k = 0; k < m_textItems.size(); ++k) {
            m_textItems[k].m_Row = static_cast<std::uint32_t>(k);
            m_textItems[k].m_Text = m_list.GetItemTextView(static_cast<int>(k), m_column);
        }
        m_itemsStale = false;
    }
    std::vector<std::uint32_t> order;
    if (m_numeric) {
        if (ascending) {
            std::stable_sort(m_numberItems.begin(), m_numberItems.end(),
                             [](const SNumberItem& a, const SNumberItem& b) { return a.value < b.value; });
        } else {
            std::stable_sort(m_numberItems.begin(), m_numberItems.end(),
                             [](const SNumberItem& a, const SNumberItem& b) { return a.value > b.value; });
        }
        order.reserve(m_numberItems.size());
        for (const SNumberItem& item : m_numberItems)
            order.push_back(item.row);
    } else {
        auto less = [](const CSortItem& a, const CSortItem& b) {
            if (a.m_Prefix != b.m_Prefix) return a.m_Prefix < b.m_Prefix;
            if (a.m_Prefix2 != b.m_Prefix2) return a.m_Prefix2 < b.m_Prefix2;
            // Equal prefixes of texts no longer than the prefix: the shorter first.
            if (a.m_Text.size() <= 16 && b.m_Text.size() <= 16) return a.m_Text.size() < b.m_Text.size();
            // Both at least sixteen bytes long: the prefixes decided those bytes.
            const std::size_t from = a.m_Text.size() >= 16 && b.m_Text.size() >= 16 ? 16 : 0;
            return CompareNoCaseFrom(a.m_Text, b.m_Text, from) < 0;
        };
        if (ascending) {
            std::stable_sort(m_textItems.begin(), m_textItems.end(), less);
        } else {
            std::stable_sort(m_textItems.begin(), m_textItems.end(),
                             [&less](const CSortItem& a, const CSortItem& b) { return less(b, a); });
        }
        order.reserve(m_textItems.size());
        for (const CSortItem& item : m_textItems)
            order.push_back(item.m_Row);
    }
    auto& rows = m_list.m_rows;
    if (order.size() != rows.size()) return;  // the list changed under the pass
    std::vector<CListCtrlEx::SRow> sorted;
    sorted.reserve(rows.size());
    for (std::uint32_t row : order)
        sorted.push_back(std::move(rows[row]));
    rows.swap(sorted);
    m_itemsStale = true;
}

}  // namespace corvid
