#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "collection/PackedText.h"

namespace corvid {

// Places by statement address, for the load's match of texts to statements. The
// addresses are held packed, as the statements hold theirs, so a lookup compares
// packed forms and reads no text back (but for an address that is no hex). An
// open-addressed table, at most half full.
class CAddressTable {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    explicit CAddressTable(std::size_t expected);

    // The place the address has: the one given when it is new, the first one else.
    std::size_t Add(const CPackedText& address, std::size_t place);
    // The place of the address, or npos.
    std::size_t Find(const CPackedText& address) const;

private:
    struct SSlot {
        CPackedText address;
        std::uint32_t place = 0;  // the place + 1; 0: empty
    };
    // The slot of the address: its own, or the empty one where it would go.
    std::size_t SlotOf(const CPackedText& address) const;
    void Grow();

    std::vector<SSlot> m_Slots;
    std::size_t m_Count = 0;
};

}  // namespace corvid
