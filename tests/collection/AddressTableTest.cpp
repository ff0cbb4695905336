// The load's table of places by statement address: server addresses held as
// numbers, any other address as text, and neither confused with the other.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "collection/AddressTable.h"

using namespace corvid;

namespace {

TEST(AddressTableTest, AgreesWithAMapForServerAndOtherAddresses) {
    std::mt19937_64 random(11);
    CAddressTable table(4);  // grows far past what it was made for
    std::map<std::string, std::size_t> model;
    auto address = [&](int i) -> std::string {
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llX", static_cast<unsigned long long>(random() % 60000));
        switch (i % 6) {
            case 0: return hex;                  // 16 digits
            case 1: return std::string(hex + 8); // 8 digits: the same number as a 16-digit one
            case 2: return std::string(hex + 13);
            case 3: {                            // lower case: not a server's spelling
                std::string lower = hex;
                for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                return lower;
            }
            case 4: return std::string(hex) + "0";  // 17 digits
            default: return i % 12 == 5 ? std::string() : std::string("G") + (hex + 10);
        }
    };
    for (int i = 0; i < 30000; ++i) {
        const std::string a = address(i);
        const std::size_t place = static_cast<std::size_t>(i);
        const auto [it, added] = model.emplace(a, place);
        ASSERT_EQ(table.Add(a, place), it->second) << a;
        (void)added;
    }
    for (const auto& [a, place] : model) ASSERT_EQ(table.Find(a), place) << a;
    // The same numbers spelt with every count of leading zeros: each its own address.
    CAddressTable zeros(1);
    std::map<std::string, std::size_t> spelt;
    for (unsigned value = 0; value < 40; ++value) {
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016X", value);
        for (std::size_t length = 1; length <= 16; ++length) {
            const std::string a(hex + 16 - length);
            spelt.emplace(a, spelt.size());
            zeros.Add(a, spelt[a]);
        }
    }
    for (const auto& [a, place] : spelt) ASSERT_EQ(zeros.Find(a), place) << a;
    // Same digits, other lengths or case: other addresses.
    EXPECT_EQ(table.Find("00000000000000000000"), CAddressTable::npos);
    CAddressTable small(1);
    small.Add("00AB", 1);
    small.Add("ab", 2);
    EXPECT_EQ(small.Find("00AB"), 1u);
    EXPECT_EQ(small.Find("AB"), CAddressTable::npos);
    EXPECT_EQ(small.Find("00ab"), CAddressTable::npos);
    EXPECT_EQ(small.Find("ab"), 2u);
    EXPECT_EQ(small.Add("00AB", 7), 1u);
    EXPECT_EQ(small.Find(""), CAddressTable::npos);
}

}  // namespace
