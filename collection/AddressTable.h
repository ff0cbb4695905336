#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvid {

// Places by statement address, for the load's match of texts to statements. An
// address as servers show it (upper-case hexadecimal, at most 16 digits) is held
// as its number and length, so a lookup reads no text; any other address is kept
// as text. An open-addressed table, at most half full.
class CAddressTable {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    explicit CAddressTable(std::size_t expected);

    // The place the address has: the one given when it is new, the first one else.
    std::size_t Add(std::string_view address, std::size_t place);
    // The place of the address, or npos.
    std::size_t Find(std::string_view address) const;

private:
    struct SKey {
        std::uint64_t value = 0;  // the address's number, or its text's hash
        std::uint16_t length = 0;
        bool packed = false;
    };
    struct SSlot {
        SKey key;
        std::uint32_t place = 0;  // the place + 1; 0: empty
        std::uint32_t text = 0;   // an unpacked address: its index in m_Texts
    };
    static SKey KeyOf(std::string_view address);
    // The slot of the address: its own, or the empty one where it would go.
    std::size_t SlotOf(const SKey& key, std::string_view address) const;
    void Grow();

    std::vector<SSlot> m_Slots;
    std::vector<std::string> m_Texts;
    std::size_t m_Count = 0;
};

}  // namespace corvid
