#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvid {

// The length of the valid UTF-8 sequence of a character outside ASCII that starts
// at text[i] (2 to 4 bytes, shortest form, a Unicode scalar value), with its code
// point; 0 when the bytes there form none.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& code);

// The number of characters of a UTF-8 text: every byte that does not continue a
// sequence (a stray continuation byte is not counted).
std::size_t Utf8CharacterCount(std::string_view text);

// Appends the UTF-8 encoding of a code point; a surrogate or a value beyond
// U+10FFFF is written as U+FFFD.
void AppendUtf8(std::string& out, char32_t code);

}  // namespace corvid
