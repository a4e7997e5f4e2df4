#pragma once
#include <string>
#include <vector>

#include "serve/PassQuery.h"

namespace kalvero {

// The SELECT both stores run to find passes, written once for both
// dialects: every value the user gave is a bound parameter, numbered in
// the store's own way ('?' gives SQLite's ?1, ?2...; '$' PostgreSQL's $1,
// $2...). The columns come in this order: id, camera, number, check_digit,
// start_time, end_time, frames_read, direction, best_score, best_frame,
// scores, record, corrected_number, corrected_at, and crop last when asked.
struct StoreSearch {
    std::string sql;
    std::vector<std::string> parameters;  // as text, the first binds to 1
};

// Passes the query finds, newest first (start time, then id), its limit
// kept within 1..10000 and its offset at 0 or more.
StoreSearch PassSearch(const PassQuery& query, char placeholder);

// The one pass of the id given as parameter 1, with its crop.
StoreSearch PassByIdSearch(long long id, char placeholder);

// How many columns a row of these searches has without and with the crop.
constexpr int kPassColumnsWithoutCrop = 14;

}  // namespace kalvero
