#pragma once

#include <string>
#include <string_view>

// The family text as the first, straightforward scanner made it: kept beside the
// tests only, so that they can check byte for byte that the product's faster
// scanner gives the same family texts.
namespace corvid::reference {

void AppendSqlFamilyText(std::string_view sql, std::string& out);

}  // namespace corvid::reference
