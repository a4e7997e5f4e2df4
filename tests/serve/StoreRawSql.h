#pragma once
#include <string>

namespace kalvero {

// Reaches a store's database beside the store, as a test needs to look at
// or write what the store's interface does not show (its tables of record,
// an old schema written by hand). `storage` is what OpenPassStore takes.

// The first column of the first row of `sql`, as text ("" when no row).
// Throws std::runtime_error when the statement fails.
std::string RawSqlValue(const std::string& storage, const std::string& sql);

// Runs `sql` (one or more statements without results).
void RawSql(const std::string& storage, const std::string& sql);

}  // namespace kalvero
