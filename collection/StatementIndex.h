#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "collection/ObjectEntry.h"

namespace corvid {

// The statements of one list by their key, address and first load time (an address
// alone can come back for another statement once the first has aged out). The
// index keeps positions, not copies: the list must not change while it is in use.
// Of several statements with one key the first is found.
class CStatementIndex {
public:
    static constexpr CObjectArray::Index kNone = -1;

    void Build(const CObjectArray& list);
    void Clear();
    bool IsEmpty() const { return m_Count == 0; }

    CObjectArray::Index Find(std::string_view address, std::string_view firstLoadTime) const;
    CObjectArray::Index FindKey(const CPackedText& address, const CTimeText& firstLoadTime) const;
    CObjectArray::Index Find(const CObjectEntry& entry) const;
    // The statement itself, or null.
    const CObjectEntry* FindEntry(const CObjectEntry& entry) const;

    static std::uint64_t Hash(const CPackedText& address, const CTimeText& firstLoadTime);

private:
    const CObjectArray* m_List = nullptr;
    std::vector<std::uint32_t> m_Slots;  // position + 1; 0 is an empty slot
    std::vector<std::uint32_t> m_Tags;   // the upper half of each slot's hash
    std::size_t m_Mask = 0;
    std::size_t m_Count = 0;
};

}  // namespace corvid
