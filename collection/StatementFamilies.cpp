#include "collection/StatementFamilies.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "list/FamilyColumn.h"
#include "sqltext/SqlFamilyText.h"

namespace corvid {

std::string CFamilyEntry::GetColumnText(StatementColumn code) const {
    std::string text;
    AppendColumnText(code, text);
    return text;
}

std::string CFamilyEntry::GetUsersText() const {
    std::string text;
    for (const std::string& user : m_Users) {
        if (!text.empty()) text += ", ";
        text += user;
    }
    return text;
}

void CFamilyEntry::AppendColumnText(StatementColumn code, std::string& out) const {
    switch (code) {
        case kColFamilyStatements:
            AppendListCount(m_Statements, out);
            break;
        case kColFamilyExecutions:
            AppendListCount(m_Executions, out);
            break;
        case kColFamilyParseCalls:
            AppendListCount(m_ParseCalls, out);
            break;
        case kColFamilyBufferGets:
            AppendListCount(m_BufferGets, out);
            break;
        case kColFamilyDiskReads:
            AppendListCount(m_DiskReads, out);
            break;
        case kColFamilyPercOfBufferGets:
            AppendListPercent(m_PercOfBufferGets, out);
            break;
        case kColFamilyPercOfDiskReads:
            AppendListPercent(m_PercOfDiskReads, out);
            break;
        case kColFamilySharableMem:
            AppendListCount(m_SharableMem, out);
            break;
        case kColFamilyUsers:
            out += GetUsersText();
            break;
        case kColFamilyText:
            out += m_FamilyText;
            break;
        case kColFamilyRowsProcessed:
            AppendListCount(m_RowsProcessed, out);
            break;
        case kColFamilySorts:
            AppendListCount(m_Sorts, out);
            break;
        case kColFamilyFirstLoadTime:
            out += m_FirstLoadTime;
            break;
        case kColFamilyCommandName:
            out += CObjectEntry::CommandName(m_CommandType);
            break;
        default:
            break;
    }
}

void CStatementFamilies::Clear() {
    m_Families.clear();
    m_FamilyOfStatement.clear();
}

namespace {

std::uint64_t Mix(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ull;
    x ^= x >> 33;
    return x;
}

// A 64-bit hash of a command type and a family text, read eight bytes at a time.
std::uint64_t FamilyHash(std::int32_t commandType, std::string_view text) {
    const char* p = text.data();
    std::size_t n = text.size();
    std::uint64_t h = (0x9e3779b97f4a7c15ull * (n + 1)) ^ static_cast<std::uint32_t>(commandType);
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        h = (std::rotl(h, 27) ^ word) * 0x9e3779b97f4a7c15ull;
    }
    if (n > 0) {
        std::uint64_t word = 0;
        std::memcpy(&word, p, n);
        h = (std::rotl(h, 27) ^ word) * 0x9e3779b97f4a7c15ull;
    }
    return Mix(h);
}

// An open-addressing table from a 64-bit key to a non-negative value, with linear
// probing; it holds at most half its slots. Several values may share a key: Find
// walks them, so the caller decides which one matches.
class CFlatTable {
public:
    explicit CFlatTable(std::size_t expected) {
        std::size_t slots = 64;
        while (slots < 2 * expected)
            slots *= 2;
        m_Slots.assign(slots, SSlot{});
        m_Mask = slots - 1;
    }

    // The value for `key` that `matches` accepts, or -1.
    template <typename Matches>
    std::int32_t Find(std::uint64_t key, Matches matches) const {
        for (std::size_t i = Mix(key) & m_Mask;; i = (i + 1) & m_Mask) {
            const SSlot& slot = m_Slots[i];
            if (slot.m_Value < 0) return -1;
            if (slot.m_Key == key && matches(slot.m_Value)) return slot.m_Value;
        }
    }

    void Insert(std::uint64_t key, std::int32_t value) {
        if (2 * (m_Count + 1) > m_Slots.size()) Grow();
        Place(key, value);
        ++m_Count;
    }

private:
    struct SSlot {
        std::uint64_t m_Key = 0;
        std::int32_t m_Value = -1;
    };

    void Place(std::uint64_t key, std::int32_t value) {
        std::size_t i = Mix(key) & m_Mask;
        while (m_Slots[i].m_Value >= 0)
            i = (i + 1) & m_Mask;
        m_Slots[i] = SSlot{key, value};
    }

    void Grow() {
        std::vector<SSlot> old(m_Slots.size() * 2);
        old.swap(m_Slots);
        m_Mask = m_Slots.size() - 1;
        for (const SSlot& slot : old)
            if (slot.m_Value >= 0) Place(slot.m_Key, slot.m_Value);
    }

    std::vector<SSlot> m_Slots;
    std::size_t m_Mask = 0;
    std::size_t m_Count = 0;
};

// Asks for the cache lines of the entry's fields that the grouping reads,
// without waiting for them.
void PrefetchFieldsRead(const CObjectEntry& entry) {
    const char* low = reinterpret_cast<const char*>(&entry + 1);
    const char* high = reinterpret_cast<const char*>(&entry);
    const auto cover = [&](const auto& field) {
        const char* const at = reinterpret_cast<const char*>(&field);
        low = std::min(low, at);
        high = std::max(high, at + sizeof field);
    };
    cover(entry.m_SqlText);
    cover(entry.m_CommandType);
    cover(entry.m_Executions);
    cover(entry.m_ParseCalls);
    cover(entry.m_BufferGets);
    cover(entry.m_DiskReads);
    cover(entry.m_RowsProcessed);
    cover(entry.m_Sorts);
    cover(entry.m_SharableMem);
    cover(entry.m_PercOfBufferGets);
    cover(entry.m_PercOfDiskReads);
    cover(entry.m_FirstLoadTime);
    cover(entry.m_ParsingUserId);
    cover(entry.m_UserName);
    for (const char* line = low; line < high; line += 64)
        __builtin_prefetch(line);
    __builtin_prefetch(high - 1);
}

}  // namespace

void CStatementFamilies::Build(const CObjectArray& collection) {
    Clear();
    const CObjectArray::Index count = collection.GetSize();
    m_FamilyOfStatement.reserve(static_cast<std::size_t>(count));
    // Families by the hash of (command type, family text); the text is compared
    // only where hashes are equal.
    CFlatTable families(256);
    // The (family, parsing user id) pairs already counted.
    CFlatTable familyUsers(256);
    // Each family's oldest first load time so far, in its member's entry.
    std::vector<const CTimeText*> oldest;
    std::string text;
    text.reserve(4096);
    // The pass is bound by memory, not by the scanner: the entries are large and
    // their texts lie apart on the heap. So the fields read of an entry are
    // fetched well ahead, and its texts (whose addresses are then at hand) a few
    // statements before the scanner reaches them.
    constexpr CObjectArray::Index kEntriesAhead = 16;
    constexpr CObjectArray::Index kTextsAhead = 8;
    for (CObjectArray::Index i = 0; i < count; ++i) {
        if (i + kEntriesAhead < count) PrefetchFieldsRead(collection[i + kEntriesAhead]);
        if (i + kTextsAhead < count) {
            const CObjectEntry& ahead = collection[i + kTextsAhead];
            __builtin_prefetch(ahead.m_SqlText.data());
            __builtin_prefetch(ahead.m_SqlText.data() + 64);
        }
        const CObjectEntry& entry = collection[i];
        text.clear();
        AppendSqlFamilyText(entry.m_SqlText, text);
        const std::uint64_t hash = FamilyHash(entry.m_CommandType, text);
        std::int32_t f = families.Find(hash, [&](std::int32_t candidate) {
            const CFamilyEntry& family = m_Families[static_cast<std::size_t>(candidate)];
            return family.m_CommandType == entry.m_CommandType && family.m_FamilyText == text;
        });
        if (f < 0) {
            f = static_cast<std::int32_t>(m_Families.size());
            families.Insert(hash, f);
            CFamilyEntry& family = m_Families.emplace_back();
            family.m_FamilyText = text;
            family.m_CommandType = entry.m_CommandType;
            oldest.push_back(&entry.m_FirstLoadTime);
        }
        m_FamilyOfStatement.push_back(f);
        CFamilyEntry& family = m_Families[static_cast<std::size_t>(f)];
        family.m_Statements += 1;
        family.m_Executions += entry.m_Executions;
        family.m_ParseCalls += entry.m_ParseCalls;
        family.m_BufferGets += entry.m_BufferGets;
        family.m_DiskReads += entry.m_DiskReads;
        family.m_RowsProcessed += entry.m_RowsProcessed;
        family.m_Sorts += entry.m_Sorts;
        family.m_SharableMem += entry.m_SharableMem;
        family.m_PercOfBufferGets += entry.m_PercOfBufferGets;
        family.m_PercOfDiskReads += entry.m_PercOfDiskReads;
        const CTimeText*& time = oldest[static_cast<std::size_t>(f)];
        if (const CTimeText& loaded = entry.m_FirstLoadTime; !loaded.empty() && (time->empty() || loaded < *time))
            time = &loaded;
        const std::uint64_t pair = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(f)) << 32) |
                                   static_cast<std::uint32_t>(entry.m_ParsingUserId);
        if (familyUsers.Find(pair, [](std::int32_t) { return true; }) < 0) {
            familyUsers.Insert(pair, 0);
            family.m_Users.push_back(entry.m_UserName);
        }
    }
    for (std::size_t f = 0; f < m_Families.size(); ++f) {
        CFamilyEntry& family = m_Families[f];
        family.m_FirstLoadTime = oldest[f]->str();
        family.m_Members.reserve(static_cast<std::size_t>(family.m_Statements));
        std::sort(family.m_Users.begin(), family.m_Users.end());
        // Two user ids may carry one name (a user dropped and created again).
        family.m_Users.erase(std::unique(family.m_Users.begin(), family.m_Users.end()), family.m_Users.end());
    }
    for (std::size_t i = 0; i < m_FamilyOfStatement.size(); ++i)
        m_Families[static_cast<std::size_t>(m_FamilyOfStatement[i])].m_Members.push_back(
            static_cast<CObjectArray::Index>(i));
}

int CStatementFamilies::FamilyOf(CObjectArray::Index position) const {
    if (position < 0 || static_cast<std::size_t>(position) >= m_FamilyOfStatement.size()) return -1;
    return m_FamilyOfStatement[static_cast<std::size_t>(position)];
}

std::vector<CFamilyEntry> CStatementFamilies::WithAtLeast(double minStatements) const {
    std::vector<CFamilyEntry> result;
    for (const CFamilyEntry& family : m_Families)
        if (family.m_Statements >= minStatements) result.push_back(family);
    return result;
}

}  // namespace corvid
