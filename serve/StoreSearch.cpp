#include "serve/StoreSearch.h"

#include <algorithm>

#include "serve/StoreColumns.h"

namespace kalvero {
namespace {

const char* const kPassColumns =
    "id, camera, number, check_digit, start_time, end_time, frames_read, direction, best_score, best_frame, "
    "scores, record, corrected_number, corrected_at";

// Adds `value` as the next parameter and returns its placeholder.
std::string Bind(StoreSearch& search, char placeholder, const std::string& value) {
    search.parameters.push_back(value);
    return placeholder + std::to_string(search.parameters.size());
}

}  // namespace

StoreSearch PassSearch(const PassQuery& query, char placeholder) {
    StoreSearch search;
    std::vector<std::string> conditions;
    if (!query.number.empty()) {
        const std::string pattern = Bind(search, placeholder, ContainsPattern(query.number));
        conditions.push_back("(number LIKE " + pattern + " ESCAPE '\\' OR corrected_number LIKE " + pattern +
                             " ESCAPE '\\')");
    }
    if (!query.camera.empty()) conditions.push_back("camera = " + Bind(search, placeholder, query.camera));
    if (!query.from.empty()) conditions.push_back("start_time >= " + Bind(search, placeholder, query.from));
    if (!query.to.empty()) conditions.push_back("start_time <= " + Bind(search, placeholder, query.to));

    search.sql = std::string("SELECT ") + kPassColumns + (query.withCrops ? ", crop" : "") + " FROM passes";
    for (size_t i = 0; i < conditions.size(); ++i) search.sql += (i == 0 ? " WHERE " : " AND ") + conditions[i];
    const int limit = std::clamp(query.limit, 1, 10000);
    const int offset = std::max(0, query.offset);
    search.sql += " ORDER BY start_time DESC, id DESC LIMIT " + Bind(search, placeholder, std::to_string(limit));
    search.sql += " OFFSET " + Bind(search, placeholder, std::to_string(offset));
    return search;
}

StoreSearch PassByIdSearch(long long id, char placeholder) {
    StoreSearch search;
    search.sql = std::string("SELECT ") + kPassColumns + ", crop FROM passes WHERE id = ";
    search.sql += Bind(search, placeholder, std::to_string(id));
    return search;
}

}  // namespace kalvero
