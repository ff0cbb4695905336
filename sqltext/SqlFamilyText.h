#pragma once

#include <string>
#include <string_view>

namespace corvid {

// A statement's family text: the shape that statements share when they differ
// only in their literals.
//
// - String literals ('..' with '' inside, N'..', q'[..]' with any delimiter) and
//   numeric literals (integers, decimals, exponents, with a sign where it can only
//   belong to the number) become "?"; digits inside names stay.
// - A parenthesised list of literals only after IN, VALUES, ANY, SOME or ALL
//   becomes "(?+)", so lists of any length share a family.
// - Blanks are the family text's own, whatever the statement's spacing: one
//   between tokens, none after "(" or before ")", "," and ";", none around ".",
//   "@", "%" and "..", and none between a name that is no keyword and the "("
//   after it ("COUNT(*)", "WHERE ID IN (?+)"). So "a=1" and "a = 1" share a
//   family. Two-character operators ("<>", "<=", "||", ":=", ..) stay whole.
// - Names and keywords are upper-cased; quoted names and bind variables stay as
//   written.
// - Comments are dropped; optimizer hints are kept with their blanks collapsed,
//   a line hint (--+ ..) written as a block hint (/*+ .. */).
//
// Never fails: unterminated quotes or comments run to the end of the text, bytes
// that are not UTF-8 and NUL bytes are kept as they are. Linear in the text's length.
std::string SqlFamilyText(std::string_view sql);

// The same, appended to `out`.
void AppendSqlFamilyText(std::string_view sql, std::string& out);

}  // namespace corvid
