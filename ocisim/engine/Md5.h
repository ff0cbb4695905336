#pragma once

// MD5 (RFC 1321) of a byte string, as the server uses it to name statements.

#include <array>
#include <cstdint>
#include <string_view>

namespace ocisim {

std::array<std::uint8_t, 16> Md5(std::string_view data);
// The MD5 of the bytes followed by one zero byte (a C string with its
// terminator), without copying them.
std::array<std::uint8_t, 16> Md5WithZero(std::string_view data);

}  // namespace ocisim
