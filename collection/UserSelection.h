#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "collection/StatementFilter.h"

namespace corvid {

// The stored form of the user selection ("UserList"): the ids of the selected
// users in list order, in decimal, separated by ";" ("0;5;21"); empty when no user
// is selected.
std::string BuildUserListString(const CUserArray& users);

// The ids of a stored user selection. Runs of ";" count as one separator; a piece
// that does not start with a decimal number is skipped, and so is -1.
std::vector<std::int32_t> ParseUserListString(const std::string& text);

}  // namespace corvid
