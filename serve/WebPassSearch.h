#pragma once
#include <map>
#include <string>

#include "serve/PassQuery.h"

namespace kalvero {

// A search as the page, the CSV export and the API take it from a query
// string: number (digits: a number or some of its digits), camera, from, to (ISO 8601
// UTC, or a browser's datetime-local "2026-12-08T12:34" taken as UTC; a
// "to" to the minute takes in that whole minute), limit and page.
struct WebPassSearch {
    PassQuery query;
    int page = 1;  // 1 = the newest passes
    // The texts as given, for the search form to show again.
    std::string number, camera, from, to;
};

// Reads `params` into `search`, with `defaultLimit` when none is given. False
// with `error` set ("limit must be a whole number from 1 to 10000") when a
// value is not one it takes.
bool ParsePassSearch(const std::multimap<std::string, std::string>& params, int defaultLimit, WebPassSearch& search,
                     std::string& error);

// A search time as ISO 8601 UTC with milliseconds; false when `text` is not
// a time. `endOfMinute` moves a time given to the minute to its last
// millisecond.
bool SearchTime(const std::string& text, bool endOfMinute, std::string& iso);

// The query string (without "?") that gives `search` again, leaving out
// empty fields; `page` replaces the search's page when positive.
std::string SearchQueryString(const WebPassSearch& search, int page = 0);

// `text` percent-encoded for a query string.
std::string UrlEncoded(const std::string& text);

}  // namespace kalvero
